#include "screen/command_line.h"

#include <charconv>
#include <optional>

#include "base/errors.h"

namespace snp::screen {
namespace {

constexpr const char* kUsage =
    "Usage: snp-screen [options]\n"
    "Tests every marker of DIR/CaseAndControlData.txt for association with\n"
    "case/control status under the additive (allelic), dominant, recessive and\n"
    "genotype models and under their minimum. Lists the markers with p <= 0.002\n"
    "(minimum model: p <= 0.0005), selects markers per model by the\n"
    "Benjamini-Hochberg rule at a false discovery rate of 0.05 (minimum model:\n"
    "0.0125), and writes the selected markers with their chromosome and locus to\n"
    "FDR_results.txt in the current directory; everything else goes to standard\n"
    "output.\n"
    "The data file holds one line per individual: the status (1 = case, any other\n"
    "value = control), then one code per marker, 0, 1 or 2 (copies of the counted\n"
    "allele) or -1 (missing), with or without blanks between them. Markers after\n"
    "the last code of a short line are missing.\n"
    "Options:\n"
    "  --samples N      lines (individuals) to read (default: controls + cases)\n"
    "  --markers N      markers (codes per line) (default 541325)\n"
    "  --controls N     controls of the study (default 271)\n"
    "  --cases N        cases of the study (default 276)\n"
    "                   A test's group size is the study's count less the\n"
    "                   missing codes of the group at the marker.\n"
    "  --data-dir DIR   directory of CaseAndControlData.txt\n"
    "                   (default /home/kestrune/Study_workdir/Data/)\n"
    "  --names-dir DIR  directory of Chromosome_SNP_Length.txt, the marker counts\n"
    "                   of chromosomes 1 to 26 that give a selected marker its\n"
    "                   chromosome and locus\n"
    "                   (default /home/kestrune/Study_workdir/Data/)\n"
    "  --help           show this text\n"
    "Exit status: 0 on success, 1 on any error.\n";

[[noreturn]] void usage_error(const std::string& what) {
  throw FatalError("Error: " + what + "\nRun snp-screen --help for the options.\n", Channel::standard_error);
}

int count_value(const std::string& option, const std::string& text, int smallest) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < smallest)
    usage_error(option + " needs a whole number of at least " + std::to_string(smallest) + ", found \"" + text + "\"");
  return value;
}

std::string directory_value(const std::string& text) {
  return text.empty() || text.ends_with('/') ? text : text + "/";
}

}  // namespace

std::variant<HelpRequest, ScreenOptions> parse_command_line(const std::vector<std::string>& args) {
  ScreenOptions options;
  std::optional<int> samples;
  for (const auto& arg : args)
    if (arg == "--help" || arg == "-h") return HelpRequest{kUsage};
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (!name.starts_with("-")) usage_error("unexpected argument " + name);
    std::optional<std::string> value;
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const auto take_value = [&]() -> std::string {
      if (value) return *value;
      if (i + 1 >= args.size()) usage_error("option " + name + " needs a value");
      return args[++i];
    };
    ScreenSettings& s = options.settings;
    if (name == "--samples") samples = count_value(name, take_value(), 1);
    else if (name == "--markers") s.Marker = count_value(name, take_value(), 1);
    else if (name == "--controls") s.samplesize.controls = count_value(name, take_value(), 0);
    else if (name == "--cases") s.samplesize.cases = count_value(name, take_value(), 0);
    else if (name == "--data-dir") s.Datapath2 = directory_value(take_value());
    else if (name == "--names-dir") options.names_dir = directory_value(take_value());
    else usage_error("unknown option " + name);
  }
  ScreenSettings& s = options.settings;
  s.Sample = samples ? *samples : s.samplesize.controls + s.samplesize.cases;
  if (s.Sample < 1) usage_error("--samples must be at least 1 (controls + cases is 0)");
  return options;
}

}  // namespace snp::screen

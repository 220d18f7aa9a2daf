// The association library's "parameter.txt": parse_parameter_text on the
// exact bytes, compared with a plain reading of the format (name/value word
// pairs, at most one per non-empty line and 20 in all, a 0xFF byte ending
// the line count), then the one reading of a file of these bytes in a work
// directory, and the derived run settings.
#include <climits>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "analysis/context.h"
#include "analysis/csm.h"
#include "analysis/input_files.h"
#include "analysis/parameter_file.h"
#include "fuzz_support.h"
#include "base/errors.h"

using namespace snp;

namespace {

// Non-empty lines of the text before its first 0xFF byte.
int plain_line_count(std::string_view text) {
  const size_t stop = text.find('\xff');
  if (stop != std::string_view::npos) text = text.substr(0, stop);
  int count = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) ++count;
    start = end + 1;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const std::string_view text = fuzz::as_text(data, size);

  std::ostringstream console, warnings;
  const ParameterText parsed = parse_parameter_text(text, console, warnings);
  FUZZ_CHECK(parsed.line_count == plain_line_count(text), "line count differs from the non-empty lines");
  const std::vector<std::string_view> words = fuzz::words_of(text);
  const size_t wanted = std::min<size_t>(static_cast<size_t>(parsed.line_count), 20);
  const size_t pairs = std::min(wanted, words.size() / 2);
  // A name without its value ends the reading with a warning.
  const bool dangling = pairs < wanted && words.size() % 2 == 1 && words.size() / 2 < wanted;
  FUZZ_CHECK(parsed.records.size() == pairs, "read " + std::to_string(parsed.records.size()) + " records, expected " +
                                                 std::to_string(pairs));
  FUZZ_CHECK(!dangling || fuzz::contains(warnings.str(), "expected a value after"), "name without value not reported");
  int valid = 0;
  for (size_t n = 0; n < parsed.records.size(); ++n) {
    const ParameterRecord& r = parsed.records[n];
    FUZZ_CHECK(r.name == words[2 * n], "record " + std::to_string(n) + ": name not taken verbatim");
    FUZZ_CHECK(r.line >= 1, "record without a line");
    if (r.word_valued) FUZZ_CHECK(r.word == words[2 * n + 1], "word value not taken verbatim");
    if (!r.word_valued && r.readable) FUZZ_CHECK(std::isfinite(r.real), "accepted a value that is not finite");
    if (!r.readable) FUZZ_CHECK(fuzz::contains(warnings.str(), "parameter.txt"), "rejected value without the file");
    if (std::isalpha(static_cast<unsigned char>(r.name[0]))) ++valid;
    (void)integer_value(r);
    (void)parameter_key(r.name);
  }
  FUZZ_CHECK(parsed.valid_count == valid, "valid count differs from the records that start with a letter");

  // The one reading of the program on a work directory holding these bytes.
  const std::string work = fuzz::scratch_dir() + "/analysis";
  std::filesystem::create_directories(work);
  fuzz::write_scratch("analysis/parameter.txt", text);
  AnalysisContext ctx;
  ctx.console = &fuzz::null_stream();
  ctx.warnings = &fuzz::null_stream();
  ctx.work_directory = work;
  AnalysisSettings settings;
  try {
    settings = read_analysis_settings(ctx.files(), fuzz::null_stream());
  } catch (const FatalError&) {
    FUZZ_CHECK(false, "the reader failed on a readable file");
  }
  const CsmParameters& p = settings.search;
  FUZZ_CHECK(p.fdr_cutoff > 0.0 && p.fdr_cutoff <= 1.0, "FDR cut-off outside (0, 1]");
  FUZZ_CHECK(p.best_m <= p.number_of_markers, "best_m above the marker count");
  FUZZ_CHECK(p.max_set_size == 1 || p.max_set_size == 2, "set size other than 1 or 2");
  FUZZ_CHECK(fuzz::contains(settings.search_notes.warnings, settings.driver_notes.warnings) &&
                 settings.search_notes.console == settings.driver_notes.console,
             "the search's notes do not repeat the driver's");
  const PeekedParameters peeked = peek_csm_parameters(ctx);
  FUZZ_CHECK(peeked.parameters.sample_size == p.sample_size && peeked.parameters.number_of_markers ==
                                                                    p.number_of_markers &&
                 peeked.parameters.number_of_permutation == p.number_of_permutation,
             "the silent reading differs from the search's");
  FUZZ_CHECK(settings.driver.ns == p.sample_size && settings.driver.nm == p.number_of_markers,
             "the driver's values differ from the search's");
  // The search sizes its kept-set array from these; sizes that the search
  // accepts must not overflow.
  if (p.sample_size >= 1 && p.number_of_markers >= 1 && p.number_of_markers <= 1000 && p.sample_size <= 1000) {
    try {
      Rand1State generator;
      OnceNotes shown;
      CSM csm(p, {fuzz::null_stream(), generator, shown, work + "/store.txt"});
      AnalysisInput empty;
      FUZZ_CHECK(!csm.run(0, empty), "a search without data reported success");
    } catch (const FatalError&) {
    }
  }
  return 0;
}

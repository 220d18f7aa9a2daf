#include "driver/parameter_file.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

#include "base/text_source.h"
#include "base/errors.h"

namespace snp {
namespace {

// Stores a value token; false when it is malformed for its type.
using ValueSetter = std::function<bool(std::string_view, RunConfig&)>;

ValueSetter int_value(int RunConfig::*field) {
  return [field](std::string_view token, RunConfig& cfg) {
    const auto value = parse_int(token);
    if (value) cfg.*field = *value;
    return value.has_value();
  };
}

ValueSetter optional_int_value(std::optional<int> RunConfig::*field) {
  return [field](std::string_view token, RunConfig& cfg) {
    const auto value = parse_int(token);
    if (value) cfg.*field = *value;
    return value.has_value();
  };
}

ValueSetter path_value(std::string RunConfig::*field) {
  return [field](std::string_view token, RunConfig& cfg) {
    cfg.*field = std::string(token);
    return true;
  };
}

const std::vector<std::pair<const char*, ValueSetter>>& parameter_order() {
  static const std::vector<std::pair<const char*, ValueSetter>> order = {
      {"an integer", int_value(&RunConfig::current_chr)},
      {"an integer", int_value(&RunConfig::population_marker)},
      {"an integer", int_value(&RunConfig::population_sample)},
      {"an integer", int_value(&RunConfig::typed_marker)},
      {"an integer", int_value(&RunConfig::ncase)},
      {"an integer", int_value(&RunConfig::ncontrol)},
      {"a decimal number",
       [](std::string_view token, RunConfig& cfg) {
         const auto value = parse_double(token);
         if (value) cfg.calling_genotype_threshood = *value;
         return value.has_value();
       }},
      {"a path", path_value(&RunConfig::path_hapmap_datadirectory)},
      {"a path", path_value(&RunConfig::path_disease_datadirectory)},
      {"a path", path_value(&RunConfig::path_hapmap_data_file)},
      {"a path", path_value(&RunConfig::path_hapmap_data_mapfile)},
      {"a path", path_value(&RunConfig::path_disease_data_file1)},
      {"a path", path_value(&RunConfig::path_disease_data_mapfile1)},
      {"a path", path_value(&RunConfig::path_disease_data_file0)},
      {"a path", path_value(&RunConfig::path_disease_data_mapfile0)},
      {"a path", path_value(&RunConfig::result_data_file)},
      {"an integer", optional_int_value(&RunConfig::first_marker)},
      {"an integer", optional_int_value(&RunConfig::last_marker)},
  };
  return order;
}

}  // namespace

void parse_parameter_text(std::string_view text, const std::string& path, RunConfig& cfg, std::ostream& warnings) {
  TextScanner scanner(text);
  int pair_number = 0;
  for (const auto& [kind, setter] : parameter_order()) {
    ++pair_number;
    std::string_view label, value;
    if (!scanner.next_token(label) || !scanner.next_token(value)) return;
    if (!setter(value, cfg)) {
      warnings << "Warning: line " << scanner.line() << " of " << path << ": value " << pair_number << " ("
               << label << ") should be " << kind << ", found \"" << value
               << "\"; it and the values after it keep their defaults\n";
      return;
    }
  }
}

bool read_parameter_file(const std::string& path, RunConfig& cfg, std::ostream& warnings) {
  const auto text = read_file_text(path);
  if (!text) return false;
  parse_parameter_text(*text, path, cfg, warnings);
  return true;
}

void echo_settings(const RunConfig& cfg, std::ostream& console) {
  console << cfg.current_chr << "\n"
          << cfg.population_marker << "\n"
          << cfg.population_sample << "\n"
          << cfg.typed_marker << "\n"
          << cfg.ncase << "\n"
          << cfg.ncontrol << "\n"
          << cfg.calling_genotype_threshood << "\n";
}

void echo_paths(const RunConfig& cfg, std::ostream& console) {
  console << "Path_reference_datadirectory=" << cfg.path_hapmap_datadirectory
          << "\nPath_study_datadirectory=" << cfg.path_disease_datadirectory
          << "\nReference_data_file=" << cfg.path_hapmap_data_file
          << "\nReference_data_mapfile=" << cfg.path_hapmap_data_mapfile
          << "\nDisease_data_file=" << cfg.path_disease_data_file1
          << "\nDisease_data_mapfile=" << cfg.path_disease_data_mapfile1
          << "\nNormal_data_file=" << cfg.path_disease_data_file0
          << "\nNormal_data_mapfile=" << cfg.path_disease_data_mapfile0
          << "\nImputation_result_data_file=" << cfg.result_data_file << "\n"
          << cfg.effective_first_marker() << "\n"
          << cfg.effective_last_marker() << "\n\n";
}

void normalise_directories(RunConfig& cfg) {
  for (std::string* dir : {&cfg.path_hapmap_datadirectory, &cfg.path_disease_datadirectory})
    if (dir->empty() || dir->back() != '/') dir->push_back('/');
}

void validate_counts(const RunConfig& cfg, const std::string& path) {
  auto require = [&](bool ok, const char* name, int value, const char* expected) {
    if (!ok)
      throw InputError(InputProblem::malformed, "Error: " + path + ": " + name + " must be " + expected + ", found " +
                                                    std::to_string(value) + "\n");
  };
  // The genotype matrices get one spare row and column beyond a count.
  constexpr int most = INT32_MAX - 1;
  require(cfg.population_marker >= 1, "population_marker", cfg.population_marker, "at least 1");
  require(cfg.population_marker <= most, "population_marker", cfg.population_marker, "at most 2147483646");
  require(cfg.population_sample >= 1, "population_sample", cfg.population_sample, "at least 1");
  require(cfg.population_sample <= most, "population_sample", cfg.population_sample, "at most 2147483646");
  require(cfg.typed_marker >= 1, "typed_marker", cfg.typed_marker, "at least 1");
  require(cfg.typed_marker <= most, "typed_marker", cfg.typed_marker, "at most 2147483646");
  require(cfg.ncase >= 0, "ncase", cfg.ncase, "0 or more");
  require(cfg.ncontrol >= 0, "ncontrol", cfg.ncontrol, "0 or more");
  const long individuals = static_cast<long>(cfg.ncase) + cfg.ncontrol;
  if (individuals < 1 || individuals > most)
    throw InputError(InputProblem::malformed, "Error: " + path + ": ncase + ncontrol must be from 1 to 2147483646, found " +
                                                  std::to_string(individuals) + "\n");
}

}  // namespace snp

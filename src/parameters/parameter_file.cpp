#include "parameters/parameter_file.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <sstream>
#include <vector>

#include "base/text_source.h"
#include "base/errors.h"
#include "base/output_file.h"

namespace snp {
namespace {

// One of the 18 pairs: the label written for it, the kind of value, and how
// the value is read into and written from the configuration.
struct ParameterField {
  const char* label;
  const char* kind;
  std::function<bool(std::string_view, RunConfig&)> read;  // false when malformed
  std::function<void(const RunConfig&, std::ostream&)> write;
};

// Reads an integer into `field`, an int or an optional int.
template <class Field>
std::function<bool(std::string_view, RunConfig&)> integer_reader(Field RunConfig::*field) {
  return [field](std::string_view token, RunConfig& cfg) {
    const auto value = parse_int(token);
    if (value) cfg.*field = *value;
    return value.has_value();
  };
}

ParameterField int_field(const char* label, int RunConfig::*field) {
  return {label, "an integer", integer_reader(field),
          [field](const RunConfig& cfg, std::ostream& out) { out << cfg.*field; }};
}

ParameterField range_field(const char* label, std::optional<int> RunConfig::*field,
                           int (RunConfig::*effective)() const) {
  return {label, "an integer", integer_reader(field),
          [effective](const RunConfig& cfg, std::ostream& out) { out << (cfg.*effective)(); }};
}

ParameterField path_field(const char* label, std::string RunConfig::*field) {
  return {label, "a path",
          [field](std::string_view token, RunConfig& cfg) {
            cfg.*field = std::string(token);
            return true;
          },
          [field](const RunConfig& cfg, std::ostream& out) { out << cfg.*field; }};
}

const std::vector<ParameterField>& parameter_fields() {
  static const std::vector<ParameterField> fields = {
      int_field("current_chr", &RunConfig::current_chr),
      int_field("population_marker", &RunConfig::population_marker),
      int_field("population_sample", &RunConfig::population_sample),
      int_field("typed_marker", &RunConfig::typed_marker),
      int_field("ncase", &RunConfig::ncase),
      int_field("ncontrol", &RunConfig::ncontrol),
      {"calling_genotype_threshood", "a decimal number",
       [](std::string_view token, RunConfig& cfg) {
         const auto value = parse_double(token);
         if (value) cfg.calling_genotype_threshood = *value;
         return value.has_value();
       },
       [](const RunConfig& cfg, std::ostream& out) { out << cfg.calling_genotype_threshood; }},
      path_field("Path_reference_datadirectory", &RunConfig::path_hapmap_datadirectory),
      path_field("Path_study_datadirectory", &RunConfig::path_disease_datadirectory),
      path_field("Reference_data_file", &RunConfig::path_hapmap_data_file),
      path_field("Reference_data_mapfile", &RunConfig::path_hapmap_data_mapfile),
      path_field("Disease_data_file", &RunConfig::path_disease_data_file1),
      path_field("Disease_data_mapfile", &RunConfig::path_disease_data_mapfile1),
      path_field("Normal_data_file", &RunConfig::path_disease_data_file0),
      path_field("Normal_data_mapfile", &RunConfig::path_disease_data_mapfile0),
      path_field("Imputation_result_data_file", &RunConfig::result_data_file),
      range_field("first_marker", &RunConfig::first_marker, &RunConfig::effective_first_marker),
      range_field("last_marker", &RunConfig::last_marker, &RunConfig::effective_last_marker),
  };
  return fields;
}

// The first 16 pairs are needed; the range alone may be left out.
constexpr int kPairsWithoutRange = 16;

void warn_missing_pairs(const std::string& path, int pairs, std::ostream& warnings) {
  if (pairs >= kPairsWithoutRange) return;
  const auto& fields = parameter_fields();
  warnings << "Warning: " << path << " holds " << pairs << " of the " << fields.size()
           << " label/value pairs; these keep their defaults:";
  for (size_t k = static_cast<size_t>(pairs); k < fields.size(); ++k) warnings << ' ' << fields[k].label;
  warnings << "\n";
}

// A pair under the label of another pair (as written by this program): a
// line is missing or repeated above it, and the values after it are shifted.
bool warn_misplaced_label(const std::string& path, std::string_view label, int pair_number, std::ostream& warnings) {
  const auto& fields = parameter_fields();
  for (size_t k = 0; k < fields.size(); ++k) {
    if (static_cast<int>(k) + 1 == pair_number || label != fields[k].label) continue;
    warnings << "Warning: " << path << ": pair " << pair_number << " is labelled " << label << ", the label of pair "
             << k + 1 << "; a line may be missing or repeated, shifting the values after it\n";
    return true;
  }
  return false;
}

}  // namespace

void parse_parameter_text(std::string_view text, const std::string& path, RunConfig& cfg, std::ostream& warnings) {
  TextScanner scanner(text);
  int pair_number = 0;
  const auto& fields = parameter_fields();
  bool shift_reported = false;
  for (const ParameterField& field : fields) {
    ++pair_number;
    std::string_view label, value;
    if (!scanner.next_token(label) || !scanner.next_token(value)) {
      warn_missing_pairs(path, pair_number - 1, warnings);
      return;
    }
    if (!shift_reported) shift_reported = warn_misplaced_label(path, label, pair_number, warnings);
    if (!field.read(value, cfg)) {
      warnings << "Warning: line " << scanner.line() << " of " << path << ": value " << pair_number << " ("
               << label << ") should be " << field.kind << ", found \"" << value
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

std::string parameter_text(const RunConfig& cfg) {
  for (const std::string* path : {&cfg.path_hapmap_datadirectory, &cfg.path_disease_datadirectory, &cfg.path_hapmap_data_file,
                                  &cfg.path_hapmap_data_mapfile, &cfg.path_disease_data_file1, &cfg.path_disease_data_mapfile1,
                                  &cfg.path_disease_data_file0, &cfg.path_disease_data_mapfile0, &cfg.result_data_file})
    if (std::any_of(path->begin(), path->end(), is_space))
      throw InputError(InputProblem::inconsistent,
                       "Error: the path " + *path + " holds white space, which a parameter file cannot carry\n");
  std::ostringstream text;
  for (const ParameterField& field : parameter_fields()) {
    text << field.label << ' ';
    field.write(cfg, text);
    text << '\n';
  }
  return text.str();
}

void assign_parameter(std::string_view assignment, RunConfig& cfg) {
  const size_t equals = assignment.find('=');
  const std::string_view label = assignment.substr(0, equals);
  const auto& fields = parameter_fields();
  const auto field = std::find_if(fields.begin(), fields.end(), [&](const ParameterField& f) { return label == f.label; });
  if (equals == std::string_view::npos || field == fields.end())
    throw InputError(InputProblem::malformed, "Error: " + std::string(assignment) +
                                                  ": expected LABEL=VALUE with a label of the parameter file\n");
  const std::string_view value = assignment.substr(equals + 1);
  if (value.empty() || value.find_first_of(" \t\n\r") != std::string_view::npos || !field->read(value, cfg))
    throw InputError(InputProblem::malformed, "Error: " + std::string(assignment) + ": " + field->label +
                                                  " should be " + field->kind + " without blanks\n");
}

void write_parameter_file(const std::string& path, const std::optional<std::string>& base,
                          const std::vector<std::string>& assignments, std::ostream& warnings) {
  RunConfig cfg;
  if (base && !read_parameter_file(*base, cfg, warnings))
    throw InputError(InputProblem::cannot_open, "Error: cannot open " + *base + "\n");
  for (const std::string& assignment : assignments) assign_parameter(assignment, cfg);
  const std::string text = parameter_text(cfg);
  write_file_atomically(path, [&](std::ostream& out) { out << text; });
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

void warn_about_settings(const RunConfig& cfg, const std::string& path, std::ostream& warnings) {
  const double threshold = cfg.calling_genotype_threshood;
  if (threshold >= 1)
    warnings << "Warning: " << path << ": calling threshold " << threshold
             << " is 1 or more: no untyped genotype can be called (all are -1)\n";
  else if (threshold < 0)
    warnings << "Warning: " << path << ": calling threshold " << threshold
             << " is below 0: every untyped genotype is called, however uncertain\n";
  const int first = cfg.effective_first_marker(), last = cfg.effective_last_marker();
  if (first > last)
    warnings << "Warning: " << path << ": first_marker " << first << " is after last_marker " << last
             << ": nothing is imputed\n";
  else if (last > cfg.population_marker)
    warnings << "Warning: " << path << ": last_marker " << last << " is beyond the " << cfg.population_marker
             << " reference markers: " << (first > cfg.population_marker ? "nothing is imputed" : "the range ends there")
             << "\n";
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

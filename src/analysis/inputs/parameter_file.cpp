#include "analysis/inputs/parameter_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "analysis/state/formatting.h"
#include "base/errors.h"

namespace snp {

const char kDefaultParameterText[] =
    "Inputfile\t\t\t\t\tdat1.txt\n"
    "Head\t\t\t\t\t\t\t1\n"
    "Recorder_num\t\t\t\t\t1\n"
    "Sample_size\t\t\t\t\t1033\n"
    "Number_of_markers\t\t\t152\n"
    "Symbol_of_missing_Gentype\t-1\n"
    "Max_retain\t\t\t\t\t10\n"
    "FDR_cutoff_for_candidate_locus_combinations\t0.75\n"
    "Number_of_permutation\t\t200\n"
    "How_many_imputation_to_deal_with_missing\t\t\t10\n"
    "Best_m\t\t\t\t\t\t10\n";

namespace {

constexpr int kWarnAboveLines = 15;
constexpr int kMostRecords = 20;

char char_at(const std::string& name, size_t position) { return position < name.size() ? name[position] : '\0'; }

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Splits the text into white-space separated words with their line numbers.
class WordReader {
 public:
  explicit WordReader(std::string_view text) : text_(text) {}

  bool next(std::string& word, long& line) {
    while (pos_ < text_.size() && is_space(text_[pos_])) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
    if (pos_ == text_.size()) return false;
    const size_t start = pos_;
    while (pos_ < text_.size() && !is_space(text_[pos_])) ++pos_;
    word.assign(text_.substr(start, pos_ - start));
    line = line_;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  long line_ = 1;
};

std::optional<float> parse_real(const std::string& word) {
  errno = 0;
  char* end = nullptr;
  const float value = std::strtof(word.c_str(), &end);
  if (end != word.c_str() + word.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

ParameterKey parameter_key(const std::string& name) {
  switch (char_at(name, 1)) {
    case 'D':
      return ParameterKey::fdr_cutoff;
    case 'n':
      return ParameterKey::input_file;
    case 'r':
      return ParameterKey::simulated_repetitions;
    case 'a':
      if (char_at(name, 2) == 'm') return ParameterKey::sample_size;
      if (char_at(name, 2) == 'x') return ParameterKey::max_retain;
      return ParameterKey::ignored;
    case 'e':
      if (char_at(name, 2) == 'a') return ParameterKey::head;
      if (char_at(name, 2) == 'c') return ParameterKey::recorder_num;
      return ParameterKey::best_m;
    case 'o':
      return ParameterKey::imputation_repeats;
    case 'u':
      return char_at(name, 10) == 'p' ? ParameterKey::number_of_permutation : ParameterKey::number_of_markers;
    case 'y':
      return ParameterKey::missing_symbol;
    default:
      return ParameterKey::unknown;
  }
}

int count_parameter_lines(std::string_view text) {
  int count = 0;
  char previous = '\0';
  bool any = false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) == 0xFF) break;
    if (c == '\n' && any && previous != '\n') ++count;
    previous = c;
    any = true;
  }
  if (any && previous != '\n') ++count;
  return count;
}

ParameterText parse_parameter_text(std::string_view text, std::ostream& console, std::ostream& warnings) {
  ParameterText result;
  result.line_count = count_parameter_lines(text);
  if (result.line_count > kWarnAboveLines)
    console << "There are too many line in parameter file to deal i=" << result.line_count
            << "\n               please delete those line for not use and line number don't more than 15.\n";
  const int wanted = std::min(result.line_count, kMostRecords);
  WordReader reader(text);
  for (int n = 0; n < wanted; ++n) {
    ParameterRecord record;
    if (!reader.next(record.name, record.line)) break;
    record.word_valued = char_at(record.name, 0) == 'I' || char_at(record.name, 1) == 'y';
    std::string value;
    long value_line = 0;
    if (!reader.next(value, value_line)) {
      warnings << "Warning: line " << record.line << " of " << kParameterFile << ": expected a value after "
               << record.name << "\n";
      break;
    }
    if (record.word_valued) {
      record.word = value;
    } else if (const auto real = parse_real(value)) {
      record.real = *real;
    } else {
      record.readable = false;
      warnings << "Warning: line " << value_line << " of " << kParameterFile << ": expected a number for "
               << record.name << ", found \"" << value << "\"; the entry is ignored\n";
    }
    if (std::isalpha(static_cast<unsigned char>(char_at(record.name, 0)))) ++result.valid_count;
    result.records.push_back(std::move(record));
  }
  return result;
}

void dispatch_parameters(const ParameterText& text, std::ostream& console,
                         const std::function<void(ParameterKey, const ParameterRecord&)>& apply) {
  const size_t count = std::min(text.records.size(), static_cast<size_t>(text.valid_count));
  for (size_t n = 0; n < count; ++n) {
    const ParameterRecord& record = text.records[n];
    const ParameterKey key = parameter_key(record.name);
    if (key == ParameterKey::unknown) {
      console << "Find error,needless parameter! parametername=" << record.name
              << " parametervalue=" << fixed6(record.real) << " k=" << text.valid_count << "\n";
      continue;
    }
    if (!record.word_valued && !record.readable) continue;
    apply(key, record);
  }
}

int integer_value(const ParameterRecord& record) {
  const double value = std::trunc(static_cast<double>(record.real));
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

void apply_search_parameter(CsmParameters& parameters, ParameterKey key, const ParameterRecord& record,
                            std::ostream& warnings) {
  CsmParameters& p = parameters;
  switch (key) {
    case ParameterKey::fdr_cutoff:
      if (record.real > 0.0f && record.real <= 1.0f) {
        p.fdr_cutoff = record.real;
      } else {
        warnings << "Warning: line " << record.line << " of " << kParameterFile << ": " << record.name
                 << " must lie in (0, 1], found " << record.real << "; " << p.fdr_cutoff << " stays\n";
      }
      break;
    case ParameterKey::input_file:
      p.input_file = record.word;
      break;
    case ParameterKey::simulated_repetitions:
      p.simulated_repetitions = integer_value(record);
      break;
    case ParameterKey::sample_size:
      p.sample_size = integer_value(record);
      break;
    case ParameterKey::max_retain:
      p.max_retain = integer_value(record);
      break;
    case ParameterKey::head:
      p.head = integer_value(record);
      break;
    case ParameterKey::recorder_num:
      p.recorder_num = integer_value(record);
      break;
    case ParameterKey::best_m:
      p.best_m = integer_value(record);
      break;
    case ParameterKey::imputation_repeats:
      p.imputation_repeats = integer_value(record);
      break;
    case ParameterKey::number_of_permutation:
      p.number_of_permutation = integer_value(record);
      break;
    case ParameterKey::number_of_markers:
      p.number_of_markers = integer_value(record);
      break;
    case ParameterKey::missing_symbol:
      p.missing_symbol = record.word;
      break;
    case ParameterKey::ignored:
    case ParameterKey::unknown:
      break;
  }
}

namespace {

void apply_driver_setting(DriverSettings& driver, ParameterKey key, const ParameterRecord& record) {
  switch (key) {
    case ParameterKey::sample_size:
      driver.ns = integer_value(record);
      break;
    case ParameterKey::number_of_markers:
      driver.nm = integer_value(record);
      break;
    case ParameterKey::imputation_repeats:
      driver.missingrepeat = integer_value(record);
      break;
    case ParameterKey::head:
      driver.head = integer_value(record);
      break;
    case ParameterKey::recorder_num:
      driver.recorder_num = integer_value(record);
      break;
    default:  // the search's values
      break;
  }
}

// One reading of `text` into both sets of values. The driver's notes are
// those of the parsing and the unknown keys; the search's add its rejected
// values.
void read_settings_text(std::string_view text, DriverSettings* driver, ReadingNotes* driver_notes,
                        CsmParameters& search, ReadingNotes& search_notes) {
  std::ostringstream console, warnings, search_warnings;
  const ParameterText parsed = parse_parameter_text(text, console, warnings);
  dispatch_parameters(parsed, console, [&](ParameterKey key, const ParameterRecord& record) {
    if (driver) apply_driver_setting(*driver, key, record);
    apply_search_parameter(search, key, record, search_warnings);
  });
  search.adjust();
  if (driver_notes) *driver_notes = {console.str(), warnings.str()};
  search_notes = {console.str(), warnings.str() + search_warnings.str()};
}

}  // namespace

void ReadingNotes::show(std::ostream& console_stream, std::ostream& warning_stream) const {
  console_stream << console;
  warning_stream << warnings;
}

AnalysisSettings read_analysis_settings(const WorkFiles& files, std::ostream& console) {
  AnalysisSettings settings;
  const std::string path = files.path(kParameterFile);
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    console << "Don't find parameter file use default value\n";
    std::ofstream out(path, std::ios::binary);
    if (!out) throw FatalError("Don't open parameter file\n", Channel::standard_output);
    out << kDefaultParameterText;
    out.close();
    if (!out) throw FatalError("Don't open parameter file\n", Channel::standard_output);
    read_settings_text(kDefaultParameterText, nullptr, nullptr, settings.search, settings.search_notes);
    return settings;
  }
  std::ostringstream content;
  content << in.rdbuf();
  read_settings_text(content.str(), &settings.driver, &settings.driver_notes, settings.search,
                     settings.search_notes);
  return settings;
}

CsmParameters quiet_search_parameters(std::string_view text) {
  CsmParameters parameters;
  ReadingNotes ignored;
  read_settings_text(text, nullptr, nullptr, parameters, ignored);
  return parameters;
}

}  // namespace snp

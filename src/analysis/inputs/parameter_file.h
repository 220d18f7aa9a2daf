// The library's "parameter.txt": name/value records whose names are told
// apart by a few of their characters. One reading gives both the driver's
// settings and the search's parameters.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/inputs/search_parameters.h"
#include "analysis/state/work_files.h"

namespace snp {

// The file written when none exists.
extern const char kDefaultParameterText[];

struct ParameterRecord {
  std::string name;
  long line = 0;             // line of the name in the file
  bool word_valued = false;  // the value is kept as text
  std::string word;          // value of a word-valued record
  float real = 0.0f;         // value of a numeric record
  bool readable = true;      // false when a numeric value was not a number
};

struct ParameterText {
  int line_count = 0;                    // non-empty lines
  std::vector<ParameterRecord> records;  // at most 20, in file order
  int valid_count = 0;                   // records whose name starts with a letter
};

// What a record sets, by the second character of its name and, for some,
// the third or eleventh.
enum class ParameterKey {
  fdr_cutoff,             // 'D'
  input_file,             // 'n'
  simulated_repetitions,  // 'r'
  sample_size,            // 'a', third 'm'
  max_retain,             // 'a', third 'x'
  head,                   // 'e', third 'a'
  recorder_num,           // 'e', third 'c'
  best_m,                 // 'e', other third
  imputation_repeats,     // 'o'
  number_of_permutation,  // 'u', eleventh 'p'
  number_of_markers,      // 'u', other eleventh
  missing_symbol,         // 'y'
  ignored,                // 'a', other third
  unknown,                // any other second character
};

ParameterKey parameter_key(const std::string& name);

// Lines that hold at least one byte other than the line end; a 0xFF byte
// ends the text.
int count_parameter_lines(std::string_view text);

// Reads min(line count, 20) records. Numeric values that are not numbers
// are reported on `warnings` and left unused.
ParameterText parse_parameter_text(std::string_view text, std::ostream& console, std::ostream& warnings);

// Hands the first valid_count records to `apply`; records of unknown key
// are reported on `console` instead.
void dispatch_parameters(const ParameterText& text, std::ostream& console,
                         const std::function<void(ParameterKey, const ParameterRecord&)>& apply);

// Numeric value truncated toward zero (clamped to the int range).
int integer_value(const ParameterRecord& record);

// Stores one record in the search's parameters; `warnings` hears of
// rejected values.
void apply_search_parameter(CsmParameters& parameters, ParameterKey key, const ParameterRecord& record,
                            std::ostream& warnings);

// The driver's own values.
struct DriverSettings {
  int ns = 400;            // sample size
  int nm = 20;             // number of markers
  int missingrepeat = 10;  // repeated analyses
  int head = 0;            // read for completeness; the driver does not use them
  int recorder_num = 0;
};

// Messages of a reading, kept until the run reaches the point they belong
// to: the driver's before the marker names, the search's at the start of
// every analysis.
struct ReadingNotes {
  std::string console;
  std::string warnings;
  void show(std::ostream& console_stream, std::ostream& warning_stream) const;
};

// Everything "parameter.txt" sets for one run of the library.
struct AnalysisSettings {
  DriverSettings driver;  // the built-in values when there was no file
  ReadingNotes driver_notes;
  // Adjusted; from the default file when there was none.
  CsmParameters search;
  // What every analysis shows when it takes its parameters: the messages
  // of the parsing plus the rejected search values.
  ReadingNotes search_notes;
};

// Reads the work directory's "parameter.txt" once. When there is none,
// says so on `console` and writes the default file, whose values the search
// then uses while the driver keeps its built-in ones.
AnalysisSettings read_analysis_settings(const WorkFiles& files, std::ostream& console);

// The search's parameters from `text` (adjusted), every message dropped.
CsmParameters quiet_search_parameters(std::string_view text);

}  // namespace snp

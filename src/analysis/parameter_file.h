// The library's "parameter.txt": name/value records whose names are told
// apart by a few of their characters, so one file serves both the driver's
// reader and the search's reader.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snp {

struct AnalysisContext;

inline constexpr const char* kParameterFile = "parameter.txt";

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

// Reads the work directory's "parameter.txt". When there is none, writes
// the default file and returns nothing: the built-in values stay in force.
std::optional<ParameterText> read_parameter_file(const AnalysisContext& ctx);

// Hands the first valid_count records to `apply`; records of unknown key
// are reported on `console` instead.
void dispatch_parameters(const ParameterText& text, std::ostream& console,
                         const std::function<void(ParameterKey, const ParameterRecord&)>& apply);

// Numeric value truncated toward zero (clamped to the int range).
int integer_value(const ParameterRecord& record);

// The driver's reader: sets ns, nm, missingrepeat, head and recorder_num
// from the file, or leaves them when the file is absent.
void ReadPara(const AnalysisContext& ctx, int* ns, int* nm, int* missingrepeat, int* head, int* recorder_num);

}  // namespace snp

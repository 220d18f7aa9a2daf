// The option layer shared by every program: one description of a program's
// options gives both its parser and its --help text. Options take their value
// as "--name value" or "--name=value"; --help and --version are always known.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace snp {

struct OptionSpec {
  std::string name;        // "--vcf"
  std::string value_name;  // "FILE"; empty for a flag
  std::string help;        // may hold several lines
};

struct ProgramSpec {
  std::string name;         // "snp-screen"
  std::string usage;        // what follows "Usage: " (may hold several lines)
  std::string description;  // text between the usage line and the options
  std::vector<OptionSpec> options;
  std::string footer;       // text after the options
  bool takes_positionals = false;
};

// What a command line asked for, before any program-specific checks.
class ParsedOptions {
 public:
  bool help = false;
  bool version = false;
  std::vector<std::string> positionals;

  bool has(const std::string& name) const { return values_.count(name) != 0; }
  std::optional<std::string> value(const std::string& name) const;
  // The value of an option the program cannot run without.
  std::string required(const std::string& name) const;
  // Whole number of at least `smallest`; `fallback` when the option is absent.
  int count(const std::string& name, int smallest, int fallback) const;
  void set(const std::string& name, std::string value) { values_[name] = std::move(value); }
  const std::string& program() const { return program_; }
  void set_program(std::string program) { program_ = std::move(program); }

 private:
  std::string program_;
  std::map<std::string, std::string> values_;
};

// Reads `args` (the arguments after the program name) against `spec`; throws
// FatalError with a usage message on an unknown option, a missing value or a
// positional argument the program does not take. A repeated option keeps its
// last value.
ParsedOptions parse_options(const ProgramSpec& spec, const std::vector<std::string>& args);

// The --help text of `spec`.
std::string help_text(const ProgramSpec& spec);
// The --version line of `program`.
std::string version_text(const std::string& program);

// Throws the usage error every program words alike:
// "Error: <what>\nRun <program> --help for the options.\n", status 1.
[[noreturn]] void throw_usage_error(const std::string& program, const std::string& what);

// Directory text with a final '/' (left empty when empty).
std::string with_final_slash(const std::string& directory);

}  // namespace snp

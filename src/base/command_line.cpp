#include "base/command_line.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "base/errors.h"

#ifndef SNP_VERSION
#define SNP_VERSION "unknown"
#endif

namespace snp {
namespace {

const OptionSpec* find_option(const ProgramSpec& spec, const std::string& name) {
  const auto it = std::find_if(spec.options.begin(), spec.options.end(),
                               [&](const OptionSpec& option) { return option.name == name; });
  return it == spec.options.end() ? nullptr : &*it;
}

constexpr size_t kHelpColumn = 23;

void append_option_help(std::ostringstream& text, const OptionSpec& option) {
  std::string head = "  " + option.name + (option.value_name.empty() ? "" : " " + option.value_name);
  const bool own_line = head.size() + 1 > kHelpColumn;
  text << head;
  std::istringstream lines(option.help);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (first && !own_line)
      text << std::string(kHelpColumn - head.size(), ' ') << line << "\n";
    else
      text << (first ? "\n" : "") << std::string(kHelpColumn, ' ') << line << "\n";
    first = false;
  }
  if (first) text << "\n";
}

}  // namespace

std::optional<std::string> ParsedOptions::value(const std::string& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? std::nullopt : std::optional<std::string>(it->second);
}

std::string ParsedOptions::required(const std::string& name) const {
  const auto text = value(name);
  if (!text) throw_usage_error(program_, "missing " + name);
  return *text;
}

int ParsedOptions::count(const std::string& name, int smallest, int fallback) const {
  const auto text = value(name);
  if (!text) return fallback;
  int number = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), number);
  if (error != std::errc() || end != text->data() + text->size() || number < smallest)
    throw_usage_error(program_, name + " needs a whole number of at least " + std::to_string(smallest) +
                                    ", found \"" + *text + "\"");
  return number;
}

ParsedOptions parse_options(const ProgramSpec& spec, const std::vector<std::string>& args) {
  ParsedOptions parsed;
  parsed.set_program(spec.name);
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (name == "--help" || name == "-h") {
      parsed.help = true;
      continue;
    }
    if (name == "--version") {
      parsed.version = true;
      continue;
    }
    if (name.size() < 2 || name[0] != '-') {
      if (!spec.takes_positionals) throw_usage_error(spec.name, "unexpected argument " + name);
      parsed.positionals.push_back(name);
      continue;
    }
    std::optional<std::string> value;
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const OptionSpec* option = find_option(spec, name);
    if (!option) throw_usage_error(spec.name, "unknown option " + name);
    if (option->value_name.empty()) {
      if (value) throw_usage_error(spec.name, "option " + name + " takes no value");
      parsed.set(name, "");
      continue;
    }
    if (!value) {
      if (i + 1 >= args.size()) throw_usage_error(spec.name, "option " + name + " needs a value");
      value = args[++i];
    }
    if (value->empty()) throw_usage_error(spec.name, "option " + name + " needs a value");
    parsed.set(name, *value);
  }
  return parsed;
}

std::string help_text(const ProgramSpec& spec) {
  std::ostringstream text;
  text << "Usage: " << spec.usage << "\n" << spec.description;
  if (!spec.options.empty()) text << "Options:\n";
  for (const OptionSpec& option : spec.options) append_option_help(text, option);
  text << "  --help               show this text\n"
       << "  --version            show the version\n"
       << spec.footer;
  return text.str();
}

std::string version_text(const std::string& program) { return program + " " SNP_VERSION "\n"; }

void throw_usage_error(const std::string& program, const std::string& what) {
  throw FatalError("Error: " + what + "\nRun " + program + " --help for the options.\n", Channel::standard_error);
}

std::string with_final_slash(const std::string& directory) {
  return directory.empty() || directory.ends_with('/') ? directory : directory + "/";
}

}  // namespace snp

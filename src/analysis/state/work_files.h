// analysis/state: work files and the run's state.
//
// The files the library keeps in its work directory: the parameter file,
// the host-name-prefixed work files, the reports and their numbered copies.
#pragma once

#include <string>

namespace snp {

inline constexpr const char* kParameterFile = "parameter.txt";

struct WorkFiles {
  // Directory of "parameter.txt", the work files and the reports; empty
  // means the current directory.
  std::string directory;
  // Prefix of the work files: the machine's host name.
  std::string host;

  // Path of a file in the work directory.
  std::string path(const std::string& name) const;
  // Path of a host-name-prefixed work file.
  std::string host_path(const std::string& name) const { return path(host + name); }
};

// The operating system's host name, up to its first blank.
std::string host_name();

// The bytes of `source` from its first non-blank byte up to the end or a
// 0xFF byte: what filecopy copies.
std::string copied_text(const std::string& source);

// Writes `text` to `path` under a temporary name beside it and renames it
// over `path` only once complete, so that a failed or interrupted run leaves
// the previous file as it was. A temporary file that cannot be created is
// reported as "cannot <open_failure> <path>".
void replace_file(const std::string& path, const std::string& text, const std::string& open_failure = "write");

// Copies `source` to `target` from its first non-blank byte up to the end
// or a 0xFF byte; `target` is replaced as a whole.
void filecopy(const std::string& source, const std::string& target);

// Keeps the reports of analysis `number`: "Final_result<number>.txt" and
// "P_value<number>.txt".
void keep_numbered_reports(const WorkFiles& files, int number);

}  // namespace snp

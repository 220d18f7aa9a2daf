// The files one screen writes, FDR_results.txt and (with --out) the screen
// table: checked against the inputs, created together before the work
// starts and committed together when it is done, under a lock that keeps
// a second screen from writing them in the same directory meanwhile.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/file_lock.h"
#include "base/output_file.h"

namespace snp::screen {

inline constexpr const char* kScreenLockFile = ".snp-screen.lock";

// An input file and what it is ("--cases file").
using NamedInput = std::pair<std::string, std::string>;

class ScreenOutputs {
 public:
  // `directory` holds FDR_results.txt (empty: the current one);
  // `table_path` is empty without a table. Throws FatalError when another
  // screen writes in the directory, when an output is the same file as an
  // input or as the other output, or when the table cannot be created.
  ScreenOutputs(const std::string& directory, const std::string& table_path, const std::vector<NamedInput>& inputs);

  // Null when FDR_results.txt could not be created (the screen reports
  // that when it gets there).
  std::ostream* fdr();
  std::ostream& table() { return table_->stream(); }
  // Gives both files their names; throws FatalError naming the file that
  // could not be written.
  void commit();

 private:
  FileLock lock_;
  std::string fdr_path_;
  std::optional<ReplacingFile> fdr_;
  std::optional<ReplacingFile> table_;
};

}  // namespace snp::screen

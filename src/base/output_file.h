// Outputs that appear complete or not at all.
#pragma once

#include <fstream>
#include <functional>
#include <iosfwd>
#include <string>

namespace snp {

// An output file written under a temporary name in its own directory and
// renamed over its final name by commit(), so that a failed or interrupted
// run leaves the previous file untouched. Without commit() the temporary
// file is removed.
class ReplacingFile {
 public:
  // Throws FatalError when the temporary file cannot be created.
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  std::ostream& stream() { return out_; }
  const std::string& path() const { return path_; }
  // Closes the file and gives it its final name; throws FatalError when it
  // could not be written completely or renamed.
  void commit();

 private:
  std::string path_;
  std::string temporary_;
  std::ofstream out_;
  bool committed_ = false;
};

// A name beside `path`, in the same directory, that no other run uses at the
// same time: where an output is written before it is renamed to `path`.
std::string temporary_name(const std::string& path);

// Renames `temporary` over `path`; throws FatalError when it cannot.
void rename_into_place(const std::string& temporary, const std::string& path);

// Writes `path` through `fill` as a ReplacingFile.
void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill);

}  // namespace snp

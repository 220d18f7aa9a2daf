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
// file is removed. A symbolic link is followed (the file it names is
// replaced); a device or pipe (/dev/null, /dev/stdout) is written in place.
class ReplacingFile {
 public:
  explicit ReplacingFile(std::string path);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // False when the temporary file could not be created (errno tells why).
  bool created() const { return created_; }
  std::ostream& stream() { return out_; }
  const std::string& path() const { return path_; }
  // Closes the file; false (errno set) when it could not be written
  // completely. Outputs committed together are all finished first.
  bool finish();
  // Finishes the file and gives it its final name; false (errno set) when it
  // could not be written completely or renamed.
  bool commit();

 private:
  std::string final_path() const;
  std::string path_;
  std::string temporary_;
  std::ofstream out_;
  bool in_place_ = false;
  bool created_ = false;
  bool committed_ = false;
  bool finished_ = false;
  bool written_ = false;
};

// A name beside `path`, in the same directory, that no other run uses at the
// same time: where an output is written before it is renamed to `path`.
std::string temporary_name(const std::string& path);

// Renames `temporary` over `path`; throws FatalError when it cannot.
void rename_into_place(const std::string& temporary, const std::string& path);

// Writes `path` through `fill` as a ReplacingFile; throws FatalError
// ("Error: cannot create|write PATH (reason)") when that fails.
void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill);

// Whether two paths name the same file: the same file on disk (links
// included) when both exist, else the same path once resolved.
bool same_file(const std::string& a, const std::string& b);

}  // namespace snp

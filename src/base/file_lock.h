// An exclusive lock that keeps two runs from writing the same fixed-name
// outputs at once.
#pragma once

#include <string>

namespace snp {

// Holds an exclusive lock on the file `path` (created when missing) from
// construction to destruction, and removes the file on release.
class FileLock {
 public:
  // Throws FatalError at once when another process holds the lock
  // (`busy_message`, printed as it is) or the file cannot be created.
  FileLock(std::string path, const std::string& busy_message);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace snp

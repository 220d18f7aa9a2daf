// One analysis at a time per work directory: the work files have fixed
// names, so two runs in one directory would overwrite each other's.
#pragma once

#include <string>

namespace snp {

inline constexpr const char* kLockFile = ".csm-analysis.lock";

// An exclusive lock on the lock file of a work directory (empty: the current
// directory), held from construction to destruction. The lock file is
// removed again on release.
class WorkDirectoryLock {
 public:
  // Throws FatalError at once when another run holds the lock or the lock
  // file cannot be created.
  explicit WorkDirectoryLock(const std::string& directory);
  ~WorkDirectoryLock();
  WorkDirectoryLock(const WorkDirectoryLock&) = delete;
  WorkDirectoryLock& operator=(const WorkDirectoryLock&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace snp

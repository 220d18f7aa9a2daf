#include "analysis/state/work_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "analysis/state/work_files.h"
#include "base/errors.h"

namespace snp {
namespace {

[[noreturn]] void lock_error(const std::string& path, int error) {
  throw FatalError("Error: cannot lock the work directory with " + path + " (" + std::strerror(error) + ")\n",
                   Channel::standard_error);
}

bool same_file(int fd, const std::string& path) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

WorkDirectoryLock::WorkDirectoryLock(const std::string& directory) : path_(WorkFiles{directory, ""}.path(kLockFile)) {
  // A run that ends removes the lock file while still holding its lock; a
  // lock won on a file that is no longer under the name is taken again on
  // the new one.
  for (;;) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) lock_error(path_, errno);
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd_);
      fd_ = -1;
      if (error == EWOULDBLOCK)
        throw FatalError("Error: another csm-analysis run is using " +
                             (directory.empty() ? std::string("this directory") : directory) +
                             " (it holds the lock on " + path_ + "); wait for it to end or run in another directory\n",
                         Channel::standard_error);
      lock_error(path_, error);
    }
    if (same_file(fd_, path_)) return;
    ::close(fd_);
  }
}

WorkDirectoryLock::~WorkDirectoryLock() {
  if (fd_ < 0) return;
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace snp

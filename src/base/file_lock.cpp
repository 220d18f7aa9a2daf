#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/errors.h"

namespace snp {
namespace {

bool still_named(int fd, const std::string& path) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

FileLock::FileLock(std::string path, const std::string& busy_message) : path_(std::move(path)) {
  // A run that ends removes the file while still holding its lock; a lock
  // won on a file no longer under the name is taken again on the new one.
  for (;;) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
      throw FatalError("Error: cannot create the lock file " + path_ + " (" + std::strerror(errno) + ")\n",
                       Channel::standard_error);
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(fd_);
      fd_ = -1;
      if (error == EWOULDBLOCK) throw FatalError(busy_message, Channel::standard_error);
      throw FatalError("Error: cannot lock " + path_ + " (" + std::strerror(error) + ")\n", Channel::standard_error);
    }
    if (still_named(fd_, path_)) return;
    ::close(fd_);
  }
}

FileLock::~FileLock() {
  if (fd_ < 0) return;
  ::unlink(path_.c_str());
  ::close(fd_);
}

}  // namespace snp

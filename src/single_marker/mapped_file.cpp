#include "single_marker/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "base/errors.h"
#include "base/parallel.h"

namespace snp::screen {
namespace {

constexpr int kMaxThreads = 8;

[[noreturn]] void read_failure(const std::string& path, int error) {
  throw InputError(InputProblem::cannot_open, "Error: cannot read " + path + ": " + std::strerror(error) + "\n");
}

}  // namespace

MappedFile::MappedFile(const std::string& path, const std::string& open_failure) : path_(path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw InputError(InputProblem::cannot_open, open_failure, Channel::standard_output);
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    read_failure(path, error);
  }
  size_ = static_cast<size_t>(info.st_size);
  if (size_ > 0) {
    void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    const int error = errno;
    ::close(fd);
    if (mapped == MAP_FAILED) read_failure(path, error);
    data_ = static_cast<const char*>(mapped);
    ::madvise(mapped, size_, MADV_SEQUENTIAL);
  } else {
    ::close(fd);
  }
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(const_cast<char*>(data_), size_);
}

void MappedFile::release(const char* from, const char* to) const {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(from) + page - 1) / page * page;
  const auto last = reinterpret_cast<std::uintptr_t>(to) / page * page;
  if (first < last) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

unsigned worker_count(size_t work, size_t work_per_thread) {
  return static_cast<unsigned>(workers_for(work, work_per_thread, std::min(hardware_threads(), kMaxThreads)));
}

}  // namespace snp::screen

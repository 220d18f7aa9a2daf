// A read-only memory map of a whole file, and the number of threads worth
// starting for work on it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace snp::screen {

class MappedFile {
 public:
  // Throws InputError with `open_failure` (standard output) when the file
  // cannot be opened, and a read error when it cannot be mapped.
  MappedFile(const std::string& path, const std::string& open_failure);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  const std::string& path() const { return path_; }
  const char* begin() const { return data_; }
  const char* end() const { return data_ + size_; }
  size_t size() const { return size_; }
  // Gives back the memory of the pages wholly inside [from, to); they are
  // read from the file again if touched.
  void release(const char* from, const char* to) const;

 private:
  std::string path_;
  const char* data_ = nullptr;
  size_t size_ = 0;
};

// Threads worth starting for the given amount of work items: at least one,
// at most the machine's processors and 8.
unsigned worker_count(size_t work, size_t work_per_thread);

}  // namespace snp::screen

#include "harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace snp::fuzz {
namespace {

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The runner removes $SNP_FUZZ_SCRATCH afterwards, also after a finding,
// where the process ends without clean-up.
std::string make_scratch_dir() {
  std::string root;
  if (const char* chosen = std::getenv("SNP_FUZZ_SCRATCH")) {
    root = chosen;
    std::filesystem::create_directories(root);
  } else {
    root = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
  }
  std::string pattern = root + "/snp-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  return pattern;
}

void remove_scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(scratch_dir(), ignored);
}

}  // namespace

const std::string& scratch_dir() {
  // Never destroyed, so that the removal at exit can still read it.
  static const std::string* const dir = [] {
    auto* d = new std::string(make_scratch_dir());
    std::atexit(remove_scratch_dir);
    return d;
  }();
  return *dir;
}

std::string write_scratch(const std::string& name, std::string_view text) {
  const std::string path = scratch_dir() + "/" + name;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) {
    std::cerr << "cannot write " << path << "\n";
    std::abort();
  }
  return path;
}

std::ostream& null_stream() {
  static NullBuffer buffer;
  static std::ostream stream(&buffer);
  return stream;
}

int open_descriptors() {
  std::error_code error;
  int count = 0;
  for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error))
    ++count;
  return count;
}

void check_descriptors(int before) {
  const int after = open_descriptors();
  if (after <= before) return;
  std::cerr << "the input left " << after - before << " file descriptor(s) open\n";
  std::abort();
}

}  // namespace snp::fuzz

// The harness every fuzz target shares. A target reads its input through
// Input (parameter bytes first, then the rest as text or as a scratch file)
// and calls readers; a typed error (FatalError) is the expected answer to a
// bad input and is swallowed, anything else escaping is a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "base/errors.h"

namespace snp::fuzz {

// A directory of this process (under $SNP_FUZZ_SCRATCH, else /dev/shm or
// the temporary directory), removed at exit.
const std::string& scratch_dir();
// Writes `text` to scratch_dir()/name and returns the path.
std::string write_scratch(const std::string& name, std::string_view text);
std::ostream& null_stream();

// File descriptors the process holds open; check_descriptors aborts (a
// finding) when an input left more open than there were before it.
int open_descriptors();
void check_descriptors(int before);

class Input {
 public:
  Input(const std::uint8_t* data, size_t size) : data_(data), size_(size) {}
  // The next byte, 0 once the input is used up.
  int byte() { return used_ < size_ ? data_[used_++] : 0; }
  // The bytes not taken by byte().
  std::string_view text() const {
    return used_ < size_ ? std::string_view(reinterpret_cast<const char*>(data_) + used_, size_ - used_)
                         : std::string_view();
  }
  std::string file(const std::string& name) const { return write_scratch(name, text()); }

 private:
  const std::uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

// Runs `step`, swallowing a typed error: for targets that go on after a
// reader has rejected the input.
template <class Step>
void attempt(Step&& step) {
  try {
    step();
  } catch (const FatalError&) {
  }
}

}  // namespace snp::fuzz

// SNP_FUZZ(input) { ... } defines the target's body.
#define SNP_FUZZ(input)                                                                              \
  static void fuzz_body(snp::fuzz::Input& input);                                                    \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {                     \
    snp::fuzz::Input input(data, size);                                                              \
    const int descriptors = snp::fuzz::open_descriptors();                                           \
    snp::fuzz::attempt([&] { fuzz_body(input); });                                                   \
    snp::fuzz::check_descriptors(descriptors);                                                       \
    return 0;                                                                                        \
  }                                                                                                  \
  static void fuzz_body(snp::fuzz::Input& input)

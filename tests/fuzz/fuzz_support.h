// Helpers shared by the fuzz targets: a scratch directory for the readers
// that take paths, a stream that discards, checks that stop the fuzzer, and
// the tiny data set of the input-phase target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_source.h"
#include "driver/run_config.h"

namespace snp::fuzz {

// A directory of this process (in /dev/shm when there is one), removed at exit.
const std::string& scratch_dir();
// Writes `text` to scratch_dir()/name and returns the path.
std::string write_scratch(const std::string& name, std::string_view text);

std::ostream& null_stream();

std::string_view as_text(const std::uint8_t* data, size_t size);

// Reports a broken expectation and aborts, which libFuzzer records as a
// finding together with the input.
[[noreturn]] void fail(const char* file, int line, const std::string& what);

// Whether `text` contains `part`.
inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// Whitespace-separated words, as the file formats define them.
inline std::vector<std::string_view> words_of(std::string_view text) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && is_space(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !is_space(text[pos])) ++pos;
    if (pos > start) out.push_back(text.substr(start, pos - start));
  }
  return out;
}

// Two allele letters from words[at]: one word of two characters, or two
// words of one; advances `at`. False when neither is there.
inline bool two_letters(const std::vector<std::string_view>& words, size_t& at, char& first, char& second) {
  if (at < words.size() && words[at].size() == 2) {
    first = words[at][0];
    second = words[at][1];
    at += 1;
    return true;
  }
  if (at + 1 < words.size() && words[at].size() == 1 && words[at + 1].size() == 1) {
    first = words[at][0];
    second = words[at + 1][0];
    at += 2;
    return true;
  }
  return false;
}

// A small consistent data set for the input phase: six reference markers,
// four haplotypes, four study markers (one strand-flipped, one absent from
// the panel), three cases and two controls.
struct TinyData {
  static constexpr const char* files[5] = {"hapmap.hap", "hapmap.map", "normal.map", "disease.geno", "normal.geno"};
  static std::string_view content(int file);
  // Writes the five files into scratch_dir()/tiny and returns a
  // configuration whose counts and paths match them.
  static RunConfig write_all();
};

}  // namespace snp::fuzz

#define FUZZ_CHECK(condition, what)                                          \
  do {                                                                       \
    if (!(condition)) ::snp::fuzz::fail(__FILE__, __LINE__, (what));         \
  } while (0)

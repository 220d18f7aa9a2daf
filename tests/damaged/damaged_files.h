// Ways a text file arrives damaged, shared by the damaged-input suites of
// the programs.
#pragma once

#include <string>

namespace snp::test::damage {

// Every "\n" turned into "\r\n".
inline std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The first `fraction` of the bytes, cut wherever that falls (mid-line).
inline std::string truncated(const std::string& text, double fraction) {
  return text.substr(0, static_cast<size_t>(static_cast<double>(text.size()) * fraction));
}

// `lines` first lines, each with its line end.
inline std::string first_lines(const std::string& text, int lines) {
  size_t end = 0;
  for (int k = 0; k < lines && end != std::string::npos; ++k) {
    end = text.find('\n', end);
    if (end != std::string::npos) ++end;
  }
  return end == std::string::npos ? text : text.substr(0, end);
}

// Bytes 0 to 255 over and over, `size` of them (white space included).
inline std::string binary(size_t size) {
  std::string out(size, '\0');
  for (size_t k = 0; k < size; ++k) out[k] = static_cast<char>(k % 256);
  return out;
}

// Bytes that hold no white space at all: one over-long "word".
inline std::string binary_word(size_t size) {
  std::string out(size, '\0');
  for (size_t k = 0; k < size; ++k) out[k] = static_cast<char>(128 + k % 128);
  return out;
}

// The line with number `line` (from 1) replaced by `replacement` (without
// its line end).
inline std::string with_line(const std::string& text, int line, const std::string& replacement) {
  size_t start = 0;
  for (int k = 1; k < line; ++k) start = text.find('\n', start) + 1;
  const size_t end = text.find('\n', start);
  return text.substr(0, start) + replacement + (end == std::string::npos ? "" : text.substr(end));
}

}  // namespace snp::test::damage

// Whole-file reading and a cursor over text for the readers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snp {

// The whole contents of a file, mapped into memory when it is a regular file.
class FileText {
 public:
  FileText() = default;
  FileText(FileText&& other) noexcept;
  FileText& operator=(FileText&& other) noexcept;
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;
  ~FileText();

  std::string_view view() const { return mapped_ ? std::string_view(mapped_, size_) : std::string_view(copy_); }
  operator std::string_view() const { return view(); }
  // True when the file is a stream that held more than the bytes read.
  bool cut() const { return cut_; }

 private:
  friend std::optional<FileText> read_file_text(const std::string& path, size_t stream_limit);
  const char* mapped_ = nullptr;
  size_t size_ = 0;
  std::string copy_;
  bool cut_ = false;
};

// Reads a whole file; nullopt when it cannot be opened or read. A regular
// file is mapped whole; of a pipe or device at most `stream_limit` bytes are
// read, so that an endless one such as /dev/zero cannot exhaust the memory.
std::optional<FileText> read_file_text(const std::string& path, size_t stream_limit = SIZE_MAX);

inline bool is_space(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Reads tokens, single characters and line remainders from text, keeping the
// 1-based number of the line the cursor is on. Whitespace includes line ends.
class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  // Next whitespace-delimited token; false at end of text.
  bool next_token(std::string_view& token);
  // Next non-blank character; false at end of text.
  bool next_char(char& c);
  // The rest of the current line, without its line end; the cursor moves to
  // the start of the next line.
  std::string_view rest_of_line();
  long line() const { return line_; }
  bool at_end() const { return pos_ >= text_.size(); }
  // Whether the cursor is at the end of a word: at white space or at the
  // end of the text.
  bool at_word_end() const { return pos_ >= text_.size() || is_space(text_[pos_]); }

 private:
  void skip_space();
  std::string_view text_;
  size_t pos_ = 0;
  long line_ = 1;
};

// Whole-token integer and decimal parsing; nullopt unless the token is
// exactly one number that fits its type.
std::optional<int> parse_int(std::string_view token);
std::optional<double> parse_double(std::string_view token);

}  // namespace snp

#include "base/text_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace snp {

FileText::FileText(FileText&& other) noexcept
    : mapped_(std::exchange(other.mapped_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      copy_(std::move(other.copy_)),
      cut_(other.cut_) {}

FileText& FileText::operator=(FileText&& other) noexcept {
  std::swap(mapped_, other.mapped_);
  std::swap(size_, other.size_);
  std::swap(copy_, other.copy_);
  std::swap(cut_, other.cut_);
  return *this;
}

FileText::~FileText() {
  if (mapped_) ::munmap(const_cast<char*>(mapped_), size_);
}

std::optional<FileText> read_file_text(const std::string& path, size_t stream_limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  FileText file;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    void* address = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (address != MAP_FAILED) {
      file.mapped_ = static_cast<const char*>(address);
      file.size_ = static_cast<size_t>(info.st_size);
      ::close(fd);
      return file;
    }
  }
  // Pipes, devices and empty files: read in chunks, up to one byte past the
  // limit to tell whether there was more.
  constexpr size_t chunk = 1 << 20;
  std::string& text = file.copy_;
  for (;;) {
    const size_t old_size = text.size();
    if (stream_limit != SIZE_MAX && old_size > stream_limit) {
      text.resize(stream_limit);
      file.cut_ = true;
      break;
    }
    const size_t want = stream_limit == SIZE_MAX ? chunk : std::min(chunk, stream_limit + 1 - old_size);
    text.resize(old_size + want);
    const ssize_t got = ::read(fd, text.data() + old_size, want);
    text.resize(old_size + static_cast<size_t>(got > 0 ? got : 0));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
  }
  ::close(fd);
  return file;
}

void TextScanner::skip_space() {
  while (pos_ < text_.size() && is_space(text_[pos_])) {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }
}

bool TextScanner::next_token(std::string_view& token) {
  skip_space();
  if (pos_ >= text_.size()) return false;
  const size_t start = pos_;
  while (pos_ < text_.size() && !is_space(text_[pos_])) ++pos_;
  token = text_.substr(start, pos_ - start);
  return true;
}

bool TextScanner::next_char(char& c) {
  skip_space();
  if (pos_ >= text_.size()) return false;
  c = text_[pos_++];
  return true;
}

std::string_view TextScanner::rest_of_line() {
  const size_t start = pos_;
  const size_t end = text_.find('\n', pos_);
  if (end == std::string_view::npos) {
    pos_ = text_.size();
    return text_.substr(start);
  }
  pos_ = end + 1;
  ++line_;
  return text_.substr(start, end - start);
}

std::optional<int> parse_int(std::string_view token) {
  if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
  int value = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (ec != std::errc() || end != token.data() + token.size() || token.empty()) return std::nullopt;
  return value;
}

std::optional<double> parse_double(std::string_view token) {
  const std::string copy(token);
  if (copy.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace snp

#include "base/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/errors.h"

namespace snp {
namespace {

[[noreturn]] void file_error(const std::string& what, const std::string& path, int error) {
  throw FatalError("Error: cannot " + what + " " + path + " (" + std::strerror(error) + ")\n", Channel::standard_error);
}

}  // namespace

std::string temporary_name(const std::string& path) {
  const std::filesystem::path target(path);
  std::string name = ".";
  name += target.filename().string();
  name += ".tmp";
  name += std::to_string(::getpid());
  return (target.parent_path() / name).string();
}

void rename_into_place(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) != 0) file_error("write", path, errno);
}

namespace {

// Where the file is written: beside the file a symbolic link points to; a
// device, pipe or directory is written (or fails) in place, as it cannot be
// replaced by a renamed file.
std::string written_path(const std::string& path, bool& in_place) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  in_place = std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
  if (in_place) return path;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
    return temporary_name(std::filesystem::weakly_canonical(path, error).string());
  return temporary_name(path);
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
  temporary_ = written_path(path_, in_place_);
  errno = 0;
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  created_ = out_.is_open();
}

ReplacingFile::~ReplacingFile() {
  if (committed_ || !created_ || in_place_) return;
  out_.close();
  std::remove(temporary_.c_str());
}

bool ReplacingFile::finish() {
  if (!finished_) {
    errno = 0;
    out_.close();
    finished_ = true;
    written_ = created_ && !out_.fail();
    if (!written_ && errno == 0) errno = EIO;
  }
  return written_;
}

bool ReplacingFile::commit() {
  if (!finish()) {
    if (errno == 0) errno = EIO;
    return false;
  }
  if (!in_place_ && std::rename(temporary_.c_str(), final_path().c_str()) != 0) return false;
  committed_ = true;
  return true;
}

std::string ReplacingFile::final_path() const {
  std::error_code error;
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(path_, error)))
    return std::filesystem::weakly_canonical(path_, error).string();
  return path_;
}

void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill) {
  ReplacingFile file(path);
  if (!file.created()) file_error("create", path, errno);
  fill(file.stream());
  if (!file.commit()) file_error("write", path, errno);
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code error;
  if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error))
    return std::filesystem::equivalent(a, b, error);
  return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

}  // namespace snp

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
  const std::string name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid());
  return (target.parent_path() / name).string();
}

void rename_into_place(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) != 0) file_error("write", path, errno);
}

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)), temporary_(temporary_name(path_)) {
  out_.open(temporary_, std::ios::binary | std::ios::trunc);
  if (!out_) file_error("create", path_, errno);
}

ReplacingFile::~ReplacingFile() {
  if (committed_) return;
  out_.close();
  std::remove(temporary_.c_str());
}

void ReplacingFile::commit() {
  out_.close();
  if (out_.fail()) file_error("write", path_, errno ? errno : EIO);
  rename_into_place(temporary_, path_);
  committed_ = true;
}

void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill) {
  ReplacingFile file(path);
  fill(file.stream());
  file.commit();
}

}  // namespace snp

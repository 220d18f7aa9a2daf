#include "base/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/errors.h"

namespace snp {
namespace {

[[noreturn]] void file_error(const std::string& what, const std::string& path, int error) {
  throw FatalError("Error: cannot " + what + " " + path + " (" + std::strerror(error) + ")\n", Channel::standard_error);
}

// A name beside `path` that no other run uses at the same time.
std::string temporary_name(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid());
  return (target.parent_path() / name).string();
}

}  // namespace

void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill) {
  const std::string temporary = temporary_name(path);
  try {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) file_error("create", path, errno);
    fill(out);
    out.close();
    if (out.fail()) file_error("write", path, errno ? errno : EIO);
    if (std::rename(temporary.c_str(), path.c_str()) != 0) file_error("write", path, errno);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

}  // namespace snp

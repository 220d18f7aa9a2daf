#include "convert/output_files.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "convert/panel_converter.h"
#include "convert/study_converter.h"
#include "base/text_source.h"
#include "base/errors.h"
#include "base/output_file.h"

namespace snp::convert {
namespace {

[[noreturn]] void file_error(const std::string& what, const std::string& path, int error) {
  throw FatalError("Error: cannot " + what + " " + path + " (" + std::strerror(error) + ")\n",
                   Channel::standard_error);
}

}  // namespace

void make_directory(const std::string& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) file_error("create the directory", directory, error.value());
}

std::string write_file(const std::string& directory, const char* name,
                       const std::function<void(std::ostream&)>& fill) {
  const std::string path = (std::filesystem::path(directory) / name).string();
  write_file_atomically(path, fill);
  return path;
}

std::string absolute_directory(const std::string& directory) {
  std::string path = std::filesystem::absolute(directory).lexically_normal().string();
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::optional<int> chromosome_number(const std::string& name) {
  std::string_view rest = name;
  for (const char* prefix : {"chr", "Chr", "CHR"})
    if (rest.starts_with(prefix)) rest.remove_prefix(std::strlen(prefix));
  if (rest == "X") return 23;
  if (rest == "Y") return 24;
  if (rest == "XY") return 25;
  if (rest == "M" || rest == "MT") return 26;
  const auto number = parse_int(rest);
  return number && *number >= 0 ? number : std::nullopt;
}

}  // namespace snp::convert

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

namespace snp::convert {
namespace {

[[noreturn]] void file_error(const std::string& what, const std::string& path, int error) {
  throw FatalError("Error: cannot " + what + " " + path + " (" + std::strerror(error) + ")\n",
                   Channel::standard_error);
}

void require_no_space(const std::string& path) {
  for (char c : path)
    if (is_space(c))
      throw InputError(InputProblem::inconsistent,
                       "Error: the path " + path + " holds white space, which a parameter file cannot carry\n");
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) file_error("create", path, errno);
  fill(out);
  out.close();
  if (out.fail()) file_error("write", path, errno ? errno : EIO);
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

std::string parameter_text(const RunParameters& p) {
  for (const std::string* path : {&p.reference_directory, &p.study_directory, &p.result_file})
    require_no_space(*path);
  std::ostringstream text;
  text << "current_chr " << p.chromosome << "\npopulation_marker " << p.reference_markers << "\npopulation_sample "
       << p.haplotypes << "\ntyped_marker " << p.study_markers << "\nncase " << p.cases << "\nncontrol "
       << p.controls << "\ncalling_genotype_threshood " << p.threshold << "\nPath_reference_datadirectory "
       << p.reference_directory << "\nPath_study_datadirectory " << p.study_directory
       << "\nReference_data_file " << kHaplotypeFile << "\nReference_data_mapfile " << kReferenceMapFile
       << "\nDisease_data_file " << kCaseGenotypeFile << "\nDisease_data_mapfile " << kCaseMapFile
       << "\nNormal_data_file " << kControlGenotypeFile << "\nNormal_data_mapfile " << kStudyMapFile
       << "\nImputation_result_data_file " << p.result_file << "\nfirst_marker 1\nlast_marker "
       << p.reference_markers << "\n";
  return text.str();
}

}  // namespace snp::convert

// Writing the converted files and the run's parameter file.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

namespace snp::convert {

inline constexpr const char* kParameterFile = "parameter.txt";
inline constexpr const char* kResultFile = "imputation_results.txt";

// Creates the directory (and its parents) when missing; throws FatalError.
void make_directory(const std::string& directory);

// Writes `directory`/`name` through `fill`; throws FatalError when the file
// cannot be created or written. Returns the file's path.
std::string write_file(const std::string& directory, const char* name, const std::function<void(std::ostream&)>& fill);

// Absolute form of a directory, ending in "/".
std::string absolute_directory(const std::string& directory);

// The number snp-impute gets for a chromosome name: the digits after an
// optional "chr" prefix, X 23, Y 24, XY 25, M or MT 26; nullopt otherwise.
std::optional<int> chromosome_number(const std::string& name);

}  // namespace snp::convert

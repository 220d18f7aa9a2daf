// Outputs that appear complete or not at all.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace snp {

// Writes `path` through `fill` under a temporary name in the same directory
// and renames it over `path` once complete, so that a failed or interrupted
// run leaves the previous file untouched. Throws FatalError when the file
// cannot be created, written or renamed (the temporary file is removed).
void write_file_atomically(const std::string& path, const std::function<void(std::ostream&)>& fill);

}  // namespace snp

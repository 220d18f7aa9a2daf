// Number formats of the library's files and console lines.
#pragma once

#include <iomanip>
#include <sstream>
#include <string>

namespace snp {

// Six decimals, as "%f" writes them.
inline std::string fixed6(double value) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(6) << value;
  return text.str();
}

}  // namespace snp

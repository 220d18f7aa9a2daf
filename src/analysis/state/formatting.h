// Number formats of the library's files and console lines.
#pragma once

#include <cstdio>
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

// One double through a C format such as "%7.3f  ".
inline std::string c_format(const char* format, double value) {
  const int size = std::snprintf(nullptr, 0, format, value);
  if (size <= 0) return {};
  std::string text(static_cast<size_t>(size) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, value);
  text.resize(static_cast<size_t>(size));
  return text;
}

}  // namespace snp

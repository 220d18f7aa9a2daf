// Fields of the text lines of .bim, .fam and phenotype files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/text_source.h"

namespace snp::genotypes {

// Splits a line at runs of blanks and tabs (a final '\r' is dropped).
std::vector<std::string_view> split_fields(std::string_view line);

// Calls each(line_number, line) for every line of the text (without its
// '\n').
template <class Each>
void for_each_line(std::string_view text, Each&& each) {
  long number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    each(++number, text.substr(start, end - start));
    start = end + 1;
  }
}

// The whole text of a file; throws InputError ("Error: cannot open PATH
// (reason)") when it cannot be read.
FileText read_text_file(const std::string& path);

// The value shown in a message: quoted, cut to 40 characters.
std::string shown(std::string_view value);

}  // namespace snp::genotypes

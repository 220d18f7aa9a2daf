// Which markers of a genotype fileset csm-analysis analyses: named ones
// (--snps) or the best of a screen table (--top).
#pragma once

#include <string>
#include <vector>

namespace snp {

// "--top FILE N" is one option with two words. The option layer takes one
// word per option, so the command line is first rewritten: "--top FILE N"
// and "--top=FILE N" become "--top=FILE<TAB>N" (the count is the next word
// when it does not start with '-').
std::vector<std::string> joined_top_arguments(const std::vector<std::string>& args);

struct TopRequest {
  std::string table;
  int count = 0;
};
// The value of --top as joined above; throws a usage error (for `program`)
// without a count of at least 1.
TopRequest parse_top_value(const std::string& program, const std::string& value);

// The `count` markers of the screen table with the smallest P_MIN, smallest
// first; equal values keep the table's order and NA comes last. The table
// is tab-separated with a header naming the columns SNP and P_MIN. Throws
// InputError when it has fewer markers or a P_MIN that is no number.
std::vector<std::string> top_markers(const std::string& table, int count);

// The names of --snps: a comma-separated list, or, when the value is a
// readable file, the white-space separated names in it. Throws InputError
// on an empty list or a name given twice.
std::vector<std::string> listed_markers(const std::string& value);

}  // namespace snp

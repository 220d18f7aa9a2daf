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

// A marker chosen for the analysis: by name (--snps; also CHR:BP:A1:A2),
// or as a row of a screen table, which gives its identity CHR:BP:A1:A2 too
// where the table has those columns (names can repeat: split multi-allelic
// sites, duplicated .bim rows).
struct MarkerChoice {
  std::string name;
  std::string identity;  // empty: by name alone
};

// As top_markers, with each row's identity.
std::vector<MarkerChoice> top_marker_rows(const std::string& table, int count);

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

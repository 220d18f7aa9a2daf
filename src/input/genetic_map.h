// Genetic maps: base-pair positions with their genetic positions in
// centimorgans, read from the usual three- or four-column text files, and
// the genetic positions of markers interpolated from them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace snp {

// Records of one chromosome, positions strictly ascending and genetic
// positions never decreasing; at least two records.
struct GeneticMap {
  std::vector<long> positions;
  std::vector<double> centimorgans;
};

// Parses a genetic map. The columns are found from a header line when the
// first line has one (a column named like "pos"/"position", one named like
// "cM"/"Genetic_Map(cM)" and, optionally, one named like "chr"; a rate
// column such as "COMBINED_rate(cM/Mb)" is ignored), so HapMap-style
// "position rate cM" and "pos chr cM" files read alike. Without a header,
// three columns are "chr position cM" and four are PLINK's
// "chr id cM position". With a chromosome column, only the records of
// `chromosome` are kept ("chr20" and "20" both match 20). Throws InputError
// naming the file and line on anything else.
GeneticMap parse_genetic_map(std::string_view text, const std::string& path, int chromosome);

// Reads and parses a genetic map file; throws InputError when it cannot be
// read.
GeneticMap read_genetic_map(const std::string& path, int chromosome);

// Genetic position of each base-pair position: linear between the map's
// records, and at the map's mean rate beyond its ends.
std::vector<double> genetic_positions(const GeneticMap& map, const std::vector<int>& positions);

// Genetic positions at a constant rate of `cm_per_mb` centimorgans per
// million bases.
std::vector<double> constant_rate_positions(const std::vector<int>& positions, double cm_per_mb);

}  // namespace snp

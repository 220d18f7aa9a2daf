// A study genotype file against a map of fuzzed allele letters. Bytes: the
// marker and sample counts, cases or controls, two letters per marker.
#include <string>

#include "harness.h"
#include "input/study_reader.h"

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 40;  // several blocks of eight markers
  const int samples = 1 + input.byte() % 70;  // more than one group of 64
  const bool controls = input.byte() & 1;
  std::string map;
  for (int m = 0; m < markers; ++m) {
    const char first = "ACGT-0Nx"[input.byte() % 8], second = "ACGT-0Nx"[input.byte() % 8];
    map += "7 " + std::to_string(m) + " rs" + std::to_string(m) + " " + first + " " + second + " 0 0 0\n";
  }
  const snp::GenotypeGroup group{snp::fuzz::write_scratch("study.map", map), input.file("study.geno"), 7, controls,
                                 samples};
  const int first_row = controls ? 1 : 0;  // a row of the other group before it
  snp::CodeMatrix rows(first_row + samples, markers, 99);
  std::vector<std::string> ids(static_cast<size_t>(first_row + samples));
  snp::read_genotype_group(group, markers, rows, first_row, ids, snp::fuzz::null_stream());
}

// snp-convert's text readers: the case list, and a converted panel's
// reference map and haplotype file; the first byte chooses the marker count.
#include "convert/panel_directory.h"
#include "convert/study_converter.h"
#include "harness.h"

SNP_FUZZ(input) {
  const size_t markers = static_cast<size_t>(input.byte() % 64);
  snp::fuzz::attempt([&] { snp::convert::parse_case_ids(input.text(), "cases.txt"); });
  snp::fuzz::attempt([&] { snp::convert::parse_reference_map(input.text(), "hapmap.map"); });
  snp::convert::tally_haplotypes(input.text(), "hapmap.hap", markers);
}

// The reference haplotype file; the first two bytes choose the counts.
#include "harness.h"
#include "input/reference_panel.h"

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 80;     // several vector blocks per line
  const int haplotypes = 1 + input.byte() % 70;  // more than one group of 64
  snp::read_haplotypes(input.file("panel.hap"), markers, haplotypes, snp::fuzz::null_stream());
}

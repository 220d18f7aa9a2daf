// The study map; the first byte chooses the marker count.
#include "harness.h"
#include "input/study_reader.h"

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 64;
  snp::parse_study_map(input.text(), "normal.map", markers);
}

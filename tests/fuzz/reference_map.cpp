// The reference map; the first byte chooses the marker count.
#include "harness.h"
#include "input/reference_panel.h"

SNP_FUZZ(input) {
  const int markers = 1 + input.byte() % 64;
  snp::ReferencePanel panel;
  panel.marker_count = markers;
  snp::read_reference_map(input.file("panel.map"), panel);
}

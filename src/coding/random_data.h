// Random data source: a panel, a study and an alignment of the configured
// shapes filled with random values, in place of the data files. The C library
// generator is never seeded: the same sizes give the same data.
#pragma once

#include "input/input_data.h"

namespace snp {

struct RandomDataSizes {
  int reference_markers = 0;
  int haplotypes = 0;
  int study_markers = 0;
  int individuals = 0;
};

// Throws InputError when there are more study markers than reference markers.
InputData random_input(const RandomDataSizes& sizes);

}  // namespace snp

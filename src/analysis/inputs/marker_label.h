// What the input says of an analysed marker: its name, place and alleles.
#pragma once

#include <string>

namespace snp {

struct MarkerLabel {
  std::string snp;
  std::string chromosome;
  long position = 0;
  std::string a1;  // the allele whose copies the genotype codes count
  std::string a2;
};

}  // namespace snp

// The genetic map and its interpolation; the first byte chooses the
// chromosome, the next four the positions looked up.
#include "harness.h"
#include "input/genetic_map.h"

SNP_FUZZ(input) {
  const int chromosome = 1 + input.byte() % 23;
  std::vector<int> positions;
  for (int k = 0; k < 4; ++k) positions.push_back(input.byte() * 4099);
  const snp::GeneticMap map = snp::parse_genetic_map(input.text(), "map.txt", chromosome);
  snp::genetic_positions(map, positions);
}

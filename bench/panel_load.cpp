// Load time of one panel from the text haplotype file and from the binary
// one: panel_load TEXT BINARY MARKERS HAPLOTYPES ROUNDS. Reads each file
// ROUNDS times, alternating, and prints the best processor time of each (the
// machine may be shared) and their
// ratio; stops when the two give different codes.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "input/binary_panel.h"
#include "input/reference_panel.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: panel_load TEXT BINARY MARKERS HAPLOTYPES ROUNDS\n");
    return 2;
  }
  const int markers = std::atoi(argv[3]), haplotypes = std::atoi(argv[4]), rounds = std::max(1, std::atoi(argv[5]));
  double best[2] = {1e300, 1e300};
  snp::CodeMatrix loaded[2];
  for (int round = 0; round < rounds; ++round)
    for (int k = 0; k < 2; ++k) {
      std::ostringstream console;
      const std::clock_t start = std::clock();
      loaded[k] = snp::read_haplotypes(argv[1 + k], markers, haplotypes, console);
      best[k] = std::min(best[k], static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
  for (int m = 0; m < markers; ++m)
    for (int h = 0; h < haplotypes; ++h)
      if (loaded[0](h, m) != loaded[1](h, m)) {
        std::fprintf(stderr, "panel_load: the files differ at haplotype %d, marker %d\n", h, m);
        return 1;
      }
  std::printf("text %.3f s, binary %.3f s (processor time, best of %d); binary / text %.3f, text / binary %.1f\n", best[0], best[1],
              rounds, best[1] / best[0], best[0] / best[1]);
  return 0;
}

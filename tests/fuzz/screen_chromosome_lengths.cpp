// The chromosome-length file that names screened markers: markers around
// every chromosome boundary located and named (three names per chromosome).
#include <string>

#include "genotypes/marker_naming.h"
#include "harness.h"

using namespace snp;

SNP_FUZZ(input) {
  static const bool names_written = [] {
    for (int c = 1; c <= MarkerNaming::kChromosomes; ++c) {
      std::string text;
      for (int k = 1; k <= 3; ++k) text += std::to_string(c) + " " + std::to_string(k) + " rs" + std::to_string(k) + "\n";
      fuzz::write_scratch("names/cc555k_map/cc555k_chr" + std::to_string(c) + ".snps", text);
    }
    return true;
  }();
  (void)names_written;
  const std::string_view text = input.text();
  input.file("names/Chromosome_SNP_Length.txt");
  MarkerNaming naming;
  naming.Datapath = fuzz::scratch_dir() + "/names/";
  const int size = static_cast<int>(std::min<size_t>(text.size(), 100000));
  for (int marker : {-1, 0, 1, 2, 3, 4, 5, 7, 50, 1000, size, size * 7919}) {
    fuzz::attempt([&] {
      int chromosome = 0, locus = 0;
      naming.return_chromosome_and_locus(marker, &chromosome, &locus);
      naming.findSNPname(chromosome, locus);
    });
  }
}

// The whole input phase (reading, alignment, allele coding) on a small
// consistent data set with one of its five files replaced by the input; the
// first byte chooses the file.
#include <string>

#include "coding/major_allele.h"
#include "driver/run_driver.h"
#include "harness.h"
#include "input/input_data.h"

namespace {

// Six reference markers (rs5 monomorphic), four haplotypes; four study
// markers: rs2 swapped, rs4 on the other strand, rs9 not in the panel.
const char* const kFiles[5] = {"hapmap.hap", "hapmap.map", "normal.map", "disease.geno", "normal.geno"};
const char* const kTiny[5] = {
    "0 1 1 0 1 0\n1 0 1 1 1 ?\n0 0 0 1 1 1\n1 1 0 0 1 0\n",
    ("rsID position allele0 allele1\nrs1 1000 A G\nrs2 2000 C T\nrs3 3000 A C\nrs4 4000 G T\nrs5 5000 A G\n"
     "rs6 6000 C G\n"),
    "7 1 rs1 A G 1000 0 0\n7 2 rs2 T C 2000 0 0\n7 3 rs4 C A 4000 0 0\n7 4 rs9 A T 9000 0 0\n",
    "case1 1 A G T C C A A T \ncase2 1 G G C C 0 0 A A \ncase3 1 A A T T C C T T \n",
    "ctrl1 0 A A C C A A A T \nctrl2 0 A G T T C A 0 T \n",
};

snp::RunConfig tiny_config() {
  for (int f = 0; f < 5; ++f) snp::fuzz::write_scratch(std::string("tiny/") + kFiles[f], kTiny[f]);
  snp::RunConfig cfg;
  cfg.current_chr = 7;
  cfg.population_marker = 6;
  cfg.population_sample = 4;
  cfg.typed_marker = 4;
  cfg.ncase = 3;
  cfg.ncontrol = 2;
  cfg.typed_sample = 5;
  cfg.path_hapmap_datadirectory = cfg.path_disease_datadirectory = snp::fuzz::scratch_dir() + "/tiny/";
  return cfg;
}

}  // namespace

SNP_FUZZ(input) {
  static const snp::RunConfig tiny = tiny_config();
  const int file = input.byte() % 5;
  input.file(std::string("tiny/") + kFiles[file]);
  snp::fuzz::attempt([&] {
    snp::InputData d = snp::read_input(snp::input_files(tiny), snp::fuzz::null_stream(), snp::fuzz::null_stream());
    snp::code_alleles(d.study, d.panel, d.study_map, d.alignment, snp::fuzz::null_stream());
  });
  snp::fuzz::write_scratch(std::string("tiny/") + kFiles[file], kTiny[file]);
}

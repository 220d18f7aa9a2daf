// The shared genotype readers: a PLINK fileset (.fam, .bim and .bed cut from
// one input) through streaming, counting and a named table; the phenotype
// file, the case list and the .fam statuses; a VCF; the imputation result
// file.
// Bytes: the reader, then its sizes.
#include "genotypes/genotypes.h"
#include "genotypes/phenotypes.h"
#include "harness.h"

using namespace snp::genotypes;

namespace {

const std::vector<Sample> kSamples = {{"f1", "a", 1, "2"}, {"f1", "b", 2, "1"}, {"c", "c", 0, "-9"}};

void read_fileset(snp::fuzz::Input& input) {
  const auto fam_bytes = static_cast<size_t>(input.byte() * 2);
  const auto bim_bytes = static_cast<size_t>(input.byte() * 4);
  const std::string_view text = input.text();
  const std::string_view fam = text.substr(0, fam_bytes);
  const std::string_view bim = text.substr(std::min(text.size(), fam_bytes), bim_bytes);
  snp::fuzz::write_scratch("g.fam", fam);
  snp::fuzz::write_scratch("g.bim", bim);
  snp::fuzz::write_scratch("g.bed", text.substr(std::min(text.size(), fam_bytes + bim_bytes)));
  const std::string prefix = snp::fuzz::scratch_dir() + "/g";
  auto reader = open_bed(prefix);
  snp::fuzz::attempt([&] { phenotypes_from_fam(reader->samples(), prefix + ".fam"); });
  std::vector<std::uint8_t> groups(reader->samples().size());
  for (size_t s = 0; s < groups.size(); ++s) groups[s] = static_cast<std::uint8_t>(s % 3);
  MarkerBlock block;
  std::vector<GroupCounts> counts;
  reader->count_block(block, counts, 3, groups);
  read_table(*reader, {"rs1", "rs2"});
  read_table(*open_bed(prefix));
}

}  // namespace

SNP_FUZZ(input) {
  switch (input.byte() % 5) {
    case 0:
      read_fileset(input);
      break;
    case 1:
      phenotypes_from_file(kSamples, input.file("pheno.txt"), {input.byte() % 2 ? "" : "status", input.byte() % 2 == 0});
      break;
    case 2:
      phenotypes_from_case_list(kSamples, input.file("cases.txt"));
      break;
    case 3:
      read_table(*open_vcf(input.file("study.vcf")));
      break;
    default: {
      const int samples = 1 + input.byte() % 8;
      read_table(*open_imputed(input.file("result.txt"), samples, "7"));
    }
  }
}

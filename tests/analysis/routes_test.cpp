// csm-analysis end to end on the routes that prepare their data sets: the
// same genotypes as text, as a PLINK fileset and as a VCF give the same
// reports, and drawn permutations repeat exactly.
#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace snp {
namespace {

using test::ScratchDir;

const std::string kFileset = FILESET_DIR;
const std::string kAllMarkers = "rs1001,rs1002,rs1003,rs1004,rs1005,rs1006,rs1007,rs1008,rs1009,rs1010,rs1011,rs1012";

test::ProgramRun analyse(const ScratchDir& dir, std::vector<std::string> args) {
  args.insert(args.end(), {"--permutations", "4", "--seed", "3", "--quiet"});
  return test::run_program(CSM_ANALYSIS_BIN, args, dir.path());
}

TEST(AnalysisRoutes, TextBedAndVcfGiveTheSameReports) {
  ScratchDir text, bed, vcf, cases;
  ASSERT_EQ(analyse(text, {"--genotypes", ANALYSIS_DATA_DIR "/csm/genotypes.txt", "--phenotypes", kFileset + "/p.txt",
                           "--columns", kFileset + "/c.txt", "--data-dir", ANALYSIS_DATA_DIR "/csm"})
                .status,
            0);
  // The .fam's extra sample without a status (-9) is left out, with a note.
  const auto bed_run = analyse(bed, {"--bfile", kFileset + "/study", "--snps", kAllMarkers});
  ASSERT_EQ(bed_run.status, 0) << bed_run.err;
  EXPECT_EQ(bed_run.err, "Note: 1 sample(s) without a phenotype left out of the analysis\n");
  ASSERT_EQ(analyse(vcf, {"--vcf", kFileset + "/study.vcf", "--pheno", kFileset + "/pheno.txt", "--snps", kAllMarkers})
                .status,
            0);
  ASSERT_EQ(analyse(cases, {"--vcf", kFileset + "/study.vcf", "--cases", kFileset + "/cases.txt", "--snps", kAllMarkers})
                .status,
            0);
  // A case list makes every other sample a control, the extra one too.
  EXPECT_EQ(cases.read("parameter.txt").substr(0, 19), "Sample_size\t\t\t\t\t201");
  for (const ScratchDir* dir : {&bed, &vcf}) {
    EXPECT_EQ(dir->read("Final_result.txt"), text.read("Final_result.txt"));
    EXPECT_EQ(dir->read("P_value.txt"), text.read("P_value.txt"));
    EXPECT_EQ(dir->read("csm_model.tsv"), bed.read("csm_model.tsv"));
  }
  EXPECT_FALSE(text.exists("csm_model.tsv"));  // the text files name no alleles
  EXPECT_EQ(text.read("parameter.txt"), "Sample_size\t\t\t\t\t200\nNumber_of_markers\t\t\t12\nMax_retain\t\t\t\t\t10\n"
                                        "FDR_cutoff_for_candidate_locus_combinations\t0.75\n"
                                        "Number_of_permutation\t\t4\nHow_many_imputation_to_deal_with_missing\t\t\t1\n"
                                        "Best_m\t\t\t\t\t\t10\n");
}

TEST(AnalysisRoutes, ASeedRepeatsTheRunAndAnotherSeedDrawsOtherPermutations) {
  ScratchDir first, second, other;
  const std::vector<std::string> args{"--bfile", kFileset + "/study", "--top", kFileset + "/screen.tsv", "4"};
  ASSERT_EQ(analyse(first, args).status, 0);
  ASSERT_EQ(analyse(second, args).status, 0);
  EXPECT_EQ(second.read("P_value.txt"), first.read("P_value.txt"));
  auto seeded = args;
  seeded.insert(seeded.end(), {"--permutations", "4", "--seed", "4", "--quiet"});
  ASSERT_EQ(test::run_program(CSM_ANALYSIS_BIN, seeded, other.path()).status, 0);
  EXPECT_NE(other.read("P_value.txt"), first.read("P_value.txt"));
}

TEST(AnalysisRoutes, ParameterFileThatDisagreesWithTheDataStopsTheRunBeforeAnyWork) {
  ScratchDir dir;
  dir.write("parameter.txt", "Sample_size 201\nNumber_of_markers 12\nNumber_of_permutation 4\n");
  const auto run = analyse(dir, {"--bfile", kFileset + "/study", "--snps", kAllMarkers});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("Error: parameter.txt: Sample_size is 201, but the data have 200 individuals"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(dir.exists("P_value.txt"));
}

// --top re-ranks the markers on the observed data; a table whose choice
// differs (here rs1012 made the best) was made from other data.
TEST(AnalysisRoutes, ScreenTableOfOtherDataIsRefused) {
  ScratchDir dir;
  dir.write("other.tsv", "SNP\tP_MIN\nrs1010\t2.9e-11\nrs1012\t1e-30\nrs1003\t1.2e-06\n");
  const auto run = analyse(dir, {"--bfile", kFileset + "/study", "--top", dir.path() + "/other.tsv", "3"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("other.tsv: the screen table was made from other data: its marker 1 by P_MIN is rs1012, "
                         "the screen of these genotypes and phenotypes ranks rs1010 there"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(dir.exists("P_value.txt"));
}

TEST(AnalysisRoutes, OptionsThatDoNotGoTogetherAreUsageErrors) {
  ScratchDir dir;
  const auto error = [&](const std::vector<std::string>& args) {
    const auto run = test::run_program(CSM_ANALYSIS_BIN, args, dir.path());
    EXPECT_EQ(run.status, 1);
    return run.err.substr(0, run.err.find('\n'));
  };
  EXPECT_EQ(error({"--bfile", "x", "--vcf", "y", "--snps", "a"}), "Error: --bfile and --vcf exclude each other");
  EXPECT_EQ(error({"--bfile", "x"}), "Error: --bfile and --vcf need either --snps LIST or --top FILE N");
  EXPECT_EQ(error({"--vcf", "y", "--snps", "a"}), "Error: --vcf needs --pheno FILE or --cases FILE");
  EXPECT_EQ(error({"--genotypes", "g", "--snps", "a", "--permutations", "2"}), "Error: --snps needs --bfile or --vcf");
  EXPECT_EQ(error({"--bfile", "x", "--top", "t.tsv"}),
            "Error: --top needs a screen table and a number of markers of at least 1, as --top FILE N");
  EXPECT_EQ(error({"--bfile", kFileset + "/study", "--snps", "rs1001,rs9"}),
            "Error: " + kFileset + "/study.bed: 1 selected marker(s) not found: rs9");
}

}  // namespace
}  // namespace snp

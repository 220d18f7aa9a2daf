// The fast engine against the step-by-step reference engine: on generated
// data sets both must write the same result file and the same console output.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "test_support.h"

namespace snp {
namespace {

using test::ProgramRun;
using test::TempDir;
using test::TinyStudy;

struct Shape {
  int haplotypes;
  int markers;
  int typed;
  int individuals;
  double missing_genotype;  // share of missing study genotypes
  double missing_allele;    // share of "?" in the panel
  int founders;             // 0: unrelated random haplotypes
  double noise;             // study haplotypes' departure from the founders
};

// Haplotype of `markers` alleles copied from founders with switches and noise.
std::string mosaic(std::mt19937& rng, const std::vector<std::string>& founders, int markers, double noise) {
  std::uniform_real_distribution<double> u(0, 1);
  std::string h;
  size_t current = rng() % founders.size();
  for (int m = 0; m < markers; ++m) {
    if (u(rng) < 0.2) current = rng() % founders.size();
    char allele = founders[current][static_cast<size_t>(m)];
    if (u(rng) < noise) allele = allele == '0' ? '1' : '0';
    h += allele;
  }
  return h;
}

TinyStudy generate(const Shape& shape, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<std::string> founders;
  for (int f = 0; f < std::max(shape.founders, 1); ++f) {
    std::string h;
    for (int m = 0; m < shape.markers; ++m) h += static_cast<char>('0' + rng() % 2);
    founders.push_back(h);
  }
  auto haplotype = [&](double noise) {
    return shape.founders ? mosaic(rng, founders, shape.markers, noise) : mosaic(rng, founders, shape.markers, 0.5);
  };
  const std::string letters[] = {"AG", "CT", "AC", "GT"};
  TinyStudy s;
  for (int h = 0; h < shape.haplotypes; ++h) {
    std::string codes = haplotype(0.02);
    for (char& c : codes)
      if (u(rng) < shape.missing_allele) c = '?';
    s.haplotypes.push_back(codes);
  }
  for (int m = 0; m < shape.markers; ++m) {
    s.ref_names.push_back("rs" + std::to_string(100 + m));
    s.ref_letters.push_back(letters[m % 4]);
  }
  // Typed markers spread over the panel, in reference order.
  std::vector<int> typed;
  for (int k = 0; k < shape.typed; ++k) typed.push_back(k * shape.markers / shape.typed);
  for (int m : typed) {
    s.study_names.push_back(s.ref_names[static_cast<size_t>(m)]);
    s.study_letters.push_back(s.ref_letters[static_cast<size_t>(m)]);
  }
  for (int r = 0; r < shape.individuals; ++r) {
    const std::string h1 = haplotype(shape.noise), h2 = haplotype(shape.noise);
    std::string genotype;
    for (int m : typed) {
      const std::string& l = s.ref_letters[static_cast<size_t>(m)];
      if (u(rng) < shape.missing_genotype) {
        genotype += "00";
      } else {
        genotype += l[static_cast<size_t>(h1[static_cast<size_t>(m)] - '0')];
        genotype += l[static_cast<size_t>(h2[static_cast<size_t>(m)] - '0')];
      }
    }
    (r % 2 ? s.controls : s.cases).push_back(genotype);
  }
  return s;
}

std::string without_times(const std::string& out, const std::string& result_name) {
  std::string text = std::regex_replace(out, std::regex("time =[0-9]+"), "time =T");
  return std::regex_replace(text, std::regex(result_name), "RESULT");
}

// Returns the console output of the fast engine.
std::string expect_same_output(const Shape& shape, unsigned seed, const std::string& threshold) {
  TempDir dir;
  const TinyStudy s = generate(shape, seed);
  s.write(dir);
  std::string params = s.parameter_text(dir.path());
  params = std::regex_replace(params, std::regex("threshold 0.33"), "threshold " + threshold);
  dir.write("fast.txt", std::regex_replace(params, std::regex("imputation_results.txt"), "fast_results.txt"));
  dir.write("reference.txt", std::regex_replace(params, std::regex("imputation_results.txt"), "reference_results.txt"));
  const ProgramRun fast = test::run_program(SNP_IMPUTE_BIN, {"fast.txt"}, dir.path());
  const ProgramRun reference = test::run_program(SNP_IMPUTE_BIN, {"--engine=reference", "reference.txt"}, dir.path());
  const std::string label = "seed " + std::to_string(seed) + " haplotypes " + std::to_string(shape.haplotypes);
  EXPECT_EQ(fast.status, reference.status) << label;
  EXPECT_EQ(std::regex_replace(fast.err, std::regex("fast.txt"), "reference.txt"), reference.err) << label;
  EXPECT_EQ(without_times(fast.out, "fast_results.txt"), without_times(reference.out, "reference_results.txt"))
      << label;
  EXPECT_EQ(dir.read("fast_results.txt"), dir.read("reference_results.txt")) << label;
  return fast.out;
}

TEST(EngineDifferential, LinkedPanelsWithMissingData) {
  unsigned seed = 1;
  for (int haplotypes : {2, 3, 4, 5, 8, 20})
    for (double missing : {0.0, 0.15})
      expect_same_output({haplotypes, 40, 16, 6, missing, missing / 3, 3, 0.05}, seed++, "0.33");
}

TEST(EngineDifferential, TinyPanelsAndShortTypedLists) {
  unsigned seed = 100;
  std::string console;
  for (int haplotypes : {1, 2, 3})
    for (int typed : {2, 5, 11, 13})
      console += expect_same_output({haplotypes, 24, typed, 5, 0.1, 0.2, 2, 0.1}, seed++, "0.33");
  EXPECT_NE(console.find("count="), std::string::npos);
}

TEST(EngineDifferential, UnrelatedHaplotypesLeaveIndividualsWithoutPairs) {
  // Random haplotypes with heterozygous-rich study individuals: many have no
  // compatible pair, so the segmentation check and the fallback run.
  unsigned seed = 200;
  std::string console;
  for (const char* threshold : {"0.33", "0.6", "-1"})
    for (int haplotypes : {4, 7, 12})
      console += expect_same_output({haplotypes, 30, 14, 8, 0.1, 0.05, 0, 0.5}, seed++, threshold);
  EXPECT_NE(console.find(" find problem\n"), std::string::npos);
}

}  // namespace
}  // namespace snp

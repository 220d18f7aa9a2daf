// The regression's inputs: covariate tables, VCF dosages and the principal
// components.
#include <gtest/gtest.h>

#include <cmath>

#include "association/covariates.h"
#include "association/dosages.h"
#include "association/principal_components.h"
#include "base/errors.h"
#include "test_support.h"

namespace snp::association {
namespace {

using genotypes::Sample;

const std::vector<Sample> kSamples = {{"f1", "a", 0, ""}, {"f1", "b", 0, ""}, {"f2", "a", 0, ""}};

TEST(Covariates, MatchFamilyAndIdThenIdAlone) {
  test::TempDir dir;
  dir.write("c.txt", "#FID\tIID\tage\tsex\n f2 a 40 1\nf1\tb\tNA\t2\nf9 nobody 1 1\n");
  const Covariates c = read_covariates(kSamples, dir.file("c.txt"));
  ASSERT_EQ(c.names, (std::vector<std::string>{"age", "sex"}));
  EXPECT_TRUE(std::isnan(c.at(0, 0)));  // f1 a: not in the file
  EXPECT_TRUE(std::isnan(c.at(1, 0)));
  EXPECT_EQ(c.at(1, 1), 2);
  EXPECT_EQ(c.at(2, 0), 40);
  EXPECT_EQ(c.unmatched_ids, 1);

  dir.write("i.txt", "IID x y z\nb 1 2 3\n");
  const Covariates chosen = read_covariates(kSamples, dir.file("i.txt"), split_names("z,,x"));
  ASSERT_EQ(chosen.names, (std::vector<std::string>{"z", "x"}));
  EXPECT_EQ(chosen.at(1, 0), 3);
  EXPECT_EQ(chosen.at(1, 1), 1);
}

TEST(Covariates, RefuseWhatIsNoNumber) {
  test::TempDir dir;
  for (const char* text : {"IID x\nb 1e400\n", "IID x\nb 0x10\n", "IID x\nb 1,5\n", "IID x x\nb 1 2\n", "FID x\n"}) {
    dir.write("c.txt", text);
    EXPECT_THROW(read_covariates(kSamples, dir.file("c.txt")), InputError) << text;
  }
}

TEST(Dosages, DsWhereGivenGtElseOutOfRangeMissing) {
  test::TempDir dir;
  dir.write("d.vcf",
            "##fileformat=VCFv4.2\n##contig=<ID=1>\n"
            "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
            "##FORMAT=<ID=DS,Number=A,Type=Float,Description=\"D\">\n"
            "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\n"
            "1\t5\t.\tA\tG\t.\t.\t.\tGT:DS\t0/1:0.9\t1/1:.\t0/0:2.5\n"
            "1\t6\tr2\tA\tC,T\t.\t.\t.\tGT\t0/1\t0/1\t0/1\n"
            "1\t7\tr3\tA\tT\t.\t.\t.\tGT\t0|1\t1/1\t./.\n");
  const auto source = open_vcf_dosages(dir.file("d.vcf"));
  DosageBlock block;
  ASSERT_TRUE(source->read(block, 10));
  ASSERT_EQ(block.size(), 2u);
  EXPECT_EQ(block.markers[0].name, "1:5");
  EXPECT_EQ(block.markers[0].counted, "G");
  EXPECT_FLOAT_EQ(static_cast<float>(block.of(0)[0]), 0.9f);
  EXPECT_TRUE(std::isnan(block.of(0)[1]));
  EXPECT_TRUE(std::isnan(block.of(0)[2]));
  EXPECT_EQ(block.of(1)[0], 1);
  EXPECT_EQ(block.of(1)[1], 2);
  EXPECT_TRUE(std::isnan(block.of(1)[2]));
  EXPECT_EQ(source->skipped(), 1);
}

// Markers handed out from memory.
class Markers final : public DosageSource {
 public:
  Markers(size_t samples, std::vector<std::vector<double>> markers) : markers_(std::move(markers)) {
    for (size_t s = 0; s < samples; ++s) samples_.push_back({"f", std::to_string(s), 0, ""});
  }
  const std::vector<Sample>& samples() const override { return samples_; }
  const std::string& path() const override { return path_; }
  long skipped() const override { return 0; }
  std::string skipped_reasons() const override { return {}; }
  bool read(DosageBlock& block, size_t) override {
    if (done_) return false;
    done_ = true;
    block = DosageBlock{samples_.size(), {}, {}};
    for (size_t m = 0; m < markers_.size(); ++m) {
      // Pairs of markers at neighbouring positions, the pairs 1 Mb apart.
      block.markers.push_back({"1", "m", static_cast<long>(1000000 * (m / 2) + m % 2), "A", "G"});
      block.values.insert(block.values.end(), markers_[m].begin(), markers_[m].end());
    }
    return true;
  }

 private:
  std::vector<Sample> samples_;
  std::vector<std::vector<double>> markers_;
  std::string path_ = "memory";
  bool done_ = false;
};

TEST(PrincipalComponents, FirstComponentSeparatesTwoGroupsAndLinkedCopiesAreThinned) {
  // Samples 0-9 mostly carry two copies, 10-19 mostly none; each marker
  // comes twice at neighbouring positions, and the copy must be left out.
  std::vector<std::vector<double>> markers;
  for (int m = 0; m < 40; ++m) {
    std::vector<double> g(20);
    for (int s = 0; s < 20; ++s) g[s] = (s * 7 + m * 3) % 5 == 0 ? 1 : s < 10 ? 2 : 0;
    markers.push_back(g);
    markers.push_back(g);
  }
  markers.push_back(std::vector<double>(20, 0));  // monomorphic: left out
  Markers source(20, markers);
  const Components c = principal_components(source, 2, 3);
  EXPECT_EQ(c.markers, 40);
  ASSERT_EQ(c.vectors.rows(), 20);
  EXPECT_GT(c.eigenvalues(0), c.eigenvalues(1));
  for (int s = 0; s < 10; ++s) EXPECT_LT(c.vectors(s, 0) * c.vectors(s + 10, 0), 0) << s;
  EXPECT_NEAR(c.vectors.col(0).norm(), 1, 1e-9);
}

}  // namespace
}  // namespace snp::association

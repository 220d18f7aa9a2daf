// The data sets csm-analysis prepares itself: drawn permutations, the
// parameter file that follows the data, the marker choice of --snps and
// --top, and the progress of the permutations.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "analysis/run/data_parameters.h"
#include "analysis/inputs/marker_selection.h"
#include "analysis/run/progress.h"
#include "analysis/inputs/seeded_permutations.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

using test::CapturedContext;
using test::ScratchDir;

TEST(SeededPermutations, AFixedSeedDrawsFixedShufflesOfTheObservedRow) {
  AnalysisInput input = test::one_data_set({{0}, {1}, {2}, {0}, {1}, {2}}, {0, 1, 2, 3, 4, 5});
  add_permuted_data_sets(input, 3, 42);
  ASSERT_EQ(input.phenotypes.size(), 4u);
  ASSERT_EQ(input.columns.size(), 4u);
  EXPECT_EQ(input.first_permuted, 1);
  for (size_t r = 1; r < 4; ++r) {
    EXPECT_EQ(input.columns[r], input.columns[0]);
    auto sorted = input.phenotypes[r];
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, input.phenotypes[0]) << "data set " << r << " is no permutation";
  }
  // The generator and the shuffle are written out: these rows are the same
  // on every platform and must not change between versions.
  AnalysisInput again = test::one_data_set({{0}, {1}, {2}, {0}, {1}, {2}}, {0, 1, 2, 3, 4, 5});
  add_permuted_data_sets(again, 3, 42);
  EXPECT_EQ(again.phenotypes, input.phenotypes);
  EXPECT_EQ(input.phenotypes[1], (std::vector<short>{3, 1, 5, 2, 4, 0}));
}

TEST(SeededPermutations, ShufflesAreUniform) {
  std::mt19937_64 generator(5);
  EXPECT_EQ(draw_below(generator, 1), 0u);
  // Every position of a shuffled row takes every value about equally often.
  std::vector<std::vector<int>> seen(4, std::vector<int>(4, 0));
  for (int i = 0; i < 8000; ++i) {
    std::vector<short> row{0, 1, 2, 3};
    fisher_yates(row, generator);
    for (size_t p = 0; p < 4; ++p) ++seen[p][static_cast<size_t>(row[p])];
  }
  for (const auto& position : seen)
    for (const int count : position) EXPECT_NEAR(count, 2000, 200);
}

TEST(DataParameters, AMissingFileIsWrittenForTheDataAndAnExistingOneMustAgree) {
  ScratchDir dir;
  CapturedContext c(dir);
  EXPECT_EQ(settle_parameter_file(c.ctx, {150, 7, std::nullopt}, c.console), kDefaultPermutations);
  EXPECT_EQ(dir.read("parameter.txt"), data_parameter_text(150, 7, kDefaultPermutations));
  EXPECT_NE(c.console.str().find("Sample_size 150, Number_of_markers 7, Number_of_permutation 200"),
            std::string::npos);
  EXPECT_EQ(settle_parameter_file(c.ctx, {150, 7, 200}, c.console), 200);

  const auto error_of = [&](const DataCounts& counts) {
    try {
      settle_parameter_file(c.ctx, counts, c.console);
    } catch (const InputError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const std::string file = dir.file("parameter.txt");
  EXPECT_EQ(error_of({149, 7, std::nullopt}), "Error: " + file + ": Sample_size is 150, but the data have 149 individuals" +
                                                  " (without the file a run writes one that fits the data)\n");
  EXPECT_NE(error_of({150, 8, std::nullopt}).find("Number_of_markers is 7, but the analysis has 8 markers"),
            std::string::npos);
  EXPECT_NE(error_of({150, 7, 19}).find("Number_of_permutation is 200, but --permutations asks for 19"),
            std::string::npos);
}

TEST(MarkerSelection, TopTakesTheSmallestMinimumPValuesTiesInFileOrderAndNALast) {
  const std::string table = FILESET_DIR "/screen.tsv";
  EXPECT_EQ(top_markers(table, 5), (std::vector<std::string>{"rs1010", "rs1003", "rs1007", "rs1006", "rs1011"}));
  const auto all = top_markers(table, 12);
  EXPECT_EQ(std::vector<std::string>(all.begin() + 9, all.end()),
            (std::vector<std::string>{"rs1008", "rs1002", "rs1005"}));
  EXPECT_THROW(top_markers(table, 13), InputError);

  ScratchDir dir;
  dir.write("bad.tsv", "SNP\tP_MIN\nrs1\t0.5\nrs2\tx\n");
  try {
    top_markers(dir.file("bad.tsv"), 1);
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error: line 3 of " + dir.file("bad.tsv") + ": expected a P_MIN p-value or NA, found \"x\"\n");
  }
  dir.write("no-column.tsv", "SNP\tP\nrs1\t0.5\n");
  EXPECT_THROW(top_markers(dir.file("no-column.tsv"), 1), InputError);
}

TEST(MarkerSelection, TopTakesAFileAndACountAsOneOption) {
  EXPECT_EQ(joined_top_arguments({"--top", "s.tsv", "5", "--seed", "2"}),
            (std::vector<std::string>{"--top=s.tsv\t5", "--seed", "2"}));
  EXPECT_EQ(joined_top_arguments({"--top=s.tsv", "5"}), (std::vector<std::string>{"--top=s.tsv\t5"}));
  EXPECT_EQ(joined_top_arguments({"--top", "s.tsv", "--quiet"}), (std::vector<std::string>{"--top=s.tsv", "--quiet"}));
  const TopRequest top = parse_top_value("csm-analysis", "s.tsv\t5");
  EXPECT_EQ(top.table, "s.tsv");
  EXPECT_EQ(top.count, 5);
  EXPECT_THROW(parse_top_value("csm-analysis", "s.tsv"), FatalError);
  EXPECT_THROW(parse_top_value("csm-analysis", "s.tsv\t0"), FatalError);
}

TEST(MarkerSelection, SnpsAreACommaListOrAFileOfNames) {
  EXPECT_EQ(listed_markers("rs1,rs2,,rs3"), (std::vector<std::string>{"rs1", "rs2", "rs3"}));
  ScratchDir dir;
  dir.write("names.txt", "rs7\n rs8 rs9\n");
  EXPECT_EQ(listed_markers(dir.file("names.txt")), (std::vector<std::string>{"rs7", "rs8", "rs9"}));
  EXPECT_THROW(listed_markers("rs1,rs1"), InputError);
  EXPECT_THROW(listed_markers(","), InputError);
}

TEST(Progress, EveryFinishedDataSetShowsItsCountTheElapsedAndTheEstimatedTime) {
  EXPECT_EQ(progress_text(1, 4, 30.4), "permutation 1 of 4 done, 0:00:30 elapsed, about 0:01:31 left");
  EXPECT_EQ(progress_text(4, 4, 3725), "permutation 4 of 4 done, 1:02:05 elapsed");

  double now = 100;
  std::ostringstream err, console;
  PermutationProgress progress(err, false, [&] { return now; });
  ConsoleWatch watch(console.rdbuf(), progress);
  std::ostream out(&watch);
  const std::string log = "permutation=2\nnmarker=3\npermutation = 0 \nCp0=0.5 Cp_per=0.7\npermutation = 1 \n";
  out << log;
  now = 110;
  out << "Cp0=0.5 Cp_per=0.2\n" << 'x';
  EXPECT_EQ(console.str(), log + "Cp0=0.5 Cp_per=0.2\nx");  // the console passes unchanged
  EXPECT_EQ(err.str(), "permutation 1 of 2 done, 0:00:00 elapsed, about 0:00:00 left\n"
                       "permutation 2 of 2 done, 0:00:10 elapsed\n");

  std::ostringstream terminal;
  PermutationProgress redrawn(terminal, true, [&] { return now; });
  redrawn.announce(2);
  redrawn.begin();
  redrawn.done_one();
  redrawn.done_one();
  EXPECT_EQ(terminal.str(), "\rpermutation 1 of 2 done, 0:00:00 elapsed, about 0:00:00 left"
                            "\rpermutation 2 of 2 done, 0:00:00 elapsed" + std::string(20, ' ') + "\n");
}

}  // namespace
}  // namespace snp

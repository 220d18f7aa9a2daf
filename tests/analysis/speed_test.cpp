// The pieces that make the analysis fast without changing a byte: the
// generator's jump-ahead and batch draws, the permutation draw, the console
// transcript of repeated analyses and the part files of permutation jobs.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "analysis/search/csm.h"
#include "analysis/fit/csm_lars.h"
#include "analysis/permutation/parallel_permutations.h"
#include "analysis/search/permutation_draw.h"
#include "analysis/permutation/permutation_parts.h"
#include "analysis/permutation/permutation.h"
#include "analysis/search/rand1.h"
#include "analysis/run/repeated_analysis.h"
#include "analysis/state/transcript.h"
#include "base/errors.h"
#include "scratch_dir.h"

namespace snp {
namespace {

TEST(AnalysisRand1, JumpAheadAndBatchDrawsMatchStepping) {
  // The seeds of the analyses, whose streams' orbits are tabulated; a state
  // off them (modulo 30309 the orbit of 3 holds multiples of 3 only); a
  // negative one.
  for (const Rand1State seed : {Rand1State{}, Rand1State{1, 1, 1}, Rand1State{-7, 11, -13}}) {
    // The defining formula, with its divisions, against the tables of rand1.
    Rand1State stepped = seed, tabled = seed;
    std::vector<double> expected;
    for (int i = 0; i < 70000; ++i) {  // beyond every stream's period
      expected.push_back(rand1_inline(stepped));
      ASSERT_EQ(rand1(tabled), expected.back()) << i;
    }
    for (const int n : {0, 1, 127, 128, 1033, 70000}) {
      Rand1State step = seed;
      for (int i = 0; i < n; ++i) rand1(step);
      EXPECT_EQ(rand1_jumped(seed, static_cast<std::uint64_t>(n)), step) << n;
      Rand1State filled = seed;
      std::vector<double> out(static_cast<size_t>(n));
      rand1_fill(filled, out.data(), n);
      EXPECT_EQ(filled, step) << n;
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], expected[i]) << n << " draw " << i;
    }
    // Jumps compose, far beyond any run's draws.
    const std::uint64_t far = std::uint64_t{1} << 40;
    EXPECT_EQ(rand1_jumped(rand1_jumped(seed, far), far + 3), rand1_jumped(seed, 2 * far + 3));
  }
}

// Step i takes the j-th value still in the pool, by erasing from a list.
std::vector<double> drawn_by_list(std::vector<double> pool, const double* u) {
  std::vector<double> out;
  const size_t n = pool.size();
  for (size_t i = 0; i < n; ++i) {
    const auto j = static_cast<size_t>(u[i] * static_cast<double>(n - i));
    out.push_back(pool[j]);
    pool.erase(pool.begin() + static_cast<long>(j));
  }
  return out;
}

TEST(AnalysisPermutationDraw, TakesTheSameValuesAsAListWithFewOrManyDistinctValues) {
  const std::vector<std::vector<double>> samples = {
      {0.5, 0.5, 0.5, -0.5, -0.5, 0.5, 0.5, -0.5, -0.5, -0.5},  // four runs
      {1.0},
      {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3, 2, 3, 8, 4, 6}};  // many runs: the tree
  Rand1State generator;
  for (const auto& values : samples) {
    const int n = static_cast<int>(values.size());
    std::vector<double> one_based(1, 0.0);
    one_based.insert(one_based.end(), values.begin(), values.end());
    PermutationDraw draw(one_based.data(), n);
    for (const int count : {1, 3, PermutationDraw::kBatch}) {
      std::vector<double> u(static_cast<size_t>(count * n)), out(u.size());
      rand1_fill(generator, u.data(), count * n);
      draw.take(u.data(), count, out.data());
      for (int p = 0; p < count; ++p) {
        const auto at = static_cast<long>(p * n);
        EXPECT_EQ(std::vector<double>(out.begin() + at, out.begin() + at + n), drawn_by_list(values, u.data() + at))
            << "n=" << n << " count=" << count << " p=" << p;
      }
    }
  }
}

TEST(AnalysisTranscript, RecordsWhatPassesExceptUnrecordedTextAndSplitsAtMarks) {
  std::ostringstream console;
  console << "before ";
  std::vector<std::string> pieces;
  {
    Transcript transcript(console);
    console << "a" << 1;
    write_unrecorded(console, "[note]");
    mark_transcript(console);
    console << "b";
    pieces = transcript.pieces();
  }
  console << " after";
  write_unrecorded(console, "!");
  EXPECT_EQ(console.str(), "before a1[note]b after!");
  EXPECT_EQ(pieces, (std::vector<std::string>{"a1", "b"}));
}

TEST(AnalysisPermutationParts, RoundTripExactlyAndMustCoverEveryPermutationOnce) {
  EXPECT_FALSE(parse_permutation_range("2:1"));
  EXPECT_FALSE(parse_permutation_range("0:3"));
  EXPECT_FALSE(parse_permutation_range("1-3"));
  EXPECT_FALSE(parse_permutation_range("1:99999999999"));
  ASSERT_TRUE(parse_permutation_range("4:4"));

  PermutationPart part;
  part.fingerprint = "f00d";
  part.total = 3;
  part.ran = true;
  part.range = {2, 7};
  part.observed = 0.1;
  part.fits = {1.0 / 3.0, 2147483647.0};
  part.console = {"permutation = 1 \n5 7\n", ""};
  part.holds_last = true;
  part.store = "0.500000 1 \n\n\xff end";
  test::ScratchDir dir;
  const std::string path = dir.path() + "/part.txt";
  replace_file(path, part_text(part));
  const PermutationPart back = read_part(path);
  EXPECT_EQ(back.fits, part.fits);
  EXPECT_EQ(back.observed, part.observed);
  EXPECT_EQ(back.console, part.console);
  EXPECT_EQ(back.store, part.store);
  EXPECT_FALSE(back.coefficients);
  replace_file(path, part_text(part).substr(0, 120));
  EXPECT_THROW(read_part(path), InputError);
  part.coefficients = "";  // a coefficient file, empty
  replace_file(path, part_text(part));
  EXPECT_EQ(read_part(path).coefficients, std::optional<std::string>(""));

  PermutationJobs jobs;
  jobs.parts = {part};
  EXPECT_EQ(jobs.part_of(7), &jobs.parts[0]);
  EXPECT_EQ(jobs.part_of(1), nullptr);

  PermutationPart first = part;
  first.range = {1, 1};
  EXPECT_NO_THROW(check_parts({first, back}, {"a", "b"}, "f00d"));
  EXPECT_THROW(check_parts({first, back}, {"a", "b"}, "other inputs"), InputError);
  EXPECT_THROW(check_parts({first}, {"a"}, "f00d"), InputError);  // 2 and 3 missing
  first.range = {1, 3};
  EXPECT_THROW(check_parts({first, back}, {"a", "b"}, "f00d"), InputError);  // 2 twice
}

// 80 individuals at 6 markers with a few missing genotypes; the phenotype
// follows markers 2 and 5.
AnalysisInput search_input() {
  Rand1State r;
  AnalysisInput input;
  std::vector<short> phenotype;
  for (int i = 0; i < 80; ++i) {
    std::vector<std::int8_t> row;
    for (int j = 0; j < 6; ++j) row.push_back(static_cast<std::int8_t>(rand1(r) < 0.03 ? -1 : rand1(r) * 3));
    phenotype.push_back(static_cast<short>(row[1] + row[4] + rand1(r) * 2 > 2.5 ? 1 : 0));
    input.genotypes.push_back(row);
  }
  input.phenotypes = {phenotype};
  input.columns = {{0, 1, 2, 3, 4, 5}};
  return input;
}

struct Search {
  Search(const test::ScratchDir& dir, int threads)
      : csm(parameters(), {console, generator, shown, dir.file("store" + std::to_string(threads)), threads}) {}
  static CsmParameters parameters() {
    CsmParameters p;
    p.sample_size = 80;
    p.number_of_markers = 6;
    p.best_m = 4;
    p.max_retain = 3;
    return p;
  }
  std::ostringstream console;
  Rand1State generator;
  OnceNotes shown;
  CSM csm;
};

TEST(AnalysisParallelSearch, ScoresAsOneThreadDoesAndSkippingLeavesTheSameGenerator) {
  test::ScratchDir dir;
  const AnalysisInput input = search_input();
  Search one(dir, 1), three(dir, 3), skipped(dir, 2);
  ASSERT_TRUE(one.csm.run(0, input));
  ASSERT_TRUE(three.csm.run(0, input));
  EXPECT_EQ(three.console.str(), one.console.str());
  EXPECT_NE(one.console.str().find("clustermethod=0\n"), std::string::npos);
  EXPECT_EQ(dir.read("store3"), dir.read("store1"));
  EXPECT_EQ(three.generator, one.generator);
  EXPECT_NE(one.generator, Rand1State{});  // sets were scored
  ASSERT_TRUE(skipped.csm.skip(0, input));
  EXPECT_EQ(skipped.generator, one.generator);
  EXPECT_FALSE(dir.exists("store2"));
  // A data set the search cannot read is not skipped past either.
  AnalysisInput bad = input;
  bad.genotypes[3][2] = 5;
  EXPECT_FALSE(skipped.csm.skip(0, bad));
}

TEST(AnalysisPermutationParts, FingerprintTellsEveryInputTableAndTheParameterFileApart) {
  const AnalysisInput input = search_input();
  const std::string same = input_fingerprint(input, "Sample_size 80\n");
  EXPECT_EQ(input_fingerprint(search_input(), "Sample_size 80\n"), same);
  EXPECT_NE(input_fingerprint(input, "Sample_size 81\n"), same);
  AnalysisInput changed = input;
  changed.genotypes[79][5] = static_cast<std::int8_t>(changed.genotypes[79][5] == 2 ? 1 : 2);
  EXPECT_NE(input_fingerprint(changed, "Sample_size 80\n"), same);
  changed = input;
  changed.phenotypes[0][0] = static_cast<short>(1 - changed.phenotypes[0][0]);
  EXPECT_NE(input_fingerprint(changed, "Sample_size 80\n"), same);
  changed = input;
  changed.columns[0] = {0, 1, 2, 3, 5, 4};
  EXPECT_NE(input_fingerprint(changed, "Sample_size 80\n"), same);
  changed = input;
  changed.first_permuted = 2;
  EXPECT_NE(input_fingerprint(changed, "Sample_size 80\n"), same);
}

TEST(AnalysisParallelPermutations, MatchTheOneByOneRunAndStopAtADataSetThatCannotBeRead) {
  test::ScratchDir dir;
  AnalysisInput input = search_input();
  for (int r = 1; r <= 4; ++r) {
    auto row = input.phenotypes[0];
    std::rotate(row.begin(), row.begin() + 7 * r, row.end());
    input.phenotypes.push_back(row);
    input.columns.push_back(input.columns[0]);
  }
  input.phenotypes[4].resize(10);  // permutation 3
  CsmParameters parameters = Search::parameters();
  parameters.adjust();

  std::ostringstream one_by_one;
  Rand1State generator;
  OnceNotes shown{true, true};
  CSM csm(parameters, {one_by_one, generator, shown, dir.file("store1"), 1});
  csm.set_permutation(true);
  SearchAndFit coupling(csm, one_by_one, dir.file("beta1"));
  for (int p = 0; p < 3; ++p) {
    one_by_one << "permutation = " << p << " \n";
    const double fit = coupling.run(1 + p, input);
    one_by_one << "Cp0=" << 0.25 << " Cp_per=" << fit << "\n";
  }

  const ParallelPermutations parallel{parameters, input, dir.files(), dir.file("store"), dir.file("beta"), 0.25, 3};
  Rand1State state;
  std::string console;
  EXPECT_EQ(parallel.run(0, 4, state, [&](PermutedFit& fit) { console += fit.console; }), 3);
  EXPECT_EQ(console, one_by_one.str());
  EXPECT_EQ(state, generator);
  EXPECT_EQ(dir.read("store"), dir.read("store1"));
  EXPECT_EQ(dir.exists("beta"), dir.exists("beta1"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);  // no file of its own left
}

TEST(AnalysisRepeatedAnalysis, LaterRunsPrintTheFirstOnesTextWithTheirOwnTally) {
  test::ScratchDir dir;
  test::CapturedContext c(dir);
  RepeatedAnalysis repeated(c.ctx);
  int runs = 0;
  const auto analysis = [&] {
    ++runs;
    c.ctx.out() << "search\n";
    write_unrecorded(c.ctx.out(), "test_method=newCSM\n");  // once per run
    c.ctx.tally.all += 2;
    mark_transcript(c.ctx.out());
    write_unrecorded(c.ctx.out(), tally_text(c.ctx.tally));
    c.ctx.out() << "report\n";
    return std::vector<int>{3, -1};
  };
  for (int i = 0; i < 3; ++i) EXPECT_EQ(repeated.run(analysis), (std::vector<int>{3, -1}));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(c.console.str(),
            "search\ntest_method=newCSM\nnn=0:):):):):):)))\nmm=2:(:(:(:(:(:(((\nreport\n"
            "search\nnn=0:):):):):):)))\nmm=4:(:(:(:(:(:(((\nreport\n"
            "search\nnn=0:):):):):):)))\nmm=6:(:(:(:(:(:(((\nreport\n");
  EXPECT_EQ(c.ctx.tally.all, 6);
}

TEST(AnalysisRepeatedAnalysis, RunsAgainWhenItCannotPrintTheTextAgain) {
  test::ScratchDir dir;
  test::CapturedContext c(dir);
  RepeatedAnalysis repeated(c.ctx);
  int runs = 0;
  // No tally printed: nothing marks where a later analysis's own text goes.
  const auto analysis = [&] {
    c.ctx.out() << "run " << ++runs << "\n";
    return std::vector<int>{};
  };
  repeated.run(analysis);
  repeated.run(analysis);
  EXPECT_EQ(c.console.str(), "run 1\nrun 2\n");
}

}  // namespace
}  // namespace snp

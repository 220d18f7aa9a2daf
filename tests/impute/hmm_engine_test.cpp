// The haplotype-copying engine: its recursions on panels small enough to
// work out by hand, and the engine on panels whose answer is known.
#include "impute/hmm_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "impute/engine_fixture.h"
#include "impute/hmm_states.h"
#include "impute/phased_vcf.h"
#include "input/genetic_map.h"
#include "test_support.h"

namespace snp {
namespace {

using test::EngineFixture;

// Two haplotypes carrying 0 and 1 at both sites; 0 observed at the first
// site and 1 at the second, error e = 0.1, switch r = 0.2 between them.
// Forward at site 0: (1-e, e) = (0.9, 0.1). Backward at site 0:
// (1-r) e(h at site 1) + r/2 = (0.18, 0.82). Posterior of haplotype 0 at
// site 0: 0.9*0.18 / (0.9*0.18 + 0.1*0.82) = 0.162 / 0.244; at site 1 the
// mirror image, 0.082 / 0.244.
TEST(HaploidPosteriors, TwoHaplotypesTwoSitesByHand) {
  const std::int8_t alleles[] = {0, 1, 0, 1};
  const std::int8_t observed[] = {0, 1};
  const double switches[] = {0, 0.2};
  const auto post = haploid_posteriors(alleles, 2, 2, observed, switches, 0.1);
  EXPECT_NEAR(post[0], 0.162 / 0.244, 1e-6);
  EXPECT_NEAR(post[1], 0.082 / 0.244, 1e-6);
  EXPECT_NEAR(post[2], 0.082 / 0.244, 1e-6);
  EXPECT_NEAR(post[3], 0.162 / 0.244, 1e-6);
}

// A missing middle observation between 0 and 1: forward there is
// (1-r)(0.9, 0.1) + r/2 = (0.82, 0.18), backward (0.18, 0.82), so both
// haplotypes are equally likely; an unknown panel allele is no evidence.
TEST(HaploidPosteriors, MissingObservationAndUnknownAllele) {
  const std::int8_t alleles[] = {0, 1, 0, -1, 0, 1};
  const std::int8_t observed[] = {0, -1, 1};
  const double switches[] = {0, 0.2, 0.2};
  const auto post = haploid_posteriors(alleles, 2, 3, observed, switches, 0.1);
  EXPECT_NEAR(post[2], 0.5, 1e-6);
  EXPECT_NEAR(post[3], 0.5, 1e-6);
  EXPECT_GT(post[0], 0.5);
  EXPECT_LT(post[4], 0.5);
}

TEST(DiploidViterbi, FollowsThePairThatExplainsTheGenotypesWithoutSwitching) {
  // Rows 0000, 1111, 0011: genotypes 1 1 2 2 are rows 1 and 2 throughout.
  const std::int8_t rows[] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 1, 1};
  const std::int8_t genotypes[] = {1, 1, 2, 2};
  const double switches[] = {0, 0.1, 0.1, 0.1};
  const PairPath path = diploid_viterbi(rows, 3, 4, genotypes, switches, 0.01);
  for (int m = 0; m < 4; ++m) {
    const int first = path.first[static_cast<size_t>(m)], second = path.second[static_cast<size_t>(m)];
    EXPECT_EQ(std::min(first, second), 1) << m;
    EXPECT_EQ(std::max(first, second), 2) << m;
    EXPECT_EQ(first, path.first[0]) << m;
  }
}

// Rows 00, 11, 01, 10 explain genotypes 1 1 as rows {0, 1} (haplotypes 00
// and 11) or as rows {2, 3} (01 and 10), equally well: the shares of the
// switches, which stand for how much of the panel each row represents,
// decide the phase.
TEST(DiploidViterbi, SharesOfTheSwitchesDecideBetweenPairsThatFitAlike) {
  const std::int8_t rows[] = {0, 0, 1, 1, 0, 1, 1, 0};
  const std::int8_t genotypes[] = {1, 1};
  const double switches[] = {0, 0.01};
  const float favour_first_pair[] = {0.4f, 0.4f, 0.1f, 0.1f, 0.4f, 0.4f, 0.1f, 0.1f};
  // The pair's two shares count together: 0.3 * 0.15 outweighs 0.5 * 0.05.
  const float favour_second_pair[] = {0.5f, 0.05f, 0.3f, 0.15f, 0.5f, 0.05f, 0.3f, 0.15f};
  for (const auto& [shares, low] : {std::pair{favour_first_pair, 0}, std::pair{favour_second_pair, 2}}) {
    const PairPath path = diploid_viterbi(rows, 4, 2, genotypes, switches, 0.01, shares);
    for (size_t m = 0; m < 2; ++m) {
      EXPECT_EQ(std::min(path.first[m], path.second[m]), low) << m;
      EXPECT_EQ(std::max(path.first[m], path.second[m]), low + 1) << m;
    }
  }
}

// Rows 11, 11, 00, 00 and genotypes 2 0: both rows must switch to row 2 or
// 3, which fit alike; the second site's shares decide which.
TEST(DiploidViterbi, SwitchesGoWhereTheSharesAreLarger) {
  const std::int8_t rows[] = {1, 1, 1, 1, 0, 0, 0, 0};
  const std::int8_t genotypes[] = {2, 0};
  const double switches[] = {0, 0.01};
  const float to_row_2[] = {0.25f, 0.25f, 0.25f, 0.25f, 0.1f, 0.1f, 0.7f, 0.1f};
  const float to_row_3[] = {0.25f, 0.25f, 0.25f, 0.25f, 0.1f, 0.1f, 0.1f, 0.7f};
  for (const auto& [shares, row] : {std::pair{to_row_2, 2}, std::pair{to_row_3, 3}}) {
    const PairPath path = diploid_viterbi(rows, 4, 2, genotypes, switches, 0.01, shares);
    EXPECT_EQ(path.first[1], row);
    EXPECT_EQ(path.second[1], row);
  }
}

// Rows 0 (A) and 1 (B) are alike but for A's allele 1 at site 3; row 2 (C)
// carries 1 at site 0 and on from site 3. Genotypes 1 0 0 1 0 0 are A with
// C then B, or B with C then A (or C then B late): one switch each, with
// opposite phases of sites 0 and 3. Staying on A (or B) over site 2 costs
// what the staying factors say; only a path that keeps that row pays it.
TEST(DiploidViterbi, StayingDecidesBetweenPathsThatTradeTheEndsOfTwoHaplotypes) {
  const std::int8_t rows[] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1};
  const std::int8_t genotypes[] = {1, 0, 0, 1, 0, 0};
  const double switches[] = {0, 0.01, 0.01, 0.01, 0.01, 0.01};
  const std::vector<float> shares(18, 1.0f / 3);
  for (const int costly : {0, 1}) {
    std::vector<float> staying(18, 1.0f);
    staying[2 * 3 + static_cast<size_t>(costly)] = 0.01f;
    const PairPath path = diploid_viterbi(rows, 3, 6, genotypes, switches, 0.001, shares.data(), staying.data());
    const std::vector<int>& carrier = rows[path.first[0] * 6] == 1 ? path.first : path.second;
    // Keeping A over site 2 costs: the carrier of site 0 takes A's 1 at site 3.
    EXPECT_EQ(rows[carrier[3] * 6 + 3], costly == 0 ? 1 : 0) << "staying on row " << costly << " costs";
  }
}

// The probability of a path of the diploid model, and the best over every
// path by enumeration, for small random problems: the recursion must find a
// best path, uniform, with shares, and with shares and staying factors.
double pair_path_probability(const std::int8_t* rows, int K, int L, const std::int8_t* genotypes,
                             const double* switches, double error, const float* shares, const float* staying,
                             const std::vector<int>& first, const std::vector<int>& second) {
  auto share = [&](int m, int k) { return shares ? static_cast<double>(shares[m * K + k]) : 1.0 / K; };
  auto kept = [&](int m, int k) { return staying ? static_cast<double>(staying[m * K + k]) : 1.0; };
  auto emission = [&](int m, int k1, int k2) {
    const int g = genotypes[m], a = rows[k1 * L + m], b = rows[k2 * L + m];
    return g < 0 ? 1.0 : std::pow(error, std::abs(a + b - g));
  };
  auto move = [&](int m, int from, int to) {
    return (from == to ? (1 - switches[m]) * kept(m, to) : 0.0) + switches[m] * share(m, to);
  };
  double p = share(0, first[0]) * share(0, second[0]) * emission(0, first[0], second[0]);
  for (int m = 1; m < L; ++m) {
    const size_t M = static_cast<size_t>(m);
    p *= move(m, first[M - 1], first[M]) * move(m, second[M - 1], second[M]) * emission(m, first[M], second[M]);
  }
  return p;
}

TEST(DiploidViterbi, FindsTheMostProbablePathOfSmallRandomProblems) {
  const int K = 3, L = 4;
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    std::vector<std::int8_t> rows(K * L), genotypes(L);
    for (auto& a : rows) a = static_cast<std::int8_t>(rng() % 2);
    for (auto& g : genotypes) g = static_cast<std::int8_t>(static_cast<int>(rng() % 4) - 1);
    std::vector<double> switches(L);
    for (int m = 1; m < L; ++m) switches[static_cast<size_t>(m)] = 0.05 + 0.4 * static_cast<double>(rng() % 100) / 100.0;
    std::vector<float> shares(K * L);
    for (int m = 0; m < L; ++m) {
      float total = 0;
      for (int k = 0; k < K; ++k) total += shares[static_cast<size_t>(m * K + k)] = 1.0f + static_cast<float>(rng() % 9);
      for (int k = 0; k < K; ++k) shares[static_cast<size_t>(m * K + k)] /= total;
    }
    std::vector<float> staying(K * L);
    for (auto& s : staying) s = 0.1f + 0.1f * static_cast<float>(rng() % 10);
    const std::pair<const float*, const float*> models[] = {
        {nullptr, nullptr}, {shares.data(), nullptr}, {shares.data(), staying.data()}};
    for (const auto& [given, kept] : models) {
      const PairPath path = diploid_viterbi(rows.data(), K, L, genotypes.data(), switches.data(), 0.1, given, kept);
      const double found = pair_path_probability(rows.data(), K, L, genotypes.data(), switches.data(), 0.1, given,
                                                 kept, path.first, path.second);
      double best = 0;
      std::vector<int> first(L), second(L);
      for (int code = 0; code < 6561; ++code) {  // (K * K)^L pairs of paths
        for (int m = 0, rest = code; m < L; ++m, rest /= K * K)
          first[static_cast<size_t>(m)] = rest % (K * K) / K, second[static_cast<size_t>(m)] = rest % K;
        best = std::max(best, pair_path_probability(rows.data(), K, L, genotypes.data(), switches.data(), 0.1, given,
                                                    kept, first, second));
      }
      EXPECT_NEAR(found / best, 1.0, 1e-5)
          << "trial " << trial << (kept ? " with staying" : given ? " with shares" : " uniform");
    }
  }
}

// Copies are counted per word of 64 typed markers, or over a word and the
// ones before it; an unknown allele makes a haplotype differ from one that
// has it known. The phasing model's moves follow from them.
TEST(ReferenceCopies, CountIdenticalHaplotypesAndWeighTheMovesOfTheRows) {
  const int markers = 129, haplotypes = 3;
  std::vector<std::int8_t> alleles(static_cast<size_t>(markers * haplotypes), 0);
  auto set = [&](int m, int h, std::int8_t a) { alleles[static_cast<size_t>(m * haplotypes + h)] = a; };
  for (int m = 0; m < 64; m += 5) set(m, 0, 1), set(m, 1, 1), set(m, 2, 1);
  set(3, 2, -1);
  set(64, 1, 1);
  set(128, 2, 1);
  const ConditioningCandidates candidates(alleles, haplotypes, std::vector<std::int8_t>(markers, 0), 1, markers);
  // Over words 0-1, each haplotype is alone; 0 and 1 are alike in word 0.
  const ReferenceCopies two = reference_copies(candidates, 2), three = reference_copies(candidates, 3);
  EXPECT_EQ(two.in_word, (std::vector<std::uint32_t>{2, 2, 1, 2, 1, 2, 2, 2, 1}));
  EXPECT_EQ(two.kept, (std::vector<float>{1, 1, 1, 0.5f, 0.5f, 1, 0.5f, 1, 0.5f}));
  EXPECT_EQ(three.in_word, two.in_word);
  EXPECT_EQ(three.kept, (std::vector<float>{1, 1, 1, 0.5f, 0.5f, 1, 1, 1, 1}));

  // Haplotypes 0 and 2 chosen, staying counted over three words. Word 0: 0
  // stands for 2 copies, 2 for 1. Word 1: the two are alike and split 2
  // copies each; at its first site, a row on 0 keeps 1 of its 2 copies, a
  // row on 2 its 1 of 1. Word 2: each keeps its 1 copy over words 0-1.
  const SwitchWeights whole = family_weights({0, 2}, candidates, three, 0, markers);
  EXPECT_FLOAT_EQ(whole.shares[2 * 63], 2.0f / 3);
  EXPECT_FLOAT_EQ(whole.shares[2 * 63 + 1], 1.0f / 3);
  EXPECT_FLOAT_EQ(whole.shares[2 * 64], 0.5f);
  EXPECT_FLOAT_EQ(whole.shares[2 * 128], 2.0f / 3);
  std::vector<float> staying(2 * markers, 1.0f);
  staying[2 * 64] = 0.5f;
  EXPECT_EQ(whole.staying, staying);
  // A window that starts with word 1 starts there: nothing to keep at 64,
  // and over two words each row keeps half at 128.
  const SwitchWeights window = family_weights({0, 2}, candidates, two, 64, markers);
  std::vector<float> window_staying(2 * 65, 1.0f);
  window_staying[2 * 64] = window_staying[2 * 64 + 1] = 0.5f;
  EXPECT_EQ(window.staying, window_staying);
  EXPECT_FLOAT_EQ(window.shares[0], 0.5f);
}

// Random distinct haplotypes of `markers` alleles.
std::vector<std::string> random_haplotypes(int count, int markers, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> out(static_cast<size_t>(count));
  for (auto& h : out)
    for (int m = 0; m < markers; ++m) h += static_cast<char>('0' + (rng() >> 7) % 2);
  return out;
}

// Genotype string of two haplotypes, with the untyped markers (odd ones
// unless `typed_every` says otherwise) missing.
std::string genotype(const std::string& a, const std::string& b, int typed_every) {
  std::string g;
  for (size_t m = 0; m < a.size(); ++m)
    g += m % static_cast<size_t>(typed_every) == 0 ? static_cast<char>('0' + (a[m] - '0') + (b[m] - '0')) : '.';
  return g;
}

struct Imputation {
  EngineFixture data;
  std::vector<int> typed;
  HmmSettings settings;
  Imputation(const std::vector<std::string>& haplotypes, const std::vector<std::string>& individuals, int typed_every)
      : data(haplotypes, individuals) {
    for (int m = 0; m < data.panel.marker_count; m += typed_every) typed.push_back(m);
    settings.centimorgans = constant_rate_positions(data.panel.positions, 1.0);  // markers 100 bp apart
  }
  // Probabilities of every individual at every marker.
  std::vector<std::array<double, 3>> impute() {
    HmmEngine engine({data.panel, data.study, typed, 0.33}, settings);
    std::vector<std::array<double, 3>> out;
    for (int t = 0; t < data.panel.marker_count; ++t)
      for (const GenotypeCall& call : engine.impute(t, data.console)) out.push_back(call.probabilities);
    return out;
  }
};

TEST(HmmEngine, StudyMadeOfThePanelIsImputedWithCertainty) {
  const auto panel = random_haplotypes(8, 40, 7);
  std::vector<std::string> study;
  for (size_t k = 0; k + 1 < panel.size(); k += 2) study.push_back(genotype(panel[k], panel[k + 1], 2));
  Imputation run(panel, study, 2);
  run.settings.phasing_ne = run.settings.imputation_ne = 500;  // whole haplotypes copied
  const auto probabilities = run.impute();
  for (int t = 0; t < 40; ++t)
    for (size_t i = 0; i < study.size(); ++i) {
      const int truth = (panel[2 * i][static_cast<size_t>(t)] - '0') + (panel[2 * i + 1][static_cast<size_t>(t)] - '0');
      EXPECT_GT(probabilities[static_cast<size_t>(t) * study.size() + i][static_cast<size_t>(truth)], 0.99)
          << "marker " << t << " individual " << i;
    }
}

// Individuals made of two panel haplotypes are phased without a switch
// error, across phasing windows that overlap (64 typed markers each, one
// word apart) and through a missing genotype. The phased haplotypes add up
// to every observed genotype, also one that no pair of the panel gives.
TEST(HmmEngine, PhasesIndividualsMadeOfPanelHaplotypesAcrossWindows) {
  const auto panel = random_haplotypes(12, 200, 23);
  std::vector<std::string> study;
  for (size_t k = 0; k + 1 < panel.size(); k += 2) study.push_back(genotype(panel[k], panel[k + 1], 1));
  study[2][150] = '.';
  std::string odd = study[0];
  odd[odd.find('0')] = '2';
  odd[odd.find_first_of("02", 100)] = '1';
  study.push_back(odd);
  // Both choices of conditioning haplotypes: the closest of the whole panel,
  // and (as for large panels) the transform's neighbours after the first pass.
  for (const int states : {0, 6}) {
  Imputation run(panel, study, 1);
  run.settings.window_words = 2, run.settings.step_words = 1;
  run.settings.selection.states = states, run.settings.conditioning = states > 0 ? 6 : 24;
  HmmEngine engine({run.data.panel, run.data.study, run.typed, 0.33}, run.settings);
  const std::vector<std::int8_t>& phased = engine.phased_haplotypes();
  for (size_t i = 0; i < study.size(); ++i) {
    std::string first, second;
    for (size_t m = 0; m < 200; ++m) {
      first += static_cast<char>('0' + phased[2 * i * 200 + m]);
      second += static_cast<char>('0' + phased[(2 * i + 1) * 200 + m]);
      if (study[i][m] != '.') {
        EXPECT_EQ(first[m] + second[m] - '0', study[i][m]) << i << " " << m;
      }
    }
    if (i == panel.size() / 2) break;  // the odd one out
    if (first != panel[2 * i]) std::swap(first, second);
    EXPECT_EQ(first, panel[2 * i]) << states << " " << i;
    EXPECT_EQ(second, panel[2 * i + 1]) << states << " " << i;
  }
  }
}

TEST(HmmEngine, MosaicOfTwoPanelHaplotypesIsExactAwayFromTheSwitch) {
  const auto panel = random_haplotypes(10, 60, 11);
  const std::string mosaic = panel[3].substr(0, 30) + panel[6].substr(30);
  Imputation run(panel, {genotype(mosaic, mosaic, 2)}, 2);
  HmmEngine engine({run.data.panel, run.data.study, run.typed, 0.33}, run.settings);
  for (int t = 0; t < 60; ++t) {
    if (t >= 24 && t < 36) continue;  // near the switch the copied haplotype is uncertain
    const GenotypeCall& call = engine.impute(t, run.data.console)[0];
    EXPECT_EQ(call.output, 2 * (mosaic[static_cast<size_t>(t)] - '0')) << t;
  }
}

// An untyped marker is imputed from its flanking typed markers alone; that
// must equal the posterior of the model run over every marker with the
// untyped ones unobserved. A homozygous individual has nothing to phase, so
// each haplotype's allele-1 probability is half the dosage.
TEST(HmmEngine, UntypedMarkersGetTheExactPosteriorOfTheWholeModel) {
  const auto panel = random_haplotypes(6, 30, 17);
  std::string typed_haplotype = panel[1].substr(0, 12) + panel[4].substr(12);
  typed_haplotype[20] = typed_haplotype[20] == '0' ? '1' : '0';  // a copying error at a typed marker
  Imputation run(panel, {genotype(typed_haplotype, typed_haplotype, 3)}, 3);
  HmmEngine engine({run.data.panel, run.data.study, run.typed, 0.33}, run.settings);
  std::vector<std::int8_t> alleles, observed;
  std::vector<double> switches;
  for (size_t m = 0; m < 30; ++m) {
    for (const auto& h : panel) alleles.push_back(static_cast<std::int8_t>(h[m] - '0'));
    observed.push_back(m % 3 == 0 ? static_cast<std::int8_t>(typed_haplotype[m] - '0') : std::int8_t{-1});
    switches.push_back(m == 0 ? 0.0
                              : switch_probability(run.settings.centimorgans[m] - run.settings.centimorgans[m - 1],
                                                   run.settings.imputation_ne, 6));
  }
  const auto post =
      haploid_posteriors(alleles.data(), 6, 30, observed.data(), switches.data(), run.settings.imputation_error);
  for (int t = 0; t < 30; ++t) {
    if (t % 3 == 0) continue;
    double p = 0;
    for (size_t h = 0; h < 6; ++h) p += post[static_cast<size_t>(t) * 6 + h] * alleles[static_cast<size_t>(t) * 6 + h];
    const auto& gp = engine.impute(t, run.data.console)[0].probabilities;
    EXPECT_NEAR((gp[1] + 2 * gp[2]) / 2, p, 2e-4) << t;
  }
}

TEST(HmmEngine, SameProbabilitiesWithAnyNumberOfThreads) {
  // Individuals copy panel haplotypes with switches and a few errors; small
  // phasing windows and imputation blocks put every seam to work.
  const auto panel = random_haplotypes(30, 400, 3);
  std::mt19937 rng(5);
  std::vector<std::string> study;
  for (int i = 0; i < 25; ++i) {
    std::string a, b;
    for (size_t m = 0; m < 400; ++m) {
      a += panel[(rng() % 30 + m / 50) % 30][m];
      const char copied = panel[static_cast<size_t>(i + static_cast<int>(m / 70)) % 30][m];
      b += rng() % 50 == 0 ? static_cast<char>('0' + '1' - copied) : copied;
    }
    study.push_back(genotype(a, b, 3));
  }
  Imputation run(panel, study, 3);
  run.settings.window_words = 2, run.settings.step_words = 1, run.settings.block_markers = 50;
  run.settings.block_overlap = 10;
  const auto one = run.impute();
  run.settings.threads = 3;
  EXPECT_EQ(one, run.impute());
}

// Composites chosen from the panel's nearest neighbours hold the two
// haplotypes an individual is made of; the others disagree with it at about
// half the markers, so the whole panel gives them no weight either and both
// passes agree (with switches rare enough that the jump term, spread over
// 24 haplotypes or over 6 composites, does not count).
// Unknown panel alleles (at markers whose less frequent allele is 1, and 0)
// count as the panel's frequency in both. A typed marker with a missing
// genotype is imputed by the model in both (where the genotype was observed,
// it is written as it is).
TEST(HmmEngine, CompositesGiveTheWholePanelsPosteriorsWhenTheyHoldTheCopiedHaplotypes) {
  auto panel = random_haplotypes(24, 120, 31);
  std::vector<std::string> study;
  for (size_t k = 0; k < 6; ++k) study.push_back(genotype(panel[k], panel[k + 6], 2));
  study[1][40] = study[4][0] = study[4][118] = '.';
  for (size_t h = 0; h < panel.size(); ++h) panel[h][7] = h % 5 == 1 ? '0' : '1';
  for (const size_t h : {0, 6, 13}) panel[h][7] = panel[h][9] = panel[h][71] = '?';
  for (const auto& with_unknown : {false, true}) {
    Imputation run(with_unknown ? panel : random_haplotypes(24, 120, 31), study, 2);
    run.settings.imputation_ne = 1000;
    const auto whole = run.impute();
    run.settings.selection = {6, 4, 4};
    const auto chosen = run.impute();
    ASSERT_EQ(whole.size(), chosen.size());
    for (size_t k = 0; k < whole.size(); ++k)
      for (size_t g = 0; g < 3; ++g)
        EXPECT_NEAR(whole[k][g], chosen[k][g], 2e-3) << with_unknown << " " << k / study.size() << " " << g;
  }
}

// The composites depend on the study haplotype and its block alone: any
// thread count, and a run that starts inside the chromosome (a chunk) from
// the haplotypes of a phasing run, give the same bytes.
TEST(HmmEngine, CompositesGiveTheSameProbabilitiesWithAnyThreadsAndInChunks) {
  const auto panel = random_haplotypes(40, 300, 9);
  std::mt19937 rng(4);
  std::vector<std::string> study;
  for (int i = 0; i < 12; ++i) {
    std::string a, b;
    for (size_t m = 0; m < 300; ++m) {
      a += panel[(rng() % 40 + m / 40) % 40][m];
      b += panel[static_cast<size_t>(i + static_cast<int>(m / 60)) % 40][m];
    }
    study.push_back(genotype(a, b, 3));
  }
  Imputation run(panel, study, 3);
  run.settings.selection = {8, 4, 3};
  run.settings.block_markers = 30, run.settings.block_overlap = 8;
  const auto whole = run.impute();
  run.settings.threads = 3;
  EXPECT_EQ(whole, run.impute());
  // The chunk takes the haplotypes phased once, through the phased VCF.
  HmmEngine phasing({run.data.panel, run.data.study, run.typed, 0.33}, run.settings);
  test::TempDir dir;
  write_phased_vcf(dir.file("phased.vcf"), 7, run.data.panel, run.typed, run.data.study, phasing.phased_haplotypes());
  HmmEngine chunk({run.data.panel, run.data.study, run.typed, 0.33}, run.settings);
  chunk.use_phased(read_phased_vcf(dir.file("phased.vcf"), run.data.panel, run.typed, run.data.study));
  for (int t = 170; t < 300; ++t) {
    const auto& calls = chunk.impute(t, run.data.console);
    for (size_t i = 0; i < calls.size(); ++i)
      ASSERT_EQ(calls[i].probabilities, whole[static_cast<size_t>(t) * study.size() + i]) << t << " " << i;
  }
}

}  // namespace
}  // namespace snp

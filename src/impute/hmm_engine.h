// Imputation by a hidden Markov model over the reference haplotypes (the
// haplotype-copying model of Li and Stephens): a study haplotype is a mosaic
// of reference haplotypes that switches between them at a rate set by the
// genetic distance, and differs from the one it copies with a small error
// probability.
//
// The study genotypes are unphased. They are phased first at the typed
// markers: each individual's two haplotypes are the most probable path of a
// diploid copying model over pairs of conditioning haplotypes, the closest
// matches in windows of typed markers among the reference haplotypes (first
// pass) and the reference plus the other individuals' haplotypes of the
// previous pass (later passes). Each phased haplotype is then imputed with
// the haploid model over the whole panel: forward-backward at the typed
// markers gives the copying probabilities there, and at an untyped marker
// the exact posterior follows from the flanking typed markers. Genotype
// probabilities are the products of the two haplotypes' allele
// probabilities.
//
// Every individual and haplotype is computed from the previous pass alone,
// so the output does not depend on the number of threads.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "impute/engine.h"
#include "impute/state_selection.h"

namespace snp {

struct HmmSettings {
  // Genetic position (cM) of every reference marker, ascending.
  std::vector<double> centimorgans;
  int threads = 1;
  int phasing_passes = 3;    // the first over the reference alone
  int conditioning = 24;     // haplotypes per window in the phasing model
  int window_words = 3;      // phasing window: 64 typed markers per word
  int step_words = 2;        // window start to start
  double phasing_ne = 2000;  // effective population size of the switch rates
  double imputation_ne = 50000;
  double phasing_error = 0.005;  // probability that a copied allele differs
  double imputation_error = 0.003;
  int block_markers = 4096;  // typed markers per imputation block
  int block_overlap = 256;   // typed markers the model runs past a block's ends
  // Imputation over composite haplotypes chosen per study haplotype instead
  // of the whole panel (when the panel has more haplotypes than states).
  StateSelectionSettings selection;
};

// The settings for a panel of `haplotypes`: small panels run the exact pass
// over every haplotype; large ones impute over composites and phase in
// longer windows over haplotypes found by the transform, which then match
// the study haplotypes over longer stretches.
HmmSettings automatic_hmm_settings(int haplotypes);

// Switch probability between markers `cm` centimorgans apart in a model of
// `states` haplotypes: 1 - exp(-0.04 Ne cm / states).
double switch_probability(double cm, double ne, int states);

// Haploid forward-backward over `haplotypes` copying states at `sites`
// sites: emissions[site] points to the emission probability of each state,
// switches[site] is the switch probability from the site before
// (switches[0] unused). Fills forward and backward (site by site, each
// site's values scaled to sum to 1); scratch holds `haplotypes` values.
// SumOrder::any lets the sums over the states run in any order (vectorised;
// the last bits of the results may differ).
enum class SumOrder { in_order, any };
void haploid_forward_backward(const float* const* emissions, const float* switches, int haplotypes, int sites,
                              float* forward, float* backward, float* scratch, SumOrder order = SumOrder::in_order);

// The posterior copying probabilities of that model, site by site, for
// alleles[site * haplotypes + h] (0, 1, -1 unknown) and observed[site] (-1
// missing) with the given error probability.
std::vector<double> haploid_posteriors(const std::int8_t* alleles, int haplotypes, int sites,
                                       const std::int8_t* observed, const double* switches, double error);

// Most probable path of the diploid copying model over ordered pairs of the
// `states` rows of `alleles` (alleles[k * sites + site]) given the genotypes
// (0, 1, 2, -1 missing); the two rows copied at each site.
struct PairPath {
  std::vector<int> first;
  std::vector<int> second;
};
// jump_shares (sites by states, each site's summing to 1), when given, are
// the shares of the switches that go to each state; without them all states
// share alike. With the shares, staying (sites by states, at most 1), when
// given, scales the probability that a row does not switch.
PairPath diploid_viterbi(const std::int8_t* alleles, int states, int sites, const std::int8_t* genotypes,
                         const double* switches, double error, const float* jump_shares = nullptr,
                         const float* staying = nullptr);

class HmmEngine : public ImputationEngine {
 public:
  HmmEngine(const EngineInput& input, HmmSettings settings);
  ~HmmEngine() override;
  const std::vector<GenotypeCall>& impute(int t, std::ostream& console) override;

  // The phased study haplotypes at the typed markers (2 per individual,
  // haplotype-major), after the phasing passes.
  const std::vector<std::int8_t>& phased_haplotypes();
  // Takes the phased haplotypes (as phased_haplotypes gives them) instead
  // of phasing.
  void use_phased(std::vector<std::int8_t> haplotypes);

 private:
  struct Work;
  void phase();
  void impute_block(int block);
  void impute_block_with_composites(size_t rows, int run_first, const std::vector<MarkerFlank>& flanks,
                                    const std::vector<float>& switches);

  EngineInput input_;
  HmmSettings settings_;
  std::unique_ptr<Work> work_;
  std::vector<GenotypeCall> calls_;
};

}  // namespace snp

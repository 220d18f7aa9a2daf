// State choice of the phasing model: in each window of typed markers, an
// individual's conditioning haplotypes are the candidates closest to its
// genotypes (first pass) or to its two haplotypes of the previous pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace snp {

class ConditioningCandidates {
 public:
  // alleles: typed marker by reference haplotype (0, 1, -1 unknown);
  // genotypes: individual by typed marker (0, 1, 2, -1 missing).
  ConditioningCandidates(const std::vector<std::int8_t>& alleles, int haplotypes,
                         const std::vector<std::int8_t>& genotypes, int individuals, int typed);

  // Makes the study haplotypes of a pass (haplotype by typed marker, two per
  // individual) candidates of the next.
  void set_study_haplotypes(const std::vector<std::int8_t>& phased);

  // Reference haplotype h's allele at typed marker m (0, 1, -1 unknown).
  std::int8_t reference_allele(int h, int m) const {
    const size_t word = static_cast<size_t>(m / 64);
    const std::uint64_t bit = std::uint64_t{1} << (m % 64);
    if ((ref_known_[static_cast<size_t>(h)][word] & bit) == 0) return -1;
    return (ref_ones_[static_cast<size_t>(h)][word] & bit) != 0 ? 1 : 0;
  }

  // Reference haplotype h in word w of the typed markers: its ones and its
  // known alleles.
  std::pair<std::uint64_t, std::uint64_t> reference_word(int h, int w) const {
    return {ref_ones_[static_cast<size_t>(h)][static_cast<size_t>(w)],
            ref_known_[static_cast<size_t>(h)][static_cast<size_t>(w)]};
  }
  int words() const { return words_; }
  int haplotypes() const { return haplotypes_; }

  // The k reference haplotypes with the fewest alleles opposite to the
  // individual's homozygous genotypes in words [w0, w1) of the typed
  // markers (64 markers a word); ties go to the lower index.
  std::vector<int> closest_to_genotypes(int individual, int w0, int w1, int k) const;

  // For each of the individual's two haplotypes in turn, half of k (the
  // second the odd one) further candidates with the fewest differing known
  // alleles: reference haplotype h as h, another individual's study
  // haplotype j as haplotypes + j.
  std::vector<int> closest_to_haplotypes(int individual, int w0, int w1, int k) const;

 private:
  using Bits = std::vector<std::uint64_t>;
  int haplotypes_;
  int individuals_;
  int typed_;
  int words_;
  std::vector<Bits> ref_ones_, ref_known_;  // per reference haplotype
  std::vector<Bits> hom0_, hom2_;           // per individual
  std::vector<Bits> study_ones_;            // per study haplotype
  Bits all_known_;
};

// For every word w of the typed markers and reference haplotype h, at
// [w * haplotypes + h]:
// - in_word: how many reference haplotypes are identical to h in word w
//   (h included);
// - kept: of those identical to h over the span - 1 words that end with
//   word w - 1, the part that is identical to it in word w too (1 in word
//   0). The span is at least 2.
struct ReferenceCopies {
  std::vector<std::uint32_t> in_word;
  std::vector<float> kept;
};
ReferenceCopies reference_copies(const ConditioningCandidates& candidates, int span);

// The moves of a row of the phasing model among the chosen conditioning
// haplotypes, sites (markers [first, end)) by chosen haplotypes.
struct SwitchWeights {
  std::vector<float> shares, staying;
};

// The moves weighted by what each chosen haplotype stands for in the panel:
// - shares: a switch lands on each in proportion to the reference
//   haplotypes identical to it in the site's word of typed markers, split
//   evenly among the chosen haplotypes identical there;
// - staying (1 elsewhere): at the first site of a word, a row that stays
//   keeps the part of its haplotype's copies that stay identical to it
//   (kept).
// A row that copies one haplotype over a long stretch then weighs about as
// much as the panel haplotypes that match it all along, as in the model
// over the whole panel. Two paths that trade the ends of two haplotypes are
// told apart only by counts over several words: over two, the products of
// the two trades are alike.
SwitchWeights family_weights(const std::vector<int>& chosen, const ConditioningCandidates& candidates,
                             const ReferenceCopies& copies, int first, int end);

}  // namespace snp

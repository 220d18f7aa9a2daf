#include "impute/hmm_states.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace snp {
namespace {

std::pair<size_t, std::uint64_t> word_bit(int m) {
  return {static_cast<size_t>(m / 64), std::uint64_t{1} << (m % 64)};
}

// Differing alleles of a and b where the mask is set, in words [w0, w1).
int differences(const std::uint64_t* a, const std::uint64_t* b, int w0, int w1, const std::uint64_t* mask) {
  int count = 0;
  for (int w = w0; w < w1; ++w) count += std::popcount((a[w] ^ b[w]) & mask[w]);
  return count;
}

// The k candidates of smallest score (ties to the lower index), skipping
// those already taken.
void take_best(const std::vector<std::pair<int, int>>& scored, int k, std::vector<int>& chosen) {
  std::vector<std::pair<int, int>> order(scored);
  const size_t wanted = std::min(order.size(), chosen.size() + static_cast<size_t>(k));
  const size_t sorted = std::min(order.size(), wanted + chosen.size());
  std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(sorted), order.end());
  order.resize(sorted);
  for (const auto& [score, index] : order) {
    if (chosen.size() >= wanted) break;
    if (std::find(chosen.begin(), chosen.end(), index) == chosen.end()) chosen.push_back(index);
  }
}

}  // namespace

ConditioningCandidates::ConditioningCandidates(const std::vector<std::int8_t>& alleles, int haplotypes,
                                               const std::vector<std::int8_t>& genotypes, int individuals, int typed)
    : haplotypes_(haplotypes), individuals_(individuals), typed_(typed), words_((typed + 63) / 64) {
  const int H = haplotypes, N = individuals, T = typed;
  const size_t TT = static_cast<size_t>(T);
  const Bits empty(static_cast<size_t>(words_));
  // Bits of the reference haplotypes (ones and known alleles) and of the
  // genotypes (homozygous 0, homozygous 2).
  ref_ones_.assign(static_cast<size_t>(H), empty);
  ref_known_ = ref_ones_;
  for (int m = 0; m < T; ++m)
    for (int h = 0; h < H; ++h) {
      const auto [word, bit] = word_bit(m);
      const std::int8_t a = alleles[static_cast<size_t>(m) * static_cast<size_t>(H) + static_cast<size_t>(h)];
      if (a >= 0) ref_known_[static_cast<size_t>(h)][word] |= bit;
      if (a == 1) ref_ones_[static_cast<size_t>(h)][word] |= bit;
    }
  hom0_.assign(static_cast<size_t>(N), empty);
  hom2_ = hom0_;
  for (int i = 0; i < N; ++i)
    for (int m = 0; m < T; ++m) {
      const auto [word, bit] = word_bit(m);
      const std::int8_t g = genotypes[static_cast<size_t>(i) * TT + static_cast<size_t>(m)];
      if (g == 0) hom0_[static_cast<size_t>(i)][word] |= bit;
      if (g == 2) hom2_[static_cast<size_t>(i)][word] |= bit;
    }
  all_known_.assign(static_cast<size_t>(words_), ~std::uint64_t{0});
}

void ConditioningCandidates::set_study_haplotypes(const std::vector<std::int8_t>& phased) {
  const size_t TT = static_cast<size_t>(typed_);
  study_ones_.assign(2 * static_cast<size_t>(individuals_), Bits(static_cast<size_t>(words_)));
  for (size_t j = 0; j < 2 * static_cast<size_t>(individuals_); ++j)
    for (int m = 0; m < typed_; ++m)
      if (phased[j * TT + static_cast<size_t>(m)] == 1) {
        const auto [word, bit] = word_bit(m);
        study_ones_[j][word] |= bit;
      }
}

std::vector<int> ConditioningCandidates::closest_to_genotypes(int individual, int w0, int w1, int k) const {
  const size_t I = static_cast<size_t>(individual);
  const std::uint64_t* hom0 = hom0_[I].data();
  const std::uint64_t* hom2 = hom2_[I].data();
  std::vector<std::pair<int, int>> scored;
  scored.reserve(static_cast<size_t>(haplotypes_));
  for (int h = 0; h < haplotypes_; ++h) {
    const std::uint64_t* ones = ref_ones_[static_cast<size_t>(h)].data();
    const std::uint64_t* known = ref_known_[static_cast<size_t>(h)].data();
    // Opposite alleles: a one where the genotype is 0/0, a known zero where
    // it is 2/2 (the two never overlap).
    int bad = 0;
    for (int w = w0; w < w1; ++w) bad += std::popcount((hom0[w] & ones[w]) | (hom2[w] & known[w] & ~ones[w]));
    scored.emplace_back(bad, h);
  }
  std::vector<int> chosen;
  take_best(scored, k, chosen);
  return chosen;
}

std::vector<int> ConditioningCandidates::closest_to_haplotypes(int individual, int w0, int w1, int k) const {
  const int H = haplotypes_, N = individuals_;
  std::vector<int> chosen;
  for (int own = 0; own < 2; ++own) {
    const auto& mine = study_ones_[2 * static_cast<size_t>(individual) + static_cast<size_t>(own)];
    std::vector<std::pair<int, int>> scored;
    for (int h = 0; h < H; ++h)
      scored.emplace_back(differences(mine.data(), ref_ones_[static_cast<size_t>(h)].data(), w0, w1,
                                         ref_known_[static_cast<size_t>(h)].data()),
                          h);
    for (int j = 0; j < 2 * N; ++j)
      if (j / 2 != individual)
        scored.emplace_back(
            differences(mine.data(), study_ones_[static_cast<size_t>(j)].data(), w0, w1, all_known_.data()),
            H + j);
    take_best(scored, k / 2 + (own == 1 ? k % 2 : 0), chosen);
  }
  return chosen;
}

namespace {

// Classes of equal keys: the class of each item, numbered by key order.
template <typename Key>
std::vector<std::uint32_t> classes_of(const std::vector<Key>& keys) {
  std::vector<std::pair<Key, std::uint32_t>> sorted(keys.size());
  for (size_t h = 0; h < keys.size(); ++h) sorted[h] = {keys[h], static_cast<std::uint32_t>(h)};
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::uint32_t> classes(keys.size());
  std::uint32_t current = 0;
  for (size_t k = 0; k < sorted.size(); ++k) {
    if (k > 0 && sorted[k].first != sorted[k - 1].first) ++current;
    classes[sorted[k].second] = current;
  }
  return classes;
}

}  // namespace

ReferenceCopies reference_copies(const ConditioningCandidates& candidates, int span) {
  const int H = candidates.haplotypes(), words = candidates.words();
  const size_t HH = static_cast<size_t>(H), W = static_cast<size_t>(words);
  // Classes over one word, then over spans one word longer: a haplotype's
  // class over the span ending at w is its class over the shorter span
  // ending at w - 1 together with its class in word w.
  std::vector<std::vector<std::uint32_t>> in_word(W);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> patterns(HH);
  for (size_t w = 0; w < W; ++w) {
    for (int h = 0; h < H; ++h) patterns[static_cast<size_t>(h)] = candidates.reference_word(h, static_cast<int>(w));
    in_word[w] = classes_of(patterns);
  }
  std::vector<std::vector<std::uint32_t>> over_span = in_word;
  std::vector<std::uint64_t> joined(HH);
  auto lengthen = [&] {
    for (size_t w = W; w-- > 1;) {  // downwards: word w - 1 still holds the shorter span
      for (size_t h = 0; h < HH; ++h) joined[h] = std::uint64_t{over_span[w - 1][h]} << 32 | in_word[w][h];
      over_span[w] = classes_of(joined);
    }
  };
  // The number of haplotypes in each haplotype's class, in one word.
  std::vector<std::uint32_t> sizes(HH);
  auto count_classes = [&](const std::vector<std::uint32_t>& classes, std::uint32_t* counts) {
    std::fill(sizes.begin(), sizes.end(), 0);
    for (const std::uint32_t c : classes) ++sizes[c];
    for (size_t h = 0; h < HH; ++h) counts[h] = sizes[classes[h]];
  };
  ReferenceCopies copies{std::vector<std::uint32_t>(W * HH), std::vector<float>(W * HH, 1.0f)};
  for (size_t w = 0; w < W; ++w) count_classes(in_word[w], &copies.in_word[w * HH]);
  for (int length = 2; length < std::max(span, 2); ++length) lengthen();
  std::vector<std::uint32_t> shorter = copies.in_word;  // over span - 1 words
  if (span > 2)
    for (size_t w = 0; w < W; ++w) count_classes(over_span[w], &shorter[w * HH]);
  lengthen();
  std::vector<std::uint32_t> longer(HH);
  for (size_t w = 1; w < W; ++w) {
    count_classes(over_span[w], longer.data());
    for (size_t h = 0; h < HH; ++h)
      copies.kept[w * HH + h] = static_cast<float>(longer[h] / static_cast<double>(shorter[(w - 1) * HH + h]));
  }
  return copies;
}

SwitchWeights family_weights(const std::vector<int>& chosen, const ConditioningCandidates& candidates,
                             const ReferenceCopies& copies, int first, int end) {
  const size_t K = chosen.size(), H = static_cast<size_t>(candidates.haplotypes());
  SwitchWeights weights{std::vector<float>(static_cast<size_t>(end - first) * K),
                        std::vector<float>(static_cast<size_t>(end - first) * K, 1.0f)};
  std::vector<double> weight(K);
  std::vector<float> share(K);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> patterns(K);
  for (int w = first / 64; w * 64 < end; ++w) {
    const size_t W = static_cast<size_t>(w);
    for (size_t k = 0; k < K; ++k) patterns[k] = candidates.reference_word(chosen[k], w);
    double total = 0;
    for (size_t k = 0; k < K; ++k) {
      const auto alike = std::count(patterns.begin(), patterns.end(), patterns[k]);
      weight[k] = copies.in_word[W * H + static_cast<size_t>(chosen[k])] / static_cast<double>(alike);
      total += weight[k];
    }
    for (size_t k = 0; k < K; ++k) share[k] = static_cast<float>(weight[k] / total);
    for (int m = std::max(first, w * 64); m < std::min(end, w * 64 + 64); ++m)
      std::copy(share.begin(), share.end(), &weights.shares[static_cast<size_t>(m - first) * K]);
    if (w * 64 > first)  // a word's first site
      for (size_t k = 0; k < K; ++k) {
        const size_t h = static_cast<size_t>(chosen[k]);
        weights.staying[static_cast<size_t>(w * 64 - first) * K + k] = copies.kept[W * H + h];
      }
  }
  return weights;
}

}  // namespace snp

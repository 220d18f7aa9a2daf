#include "impute/state_selection.h"

#include <algorithm>

#include "impute/hmm_engine.h"

namespace snp {

StateSelectionSettings automatic_state_selection(int haplotypes) {
  // Up to 500 haplotypes the whole panel is cheap and exact; from 600 on the
  // composites were as fast and more accurate in measurements (their
  // haplotypes are chosen for each study haplotype). The larger the panel,
  // the more of its haplotypes are alike at the typed markers, and the more
  // neighbours and composites it takes to hold those that also share the
  // untyped alleles (measured on panels of 5,000 and 20,000 individuals).
  StateSelectionSettings settings;
  settings.states = haplotypes <= 500 ? 0 : haplotypes <= 20000 ? 384 : 512;
  settings.neighbours = haplotypes <= 20000 ? 48 : 64;
  settings.step = 8;
  return settings;
}

std::vector<int> composite_states(const RunNeighbours& neighbours, size_t study_haplotype, int rows, int states,
                                  int& composites) {
  const size_t L = static_cast<size_t>(rows), K = static_cast<size_t>(std::max(1, states));
  // Per composite: the reference haplotype it copies now, the checkpoint row
  // where that one was last a neighbour, and its segments (start row,
  // haplotype).
  struct Slot {
    int haplotype, last;
    std::vector<std::pair<int, int>> segments;
  };
  std::vector<Slot> slots;
  for (size_t c = 0; c < neighbours.checkpoints.size(); ++c) {
    const int row = neighbours.checkpoints[c];
    const Neighbour* found = neighbours.of(study_haplotype, c);
    for (int n = 0; n < neighbours.per_checkpoint && found[n].haplotype >= 0; ++n) {
      const Neighbour& neighbour = found[n];
      auto held = std::find_if(slots.begin(), slots.end(),
                               [&](const Slot& slot) { return slot.haplotype == neighbour.haplotype; });
      if (held != slots.end()) {
        held->last = row;
      } else if (slots.size() < K) {
        slots.push_back({neighbour.haplotype, row, {{0, neighbour.haplotype}}});
      } else {
        // Replace the composite whose haplotype was a neighbour longest ago,
        // from where the new one starts to match (after that last time).
        auto oldest = std::min_element(slots.begin(), slots.end(),
                                       [](const Slot& a, const Slot& b) { return a.last < b.last; });
        if (oldest->last == row) break;
        const int start = std::max(oldest->last + 1, neighbour.match_start);
        if (oldest->segments.back().first == start) oldest->segments.pop_back();
        oldest->segments.emplace_back(start, neighbour.haplotype);
        oldest->haplotype = neighbour.haplotype, oldest->last = row;
      }
    }
  }
  composites = static_cast<int>(slots.size());
  std::vector<int> copied(slots.size() * L);
  for (size_t k = 0; k < slots.size(); ++k) {
    const auto& segments = slots[k].segments;
    for (size_t s = 0; s < segments.size(); ++s) {
      const size_t from = static_cast<size_t>(std::min(segments[s].first, rows));
      const size_t to = s + 1 < segments.size() ? static_cast<size_t>(std::min(segments[s + 1].first, rows)) : L;
      std::fill(copied.begin() + static_cast<std::ptrdiff_t>(k * L + from),
                copied.begin() + static_cast<std::ptrdiff_t>(k * L + std::max(from, to)), segments[s].second);
    }
  }
  return copied;
}

namespace {

// Weight, relative to the largest over the composites, below which a
// composite is left out of the carrier sums.
constexpr float kNegligibleWeight = 1e-3f;

// Allele-1 probability at a marker from the sums over the composites
// carrying allele 1 (s) and over all K of them (A, C, AC); a jump on both
// sides lands on allele 1 at the panel frequency `fill`.
double copying_probability(const MarkerFlank& flank, const CarrierSums& s, double A, double C, double AC, double K,
                           double fill) {
  double p = fill;
  if (flank.left >= 0 && flank.left == flank.right) {
    if (AC > 0) p = s.ac / AC;
  } else {
    const double r1 = flank.from_left, r2 = flank.to_right, u = 1.0 / K;
    const double num = (1 - r1) * (1 - r2) * s.ac + (1 - r1) * r2 * C * u * s.a + r1 * (1 - r2) * A * u * s.c +
                       r1 * r2 * A * C * u * fill;
    const double den =
        (1 - r1) * (1 - r2) * AC + (1 - r1) * r2 * C * u * A + r1 * (1 - r2) * A * u * C + r1 * r2 * A * C * u;
    if (den > 0) p = num / den;
  }
  return std::clamp(p, 0.0, 1.0);
}

// The weights a and c of every composite for the markers of a group (see
// impute_with_composites), pointed to by the pair returned, with their
// totals and largest values set in the group.
std::pair<const float*, const float*> group_weights(const MarkerFlank& flank, const float* forward,
                                                    const float* backward, CompositeScratch& scratch, size_t K,
                                                    MarkerGroup& group) {
  const float* wa = scratch.zeros.data();
  if (flank.left >= 0) wa = forward + static_cast<size_t>(flank.left) * K;
  const float* wc = scratch.ones.data();
  if (flank.left >= 0 && flank.left == flank.right) {
    wc = backward + static_cast<size_t>(flank.left) * K;
  } else if (flank.right >= 0) {
    const float* emission = scratch.rows[static_cast<size_t>(flank.right)];
    const float* after = backward + static_cast<size_t>(flank.right) * K;
    float* product = scratch.weight_c.data();
    for (size_t k = 0; k < K; ++k) product[k] = emission[k] * after[k];
    wc = product;
  }
  // The sums may run in any order, so that the loop is vectorised.
  float sum_a = 0, sum_c = 0, sum_ac = 0, most_a = 0, most_c = 0, most_ac = 0;
#pragma omp simd reduction(+ : sum_a, sum_c, sum_ac)
  for (size_t k = 0; k < K; ++k) sum_a += wa[k], sum_c += wc[k], sum_ac += wa[k] * wc[k];
  for (size_t k = 0; k < K; ++k) {
    const float product = wa[k] * wc[k];
    most_a = wa[k] > most_a ? wa[k] : most_a;
    most_c = wc[k] > most_c ? wc[k] : most_c;
    most_ac = product > most_ac ? product : most_ac;
  }
  group.total_a = sum_a, group.total_c = sum_c, group.total_ac = sum_ac;
  group.most_a = most_a, group.most_c = most_c, group.most_ac = most_ac;
  return {wa, wc};
}

}  // namespace

void impute_with_composites(const CompositeImputation& run, const std::vector<int>& composite, int composites,
                            const std::int8_t* observed, CompositeScratch& scratch, float* out, size_t stride) {
  const size_t K = static_cast<size_t>(composites), L = run.switches.size();
  const HaplotypeBits& panel = run.panel;
  if (K == 0 || L == 0) {
    for (int t = run.first; t < run.end; ++t)
      out[static_cast<size_t>(t - run.first) * stride] = run.unknown_fill[static_cast<size_t>(t)];
    return;
  }
  const float match = static_cast<float>(1 - run.error), mismatch = static_cast<float>(run.error);
  scratch.emissions.resize(L * K), scratch.forward.resize(L * K), scratch.backward.resize(L * K);
  scratch.c.resize(K), scratch.rows.resize(L);
  for (size_t k = 0; k < K; ++k)
    for (size_t row = 0; row < L; ++row) {
      const std::int8_t a = panel.allele(composite[k * L + row], run.row_markers[row]);
      scratch.emissions[row * K + k] = a < 0 || observed[row] < 0 ? 1.0f : a == observed[row] ? match : mismatch;
    }
  for (size_t row = 0; row < L; ++row) scratch.rows[row] = &scratch.emissions[row * K];
  float* forward = scratch.forward.data();
  float* backward = scratch.backward.data();
  haploid_forward_backward(scratch.rows.data(), run.switches.data(), composites, static_cast<int>(L), forward,
                           backward, scratch.c.data(), SumOrder::any);
  // As over the whole panel: the posterior of composite k at a marker
  // between typed rows l and r is ((1-r1) a(k) + r1 A/K) ((1-r2) c(k) + r2 C/K),
  // a the forward probabilities at l and c the emissions times the backward
  // probabilities at r. Between two typed rows each composite copies one
  // reference haplotype, whose alleles there are a word or two of bits: the
  // sums run over the composites' carriers of each marker's less frequent
  // allele, composite by composite so that each reads its haplotypes' bits
  // in order.
  const size_t markers = static_cast<size_t>(std::max(0, run.end - run.first));
  std::vector<MarkerGroup>& groups = scratch.groups;
  groups.clear();
  for (int t = run.first; t < run.end;) {
    const MarkerFlank& flank = run.flanks[static_cast<size_t>(t - run.first)];
    int group_end = t + 1;
    while (group_end < run.end && run.flanks[static_cast<size_t>(group_end - run.first)].left == flank.left &&
           run.flanks[static_cast<size_t>(group_end - run.first)].right == flank.right)
      ++group_end;
    // At a typed marker where the haplotype's allele was observed, the
    // caller takes the observed genotype: the model is not needed there.
    const bool observed_here = flank.left >= 0 && flank.left == flank.right && observed[flank.left] >= 0;
    if (observed_here)
      for (int u = t; u < group_end; ++u) out[static_cast<size_t>(u - run.first) * stride] = observed[flank.left];
    else
      groups.push_back({t, group_end});
    t = group_end;
  }
  scratch.minor.assign(markers, CarrierSums{});
  scratch.unknown.assign(panel.unknown.empty() ? 0 : markers, CarrierSums{});
  scratch.weight_c.resize(K), scratch.zeros.assign(K, 0.0f), scratch.ones.assign(K, 1.0f);
  CarrierSums* minor = scratch.minor.data();
  CarrierSums* unknown = scratch.unknown.data();
  const std::uint64_t* minor_zero = run.minor_zero.data();
  // Only the composites with a weight of at least a thousandth of the
  // largest enter the carrier sums (a quarter of them, measured on a
  // 5,000-individual panel: those that disagree with the haplotype somewhere
  // in the run fall far below).
  for (MarkerGroup& group : groups) {
    const MarkerFlank& flank = run.flanks[static_cast<size_t>(group.first - run.first)];
    const auto [weight_a, weight_c] = group_weights(flank, forward, backward, scratch, K, group);
    const float least_a = kNegligibleWeight * group.most_a, least_c = kNegligibleWeight * group.most_c,
                least_ac = kNegligibleWeight * group.most_ac;
    group.kept_a = group.kept_c = group.kept_ac = 0;
    const size_t at = static_cast<size_t>(flank.left >= 0 ? flank.left : std::max(flank.right, 0));
    for (size_t k = 0; k < K; ++k) {
      const float wa = weight_a[k], wc = weight_c[k], wac = wa * wc;
      if (wa < least_a && wc < least_c && wac < least_ac) continue;
      group.kept_a += wa, group.kept_c += wc, group.kept_ac += wac;
      // The composite's haplotype: that of the row before the markers
      // (after them before the first typed row).
      const size_t row = static_cast<size_t>(composite[k * L + at]) * panel.words;
      for_each_bit(&panel.ones[row], minor_zero, panel.first, group.first, group.end,
                   [&](int t) { minor[t - run.first].add(wa, wc, wac); });
      // Unknown alleles count as 0 in the bits; a marker whose less frequent
      // allele is 0 takes them back out of its minor sums below.
      if (!panel.unknown.empty())
        for_each_bit(&panel.unknown[row], nullptr, panel.first, group.first, group.end,
                     [&](int t) { unknown[t - run.first].add(wa, wc, wac); });
    }
  }
  const double count = static_cast<double>(K);
  for (const MarkerGroup& group : groups) {
    const MarkerFlank& flank = run.flanks[static_cast<size_t>(group.first - run.first)];
    const double A = flank.left >= 0 ? group.total_a : 1.0;
    for (int t = group.first; t < group.end; ++t) {
      const size_t i = static_cast<size_t>(t - run.first), relative = static_cast<size_t>(t - panel.first);
      const bool minor_is_zero = ((minor_zero[relative / 64] >> (relative % 64)) & 1) != 0;
      const double fill = run.unknown_fill[static_cast<size_t>(t)];
      CarrierSums m = minor[i];
      const CarrierSums u = panel.unknown.empty() ? CarrierSums{} : unknown[i];
      if (minor_is_zero) m.a -= u.a, m.c -= u.c, m.ac -= u.ac;
      // The composites left out count as the panel's frequency, like
      // unknown alleles.
      auto ones = [&](double minor_sum, double unknown_sum, double kept, double total) {
        return (minor_is_zero ? kept - minor_sum - unknown_sum : minor_sum) + fill * (unknown_sum + total - kept);
      };
      const CarrierSums s{ones(m.a, u.a, group.kept_a, group.total_a), ones(m.c, u.c, group.kept_c, group.total_c),
                          ones(m.ac, u.ac, group.kept_ac, group.total_ac)};
      out[i * stride] =
          static_cast<float>(copying_probability(flank, s, A, group.total_c, group.total_ac, count, fill));
    }
  }
}

}  // namespace snp

#include "impute/state_selection.h"

#include <algorithm>

#include "impute/hmm_engine.h"

namespace snp {

StateSelectionSettings automatic_state_selection(int haplotypes) {
  // Up to a thousand haplotypes the whole panel costs little more than the
  // composites and is slightly more accurate.
  StateSelectionSettings settings;
  settings.states = haplotypes > 1000 ? 128 : 0;
  settings.neighbours = 16;
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

void impute_with_composites(const CompositeImputation& run, const std::vector<int>& composite, int composites,
                            const std::int8_t* observed, CompositeScratch& scratch, float* out, size_t stride) {
  const size_t K = static_cast<size_t>(composites), L = run.switches.size();
  const size_t H = static_cast<size_t>(run.panel.haplotype_count);
  if (K == 0 || L == 0) {
    for (int t = run.first; t < run.end; ++t)
      out[static_cast<size_t>(t - run.first) * stride] = run.unknown_fill[static_cast<size_t>(t)];
    return;
  }
  const float match = static_cast<float>(1 - run.error), mismatch = static_cast<float>(run.error);
  scratch.emissions.resize(L * K), scratch.forward.resize(L * K), scratch.backward.resize(L * K);
  scratch.a.resize(K), scratch.c.resize(K), scratch.ac.resize(K), scratch.rows.resize(L);
  for (size_t row = 0; row < L; ++row) {
    float* e = &scratch.emissions[row * K];
    const std::int8_t* alleles = run.typed_alleles + row * H;
    for (size_t k = 0; k < K; ++k) {
      const std::int8_t a = alleles[static_cast<size_t>(composite[k * L + row])];
      e[k] = a < 0 || observed[row] < 0 ? 1.0f : a == observed[row] ? match : mismatch;
    }
    scratch.rows[row] = e;
  }
  float* forward = scratch.forward.data();
  float* backward = scratch.backward.data();
  haploid_forward_backward(scratch.rows.data(), run.switches.data(), composites, static_cast<int>(L), forward,
                           backward, scratch.c.data());
  // As over the whole panel: the posterior of composite k at a marker
  // between typed rows l and r is ((1-r1) a(k) + r1 A/K) ((1-r2) c(k) + r2 C/K),
  // a the forward probabilities at l and c the emissions times the backward
  // probabilities at r; here summed over the composites directly.
  float* a = scratch.a.data();
  float* c = scratch.c.data();
  float* ac = scratch.ac.data();
  const double u = 1.0 / static_cast<double>(K);
  int prepared_left = -2, prepared_right = -2;
  double sum_a = 1, sum_c = 1, sum_ac = 0;
  for (int t = run.first; t < run.end; ++t) {
    const MarkerFlank& flank = run.flanks[static_cast<size_t>(t - run.first)];
    const bool on_typed = flank.left >= 0 && flank.left == flank.right;
    if (flank.left != prepared_left || flank.right != prepared_right) {
      prepared_left = flank.left, prepared_right = flank.right;
      if (flank.left >= 0)
        std::copy_n(forward + static_cast<size_t>(flank.left) * K, K, a);
      else
        std::fill(a, a + K, 0.0f);
      if (on_typed) {
        std::copy_n(backward + static_cast<size_t>(flank.left) * K, K, c);
      } else if (flank.right >= 0) {
        const float* e = scratch.rows[static_cast<size_t>(flank.right)];
        const float* b = backward + static_cast<size_t>(flank.right) * K;
        for (size_t k = 0; k < K; ++k) c[k] = e[k] * b[k];
      } else {
        std::fill(c, c + K, 1.0f);
      }
      double total_a = 0, total_c = 0, total_ac = 0;
      for (size_t k = 0; k < K; ++k) ac[k] = a[k] * c[k], total_a += a[k], total_c += c[k], total_ac += ac[k];
      sum_a = flank.left >= 0 ? total_a : 1.0, sum_c = total_c, sum_ac = total_ac;
    }
    // The composites' haplotypes at t: those of the row before it (after
    // it before the first typed row).
    const size_t at = static_cast<size_t>(flank.left >= 0 ? flank.left : std::max(flank.right, 0));
    const std::int8_t* column = run.panel.haplotypes.column(t);
    const double fill = run.unknown_fill[static_cast<size_t>(t)];
    double s_a = 0, s_c = 0, s_ac = 0, s_1 = 0;
    for (size_t k = 0; k < K; ++k) {
      const std::int8_t allele = column[static_cast<size_t>(composite[k * L + at])];
      const double x = allele < 0 ? fill : allele;
      if (x == 0) continue;
      s_a += x * (flank.left >= 0 ? a[k] : 0.0f), s_c += x * c[k], s_ac += x * ac[k], s_1 += x;
    }
    double p = fill;
    if (on_typed) {
      if (sum_ac > 0) p = s_ac / sum_ac;
    } else {
      const double r1 = flank.from_left, r2 = flank.to_right, A = sum_a, C = sum_c;
      const double num = (1 - r1) * (1 - r2) * s_ac + (1 - r1) * r2 * C * u * s_a + r1 * (1 - r2) * A * u * s_c +
                         r1 * r2 * A * C * u * u * s_1;
      const double den =
          (1 - r1) * (1 - r2) * sum_ac + (1 - r1) * r2 * C * u * A + r1 * (1 - r2) * A * u * C + r1 * r2 * A * C * u;
      if (den > 0) p = num / den;
    }
    out[static_cast<size_t>(t - run.first) * stride] = static_cast<float>(std::clamp(p, 0.0, 1.0));
  }
}

}  // namespace snp

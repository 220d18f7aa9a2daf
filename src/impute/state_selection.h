// Copying states chosen per study haplotype, for panels too large to run the
// copying model over every reference haplotype.
//
// A positional Burrows-Wheeler transform of the reference and study
// haplotypes at the typed markers of a run gives, every few typed markers,
// each study haplotype's reference neighbours: those whose alleles agree
// with it over the longest stretch ending there. The neighbours fill a fixed
// number of composite haplotypes per study haplotype; a composite copies one
// reference haplotype from where that one starts to match until it is
// replaced by a newer neighbour. The copying model then runs over the
// composites, so its cost per marker does not grow with the panel.
#pragma once

#include <cstdint>
#include <vector>

#include "impute/haplotype_bits.h"

namespace snp {

struct StateSelectionSettings {
  int states = 0;      // composites per study haplotype; 0: every reference haplotype
  int neighbours = 4;  // reference neighbours taken at each checkpoint
  int step = 8;        // typed markers from checkpoint to checkpoint
};

// The choice for a panel of `haplotypes`: composites for large panels, the
// exact pass over every haplotype for small ones.
StateSelectionSettings automatic_state_selection(int haplotypes);

// Neighbours of every study haplotype at the checkpoints of a run of typed
// markers, nearest first: reference haplotype and the run row where its
// match begins.
struct Neighbour {
  int haplotype;
  int match_start;
};
struct RunNeighbours {
  std::vector<int> checkpoints;  // run rows, ascending
  int per_checkpoint = 0;
  // study haplotype j, checkpoint c, rank n at
  // (j * checkpoints + c) * per_checkpoint + n; fewer than per_checkpoint
  // (haplotype -1) when the panel is smaller.
  std::vector<Neighbour> found;
  const Neighbour* of(size_t study, size_t checkpoint) const {
    return &found[(study * checkpoints.size() + checkpoint) * static_cast<size_t>(per_checkpoint)];
  }
};

// reference(row) points to the `haplotypes` reference alleles of a run row
// (0, 1, -1 unknown, read as 0), study(j, row) is study haplotype j's allele.
template <typename Reference, typename Study>
RunNeighbours find_neighbours(int haplotypes, int study_haplotypes, int rows, const StateSelectionSettings& settings,
                              const Reference& reference, const Study& study);

// The reference haplotype that each composite copies at each run row
// (composite k, row r at k * rows + r), from the neighbours of one study
// haplotype; as many composites as distinct neighbours, at most `states`.
std::vector<int> composite_states(const RunNeighbours& neighbours, size_t study_haplotype, int rows, int states,
                                  int& composites);

// Position of a reference marker between the typed rows of a run: the rows
// before and after it (-1 where there is none; the same row twice for a
// typed marker) and the switch probabilities from and to them.
struct MarkerFlank {
  int left, right;
  double from_left, to_right;
};

// Allele-1 probability of one study haplotype at reference markers
// [first, end) under the copying model over its composites.
struct CompositeImputation {
  const HaplotypeBits& panel;              // covers the run's typed markers and [first, end)
  const std::vector<std::uint64_t>& minor_zero;  // as panel's words: where allele 0 is the less frequent
  const int* row_markers;                  // reference marker of each run row
  const std::vector<float>& unknown_fill;  // per reference marker
  const std::vector<MarkerFlank>& flanks;  // of markers first..end-1
  const std::vector<float>& switches;      // per run row, from the row before
  int first, end;
  double error;
};
// Sums over the composites that carry an allele at a marker: of their
// forward (a), backward (c) and product weights.
struct CarrierSums {
  double a = 0, c = 0, ac = 0;
  void add(float wa, float wc, float wac) { a += wa, c += wc, ac += wac; }
};
// Markers [first, end) between the same two typed rows, and the sums of
// a, c and a c over all composites there and over those taken into the
// carrier sums.
struct MarkerGroup {
  int first = 0, end = 0;
  double total_a = 0, total_c = 0, total_ac = 0;
  float most_a = 0, most_c = 0, most_ac = 0;  // the largest weights
  double kept_a = 0, kept_c = 0, kept_ac = 0;  // the sums over the composites taken
};
struct CompositeScratch {
  std::vector<float> emissions, forward, backward, c, weight_c, zeros, ones;
  std::vector<const float*> rows;
  std::vector<MarkerGroup> groups;
  // Per marker: the sums over the composites that carry its less frequent
  // allele (minor) or an unknown one.
  std::vector<CarrierSums> minor, unknown;
};
// `observed` per run row: the haplotype's allele, -1 for no evidence.
// Writes the probability of marker t to out[(t - first) * stride]; at a
// typed marker with an observed allele, that allele (the model is skipped).
void impute_with_composites(const CompositeImputation& run, const std::vector<int>& composite, int composites,
                            const std::int8_t* observed, CompositeScratch& scratch, float* out, size_t stride);

// ---------------------------------------------------------------------------

template <typename Reference, typename Study>
RunNeighbours find_neighbours(int haplotypes, int study_haplotypes, int rows, const StateSelectionSettings& settings,
                              const Reference& reference, const Study& study) {
  const size_t H = static_cast<size_t>(haplotypes), all = H + static_cast<size_t>(study_haplotypes);
  const int step = std::max(1, settings.step);
  RunNeighbours out;
  out.per_checkpoint = std::max(1, settings.neighbours);
  for (int row = step - 1; row < rows; row += step) out.checkpoints.push_back(row);
  if (rows > 0 && (out.checkpoints.empty() || out.checkpoints.back() != rows - 1)) out.checkpoints.push_back(rows - 1);
  const size_t P = static_cast<size_t>(out.per_checkpoint), C = out.checkpoints.size();
  out.found.assign(static_cast<size_t>(study_haplotypes) * C * P, Neighbour{-1, 0});
  // Order of the haplotypes by their alleles read backwards from the current
  // row, and where each one's match with the one before it starts.
  std::vector<int> order(all), divergence(all, 0), next_order(all), next_divergence(all);
  for (size_t k = 0; k < all; ++k) order[k] = static_cast<int>(k);
  std::vector<int> position(all);
  size_t checkpoint = 0;
  for (int row = 0; row < rows; ++row) {
    const std::int8_t* ref = reference(row);
    auto allele = [&](int k) {
      return k < haplotypes ? ref[k] == 1 : study(static_cast<size_t>(k) - H, row) == 1;
    };
    size_t zeros = 0;
    for (size_t k = 0; k < all; ++k) zeros += !allele(order[k]);
    size_t z = 0, o = zeros;
    int match_zero = row + 1, match_one = row + 1;
    for (size_t k = 0; k < all; ++k) {
      const int h = order[k];
      match_zero = std::max(match_zero, divergence[k]);
      match_one = std::max(match_one, divergence[k]);
      if (!allele(h)) {
        next_order[z] = h, next_divergence[z++] = match_zero, match_zero = 0;
      } else {
        next_order[o] = h, next_divergence[o++] = match_one, match_one = 0;
      }
    }
    std::swap(order, next_order), std::swap(divergence, next_divergence);
    if (checkpoint >= C || out.checkpoints[checkpoint] != row) continue;
    for (size_t k = 0; k < all; ++k) position[static_cast<size_t>(order[k])] = static_cast<int>(k);
    for (size_t j = 0; j < static_cast<size_t>(study_haplotypes); ++j) {
      // Walk up and down from the study haplotype, taking the reference
      // haplotype with the longer match (the earlier start) first.
      Neighbour* found = &out.found[(j * C + checkpoint) * P];
      const long p = position[H + j];
      long up = p - 1, down = p + 1;
      int up_start = divergence[static_cast<size_t>(p)], down_start = 0;
      auto skip_up = [&] {
        while (up >= 0 && static_cast<size_t>(order[static_cast<size_t>(up)]) >= H)
          up_start = std::max(up_start, divergence[static_cast<size_t>(up--)]);
      };
      auto skip_down = [&] {
        while (down < static_cast<long>(all)) {
          down_start = std::max(down_start, divergence[static_cast<size_t>(down)]);
          if (static_cast<size_t>(order[static_cast<size_t>(down)]) < H) break;
          ++down;
        }
      };
      skip_up(), skip_down();
      for (size_t n = 0; n < P; ++n) {
        const bool has_up = up >= 0, has_down = down < static_cast<long>(all);
        if (!has_up && !has_down) break;
        if (has_up && (!has_down || up_start <= down_start)) {
          found[n] = {order[static_cast<size_t>(up)], up_start};
          up_start = std::max(up_start, divergence[static_cast<size_t>(up--)]);
          skip_up();
        } else {
          found[n] = {order[static_cast<size_t>(down++)], down_start};
          skip_down();
        }
      }
    }
    ++checkpoint;
  }
  return out;
}

}  // namespace snp

// Phasing of the study genotypes at the typed markers: the most probable
// path of the diploid copying model over pairs of conditioning haplotypes,
// window by window, in passes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "impute/hmm_engine.h"
#include "impute/hmm_states.h"
#include "impute/hmm_work.h"
#include "impute/state_selection.h"

namespace snp {

namespace {

// The moves of one row of the diploid model into each state k at one site:
// staying ((1 - r) s_k + r p_k) and jumping in from elsewhere (r p_k), with
// p_k the state's share of the jumps and s_k the part of its weight that a
// row staying on it keeps; the best score of each row of the previous site
// times its stay, scaled; the scale (the inverse of the previous site's
// best).
struct RowMoves {
  std::vector<float> stay, jump, best_staying;
  float inverse = 1;
};

template <bool kWeighted>
PairPath viterbi_pairs(const std::int8_t* alleles, int states, int sites, const std::int8_t* genotypes,
                       const double* switches, double error, const float* jump_shares, const float* staying) {
  const size_t K = static_cast<size_t>(states), S = K * K, L = static_cast<size_t>(sites);
  // Scores of every site (scaled so that the best at the previous site is 1)
  // with the best per row, per column and overall; the path is traced back
  // by working out again which predecessor gave each chosen score.
  // Every score is written before it is read: no zero fill of the largest array.
  const std::unique_ptr<float[]> score_cells(new float[S * L]);
  float* score = score_cells.get();
  std::vector<float> row_max(K * L), column_max(K * L), best(L);
  std::vector<float> emission(3 * K);  // by the first row's allele class, per second row
  std::vector<std::uint8_t> kind(K);
  const float emissions[3] = {1.0f, static_cast<float>(error), static_cast<float>(error * error)};
  // Emission rows of site m: for allele class c1 (0, 1, 2 unknown) of the
  // first row, the emission of each second row.
  auto load_emissions = [&](size_t m) {
    const int g = genotypes[m];
    for (size_t k = 0; k < K; ++k) {
      const std::int8_t a = alleles[k * L + m];
      kind[k] = static_cast<std::uint8_t>(a < 0 ? 2 : a);
    }
    for (int c1 = 0; c1 < 3; ++c1)
      for (size_t k = 0; k < K; ++k) {
        const int c2 = kind[k];
        emission[static_cast<size_t>(c1) * K + k] =
            g < 0 || c1 == 2 || c2 == 2 ? 1.0f : emissions[std::abs(c1 + c2 - g)];
      }
  };
  // The scores are symmetric (the emissions depend on the sum of the two
  // alleles, and the moves of the two rows are alike): the best of column k
  // is the best of row k. The weighted recursion keeps them exactly so by
  // forming every product in both orders alike.
  auto summarise = [&](size_t m) {
    const float* cells = &score[m * S];
    float* rows = &row_max[m * K];
    for (size_t k1 = 0; k1 < K; ++k1) {
      const float* cell = cells + k1 * K;
      float largest = cell[0];
      for (size_t k2 = 0; k2 < K; ++k2) largest = std::max(largest, cell[k2]);
      rows[k1] = largest;
    }
    std::copy(rows, rows + K, &column_max[m * K]);
    best[m] = *std::max_element(rows, rows + K);
  };
  struct Weights {
    float stay_stay, stay_jump, jump_jump;
  };
  auto weights = [&](size_t m) {
    const double r = switches[m];
    const float stay = static_cast<float>(1 - r + r / static_cast<double>(K));
    const float jump = static_cast<float>(r / static_cast<double>(K));
    const float inverse = 1.0f / best[m - 1];
    return Weights{stay * stay * inverse, stay * jump * inverse, jump * jump};
  };
  // Weighted moves at site m.
  RowMoves moves;
  auto weighted_site = [&](size_t m) {
    const double r = switches[m];
    moves.inverse = 1.0f / best[m - 1];
    moves.stay.resize(K), moves.jump.resize(K), moves.best_staying.resize(K);
    for (size_t k = 0; k < K; ++k) {
      const double share = jump_shares[m * K + k];
      const double kept = staying == nullptr ? 1.0 : staying[m * K + k];
      moves.stay[k] = static_cast<float>((1 - r) * kept + r * share);
      moves.jump[k] = static_cast<float>(r * share);
      moves.best_staying[k] = row_max[(m - 1) * K + k] * moves.stay[k] * moves.inverse;
    }
  };
  // The four ways into (k1, k2) of the weighted model, scaled: both rows
  // stay, the second jumps, the first jumps, both jump (from the previous
  // best, which the scale makes 1).
  struct Ways {
    float stay, second, first, both;
  };
  auto weighted_ways = [&](size_t m, size_t k1, size_t k2) {
    return Ways{score[(m - 1) * S + k1 * K + k2] * (moves.stay[k1] * moves.stay[k2] * moves.inverse),
                moves.best_staying[k1] * moves.jump[k2], moves.best_staying[k2] * moves.jump[k1],
                moves.jump[k1] * moves.jump[k2]};
  };
  load_emissions(0);
  for (size_t k1 = 0; k1 < K; ++k1)
    for (size_t k2 = 0; k2 < K; ++k2) {
      float start = emission[kind[k1] * K + k2];
      if constexpr (kWeighted) start *= jump_shares[k1] * jump_shares[k2];  // the product first: symmetric
      score[k1 * K + k2] = start;
    }
  summarise(0);
  for (size_t m = 1; m < L; ++m) {
    load_emissions(m);
    if constexpr (kWeighted) {
      weighted_site(m);
      const float* stay2 = moves.stay.data();
      const float* jump2 = moves.jump.data();
      const float* staying2 = moves.best_staying.data();
      const float inverse = moves.inverse;
      for (size_t k1 = 0; k1 < K; ++k1) {
        const float* before = &score[(m - 1) * S + k1 * K];
        float* cell = &score[m * S + k1 * K];
        const float* e = &emission[kind[k1] * K];
        const float stay1 = stay2[k1], jump1 = jump2[k1];
        // The second row jumping, with or without the first: jump2 times the
        // larger of the two.
        const float second_jumps = std::max(staying2[k1], jump1);
        for (size_t k2 = 0; k2 < K; ++k2)
          cell[k2] = std::max(std::max(before[k2] * (stay1 * stay2[k2] * inverse), jump2[k2] * second_jumps),
                              staying2[k2] * jump1) *
                     e[k2];
      }
    } else {
      const Weights w = weights(m);
      const float* previous_columns = &column_max[(m - 1) * K];
      for (size_t k1 = 0; k1 < K; ++k1) {
        const float* before = &score[(m - 1) * S + k1 * K];
        float* cell = &score[m * S + k1 * K];
        const float* e = &emission[kind[k1] * K];
        const float from_row = std::max(row_max[(m - 1) * K + k1] * w.stay_jump, w.jump_jump);
        for (size_t k2 = 0; k2 < K; ++k2)
          cell[k2] = std::max(std::max(before[k2] * w.stay_stay, from_row), previous_columns[k2] * w.stay_jump) * e[k2];
      }
    }
    summarise(m);
  }
  PairPath path;
  path.first.resize(L);
  path.second.resize(L);
  const float* last = &score[(L - 1) * S];
  size_t state = static_cast<size_t>(std::max_element(last, last + S) - last);
  for (size_t m = L; m-- > 0;) {
    size_t k1 = state / K, k2 = state % K;
    path.first[m] = static_cast<int>(k1);
    path.second[m] = static_cast<int>(k2);
    if (m == 0) break;
    // The predecessor: staying in both rows when that scores best, else
    // switching the second row, the first, or both.
    const float* before = &score[(m - 1) * S];
    Ways ways;
    if constexpr (kWeighted) {
      weighted_site(m);
      ways = weighted_ways(m, k1, k2);
    } else {
      const Weights w = weights(m);
      ways = Ways{before[state] * w.stay_stay, row_max[(m - 1) * K + k1] * w.stay_jump,
                  column_max[(m - 1) * K + k2] * w.stay_jump, w.jump_jump};
    }
    if (ways.stay >= ways.second && ways.stay >= ways.first && ways.stay >= ways.both) {
    } else if (ways.second >= ways.first && ways.second >= ways.both) {
      k2 = static_cast<size_t>(std::max_element(before + k1 * K, before + k1 * K + K) - (before + k1 * K));
    } else if (ways.first >= ways.both) {
      size_t top = 0;
      for (size_t k = 1; k < K; ++k)
        if (before[k * K + k2] > before[top * K + k2]) top = k;
      k1 = top;
    } else {
      const size_t top = static_cast<size_t>(std::max_element(before, before + S) - before);
      k1 = top / K, k2 = top % K;
    }
    state = k1 * K + k2;
  }
  return path;
}

}  // namespace

PairPath diploid_viterbi(const std::int8_t* alleles, int states, int sites, const std::int8_t* genotypes,
                         const double* switches, double error, const float* jump_shares, const float* staying) {
  if (jump_shares == nullptr)
    return viterbi_pairs<false>(alleles, states, sites, genotypes, switches, error, nullptr, nullptr);
  return viterbi_pairs<true>(alleles, states, sites, genotypes, switches, error, jump_shares, staying);
}

namespace {

// A phasing window: words [w0, w1) of the typed markers, markers [first, end).
struct PhasingWindow {
  int w0, w1, first, end;
};

std::vector<PhasingWindow> phasing_windows(int typed, int window_words, int step_words) {
  const int words = (typed + 63) / 64;
  std::vector<PhasingWindow> windows;
  for (int w0 = 0;; w0 += std::max(1, step_words)) {
    const int w1 = std::min(words, w0 + std::max(1, window_words));
    windows.push_back({w0, w1, w0 * 64, std::min(typed, w1 * 64)});
    if (windows.back().end >= typed) break;
  }
  return windows;
}

// Conditioning haplotypes of an individual in a window of a large panel:
// from the positional Burrows-Wheeler transform of the window, read forwards
// and backwards, each of its two haplotypes takes its nearest reference
// neighbours at checkpoints spread over the window (then the next nearest,
// and so on), so that every part of the window has haplotypes that match it
// there, on the left and on the right. Matches read one way only leave the
// phase near the window's start to chance.
constexpr int kNeighboursPerCheckpoint = 4;

RunNeighbours window_neighbours(int sites, int conditioning, int haplotypes, int study_haplotypes,
                                const std::vector<std::int8_t>& reference, int first,
                                const std::vector<std::int8_t>& study, size_t typed, bool backwards) {
  const int per_haplotype = std::max(1, conditioning / 2);
  const StateSelectionSettings settings{0, kNeighboursPerCheckpoint, std::max(1, sites / per_haplotype)};
  const size_t H = static_cast<size_t>(haplotypes);
  auto site = [&](int row) { return static_cast<size_t>(first + (backwards ? sites - 1 - row : row)); };
  return find_neighbours(
      haplotypes, study_haplotypes, sites, settings, [&](int row) { return &reference[site(row) * H]; },
      [&](size_t j, int row) { return study[j * typed + site(row)]; });
}

std::vector<int> spread_neighbours(const std::vector<RunNeighbours>& lists, size_t individual, int conditioning) {
  std::vector<int> chosen;
  for (size_t own = 0; own < 2; ++own) {
    const size_t wanted = chosen.size() + static_cast<size_t>(conditioning / 2 + (own == 1 ? conditioning % 2 : 0));
    for (int rank = 0; rank < lists[0].per_checkpoint && chosen.size() < wanted; ++rank)
      for (size_t c = 0; c < lists[0].checkpoints.size() && chosen.size() < wanted; ++c)
        for (const RunNeighbours& neighbours : lists) {
          const int h = neighbours.of(2 * individual + own, c)[rank].haplotype;
          if (chosen.size() < wanted && h >= 0 && std::find(chosen.begin(), chosen.end(), h) == chosen.end())
            chosen.push_back(h);
        }
  }
  return chosen;
}

// The part of a row that stays is counted over up to this many words of
// typed markers (family_weights): over two, paths that trade the ends of two
// haplotypes score alike; four did best on simulated panels.
constexpr int kStayingSpanWords = 4;

}  // namespace

void HmmEngine::phase() {
  Work& w = *work_;
  const int T = w.typed, H = w.haplotypes, N = w.individuals;
  const size_t TT = static_cast<size_t>(T);
  const std::vector<int>& typed = input_.typed_markers;
  const std::vector<double>& cm = settings_.centimorgans;
  if (w.typed_first != 0 || w.typed_alleles.size() != TT * static_cast<size_t>(H))
    throw std::logic_error("phasing needs the panel at every typed marker, not a window of it");
  w.phased.assign(2 * static_cast<size_t>(N) * TT, 0);
  if (T == 0 || N == 0) {
    w.phased_done = true;
    return;
  }
  ConditioningCandidates candidates(w.typed_alleles, H, w.genotypes, N, T);
  const int K = std::max(2, settings_.conditioning);
  // Large panels: after the first pass, the candidates are the reference
  // haplotypes found by the transform rather than the whole panel.
  const bool large_panel = settings_.selection.states > 0 && settings_.selection.states < H;
  const std::vector<PhasingWindow> windows = phasing_windows(T, settings_.window_words, settings_.step_words);
  const ReferenceCopies copies =
      large_panel ? reference_copies(candidates, kStayingSpanWords) : ReferenceCopies();
  std::vector<std::int8_t> previous;
  for (int pass = 0; pass < std::max(1, settings_.phasing_passes); ++pass) {
    const bool with_study = pass > 0;
    if (with_study) {
      previous = w.phased;
      candidates.set_study_haplotypes(previous);
    }
    for (size_t window_index = 0; window_index < windows.size(); ++window_index) {
      const PhasingWindow& window = windows[window_index];
      const int first = window.first, end = window.end, sites = end - first;
      const int previous_end = window_index == 0 ? 0 : windows[window_index - 1].end;
      std::vector<RunNeighbours> lists;
      if (with_study && large_panel)
        for (const bool backwards : {false, true})
          lists.push_back(window_neighbours(sites, K, H, 2 * N, w.typed_alleles, first, previous, TT, backwards));
      parallel_for(N, settings_.threads, [&](int i, int) {
        const size_t I = static_cast<size_t>(i);
        std::int8_t* out1 = &w.phased[2 * I * TT];
        std::int8_t* out2 = out1 + TT;
        const std::int8_t* genotype = &w.genotypes[I * TT];
        // Conditioning haplotypes: reference index h < H, study haplotype j as H + j.
        std::vector<int> chosen;
        if (!with_study)
          chosen = candidates.closest_to_genotypes(i, window.w0, window.w1, K);
        else if (large_panel)
          chosen = spread_neighbours(lists, I, K);
        else
          chosen = candidates.closest_to_haplotypes(i, window.w0, window.w1, K);
        const int states = static_cast<int>(chosen.size());
        std::vector<std::int8_t> rows(static_cast<size_t>(states) * static_cast<size_t>(sites));
        for (size_t k = 0; k < chosen.size(); ++k)
          for (int m = first; m < end; ++m)
            rows[k * static_cast<size_t>(sites) + static_cast<size_t>(m - first)] =
                chosen[k] < H ? candidates.reference_allele(chosen[k], m)
                              : previous[static_cast<size_t>(chosen[k] - H) * TT + static_cast<size_t>(m)];
        std::vector<double> switches(static_cast<size_t>(sites), 0.0);
        for (int m = first + 1; m < end; ++m)
          switches[static_cast<size_t>(m - first)] =
              switch_probability(cm[static_cast<size_t>(typed[static_cast<size_t>(m)])] -
                                     cm[static_cast<size_t>(typed[static_cast<size_t>(m - 1)])],
                                 settings_.phasing_ne, states);
        const bool weighted = large_panel && std::all_of(chosen.begin(), chosen.end(), [&](int h) { return h < H; });
        const SwitchWeights moves =
            weighted ? family_weights(chosen, candidates, copies, first, end) : SwitchWeights();
        const PairPath path =
            diploid_viterbi(rows.data(), states, sites, genotype + first, switches.data(), settings_.phasing_error,
                            weighted ? moves.shares.data() : nullptr, weighted ? moves.staying.data() : nullptr);
        std::vector<std::int8_t> h1(static_cast<size_t>(sites)), h2(h1);
        for (int s = 0; s < sites; ++s) {
          const size_t S = static_cast<size_t>(s);
          int a1 = rows[static_cast<size_t>(path.first[S]) * static_cast<size_t>(sites) + S];
          int a2 = rows[static_cast<size_t>(path.second[S]) * static_cast<size_t>(sites) + S];
          a1 = std::max(a1, 0), a2 = std::max(a2, 0);
          const int g = genotype[first + s];
          if (g == 0 || g == 2) a1 = a2 = g / 2;
          if (g == 1 && a1 == a2) a2 = 1 - a1;
          h1[S] = static_cast<std::int8_t>(a1), h2[S] = static_cast<std::int8_t>(a2);
        }
        // Join to the previous window: orient by the heterozygous sites of the
        // overlap, take over from its middle.
        int from = first;
        if (first > 0) {
          int agree = 0, disagree = 0;
          for (int m = first; m < previous_end; ++m)
            if (genotype[m] == 1) (h1[static_cast<size_t>(m - first)] == out1[m] ? agree : disagree)++;
          if (disagree > agree) std::swap(h1, h2);
          from = first + (previous_end - first) / 2;
        }
        for (int m = from; m < end; ++m)
          out1[m] = h1[static_cast<size_t>(m - first)], out2[m] = h2[static_cast<size_t>(m - first)];
      });
    }
  }
  w.phased_done = true;
}

}  // namespace snp

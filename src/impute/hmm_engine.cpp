#include "impute/hmm_engine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace snp {
namespace {

// Runs job(k, worker) for k in [0, count) on `workers` threads (worker is
// the thread's number, for its scratch space). Jobs write only their own
// results, so the order they run in does not matter.
template <typename Job>
void parallel_for(int count, int workers, const Job& job) {
  const int used = std::max(1, std::min(workers, count));
  if (used == 1) {
    for (int k = 0; k < count; ++k) job(k, 0);
    return;
  }
  std::atomic<int> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  auto worker = [&](int number) {
    try {
      for (int k = next++; k < count; k = next++) job(k, number);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failure_lock);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  std::vector<std::thread> pool;
  for (int k = 1; k < used; ++k) pool.emplace_back(worker, k);
  worker(0);
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

using Bits = std::vector<std::uint64_t>;

int popcount_range(const std::uint64_t* a, const std::uint64_t* b, int w0, int w1, bool exclusive_or,
                   const std::uint64_t* mask) {
  int count = 0;
  for (int w = w0; w < w1; ++w) {
    const std::uint64_t x = exclusive_or ? (a[w] ^ b[w]) : (a[w] & b[w]);
    count += std::popcount(x & mask[w]);
  }
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

double switch_probability(double cm, double ne, int states) {
  return -std::expm1(-0.04 * ne * std::max(cm, 0.0) / std::max(states, 1));
}

void haploid_forward_backward(const float* const* emissions, const float* switches, int haplotypes, int sites,
                              float* forward, float* backward, float* scratch) {
  const size_t H = static_cast<size_t>(haplotypes), L = static_cast<size_t>(sites);
  if (L == 0) return;
  const float uniform = 1.0f / static_cast<float>(H);
  for (size_t row = 0; row < L; ++row) {
    const float* e = emissions[row];
    float* f = forward + row * H;
    if (row == 0) {
      for (size_t h = 0; h < H; ++h) f[h] = uniform * e[h];
    } else {
      const float* before = f - H;
      const float stay = 1 - switches[row], jump = switches[row] * uniform;
      for (size_t h = 0; h < H; ++h) f[h] = (stay * before[h] + jump) * e[h];
    }
    float sum = 0;
    for (size_t h = 0; h < H; ++h) sum += f[h];
    const float inverse = 1 / sum;
    for (size_t h = 0; h < H; ++h) f[h] *= inverse;
  }
  std::fill(backward + (L - 1) * H, backward + L * H, 1.0f);
  for (size_t row = L - 1; row-- > 0;) {
    const float* e = emissions[row + 1];
    const float* after = backward + (row + 1) * H;
    float* b = backward + row * H;
    float total = 0;
    for (size_t h = 0; h < H; ++h) total += scratch[h] = e[h] * after[h];
    const float stay = 1 - switches[row + 1], jump = switches[row + 1] * uniform * total;
    float sum = 0;
    for (size_t h = 0; h < H; ++h) sum += b[h] = stay * scratch[h] + jump;
    const float inverse = 1 / sum;
    for (size_t h = 0; h < H; ++h) b[h] *= inverse;
  }
}

std::vector<double> haploid_posteriors(const std::int8_t* alleles, int haplotypes, int sites,
                                       const std::int8_t* observed, const double* switches, double error) {
  const size_t H = static_cast<size_t>(haplotypes), L = static_cast<size_t>(sites);
  std::vector<float> table(L * H), forward(L * H), backward(L * H), scratch(H), rates(L);
  std::vector<const float*> rows(L);
  for (size_t m = 0; m < L; ++m) {
    for (size_t h = 0; h < H; ++h) {
      const std::int8_t a = alleles[m * H + h];
      table[m * H + h] = a < 0 || observed[m] < 0 ? 1.0f : static_cast<float>(a == observed[m] ? 1 - error : error);
    }
    rows[m] = &table[m * H];
    rates[m] = static_cast<float>(switches[m]);
  }
  haploid_forward_backward(rows.data(), rates.data(), haplotypes, sites, forward.data(), backward.data(),
                           scratch.data());
  std::vector<double> posterior(L * H);
  for (size_t m = 0; m < L; ++m) {
    double sum = 0;
    for (size_t h = 0; h < H; ++h) sum += posterior[m * H + h] = double{forward[m * H + h]} * backward[m * H + h];
    for (size_t h = 0; h < H; ++h) posterior[m * H + h] /= sum;
  }
  return posterior;
}

PairPath diploid_viterbi(const std::int8_t* alleles, int states, int sites, const std::int8_t* genotypes,
                         const double* switches, double error) {
  const size_t K = static_cast<size_t>(states), S = K * K, L = static_cast<size_t>(sites);
  // Scores of every site (scaled so that the best at the previous site is 1)
  // with the best per row, per column and overall; the path is traced back
  // by working out again which predecessor gave each chosen score.
  std::vector<float> score(S * L), row_max(K * L), column_max(K * L), best(L);
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
  auto summarise = [&](size_t m) {
    const float* cells = &score[m * S];
    float* rows = &row_max[m * K];
    float* columns = &column_max[m * K];
    std::copy(cells, cells + K, columns);
    for (size_t k1 = 0; k1 < K; ++k1) {
      const float* cell = cells + k1 * K;
      float largest = cell[0];
      for (size_t k2 = 0; k2 < K; ++k2) {
        largest = std::max(largest, cell[k2]);
        columns[k2] = std::max(columns[k2], cell[k2]);
      }
      rows[k1] = largest;
    }
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
  load_emissions(0);
  for (size_t k1 = 0; k1 < K; ++k1)
    for (size_t k2 = 0; k2 < K; ++k2) score[k1 * K + k2] = emission[kind[k1] * K + k2];
  summarise(0);
  for (size_t m = 1; m < L; ++m) {
    const Weights w = weights(m);
    load_emissions(m);
    const float* previous_columns = &column_max[(m - 1) * K];
    for (size_t k1 = 0; k1 < K; ++k1) {
      const float* before = &score[(m - 1) * S + k1 * K];
      float* cell = &score[m * S + k1 * K];
      const float* e = &emission[kind[k1] * K];
      const float from_row = std::max(row_max[(m - 1) * K + k1] * w.stay_jump, w.jump_jump);
      for (size_t k2 = 0; k2 < K; ++k2)
        cell[k2] = std::max(std::max(before[k2] * w.stay_stay, from_row), previous_columns[k2] * w.stay_jump) * e[k2];
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
    const Weights w = weights(m);
    const float* before = &score[(m - 1) * S];
    const float stay = before[state] * w.stay_stay;
    const float second = row_max[(m - 1) * K + k1] * w.stay_jump;
    const float first = column_max[(m - 1) * K + k2] * w.stay_jump;
    if (stay >= second && stay >= first && stay >= w.jump_jump) {
    } else if (second >= first && second >= w.jump_jump) {
      k2 = static_cast<size_t>(std::max_element(before + k1 * K, before + k1 * K + K) - (before + k1 * K));
    } else if (first >= w.jump_jump) {
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

struct HmmEngine::Work {
  int haplotypes = 0;   // reference
  int individuals = 0;  // study
  int typed = 0;
  std::vector<std::int8_t> typed_alleles;  // typed marker by reference haplotype
  std::vector<std::int8_t> genotypes;      // individual by typed marker
  std::vector<std::int8_t> phased;         // study haplotype by typed marker
  bool phased_done = false;
  // Allele-1 probabilities of the block being imputed: reference marker by
  // study haplotype.
  int block = -1;
  int block_first = 0;
  int block_end = 0;
  std::vector<float> allele_one;
  std::vector<float> unknown_fill;  // per reference marker: the panel's allele-1 frequency
  // Per reference marker: the haplotypes carrying its less frequent allele
  // (minor_one: whether that is allele 1), then those with an unknown one,
  // as ranges of `carriers`.
  std::vector<int> carriers;
  std::vector<size_t> minor_start, unknown_start;
  std::vector<std::uint8_t> minor_one;
};

HmmEngine::HmmEngine(const EngineInput& input, HmmSettings settings)
    : input_(input), settings_(std::move(settings)), work_(std::make_unique<Work>()) {
  Work& w = *work_;
  const ReferencePanel& panel = input_.panel;
  w.haplotypes = panel.haplotype_count;
  w.individuals = input_.study.individuals;
  w.typed = static_cast<int>(input_.typed_markers.size());
  const size_t H = static_cast<size_t>(w.haplotypes), T = static_cast<size_t>(w.typed);
  w.typed_alleles.resize(T * H);
  for (size_t m = 0; m < T; ++m) {
    const std::int8_t* column = panel.haplotypes.column(input_.typed_markers[m]);
    std::copy(column, column + H, &w.typed_alleles[m * H]);
  }
  w.genotypes.resize(static_cast<size_t>(w.individuals) * T);
  for (size_t m = 0; m < T; ++m) {
    const std::int8_t* column = input_.study.codes.column(input_.typed_markers[m]);
    for (size_t i = 0; i < static_cast<size_t>(w.individuals); ++i) {
      const std::int8_t g = column[i];
      w.genotypes[i * T + m] = g >= 0 && g <= 2 ? g : std::int8_t{-1};
    }
  }
  w.unknown_fill.resize(static_cast<size_t>(panel.marker_count));
  w.minor_one.resize(static_cast<size_t>(panel.marker_count));
  for (int t = 0; t < panel.marker_count; ++t) {
    const std::int8_t* column = panel.haplotypes.column(t);
    int known = 0, ones = 0;
    for (size_t h = 0; h < H; ++h) known += column[h] >= 0, ones += column[h] == 1;
    w.unknown_fill[static_cast<size_t>(t)] = known > 0 ? static_cast<float>(ones) / static_cast<float>(known) : 0.0f;
    const std::int8_t minor = 2 * ones <= known ? 1 : 0;
    w.minor_one[static_cast<size_t>(t)] = static_cast<std::uint8_t>(minor);
    w.minor_start.push_back(w.carriers.size());
    for (size_t h = 0; h < H; ++h)
      if (column[h] == minor) w.carriers.push_back(static_cast<int>(h));
    w.unknown_start.push_back(w.carriers.size());
    for (size_t h = 0; h < H; ++h)
      if (column[h] < 0) w.carriers.push_back(static_cast<int>(h));
  }
  w.minor_start.push_back(w.carriers.size());
  calls_.resize(static_cast<size_t>(w.individuals));
}

HmmEngine::~HmmEngine() = default;

const std::vector<std::int8_t>& HmmEngine::phased_haplotypes() {
  if (!work_->phased_done) phase();
  return work_->phased;
}

void HmmEngine::use_phased(std::vector<std::int8_t> haplotypes) {
  work_->phased = std::move(haplotypes);
  work_->phased_done = true;
}

void HmmEngine::phase() {
  Work& w = *work_;
  const int T = w.typed, H = w.haplotypes, N = w.individuals;
  const size_t TT = static_cast<size_t>(T);
  const int words = (T + 63) / 64;
  const std::vector<int>& typed = input_.typed_markers;
  const std::vector<double>& cm = settings_.centimorgans;
  w.phased.assign(2 * static_cast<size_t>(N) * TT, 0);
  if (T == 0 || N == 0) {
    w.phased_done = true;
    return;
  }
  // Bits of the reference haplotypes (ones and known alleles) and of the
  // genotypes (homozygous 0, homozygous 2, present).
  auto word_bit = [](int m) {
    return std::pair<size_t, std::uint64_t>(static_cast<size_t>(m / 64), std::uint64_t{1} << (m % 64));
  };
  std::vector<Bits> ref_ones(static_cast<size_t>(H), Bits(static_cast<size_t>(words))), ref_known(ref_ones);
  for (int m = 0; m < T; ++m)
    for (int h = 0; h < H; ++h) {
      const auto [word, bit] = word_bit(m);
      const std::int8_t a = w.typed_alleles[static_cast<size_t>(m) * static_cast<size_t>(H) + static_cast<size_t>(h)];
      if (a >= 0) ref_known[static_cast<size_t>(h)][word] |= bit;
      if (a == 1) ref_ones[static_cast<size_t>(h)][word] |= bit;
    }
  std::vector<Bits> hom0(static_cast<size_t>(N), Bits(static_cast<size_t>(words))), hom2(hom0);
  for (int i = 0; i < N; ++i)
    for (int m = 0; m < T; ++m) {
      const auto [word, bit] = word_bit(m);
      const std::int8_t g = w.genotypes[static_cast<size_t>(i) * TT + static_cast<size_t>(m)];
      if (g == 0) hom0[static_cast<size_t>(i)][word] |= bit;
      if (g == 2) hom2[static_cast<size_t>(i)][word] |= bit;
    }
  const Bits all_known(static_cast<size_t>(words), ~std::uint64_t{0});

  const int K = std::max(2, settings_.conditioning);
  std::vector<std::int8_t> previous;
  std::vector<Bits> study_ones;
  for (int pass = 0; pass < std::max(1, settings_.phasing_passes); ++pass) {
    const bool with_study = pass > 0;
    if (with_study) {
      previous = w.phased;
      study_ones.assign(2 * static_cast<size_t>(N), Bits(static_cast<size_t>(words)));
      for (size_t j = 0; j < 2 * static_cast<size_t>(N); ++j)
        for (int m = 0; m < T; ++m)
          if (previous[j * TT + static_cast<size_t>(m)] == 1) {
            const auto [word, bit] = word_bit(m);
            study_ones[j][word] |= bit;
          }
    }
    parallel_for(N, settings_.threads, [&](int i, int) {
      const size_t I = static_cast<size_t>(i);
      std::int8_t* out1 = &w.phased[2 * I * TT];
      std::int8_t* out2 = out1 + TT;
      const std::int8_t* genotype = &w.genotypes[I * TT];
      int previous_end = 0;
      for (int w0 = 0;; w0 += std::max(1, settings_.step_words)) {
        const int w1 = std::min(words, w0 + std::max(1, settings_.window_words));
        const int first = w0 * 64, end = std::min(T, w1 * 64), sites = end - first;
        // Conditioning haplotypes: reference index h < H, study haplotype j as H + j.
        std::vector<int> chosen;
        if (!with_study) {
          std::vector<std::pair<int, int>> scored;
          for (int h = 0; h < H; ++h) {
            const auto& ones = ref_ones[static_cast<size_t>(h)];
            const auto& known = ref_known[static_cast<size_t>(h)];
            const int bad = popcount_range(hom0[I].data(), ones.data(), w0, w1, false, all_known.data()) +
                            popcount_range(hom2[I].data(), known.data(), w0, w1, false, all_known.data()) -
                            popcount_range(hom2[I].data(), ones.data(), w0, w1, false, all_known.data());
            scored.emplace_back(bad, h);
          }
          take_best(scored, K, chosen);
        } else {
          for (int own = 0; own < 2; ++own) {
            const auto& mine = study_ones[2 * I + static_cast<size_t>(own)];
            std::vector<std::pair<int, int>> scored;
            for (int h = 0; h < H; ++h)
              scored.emplace_back(popcount_range(mine.data(), ref_ones[static_cast<size_t>(h)].data(), w0, w1, true,
                                                 ref_known[static_cast<size_t>(h)].data()),
                                  h);
            for (int j = 0; j < 2 * N; ++j)
              if (j / 2 != i)
                scored.emplace_back(popcount_range(mine.data(), study_ones[static_cast<size_t>(j)].data(), w0, w1, true,
                                                   all_known.data()),
                                    H + j);
            take_best(scored, K / 2 + (own == 1 ? K % 2 : 0), chosen);
          }
        }
        const int states = static_cast<int>(chosen.size());
        std::vector<std::int8_t> rows(static_cast<size_t>(states) * static_cast<size_t>(sites));
        for (size_t k = 0; k < chosen.size(); ++k)
          for (int m = first; m < end; ++m)
            rows[k * static_cast<size_t>(sites) + static_cast<size_t>(m - first)] =
                chosen[k] < H
                    ? w.typed_alleles[static_cast<size_t>(m) * static_cast<size_t>(H) + static_cast<size_t>(chosen[k])]
                    : previous[static_cast<size_t>(chosen[k] - H) * TT + static_cast<size_t>(m)];
        std::vector<double> switches(static_cast<size_t>(sites), 0.0);
        for (int m = first + 1; m < end; ++m)
          switches[static_cast<size_t>(m - first)] =
              switch_probability(cm[static_cast<size_t>(typed[static_cast<size_t>(m)])] -
                                     cm[static_cast<size_t>(typed[static_cast<size_t>(m - 1)])],
                                 settings_.phasing_ne, states);
        const PairPath path =
            diploid_viterbi(rows.data(), states, sites, genotype + first, switches.data(), settings_.phasing_error);
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
        previous_end = end;
        if (end >= T) break;
      }
    });
  }
  w.phased_done = true;
}

void HmmEngine::impute_block(int block) {
  Work& w = *work_;
  const int T = w.typed, H = w.haplotypes, N = w.individuals, M = input_.panel.marker_count;
  const size_t TT = static_cast<size_t>(T), HH = static_cast<size_t>(H), J = 2 * static_cast<size_t>(N);
  const std::vector<int>& typed = input_.typed_markers;
  const std::vector<double>& cm = settings_.centimorgans;
  const int B = std::max(1, settings_.block_markers);
  const int blocks = std::max(1, (T + B - 1) / B);
  w.block = block;
  w.block_first = block == 0 ? 0 : typed[static_cast<size_t>(block * B)];
  w.block_end = block + 1 >= blocks ? M : typed[static_cast<size_t>((block + 1) * B)];
  const int run_first = std::max(0, block * B - settings_.block_overlap);
  const int run_end = std::min(T, (block + 1) * B + settings_.block_overlap);
  const size_t L = static_cast<size_t>(std::max(0, run_end - run_first));
  const size_t width = static_cast<size_t>(w.block_end - w.block_first);
  w.allele_one.assign(width * J, 0.0f);
  if (J == 0 || L == 0) return;
  const double ne = settings_.imputation_ne;
  auto typed_cm = [&](int m) { return cm[static_cast<size_t>(typed[static_cast<size_t>(m)])]; };
  std::vector<float> switches(L, 0.0f);
  for (size_t row = 1; row < L; ++row) {
    const int m = run_first + static_cast<int>(row);
    switches[row] = static_cast<float>(switch_probability(typed_cm(m) - typed_cm(m - 1), ne, H));
  }
  // Per reference marker of the block: the typed markers (rows of the run)
  // before and after it, -1 where there is none (the same row twice for a
  // typed marker), and the switch probabilities from and to them.
  using Flank = MarkerFlank;
  std::vector<Flank> flanks(width);
  {
    int right = static_cast<int>(std::lower_bound(typed.begin(), typed.end(), w.block_first) - typed.begin());
    for (int t = w.block_first; t < w.block_end; ++t) {
      while (right < T && typed[static_cast<size_t>(right)] < t) ++right;
      const bool on_typed = right < T && typed[static_cast<size_t>(right)] == t;
      const int left = on_typed ? right : right - 1;
      Flank& flank = flanks[static_cast<size_t>(t - w.block_first)];
      flank.left = left >= run_first ? left - run_first : -1;
      flank.right = right < run_end ? right - run_first : -1;
      const double here = cm[static_cast<size_t>(t)];
      flank.from_left = flank.left < 0 ? 1.0 : switch_probability(here - typed_cm(left), ne, H);
      flank.to_right = flank.right < 0 ? 1.0 : switch_probability(typed_cm(right) - here, ne, H);
    }
  }
  if (settings_.selection.states > 0 && settings_.selection.states < H) {
    impute_block_with_composites(L, run_first, flanks, switches);
    return;
  }
  // Emissions of every typed row of the run for an observed 0 and 1 (an
  // unknown panel allele is no evidence), and for a missing observation.
  const float match = static_cast<float>(1 - settings_.imputation_error);
  const float mismatch = static_cast<float>(settings_.imputation_error);
  const float uniform = 1.0f / static_cast<float>(H);
  std::vector<float> emission_table(2 * L * HH);
  for (size_t row = 0; row < L; ++row) {
    const std::int8_t* a = &w.typed_alleles[(static_cast<size_t>(run_first) + row) * HH];
    for (size_t o = 0; o < 2; ++o)
      for (size_t h = 0; h < HH; ++h)
        emission_table[(2 * row + o) * HH + h] = a[h] < 0 ? 1.0f : static_cast<size_t>(a[h]) == o ? match : mismatch;
  }
  const std::vector<float> no_evidence(HH, 1.0f);
  struct Scratch {
    std::vector<float> forward, backward, ac, c;
    std::vector<const float*> rows;
  };
  std::vector<Scratch> scratch(static_cast<size_t>(std::max(1, settings_.threads)));
  parallel_for(static_cast<int>(J), settings_.threads, [&](int job, int worker) {
    const size_t j = static_cast<size_t>(job);
    const std::int8_t* hap = &w.phased[j * TT];
    const std::int8_t* genotype = &w.genotypes[(j / 2) * TT];
    Scratch& space = scratch[static_cast<size_t>(worker)];
    space.forward.resize(L * HH), space.backward.resize(L * HH);
    space.ac.resize(HH), space.c.resize(HH);
    float* forward = space.forward.data();
    float* backward = space.backward.data();
    float* ac = space.ac.data();
    float* c = space.c.data();
    // Emissions at each row of the run; a missing genotype is no evidence.
    std::vector<const float*>& rows = space.rows;
    rows.resize(L);
    for (size_t row = 0; row < L; ++row) {
      const size_t m = static_cast<size_t>(run_first) + row;
      rows[row] = genotype[m] < 0 ? no_evidence.data() : &emission_table[(2 * row + static_cast<size_t>(hap[m])) * HH];
    }
    haploid_forward_backward(rows.data(), switches.data(), H, static_cast<int>(L), forward, backward, c);
    // The posterior of copying haplotype h at marker t between typed rows l
    // and r is ((1-r1) a(h) + r1 A/H) ((1-r2) c(h) + r2 C/H): a the forward
    // probabilities at l (sum A), c the emissions times the backward
    // probabilities at r (sum C), r1 and r2 the switch probabilities from l
    // and to r. Its allele-1 share needs the sums of a c, a and c over the
    // haplotypes carrying allele 1, taken over the less frequent allele's
    // carriers.
    int prepared_left = -2, prepared_right = -2;
    double sum_a = 1, sum_c = 1, sum_ac = 0;
    for (int t = w.block_first; t < w.block_end; ++t) {
      const size_t T0 = static_cast<size_t>(t);
      const Flank& flank = flanks[T0 - static_cast<size_t>(w.block_first)];
      const float* a_row = flank.left >= 0 ? forward + static_cast<size_t>(flank.left) * HH : nullptr;
      if (flank.left != prepared_left || flank.right != prepared_right) {
        prepared_left = flank.left, prepared_right = flank.right;
        sum_a = 1, sum_c = 1, sum_ac = 0;
        if (flank.left >= 0 && flank.left == flank.right) {
          // A typed marker: forward times backward there.
          const float* b_row = backward + static_cast<size_t>(flank.left) * HH;
          for (size_t h = 0; h < HH; ++h) c[h] = b_row[h];
        } else if (flank.right >= 0) {
          const float* e = rows[static_cast<size_t>(flank.right)];
          const float* b_row = backward + static_cast<size_t>(flank.right) * HH;
          for (size_t h = 0; h < HH; ++h) c[h] = e[h] * b_row[h];
        } else {
          std::fill(c, c + HH, 1.0f);
        }
        if (a_row == nullptr)
          std::fill(ac, ac + HH, 0.0f);
        else
          for (size_t h = 0; h < HH; ++h) ac[h] = a_row[h] * c[h];
        double total_a = 0, total_c = 0, total_ac = 0;
        for (size_t h = 0; h < HH; ++h) total_a += a_row ? a_row[h] : 0.0f, total_c += c[h], total_ac += ac[h];
        sum_a = a_row ? total_a : 1.0, sum_c = total_c, sum_ac = total_ac;
      }
      const double fill = w.unknown_fill[T0];
      const int* minor = &w.carriers[w.minor_start[T0]];
      const int* unknown = &w.carriers[w.unknown_start[T0]];
      const int* unknown_end = &w.carriers[0] + w.minor_start[T0 + 1];
      double minor_a = 0, minor_c = 0, minor_ac = 0, unknown_a = 0, unknown_c = 0, unknown_ac = 0;
      for (const int* k = minor; k < unknown; ++k) {
        const size_t h = static_cast<size_t>(*k);
        minor_a += a_row ? a_row[h] : 0.0f, minor_c += c[h], minor_ac += ac[h];
      }
      for (const int* k = unknown; k < unknown_end; ++k) {
        const size_t h = static_cast<size_t>(*k);
        unknown_a += a_row ? a_row[h] : 0.0f, unknown_c += c[h], unknown_ac += ac[h];
      }
      const bool minor_one = w.minor_one[T0] != 0;
      auto ones = [&](double minor_sum, double unknown_sum, double all) {
        return (minor_one ? minor_sum : all - minor_sum - unknown_sum) + fill * unknown_sum;
      };
      const double count_minor = static_cast<double>(unknown - minor);
      const double count_unknown = static_cast<double>(unknown_end - unknown);
      const double s_a = ones(minor_a, unknown_a, sum_a), s_c = ones(minor_c, unknown_c, sum_c);
      const double s_ac = ones(minor_ac, unknown_ac, sum_ac);
      const double s_1 = ones(count_minor, count_unknown, static_cast<double>(H));
      double p = fill;
      if (flank.left >= 0 && flank.left == flank.right) {
        if (sum_ac > 0) p = s_ac / sum_ac;
      } else {
        const double r1 = flank.from_left, r2 = flank.to_right, A = sum_a, C = sum_c, u = uniform;
        const double num = (1 - r1) * (1 - r2) * s_ac + (1 - r1) * r2 * C * u * s_a + r1 * (1 - r2) * A * u * s_c +
                           r1 * r2 * A * C * u * u * s_1;
        const double den =
            (1 - r1) * (1 - r2) * sum_ac + (1 - r1) * r2 * C * u * A + r1 * (1 - r2) * A * u * C + r1 * r2 * A * C * u;
        if (den > 0) p = num / den;
      }
      w.allele_one[(T0 - static_cast<size_t>(w.block_first)) * J + j] = static_cast<float>(std::clamp(p, 0.0, 1.0));
    }
  });
}

void HmmEngine::impute_block_with_composites(size_t rows, int run_first, const std::vector<MarkerFlank>& flanks,
                                             const std::vector<float>& switches) {
  Work& w = *work_;
  const size_t TT = static_cast<size_t>(w.typed), HH = static_cast<size_t>(w.haplotypes);
  const size_t J = 2 * static_cast<size_t>(w.individuals);
  const StateSelectionSettings& selection = settings_.selection;
  const std::int8_t* run_alleles = &w.typed_alleles[static_cast<size_t>(run_first) * HH];
  const RunNeighbours neighbours = find_neighbours(
      w.haplotypes, static_cast<int>(J), static_cast<int>(rows), selection,
      [&](int row) { return run_alleles + static_cast<size_t>(row) * HH; },
      [&](size_t j, int row) { return w.phased[j * TT + static_cast<size_t>(run_first + row)]; });
  const CompositeImputation run{input_.panel, run_alleles, w.unknown_fill,           flanks,
                                switches,     w.block_first, w.block_end, settings_.imputation_error};
  std::vector<CompositeScratch> scratch(static_cast<size_t>(std::max(1, settings_.threads)));
  parallel_for(static_cast<int>(J), settings_.threads, [&](int job, int worker) {
    const size_t j = static_cast<size_t>(job);
    int composites = 0;
    const std::vector<int> composite = composite_states(neighbours, j, static_cast<int>(rows), selection.states, composites);
    // The haplotype's alleles at the typed rows; a missing genotype is no evidence.
    std::vector<std::int8_t> observed(rows);
    for (size_t row = 0; row < rows; ++row) {
      const size_t m = static_cast<size_t>(run_first) + row;
      observed[row] = w.genotypes[(j / 2) * TT + m] < 0 ? std::int8_t{-1} : w.phased[j * TT + m];
    }
    impute_with_composites(run, composite, composites, observed.data(), scratch[static_cast<size_t>(worker)],
                           &w.allele_one[j], J);
  });
}

const std::vector<GenotypeCall>& HmmEngine::impute(int t, std::ostream&) {
  constexpr double kGrid = 1e4;
  Work& w = *work_;
  if (calls_.empty()) return calls_;
  if (!w.phased_done) phase();
  if (w.block < 0 || t < w.block_first || t >= w.block_end) {
    const int B = std::max(1, settings_.block_markers);
    const int right = static_cast<int>(std::upper_bound(input_.typed_markers.begin(), input_.typed_markers.end(), t) -
                                       input_.typed_markers.begin());
    impute_block(std::max(0, right - 1) / B);
  }
  const size_t J = 2 * static_cast<size_t>(w.individuals);
  const float* p = &w.allele_one[static_cast<size_t>(t - w.block_first) * J];
  const std::int8_t* observed = input_.study.codes.column(t);
  for (size_t i = 0; i < calls_.size(); ++i) {
    GenotypeCall& call = calls_[i];
    const double p1 = p[2 * i], p2 = p[2 * i + 1];
    call.estimated = true;
    // Four decimals, as the probability file shows them: finer digits carry
    // no information and only lengthen the VCF.
    const double none = std::round((1 - p1) * (1 - p2) * kGrid) / kGrid, two = std::round(p1 * p2 * kGrid) / kGrid;
    call.probabilities = {none, std::max(0.0, std::round((1 - none - two) * kGrid) / kGrid), two};
    const int g = observed[i];
    if (g >= 0 && g <= 2) {
      call.probabilities = {0.0, 0.0, 0.0};
      call.probabilities[static_cast<size_t>(g)] = 1.0;
    }
    int best = 0;
    for (int k = 1; k < 3; ++k)
      if (call.probabilities[static_cast<size_t>(k)] > call.probabilities[static_cast<size_t>(best)]) best = k;
    call.output = output_code(g, best, call.probabilities[static_cast<size_t>(best)], input_.threshold);
  }
  return calls_;
}

}  // namespace snp

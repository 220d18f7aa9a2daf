#include "impute/hmm_engine.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <exception>
#include <mutex>
#include <numeric>
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

std::vector<double> haploid_posteriors(const std::int8_t* alleles, int haplotypes, int sites, const std::int8_t* observed,
                                       const double* switches, double error) {
  const size_t H = static_cast<size_t>(haplotypes);
  std::vector<double> forward(H * static_cast<size_t>(sites)), backward(forward.size());
  auto emission = [&](int m, size_t h) {
    const std::int8_t a = alleles[static_cast<size_t>(m) * H + h], o = observed[m];
    return a < 0 || o < 0 ? 1.0 : a == o ? 1.0 - error : error;
  };
  for (int m = 0; m < sites; ++m) {
    double* f = &forward[static_cast<size_t>(m) * H];
    double sum = 0;
    for (size_t h = 0; h < H; ++h) {
      const double prior = m == 0 ? 1.0 / static_cast<double>(H)
                                  : (1 - switches[m]) * f[h - H] + switches[m] / static_cast<double>(H);
      f[h] = prior * emission(m, h);
      sum += f[h];
    }
    for (size_t h = 0; h < H; ++h) f[h] /= sum;
  }
  for (int m = sites - 1; m >= 0; --m) {
    double* b = &backward[static_cast<size_t>(m) * H];
    if (m == sites - 1) {
      std::fill(b, b + H, 1.0);
      continue;
    }
    double total = 0;
    for (size_t h = 0; h < H; ++h) total += emission(m + 1, h) * b[h + H];
    double sum = 0;
    for (size_t h = 0; h < H; ++h) {
      b[h] = (1 - switches[m + 1]) * emission(m + 1, h) * b[h + H] + switches[m + 1] * total / static_cast<double>(H);
      sum += b[h];
    }
    for (size_t h = 0; h < H; ++h) b[h] /= sum;
  }
  for (int m = 0; m < sites; ++m) {
    double* f = &forward[static_cast<size_t>(m) * H];
    const double* b = &backward[static_cast<size_t>(m) * H];
    double sum = 0;
    for (size_t h = 0; h < H; ++h) sum += f[h] *= b[h];
    for (size_t h = 0; h < H; ++h) f[h] /= sum;
  }
  return forward;
}

PairPath diploid_viterbi(const std::int8_t* alleles, int states, int sites, const std::int8_t* genotypes,
                         const double* switches, double error) {
  const size_t K = static_cast<size_t>(states), S = K * K, L = static_cast<size_t>(sites);
  std::vector<float> score(S);
  std::vector<std::uint8_t> move(S * L);  // 0 both stay, 1 second switches, 2 first switches, 3 both
  std::vector<int> row_best(K * L), column_best(K * L), all_best(L);
  std::vector<float> row_max(K), column_max(K);
  std::vector<std::uint8_t> kind(K);  // allele class of each row at the site: 0, 1, 2 unknown
  // Emission by the classes of the two copied alleles, at genotype g.
  auto emission_table = [&](int g, float* table) {
    for (int a1 = 0; a1 < 3; ++a1)
      for (int a2 = 0; a2 < 3; ++a2) {
        const int miss = std::abs(a1 + a2 - g);
        table[a1 * 3 + a2] = g < 0 || a1 == 2 || a2 == 2 ? 1.0f
                             : miss == 0                 ? 1.0f
                             : miss == 1                 ? static_cast<float>(error)
                                                         : static_cast<float>(error * error);
      }
  };
  auto load_kinds = [&](size_t m) {
    for (size_t k = 0; k < K; ++k) {
      const std::int8_t a = alleles[k * L + m];
      kind[k] = static_cast<std::uint8_t>(a < 0 ? 2 : a);
    }
  };
  float table[9];
  // Scores at the previous site with their best predecessors by row, by
  // column and overall (tracked while the scores are made).
  float best = -1.0f;
  auto track = [&](size_t m) {
    std::fill(row_max.begin(), row_max.end(), -1.0f);
    std::fill(column_max.begin(), column_max.end(), -1.0f);
    best = -1.0f;
    for (size_t k1 = 0; k1 < K; ++k1)
      for (size_t k2 = 0; k2 < K; ++k2) {
        const float v = score[k1 * K + k2];
        if (v > row_max[k1]) row_max[k1] = v, row_best[m * K + k1] = static_cast<int>(k2);
        if (v > column_max[k2]) column_max[k2] = v, column_best[m * K + k2] = static_cast<int>(k1);
        if (v > best) best = v, all_best[m] = static_cast<int>(k1 * K + k2);
      }
  };
  emission_table(genotypes[0], table);
  load_kinds(0);
  for (size_t k1 = 0; k1 < K; ++k1)
    for (size_t k2 = 0; k2 < K; ++k2) score[k1 * K + k2] = table[kind[k1] * 3 + kind[k2]];
  track(0);
  for (size_t m = 1; m < L; ++m) {
    const double r = switches[m];
    const float scale = 1.0f / best;
    const float stay = static_cast<float>(1 - r + r / static_cast<double>(K));
    const float jump = static_cast<float>(r / static_cast<double>(K));
    const float stay_stay = stay * stay * scale, stay_jump = stay * jump * scale, jump_jump = jump * jump * best * scale;
    emission_table(genotypes[m], table);
    load_kinds(m);
    std::uint8_t* how_row = &move[m * S];
    for (size_t k1 = 0; k1 < K; ++k1) {
      const float* e = table + kind[k1] * 3;
      const float from_row = row_max[k1] * stay_jump;
      float* cell = &score[k1 * K];
      std::uint8_t* how = how_row + k1 * K;
      for (size_t k2 = 0; k2 < K; ++k2) {
        float value = cell[k2] * stay_stay;
        std::uint8_t way = 0;
        if (from_row > value) value = from_row, way = 1;
        const float from_column = column_max[k2] * stay_jump;
        if (from_column > value) value = from_column, way = 2;
        if (jump_jump > value) value = jump_jump, way = 3;
        how[k2] = way;
        cell[k2] = value * e[kind[k2]];
      }
    }
    track(m);
  }
  PairPath path;
  path.first.resize(L);
  path.second.resize(L);
  size_t state = static_cast<size_t>(std::max_element(score.begin(), score.end()) - score.begin());
  for (size_t m = L; m-- > 0;) {
    size_t k1 = state / K, k2 = state % K;
    path.first[m] = static_cast<int>(k1);
    path.second[m] = static_cast<int>(k2);
    if (m == 0) break;
    switch (move[m * S + state]) {
      case 1: k2 = static_cast<size_t>(row_best[(m - 1) * K + k1]); break;
      case 2: k1 = static_cast<size_t>(column_best[(m - 1) * K + k2]); break;
      case 3: k1 = static_cast<size_t>(all_best[m - 1]) / K, k2 = static_cast<size_t>(all_best[m - 1]) % K; break;
      default: break;
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
  auto word_bit = [](int m) { return std::pair<size_t, std::uint64_t>(static_cast<size_t>(m / 64), std::uint64_t{1} << (m % 64)); };
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
                chosen[k] < H ? w.typed_alleles[static_cast<size_t>(m) * static_cast<size_t>(H) + static_cast<size_t>(chosen[k])]
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
        for (int m = from; m < end; ++m) out1[m] = h1[static_cast<size_t>(m - first)], out2[m] = h2[static_cast<size_t>(m - first)];
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
  const int L = run_end - run_first;
  const size_t width = static_cast<size_t>(w.block_end - w.block_first);
  w.allele_one.assign(width * J, 0.0f);
  if (J == 0) return;
  std::vector<double> switches(static_cast<size_t>(std::max(L, 0)), 0.0);
  for (int m = run_first + 1; m < run_end; ++m)
    switches[static_cast<size_t>(m - run_first)] = switch_probability(
        cm[static_cast<size_t>(typed[static_cast<size_t>(m)])] - cm[static_cast<size_t>(typed[static_cast<size_t>(m - 1)])],
        settings_.imputation_ne, H);
  const double err = settings_.imputation_error, uniform = 1.0 / static_cast<double>(H);

  const size_t LL = static_cast<size_t>(std::max(L, 0));
  struct Scratch {
    std::vector<float> forward, backward;
    std::vector<double> e, f, c;
  };
  std::vector<Scratch> scratch(static_cast<size_t>(std::max(1, settings_.threads)));
  parallel_for(static_cast<int>(J), settings_.threads, [&](int job, int worker) {
    const size_t j = static_cast<size_t>(job);
    const std::int8_t* hap = &w.phased[j * TT];
    const std::int8_t* genotype = &w.genotypes[(j / 2) * TT];
    Scratch& space = scratch[static_cast<size_t>(worker)];
    space.forward.resize(LL * HH), space.backward.resize(LL * HH);
    space.e.resize(HH), space.f.resize(HH), space.c.resize(HH);
    std::vector<float>& forward = space.forward;
    std::vector<float>& backward = space.backward;
    std::vector<double>& e = space.e;
    std::vector<double>& f = space.f;
    std::vector<double>& c = space.c;
    auto emissions = [&](int m) {
      const std::int8_t o = genotype[m] < 0 ? std::int8_t{-1} : hap[m];
      const std::int8_t* a = &w.typed_alleles[static_cast<size_t>(m) * HH];
      for (size_t h = 0; h < HH; ++h) e[h] = a[h] < 0 || o < 0 ? 1.0 : a[h] == o ? 1.0 - err : err;
    };
    for (int m = run_first; m < run_end; ++m) {
      emissions(m);
      const size_t row = static_cast<size_t>(m - run_first);
      const double r = switches[row];
      double sum = 0;
      for (size_t h = 0; h < HH; ++h) {
        const double prior = row == 0 ? uniform : (1 - r) * forward[(row - 1) * HH + h] + r * uniform;
        f[h] = prior * e[h];
        sum += f[h];
      }
      const double inverse = 1.0 / sum;
      for (size_t h = 0; h < HH; ++h) forward[row * HH + h] = static_cast<float>(f[h] * inverse);
    }
    for (int m = run_end - 1; m >= run_first; --m) {
      const size_t row = static_cast<size_t>(m - run_first);
      if (m == run_end - 1) {
        std::fill(&backward[row * HH], &backward[row * HH] + HH, 1.0f);
        continue;
      }
      emissions(m + 1);
      double total = 0;
      for (size_t h = 0; h < HH; ++h) total += c[h] = e[h] * backward[(row + 1) * HH + h];
      const double r = switches[row + 1];
      double sum = 0;
      for (size_t h = 0; h < HH; ++h) sum += f[h] = (1 - r) * c[h] + r * total * uniform;
      const double inverse = 1.0 / sum;
      for (size_t h = 0; h < HH; ++h) backward[row * HH + h] = static_cast<float>(f[h] * inverse);
    }
    // Walk the reference markers of the block with the typed markers that
    // flank each one.
    int right = static_cast<int>(std::lower_bound(typed.begin(), typed.end(), w.block_first) - typed.begin());
    int prepared = -2;  // the interval whose products are in c and e
    double sum_c = 0, sum_fc = 0, sum_a = 0;
    for (int t = w.block_first; t < w.block_end; ++t) {
      while (right < T && typed[static_cast<size_t>(right)] < t) ++right;
      const size_t T0 = static_cast<size_t>(t);
      const double fill = w.unknown_fill[T0];
      const bool minor_one = w.minor_one[T0] != 0;
      const int* minor_first = &w.carriers[w.minor_start[T0]];
      const int* unknown_first = &w.carriers[w.unknown_start[T0]];
      const int* unknown_end = &w.carriers[0] + w.minor_start[T0 + 1];
      // Sum of x(h) v(h) over the haplotypes, with x(h) the allele 1 indicator
      // (the panel frequency where unknown), given the sum of v over all.
      auto allele_sum = [&](const auto& v, double all) {
        double minor = 0, unknown = 0;
        for (const int* h = minor_first; h < unknown_first; ++h) minor += v(static_cast<size_t>(*h));
        for (const int* h = unknown_first; h < unknown_end; ++h) unknown += v(static_cast<size_t>(*h));
        return (minor_one ? minor : all - minor - unknown) + fill * unknown;
      };
      double p = 0;
      const int left = right < T && typed[static_cast<size_t>(right)] == t ? right : right - 1;
      const bool has_left = left >= run_first, has_right = right < run_end;
      const float* a_row = has_left ? &forward[static_cast<size_t>(left - run_first) * HH] : nullptr;
      if (left == right) {
        const float* b_row = &backward[static_cast<size_t>(left - run_first) * HH];
        double den = 0;
        for (size_t h = 0; h < HH; ++h) den += static_cast<double>(a_row[h]) * b_row[h];
        p = allele_sum([&](size_t h) { return static_cast<double>(a_row[h]) * b_row[h]; }, den) / den;
      } else {
        if (has_right && prepared != right) {
          emissions(right);
          const float* b_row = &backward[static_cast<size_t>(right - run_first) * HH];
          sum_c = 0, sum_fc = 0, sum_a = 0;
          for (size_t h = 0; h < HH; ++h) {
            c[h] = e[h] * b_row[h];
            sum_c += c[h];
            if (has_left) sum_fc += (f[h] = static_cast<double>(a_row[h]) * c[h]), sum_a += a_row[h];
          }
          prepared = right;
        } else if (!has_right && prepared != -1) {
          sum_a = 0;
          for (size_t h = 0; h < HH; ++h) sum_a += a_row[h];
          prepared = -1;
        }
        const double r1 = has_left ? switch_probability(cm[T0] - cm[static_cast<size_t>(typed[static_cast<size_t>(left)])],
                                                          settings_.imputation_ne, H)
                                   : 1.0;
        const double r2 = has_right ? switch_probability(cm[static_cast<size_t>(typed[static_cast<size_t>(right)])] - cm[T0],
                                                           settings_.imputation_ne, H)
                                    : 1.0;
        // Posterior of state h: ((1-r1) a(h) + r1/H) ((1-r2) c(h) + r2 C/H),
        // with a the forward probabilities at the left typed marker and c the
        // backward ones times the emission at the right one (sum C).
        const double C = has_right ? sum_c : 1.0;
        const double A = has_left ? sum_a : 1.0;
        const double s_ac = has_left && has_right ? allele_sum([&](size_t h) { return f[h]; }, sum_fc) : 0.0;
        const double s_a = has_left ? allele_sum([&](size_t h) { return static_cast<double>(a_row[h]); }, sum_a) : 0.0;
        const double s_c = has_right ? allele_sum([&](size_t h) { return c[h]; }, sum_c) : 0.0;
        const double s_1 = allele_sum([](size_t) { return 1.0; }, static_cast<double>(H));
        const double num = (1 - r1) * (1 - r2) * s_ac + (1 - r1) * r2 * C * uniform * s_a +
                           r1 * (1 - r2) * uniform * A * s_c + r1 * r2 * C * A * uniform * uniform * s_1;
        const double den = (1 - r1) * (1 - r2) * (has_left && has_right ? sum_fc : 0.0) +
                           (1 - r1) * r2 * C * uniform * A + r1 * (1 - r2) * uniform * A * C + r1 * r2 * C * A * uniform;
        p = den > 0 ? num / den : fill;
      }
      w.allele_one[static_cast<size_t>(t - w.block_first) * J + j] = static_cast<float>(std::clamp(p, 0.0, 1.0));
    }
  });
}

const std::vector<GenotypeCall>& HmmEngine::impute(int t, std::ostream&) {
  constexpr double kGrid = 1e4;
  Work& w = *work_;
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

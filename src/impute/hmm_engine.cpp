#include "impute/hmm_engine.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/parallel.h"
#include "impute/hmm_work.h"

namespace snp {

HmmSettings automatic_hmm_settings(int haplotypes) {
  HmmSettings settings;
  settings.selection = automatic_state_selection(haplotypes);
  if (settings.selection.states > 0) {
    // Long windows: fewer joins, where phase errors arise. The largest
    // panels need more conditioning haplotypes for the same switch error.
    settings.window_words = 15, settings.step_words = 10;
    settings.conditioning = haplotypes <= 20000 ? 16 : 32;
  }
  return settings;
}

HmmEngine::HmmEngine(const EngineInput& input, HmmSettings settings)
    : input_(input), settings_(std::move(settings)), work_(std::make_unique<Work>()) {
  Work& w = *work_;
  const ReferencePanel& panel = input_.panel;
  w.haplotypes = panel.haplotype_count;
  w.individuals = input_.study.individuals;
  w.typed = static_cast<int>(input_.typed_markers.size());
  const size_t H = static_cast<size_t>(w.haplotypes), T = static_cast<size_t>(w.typed);
  // The panel may hold a window of the markers (a chunk run on phased
  // haplotypes): only its typed markers and columns are taken.
  const std::vector<int>& typed = input_.typed_markers;
  const int held_first = panel.haplotypes.first_column();
  const int held_end = std::min(panel.marker_count, panel.haplotypes.end_column());
  w.typed_first = static_cast<int>(std::lower_bound(typed.begin(), typed.end(), held_first) - typed.begin());
  const size_t typed_end = static_cast<size_t>(std::lower_bound(typed.begin(), typed.end(), held_end) - typed.begin());
  w.typed_alleles.resize((typed_end - static_cast<size_t>(w.typed_first)) * H);
  for (size_t m = static_cast<size_t>(w.typed_first); m < typed_end; ++m) {
    const std::int8_t* column = panel.haplotypes.column(typed[m]);
    std::copy(column, column + H, &w.typed_alleles[(m - static_cast<size_t>(w.typed_first)) * H]);
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
  // The carrier lists serve the pass over the whole panel only; the
  // composites read the panel's bits.
  const bool whole_panel = settings_.selection.states <= 0 || settings_.selection.states >= w.haplotypes;
  for (int t = 0; t < panel.marker_count; ++t) {
    if (t < held_first || t >= held_end) {
      w.minor_start.push_back(w.carriers.size());
      w.unknown_start.push_back(w.carriers.size());
      continue;
    }
    const std::int8_t* column = panel.haplotypes.column(t);
    int known = 0, ones = 0;
    for (size_t h = 0; h < H; ++h) known += column[h] >= 0, ones += column[h] == 1;
    w.unknown_fill[static_cast<size_t>(t)] = known > 0 ? static_cast<float>(ones) / static_cast<float>(known) : 0.0f;
    const std::int8_t minor = 2 * ones <= known ? 1 : 0;
    w.minor_one[static_cast<size_t>(t)] = static_cast<std::uint8_t>(minor);
    w.minor_start.push_back(w.carriers.size());
    for (size_t h = 0; whole_panel && h < H; ++h)
      if (column[h] == minor) w.carriers.push_back(static_cast<int>(h));
    w.unknown_start.push_back(w.carriers.size());
    for (size_t h = 0; whole_panel && h < H; ++h)
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
    const std::int8_t* a = &w.typed_alleles[(static_cast<size_t>(run_first - w.typed_first) + row) * HH];
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
  const std::int8_t* run_alleles = &w.typed_alleles[static_cast<size_t>(run_first - w.typed_first) * HH];
  const RunNeighbours neighbours = find_neighbours(
      w.haplotypes, static_cast<int>(J), static_cast<int>(rows), selection,
      [&](int row) { return run_alleles + static_cast<size_t>(row) * HH; },
      [&](size_t j, int row) { return w.phased[j * TT + static_cast<size_t>(run_first + row)]; });
  // The panel over the run's typed markers and the block, bit-packed.
  const int* row_markers = &input_.typed_markers[static_cast<size_t>(run_first)];
  const int first = std::min(w.block_first, row_markers[0]);
  const int end = std::max(w.block_end, row_markers[rows - 1] + 1);
  const HaplotypeBits bits = pack_haplotypes(input_.panel.haplotypes, w.haplotypes, first, end);
  std::vector<std::uint64_t> minor_zero(bits.words, 0);
  for (int t = first; t < end; ++t)
    if (w.minor_one[static_cast<size_t>(t)] == 0)
      minor_zero[static_cast<size_t>(t - first) / 64] |= std::uint64_t{1} << ((t - first) % 64);
  const CompositeImputation run{bits,     minor_zero,    row_markers,   w.unknown_fill,
                                flanks,   switches,      w.block_first, w.block_end,
                                settings_.imputation_error};
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

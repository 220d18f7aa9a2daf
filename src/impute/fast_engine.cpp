#include "impute/fast_engine.h"

#include <algorithm>
#include <bit>
#include <ostream>

#include "impute/inference.h"
#include "impute/neighbourhood.h"

namespace snp {
namespace {

constexpr int kPatterns = 1 << 12;

// Phasing k of a genotype: bit s of k goes to the first haplotype at the s-th
// heterozygous position, its complement to the second.
struct Phasing {
  std::uint16_t first;
  std::uint16_t second;
};

Phasing phasing(std::uint16_t twos, std::uint16_t het, const std::array<int, 12>& het_bits, int heterozygous,
                int k) {
  std::uint16_t spread = 0;
  for (int s = 0; s < heterozygous; ++s)
    if ((k >> s) & 1) spread = static_cast<std::uint16_t>(spread | (1u << het_bits[static_cast<size_t>(s)]));
  return {static_cast<std::uint16_t>(twos | spread), static_cast<std::uint16_t>(twos | (het & ~spread))};
}

int phasing_count(int heterozygous) { return heterozygous >= 1 ? 1 << (heterozygous - 1) : 1; }

}  // namespace

FastEngine::FastEngine(RunContext& ctx)
    : ctx_(ctx), pattern_present_(kPatterns, 0), pattern_targets_(kPatterns, std::array<long, 2>{0, 0}) {}

void FastEngine::impute(int i) {
  ImputationStep& step = ctx_.step;
  step.begin_hapmap_i = i;
  step.len1 = 3;
  step.len2 = 3;
  determinate_len(ctx_);
  positions_ = step.positions();
  load_rows();
  load_individuals();
  estimate_from_pairs();
  for (int r = 0; r < static_cast<int>(individuals_.size()); ++r)
    if (!estimates_[static_cast<size_t>(r)].have_pair) check_coverage(r);
  write_line();
}

void FastEngine::load_rows() {
  const case_and_control_genotype_data& panel = ctx_.data.data_population;
  rows_.assign(static_cast<size_t>(panel.sample_number), RowBits{0, 0, -1});
  for (int c = 0; c < positions_; ++c) {
    const std::int8_t* alleles = panel.genotype.column(ctx_.step.position_marker(c));
    const auto bit = static_cast<std::uint16_t>(1u << c);
    for (size_t h = 0; h < rows_.size(); ++h) {
      if (alleles[h] < 0) continue;
      rows_[h].known = static_cast<std::uint16_t>(rows_[h].known | bit);
      if (alleles[h] == 1) rows_[h].ones = static_cast<std::uint16_t>(rows_[h].ones | bit);
    }
  }
  const std::int8_t* target = panel.genotype.column(ctx_.step.impute_marker[0]);
  for (size_t h = 0; h < rows_.size(); ++h) rows_[h].target = target[h] < 0 ? std::int8_t{-1} : target[h];
}

void FastEngine::load_individuals() {
  const case_and_control_genotype_data& data1 = ctx_.data.data1;
  individuals_.assign(static_cast<size_t>(data1.sample_number), Genotype{0, 0, 0});
  for (int c = 0; c < positions_; ++c) {
    const std::int8_t* codes = data1.genotype.column(ctx_.step.position_marker(c));
    const auto bit = static_cast<std::uint16_t>(1u << c);
    for (size_t r = 0; r < individuals_.size(); ++r) {
      Genotype& g = individuals_[r];
      const int code = codes[r];
      if (code == -1) continue;
      g.present = static_cast<std::uint16_t>(g.present | bit);
      if (code == 1) g.het = static_cast<std::uint16_t>(g.het | bit);
      if (code == 2) g.twos = static_cast<std::uint16_t>(g.twos | bit);
    }
  }
}

// Flags and pair counts of every individual, one missing-position set at a
// time so that its pattern tables serve every individual that shares it.
void FastEngine::estimate_from_pairs() {
  estimates_.assign(individuals_.size(), Estimate{});
  std::vector<int> order(individuals_.size());
  for (size_t r = 0; r < order.size(); ++r) order[r] = static_cast<int>(r);
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
    return individuals_[static_cast<size_t>(x)].present < individuals_[static_cast<size_t>(y)].present;
  });
  for (size_t first = 0; first < order.size();) {
    const std::uint16_t present = individuals_[static_cast<size_t>(order[first])].present;
    build_pattern_tables(present);
    size_t last = first;
    for (; last < order.size() && individuals_[static_cast<size_t>(order[last])].present == present; ++last)
      estimate_individual(order[last]);
    clear_pattern_tables();
    first = last;
  }
}

void FastEngine::build_pattern_tables(std::uint16_t present) {
  for (const RowBits& row : rows_) {
    // A row with a missing allele at a non-missing position matches nothing.
    if ((row.known & present) != present) continue;
    const auto pattern = static_cast<std::uint16_t>(row.ones & present);
    if (!pattern_present_[pattern]) {
      pattern_present_[pattern] = 1;
      touched_patterns_.push_back(pattern);
    }
    if (row.target >= 0) ++pattern_targets_[pattern][static_cast<size_t>(row.target)];
  }
}

void FastEngine::clear_pattern_tables() {
  for (std::uint16_t pattern : touched_patterns_) {
    pattern_present_[pattern] = 0;
    pattern_targets_[pattern] = {0, 0};
  }
  touched_patterns_.clear();
}

// Whether some phasing has both haplotypes in the panel, and the target codes
// of all compatible row pairs (i <= j) of all phasings.
void FastEngine::estimate_individual(int r) {
  const Genotype& g = individuals_[static_cast<size_t>(r)];
  Estimate& e = estimates_[static_cast<size_t>(r)];
  const int heterozygous = std::popcount(g.het);
  for (int c = 0, s = 0; c < positions_; ++c)
    if ((g.het >> c) & 1) het_bits_[static_cast<size_t>(s++)] = c;
  const int phasings = phasing_count(heterozygous);
  for (int k = 0; k < phasings; ++k) {
    const Phasing p = phasing(g.twos, g.het, het_bits_, heterozygous, k);
    if (pattern_present_[p.first] && pattern_present_[p.second]) e.have_pair = true;
    const auto& a = pattern_targets_[p.first];
    const auto& b = pattern_targets_[p.second];
    if (p.first != p.second) {
      e.counts[0] += a[0] * b[0];
      e.counts[1] += a[0] * b[1] + a[1] * b[0];
      e.counts[2] += a[1] * b[1];
    } else {
      e.counts[0] += a[0] * (a[0] + 1) / 2;
      e.counts[1] += a[0] * a[1];
      e.counts[2] += a[1] * (a[1] + 1) / 2;
    }
  }
}

// Segmentation check of an individual without a compatible pair; prints the
// same diagnostic as the step-by-step engine when coverage stops.
void FastEngine::check_coverage(int r) {
  const Genotype& g = individuals_[static_cast<size_t>(r)];
  const int heterozygous = std::popcount(g.het);
  for (int c = 0, s = 0; c < positions_; ++c)
    if ((g.het >> c) & 1) het_bits_[static_cast<size_t>(s++)] = c;
  const int phasings = phasing_count(heterozygous);
  // Reach of a haplotype from `start`: the furthest first disagreement over
  // all rows (a missing row allele disagrees), or L when a row agrees to the end.
  auto reach = [&](std::uint16_t haplotype, int start) {
    const unsigned from = ~0u << start;
    int furthest = 0;
    for (const RowBits& row : rows_) {
      const unsigned differ = g.present & (~row.known | (row.ones ^ haplotype)) & from & 0xFFFFu;
      const int stop = differ ? std::countr_zero(differ) : positions_;
      furthest = std::max(furthest, std::min(stop, positions_));
    }
    return furthest;
  };
  int start = 0, best = 0, previous = 0;
  for (;;) {
    for (int k = 0; k < phasings; ++k) {
      const Phasing p = phasing(g.twos, g.het, het_bits_, heterozygous, k);
      best = std::max(best, std::min(reach(p.first, start), reach(p.second, start)));
    }
    if (best >= positions_) return;
    if (best <= previous) break;
    start = previous = best;
  }
  const std::int8_t* alleles = ctx_.data.data_population.genotype.column(ctx_.step.position_marker(best));
  int zeros = 0, ones = 0;
  for (size_t h = 0; h < rows_.size(); ++h) {
    zeros += alleles[h] == 0;
    ones += alleles[h] == 1;
  }
  ctx_.out() << " find problem\n"
             << "record=" << r << " a.marker=" << positions_ << " max_len=" << best << " len1=" << ctx_.step.len1
             << " len2=" << ctx_.step.len2 << " popu count_3_value[0]=" << zeros
             << " popu  count_3_value[1]=" << ones << std::endl;
}

void FastEngine::write_line() {
  const int t = ctx_.step.impute_marker[0];
  const double threshold = ctx_.config.calling_genotype_threshood;
  const std::int8_t* observed = ctx_.data.data1.genotype.column(t);
  line_.clear();
  append_line_header(line_, ctx_.data, t);
  for (int r = 0; r < static_cast<int>(individuals_.size()); ++r) {
    const Estimate& e = estimates_[static_cast<size_t>(r)];
    int called = -1;
    double p = 0.0;
    if (!e.have_pair) {
      called = find_max_march_value(ctx_, r, &p);
    } else {
      const long total = e.counts[0] + e.counts[1] + e.counts[2];
      if (total == 0) {
        ctx_.out() << "count=" << e.counts[0] << " " << e.counts[1] << " " << e.counts[2] << std::endl
                   << "record=" << r << std::endl;
      } else {
        called = most_frequent_code(e.counts);
        p = static_cast<double>(e.counts[called]) / static_cast<double>(total);
      }
    }
    append_code(line_, output_code(observed[r], called, p, threshold));
  }
  line_ += '\n';
  ctx_.fimput_out << line_;
}

}  // namespace snp

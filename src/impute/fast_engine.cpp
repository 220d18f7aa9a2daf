#include "impute/fast_engine.h"

#include <algorithm>
#include <bit>
#include <ostream>

#include "impute/inference.h"

namespace snp {
namespace {

constexpr int kPatterns = 1 << 12;

// The phasings of a genotype in order k = 0, 1, ...: bit s of k goes to the
// first haplotype at the s-th heterozygous position (the last heterozygous
// position always goes to the second haplotype), its complement to the
// second. Counting k up enumerates the subsets of the free heterozygous
// positions in increasing order, which is what `next` does.
class Phasings {
 public:
  Phasings(std::uint16_t twos, std::uint16_t het)
      : twos_(twos), het_(het), free_(static_cast<std::uint16_t>(het & ~highest_bit(het))) {}
  std::uint16_t first() const { return static_cast<std::uint16_t>(twos_ | spread_); }
  std::uint16_t second() const { return static_cast<std::uint16_t>(twos_ | (het_ & ~spread_)); }
  // Moves to the next phasing; false after the last.
  bool next() {
    spread_ = static_cast<std::uint16_t>((spread_ - free_) & free_);
    return spread_ != 0;
  }

 private:
  static std::uint16_t highest_bit(std::uint16_t bits) {
    return static_cast<std::uint16_t>(std::bit_floor(static_cast<unsigned>(bits)));
  }
  std::uint16_t twos_;
  std::uint16_t het_;
  std::uint16_t free_;
  std::uint16_t spread_ = 0;
};

}  // namespace

FastEngine::FastEngine(const EngineInput& input)
    : input_(input),
      pattern_present_(kPatterns, 0),
      pattern_targets_(kPatterns, std::array<long, 2>{0, 0}),
      group_of_mask_(kPatterns, -1) {}

const std::vector<GenotypeCall>& FastEngine::impute(int t, std::ostream& console) {
  neighbourhood_ = choose_neighbourhood(input_.panel, input_.typed_markers, cursor_, t);
  positions_ = neighbourhood_.positions();
  load_rows();
  load_row_pairs();
  load_individuals();
  estimate_from_pairs();
  for (int r = 0; r < static_cast<int>(individuals_.size()); ++r)
    if (!estimates_[static_cast<size_t>(r)].have_pair) check_coverage(r, console);
  make_calls(console);
  return calls_;
}

void FastEngine::load_rows() {
  const ReferencePanel& panel = input_.panel;
  rows_.assign(static_cast<size_t>(panel.haplotype_count), RowBits{0, 0, -1});
  for (int c = 0; c < positions_; ++c) {
    const std::int8_t* alleles = panel.haplotypes.column(neighbourhood_.position_marker(c));
    const auto bit = static_cast<std::uint16_t>(1u << c);
    for (size_t h = 0; h < rows_.size(); ++h) {
      if (alleles[h] < 0) continue;
      rows_[h].known = static_cast<std::uint16_t>(rows_[h].known | bit);
      if (alleles[h] == 1) rows_[h].ones = static_cast<std::uint16_t>(rows_[h].ones | bit);
    }
  }
  const std::int8_t* target = panel.haplotypes.column(neighbourhood_.target);
  for (size_t h = 0; h < rows_.size(); ++h) rows_[h].target = target[h] < 0 ? std::int8_t{-1} : target[h];
}

void FastEngine::load_row_pairs() {
  pairs_.clear();
  for (size_t q = 0; q + 1 < rows_.size(); ++q) {
    const RowBits& x = rows_[q];
    const RowBits& y = rows_[q + 1];
    const auto known = static_cast<std::uint16_t>(x.known & y.known);
    const int target = x.target < 0 || y.target < 0 ? -1 : x.target + y.target;
    pairs_.push_back({known, static_cast<std::uint16_t>((x.ones ^ y.ones) & known),
                      static_cast<std::uint16_t>(x.ones & y.ones & known), static_cast<std::int8_t>(target)});
  }
}

// The fallback for an individual without a compatible pair: consecutive row
// pairs visited as the step-by-step engine does (pair q = i / 2 for every row
// i), scored by their runs of agreeing neighbourhood markers.
int FastEngine::fallback(int r, double* probability, std::array<double, 3>& probabilities) const {
  const Genotype& g = individuals_[static_cast<size_t>(r)];
  const int len1 = neighbourhood_.len1, len2 = neighbourhood_.len2;
  auto run_of = [&](const RowPair& pair) {
    const unsigned agree = g.present & pair.known & ~((g.het ^ pair.sum_one) | (g.twos ^ pair.sum_two)) & 0xFFFFu;
    // marker1 from the marker next to the target outwards (bit len1-1 down),
    // marker2 from its farthest marker inwards (bit L-1 down to len1).
    auto ones_from_top = [](unsigned bits, int width) { return width ? std::countl_one(bits << (32 - width)) : 0; };
    return ones_from_top(agree, len1) + ones_from_top(agree >> len1, len2);
  };
  BestRunTally tally;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const size_t q = i / 2;
    if (q < pairs_.size() && pairs_[q].target >= 0) tally.add(run_of(pairs_[q]), pairs_[q].target);
  }
  tally.distribution(probabilities);
  return tally.result(probability);
}

void FastEngine::load_individuals() {
  const StudyGenotypes& study = input_.study;
  individuals_.assign(static_cast<size_t>(study.individuals), Genotype{0, 0, 0});
  for (int c = 0; c < positions_; ++c) {
    const std::int8_t* codes = study.codes.column(neighbourhood_.position_marker(c));
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
  // Individuals grouped by their set of non-missing positions, groups in
  // order of first appearance.
  std::vector<std::uint16_t> masks;
  std::vector<int> group_of(individuals_.size());
  for (size_t r = 0; r < individuals_.size(); ++r) {
    const std::uint16_t present = individuals_[r].present;
    if (group_of_mask_[present] < 0) {
      group_of_mask_[present] = static_cast<int>(masks.size());
      masks.push_back(present);
    }
    group_of[r] = group_of_mask_[present];
  }
  for (size_t group = 0; group < masks.size(); ++group) {
    build_pattern_tables(masks[group]);
    for (size_t r = 0; r < individuals_.size(); ++r)
      if (group_of[r] == static_cast<int>(group)) estimate_individual(static_cast<int>(r));
    clear_pattern_tables();
    group_of_mask_[masks[group]] = -1;
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
  Phasings phasing(g.twos, g.het);
  do {
    const std::uint16_t first = phasing.first(), second = phasing.second();
    if (pattern_present_[first] && pattern_present_[second]) e.have_pair = true;
    const auto& a = pattern_targets_[first];
    const auto& b = pattern_targets_[second];
    if (first != second) {
      e.counts[0] += a[0] * b[0];
      e.counts[1] += a[0] * b[1] + a[1] * b[0];
      e.counts[2] += a[1] * b[1];
    } else {
      e.counts[0] += a[0] * (a[0] + 1) / 2;
      e.counts[1] += a[0] * a[1];
      e.counts[2] += a[1] * (a[1] + 1) / 2;
    }
  } while (phasing.next());
}

// Segmentation check of an individual without a compatible pair; prints the
// same diagnostic as the step-by-step engine when coverage stops.
void FastEngine::check_coverage(int r, std::ostream& console) const {
  const Genotype& g = individuals_[static_cast<size_t>(r)];
  // Reach of a haplotype from `start`: the furthest first disagreement over
  // all rows (a missing row allele disagrees), or L when a row agrees to the end.
  auto reach = [&](std::uint16_t haplotype, int start) {
    const unsigned from = (~0u << start) & 0xFFFFu;
    int furthest = 0;
    for (const RowBits& row : rows_) {
      const unsigned differ = g.present & (~row.known | (row.ones ^ haplotype)) & from;
      if (!differ) return positions_;
      furthest = std::max(furthest, std::countr_zero(differ));
    }
    return furthest;
  };
  int start = 0, best = 0, previous = 0;
  for (;;) {
    Phasings phasing(g.twos, g.het);
    do {
      // Only a phasing whose both haplotypes reach beyond the best can raise it.
      const int first_reach = reach(phasing.first(), start);
      if (first_reach > best) best = std::min(first_reach, reach(phasing.second(), start));
    } while (phasing.next());
    if (best >= positions_) return;
    if (best <= previous) break;
    start = previous = best;
  }
  const std::int8_t* alleles = input_.panel.haplotypes.column(neighbourhood_.position_marker(best));
  int zeros = 0, ones = 0;
  for (size_t h = 0; h < rows_.size(); ++h) {
    zeros += alleles[h] == 0;
    ones += alleles[h] == 1;
  }
  console << " find problem\n"
          << "record=" << r << " a.marker=" << positions_ << " max_len=" << best << " len1=" << neighbourhood_.len1
          << " len2=" << neighbourhood_.len2 << " popu count_3_value[0]=" << zeros
          << " popu  count_3_value[1]=" << ones << std::endl;
}

void FastEngine::make_calls(std::ostream& console) {
  const std::int8_t* observed = input_.study.codes.column(neighbourhood_.target);
  calls_.assign(individuals_.size(), GenotypeCall{});
  for (int r = 0; r < static_cast<int>(individuals_.size()); ++r) {
    const Estimate& e = estimates_[static_cast<size_t>(r)];
    GenotypeCall& call = calls_[static_cast<size_t>(r)];
    int called = -1;
    double p = 0.0;
    if (!e.have_pair) {
      called = fallback(r, &p, call.probabilities);
    } else {
      const long total = e.counts[0] + e.counts[1] + e.counts[2];
      if (total == 0) {
        console << "count=" << e.counts[0] << " " << e.counts[1] << " " << e.counts[2] << std::endl
                << "record=" << r << std::endl;
      } else {
        called = most_frequent_code(e.counts);
        p = static_cast<double>(e.counts[called]) / static_cast<double>(total);
        for (size_t g = 0; g < 3; ++g) call.probabilities[g] = static_cast<double>(e.counts[g]) / static_cast<double>(total);
      }
    }
    call.estimated = p > 0.0;
    call.output = output_code(observed[r], called, p, input_.threshold);
  }
}

}  // namespace snp

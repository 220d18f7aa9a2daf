#include "impute/compatibility.h"

#include <cmath>
#include <ostream>

namespace snp {
namespace {

// Position where panel row i first disagrees with x from `start` on (L if none).
int row_reach(const RunContext& ctx, int i, const std::int8_t* x, const std::int8_t* codes, int start) {
  const ImputationStep& step = ctx.step;
  int c = start;
  for (; c < step.positions(); ++c) {
    if (codes[c] == -1) continue;
    if (ctx.data.data_population.genotype(i, step.position_marker(c)) != x[c]) break;
  }
  return c;
}

// First panel row carrying haplotype x at every position where individual r
// is not missing, or -1.
int first_matching_row(const RunContext& ctx, const std::int8_t* x, const std::int8_t* codes) {
  for (int i = 0; i < ctx.data.data_population.sample_number; ++i)
    if (row_reach(ctx, i, x, codes, 0) == ctx.step.positions()) return i;
  return -1;
}

int haplotype_reach(const RunContext& ctx, const std::int8_t* x, const std::int8_t* codes, int start) {
  int reach = 0;
  for (int i = 0; i < ctx.data.data_population.sample_number; ++i)
    reach = std::max(reach, row_reach(ctx, i, x, codes, start));
  return reach;
}

// Row r of the window as a contiguous array of codes.
std::vector<std::int8_t> window_row(const case_and_control_genotype_data& g, int r) {
  std::vector<std::int8_t> codes(static_cast<size_t>(g.marker_number));
  for (int c = 0; c < g.marker_number; ++c) codes[static_cast<size_t>(c)] = g.genotype(r, c);
  return codes;
}

int phasing_count(int heterozygous) { return heterozygous >= 1 ? 1 << (heterozygous - 1) : 1; }

void print_coverage_problem(RunContext& ctx, int r, int best) {
  const auto& panel = ctx.data.data_population;
  const int marker = ctx.step.position_marker(best);
  int zeros = 0, ones = 0;
  for (int i = 0; i < panel.sample_number; ++i) {
    zeros += panel.genotype(i, marker) == 0;
    ones += panel.genotype(i, marker) == 1;
  }
  ctx.out() << " find problem\n"
            << "record=" << r << " a.marker=" << ctx.step.positions() << " max_len=" << best
            << " len1=" << ctx.step.len1 << " len2=" << ctx.step.len2 << " popu count_3_value[0]=" << zeros
            << " popu  count_3_value[1]=" << ones << std::endl;
}

}  // namespace

int single_record_decompose(int r, const case_and_control_genotype_data& g, compatible_haplotype_data& hp,
                            IntMatrix& chain) {
  const int positions = g.marker_number;
  int heterozygous = 0;
  for (int c = 0; c < positions; ++c) heterozygous += g.genotype(r, c) == 1;
  const int phasings = phasing_count(heterozygous);
  auto chain_row = chain[r];
  for (int k = 0; k < phasings; ++k) {
    auto first = hp.haplotype1[k];
    auto second = hp.haplotype2[k];
    int het_index = 0;
    int code1 = 0, code2 = 0;
    for (int c = 0; c < positions; ++c) {
      const int genotype = g.genotype(r, c);
      if (genotype == 0 || genotype == 2) {
        first[c] = second[c] = static_cast<std::int8_t>(genotype / 2);
      } else if (genotype == 1) {
        first[c] = static_cast<std::int8_t>((k >> het_index) & 1);
        second[c] = static_cast<std::int8_t>(1 - first[c]);
        ++het_index;
      } else {
        first[c] = second[c] = -1;
      }
      if (first[c] < 0) {
        code1 -= 2048 * (k + 1);
        code2 -= 2048 * (k + 1);
      } else {
        code1 = 2 * code1 + first[c];
        code2 = 2 * code2 + second[c];
      }
    }
    chain_row[2 * k] = code1;
    chain_row[2 * k + 1] = code2;
  }
  chain_row[2 * phasings] = -1;
  return heterozygous;
}

int determinate_missing_record_have_pair1(RunContext& ctx, int r, const case_and_control_genotype_data& g,
                                          compatible_haplotype_data& hp, int* missing) {
  const std::vector<std::int8_t> codes = window_row(g, r);
  for (std::int8_t code : codes)
    if (code == -1) *missing = 1;
  IntMatrix& chain = ctx.step.Genotype_with_id_haplotype_chain;
  const int phasings = phasing_count(single_record_decompose(r, g, hp, chain));
  for (int k = 0; k < phasings; ++k) {
    const int partner1 = first_matching_row(ctx, hp.haplotype1[k].data(), codes.data());
    if (partner1 < 0) continue;
    const int partner2 = first_matching_row(ctx, hp.haplotype2[k].data(), codes.data());
    if (partner2 < 0) continue;
    chain[r][0] = partner1;
    chain[r][1] = partner2;
    chain[r][2] = -1;
    return 1;
  }
  chain[r][0] = -1;
  return 0;
}

void determinate_either_have_pair2(RunContext& ctx) {
  ImputationStep& step = ctx.step;
  const int individuals = step.a.sample_number;
  step.bitmap_have_pair.assign(static_cast<size_t>(individuals), 0);
  step.bitmap_missing_record.assign(static_cast<size_t>(individuals), 0);
  for (int r = 0; r < individuals; ++r) {
    int missing = 0;
    step.bitmap_have_pair[static_cast<size_t>(r)] = determinate_missing_record_have_pair1(ctx, r, step.a, step.b, &missing);
    step.bitmap_missing_record[static_cast<size_t>(r)] = missing ? 1 : 0;
  }
}

int find_multiple_haplotype_product(RunContext& ctx, int r, const case_and_control_genotype_data& g,
                                    compatible_haplotype_data& hp) {
  const std::vector<std::int8_t> codes = window_row(g, r);
  const int positions = g.marker_number;
  const int phasings = phasing_count(single_record_decompose(r, g, hp, ctx.step.Genotype_with_id_haplotype_chain));
  int segments = 1, start = 0, best = 0, previous = 0;
  for (;;) {
    for (int k = 0; k < phasings; ++k) {
      const int reach1 = haplotype_reach(ctx, hp.haplotype1[k].data(), codes.data(), start);
      const int reach2 = haplotype_reach(ctx, hp.haplotype2[k].data(), codes.data(), start);
      best = std::max(best, std::min(reach1, reach2));
    }
    if (best >= positions) break;
    if (best > previous) {
      ++segments;
      start = previous = best;
      continue;
    }
    print_coverage_problem(ctx, r, best);
    break;
  }
  return static_cast<int>(std::pow(2.0, segments - 1));
}

}  // namespace snp

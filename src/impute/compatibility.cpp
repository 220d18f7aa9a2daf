#include "impute/compatibility.h"

#include <cmath>
#include <ostream>

namespace snp {
namespace {

// Position where panel row i first disagrees with x from `start` on (L if none).
int row_reach(const ReferencePanel& panel, const Neighbourhood& n, int i, const std::int8_t* x,
              const std::int8_t* codes, int start) {
  int c = start;
  for (; c < n.positions(); ++c) {
    if (codes[c] == -1) continue;
    if (panel.haplotypes(i, n.position_marker(c)) != x[c]) break;
  }
  return c;
}

// First panel row carrying haplotype x at every position where the
// individual is not missing, or -1.
int first_matching_row(const ReferencePanel& panel, const Neighbourhood& n, const std::int8_t* x,
                       const std::int8_t* codes) {
  for (int i = 0; i < panel.haplotype_count; ++i)
    if (row_reach(panel, n, i, x, codes, 0) == n.positions()) return i;
  return -1;
}

int haplotype_reach(const ReferencePanel& panel, const Neighbourhood& n, const std::int8_t* x,
                    const std::int8_t* codes, int start) {
  int reach = 0;
  for (int i = 0; i < panel.haplotype_count; ++i) reach = std::max(reach, row_reach(panel, n, i, x, codes, start));
  return reach;
}

// Row r of the window as a contiguous array of codes.
std::vector<std::int8_t> window_row(const StepTables& t, int r) {
  std::vector<std::int8_t> codes(static_cast<size_t>(t.positions));
  for (int c = 0; c < t.positions; ++c) codes[static_cast<size_t>(c)] = t.window(r, c);
  return codes;
}

int phasing_count(int heterozygous) { return heterozygous >= 1 ? 1 << (heterozygous - 1) : 1; }

void print_coverage_problem(const ReferencePanel& panel, const Neighbourhood& n, int r, int best,
                            std::ostream& console) {
  const int marker = n.position_marker(best);
  int zeros = 0, ones = 0;
  for (int i = 0; i < panel.haplotype_count; ++i) {
    zeros += panel.haplotypes(i, marker) == 0;
    ones += panel.haplotypes(i, marker) == 1;
  }
  console << " find problem\n"
          << "record=" << r << " a.marker=" << n.positions() << " max_len=" << best << " len1=" << n.len1
          << " len2=" << n.len2 << " popu count_3_value[0]=" << zeros << " popu  count_3_value[1]=" << ones
          << std::endl;
}

}  // namespace

int expand_phasings(int r, const CodeMatrix& window, int positions, PhasingTables& hp, IntMatrix& chain) {
  int heterozygous = 0;
  for (int c = 0; c < positions; ++c) heterozygous += window(r, c) == 1;
  const int phasings = phasing_count(heterozygous);
  auto chain_row = chain[r];
  for (int k = 0; k < phasings; ++k) {
    auto first = hp.haplotype1[k];
    auto second = hp.haplotype2[k];
    int het_index = 0;
    int code1 = 0, code2 = 0;
    for (int c = 0; c < positions; ++c) {
      const int genotype = window(r, c);
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

int find_compatible_pair(const ReferencePanel& panel, const Neighbourhood& n, int r, StepTables& t, int* missing) {
  const std::vector<std::int8_t> codes = window_row(t, r);
  for (std::int8_t code : codes)
    if (code == -1) *missing = 1;
  PhasingTables& hp = t.phasings;
  const int phasings = phasing_count(expand_phasings(r, t.window, t.positions, hp, t.chain));
  for (int k = 0; k < phasings; ++k) {
    const int partner1 = first_matching_row(panel, n, hp.haplotype1[k].data(), codes.data());
    if (partner1 < 0) continue;
    const int partner2 = first_matching_row(panel, n, hp.haplotype2[k].data(), codes.data());
    if (partner2 < 0) continue;
    t.chain[r][0] = partner1;
    t.chain[r][1] = partner2;
    t.chain[r][2] = -1;
    return 1;
  }
  t.chain[r][0] = -1;
  return 0;
}

void mark_compatible_pairs(const ReferencePanel& panel, const Neighbourhood& n, StepTables& t) {
  t.have_pair.assign(static_cast<size_t>(t.individuals), 0);
  t.missing_record.assign(static_cast<size_t>(t.individuals), 0);
  for (int r = 0; r < t.individuals; ++r) {
    int missing = 0;
    t.have_pair[static_cast<size_t>(r)] = find_compatible_pair(panel, n, r, t, &missing);
    t.missing_record[static_cast<size_t>(r)] = missing ? 1 : 0;
  }
}

int check_piecewise_coverage(const ReferencePanel& panel, const Neighbourhood& n, int r, StepTables& t,
                             std::ostream& console) {
  const std::vector<std::int8_t> codes = window_row(t, r);
  PhasingTables& hp = t.phasings;
  const int phasings = phasing_count(expand_phasings(r, t.window, t.positions, hp, t.chain));
  int segments = 1, start = 0, best = 0, previous = 0;
  for (;;) {
    for (int k = 0; k < phasings; ++k) {
      const int reach1 = haplotype_reach(panel, n, hp.haplotype1[k].data(), codes.data(), start);
      const int reach2 = haplotype_reach(panel, n, hp.haplotype2[k].data(), codes.data(), start);
      best = std::max(best, std::min(reach1, reach2));
    }
    if (best >= t.positions) break;
    if (best > previous) {
      ++segments;
      start = previous = best;
      continue;
    }
    print_coverage_problem(panel, n, r, best, console);
    break;
  }
  return static_cast<int>(std::pow(2.0, segments - 1));
}

}  // namespace snp

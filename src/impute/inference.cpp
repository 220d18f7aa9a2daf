#include "impute/inference.h"

#include <ostream>
#include <string>


namespace snp {
namespace {

constexpr int kNoPattern = -1;

// Pattern of panel row i: its alleles at the non-missing positions of the
// individual as base-2 digits (first position most significant); none when
// the row is missing an allele at one of them.
int row_pattern(const ReferencePanel& panel, const Neighbourhood& n, int i, const std::int8_t* codes) {
  int pattern = 0;
  for (int c = 0; c < n.positions(); ++c) {
    if (codes[c] == -1) continue;
    const int allele = panel.haplotypes(i, n.position_marker(c));
    if (allele < 0) return kNoPattern;
    pattern = 2 * pattern + allele;
  }
  return pattern;
}

int haplotype_pattern(const std::int8_t* x, const std::int8_t* codes, int positions) {
  int pattern = 0;
  for (int c = 0; c < positions; ++c)
    if (codes[c] != -1) pattern = 2 * pattern + x[c];
  return pattern;
}

// Target code of a pair of panel rows, or -1 when an allele is missing.
int target_code(const ReferencePanel& panel, int t, int i, int j) {
  const int x = panel.haplotypes(i, t), y = panel.haplotypes(j, t);
  return (x < 0 || y < 0) ? -1 : x + y;
}

// Length of the run of neighbourhood markers on which the pair (q, q+1)
// agrees with the individual's observed codes: marker1 from the marker next
// to the target outwards, plus marker2 from its farthest marker inwards.
int agreeing_run(const ReferencePanel& panel, const StudyGenotypes& study, const Neighbourhood& n, int r, int q) {
  auto agrees = [&](int m) {
    const int code = study.codes(r, m);
    const int x = panel.haplotypes(q, m), y = panel.haplotypes(q + 1, m);
    return code >= 0 && code <= 2 && x >= 0 && y >= 0 && code == x + y;
  };
  int run = 0;
  for (int e = n.len1 - 1; e >= 0 && agrees(n.marker1[e]); --e) ++run;
  for (int e = n.len2 - 1; e >= 0 && agrees(n.marker2[e]); --e) ++run;
  return run;
}

}  // namespace

int most_frequent_code(const long counts[3]) {
  if (counts[0] >= counts[1] && counts[0] >= counts[2]) return 0;
  return counts[1] >= counts[2] ? 1 : 2;
}

void BestRunTally::add(int run, int code) {
  if (run > best_run_) {
    best_run_ = run;
    ties_ = 1;
    counts_[0] = counts_[1] = counts_[2] = 0;
    counts_[code] = 1;
    last_code_ = code;
  } else if (run == best_run_) {
    ++ties_;
    ++counts_[code];
    last_code_ = code;
  }
}

int BestRunTally::result(double* p) const {
  const long total = counts_[0] + counts_[1] + counts_[2];
  if (total == 0) {
    *p = 0.0;
    return -1;
  }
  if (ties_ == 1) {
    *p = 1.0;
    return last_code_;
  }
  const int code = most_frequent_code(counts_);
  *p = static_cast<double>(counts_[code]) / static_cast<double>(total);
  return code;
}

bool BestRunTally::distribution(std::array<double, 3>& probabilities) const {
  const long total = counts_[0] + counts_[1] + counts_[2];
  probabilities = {0.0, 0.0, 0.0};
  if (total == 0) return false;
  if (ties_ == 1) {
    probabilities[static_cast<size_t>(last_code_)] = 1.0;
    return true;
  }
  for (size_t g = 0; g < 3; ++g) probabilities[g] = static_cast<double>(counts_[g]) / static_cast<double>(total);
  return true;
}

GenotypeEstimate fallback_estimate(const ReferencePanel& panel, const StudyGenotypes& study, const Neighbourhood& n,
                                   int r) {
  const int rows = panel.haplotype_count;
  BestRunTally tally;
  for (int i = 0; i < rows; ++i) {
    const int q = i / 2;
    if (q + 1 >= rows) continue;  // a one-row panel has no pair
    const int code = target_code(panel, n.target, q, q + 1);
    if (code >= 0) tally.add(agreeing_run(panel, study, n, r, q), code);
  }
  GenotypeEstimate e;
  const int code = tally.result(&e.probability);
  if (e.probability > 0.0) e.code = code;
  tally.distribution(e.probabilities);
  return e;
}

GenotypeEstimate estimate_genotype(const ReferencePanel& panel, const StudyGenotypes& study, const Neighbourhood& n,
                                   StepTables& tables, int r, std::ostream& console) {
  if (tables.have_pair[static_cast<size_t>(r)] == 0) return fallback_estimate(panel, study, n, r);
  const int positions = tables.positions;
  std::vector<std::int8_t> codes(static_cast<size_t>(positions));
  for (int c = 0; c < positions; ++c) codes[static_cast<size_t>(c)] = tables.window(r, c);
  PhasingTables& hp = tables.phasings;
  const int het = expand_phasings(r, tables.window, positions, hp, tables.chain);
  const int phasings = het >= 1 ? 1 << (het - 1) : 1;
  const int rows = panel.haplotype_count;
  long counts[3] = {0, 0, 0};
  for (int k = 0; k < phasings; ++k) {
    const int pa = haplotype_pattern(hp.haplotype1[k].data(), codes.data(), positions);
    const int pb = haplotype_pattern(hp.haplotype2[k].data(), codes.data(), positions);
    for (int i = 0; i < rows; ++i) {
      const int pi = row_pattern(panel, n, i, codes.data());
      if (pi == kNoPattern || (pi != pa && pi != pb)) continue;
      for (int j = i; j < rows; ++j) {
        const int pj = row_pattern(panel, n, j, codes.data());
        if (pj == kNoPattern || !((pi == pa && pj == pb) || (pi == pb && pj == pa))) continue;
        const int code = target_code(panel, n.target, i, j);
        if (code >= 0) ++counts[code];
      }
    }
  }
  GenotypeEstimate e;
  const long total = counts[0] + counts[1] + counts[2];
  if (total == 0) {
    console << "count=" << counts[0] << " " << counts[1] << " " << counts[2] << std::endl
            << "record=" << r << std::endl;
    return e;
  }
  e.code = most_frequent_code(counts);
  e.probability = static_cast<double>(counts[e.code]) / static_cast<double>(total);
  for (size_t g = 0; g < 3; ++g) e.probabilities[g] = static_cast<double>(counts[g]) / static_cast<double>(total);
  return e;
}

}  // namespace snp

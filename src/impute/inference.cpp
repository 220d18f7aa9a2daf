#include "impute/inference.h"

#include <ostream>
#include <string>

#include "impute/compatibility.h"

namespace snp {
namespace {

constexpr int kNoPattern = -1;

// Pattern of panel row i: its alleles at the non-missing positions of the
// individual as base-2 digits (first position most significant); none when
// the row is missing an allele at one of them.
int row_pattern(const RunContext& ctx, int i, const std::int8_t* codes) {
  int pattern = 0;
  for (int c = 0; c < ctx.step.positions(); ++c) {
    if (codes[c] == -1) continue;
    const int allele = ctx.data.data_population.genotype(i, ctx.step.position_marker(c));
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
int target_code(const RunContext& ctx, int i, int j) {
  const auto& panel = ctx.data.data_population.genotype;
  const int t = ctx.step.impute_marker[0];
  const int x = panel(i, t), y = panel(j, t);
  return (x < 0 || y < 0) ? -1 : x + y;
}

// Length of the run of neighbourhood markers on which the pair (q, q+1)
// agrees with the individual's observed codes: marker1 from the marker next
// to the target outwards, plus marker2 from its farthest marker inwards.
int agreeing_run(const RunContext& ctx, int r, int q) {
  const auto& panel = ctx.data.data_population.genotype;
  const auto& observed = ctx.data.data1.genotype;
  auto agrees = [&](int m) {
    const int code = observed(r, m);
    const int x = panel(q, m), y = panel(q + 1, m);
    return code >= 0 && code <= 2 && x >= 0 && y >= 0 && code == x + y;
  };
  const ImputationStep& step = ctx.step;
  int run = 0;
  for (int e = step.len1 - 1; e >= 0 && agrees(step.marker1[e]); --e) ++run;
  for (int e = step.len2 - 1; e >= 0 && agrees(step.marker2[e]); --e) ++run;
  return run;
}

}  // namespace

void append_line_header(std::string& line, const RunData& d, int t) {
  const AllelePair& letters = d.allele_name[static_cast<size_t>(t)];
  line += std::to_string(t + 1);
  line += '\t';
  line += d.population_data_SNP[static_cast<size_t>(t)];
  line += ' ';
  line += std::to_string(d.position_SNP[static_cast<size_t>(t)]);
  line += ' ';
  line += letters[0];
  line += ' ';
  line += letters[1];
  line += ' ';
}

int output_code(int observed, int called, double probability, double threshold) {
  if (observed >= 0 && observed <= 2) return observed;
  // A probability of 0 means nothing was estimated: never a call.
  return probability > 0.0 && probability > threshold ? called : -1;
}

void append_code(std::string& line, int code) {
  if (code < 0) {
    line += "-1 ";
  } else {
    line += static_cast<char>('0' + code);
    line += ' ';
  }
}

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

int find_max_march_value(RunContext& ctx, int r, double* p) {
  const int rows = ctx.data.data_population.sample_number;
  BestRunTally tally;
  for (int i = 0; i < rows; ++i) {
    const int q = i / 2;
    if (q + 1 >= rows) continue;  // a one-row panel has no pair
    const int code = target_code(ctx, q, q + 1);
    if (code >= 0) tally.add(agreeing_run(ctx, r, q), code);
  }
  return tally.result(p);
}

double freq_value_012_truncate_with_missing_neighbourhood(RunContext& ctx, int r, int* g) {
  ImputationStep& step = ctx.step;
  const int positions = step.positions();
  std::vector<std::int8_t> codes(static_cast<size_t>(positions));
  for (int c = 0; c < positions; ++c) codes[static_cast<size_t>(c)] = step.a.genotype(r, c);
  if (step.bitmap_have_pair[static_cast<size_t>(r)] == 0) {
    double p = 0.0;
    const int code = find_max_march_value(ctx, r, &p);
    if (p > 0.0) *g = code;
    return p;
  }
  const int het = single_record_decompose(r, step.a, step.b, step.Genotype_with_id_haplotype_chain);
  const int phasings = het >= 1 ? 1 << (het - 1) : 1;
  const int rows = ctx.data.data_population.sample_number;
  long counts[3] = {0, 0, 0};
  for (int k = 0; k < phasings; ++k) {
    const int pa = haplotype_pattern(step.b.haplotype1[k].data(), codes.data(), positions);
    const int pb = haplotype_pattern(step.b.haplotype2[k].data(), codes.data(), positions);
    for (int i = 0; i < rows; ++i) {
      const int pi = row_pattern(ctx, i, codes.data());
      if (pi == kNoPattern || (pi != pa && pi != pb)) continue;
      for (int j = i; j < rows; ++j) {
        const int pj = row_pattern(ctx, j, codes.data());
        if (pj == kNoPattern || !((pi == pa && pj == pb) || (pi == pb && pj == pa))) continue;
        const int code = target_code(ctx, i, j);
        if (code >= 0) ++counts[code];
      }
    }
  }
  const long total = counts[0] + counts[1] + counts[2];
  if (total == 0) {
    ctx.out() << "count=" << counts[0] << " " << counts[1] << " " << counts[2] << std::endl
              << "record=" << r << std::endl;
    return 0.0;
  }
  const int code = most_frequent_code(counts);
  *g = code;
  return static_cast<double>(counts[code]) / static_cast<double>(total);
}

double infer_value_with_missing_neighbourhood(RunContext& ctx, double*) {
  const int t = ctx.step.impute_marker[0];
  const double threshold = ctx.config.calling_genotype_threshood;
  std::string line;
  append_line_header(line, ctx.data, t);
  int concordant = 0;
  for (int r = 0; r < ctx.data.data1.sample_number; ++r) {
    const int observed = ctx.data.data1.genotype(r, t);
    int called = -1;
    const double p = freq_value_012_truncate_with_missing_neighbourhood(ctx, r, &called);
    const int code = output_code(observed, called, p, threshold);
    if (observed >= 0 && code == observed && p > 0.0 && p > threshold && called == observed) ++concordant;
    append_code(line, code);
  }
  line += '\n';
  ctx.fimput_out << line;
  ctx.fimput_out.flush();
  return concordant;
}

}  // namespace snp

// The haploid copying model of the imputation pass: switch probabilities,
// forward-backward over the copying states and the posteriors it gives.
#include <algorithm>
#include <cmath>

#include "impute/hmm_engine.h"

namespace snp {

double switch_probability(double cm, double ne, int states) {
  return -std::expm1(-0.04 * ne * std::max(cm, 0.0) / std::max(states, 1));
}

namespace {

float sum_of(const float* values, size_t count, SumOrder order) {
  float sum = 0;
  if (order == SumOrder::any) {
#pragma omp simd reduction(+ : sum)
    for (size_t i = 0; i < count; ++i) sum += values[i];
  } else {
    for (size_t i = 0; i < count; ++i) sum += values[i];
  }
  return sum;
}

}  // namespace

void haploid_forward_backward(const float* const* emissions, const float* switches, int haplotypes, int sites,
                              float* forward, float* backward, float* scratch, SumOrder order) {
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
    const float inverse = 1 / sum_of(f, H, order);
    for (size_t h = 0; h < H; ++h) f[h] *= inverse;
  }
  std::fill(backward + (L - 1) * H, backward + L * H, 1.0f);
  for (size_t row = L - 1; row-- > 0;) {
    const float* e = emissions[row + 1];
    const float* after = backward + (row + 1) * H;
    float* b = backward + row * H;
    for (size_t h = 0; h < H; ++h) scratch[h] = e[h] * after[h];
    const float total = sum_of(scratch, H, order);
    const float stay = 1 - switches[row + 1], jump = switches[row + 1] * uniform * total;
    for (size_t h = 0; h < H; ++h) b[h] = stay * scratch[h] + jump;
    const float inverse = 1 / sum_of(b, H, order);
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

}  // namespace snp

#include "association/distributions.h"

#include <cmath>
#include <initializer_list>

namespace snp::association {
namespace {

// Continued fraction of the incomplete beta function (modified Lentz).
double beta_fraction(double x, double a, double b) {
  constexpr double tiny = 1e-300;
  constexpr double epsilon = 1e-15;
  double c = 1;
  double d = 1 - (a + b) * x / (a + 1);
  d = 1 / (std::abs(d) < tiny ? tiny : d);
  double h = d;
  for (int m = 1; m <= 1000; ++m) {
    const double m2 = 2.0 * m;
    for (const double numerator : {m * (b - m) * x / ((a + m2 - 1) * (a + m2)),
                                   -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1))}) {
      d = 1 + numerator * d;
      d = 1 / (std::abs(d) < tiny ? tiny : d);
      c = 1 + numerator / c;
      if (std::abs(c) < tiny) c = tiny;
      h *= d * c;
      if (numerator < 0 && std::abs(d * c - 1) < epsilon) return h;
    }
  }
  return h;
}

}  // namespace

double normal_two_sided(double z) { return std::erfc(std::abs(z) / std::sqrt(2.0)); }

double incomplete_beta(double x, double a, double b) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double log_front = std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x);
  if (x < (a + 1) / (a + b + 2)) return std::exp(log_front) * beta_fraction(x, a, b) / a;
  return 1 - std::exp(log_front) * beta_fraction(1 - x, b, a) / b;
}

double student_two_sided(double t, double df) {
  if (!std::isfinite(t)) return 0;
  return incomplete_beta(df / (df + t * t), df / 2, 0.5);
}

}  // namespace snp::association

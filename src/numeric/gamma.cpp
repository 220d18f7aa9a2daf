#include "numeric/gamma.h"

#include <cmath>

#include "base/errors.h"

namespace snp {
namespace {

constexpr int ITMAX = 200;
constexpr double EPS = 3e-7;
constexpr double FPMIN = 1e-30;

[[noreturn]] void bad_gammp_argument() {
  throw FatalError(" error for the input parameter in gammp function\n", Channel::standard_output);
}

// P(a, x) by the choosing rule; arguments already checked.
double lower_regularised(double a, double x, std::ostream& console) {
  double gln = 0.0;
  if (x < a + 1.0) {
    double gamser = 0.0;
    gser(&gamser, a, x, &gln, console);
    return gamser;
  }
  double gammcf = 0.0;
  gcf(&gammcf, a, x, &gln, console);
  return 1.0 - gammcf;
}

}  // namespace

double gammln(double xx) {
  static const double cof[6] = {76.18009172947146,     -86.50532032941678,    24.01409824083091,
                                -1.23173957240155,     0.001208650973866179, -5.395239384953e-06};
  double tmp = xx + 5.5;
  tmp -= (xx + 0.5) * std::log(tmp);
  double ser = 1.000000000190015;
  double y = xx;
  for (double c : cof) ser += c / ++y;
  return -tmp + std::log(2.5066282746310007 * ser / xx);
}

void gser(double* gamser, double a, double x, double* gln, std::ostream& console) {
  *gln = gammln(a);
  if (x <= 0.0) {
    if (x < 0.0) throw FatalError("error input parameter in routing gser\n", Channel::standard_output);
    *gamser = 0.0;
    return;
  }
  double ap = a;
  double del = 1.0 / a;
  double sum = del;
  for (int n = 1; n <= ITMAX; ++n) {
    ++ap;
    del *= x / ap;
    sum += del;
    if (std::fabs(del) < std::fabs(sum) * EPS) break;
    if (n == ITMAX) console << "a too large, ITMAX too small in routing gser" << std::endl;
  }
  // Without convergence the partial sum is scaled as a converged one would be.
  *gamser = sum * std::exp(-x + a * std::log(x) - *gln);
}

void gcf(double* gammcf, double a, double x, double* gln, std::ostream& console) {
  *gln = gammln(a);
  double b = x + 1.0 - a;
  double c = 1.0 / FPMIN;
  double d = 1.0 / b;
  double h = d;
  int i = 1;
  for (; i <= ITMAX; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < FPMIN) d = FPMIN;
    c = b + an / c;
    if (std::fabs(c) < FPMIN) c = FPMIN;
    d = 1.0 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1.0) < EPS) break;
  }
  if (i > ITMAX) console << "a too large, ITMAX too small in gcf" << std::endl;
  *gammcf = std::exp(-x + a * std::log(x) - *gln) * h;
}

double gammp(double a, double x, std::ostream& console) {
  if (x < 0.0 || a <= 0.0) bad_gammp_argument();
  return lower_regularised(a, x, console);
}

double pchisq(int df, double x, std::ostream& console) {
  const double a = 0.5 * df;
  const double y = 0.5 * x;
  if (y < 0.0 || a <= 0.0) bad_gammp_argument();
  return lower_regularised(a, y, console);
}

double chisq_upper_tail(int df, double x, std::ostream& console) {
  const double a = 0.5 * df;
  const double y = 0.5 * x;
  if (y < 0.0 || a <= 0.0) bad_gammp_argument();
  double gln = 0.0;
  if (y < a + 1.0) {
    double gamser = 0.0;
    gser(&gamser, a, y, &gln, console);
    return 1.0 - gamser;
  }
  double gammcf = 0.0;
  gcf(&gammcf, a, y, &gln, console);
  return gammcf;
}

}  // namespace snp

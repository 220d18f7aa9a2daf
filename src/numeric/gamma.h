// Regularised incomplete gamma function and chi-square p-values.
//
// Choosing rule used throughout: for x < a + 1 the power series (gser) gives
// P(a, x); from x = a + 1 on the continued fraction (gcf) gives Q = 1 - P.
// Both stop at a relative tolerance of 3e-7 after at most 200 steps.
// Non-fatal convergence notes are written to the given console stream.
#pragma once

#include <iostream>

namespace snp {

double gammln(double xx);
void gser(double* gamser, double a, double x, double* gln, std::ostream& console = std::cout);
void gcf(double* gammcf, double a, double x, double* gln, std::ostream& console = std::cout);
double gammp(double a, double x, std::ostream& console = std::cout);
// Lower-tail chi-square distribution function with df degrees of freedom.
double pchisq(int df, double x, std::ostream& console = std::cout);
// Upper-tail chi-square p-value, 1 - pchisq(df, x).
double chisq_upper_tail(int df, double x, std::ostream& console = std::cout);

}  // namespace snp

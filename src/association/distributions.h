// Two-sided p-values of the Wald statistics of the regression fits.
#pragma once

namespace snp::association {

// P(|Z| >= |z|) for a standard normal Z.
double normal_two_sided(double z);

// P(|T| >= |t|) for Student's T with `df` degrees of freedom (df > 0).
double student_two_sided(double t, double df);

// The regularized incomplete beta function I_x(a, b), 0 <= x <= 1.
double incomplete_beta(double x, double a, double b);

}  // namespace snp::association

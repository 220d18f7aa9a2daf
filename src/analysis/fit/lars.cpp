#include "analysis/fit/lars.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <ostream>

#include "analysis/state/formatting.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr int kNeverEntered = -1;
// Steps compared by the slow-progress rule.
constexpr int kProgressWindow = 10;
// A residual sum of squares below this share of the phenotype's is zero up
// to rounding: the fit is perfect.
constexpr double kZeroResidualShare = 1e-20;

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0.0;
  for (size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

double sum_of_squares(const std::vector<double>& v) { return dot(v, v); }

// The inactive column most correlated with the residual, and the largest
// |c| among the other inactive columns.
struct Candidate {
  int column = -1;
  double c = 0.0;
  double runner_up = 0.0;
};

Candidate best_inactive(const std::vector<std::vector<double>>& columns, const std::vector<double>& residual,
                        double sd, const std::vector<bool>& active) {
  Candidate best;
  for (size_t j = 0; j < columns.size(); ++j) {
    if (active[j]) continue;
    const double c = dot(columns[j], residual) / sd;
    if (best.column < 0 || std::abs(c) > std::abs(best.c)) {
      if (best.column >= 0) best.runner_up = std::max(best.runner_up, std::abs(best.c));
      best.column = static_cast<int>(j);
      best.c = c;
    } else {
      best.runner_up = std::max(best.runner_up, std::abs(c));
    }
  }
  return best;
}

std::vector<double> residual_of(const std::vector<std::vector<double>>& columns, const std::vector<double>& response,
                                const std::vector<double>& beta) {
  std::vector<double> residual = response;
  for (size_t j = 0; j < columns.size(); ++j) {
    if (beta[j] == 0.0) continue;
    for (size_t i = 0; i < residual.size(); ++i) residual[i] -= columns[j][i] * beta[j];
  }
  return residual;
}

void negate(std::vector<double>& column) {
  for (double& x : column) x = -x;
}

[[noreturn]] void unreadable_store() {
  throw FatalError("find error read output_X_Y.txt\n", Channel::standard_error);
}

}  // namespace

StoreShape read_store_shape(const std::string& path) {
  std::ifstream in(path);
  char c = 0;
  while (in >> c && c != 'p') {
  }
  std::string word;
  StoreShape shape;
  if (!in || !(in >> word) || word.compare(0, 3, "ara") != 0 || !(in >> shape.rows >> shape.columns))
    unreadable_store();
  if (shape.rows < 0 || shape.columns < 0)
    throw FatalError("find error in restore file output_X_Y.txt\nRow=" + std::to_string(shape.rows) +
                         " Col=" + std::to_string(shape.columns) + "\n",
                     Channel::standard_output);
  return shape;
}

Design read_design(const std::string& path, const StoreShape& shape) {
  std::ifstream in(path);
  if (!in) throw FatalError("When open file " + path + ", find error\n", Channel::standard_output);
  Design design;
  design.response.resize(static_cast<size_t>(shape.rows));
  design.columns.assign(static_cast<size_t>(shape.columns), std::vector<double>(static_cast<size_t>(shape.rows)));
  for (size_t i = 0; i < design.response.size(); ++i) {
    bool ok = static_cast<bool>(in >> design.response[i]);
    for (auto& column : design.columns) ok = ok && (in >> column[i]);
    if (!ok) throw FatalError("find error input file=" + path + ", find error\n", Channel::standard_output);
  }
  return design;
}

std::vector<double> standardise_columns(std::vector<std::vector<double>>& columns, std::ostream& out) {
  std::vector<double> scale;
  for (size_t j = 0; j < columns.size(); ++j) {
    auto& column = columns[j];
    out << "i=" << j + 1 << "\n";
    double mean = 0.0;
    for (const double x : column) mean += x;
    mean /= static_cast<double>(std::max<size_t>(column.size(), 1));
    out << "mean=" << fixed6(mean) << "\n";
    for (double& x : column) x -= mean;
    const double norm = std::sqrt(sum_of_squares(column));
    out << "Varance=" << fixed6(norm) << "\n";
    if (norm > 0.0)
      for (double& x : column) x /= norm;
    scale.push_back(sum_of_squares(column) / static_cast<double>(std::max<size_t>(column.size(), 1)));
  }
  return scale;
}

void write_beta_file(const std::string& path, const std::vector<double>& beta, const std::vector<double>& scale) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw FatalError("Error: cannot create " + path + "\n", Channel::standard_error);
  out << beta.size() << "\n" << std::count_if(beta.begin(), beta.end(), [](double b) { return b != 0.0; }) << "\n";
  for (size_t j = 0; j < beta.size(); ++j)
    if (beta[j] != 0.0) out << "beta[ " << j << " ]= " << beta[j] << " " << scale[j] << "\n";
  out.close();
  if (!out) throw FatalError("Error: cannot write " + path + "\n", Channel::standard_error);
}

LARS::LARS(std::ostream& out, int nRow, int nCol, std::string store_file, std::string beta_file)
    : out_(out),
      nRow_(nRow),
      nCol_(nCol),
      store_file_(std::move(store_file)),
      beta_file_(std::move(beta_file)) {}

double LARS::run() {
  std::ostream& out = out_;
  if (nRow_ == 0 || nCol_ == 0) {
    out << "There are error for reading input data\n";
    return kNoFit;
  }
  Design design = read_design(store_file_, {nRow_, nCol_});
  const std::vector<double> scale = standardise_columns(design.columns, out);
  auto& y = design.response;
  double mean = 0.0;
  int positive = 0;
  for (const double v : y) {
    mean += v;
    if (v > 0) ++positive;
  }
  mean /= nRow_;
  out << "Y >0 count=" << positive << " mean=" << mean << "\n";
  for (double& v : y) v -= mean;

  const FosResult fit = fos(design.columns, y);
  for (size_t j = 0; j < fit.beta.size(); ++j)
    if (fit.beta[j] != 0.0) out << "beta[" << j << "]=" << fit.beta[j] << "\n";
  int agreeing = 0;
  for (size_t i = 0; i < y.size(); ++i) {
    double fitted = 0.0;
    for (size_t j = 0; j < fit.beta.size(); ++j) fitted += design.columns[j][i] * fit.beta[j];
    if ((fitted >= 0 && y[i] > 0) || (fitted < 0 && y[i] < 0)) ++agreeing;
  }
  out << "correct rate=" << static_cast<double>(agreeing) / nRow_ << "\n";
  write_beta_file(beta_file_, fit.beta, scale);
  return fit.cp_ratio;
}

FosResult LARS::fos(std::vector<std::vector<double>>& columns, const std::vector<double>& response) {
  std::ostream& out = out_;
  FosResult result;
  result.beta.assign(columns.size(), 0.0);
  FosTrace trace = forward_steps(columns, response, result.beta);
  // A zero residual after the last step is a perfect fit as well.
  if (!trace.perfect && sigma2_ <= trace.rss.front() * kZeroResidualShare) {
    out << "Residual prediction error vector E[" << trace.K << "] is zero, at " << trace.K << " step !\n";
    trace.perfect = true;
  }
  if (trace.perfect) {
    result.stopstep = trace.K;
    result.cp_ratio = 0.0;
  } else {
    std::vector<double> cp;
    for (int i = 0; i <= trace.K; ++i) {
      cp.push_back(0.5 * i + (nRow_ - trace.K - 1) * trace.rss[static_cast<size_t>(i)] / sigma2_);
      out << "Cp[" << i << "]=" << cp.back() << "\n";
    }
    result.stopstep = static_cast<int>(std::min_element(cp.begin(), cp.end()) - cp.begin());
    for (size_t j = 0; j < columns.size(); ++j)
      if (trace.entry[j] > result.stopstep) result.beta[j] = 0.0;
    result.cp_ratio = cp[static_cast<size_t>(result.stopstep)] / cp[0];
  }
  for (size_t j = 0; j < columns.size(); ++j) {
    if (!trace.reversed[j]) continue;
    negate(columns[j]);
    result.beta[j] = -result.beta[j];
  }
  out << "stopstep=" << result.stopstep << "\n" << "Cp return value=" << result.cp_ratio << "\n";
  return result;
}

LARS::FosTrace LARS::forward_steps(std::vector<std::vector<double>>& columns, const std::vector<double>& response,
                                   std::vector<double>& beta) {
  std::ostream& out = out_;
  const auto p = columns.size();
  FosTrace trace;
  trace.rss.push_back(sum_of_squares(response));
  trace.entry.assign(p, kNeverEntered);
  trace.reversed.assign(p, false);
  std::vector<double> residual = response;
  std::vector<double> m;  // largest |c| left among inactive columns after each step
  std::vector<bool> active(p, false);
  const int max_steps = std::min({step_room_ - 1, nCol_, nRow_});
  for (int s = 0;; ++s) {
    trace.K = s;
    if (trace.rss.back() <= trace.rss.front() * kZeroResidualShare) {
      out << "Residual prediction error vector E[" << s << "] is zero, at " << s << " step !\n";
      trace.perfect = true;
      return trace;
    }
    const double sd = std::sqrt(trace.rss.back() / std::max(nRow_ - 1, 1));
    Candidate best = best_inactive(columns, residual, sd, active);
    // No inactive column is related to the residual: nothing more to fit.
    if (best.column < 0 || best.c == 0.0) return trace;
    const auto j = static_cast<size_t>(best.column);
    if (best.c < 0) {
      // Fit the column with its sign reversed; restored at the end.
      out << "reverse column " << j << "\n";
      negate(columns[j]);
      trace.reversed[j] = true;
      best.c = -best.c;
    }
    active[j] = true;
    m.push_back(best.runner_up);
    beta[j] = sd * best.c;
    trace.entry[j] = s + 1;
    out << "step " << s << " column " << j << " beta=" << beta[j] << "\n";
    residual = residual_of(columns, response, beta);
    trace.rss.push_back(sum_of_squares(residual));
    const auto now = static_cast<size_t>(s);
    if (s > 0 && trace.rss[now + 1] > trace.rss[now]) return trace;
    sigma2_ = trace.rss[now + 1];
    out << "k=" << s + 1 << "," << c_format("error=%15.13f", sigma2_ / nRow_) << " nRow=" << nRow_
        << " E2[k] =" << fixed6(sigma2_) << " sigma2=" << fixed6(sigma2_) << "\n\n";
    trace.K = s + 1;
    if (s > kProgressWindow) {
      const auto back = now - kProgressWindow;
      if (m[back] - m[now] < m[0] * correlation_tolerance_ ||
          trace.rss[back] - trace.rss[now] < trace.rss[0] * error_tolerance_)
        return trace;
    }
    if (std::all_of(active.begin(), active.end(), [](bool a) { return a; }) || s + 1 >= max_steps) return trace;
  }
}

}  // namespace snp

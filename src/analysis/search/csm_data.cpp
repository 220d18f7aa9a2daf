// A data set made ready for the search: its phenotypes and genotypes read
// from the input with the missing genotypes drawn from the marker's
// frequencies, the cases ordered first and the phenotype centred.
#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>

#include "analysis/search/csm.h"
#include "analysis/state/formatting.h"
#include "analysis/state/work_files.h"
#include "base/errors.h"

namespace snp {
namespace {

constexpr int kShownIndividuals = 10;

}  // namespace

int CSM::read_data_set(int r, const AnalysisInput& input) {
  const int N = p_.sample_size;
  const int M = p_.number_of_markers;
  std::ostream& out = io_.out;
  const auto set_label = "data set " + std::to_string(r);
  if (r < 0 || r >= static_cast<int>(input.phenotypes.size()) || r >= static_cast<int>(input.columns.size()))
    throw InputError(InputProblem::inconsistent, "Error: " + set_label + ": no phenotype row or marker-column row\n");
  const auto& phenotypes = input.phenotypes[static_cast<size_t>(r)];
  const auto& columns = input.columns[static_cast<size_t>(r)];
  if (static_cast<int>(phenotypes.size()) < N)
    throw InputError(InputProblem::inconsistent, "Error: " + set_label + ": the phenotype row holds " +
                                                     std::to_string(phenotypes.size()) + " values, Sample_size is " +
                                                     std::to_string(N) + "\n");
  if (static_cast<int>(columns.size()) < M)
    throw InputError(InputProblem::inconsistent, "Error: " + set_label + ": the marker-column row holds " +
                                                     std::to_string(columns.size()) +
                                                     " columns, Number_of_markers is " + std::to_string(M) + "\n");
  if (static_cast<int>(input.genotypes.size()) < N)
    throw InputError(InputProblem::inconsistent, "Error: the genotype table holds " +
                                                     std::to_string(input.genotypes.size()) +
                                                     " individuals, Sample_size is " + std::to_string(N) + "\n");

  quantitative_ = false;
  for (int i = 1; i <= N; ++i) {
    const double value = phenotypes[static_cast<size_t>(i - 1)];
    phenotype_[i] = value;
    if (std::abs(value) > 0.0001 && std::abs(value - 1.0) > 0.0001) {
      out << "yy[i]=" << fixed6(value) << "\n";
      quantitative_ = true;
    }
  }
  for (int i = 1; i <= N; ++i) {
    const auto& row = input.genotypes[static_cast<size_t>(i - 1)];
    missing_[static_cast<size_t>(i)].clear();
    for (int j = 1; j <= M; ++j) {
      const int column = columns[static_cast<size_t>(j - 1)];
      if (column < 0 || column >= static_cast<int>(row.size()))
        throw InputError(InputProblem::inconsistent, "Error: " + set_label + ": marker " + std::to_string(j) +
                                                         " uses genotype column " + std::to_string(column) +
                                                         ", individual " + std::to_string(i) + " has " +
                                                         std::to_string(row.size()) + " columns\n");
      const int code = row[static_cast<size_t>(column)];
      if (code < -1 || code > 2) {
        out << "Data XX or parameter file(=" << kParameterFile << ") have some wrong  read marker gene=" << code
            << "\n";
        return -1;
      }
      genotype_[i][j] = code;
    }
  }
  for (int j = 1; j <= M; ++j) {
    int counts[4] = {0, 0, 0, 0};  // -1, 0, 1, 2
    for (int i = 1; i <= N; ++i) ++counts[genotype_[i][j] + 1];
    const int typed = N - counts[0];
    // With nothing typed the frequencies stay 0 and every genotype becomes 2.
    const double f0 = typed > 0 ? static_cast<double>(counts[1]) / typed : 0.0;
    const double f1 = typed > 0 ? static_cast<double>(counts[2]) / typed : 0.0;
    for (int i = 1; i <= N; ++i) {
      if (genotype_[i][j] != -1) continue;
      missing_[static_cast<size_t>(i)].set(static_cast<unsigned>(j));
      const double u = rand1(io_.generator);
      genotype_[i][j] = u <= f0 ? 0 : (u <= f0 + f1 ? 1 : 2);
    }
  }
  out << "read data finished\n";
  return 0;
}

void CSM::swap_individuals(int a, int b) {
  const int M = p_.number_of_markers;
  std::swap_ranges(genotype_[a].data(), genotype_[a].data() + M, genotype_[b].data());
  std::swap(phenotype_[a], phenotype_[b]);
  std::swap(missing_[static_cast<size_t>(a)], missing_[static_cast<size_t>(b)]);
}

void CSM::order_cases_first() {
  const int N = p_.sample_size;
  int C = 0;
  for (int i = 1; i <= N; ++i)
    if (phenotype_[i] > 0) ++C;
  int front = 1;
  int back = C + 1;
  for (;;) {
    while (front <= C && phenotype_[front] > 0) ++front;
    if (front > C) break;
    while (back <= N && !(phenotype_[back] > 0)) ++back;
    swap_individuals(front, back);
  }
  // Move the second half of the cases into the second half of the sample.
  for (int u = C / 2 + 1, v = N / 2 + 1; u <= C && v <= N; ++u, ++v) swap_individuals(u, v);
  case_count_ = C;
}

void CSM::centre_phenotype() {
  const int N = p_.sample_size;
  const int M = p_.number_of_markers;
  std::ostream& out = io_.out;
  double mean = 0.0;
  for (int i = 1; i <= N; ++i) mean += phenotype_[i];
  mean /= N;
  out << "mean=" << mean << "\n";
  double squares = 0.0;
  for (int i = 1; i <= N; ++i) {
    phenotype_[i] -= mean;
    squares += phenotype_[i] * phenotype_[i];
  }
  variance_ = squares / N;
  for (int i = 1; i <= std::min(kShownIndividuals, N); ++i) {
    out << "Y=" << phenotype_[i] << " X=";
    for (int j = 1; j <= std::min(kShownIndividuals, M); ++j) out << genotype_[i][j] << ' ';
    out << "\n";
  }
}

int CSM::prepare_data_set(int r, const AnalysisInput& input) {
  if (read_data_set(r, input) != 0) return -1;
  const int N = p_.sample_size;
  const int shown = std::min(kShownIndividuals, p_.number_of_markers);
  first_ten_first_.assign(static_cast<size_t>(shown), 0);
  first_ten_last_.assign(static_cast<size_t>(shown), 0);
  for (int j = 1; j <= shown; ++j) {
    first_ten_first_[static_cast<size_t>(j - 1)] = genotype_[1][j];
    first_ten_last_[static_cast<size_t>(j - 1)] = genotype_[N][j];
  }
  order_cases_first();
  centre_phenotype();
  return 0;
}

}  // namespace snp

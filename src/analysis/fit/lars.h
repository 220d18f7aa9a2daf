// analysis/fit: the model fit and its base learners.
//
// The model fit: a sparse linear model over the 0/1 indicator columns of the
// store file, built by greedy forward selection (one column per step) with
// the number of steps chosen by a Cp criterion.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace snp {

// The design of a store file: the centred phenotype and one array per
// indicator column.
struct Design {
  std::vector<double> response;
  std::vector<std::vector<double>> columns;
};

// Row and column counts from the "para" line of a store file.
struct StoreShape {
  int rows = 0;
  int columns = 0;
};

// Reads the "para" line of the store file `path`.
StoreShape read_store_shape(const std::string& path);
// Reads `shape.rows` rows of phenotype and `shape.columns` indicators.
Design read_design(const std::string& path, const StoreShape& shape);

// Coefficients of one fit, by column, and the fit's Cp ratio.
struct FosResult {
  double cp_ratio = 0.0;
  std::vector<double> beta;
  int stopstep = 0;
};

class LARS {
 public:
  // Fits nRow rows and nCol columns of `store_file` and writes the nonzero
  // coefficients to `beta_file`.
  LARS(std::ostream& out, int nRow, int nCol, std::string store_file, std::string beta_file);

  // Reads, standardises and fits the design; writes the coefficient file.
  // Returns the Cp ratio of the chosen model to the empty model, or
  // 2147483647 for an empty design.
  double run();
  // Forward selection on standardised `columns`; columns reversed during the
  // fit are restored before it returns.
  FosResult fos(std::vector<std::vector<double>>& columns, const std::vector<double>& response);

  static constexpr double kNoFit = 2147483647.0;

 private:
  // What the steps leave for the Cp choice: residual sums of squares after
  // 0..K steps, the step each column entered at, the reversed columns.
  struct FosTrace {
    std::vector<double> rss;
    std::vector<int> entry;
    std::vector<bool> reversed;
    int K = 0;
    bool perfect = false;  // the residual became zero
  };
  FosTrace forward_steps(std::vector<std::vector<double>>& columns, const std::vector<double>& response,
                         std::vector<double>& beta);

  std::ostream& out_;
  int nRow_;
  int nCol_;
  int step_room_ = 50;
  double correlation_tolerance_ = 0.05;
  double error_tolerance_ = 0.01;
  std::string store_file_;
  std::string beta_file_;
  double sigma2_ = 0.0;
};

// Centres every column and scales it to unit length (when not constant);
// returns per column the mean of its squared entries afterwards.
std::vector<double> standardise_columns(std::vector<std::vector<double>>& columns, std::ostream& out);

// The coefficient file: column count, nonzero count, then one
// "beta[ j ]= coefficient scale" line per nonzero coefficient.
void write_beta_file(const std::string& path, const std::vector<double>& beta, const std::vector<double>& scale);

}  // namespace snp

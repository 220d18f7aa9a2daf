// Vectors and matrices with inclusive, arbitrary index bounds.
//
// A matrix for rows nrl..nrh and columns ncl..nch owns one separate block per
// row, so rows can be released or replaced one by one. Cells start at zero.
// Running out of memory never returns to the caller: the creation functions
// throw AllocationError, which the program's edge reports as the three-line
// run-time error block and exit status 1.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/errors.h"

namespace snp {

[[noreturn]] void nrerror(const std::string& message);

template <class T>
class BoundedVector {
 public:
  BoundedVector() = default;
  BoundedVector(int nl, int nh, const char* failure_message) : low_(nl), high_(nh) {
    const long count = static_cast<long>(nh) - nl + 1;
    if (count < 0) nrerror(failure_message);
    cells_.reset(new (std::nothrow) T[static_cast<size_t>(count) + (count == 0)]());
    if (!cells_) nrerror(failure_message);
  }
  T& operator[](int i) { return cells_[static_cast<size_t>(i - low_)]; }
  const T& operator[](int i) const { return cells_[static_cast<size_t>(i - low_)]; }
  bool allocated() const { return cells_ != nullptr; }
  int low() const { return low_; }
  int high() const { return high_; }
  void release() { cells_.reset(); }

 private:
  int low_ = 0;
  int high_ = -1;
  std::unique_ptr<T[]> cells_;
};

template <class T>
class BoundedMatrix {
 public:
  class Row {
   public:
    Row(T* cells, int low) : cells_(cells), low_(low) {}
    T& operator[](int j) const { return cells_[j - low_]; }
    // Address of the cell of the lowest column index.
    T* data() const { return cells_; }

   private:
    T* cells_;
    int low_;
  };

  BoundedMatrix() = default;
  BoundedMatrix(int nrl, int nrh, int ncl, int nch)
      : row_low_(nrl), row_high_(nrh), col_low_(ncl), col_high_(nch) {
    const long row_count = static_cast<long>(nrh) - nrl + 1;
    if (row_count < 0) nrerror("allocation failure 1 in matrix()");
    try {
      rows_.resize(static_cast<size_t>(row_count));
    } catch (const std::bad_alloc&) {
      nrerror("allocation failure 1 in matrix()");
    }
    const long cell_count = static_cast<long>(nch) - ncl + 1;
    for (auto& row : rows_) {
      if (cell_count >= 0)
        row.reset(new (std::nothrow) T[static_cast<size_t>(cell_count) + (cell_count == 0)]());
      if (!row) nrerror("allocation failure 2 in matrix()");
    }
  }

  Row operator[](int i) const { return Row(rows_[static_cast<size_t>(i - row_low_)].get(), col_low_); }
  int row_low() const { return row_low_; }
  int row_high() const { return row_high_; }
  int col_low() const { return col_low_; }
  int col_high() const { return col_high_; }
  size_t row_count() const { return rows_.size(); }
  bool row_allocated(int i) const { return rows_[static_cast<size_t>(i - row_low_)] != nullptr; }
  void release_row(int i) { rows_[static_cast<size_t>(i - row_low_)].reset(); }
  // Releases rows from the highest index down, then the row table.
  void release() {
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) it->reset();
    rows_.clear();
    rows_.shrink_to_fit();
  }

 private:
  int row_low_ = 0;
  int row_high_ = -1;
  int col_low_ = 0;
  int col_high_ = -1;
  std::vector<std::unique_ptr<T[]>> rows_;
};

using DoubleMatrix = BoundedMatrix<double>;
using CharMatrix = BoundedMatrix<std::int8_t>;
using IntMatrix = BoundedMatrix<std::int32_t>;
using DoubleVector = BoundedVector<double>;
using IntVector = BoundedVector<std::int32_t>;

DoubleMatrix matrix(int nrl, int nrh, int ncl, int nch);
CharMatrix cmatrix(int nrl, int nrh, int ncl, int nch);
IntMatrix imatrix(int nrl, int nrh, int ncl, int nch);
DoubleVector dvector(int nl, int nh);
IntVector ivector(int nl, int nh);

void free_matrix(DoubleMatrix& m, int nrl, int nrh, int ncl, int nch);
void free_cmatrix(CharMatrix& m, int nrl, int nrh, int ncl, int nch);
void free_imatrix(IntMatrix& m, int nrl, int nrh, int ncl, int nch);
// Releasing a vector that holds no block is a programming error and stops the run.
void free_dvector(DoubleVector& v, int nl, int nh);
void free_ivector(IntVector& v, int nl, int nh);

}  // namespace snp

// Matrix of 8-bit genotype or allele codes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "numeric/arrays.h"
#include "numeric/cell_allocator.h"

namespace snp {

// Logical rows (individuals or haplotypes) by marker columns of 8-bit codes.
// Allocated for rows 0..row_high and columns 0..col_high inclusive (the last
// row and column are spare). Cells are stored marker by marker so that one
// marker's codes over all rows are contiguous: every phase reads markers
// across all individuals far more often than an individual across markers.
// A matrix may hold a window of the marker axis, columns first_column() on;
// the columns before it are not stored and must not be accessed.
class CodeMatrix {
 public:
  CodeMatrix() = default;
  CodeMatrix(int row_high, int col_high, std::int8_t fill = 0) { allocate(row_high, col_high, fill); }

  void allocate(int row_high, int col_high, std::int8_t fill = 0) {
    if (row_high < -1 || col_high < -1) nrerror("allocation failure 1 in matrix()");
    rows_ = row_high + 1;
    cols_ = col_high + 1;
    first_ = 0;
    try {
      cells_.assign(static_cast<size_t>(rows_) * static_cast<size_t>(cols_), fill);
    } catch (const std::bad_alloc&) {
      nrerror("allocation failure 2 in matrix()");
    }
  }
  // As allocate, but for the columns first_col..col_high only, and with the
  // cells of rows 0..row_high-1 in columns first_col..col_high-1 left for the
  // caller to write (the spare row and column are 0).
  void allocate_unfilled(int row_high, int col_high, int first_col = 0) {
    if (row_high < -1 || col_high < -1 || first_col < 0 || first_col > col_high + 1)
      nrerror("allocation failure 1 in matrix()");
    rows_ = row_high + 1;
    cols_ = col_high + 1 - first_col;
    first_ = first_col;
    try {
      cells_.clear();
      cells_.resize(static_cast<size_t>(rows_) * static_cast<size_t>(cols_));
    } catch (const std::bad_alloc&) {
      nrerror("allocation failure 2 in matrix()");
    }
    if (rows_ == 0 || cols_ == 0) return;
    for (int col = first_col; col < col_high; ++col) (*this)(row_high, col) = 0;
    std::fill_n(column(col_high), rows_, std::int8_t{0});
  }
  void release() {
    cells_.clear();
    cells_.shrink_to_fit();
    rows_ = cols_ = first_ = 0;
  }

  std::int8_t& operator()(int row, int col) { return cells_[index(row, col)]; }
  std::int8_t operator()(int row, int col) const { return cells_[index(row, col)]; }
  // All allocated rows of one marker column, contiguous.
  std::int8_t* column(int col) { return cells_.data() + index(0, col); }
  const std::int8_t* column(int col) const { return cells_.data() + index(0, col); }
  int allocated_rows() const { return rows_; }
  int allocated_columns() const { return cols_; }
  int first_column() const { return first_; }
  // One past the last column held before the spare one.
  int end_column() const { return first_ + cols_ - 1; }

 private:
  size_t index(int row, int col) const {
    return static_cast<size_t>(col - first_) * static_cast<size_t>(rows_) + static_cast<size_t>(row);
  }
  int rows_ = 0;
  int cols_ = 0;
  int first_ = 0;
  std::vector<std::int8_t, CellAllocator<std::int8_t>> cells_;
};

}  // namespace snp

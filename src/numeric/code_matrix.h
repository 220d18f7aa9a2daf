// Matrix of 8-bit genotype or allele codes.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "numeric/arrays.h"

namespace snp {

// Logical rows (individuals or haplotypes) by marker columns of 8-bit codes.
// Allocated for rows 0..row_high and columns 0..col_high inclusive (the last
// row and column are spare). Cells are stored marker by marker so that one
// marker's codes over all rows are contiguous: every phase reads markers
// across all individuals far more often than an individual across markers.
class CodeMatrix {
 public:
  CodeMatrix() = default;
  CodeMatrix(int row_high, int col_high, std::int8_t fill = 0) { allocate(row_high, col_high, fill); }

  void allocate(int row_high, int col_high, std::int8_t fill = 0) {
    if (row_high < -1 || col_high < -1) nrerror("allocation failure 1 in matrix()");
    rows_ = row_high + 1;
    cols_ = col_high + 1;
    try {
      cells_.assign(static_cast<size_t>(rows_) * static_cast<size_t>(cols_), fill);
    } catch (const std::bad_alloc&) {
      nrerror("allocation failure 2 in matrix()");
    }
  }
  void release() {
    cells_.clear();
    cells_.shrink_to_fit();
    rows_ = cols_ = 0;
  }

  std::int8_t& operator()(int row, int col) { return cells_[index(row, col)]; }
  std::int8_t operator()(int row, int col) const { return cells_[index(row, col)]; }
  // All allocated rows of one marker column, contiguous.
  std::int8_t* column(int col) { return cells_.data() + index(0, col); }
  const std::int8_t* column(int col) const { return cells_.data() + index(0, col); }
  int allocated_rows() const { return rows_; }
  int allocated_columns() const { return cols_; }

 private:
  size_t index(int row, int col) const {
    return static_cast<size_t>(col) * static_cast<size_t>(rows_) + static_cast<size_t>(row);
  }
  int rows_ = 0;
  int cols_ = 0;
  std::vector<std::int8_t> cells_;
};

}  // namespace snp

// Allocator of large code matrices: cells are not zeroed where their reader
// writes every one anyway, and blocks of megabytes go on transparent huge
// pages, so that the first touch of a panel-sized matrix costs hundreds of
// page faults rather than hundreds of thousands.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace snp {

template <class T>
class CellAllocator {
 public:
  using value_type = T;
  CellAllocator() = default;
  template <class U>
  CellAllocator(const CellAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kHugePage) return std::allocator<T>{}.allocate(n);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* cells = std::aligned_alloc(kHugePage, rounded);
    if (cells == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(cells, rounded, MADV_HUGEPAGE);  // advice only: without huge pages the cells work the same
#endif
    return static_cast<T*>(cells);
  }
  void deallocate(T* cells, std::size_t n) noexcept {
    if (n * sizeof(T) < kHugePage)
      std::allocator<T>{}.deallocate(cells, n);
    else
      std::free(cells);
  }
  // Default initialisation: resize leaves new cells unwritten.
  template <class U>
  void construct(U* cell) noexcept {
    ::new (static_cast<void*>(cell)) U;
  }
  template <class U, class... Args>
  void construct(U* cell, Args&&... args) {
    ::new (static_cast<void*>(cell)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const CellAllocator<U>&) const noexcept {
    return true;
  }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
};

}  // namespace snp

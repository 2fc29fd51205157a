// The packed strict lower triangle of a proximity matrix: the pair of items
// i > j (1-based) sits at (i-1)(i-2)/2 + j, so row i is one contiguous run of
// i-1 values and a kernel that visits i = 2..N, j = 1..i-1 walks the array
// once from start to end.
#pragma once

#include <cstddef>
#include <span>

#include "host/tavixwcom.h"

namespace triangle {

// Entries of the triangle of n items.
constexpr Word size(Word n) { return n * (n - 1) / 2; }

// 0-based position of the first value of row i (1-based, i >= 2).
constexpr std::size_t rowStart(Word i) { return static_cast<std::size_t>((i - 1) * (i - 2) / 2); }

// The value of items i and j (1-based, i != j) in either order.
inline double& at(std::span<double> t, Word i, Word j) {
  if (i < j) std::swap(i, j);
  return t[rowStart(i) + static_cast<std::size_t>(j - 1)];
}
inline double at(std::span<const double> t, Word i, Word j) {
  if (i < j) std::swap(i, j);
  return t[rowStart(i) + static_cast<std::size_t>(j - 1)];
}

}  // namespace triangle

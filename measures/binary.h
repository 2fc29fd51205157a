// The 27 binary measures, computed from the 2 x 2 table of matches a, b, c, d
// of two items: a kernel that counts present values per feature, the
// finishing step, and the measure formulas themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "host/tavixwcom.h"

// Counts the present values of one feature: G(i) += 1 for every item with
// the present value, T(i, j) += 1 for every pair that both have it.
void proacc_binary(std::span<const double> x, std::span<double> t, std::span<double> g,
                   Word present, std::span<Logical> presentFlags);
// Replaces each pair's joint count by the measure and G by the self-proximity.
void profinish_binary(std::span<double> t, std::span<double> g, Word features, Word code);

// One measure; system-missing where it is undefined.
double probinary_measure(Word code, double a, double b, double c, double d);
// An item with itself (b = c = 0).
double probinary_self(Word code, double a, double b, double c, double d);

// The measure of a pair as a function of whole counts: the joint count a and
// the two items' counts of present values, each at most F. It holds a slice
// of (F+1) x (F+1) values for each count of the later item that occurs, each
// value computed by the same formula as the finishing step.
class BinaryMeasureTable {
 public:
  // Whether the table for F features is small enough to build.
  static bool fits(std::size_t features);
  BinaryMeasureTable(Word code, std::size_t features, std::span<const std::uint32_t> counts);
  // The slice of a later item with this count, indexed by index(a, count of the earlier).
  const double* forItem(std::uint32_t count) const {
    return &values_[slices_[count] * side_ * side_];
  }
  std::size_t index(std::uint32_t both, std::uint32_t other) const { return both * side_ + other; }

 private:
  std::size_t side_;
  std::vector<std::size_t> slices_;  // by item count
  std::vector<double> values_;
};

// A fixed group of doubles handled together, for the kernels that work on
// several pairs at once. Each lane is rounded exactly as a scalar double, so
// code written once for `double` and for `Lanes` gives the same bits in both;
// the compiler maps a group to whatever vector registers the running clone
// has (two 256-bit halves, one 512-bit register, or four 128-bit parts).
// Every function that takes or returns a group must be always inlined: a
// group passed in a call between code compiled for different processors
// would travel in different registers on each side.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr std::size_t kLanes = 8;
using Lanes = double __attribute__((vector_size(kLanes * sizeof(double))));
using LaneBits = std::int64_t __attribute__((vector_size(kLanes * sizeof(double))));

// |v|, lane by lane: the sign bit cleared, as fabs does.
inline double magnitude(double v) { return std::fabs(v); }
[[gnu::always_inline]] inline Lanes magnitude(Lanes v) {
  constexpr std::int64_t kNoSign = 0x7fffffffffffffff;
  return reinterpret_cast<Lanes>(reinterpret_cast<LaneBits>(v) & kNoSign);
}

[[gnu::always_inline]] inline Lanes loadLanes(const double* from) {
  Lanes out;
  std::memcpy(&out, from, sizeof out);
  return out;
}
[[gnu::always_inline]] inline void storeLanes(double* to, Lanes v) {
  std::memcpy(to, &v, sizeof v);
}

// A fixed group of doubles handled together, for the kernels that work on
// several pairs at once. Each lane is rounded exactly as a scalar double, so
// code written once for `double` and for `Lanes` gives the same bits in both;
// the compiler maps a group to whatever vector registers the running clone
// has (one 256-bit register, or two 128-bit parts).
//
// Four lanes, not eight: a group wider than the clone's registers is lowered
// by GCC through memory, the sums held across a loop spilled and reloaded on
// every feature, which made the 256-bit clone several times slower than its
// registers allow (VIEW=VARIABLE EUCLID over 100 variables 3.5x, VIEW=CASE
// 2.7x on a processor without 512-bit vectors). Four lanes fill a 256-bit
// register exactly; a 512-bit processor runs them at half its width.
// Every function that takes or returns a group must be always inlined: a
// group passed in a call between code compiled for different processors
// would travel in different registers on each side.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr std::size_t kLanes = 4;
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

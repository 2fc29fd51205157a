// Base-2 logarithm and exponential, and the general integer power, computed
// with nothing but IEEE additions, multiplications and divisions in a fixed
// order. The C library's versions pick a different code path on processors
// with fused multiply-add and then round differently in the last bit, so a
// distance computed with them would depend on the machine. These give the
// same bits everywhere, and being branch-free they vectorize in the root loop.
//
// The polynomials are the classic minimax ones of the freely distributable
// fdlibm library (log: Lg1..Lg7, exp: P1..P5). Both functions stay within
// about one unit in the last place of the exact value (tests/unit checks this
// against long double).
#pragma once

#include <bit>
#include <cstdint>

#include "host/tavixwcom.h"

namespace portable {

// 2^52 + 2^51: adding it rounds a double of magnitude below 2^51 to a whole
// number, which then sits in the low bits of the sum.
inline constexpr double kRoundingShift = 6755399441055744.0;

// x as a double-double hi + lo with exactly hi * y: Veltkamp's split of y
// (27 bits of each half) makes the partial products exact without fused
// multiply-add.
struct Split {
  double hi;
  double lo;
};
[[gnu::always_inline]] inline Split split(double y) {
  const double c = 134217729.0 * y;  // 2^27 + 1
  const double hi = c - (c - y);
  return {hi, y - hi};
}

// log2(s) for a positive finite s.
[[gnu::always_inline]] inline double log2(double s) {
  constexpr double kTwo54 = 18014398509481984.0;
  constexpr double kLg1 = 6.666666666666735130e-01, kLg2 = 3.999999999940941908e-01,
                   kLg3 = 2.857142874366239149e-01, kLg4 = 2.222219843214978396e-01,
                   kLg5 = 1.818357216161805012e-01, kLg6 = 1.531383769920937332e-01,
                   kLg7 = 1.479819860511658591e-01;
  // 1/ln 2 as a 33-bit head and its tail.
  constexpr double kInvLn2Hi = 1.44269504072144627571e+00, kInvLn2Lo = 1.67517131648865118353e-10;

  // Subnormals are scaled into the normal range first.
  // (Both are formed so that the loops over many values need no branch.)
  const bool tiny = s < 2.2250738585072014e-308;
  const double scaled = s * kTwo54;
  const double x = tiny ? scaled : s;
  const auto bits = std::bit_cast<std::uint64_t>(x);
  // The significand m in [sqrt(1/2), sqrt(2)) and the exponent k, so x = m 2^k.
  const std::uint64_t mantissa = bits & 0x000fffffffffffffULL;
  const std::uint64_t above =
      static_cast<std::int64_t>(mantissa) > 0x6a09e667f3bcd ? 1 : 0;  // m > sqrt(2)
  const double m = std::bit_cast<double>(mantissa | ((1023 - above) << 52));
  const std::uint64_t biased = (bits >> 52) + above;
  const double k = std::bit_cast<double>(0x4330000000000000ULL | biased) - 4503599627370496.0 -
                   (tiny ? 1023.0 + 54.0 : 1023.0);

  // log(1 + f) = f - f^2/2 + s (f^2/2 + R(s^2)) with s = f / (2 + f).
  const double f = m - 1.0;  // exact
  const double hfsq = 0.5 * f * f;
  const double q = f / (2.0 + f);
  const double z = q * q;
  const double w = z * z;
  const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  const double r = q * (hfsq + (t2 + t1));

  // f - hfsq split into a 21-bit head and a tail, so the head times the
  // 33-bit head of 1/ln 2 is exact.
  const double hi =
      std::bit_cast<double>(std::bit_cast<std::uint64_t>(f - hfsq) & 0xffffffff00000000ULL);
  const double lo = (f - hi) - hfsq + r;
  double valueHi = hi * kInvLn2Hi;
  double valueLo = (lo + hi) * kInvLn2Lo + lo * kInvLn2Hi;
  const double sum = k + valueHi;
  valueLo += (k - sum) + valueHi;
  valueHi = sum;
  return valueLo + valueHi;
}

// 2^y for |y| below 1000 (the result is then a normal number).
[[gnu::always_inline]] inline double exp2(double y) {
  constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
  constexpr double kP1 = 1.66666666666666019037e-01, kP2 = -2.77777777770155933842e-03,
                   kP3 = 6.61375632143793436117e-05, kP4 = -1.65339022054652515390e-06,
                   kP5 = 4.13813679705723846039e-08;
  // y = n + r with a whole n and |r| <= 1/2; r is exact.
  const double shifted = y + kRoundingShift;
  const double n = shifted - kRoundingShift;
  const double r = y - n;
  const auto scale = std::bit_cast<double>((std::bit_cast<std::uint64_t>(shifted) + 1023) << 52);

  // x = r ln 2 as hi - lo, exactly to about 2^-80: the head r * kLn2Hi is
  // formed from split halves so its rounding error is known.
  const Split rs = split(r);
  const Split ls = split(kLn2Hi);
  const double head = r * kLn2Hi;
  const double error = ((rs.hi * ls.hi - head) + rs.hi * ls.lo + rs.lo * ls.hi) + rs.lo * ls.lo;
  const double hi = head;
  const double lo = -(error + r * kLn2Lo);
  const double x = hi - lo;

  // e^x = 1 + x + x c / (2 - c) with c = x - x^2 P(x^2), computed as fdlibm does.
  const double t = x * x;
  const double c = x - t * (kP1 + t * (kP2 + t * (kP3 + t * (kP4 + t * kP5))));
  const double e = 1.0 - ((lo - (x * c) / (2.0 - c)) - hi);
  return e * scale;
}

// a^p for a >= 0 and a whole p >= 1, by binary powering: the squarings and
// products follow the bits of p, always in the same order.
template <typename T>
[[gnu::always_inline]] inline T integer_power(T a, Word p) {
  T result = a;
  T square = a;
  bool first = true;
  for (auto rest = static_cast<std::uint64_t>(p); rest != 0; rest >>= 1) {
    if ((rest & 1) != 0) {
      result = first ? square : result * square;
      first = false;
    }
    if (rest > 1) square *= square;
  }
  return result;
}

}  // namespace portable

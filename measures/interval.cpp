#include "measures/interval.h"

#include <cmath>

#include "measures/triangle.h"
#include "measures/vector_clones.h"

namespace {

// Calls pair(t_ij, x_i, x_j) for i = 2..N, j = 1..i-1, walking T in order.
template <typename Pair>
void forEachPair(std::span<const double> x, std::span<double> t, Pair pair) {
  const std::size_t n = x.size();
  double* out = t.data();
  for (std::size_t i = 1; i < n; ++i) {
    const double xi = x[i];
    for (std::size_t j = 0; j < i; ++j) pair(*out++, xi, x[j]);
  }
}

template <Word P>
void accumulatePower(std::span<const double> x, std::span<double> t) {
  forEachPair(x, t, [](double& s, double xi, double xj) { s += prointeger_power(xi - xj, P); });
}

// The root of one sum s as 2^(log2(s)/r), with log2(s) divided by r through
// `divide`: 0 for a sum that is not positive (or not a number), an infinite
// sum stays infinite. Branch-free, so the loop over T vectorizes.
template <typename Divide>
[[gnu::always_inline]] inline double rootOf(double s, Divide divide) {
  const bool positive = s > 0.0;
  const bool finite = s <= 1.7976931348623157e308;
  const double value = portable::exp2(divide(portable::log2((positive & finite) ? s : 1.0)));
  const double kept = finite ? value : s;
  return positive ? kept : 0.0;
}
// The root of every entry of a stretch of T, for r >= 2. Dividing by a power
// of two is exact, like multiplying by its inverse, which is much cheaper and
// gives the same bits.
[[gnu::always_inline]] inline void rootEntries(std::span<double> t, Word r) {
  const double root = static_cast<double>(r);
  if ((r & (r - 1)) == 0) {
    const double inverse = 1.0 / root;
    for (double& s : t) s = rootOf(s, [inverse](double l) { return l * inverse; });
  } else {
    for (double& s : t) s = rootOf(s, [root](double l) { return l / root; });
  }
}

}  // namespace

void proacc_power(std::span<const double> x, std::span<double> t, Word p) {
  // The common exponents get their own loops so that the power folds into
  // straight-line multiplications without a branch per pair.
  switch (p) {
    case 1:
      return accumulatePower<1>(x, t);
    case 2:
      return accumulatePower<2>(x, t);
    case 3:
      return accumulatePower<3>(x, t);
    case 4:
      return accumulatePower<4>(x, t);
    default:
      forEachPair(x, t,
                  [p](double& s, double xi, double xj) { s += prointeger_power(xi - xj, p); });
  }
}

void proacc_max(std::span<const double> x, std::span<double> t) {
  forEachPair(x, t, [](double& s, double xi, double xj) {
    const double d = std::fabs(xi - xj);
    s = d > s ? d : s;
  });
}

void proacc_cross(std::span<const double> x, std::span<double> t, std::span<double> g) {
  const std::size_t n = x.size();
  double* out = t.data();
  for (std::size_t i = 0; i < n; ++i) {
    const double xi = x[i];
    g[i] += xi * xi;
    for (std::size_t j = 0; j < i; ++j) *out++ += x[j] * xi;
  }
}

void proacc_centered(std::span<const double> x, std::span<double> t, double& m, std::span<double> u,
                     std::span<double> g, std::span<double> scratch) {
  const std::size_t n = x.size();
  const double f = m / (1.0 + m);
  double* out = t.data();
  for (std::size_t i = 0; i < n; ++i) {
    const double di = x[i] - u[i];
    scratch[i] = di;
    const double gi = f * di;
    for (std::size_t j = 0; j < i; ++j) *out++ += scratch[j] * gi;
    g[i] += di * gi;
  }
  for (std::size_t i = 0; i < n; ++i) u[i] = x[i] - scratch[i] * f;
  m += 1.0;
}

PROX_VECTOR_CLONES void proroot(std::span<double> t, Word r) {
  if (r <= 1) return;
  rootEntries(t, r);
}

void pronormalize(std::span<double> t, std::span<double> g) {
  const std::size_t n = g.size();
  double* out = t.data();
  for (std::size_t i = 0; i < n; ++i) {
    if (g[i] > 0.0) {
      g[i] = std::sqrt(g[i]);
      for (std::size_t j = 0; j < i; ++j, ++out) *out = g[j] > 0.0 ? *out / g[i] / g[j] : 0.0;
    } else {
      for (std::size_t j = 0; j < i; ++j) *out++ = 0.0;
    }
  }
}

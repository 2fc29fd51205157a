#include "measures/counts.h"

#include <cmath>

#include "host/host.h"

void proacc_chisq(std::span<const double> x, std::span<double> t, std::span<double> b,
                  std::span<double> g) {
  const std::size_t n = x.size();
  std::size_t pair = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double xi = x[i];
    g[i] += xi;
    for (std::size_t j = 0; j < i; ++j, ++pair) {
      const double s = xi + x[j];
      if (s > 0.0) {
        // One reciprocal instead of two divisions per pair.
        const double w = 1.0 / s;
        t[pair] += xi * xi * w;
        b[pair] += x[j] * x[j] * w;
      }
    }
  }
}

void profinish_chisq(std::span<double> t, std::span<const double> b, std::span<double> g,
                     Word features, Word code) {
  const double emptyTotal = static_cast<double>(features) * host::constants().tolerance;
  const std::size_t n = g.size();
  std::size_t pair = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double ri = g[i];
    if (!(ri > emptyTotal)) {
      g[i] = 0.0;
      for (std::size_t j = 0; j < i; ++j) t[pair++] = 0.0;
      continue;
    }
    for (std::size_t j = 0; j < i; ++j, ++pair) {
      const double rj = g[j];
      if (!(rj > 0.0)) {
        t[pair] = 0.0;
        continue;
      }
      // Pearson's statistic of the 2 x F table of the two items' counts.
      const double v = (rj / ri + 1.0) * t[pair] - ri - rj + (ri / rj + 1.0) * b[pair];
      if (!(v > 0.0)) {
        t[pair] = 0.0;
      } else if (code == 8) {
        t[pair] = std::sqrt(v);
      } else {
        t[pair] = std::sqrt(v) / std::sqrt(rj + ri);
      }
    }
  }
  for (double& total : g) total = 0.0;
}

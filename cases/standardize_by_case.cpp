#include "cases/standardize_by_case.h"

#include <cmath>

#include "host/host.h"

namespace {

double mean(std::span<const double> x) {
  double sum = 0.0;
  for (const double v : x) sum += v;
  return sum / static_cast<double>(x.size());
}

// Sample standard deviation around the given mean (divisor N - 1).
double standardDeviation(std::span<const double> x, double centre) {
  double squares = 0.0;
  for (const double v : x) squares += (v - centre) * (v - centre);
  return std::sqrt(squares / (static_cast<double>(x.size()) - 1.0));
}

struct Extremes {
  double min;
  double max;
};

Extremes extremes(std::span<const double> x) {
  Extremes e{host::constants().largest, host::constants().mostNegative};
  for (const double v : x) {
    if (v < e.min) e.min = v;
    if (v > e.max) e.max = v;
  }
  return e;
}

void scale(std::span<double> x, double factor) {
  for (double& v : x) v *= factor;
}

}  // namespace

void prostc(std::span<double> x, Word method) {
  if (x.empty()) {
    ASSERT("prostc", " nvar .gt. 0 ");
    return;
  }
  const bool several = x.size() > 1;
  switch (method) {
    case 1: {  // Z
      if (!several) return;
      const double centre = mean(x);
      for (double& v : x) v -= centre;
      const double sd = standardDeviation(x, 0.0);
      if (sd > 0.0) scale(x, 1.0 / sd);
      return;
    }
    case 2: {  // SD
      if (!several) return;
      const double sd = standardDeviation(x, mean(x));
      if (sd > 0.0) scale(x, 1.0 / sd);
      return;
    }
    case 3: {  // RANGE
      const Extremes e = extremes(x);
      const double range = e.max - e.min;
      if (range > 0.0) scale(x, 1.0 / range);
      return;
    }
    case 4: {  // MAX
      const Extremes e = extremes(x);
      if (std::fabs(e.max) > 0.0) {
        scale(x, 1.0 / e.max);
      } else if (std::fabs(e.min) > 0.0) {
        const double factor = 1.0 / std::fabs(e.min);
        for (double& v : x) v = v * factor + 1.0;
      }
      return;
    }
    case 5: {  // MEAN
      const double centre = mean(x);
      if (std::fabs(centre) > 0.0) {
        scale(x, 1.0 / centre);
      } else {
        for (double& v : x) v += 1.0;
      }
      return;
    }
    case 6: {  // RESCALE
      const Extremes e = extremes(x);
      const double range = e.max - e.min;
      if (range > 0.0) {
        const double s = 1.0 / range;
        const double t = e.min * s;
        for (double& v : x) v = v * s - t;
      } else {
        for (double& v : x) v = 0.5;
      }
      return;
    }
    default:
      return;
  }
}

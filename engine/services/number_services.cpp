// Number services of the host interface.
#include <cmath>

#include "host/tavixwlib.h"

// Counted rather than taken from log10, whose rounding could put an exact
// power of ten on the wrong side.
Word ILOG10(double value) {
  if (!(value >= 10.0)) return 0;  // also NaN
  Word exponent = 0;
  double power = 10.0;
  while (power <= value && std::isfinite(power)) {
    ++exponent;
    power *= 10.0;
  }
  return exponent;
}

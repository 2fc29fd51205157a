#include "syntax/scan.h"

#include <cmath>
#include <limits>

namespace scan {

Word truncated(double value) {
  constexpr double kLimit = 9.2e18;  // just inside the range of a 64-bit integer
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return std::numeric_limits<Word>::max();
  if (value <= -kLimit) return std::numeric_limits<Word>::min() + 1;
  return static_cast<Word>(std::trunc(value));
}

}  // namespace scan

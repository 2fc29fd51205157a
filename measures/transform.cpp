#include "measures/transform.h"

#include "host/host.h"
#include "proc/options.h"

namespace {

void makeAbsolute(std::span<double> t, double missing) {
  ProxOptions& o = options();
  bool someNegative = false;
  bool someNonNegative = false;
  for (double& e : t) {
    if (e == missing) continue;
    if (e < 0.0) {
      e = -e;
      someNegative = true;
    } else {
      someNonNegative = true;
    }
  }
  o.absoluteValues = logical(isTrue(o.absoluteValues) || (someNegative && someNonNegative));
  // Every value was negative: taking absolute values reversed their order.
  if (!isTrue(o.absoluteValues) && someNegative && !someNonNegative) o.direction = -o.direction;
}

void reverse(std::span<double> t, double missing) {
  ProxOptions& o = options();
  if (isTrue(o.reverse)) {
    for (double& e : t) {
      if (e != missing) e = -e;
    }
  }
  const bool inputReversed = isTrue(o.matrixIn) && isTrue(o.inputReversed);
  if (isTrue(o.reverse) != inputReversed) o.direction = -o.direction;
}

void rescale(std::span<double> t, double missing) {
  double low = host::constants().largest;
  double high = host::constants().mostNegative;
  for (const double e : t) {
    if (e == missing) continue;
    if (e < low) low = e;
    if (e > high) high = e;
  }
  double range = high - low;
  if (range == 0.0) range = 1.0;
  for (double& e : t) {
    if (e != missing) e = (e - low) / range;
  }
}

}  // namespace

void protransform(std::span<double> t) {
  const ProxOptions& o = options();
  const double missing = host::systemMissing();
  if (isTrue(o.absolute)) makeAbsolute(t, missing);
  reverse(t, missing);
  if (isTrue(o.rescale)) rescale(t, missing);
}

#include "measures/binary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "host/host.h"
#include "measures/catalogue.h"

void proacc_binary(std::span<const double> x, std::span<double> t, std::span<double> g,
                   Word present, std::span<Logical> presentFlags) {
  const std::size_t n = x.size();
  const auto wanted = static_cast<double>(present);
  for (std::size_t i = 0; i < n; ++i) presentFlags[i] = logical(std::trunc(x[i]) == wanted);
  for (std::size_t i = 0; i < n; ++i) {
    if (!isTrue(presentFlags[i])) continue;
    g[i] += 1.0;
    double* row = t.data() + i * (i - 1) / 2;
    for (std::size_t j = 0; j < i; ++j) {
      if (isTrue(presentFlags[j])) row[j] += 1.0;
    }
  }
}

namespace {

// Largest cell of each row and column, and largest row plus column total.
struct LambdaTerms {
  double m;
  double k;
};

LambdaTerms lambdaTerms(double a, double b, double c, double d) {
  return {std::max(a, b) + std::max(a, c) + std::max(c, d) + std::max(b, d),
          std::max(a + b, c + d) + std::max(a + c, b + d)};
}

// The measure, or NaN where a denominator rules it out (mapped to missing).
// A template on the code, so that the loop over the pairs of a finishing step
// is compiled once per measure with no choice left inside it.
template <Word Code>
double evaluate(double a, double b, double c, double d) {
  constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
  const double n = a + b + c + d;
  const auto ratio = [](double top, double bottom) {
    return bottom > 0.0 ? top / bottom : kUndefined;
  };
  const double ab = a + b, ac = a + c, bd = b + d, cd = c + d;
  const bool marginsPositive = ab > 0.0 && ac > 0.0 && bd > 0.0 && cd > 0.0;
  switch (Code) {
    case 10:
      return a / n;
    case 11:
      return (a + d) / n;
    case 12:
      return ratio(a, a + b + c);
    case 13:
      return ratio(2.0 * (a + d), 2.0 * (a + d) + b + c);
    case 14:
      return ratio(2.0 * a, 2.0 * a + b + c);
    case 15:
      return ratio(a + d, a + d + 2.0 * (b + c));
    case 16:
      return ratio(a, a + 2.0 * (b + c));
    case 17:
      return ratio(a, b + c);
    case 18:
      return ratio(a + d, b + c);
    case 19:
      return ab > 0.0 && ac > 0.0 ? (a / ab + a / ac) * 0.5 : kUndefined;
    case 20:
      return marginsPositive ? (a / ab + a / ac + d / bd + d / cd) * 0.25 : kUndefined;
    case 21:
      return (a - b - c + d) / n;
    case 22:
      return ab > 0.0 && ac > 0.0 ? std::sqrt((a / ab) * (a / ac)) : kUndefined;
    case 23:
      return marginsPositive ? a * d / std::sqrt(ab * ac * bd * cd) : kUndefined;
    case 24:
      return marginsPositive ? (a * d - b * c) / std::sqrt(ab * ac * bd * cd) : kUndefined;
    case 25: {
      const LambdaTerms l = lambdaTerms(a, b, c, d);
      return ratio(l.m - l.k, 2.0 * n - l.k);
    }
    case 26: {
      const LambdaTerms l = lambdaTerms(a, b, c, d);
      return (l.m - l.k) / (2.0 * n);
    }
    case 27: {
      const double ad = std::sqrt(a * d), bc = std::sqrt(b * c);
      return ratio(ad - bc, ad + bc);
    }
    case 28:
      return ratio(a * d - b * c, a * d + b * c);
    case 29:
      return std::sqrt(b + c);
    case 30:
      return (b - c) * (b - c) / (n * n);
    case 31:
      return b * c / (n * n);
    case 32:
      return b + c;
    case 33:
      return (n * (b + c) - (b - c) * (b - c)) / (n * n);
    case 34:
      return (a * d - b * c) / (n * n);
    case 35:
      return (b + c) / (4.0 * n);
    case 36:
      return ratio(b + c, 2.0 * a + b + c);
    default:
      return kUndefined;
  }
}

template <Word Code>
double measureOf(double a, double b, double c, double d, double missing) {
  if (!(a + b + c + d > 0.0)) return missing;
  const double value = evaluate<Code>(a, b, c, d);
  return std::isnan(value) ? missing : value;
}

// Replaces each pair's joint count by the measure.
template <Word Code>
void finishPairs(std::span<double> t, std::span<const double> g, double features, double missing) {
  std::size_t pair = 0;
  for (std::size_t i = 1; i < g.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j, ++pair) {
      const double a = t[pair];
      const double b = g[i] - a;
      const double c = g[j] - a;
      t[pair] = measureOf<Code>(a, b, c, features - a - b - c, missing);
    }
  }
}

constexpr Word kFirstBinary = 10;
constexpr std::size_t kBinaryMeasures = 27;

template <std::size_t... I>
constexpr auto measureTable(std::index_sequence<I...>) {
  return std::array{&measureOf<kFirstBinary + static_cast<Word>(I)>...};
}
template <std::size_t... I>
constexpr auto finishTable(std::index_sequence<I...>) {
  return std::array{&finishPairs<kFirstBinary + static_cast<Word>(I)>...};
}
constexpr auto kMeasureOf = measureTable(std::make_index_sequence<kBinaryMeasures>{});
constexpr auto kFinishPairs = finishTable(std::make_index_sequence<kBinaryMeasures>{});

bool isBinaryCode(Word code) {
  return code >= kFirstBinary && code < kFirstBinary + static_cast<Word>(kBinaryMeasures);
}
std::size_t slot(Word code) { return static_cast<std::size_t>(code - kFirstBinary); }

}  // namespace

double probinary_measure(Word code, double a, double b, double c, double d) {
  if (!isBinaryCode(code)) return host::systemMissing();
  return kMeasureOf[slot(code)](a, b, c, d, host::systemMissing());
}

// What an item has with itself is the catalogue's to say, so that the table
// stays the one place that describes a measure.
double probinary_self(Word code, double a, double b, double c, double d) {
  const double n = a + b + c + d;
  const auto info = measureInfo(code);
  if (!(n > 0.0) || !info || info->family != Family::Binary) return host::systemMissing();
  switch (info->diagonal) {
    case Diagonal::FromCounts:
      return probinary_measure(code, a, b, c, d);
    case Diagonal::One:
      return 1.0;
    case Diagonal::Zero:
      return 0.0;
    case Diagonal::SystemMissing:
    case Diagonal::AsRead:
      break;
  }
  return host::systemMissing();
}

void profinish_binary(std::span<double> t, std::span<double> g, Word features, Word code) {
  const auto f = static_cast<double>(features);
  const double missing = host::systemMissing();
  if (isBinaryCode(code)) {
    kFinishPairs[slot(code)](t, g, f, missing);
  } else {
    std::fill(t.begin(), t.end(), missing);
  }
  for (double& item : g) item = probinary_self(code, item, 0.0, 0.0, f - item);
}

bool BinaryMeasureTable::fits(std::size_t features) {
  constexpr std::size_t kLargestTable = std::size_t{4} << 20;  // values: 32 MB at most
  const std::size_t side = features + 1;
  // (The first test keeps the cube from overflowing for absurd feature counts.)
  return features < 1024 && side * side * side <= kLargestTable;
}

BinaryMeasureTable::BinaryMeasureTable(Word code, std::size_t features,
                                       std::span<const std::uint32_t> counts)
    : side_(features + 1), slices_(features + 1, 0) {
  std::vector<bool> occurs(side_, false);
  for (const std::uint32_t c : counts) occurs[c] = true;
  std::size_t used = 0;
  for (std::size_t c = 0; c < side_; ++c) {
    if (occurs[c]) slices_[c] = used++;
  }
  values_.resize(used * side_ * side_);
  const auto f = static_cast<double>(features);
  for (std::size_t c = 0; c < side_; ++c) {
    if (!occurs[c]) continue;
    double* slice = &values_[slices_[c] * side_ * side_];
    for (std::size_t both = 0; both <= c; ++both) {
      for (std::size_t other = 0; other < side_; ++other) {
        // The same operations as the finishing step, on the same whole numbers.
        const auto a = static_cast<double>(both);
        const double b = static_cast<double>(c) - a;
        const double cc = static_cast<double>(other) - a;
        slice[index(static_cast<std::uint32_t>(both), static_cast<std::uint32_t>(other))] =
            probinary_measure(code, a, b, cc, f - a - b - cc);
      }
    }
  }
}

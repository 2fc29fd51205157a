#include "engine/report/colour_scale.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace engine::output {

namespace {

// Control points at equal steps of a perceptually uniform scale that rises
// steadily in lightness from dark blue-violet through teal and green to yellow.
constexpr std::array<Rgb, 11> kSequential{{{68, 1, 84},
                                           {72, 36, 117},
                                           {65, 68, 135},
                                           {53, 95, 141},
                                           {42, 120, 142},
                                           {33, 145, 140},
                                           {34, 168, 132},
                                           {68, 191, 112},
                                           {122, 209, 81},
                                           {189, 223, 38},
                                           {253, 231, 37}}};

// From -1 to 1: blues, a light neutral centre, oranges. Blue against orange
// stays distinct for red-green colour-vision deficiencies.
constexpr std::array<Rgb, 11> kDiverging{{{5, 48, 97},
                                          {33, 102, 172},
                                          {67, 147, 195},
                                          {146, 197, 222},
                                          {209, 229, 240},
                                          {247, 247, 247},
                                          {254, 224, 182},
                                          {253, 184, 99},
                                          {224, 130, 20},
                                          {179, 88, 6},
                                          {127, 59, 8}}};

std::uint8_t mix(std::uint8_t a, std::uint8_t b, double f) {
  return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
}

// Piecewise-linear interpolation between equally spaced control points.
Rgb interpolate(std::span<const Rgb> points, double t) {
  if (!(t > 0.0)) return points.front();
  if (t >= 1.0) return points.back();
  const double position = t * static_cast<double>(points.size() - 1);
  const auto k = static_cast<std::size_t>(position);
  const double f = position - static_cast<double>(k);
  const Rgb a = points[k];
  const Rgb b = points[std::min(k + 1, points.size() - 1)];
  return {mix(a.r, b.r, f), mix(a.g, b.g, f), mix(a.b, b.b, f)};
}

double linearChannel(std::uint8_t c) {
  const double v = c / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

}  // namespace

std::string hexColour(Rgb colour) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "#";
  for (const std::uint8_t c : {colour.r, colour.g, colour.b}) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

double relativeLuminance(Rgb colour) {
  return 0.2126 * linearChannel(colour.r) + 0.7152 * linearChannel(colour.g) +
         0.0722 * linearChannel(colour.b);
}

Rgb sequentialColour(double t) { return interpolate(kSequential, t); }

Rgb divergingColour(double u) { return interpolate(kDiverging, (u + 1.0) / 2.0); }

MatrixScale::MatrixScale(MatrixKind kind, double min, double max) : kind_(kind) {
  if (!(min <= max)) min = max = 0.0;  // no finite value at all
  diverging_ = kind == MatrixKind::Similarity && min < 0.0 && max > 0.0;
  if (diverging_) {
    high_ = std::max(-min, max);
    low_ = -high_;
  } else {
    low_ = min;
    high_ = max;
  }
}

int MatrixScale::bin(double value) const {
  if (!std::isfinite(value)) return kMissingBin;
  constexpr double kLast = kPaletteSize - 1;
  double t = 0.0;
  if (high_ > low_) t = std::clamp((value - low_) / (high_ - low_), 0.0, 1.0);
  // Sequential similarities run from the dark end at the top of the range.
  if (!diverging_ && kind_ == MatrixKind::Similarity) t = 1.0 - t;
  return static_cast<int>(std::lround(t * kLast));
}

Rgb MatrixScale::binColour(int bin) const {
  if (bin < 0 || bin >= kPaletteSize) return kMissingColour;
  const double t = bin / static_cast<double>(kPaletteSize - 1);
  return diverging_ ? divergingColour(2.0 * t - 1.0) : sequentialColour(t);
}

}  // namespace engine::output

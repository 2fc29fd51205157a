// Colours of the heatmaps in the HTML report. Both scales keep their order in
// lightness, so they stay readable in grey print and for the common
// colour-vision deficiencies: a sequential dark-blue-to-yellow scale, and a
// diverging blue-to-orange scale with a light neutral centre.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace engine::output {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

std::string hexColour(Rgb colour);  // "#rrggbb"

// Relative luminance (0 black .. 1 white) of an sRGB colour.
double relativeLuminance(Rgb colour);

// t in [0, 1] (clamped) from dark blue-violet to light yellow.
Rgb sequentialColour(double t);
// u in [-1, 1] (clamped): blue below 0, light grey at 0, orange above.
Rgb divergingColour(double u);

// A palette index per value; one odd-sized palette so that the diverging
// scale has a bin exactly at its centre, and the byte 255 free for "missing".
inline constexpr int kPaletteSize = 255;
inline constexpr std::uint8_t kMissingBin = 255;

enum class MatrixKind { Dissimilarity, Similarity };

// How the values of one proximity matrix map to colours. Alike items get the
// dark end of the sequential scale: low dissimilarities, high similarities.
// Similarities that take both signs use the diverging scale centred on 0.
class MatrixScale {
 public:
  // min and max: the range of the matrix's finite values.
  MatrixScale(MatrixKind kind, double min, double max);

  bool diverging() const { return diverging_; }
  // The legend runs from low() to high(); the diverging one is symmetric.
  double low() const { return low_; }
  double high() const { return high_; }
  // Which end of the legend means "alike": true for the high end.
  bool alikeAtHigh() const { return kind_ == MatrixKind::Similarity; }

  int bin(double value) const;  // 0 .. kPaletteSize - 1; kMissingBin when not finite
  Rgb binColour(int bin) const;
  Rgb colourOf(double value) const { return binColour(bin(value)); }

 private:
  MatrixKind kind_;
  bool diverging_ = false;
  double low_ = 0.0;
  double high_ = 0.0;
};

// What system-missing cells look like where a pattern cannot be drawn.
inline constexpr Rgb kMissingColour{150, 150, 150};

}  // namespace engine::output

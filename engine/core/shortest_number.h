// The one text of a double that the engine writes wherever a value must read
// back exactly (data files, matrix files, the CSV and JSON output, messages):
// the shortest text that reads back as the very same double.
#pragma once

#include <cstddef>
#include <string>

namespace engine {

// The most characters that text takes: a sign, 17 digits, a point and an
// exponent such as "e-308" ("-2.2250738585072014e-308").
inline constexpr std::size_t kShortestNumberChars = 24;

// Writes the text at `out`, which must have room for kShortestNumberChars
// characters, and returns its end: 1, 2.5, 1e+300. Infinities and NaN come
// out as "inf", "-inf" and "nan"; writers of formats without them test for
// them first.
char* writeShortestNumber(char* out, double value);
// The same text added to the end of `text`, or as a string of its own.
void appendShortestNumber(std::string& text, double value);
std::string shortestNumber(double value);

}  // namespace engine

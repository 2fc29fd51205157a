#include "engine/core/shortest_number.h"

#include <charconv>

namespace engine {

char* writeShortestNumber(char* out, double value) {
  // The standard library's shortest round-trip text, in fixed or scientific
  // notation, whichever is shorter: exact, and several times faster than
  // printing 17 digits with printf and trimming them.
  const auto [end, error] = std::to_chars(out, out + kShortestNumberChars, value);
  if (error != std::errc()) return out;  // cannot happen: the room holds any double
  return end;
}

void appendShortestNumber(std::string& text, double value) {
  char digits[kShortestNumberChars];
  text.append(digits, writeShortestNumber(digits, value));
}

std::string shortestNumber(double value) {
  char digits[kShortestNumberChars];
  return std::string(digits, writeShortestNumber(digits, value));
}

}  // namespace engine

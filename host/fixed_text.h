// Fixed-length, blank-padded texts: keywords, names and labels that end up in
// files or labels keep this form, so that widths and columns stay observable.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

template <std::size_t N>
struct FixedText {
  std::array<char, N> chars;

  constexpr FixedText() { chars.fill(' '); }
  constexpr FixedText(std::string_view text) {  // NOLINT: implicit from literals on purpose
    chars.fill(' ');
    for (std::size_t i = 0; i < text.size() && i < N; ++i) chars[i] = text[i];
  }
  template <std::size_t M>
  constexpr FixedText(const char (&text)[M])  // NOLINT: implicit from literals on purpose
      : FixedText(std::string_view(text, M - 1)) {}
  // The text up to its last non-blank character.
  constexpr std::string_view trimmed() const {
    std::size_t n = N;
    while (n > 0 && chars[n - 1] == ' ') --n;
    return {chars.data(), n};
  }
  constexpr std::string_view view() const { return {chars.data(), N}; }
  constexpr bool operator==(const FixedText&) const = default;
};

using Keyword = FixedText<8>;

// Position of the last non-blank character (0 when all blank).
constexpr std::size_t ICHWDC(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return n;
}

// Fill with blanks.
inline void CHBLKN(std::span<char> text) { std::fill(text.begin(), text.end(), ' '); }

// Copy characters; the target keeps its length (extra source characters are dropped).
inline void CHMVNN(std::string_view source, std::span<char> target) {
  std::copy_n(source.begin(), std::min(source.size(), target.size()), target.begin());
}

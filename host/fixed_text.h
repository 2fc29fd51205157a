// Fixed-length, blank-padded texts: keywords, names and labels that end up in
// files or labels keep this form, so that widths and columns stay observable.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "host/tavixwcom.h"

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

// Writes the decimal digits of value (with a leading '-' when negative) into
// field from the 1-based column start on, and returns in length how many
// characters that takes. Characters that fall outside the field are dropped.
inline void ENCODL(Word value, std::span<char> field, Word start, Word& length) {
  char digits[24];
  std::size_t count = 0;
  // Work on the negative value: it also holds the most negative word.
  Word rest = value < 0 ? value : -value;
  do {
    digits[count++] = static_cast<char>('0' - rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) digits[count++] = '-';
  length = static_cast<Word>(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Word column = start + static_cast<Word>(i);
    if (column >= 1 && column <= static_cast<Word>(field.size())) {
      field[static_cast<std::size_t>(column - 1)] = digits[count - 1 - i];
    }
  }
}

// Prepares count columns of a label from the 1-based column start on: the
// start column becomes the blank that separates a label's first eight
// characters from its text, and any control character in the range becomes a
// blank, so that the label stays plain text in the file's sidecar.
inline void CHNSTN(std::span<char> text, Word start, Word count) {
  for (Word column = start; column < start + count; ++column) {
    if (column < 1 || column > static_cast<Word>(text.size())) continue;
    char& c = text[static_cast<std::size_t>(column - 1)];
    if (column == start || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
}

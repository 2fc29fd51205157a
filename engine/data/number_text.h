// Numbers as text in data files and messages: the one parser and the one
// formatter, so that a value written by EXPORT reads back bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace engine::data {

// The finite number the whole text spells (blanks around it allowed, a leading
// '+' allowed), or nothing. "inf", "nan", hexadecimal and partial matches such
// as "12abc" are not numbers.
std::optional<double> parseNumber(std::string_view text);
// The same, for the loops over every field of a file: an optional<double>
// comes back through memory, which costs more than reading a short number.
bool readNumber(std::string_view text, double& value);
// Whether parseNumber gives a value; cheaper, as the everyday shapes are told
// without computing the value. For inferring the type of every field of a file.
bool isNumber(std::string_view text);

// For readers that split a line as they go. The length of the everyday
// decimal, [-]digits[.digits][e[+-]d[d]] with at most 15 digits, at the start
// of the text, and its value: exactly what readNumber gives for the number's
// own text. 0 when the text does not start with one (readNumber may still
// read the field).
std::size_t readDecimalPrefix(std::string_view text, double& value);
// The length of the [+-]digits[.digits][e[+-]d[d]] at the start of the text
// when that surely reads as a finite number, so that isNumber gives true for
// it; 0 when it does not start with one (isNumber may still give true).
std::size_t numberShapePrefix(std::string_view text);

// The same readers for a decimal comma: "2,5" is 2.5, and a text with a
// point ("2.5", "1.000,5") is no number. Only the reading of the fraction
// differs; the rest of the rules are those above.
bool readDecimalCommaNumber(std::string_view text, double& value);
bool isDecimalCommaNumber(std::string_view text);
std::size_t readDecimalCommaPrefix(std::string_view text, double& value);
std::size_t decimalCommaShapePrefix(std::string_view text);

// The shortest text that reads back as exactly this value: 1, 2.5, 1e+300.
std::string formatNumber(double value);

// "1 case", "3 cases": a count with its noun for messages.
std::string countOf(std::int64_t count, std::string_view singular, std::string_view plural);

}  // namespace engine::data

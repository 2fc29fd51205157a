// What a handle of the output builder stands for once it is resolved: a text,
// a number in one of the builder's formats, or a dictionary variable. Labels,
// cells, titles and message texts are all Content, so the text and JSON
// renderers show exactly the same formatted texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::output {

// The number formats the procedure can ask for (docs/output-formats.md).
enum class NumberFormat : std::uint8_t {
  Count,         // BP_N_FORMAT: an integer
  Percent,       // BP_PERCENT_FORMAT: one decimal and "%"
  Coefficient,   // BP_COEFFICIENT_FORMAT: three decimals
  Correlation,   // BP_CORRELATION_FORMAT: three decimals
  Significance,  // BP_SIGNIFICANCE_FORMAT: three decimals
  General,       // BP_GENSTAT_FORMAT: up to six significant digits
};

inline constexpr int kNumberFormatCount = 6;

// The format's name in the JSON output.
std::string_view formatName(NumberFormat format);

// The shown text of a number. `missing` marks the system-missing value, shown
// as ".". Non-finite values show as "NaN", "Inf" or "-Inf".
std::string formatNumber(double value, NumberFormat format, bool missing = false);

// An integer in a format: exact digits for counts, whatever the magnitude.
std::string formatInteger(std::int64_t value, NumberFormat format);

// Rounds to `decimals` places, ties away from zero, on the exact binary value;
// a result that rounds to zero loses its minus sign. Exposed for the tests.
std::string roundFixed(double value, int decimals);

struct Content {
  enum class Kind : std::uint8_t { Text, Number, Variable };

  Kind kind = Kind::Text;
  NumberFormat format = NumberFormat::General;
  bool integer = false;  // a number made from an integer (BP_IVALUE)
  bool missing = false;  // the system-missing value
  double value = 0.0;
  std::int64_t whole = 0;     // integer: the exact value (a double cannot hold every one)
  std::string text;           // as shown: formatted number, text, variable name
  std::string variableLabel;  // Variable: the variable's label (may be empty)

  static Content plain(std::string text);
  static Content number(double value, NumberFormat format, bool missing);
  static Content integerNumber(std::int64_t value, NumberFormat format);
  static Content variable(std::string name, std::string label);

  // The shown text of a number made from its value, format and flags.
  std::string numberText() const;
};

// The text without leading and trailing blanks.
std::string_view trimBlanks(std::string_view text);

}  // namespace engine::output

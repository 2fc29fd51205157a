// How a CSV file is written, beyond what every CSV file shares: the field
// separator (found from the first lines, or given), the decimal mark, the
// texts that mean "no value", and what to do with header texts that are not
// variable names. LOAD and INLINE take these as subcommands, the program as
// options (docs/data-files.md, "Dialects").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::data {

// The separators that are found by themselves, in the order that breaks a tie.
inline constexpr char kDetectedSeparators[] = {',', ';', '\t', '|'};

// The name given to an unnamed first column, an index as pandas and R write
// it (",a,b" or "\"\",\"a\",\"b\""): it is read as a string variable.
inline constexpr std::string_view kIndexColumnName = "rowname";

struct CsvDialect {
  char separator = 0;  // 0: found from the first lines
  char decimal = '.';  // '.' or ','
  // Field texts read as no value; unset: the sidecar's, or else these.
  std::optional<std::vector<std::string>> missingTexts;
  std::vector<std::string> missingWithoutSidecar{"", "NA"};
  // Header texts that are not valid, distinct names are made so (and an
  // unnamed first column is the index); false: refused, as in matrix files.
  bool fixNames = true;

  // Comma, point, "" alone, names refused: what matrix files are.
  static CsvDialect strict() {
    CsvDialect dialect;
    dialect.separator = ',';
    dialect.missingWithoutSidecar = {""};
    dialect.fixNames = false;
    return dialect;
  }
};

// A separator a user may give: one ASCII character that is not a letter, a
// digit, a quote, a space or a line break (the tab is allowed).
bool isUsableSeparator(char c);

// "comma", "semicolon", "tab", "vertical bar" or the character in quotes.
std::string separatorName(char c);

// The separator of CSV text, found from its start (the header and the
// lines after it, at most 100, as many as `start` holds whole): among the
// detected separators that occur outside quotes in the header, the one whose
// count in the header the most lines after it repeat; of those, the one
// giving the most fields, then the first in kDetectedSeparators. When the
// header holds none, the comma (a file of one column). `complete` says that
// start is the whole text, so that its last line counts even without a line
// break; a header longer than start counts as far as it goes.
char detectSeparator(std::string_view start, bool complete);

// What became of one header text.
struct HeaderName {
  std::string name;      // the variable name
  std::string original;  // the header text
  bool renamed = false;  // name differs from the text
  bool index = false;    // the unnamed first column, read as a string
};

// Makes every header text a valid variable name, unique without regard to
// case. The rule (docs/data-files.md, "Header names"):
//  - a text that is a valid name, and the first with that name, stays as it is;
//  - the unnamed first column of a header of two or more columns is rowname;
//  - otherwise every run of characters that cannot be in a name becomes one
//    "_", and such a "_" at the start or the end is dropped; a name that then
//    starts with a digit or $ @ # gets "V" in front; an empty one is "V" and
//    the column number; it is cut to 64 bytes;
//  - a name taken already (by a text kept as it is, or by an earlier column)
//    gets "_2", "_3", ..., the first that is free.
std::vector<HeaderName> makeVariableNames(const std::vector<std::string>& header);

// The text, at most `limit` bytes of it (cut on a character boundary, with
// "..." added), in double quotes: for quoting data in messages.
std::string quotedExcerpt(std::string_view text, std::size_t limit = 40);

}  // namespace engine::data

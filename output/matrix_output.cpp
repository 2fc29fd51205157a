// Writing the proximities to a matrix data file: the measure text, the file's
// dictionary with the proximity label on ROWTYPE_, and one row per item for
// every split-file group. The host turns these into the CSV file and its
// sidecar (docs/matrix-files.md).
#include "output/matrix_output.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "host/host.h"
#include "host/messages.h"
#include "measures/triangle.h"
#include "proc/options.h"

namespace {

constexpr Word kProximityAttribute = 3;  // tells the host the variable holds proximities
constexpr Word kMaxLabelText = 92;       // columns 29 to 120 of the label
constexpr Word kCaseVarnameWidth = 10;   // "VAR" and up to seven digits
const Keyword kRowType("PROX");

bool byCase() { return isTrue(options().viewCases); }
bool computedByCase() { return byCase() && !isTrue(options().matrixIn); }

// Puts a word into a blank-padded text from the 1-based column on.
void put(std::span<char> text, Word column, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    const std::size_t at = static_cast<std::size_t>(column - 1) + i;
    if (at < text.size()) text[at] = word[i];
  }
}

// A word followed by the decimal digits of k ("VAR12", "Case 12").
std::string_view withNumber(std::array<char, 24>& buffer, std::string_view word, Word k) {
  buffer.fill(' ');
  put(buffer, 1, word);
  Word length = 0;
  ENCODL(k, buffer, static_cast<Word>(word.size()) + 1, length);
  return {buffer.data(), word.size() + static_cast<std::size_t>(length)};
}

std::span<const Word> analysisVariables(ProxWorkspace& ws) {
  const ProxOptions& o = options();
  return ws::integers(ws, o.blocks.varList, o.nvar);
}

// The longest name among the analysis variables: VARNAME_'s width.
Word longestAnalysisName(ProxWorkspace& ws) {
  Word longest = 1;
  for (const Word index : analysisVariables(ws)) {
    DICGET(index);
    longest = std::max(longest, host::entry().nameLength);
  }
  return longest;
}

void setProximityFormats(HostDictEntry& e) {
  e.width = 0;
  e.attribute = kProximityAttribute;
  e.printFormat = e.writeFormat = DIFENC(5, 10, 4);
}

// ROWTYPE_ carries the proximity label.
void labelRowType(ProxWorkspace& ws) {
  const Word rowtype = DICSCH("ROWTYPE_");
  DICGET(rowtype);
  host::editableEntry().attribute = 0;
  const FixedText<120> label = proprox_label();
  VLBPTL(ws, 1, 1, 15, label.view(), -1);
  VLBPDE(ws);
  DICPUT(rowtype);
}

// Item variable k as a copy of the k-th analysis variable.
void copyAnalysisVariable(Word k, Word working, Word output, ProxWorkspace& ws) {
  HostDictionaryState& dictionary = host::dictionaryState();
  dictionary.selected = working;
  DICGET(analysisVariables(ws)[static_cast<std::size_t>(k - 1)]);
  setProximityFormats(host::editableEntry());
  dictionary.selected = output;
  DICPUT(0);
}

// Item variable k of a matrix between cases: VARk, labelled "Case k" when
// there are no split files.
void newCaseVariable(Word k) {
  std::array<char, 24> name{};
  DICCLR(withNumber(name, "VAR", k));
  HostDictEntry& e = host::editableEntry();
  setProximityFormats(e);
  if (host::global().splitCount == 0) {
    std::array<char, 24> label{};
    e.labelHandle = VRLBLD(withNumber(label, "Case ", k));
  }
  DICPUT(0);
}

// The eight-character generated label of case number k: "Case" with the
// number from column 6, moved left for numbers of four digits or more.
void generatedCaseLabel(Word k, std::span<char> label) {
  std::fill(label.begin(), label.end(), ' ');
  std::copy_n("Case", 4, label.begin());
  const Word column = k <= 999 ? 6 : 6 - ILOG10(static_cast<double>(k));
  if (column < 1) return;
  Word length = 0;
  ENCODL(k, label, column, length);
}

// The leading words of row i of a matrix between cases: its case label, then
// CASENO_, as far as the file carries them.
void fillLeadingWords(Word i, bool present, std::span<const Word> caseNumbers, ProxWorkspace& ws,
                      std::vector<Word>& leading) {
  const ProxOptions& o = options();
  const double missing = host::systemMissing();
  const auto labelChars = [&leading](std::size_t words) {
    return std::span<char>(reinterpret_cast<char*>(leading.data()), words * 8);
  };
  std::size_t next = 0;
  if (isTrue(o.haveCaseLabels)) {
    const Word words = labelWords(o);
    const auto chars = labelChars(static_cast<std::size_t>(words));
    std::fill(chars.begin(), chars.end(), ' ');
    if (present)
      CHMVNN(std::string_view(ws::chars(ws, o.blocks.caseLabels + (i - 1) * words, words).data(),
                              chars.size()),
             chars);
    next = static_cast<std::size_t>(words);
  } else if (isTrue(o.makeCaseLabels)) {
    const auto chars = labelChars(1);
    std::fill(chars.begin(), chars.end(), ' ');
    if (present) generatedCaseLabel(caseNumbers[static_cast<std::size_t>(i - 1)], chars);
    next = 1;
  }
  if (!isTrue(o.copyCaseNumbers)) return;
  if (!present) {
    leading[next] = std::bit_cast<Word>(missing);
  } else if (isTrue(o.matrixIn)) {
    leading[next] =
        ws::integers(ws, o.blocks.outCaseNumbers, o.ncase)[static_cast<std::size_t>(i - 1)];
  } else {
    leading[next] =
        std::bit_cast<Word>(static_cast<double>(caseNumbers[static_cast<std::size_t>(i - 1)]));
  }
}

Word leadingWordCount() {
  const ProxOptions& o = options();
  if (!byCase()) return 0;
  Word count = isTrue(o.makeCaseLabels) ? 1 : isTrue(o.haveCaseLabels) ? labelWords(o) : 0;
  return count + (isTrue(o.copyCaseNumbers) ? 1 : 0);
}

// Numbers beyond half the host's range may overflow in a later procedure.
// The bounds are read once per matrix: the test runs for every value written.
struct LaterUseRange {
  double missing, lowest, highest;
  LaterUseRange()
      : missing(host::constants().systemMissing),
        lowest(0.5 * host::constants().mostNegative),
        highest(0.5 * host::constants().largest) {}
  bool tooLarge(double value) const {
    return value != missing && (value < lowest || value > highest);
  }
};

}  // namespace

void promeasure_text() {
  ProxOptions& o = options();
  FixedText<120> text = o.measureText;
  std::size_t length = o.measureText.trimmed().size();
  const auto add = [&](Logical flag, std::string_view word) {
    if (!isTrue(flag)) return;
    for (std::size_t i = 0; i < word.size(); ++i) {
      const std::size_t column = length + 2 + i;  // one blank after the text
      if (column <= text.chars.size()) text.chars[column - 1] = word[i];
    }
    length += 4;
  };
  add(o.rescale, "RES");
  add(o.reverse, "REV");
  add(o.absolute, "ABS");
  o.measureDocText = text;
}

FixedText<120> proprox_label() {
  const ProxOptions& o = options();
  FixedText<120> label;
  put(label.chars, 1, "PROX    ");
  if (o.direction < 0) put(label.chars, 10, "SIMILARITY");
  if (o.direction > 0) put(label.chars, 10, "DISSIMILARITY");
  if (isTrue(o.absoluteValues)) put(label.chars, 24, "A");
  const Word length =
      std::min<Word>(static_cast<Word>(o.measureDocText.trimmed().size()), kMaxLabelText);
  CHNSTN(label.chars, 9, length + 20);
  put(label.chars, 29, o.measureDocText.view().substr(0, static_cast<std::size_t>(length)));
  return label;
}

void prowrite_dictionary(Word itemCount, ProxWorkspace& ws, ProxWorkspace& /*ws2*/) {
  ProxOptions& o = options();
  HostDictionaryState& dictionary = host::dictionaryState();
  const Word working = dictionary.selected;

  if (computedByCase()) o.copyCaseNumbers = kTrue;
  o.makeCaseLabels = logical(computedByCase() && !isTrue(o.haveCaseLabels));
  const Word varnameWidth = computedByCase() ? kCaseVarnameWidth : longestAnalysisName(ws);
  if (isTrue(o.haveCaseLabels)) {
    MTDMPD(itemCount, ws, o.idWidth, o.idVariable, varnameWidth, -4, kFalse, o.copyCaseNumbers);
  } else {
    MTDMPD(itemCount, ws, 0, 0, varnameWidth, -4, o.makeCaseLabels, o.copyCaseNumbers);
  }
  if (host::errorFlagSet()) return;

  const Word output = host::matrix().outputDictWord;
  dictionary.selected = output;
  labelRowType(ws);
  for (Word k = 1; k <= itemCount && !host::errorFlagSet(); ++k) {
    if (computedByCase()) {
      newCaseVariable(k);
    } else {
      copyAnalysisVariable(k, working, output, ws);
    }
  }
  dictionary.selected = working;
  if (host::errorFlagSet()) return;
  if (!isTrue(host::matrix().outputIsWorkingData)) MTDDIC(ws);
}

namespace {

// Rows go out a few at a time. Row i's values right of the diagonal lie one
// in each later item's row of the packed triangle, a cache line apart, so
// reading them row by row misses the cache once per value; a block of rows
// finds its values side by side in each of those rows, and reads each line
// once for the whole block. Eight rows: one cache line of doubles.
constexpr Word kRowBlock = 8;
// The rows of the triangle lie a row's length apart, too far for the
// processor to guess the next: asking for the row this many ahead hides the
// wait (measured: about a third less time gathering for 8,000 items).
constexpr Word kPrefetchRows = 16;

// The values of rows first to first + count - 1 over items 1 to present (all
// of them present), row after row in `block`.
void gatherRows(std::span<const double> t, std::span<const double> g, Word first, Word count,
                Word present, std::vector<double>& block) {
  const auto width = static_cast<std::size_t>(present);
  block.resize(static_cast<std::size_t>(count) * width);
  for (Word r = 0; r < count; ++r) {
    const Word i = first + r;
    const auto row = std::span(block).subspan(static_cast<std::size_t>(r) * width, width);
    const auto left = t.subspan(triangle::rowStart(i), static_cast<std::size_t>(i - 1));
    std::copy(left.begin(), left.end(), row.begin());
    row[static_cast<std::size_t>(i - 1)] = g[static_cast<std::size_t>(i - 1)];
  }
  for (Word j = first + 1; j <= present; ++j) {
    const std::size_t start = triangle::rowStart(j);
    if (j + kPrefetchRows <= present) {
      __builtin_prefetch(
          &t[triangle::rowStart(j + kPrefetchRows) + static_cast<std::size_t>(first - 1)]);
    }
    for (Word i = first; i < std::min(first + count, j); ++i) {
      block[static_cast<std::size_t>(i - first) * width + static_cast<std::size_t>(j - 1)] =
          t[start + static_cast<std::size_t>(i - 1)];
    }
  }
}

}  // namespace

void prowrite_rows(std::span<const double> t, std::span<const double> g, Word itemCount,
                   std::span<const Word> caseNumbers, ProxWorkspace& ws, ProxWorkspace& /*ws2*/) {
  const ProxOptions& o = options();
  const double missing = host::systemMissing();
  // Items beyond the group's own (a smaller group of cases, or trailing items
  // a matrix input dropped) are padding: their rows and columns are missing.
  const Word present =
      byCase() || isTrue(o.matrixIn) ? std::min(o.validCases, itemCount) : itemCount;
  std::vector<Word> leading(static_cast<std::size_t>(leadingWordCount()));
  std::vector<double> block;  // staging for the rows being written, not a result
  Word blockFirst = 1, blockCount = 0;
  const LaterUseRange laterUse;
  bool tooLarge = false;
  for (Word i = 1; i <= itemCount; ++i) {
    ATNJMP(ws);
    const bool rowPresent = i <= present;
    if (rowPresent && i >= blockFirst + blockCount) {
      blockFirst = i;
      blockCount = std::min(kRowBlock, present - i + 1);
      gatherRows(t, g, blockFirst, blockCount, present, block);
    }
    if (!byCase()) {
      MTXCRR(i, kRowType, ws, {});
    } else {
      fillLeadingWords(i, rowPresent, caseNumbers, ws, leading);
      if (isTrue(o.matrixIn)) {
        MTXCRR(i, kRowType, ws, leading);
      } else {
        std::array<char, 24> name{};
        const FixedText<64> varname(withNumber(name, "VAR", i));
        MTXREC(varname.view(), kRowType, ws, leading);
      }
    }
    const double* row = rowPresent ? block.data() + static_cast<std::size_t>(i - blockFirst) *
                                                        static_cast<std::size_t>(present)
                                   : nullptr;
    if (rowPresent && !tooLarge) {
      // Apart from the calls below, so that the test runs as one vector loop.
      tooLarge = std::any_of(row, row + present, [&](double v) { return laterUse.tooLarge(v); });
    }
    for (Word j = 1; j <= itemCount; ++j) {
      MTXVOB(rowPresent && j <= present ? row[j - 1] : missing, ws);
    }
    MTDWRT(ws);
  }
  if (tooLarge) host::report("Numbers too large for later use were found", 2, 2);
}

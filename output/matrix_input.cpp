// Reading a proximity matrix back from a matrix data file, one split-file
// group at a time: the rows into the triangle and item vector, the checks of
// completeness, the compaction of missing cases, and the measure from the
// proximity label on ROWTYPE_.
#include "output/matrix_input.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "host/host.h"
#include "host/messages.h"
#include "measures/catalogue.h"
#include "measures/triangle.h"
#include "proc/options.h"
#include "proc/workspace_blocks.h"

namespace {

const std::array<Keyword, 1> kProxRowType = {Keyword("PROX")};
constexpr std::string_view kTooFew = "Too few complete and unique matrix input...";
constexpr std::string_view kTooManyMissing = "The input PROX matrix contains too many missing";

// Which item pairs the group supplied: (k, k) a row for item k, (k, j) a
// value of row k in item j's column.
class MatrixSquare {
 public:
  MatrixSquare(std::span<Logical> flags, Word n) : flags_(flags), n_(n) {}
  void clear() { std::fill(flags_.begin(), flags_.end(), kFalse); }
  bool has(Word k, Word j) const { return isTrue(flags_[index(k, j)]); }
  void set(Word k, Word j) { flags_[index(k, j)] = kTrue; }

 private:
  std::size_t index(Word k, Word j) const { return static_cast<std::size_t>((k - 1) * n_ + j - 1); }
  std::span<Logical> flags_;
  Word n_;
};

std::span<Word> wordsOf(ProxWorkspace& ws, Word offset, Word count) {
  if (offset == 0) return {};
  return ws::integers(ws, offset, count);
}

// The block at offset, placed the first time; false (after the message)
// when the workspace is full.
bool placeOnce(Word& offset, Word count, ProxWorkspace& ws) {
  if (offset != 0) return true;
  if (!allocateWords(offset, count, ws)) return true;
  offset = 0;
  host::report(host::kNoMemory, 2, 3);
  return false;
}

// The width of VARNAME_ that can name an item: the longest item name, in words.
Word varnameWords(std::span<const Word> items) {
  Word longest = 1;
  for (const Word index : items) {
    DICGET(index);
    longest = std::max(longest, host::entry().nameLength);
  }
  return (longest + 7) / 8;
}

// Reads one variable of the current row; false after the message.
bool readValue(ProxWorkspace& ws, Word variable, std::span<Word> target, std::string_view failure) {
  Word status = 0;
  MTDOBV(ws, variable, target, 0, status);
  if (status == 0) return true;
  host::report(failure, 2, 3);
  return false;
}

// What proread_matrix keeps while it reads one group.
struct GroupReader {
  ProxWorkspace& ws;
  std::span<const Word> items;
  std::span<const double> record;
  std::span<const Word> map;
  MatrixSquare square;
  std::span<double> t;
  std::span<double> g;
  double missing;

  double valueOf(Word j) const {
    return record[static_cast<std::size_t>(map[static_cast<std::size_t>(j - 1)] - 1)];
  }

  // Steps 2.6 to 2.8: the row of item k, already in the record.
  void store(Word k, Word& duplicateSeen) {
    ProxOptions& o = options();
    if (square.has(k, k)) {
      if (duplicateSeen == 0) host::report("Multiple matrix input rows of type PROX...", 2, 2);
      duplicateSeen = 1;
    } else {
      ++o.validCases;
    }
    g[static_cast<std::size_t>(k - 1)] = valueOf(k);
    square.set(k, k);
    const auto n = static_cast<Word>(items.size());
    for (Word j = 1; j <= n; ++j) {
      if (j == k) continue;
      const double v = valueOf(j);
      if (v != missing) square.set(k, j);
      if (j < k) triangle::at(t, k, j) = v;  // the part left of the diagonal
    }
  }
};

// Reads the row identified so far into the matrix; false ends the group.
bool readRow(GroupReader& reader, ProxWorkspace& ws, Word varnameWordCount, Word& duplicateSeen,
             bool& invalidSeen) {
  ProxOptions& o = options();
  Word rowtype = 0;
  if (!readValue(ws, o.rowtypeIndex, std::span<Word>(&rowtype, 1),
                 "An error when attempting to read ROWTYPE_...")) {
    return false;
  }
  const Keyword kind(std::string_view(reinterpret_cast<const char*>(&rowtype), 8));
  if (IABNDX(kind, kProxRowType) == 0) {
    invalidSeen = true;
    return true;
  }
  std::array<Word, 8> varname{};
  const auto field = std::span<Word>(varname).first(static_cast<std::size_t>(varnameWordCount));
  if (!readValue(ws, o.varnameIndex, field, "An error when attempting to read VARNAME_...")) {
    return false;
  }
  const auto name = std::span<char>(reinterpret_cast<char*>(varname.data()), 64);
  if (varnameWordCount < 8) CHBLKN(name.subspan(static_cast<std::size_t>(varnameWordCount) * 8));
  CHUPRC(name);
  const Word k = MTXMCH(std::string_view(name.data(), name.size()), reader.items);
  if (k < 1) return true;  // a row of a variable that is not analysed
  if (isTrue(o.haveCaseLabels)) {
    const Word words = labelWords(o);
    if (!readValue(ws, o.idVariable, ws::integers(ws, o.blocks.caseLabels + (k - 1) * words, words),
                   "An error when attempting to read the ID...")) {
      return false;
    }
  }
  if (isTrue(o.copyCaseNumbers)) {
    const auto out = ws::integers(ws, o.blocks.outCaseNumbers, o.ncase);
    if (!readValue(ws, o.casenoIndex, out.subspan(static_cast<std::size_t>(k - 1), 1),
                   "An error when attempting to read CASENO_...")) {
      return false;
    }
  }
  const ProxBlocks& b = o.blocks;
  if (!readValue(ws, 0, ws::integers(ws, b.matrixRecord, b.matrixRecordSize),
                 "An error attempting to read the...")) {
    return false;
  }
  reader.store(k, duplicateSeen);
  return true;
}

// VIEW=CASE after the rows: at least two cases, then the compaction.
void finishCases(ProxWorkspace& ws, Logical& skipGroup) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  if (o.validCases < 2) {
    host::report(kTooFew, 2, 3);
    skipGroup = kTrue;
    return;
  }
  if (!placeOnce(b.caseNumbers, o.ncase, ws)) return;
  const Word n = o.validCases;
  Word scratch = 0;
  if (allocateWords(scratch, triangle::size(n), ws)) {
    host::report(host::kNoMemory, 2, 3);
    return;
  }
  const Word labelCount = o.idVariable != 0 ? labelWords(o) * o.ncase : 0;
  procompact_cases(
      ws::reals(ws, b.triangle, triangleWords()), ws::reals(ws, b.itemVector, b.itemVectorSize),
      wordsOf(ws, isTrue(o.haveCaseLabels) ? b.caseLabels : 0, labelCount),
      wordsOf(ws, isTrue(o.copyCaseNumbers) ? b.outCaseNumbers : 0, o.ncase),
      ws::integers(ws, b.caseNumbers, o.ncase), ws::reals(ws, scratch, triangle::size(n)));
  releaseWords(scratch, triangle::size(n), ws);
}

// VIEW=VARIABLE after the rows: drop empty trailing items, then every pair
// of the rest must have been given.
void finishVariables(ProxWorkspace& ws, const MatrixSquare& square, std::span<const double> g,
                     Logical& skipGroup) {
  ProxOptions& o = options();
  const double missing = host::systemMissing();
  Word m = o.validCases;
  bool gap = false;
  while (m >= 1 && g[static_cast<std::size_t>(m - 1)] == missing) {
    bool linked = false;
    for (Word i = 1; i < m && !linked; ++i) linked = square.has(m, i) || square.has(i, m);
    if (linked) {
      gap = true;
      break;
    }
    --m;
    ++o.missingRejected;
    o.validCases = m;
  }
  if (m < 2) {
    host::report(kTooFew, 2, 3);
    skipGroup = kTrue;
    return;
  }
  for (Word i = 1; i <= m && !gap; ++i) {
    for (Word j = 1; j <= m && !gap; ++j) gap = !square.has(i, j);
  }
  if (!gap) return;
  if (host::global().splitCount == 0) {
    host::report("The input PROX matrix contains missing distances", 2, 3);
    return;
  }
  BP_BEGIN_COMPSTRING("E14756 split [%1 = %2:, ^1 = ^2:]1...");
  BP_BEGIN_REPEAT_LIST();
  BP_SPLIT_LIST(ws);
  BP_END_REPEAT_LIST();
  BP_ERROR(BP_END_COMPSTRING(), 2, 3);
}

}  // namespace

void proread_matrix(ProxWorkspace& ws, Word record, Word map, Word square, Word nvar,
                    Word& duplicateSeen, Logical& skipGroup) {
  ProxOptions& o = options();
  ProxBlocks& b = o.blocks;
  o.validCases = 0;
  o.missingRejected = 0;
  skipGroup = kFalse;
  QMXSSF(ws);
  const auto items = ws::integers(ws, b.varList, nvar);
  const Word varnameWordCount = varnameWords(items);
  MatrixSquare pairs(ws::integers(ws, square, nvar * nvar), nvar);
  pairs.clear();
  if (isTrue(o.copyCaseNumbers) && !placeOnce(b.outCaseNumbers, o.ncase, ws)) return;

  GroupReader reader{ws,
                     items,
                     ws::reals(ws, record, b.matrixRecordSize),
                     ws::integers(ws, map, nvar),
                     pairs,
                     ws::reals(ws, b.triangle, triangleWords()),
                     ws::reals(ws, b.itemVector, b.itemVectorSize),
                     host::systemMissing()};
  bool invalidSeen = false;
  const MatrixFileState& m = host::matrix();
  for (;;) {
    ATNJMP(ws);
    if (isTrue(m.endOfMatrixInput) || !isTrue(QMXSSF(ws))) break;
    if (host::errorFlagSet()) return;
    if (!readRow(reader, ws, varnameWordCount, duplicateSeen, invalidSeen)) return;
    Word status = 0;
    MTDOBV(ws, 0, {}, -1, status);
    if (status != 0) {
      host::report("An error reading the input matrix...", 2, 3);
      return;
    }
  }
  if (invalidSeen) host::report("Invalid ROWTYPE_ or VARNAME_ values ...", 1, 2);
  if (isTrue(o.viewCases)) {
    finishCases(ws, skipGroup);
  } else {
    finishVariables(ws, pairs, reader.g, skipGroup);
  }
}

void procompact_cases(std::span<double> t, std::span<double> g, std::span<Word> caseLabels,
                      std::span<Word> outCaseNumbers, std::span<Word> caseNumbers,
                      std::span<double> scratch) {
  ProxOptions& o = options();
  const double missing = host::systemMissing();
  const Word n = o.validCases;
  if (n < 1) {
    o.validCases = 0;
    o.missingRejected = 0;
    host::report(kTooManyMissing, 2, 3);
    return;
  }
  Word kept = 0;
  for (Word i = 1; i <= n; ++i) {
    if (g[static_cast<std::size_t>(i - 1)] == missing) {
      ++o.missingRejected;
    } else {
      caseNumbers[static_cast<std::size_t>(kept++)] = i;
    }
  }
  o.validCases = kept;
  if (kept < 2) {
    host::report(kTooManyMissing, 2, 3);
    return;
  }
  const auto words = static_cast<std::size_t>(o.idVariable != 0 ? labelWords(o) : 0);
  for (Word c = 1; c <= kept; ++c) {
    const auto to = static_cast<std::size_t>(c - 1);
    const auto from = static_cast<std::size_t>(caseNumbers[to] - 1);
    g[to] = g[from];
    if (!caseLabels.empty() && words > 0) {
      std::copy_n(caseLabels.begin() + static_cast<std::ptrdiff_t>(from * words), words,
                  caseLabels.begin() + static_cast<std::ptrdiff_t>(to * words));
    }
    if (!outCaseNumbers.empty()) outCaseNumbers[to] = outCaseNumbers[from];
  }
  const auto old = scratch.first(static_cast<std::size_t>(triangle::size(n)));
  std::copy_n(t.begin(), old.size(), old.begin());
  bool anyMissing = false;
  for (Word d = 2; d <= kept; ++d) {
    for (Word c = 1; c < d; ++c) {
      const double v =
          triangle::at(std::span<const double>(old), caseNumbers[static_cast<std::size_t>(d - 1)],
                       caseNumbers[static_cast<std::size_t>(c - 1)]);
      triangle::at(t, d, c) = v;
      anyMissing = anyMissing || v == missing;
    }
  }
  for (Word c = 1; c <= kept; ++c) caseNumbers[static_cast<std::size_t>(c - 1)] += o.rowsRead;
  if (anyMissing) host::report(kTooManyMissing, 2, 3);
}

void proread_label(ProxWorkspace& /*ws*/) {
  ProxOptions& o = options();
  o.measureDocText = FixedText<120>{};
  HostDictionaryState& dictionary = host::dictionaryState();
  const Word before = dictionary.selected;
  dictionary.selected = host::matrix().inputDictWord;
  DICGET(o.rowtypeIndex);
  bool similarities = false;
  if (VLBGDE()) {
    std::array<char, 8> first8{};
    std::array<char, 120> text{};
    Word length = 0;
    VLBGNN(first8, text, length);
    // The row type and kind words are matched as keywords are: in any case.
    std::array<char, 8> kind{};
    std::copy_n(text.begin(), kind.size(), kind.begin());
    CHUPRC(first8);
    CHUPRC(kind);
    if (QCMPNC(std::string_view(first8.data(), 8), "PROX    ")) {
      similarities = QCMPNC(std::string_view(kind.data(), 8), "SIMILARI");
      if (isTrue(o.absoluteValues)) o.absoluteValues = logical(text[14] == 'A');
      if (length > 19) {
        o.measureDocText = FixedText<120>(
            std::string_view(text.data() + 19, static_cast<std::size_t>(length - 19)));
      }
    }
  }
  dictionary.selected = before;
  const MeasureScan scan = proscan_measure_text(o.measureDocText);
  o.measureCode = scan.code;
  o.measureParam1 = scan.param1;
  o.measureParam2 = scan.param2;
  o.inputReversed = logical(scan.reversed);
  o.direction = similarities ? -1 : 1;
  if (scan.rescaled) o.rescale = kTrue;
  if (scan.absolute) o.absolute = kTrue;
}

namespace {

// The words of a measure text: separated by blanks, with each parenthesis a
// word of its own even where nothing separates it ("DICE( 1 )": a keyword of
// four letters fills the columns up to the list).
class Words {
 public:
  explicit Words(std::string_view text) {
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
      const bool end = at == text.size() || text[at] == ' ';
      const bool parenthesis = !end && (text[at] == '(' || text[at] == ')');
      if (end || parenthesis) {
        if (at > start) words_.push_back(text.substr(start, at - start));
        if (parenthesis) words_.push_back(text.substr(at, 1));
        start = at + 1;
      }
    }
  }
  bool atEnd() const { return next_ >= words_.size(); }
  std::string_view peek() const { return atEnd() ? std::string_view{} : words_[next_]; }
  std::string_view take() { return atEnd() ? std::string_view{} : words_[next_++]; }

 private:
  std::vector<std::string_view> words_;
  std::size_t next_ = 0;
};

// The integer a number word stands for (truncated), or nothing.
std::optional<Word> integerOf(std::string_view word) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  constexpr double kLimit = 9.0e18;  // well inside a word
  return static_cast<Word>(std::trunc(std::clamp(value, -kLimit, kLimit)));
}

// "( p )" or "( p r )" after POWER or MINKOWSKI; false ends the scan.
bool scanPowerList(Words& words, MeasureScan& scan) {
  if (words.peek() != "(") return true;
  words.take();
  if (words.atEnd()) return true;
  const std::optional<Word> first = integerOf(words.take());
  if (!first) return false;
  scan.param1 = std::max<Word>(*first, 0);
  if (*first < 1) return false;
  if (words.atEnd()) return true;
  if (words.peek() == ")") {
    words.take();
    scan.param2 = scan.param1;
    return true;
  }
  const std::optional<Word> second = integerOf(words.take());
  if (!second) return false;
  scan.param2 = std::max<Word>(*second, 0);
  if (*second < 1) return false;
  if (words.peek() == ")") words.take();
  return true;
}

// "( present )" or "( present absent )" after a binary measure; false ends
// the scan.
bool scanBinaryList(Words& words, MeasureScan& scan) {
  scan.param1 = 1;
  scan.param2 = 0;
  if (words.peek() != "(") return true;
  words.take();
  if (words.atEnd()) return true;
  const std::optional<Word> present = integerOf(words.take());
  if (!present) return false;
  scan.param1 = *present;
  if (words.atEnd()) return true;
  if (words.peek() == ")") {
    words.take();
    scan.param2 = host::constants().unspecifiedInteger;
    return true;
  }
  const std::optional<Word> absent = integerOf(words.take());
  if (!absent) return false;
  scan.param2 = *absent;
  if (words.peek() == ")") words.take();
  return true;
}

constexpr Word kNoneKeyword = kLastMeasureKeyword + 1;  // "NON"

}  // namespace

MeasureScan proscan_measure_text(const FixedText<120>& text) {
  MeasureScan scan;
  Words words(text.trimmed());
  while (!words.atEnd()) {
    const Word index = QABMCH(words.take(), kMeasureKeywordTable);
    if (index == 0) {
      scan.code = 1;
      return scan;
    }
    const MeasureKeyword& entry = kMeasureKeywords[static_cast<std::size_t>(index - 1)];
    if (index <= kNoneKeyword) {
      scan.code = 1;
      scan.param1 = scan.param2 = 2;
    }
    bool goOn = true;
    switch (entry.form) {
      case ParamForm::Rescale:
        scan.rescaled = true;
        break;
      case ParamForm::Reverse:
        scan.reversed = true;
        break;
      case ParamForm::Absolute:
        scan.absolute = true;
        break;
      case ParamForm::None:
        scan.code = entry.code;
        if (entry.setsParams) {
          scan.param1 = entry.param1;
          scan.param2 = entry.param2;
        }
        break;
      case ParamForm::Power:
        scan.code = entry.code;
        goOn = scanPowerList(words, scan);
        break;
      case ParamForm::Binary:
        scan.code = entry.code;
        goOn = scanBinaryList(words, scan);
        break;
    }
    if (!goOn) return scan;
  }
  return scan;
}

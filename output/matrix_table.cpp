// The "Proximity Matrix" pivot table: every item against every item, the
// measure's label over the item columns, and a footnote saying what the
// numbers are.
#include "output/matrix_table.h"

#include <array>

#include "host/host.h"
#include "measures/catalogue.h"
#include "measures/triangle.h"
#include "proc/options.h"

namespace {

constexpr Word kTable = 3;

// Text number from the host's catalogue, followed by one blank when asked.
Word catalogueText(Word number, bool trailingBlank) {
  std::array<char, 41> buffer{};
  buffer.fill(' ');
  const Word length = GETTXT(number, std::span<char>(buffer.data(), 40));
  const Word take = trailingBlank ? length + 1 : length;
  if (take <= 0) return BP_CSTRING_NO_TRANSLATE("");
  return BP_CSTRING_NO_TRANSLATE(std::string_view(buffer.data(), static_cast<std::size_t>(take)));
}

Word prefix(Logical flag, Word number) {
  return isTrue(flag) ? catalogueText(number, true) : BP_CSTRING_NO_TRANSLATE("");
}

Word formatHandle(CellFormat format) {
  switch (format) {
    case CellFormat::N:
      return BP_N_FORMAT();
    case CellFormat::Coefficient:
      return BP_COEFFICIENT_FORMAT();
    case CellFormat::Correlation:
      return BP_CORRELATION_FORMAT();
    case CellFormat::Significance:
      return BP_SIGNIFICANCE_FORMAT();
    case CellFormat::GenStat:
      return BP_GENSTAT_FORMAT();
  }
  return BP_GENSTAT_FORMAT();
}

std::string_view footnote() {
  const ProxOptions& o = options();
  const bool absolute = isTrue(o.absoluteValues);
  if (o.direction == -1) {
    return absolute ? "This is an absolute similarity matrix" : "This is a similarity matrix";
  }
  return absolute ? "This is an absolute dissimilarity matrix" : "This is a dissimilarity matrix";
}

// How the items of the table are labelled.
class ItemLabels {
 public:
  ItemLabels(ProxWorkspace& ws, std::span<const Word> caseNumbers)
      : ws_(ws), caseNumbers_(caseNumbers) {
    const ProxOptions& o = options();
    byCase_ = isTrue(o.viewCases);
    if (o.blocks.varList != 0) varList_ = ws::integers(ws, o.blocks.varList, o.nvar);
    // The variables of a matrix read from a file are that file's.
    const bool externalInput = isTrue(o.matrixIn) && !isTrue(host::matrix().inputIsWorkingData);
    dictionary_ = externalInput ? host::dictionaries().matrix : host::dictionaries().working;
  }

  // A fresh handle for item k (1-based).
  Word make(Word k) const {
    const ProxOptions& o = options();
    if (!byCase_) return BP_VARINDEX(dictionary_, varList_[index(k)]);
    const Word number = BP_IVALUE(caseNumbers_[index(k)], BP_N_FORMAT());
    if (o.idVariable <= 0) return number;
    const Word words = labelWords(o);
    const auto label = ws::chars(ws_, o.blocks.caseLabels + (k - 1) * words, words);
    BP_BEGIN_COMPSTRING("^1\\:^2");
    BP_ADD_PARAMETER(number);
    BP_ADD_PARAMETER(BP_NSTRING_NO_TRANSLATE(
        std::string_view(label.data(), static_cast<std::size_t>(o.idWidth))));
    return BP_END_COMPSTRING();
  }
  bool byCase() const { return byCase_; }

 private:
  static std::size_t index(Word k) { return static_cast<std::size_t>(k - 1); }
  ProxWorkspace& ws_;
  std::span<const Word> caseNumbers_;
  std::span<const Word> varList_;
  bool byCase_ = true;
  Word dictionary_ = 0;
};

double valueAt(std::span<const double> t, std::span<const double> g, Word i, Word j) {
  if (i == j) return g[static_cast<std::size_t>(i - 1)];
  return triangle::at(t, i, j);
}

}  // namespace

Word procell_format(Word code, Logical rescaled) {
  if (isTrue(rescaled)) return BP_COEFFICIENT_FORMAT();
  const auto info = measureInfo(code);
  return info ? formatHandle(info->format) : BP_GENSTAT_FORMAT();
}

Word promeasure_label(Word code, Word param1, Word param2, Logical rescaled, Logical reversed,
                      Logical absolute, Logical suffix) {
  const Word prefixes[] = {prefix(rescaled, 14701), prefix(reversed, 14702),
                           prefix(absolute, 14703)};
  const auto info = measureInfo(code);
  std::string_view templ = info ? info->label : kMeasures[1].label;
  const bool power = code == 3 && param1 != param2;
  if (power) templ = kPowerLabel;
  BP_BEGIN_COMPSTRING(templ);
  for (const Word p : prefixes) BP_ADD_PARAMETER(p);
  if (code == 3) BP_ADD_PARAMETER(BP_IVALUE(param1, BP_N_FORMAT()));
  if (power) BP_ADD_PARAMETER(BP_IVALUE(param2, BP_N_FORMAT()));
  BP_ADD_PARAMETER(isTrue(suffix) ? catalogueText(14704, false) : BP_CSTRING_NO_TRANSLATE(""));
  return BP_END_COMPSTRING();
}

void proprint_matrix(std::span<const double> t, std::span<const double> g, ProxWorkspace& ws,
                     std::span<const Word> caseNumbers) {
  const ProxOptions& o = options();
  const bool reversed =
      isTrue(o.matrixIn) ? isTrue(o.reverse) != isTrue(o.inputReversed) : isTrue(o.reverse);
  const Word label = promeasure_label(o.measureCode, o.measureParam1, o.measureParam2, o.rescale,
                                      logical(reversed), o.absolute, kFalse);
  const Word format = procell_format(o.measureCode, o.rescale);

  const ItemLabels items(ws, caseNumbers);
  const std::string_view rows = items.byCase() ? "Case" : "Variables1";
  const std::string_view columns = items.byCase() ? "Case2" : "Variables2";
  const Word n = items.byCase() || isTrue(o.matrixIn) ? o.validCases : o.nvar;

  const HostGlobal& global = host::global();
  const bool heading = global.splitCount != 0 && !isTrue(global.layeredSplit);
  if (heading) {
    BP_BEGIN_HEADING("Proximity Matrix");
    BP_BEGIN_COMPSTRING("[%1 = %2:, ^1 = ^2:]1");
    BP_BEGIN_REPEAT_LIST();
    BP_SPLIT_LIST(ws);
    BP_END_REPEAT_LIST();
    BP_BEGIN_PIVOT_TABLE_NS(kTable, BP_END_COMPSTRING(), "Proximity Matrix");
  } else {
    BP_BEGIN_PIVOT_TABLE(kTable, "Proximity Matrix", "Proximity Matrix");
  }
  BP_CELL_DIMENSION(kTable, columns);
  BP_POSITION_DIMENSION(kTable, columns, 1, 1, 1, 0);
  BP_POSITION_DIMENSION(kTable, "Measure", 2, 1, 1, 0);
  BP_POSITION_DIMENSION(kTable, rows, 1, 0, 1, 0);
  BP_CATEGORY_DIMENSION(kTable, label, "Measure");
  BP_ANNOTATE(BP_CSTRING(footnote()), 6);

  if (n >= 1) {
    for (Word j = 1; j <= n; ++j) BP_CATEGORY_DIMENSION(kTable, items.make(j), columns);
    for (Word i = 1; i <= n; ++i) {
      ATNJMP(ws);
      BP_CATEGORY_DIMENSION(kTable, items.make(i), rows);
      for (Word j = 1; j <= n; ++j) {
        BP_CELL_IN_CATEGORY(kTable, BP_LRVALUE(valueAt(t, g, i, j), format), items.make(j));
      }
    }
  }
  BP_END_PIVOT_TABLE(kTable);
  if (heading) BP_END_HEADING();
}

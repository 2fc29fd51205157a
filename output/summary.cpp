// The "Case Processing Summary" of each group, which also decides whether the
// group has enough items to go on, and the "Resources" estimate of
// VIEW=VARIABLE.
#include "output/summary.h"

#include "cases/screening.h"
#include "host/host.h"
#include "measures/catalogue.h"
#include "output/matrix_table.h"
#include "proc/options.h"

namespace {

constexpr Word kTable = 4;
constexpr std::size_t kMaxListedVariables = 100;

void countRow(Word count, Word /*total*/) {
  BP_CELL_IN_CATEGORY(kTable, BP_IVALUE(count, BP_N_FORMAT()), "N");
}

void percentCell(Word count, Word total) {
  const double percent = 100.0 * static_cast<double>(count) / static_cast<double>(total);
  BP_CELL_IN_CATEGORY(kTable, BP_LRVALUE(percent, BP_PERCENT_FORMAT()), "Percent");
}

void row(std::string_view category, Word count, Word total) {
  BP_CATEGORY_DIMENSION(kTable, category, "Cases");
  countRow(count, total);
  percentCell(count, total);
}

// "Variable(s) containing ..." naming the variables whose flag is false.
void annotateOffenders(std::string_view templ, std::span<const Word> varList,
                       std::span<const Logical> flags) {
  BP_BEGIN_COMPSTRING(templ);
  BP_BEGIN_REPEAT_LIST();
  std::size_t listed = 0;
  for (std::size_t k = 0; k < varList.size() && k < flags.size(); ++k) {
    if (isTrue(flags[k])) continue;
    if (listed == kMaxListedVariables) {
      BP_ADD_PARAMETER(BP_CSTRING_NO_TRANSLATE("..."));
      break;
    }
    BP_ADD_PARAMETER(BP_VARIABLE(host::dictionaries().working, varList[k], 2));
    ++listed;
  }
  BP_END_REPEAT_LIST();
  BP_ANNOTATE(BP_END_COMPSTRING(), 5);
}

// The Rejected group of the binary and count measures.
void rejectedGroup(std::string_view screenedRow, Word screened, Word total,
                   std::span<const Word> varList, std::span<const Logical> flags) {
  const ProxOptions& o = options();
  const bool binary = isBinaryMeasure(o.measureCode);
  BP_BEGIN_GROUP(kTable, "Rejected", "Cases");
  row("Missing Value", o.missingRejected, total);
  BP_CATEGORY_DIMENSION(kTable, screenedRow, "Cases");
  if (binary) {
    BP_BEGIN_COMPSTRING("Value different from ^1 ^2 ...");
    BP_ADD_PARAMETER(BP_IVALUE(o.measureParam1, BP_N_FORMAT()));
    BP_ADD_PARAMETER(BP_IVALUE(o.measureParam2, BP_N_FORMAT()));
    BP_ANNOTATE(BP_END_COMPSTRING(), 4);
  }
  countRow(screened, total);
  if (screened > 0) {
    annotateOffenders(binary ? "Variable(s) containing binary [%1:, ^1:]1 ..."
                             : "Variable(s) containing negative [%1:, ^1:]1 ...",
                      varList, flags);
  }
  percentCell(screened, total);
  BP_END_GROUP(kTable, "Cases");
}

bool tooFewItems() {
  const ProxOptions& o = options();
  if (o.validCases < 1) return true;
  return isTrue(o.viewCases) ? o.validCases < 2 : o.nvar < 2;
}

void reportTooFew(ProxWorkspace& ws) {
  if (host::global().splitCount != 0) {
    BP_BEGIN_COMPSTRING("E14730 split [%1 = %2:, ^1 = ^2:]1...");
    BP_BEGIN_REPEAT_LIST();
    BP_SPLIT_LIST(ws);
    BP_END_REPEAT_LIST();
    BP_ERROR(BP_END_COMPSTRING(), 1, 2);
  } else {
    BP_ERROR(BP_CSTRING("E14730"), 1, 2);
  }
}

}  // namespace

void prosummary_table(ProxWorkspace& ws, std::span<const Word> varList,
                      std::span<const Logical> screenFlags) {
  ProxOptions& o = options();
  const Word total = o.validCases + o.missingRejected + o.binaryRejected + o.negativeRejected;
  if (total <= 0) {
    o.errorFlag = kTrue;
    return;
  }
  o.errorFlag = logical(tooFewItems());
  if (isTrue(o.errorFlag)) reportTooFew(ws);

  BP_BEGIN_PIVOT_TABLE(kTable, "Case Processing Summary", "Case Processing Summary");
  BP_POSITION_DIMENSION(kTable, "Statistics", 1, 1, 1, 0);
  BP_POSITION_DIMENSION(kTable, "Cases", 2, 1, 0, 0);
  BP_CELL_DIMENSION(kTable, "Statistics");
  row("Valid", o.validCases, total);
  if (binaryScreeningApplies()) {
    rejectedGroup("Out of Range Binary Value", o.binaryRejected, total, varList, screenFlags);
  } else if (negativeScreeningApplies()) {
    rejectedGroup("Negative Value", o.negativeRejected, total, varList, screenFlags);
  } else {
    row("Missing", o.missingRejected, total);
  }
  BP_CATEGORY_DIMENSION(kTable, "Total", "Cases");
  countRow(total, total);
  BP_CELL_IN_CATEGORY(kTable, BP_LRVALUE(100.0, BP_PERCENT_FORMAT()), "Percent");
  if (!isTrue(o.printMatrix)) {
    BP_ANNOTATE(promeasure_label(o.measureCode, o.measureParam1, o.measureParam2, o.rescale,
                                 o.reverse, o.absolute, kTrue),
                1);
  }
  BP_END_PIVOT_TABLE(kTable);
}

void proresource_table() {
  const ProxOptions& o = options();
  const Word v = o.nvar;
  const Word code = o.measureCode;
  const auto b = [](Word count) { return MEMALU(count, 8); };
  Word sum = isCountMeasure(code) ? 2 * b(v * (v - 1) / 2) : b(v * (v - 1) / 2);
  sum += b(v);
  if (code == 7 || isBinaryMeasure(code)) sum += b(v);
  if (o.standardizeMethod > 0 && !isTrue(o.standardizeByCase)) sum += b(2) + b(2 * v);
  sum += b(v) + b(v);
  if (anyScreeningApplies()) sum += b(v);
  BP_BEGIN_GROUP(1, "Resources", "Contents");
  BP_CELL_IN_CATEGORY(1, BP_IVALUE(sum, BP_N_FORMAT()), "Workspace Bytes");
  BP_END_GROUP(1, "Contents");
}

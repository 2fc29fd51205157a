#include "cases/validation.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "host/host.h"
#include "proc/options.h"

namespace {

struct StatusMessage {
  Word code;
  std::string_view text;
};

constexpr std::array<StatusMessage, 10> kStatusMessages = {{
    {14701, "Insufficient memory for Proximities"},
    {14707, "No case accepted ..."},
    {14730, "E14730"},
    {14766, "Analysis variable is a split-file variable ..."},
    {14767, "Analysis variable has the reserved name ROWTYPE_ ..."},
    {14768, "Analysis variable has the reserved name VARNAME_ ..."},
    {14769, "Analysis variable is the ID variable ..."},
    {14770, "Analysis variable name has the form VARnnn ..."},
    {14771, "The ID variable name has the form VARnnn ..."},
    {14772, "The ID variable is a split-file variable ..."},
}};

}  // namespace

void proreport_error(Word status, Word messageClass, Word severity) {
  for (const StatusMessage& m : kStatusMessages) {
    if (m.code != status) continue;
    const Word handle = BP_CSTRING(m.text);
    if (handle > 0) BP_ERROR(handle, messageClass, severity);
    return;
  }
}

namespace {

std::span<const Word> splitVariables() {
  const HostGlobal& g = host::global();
  return {g.splitVars, static_cast<std::size_t>(std::clamp<Word>(g.splitCount, 0, 8))};
}

// A name of the form VARnnn with nnn between 1 and the item count would clash
// with an item variable of a VIEW=CASE matrix file.
bool looksLikeItemVariable(Word index, Word itemCount) {
  DICGET(index);
  const HostDictEntry& e = host::entry();
  FixedText<8> root;
  Word number = 0;
  Word numberStart = 0;
  SPLIT(std::string_view(e.name, static_cast<std::size_t>(e.nameLength)), root, number,
        numberStart);
  return root.trimmed() == "VAR" && numberStart == 4 && number >= 1 && number <= itemCount;
}

Word checkVariableView(std::span<const Word> list) {
  const Word idVariable = options().idVariable;
  for (const Word split : splitVariables()) {
    if (QSIMTC(split, list)) return 14766;
  }
  const Word rowtype = DICSCH("ROWTYPE_");
  if (rowtype != 0 && QSIMTC(rowtype, list)) return 14767;
  const Word varname = DICSCH("VARNAME_");
  if (varname != 0 && QSIMTC(varname, list)) return 14768;
  if (idVariable != 0 && QSIMTC(idVariable, list)) return 14769;
  if (idVariable != 0 && QSIMTC(idVariable, splitVariables())) return 14772;
  return 0;
}

Word checkCaseView(Word itemCount) {
  const Word idVariable = options().idVariable;
  for (const Word split : splitVariables()) {
    if (looksLikeItemVariable(split, itemCount)) return 14770;
  }
  if (idVariable != 0 && looksLikeItemVariable(idVariable, itemCount)) return 14771;
  if (idVariable != 0 && QSIMTC(idVariable, splitVariables())) return 14772;
  return 0;
}

}  // namespace

void procheck_output_names(ProxWorkspace& /*ws*/, Word itemCount, std::span<const Word> varList,
                           Word& status) {
  status = isTrue(options().viewCases) ? checkCaseView(itemCount) : checkVariableView(varList);
}

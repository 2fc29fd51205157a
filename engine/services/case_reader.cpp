#include "engine/services/case_reader.h"
#include <optional>

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/core/session.h"
#include "engine/core/timing.h"
#include "engine/data/split_title.h"
#include "host/tavixwlib.h"

namespace engine {

namespace {

// One pass over the working data. The reader keeps one case ahead of the one
// it delivered, to see where a group ends before it says so.
struct Pass {
  std::unique_ptr<CaseCursor> cursor;
  Case ahead;
  bool haveAhead = false;
  bool exhausted = false;  // the cursor has no case left (or failed)
  bool inGroup = false;    // a case of the current group was delivered
  std::int64_t sequence = 0;
};

std::unique_ptr<Pass> pass;
// The case last delivered; it outlives its pass so that the group it belongs
// to can still be named after the pass ended.
Case current;
bool haveCurrent = false;
std::vector<const char*> stringPointers;

std::span<const Word> splitVariables(const HostGlobal& global) {
  constexpr auto kSlots = static_cast<Word>(std::size(HostGlobal{}.splitVars));
  const auto count = static_cast<std::size_t>(std::clamp<Word>(global.splitCount, 0, kSlots));
  return {global.splitVars, count};
}

bool validIndex(Word index, const Case& c) {
  return index >= 1 && static_cast<std::size_t>(index) <= c.values.size();
}

bool sameGroup(const HostGlobal& global, const Case& a, const Case& b) {
  for (Word index : splitVariables(global)) {
    if (!validIndex(index, a) || !validIndex(index, b)) continue;
    const auto k = static_cast<std::size_t>(index - 1);
    if (a.values[k] != b.values[k] || a.strings[k] != b.strings[k]) return false;
  }
  return true;
}

double weightOf(Session& session, const Case& c) {
  const Word index = session.global.weightVar;
  const Dictionary& dictionary = session.dictionary();
  if (!validIndex(index, c) || static_cast<std::size_t>(index) > dictionary.size()) return 1.0;
  const Variable& variable = dictionary.at(index);
  if (variable.isString()) return 1.0;
  const double weight = c.values[static_cast<std::size_t>(index - 1)];
  if (weight == session.constants.systemMissing || variable.missing.isMissing(weight) ||
      weight < 0.0) {
    return 0.0;
  }
  return weight;
}

// Shows the problem as an error, which ends the procedure's passes.
void failPass(Session& session, const std::string& text) {
  session.message(3, text);  // also sets the error flag
  session.global.endOfData = kTrue;
  if (pass) {
    pass->exhausted = true;
    pass->haveAhead = false;
    pass->inGroup = false;
    pass->cursor.reset();
  }
}

void readAhead(Session& session) {
  if (pass->haveAhead || pass->exhausted) return;
  try {
    pass->haveAhead = pass->cursor->next(pass->ahead);
  } catch (const DataError& e) {
    failPass(session, e.what());
    return;
  }
  if (!pass->haveAhead) {
    pass->exhausted = true;
    pass->cursor.reset();  // close the file as soon as it is read
  }
}

void deliverAhead(Session& session) {
  std::swap(current, pass->ahead);
  pass->haveAhead = false;
  pass->inGroup = true;
  haveCurrent = true;
  ++pass->sequence;

  stringPointers.resize(current.strings.size());
  for (std::size_t k = 0; k < current.strings.size(); ++k) {
    stringPointers[k] = current.strings[k].c_str();
  }
  session.currentCase.values = current.values.data();
  session.currentCase.strings = stringPointers.data();
  session.global.caseSequence = pass->sequence;
  session.global.caseBufferStart = pass->sequence;
  session.global.caseWeight = weightOf(session, current);
}

// Is the listed variable's value of the case missing under the include rule?
bool isMissingValue(Session& session, const HostCase& c, Word index, bool includeMissing,
                    double& value) {
  const Dictionary& dictionary = session.dictionary();
  if (index < 1 || static_cast<std::size_t>(index) > dictionary.size() || c.values == nullptr) {
    value = session.constants.systemMissing;
    return true;
  }
  const Variable& variable = dictionary.at(index);
  const auto k = static_cast<std::size_t>(index - 1);
  value = c.values[k];
  if (variable.isString()) {
    if (includeMissing || c.strings == nullptr) return false;
    return variable.missing.isMissing(
        std::string_view(c.strings[k], static_cast<std::size_t>(variable.width)));
  }
  if (value == session.constants.systemMissing) return true;
  return !includeMissing && variable.missing.isMissing(value);
}

}  // namespace

std::vector<std::pair<std::int64_t, std::string>> currentGroupSplitValues() {
  std::vector<std::pair<std::int64_t, std::string>> result;
  Session& session = Session::current();
  if (!haveCurrent) return result;
  const Dictionary& dictionary = session.dictionary();
  for (Word index : splitVariables(session.global)) {
    if (!validIndex(index, current) || static_cast<std::size_t>(index) > dictionary.size()) {
      continue;
    }
    const auto k = static_cast<std::size_t>(index - 1);
    result.emplace_back(index, splitValueText(dictionary.at(index), current, k));
  }
  return result;
}

std::vector<std::pair<std::string, std::string>> workingDataSplitTitles() {
  std::vector<std::pair<std::string, std::string>> titles;
  const Dictionary& dictionary = Session::current().dictionary();
  for (auto& [index, value] : currentGroupSplitValues()) {
    const bool known = index >= 1 && static_cast<std::size_t>(index) <= dictionary.size();
    titles.emplace_back(known ? dictionary.at(index).name : "?", std::move(value));
  }
  return titles;
}

const Case* lastDeliveredCase() { return haveCurrent ? &current : nullptr; }

}  // namespace engine

using engine::Session;

void OBINIT(ProxWorkspace&) {
  Session& session = Session::current();
  engine::pass.reset();
  session.global.endOfData = kFalse;
  session.global.endOfGroup = kFalse;
  if (!session.dataset) {
    engine::failPass(session, "There are no working data: LOAD a CSV file or give INLINE data.");
  }
}

void OBPINI(ProxWorkspace&) {
  Session& session = Session::current();
  engine::pass = std::make_unique<engine::Pass>();
  engine::haveCurrent = false;
  session.global.endOfData = kFalse;
  session.global.endOfGroup = kFalse;
  session.global.caseSequence = 0;
  session.global.caseBufferStart = 0;
  ++session.global.multiplePassWord;
  if (!session.dataset) {
    engine::failPass(session, "There are no working data: LOAD a CSV file or give INLINE data.");
    return;
  }
  try {
    engine::pass->cursor = session.dataset->open();
  } catch (const engine::DataError& e) {
    engine::failPass(session, e.what());
  }
  engine::commandTiming().passStarted(isTrue(session.global.multiplePass));
}

// The split-group protocol: a case; after a group's last case one call that
// only sets endOfGroup; then the next group's first case or endOfData.
void OBSERV(ProxWorkspace&) {
  std::optional<engine::TimedScope> timed;
  if (!engine::commandTiming().inCountingPass()) timed.emplace(engine::TimedPhase::Reading);
  Session& session = Session::current();
  HostGlobal& global = session.global;
  global.endOfGroup = kFalse;
  if (!engine::pass || isTrue(global.endOfData)) {
    global.endOfData = kTrue;
    return;
  }
  engine::readAhead(session);
  if (isTrue(global.endOfData)) return;  // the read failed
  engine::Pass& pass = *engine::pass;
  if (pass.inGroup &&
      (!pass.haveAhead || !engine::sameGroup(global, engine::current, pass.ahead))) {
    pass.inGroup = false;
    global.endOfGroup = kTrue;
    return;
  }
  if (!pass.haveAhead) {
    global.endOfData = kTrue;
    return;
  }
  engine::deliverAhead(session);
}

void OBPEND(ProxWorkspace&) {
  engine::pass.reset();
  engine::commandTiming().passEnded();
}

void MSCOPY(const HostCase& current, std::span<double> out, std::span<const Word> indices,
            Logical includeMissing, Word& missingCount, ProxWorkspace&) {
  Session& session = Session::current();
  missingCount = 0;
  const std::size_t count = std::min(out.size(), indices.size());
  for (std::size_t k = 0; k < count; ++k) {
    if (engine::isMissingValue(session, current, indices[k], isTrue(includeMissing), out[k])) {
      ++missingCount;
    }
  }
}

Logical QLMISS(const HostCase& current, std::span<const Word> indices, Logical includeMissing,
               ProxWorkspace&) {
  Session& session = Session::current();
  double value = 0.0;
  for (Word index : indices) {
    if (engine::isMissingValue(session, current, index, isTrue(includeMissing), value)) {
      return kTrue;
    }
  }
  return kFalse;
}

Logical QDINT(double value) {
  Session& session = Session::current();
  if (!std::isfinite(value) || value == session.constants.systemMissing) return kFalse;
  const double distance = std::fabs(value - std::nearbyint(value));
  return logical(distance <= session.constants.tolerance * std::max(1.0, std::fabs(value)));
}

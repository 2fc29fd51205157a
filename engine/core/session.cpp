#include "engine/core/session.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "host/tavixwcom.h"
#include "host/tavixwdat.h"

namespace engine {
namespace {

constexpr std::size_t kSplitSlots = std::size(HostGlobal{}.splitVars);

MachineConstants machineConstants() {
  MachineConstants c{};
  c.systemMissing = -DBL_MAX;  // the lowest finite double: never a real datum
  c.largest = DBL_MAX;
  c.mostNegative = -DBL_MAX;
  // Relative tolerance of the whole-number test (QDINT): a value counts as
  // whole when it lies within 1e-9 * max(1, |value|) of an integer.
  c.tolerance = 1e-9;
  c.unspecifiedInteger = std::numeric_limits<Word>::min();
  return c;
}

}  // namespace

Session& Session::current() {
  static Session session;
  return session;
}

Session::Session() : constants(machineConstants()) {
  areas =
      HostSharedAreas{&global, &constants, &token, &entry, &dictionaryState, &matrix, &currentCase};
  dictionaryHandles = HostDictionaryHandles{kWorkingDictionary, kMatrixDictionary};
}

void Session::reset() {
  dataset.reset();
  split = SplitSettings{};
  weightVariable = 0;
  failedLoad.clear();
  matrixDictionary = nullptr;
  matrixOutputDictionary = nullptr;
  entryWork = EntryWork{};
  emptyDictionary_ = Dictionary{};

  // Assign in place: the procedure holds the addresses of these areas.
  global = HostGlobal{};
  token = HostToken{};
  entry = HostDictEntry{};
  dictionaryState = HostDictionaryState{};
  matrix = MatrixFileState{};
  currentCase = HostCase{};

  commandTokens.clear();
  commandName.clear();
  sourceLocation.clear();
  scannerStacks.clear();
  nextStackHandle = 1;
  statusName.clear();
  workspace.releaseAll();
  workspace.resetPeak();
  setOutput(nullptr);
  interruptRequested = 0;
}

Dictionary& Session::dictionary() { return dataset ? dataset->dictionary : emptyDictionary_; }

Dictionary& Session::selectedDictionary() {
  switch (dictionaryState.selected) {
    case kMatrixDictionary:
      return matrixDictionary != nullptr ? *matrixDictionary : emptyDictionary_;
    case kMatrixOutputDictionary:
      return matrixOutputDictionary != nullptr ? *matrixOutputDictionary : emptyDictionary_;
    default:
      return dictionary();
  }
}

void Session::publishSettings() {
  const std::size_t count = std::min(split.variables.size(), kSplitSlots);
  global.splitCount = static_cast<Word>(count);
  std::fill(std::begin(global.splitVars), std::end(global.splitVars), Word{0});
  std::copy_n(split.variables.begin(), count, std::begin(global.splitVars));
  global.layeredSplit = logical(split.layered);
  global.weightVar = weightVariable;
  global.caseWeight = 1.0;
  global.endOfData = kFalse;
  global.endOfGroup = kFalse;
  dictionaryState.selected = kWorkingDictionary;
  dictionaryState.variableCount = static_cast<Word>(dictionary().size());
}

void Session::message(int severity, std::string_view text) {
  if (messages_ != nullptr) messages_->message(severity, text);
  if (severity >= 3) global.errorFlag = kTrue;
}

}  // namespace engine

const HostSharedAreas& TAVIXWCOM() { return engine::Session::current().areas; }

const HostDictionaryHandles& TAVIXWDAT() { return engine::Session::current().dictionaryHandles; }

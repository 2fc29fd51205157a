// Matrix-file services of the host interface. For now they parse file
// specifications; opening, reading and writing matrix files are not
// available yet, and say so.
#include <algorithm>
#include <string>

#include "engine/session.h"
#include "host/tavixwlib.h"

namespace {

using engine::Session;

constexpr std::string_view kNotAvailable = "Matrix input files are not available yet.";

// The current token as a file specification: a quoted file name, or * for
// the working data. Returns false (after an error) for anything else.
bool parseSpecification(bool& workingData) {
  Session& s = Session::current();
  const HostToken& t = s.token;
  MatrixFileState& m = s.matrix;
  if (!isTrue(t.endOfCommand) && t.tokenClass == kTokenDelimiter && t.delimiter == kDelimStar) {
    workingData = true;
    return true;
  }
  if (isTrue(t.endOfCommand) || t.tokenClass != kTokenString) {
    s.message(3, "A matrix file is given as a quoted file name or *.");
    return false;
  }
  const std::string_view name(t.text, static_cast<std::size_t>(t.length));
  if (name.empty() || name.size() > sizeof m.fileName) {
    s.message(3,
              "A matrix file name has 1 to " + std::to_string(sizeof m.fileName) + " characters.");
    return false;
  }
  std::fill(std::begin(m.fileName), std::end(m.fileName), ' ');
  std::copy(name.begin(), name.end(), m.fileName);
  workingData = false;
  return true;
}

}  // namespace

void MTDINI(ProxWorkspace& /*ws*/) { Session::current().matrix = MatrixFileState{}; }

void MTDFRI(ProxWorkspace& /*ws*/, Word /*a*/, Word /*b*/, Word /*c*/, Logical& failed) {
  bool workingData = false;
  failed = logical(!parseSpecification(workingData));
  if (!isTrue(failed)) Session::current().matrix.inputIsWorkingData = logical(workingData);
}

void MTDFRO(ProxWorkspace& /*ws*/, Logical& failed) {
  bool workingData = false;
  failed = logical(!parseSpecification(workingData));
  if (!isTrue(failed)) Session::current().matrix.outputIsWorkingData = logical(workingData);
}

void MTDOPN(ProxWorkspace& /*ws*/, Logical& failed) {
  failed = kTrue;
  Session::current().message(3, kNotAvailable);
}

Logical QMXSSF(ProxWorkspace& /*ws*/) { return kFalse; }

void MTXMAP(ProxWorkspace& /*ws*/, Word /*varListOffset*/, Word /*nvar*/, Word& mapOffset,
            Word& mapSize, Word /*message1*/, Word /*message2*/) {
  mapOffset = 0;
  mapSize = 0;
  Session::current().message(3, kNotAvailable);
}

// Nothing is ever open yet, so there is nothing to close.
void MTDCLI(ProxWorkspace& /*ws*/) {}
void MTDNDI(ProxWorkspace& /*ws*/) {}
void MTDCLS(ProxWorkspace& /*ws*/) {}

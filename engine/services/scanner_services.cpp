// Scanner services of the host interface: readings ("stacks") of the tokens
// of the command being run, one token at a time, with positions that can be
// set back and forth.
#include <algorithm>

#include "engine/core/session.h"
#include "engine/services/keyword_hints.h"
#include "host/tavixwlib.h"

namespace {

using engine::Session;

constexpr Word kStackOverheadWords = 2;

// Makes the token at 1-based position p current, or the end of the command
// when p lies past the last token.
void makeCurrent(Session& s, Word p) {
  HostToken& t = s.token;
  const auto count = static_cast<Word>(s.commandTokens.size());
  if (p < 1 || p > count) {
    t = HostToken{};
    t.position = count + 1;
    return;
  }
  const engine::Token& token = s.commandTokens[static_cast<std::size_t>(p - 1)];
  t.endOfCommand = kFalse;
  t.tokenClass = token.cls;
  t.delimiter = token.cls == kTokenDelimiter ? token.delim : kDelimNone;
  t.number = token.number;
  t.position = p;
  t.length = static_cast<Word>(token.text.size());
  t.text = token.text.c_str();
}

}  // namespace

// Mode -1 reads the tokens of the command being run, which is the only kind
// of stack there is; any other mode gives status 2. Status 1: the workspace
// cannot hold the stack (one word per token and a little more).
void SSTACK(ProxWorkspace& /*ws*/, Word& stack, Word mode, Word& status) {
  Session& s = Session::current();
  stack = 0;
  if (mode != -1) {
    status = 2;
    return;
  }
  const Word words = static_cast<Word>(s.commandTokens.size()) + kStackOverheadWords;
  const Word offset = s.workspace.allocate(words);
  if (offset == 0) {
    engine::recordWorkspaceRefusal(words * 8, s.workspace.bytesInUse(), s.workspace.limitBytes());
    status = 1;
    return;
  }
  stack = s.nextStackHandle++;
  s.scannerStacks[stack] = engine::ScannerStack{offset, words, 0};
  status = 0;
}

// The status names are kept for diagnostics only; the procedure passes zeros.
void STATOP(const char (&name1)[8], const char (&name2)[8], Word /*a*/, Word /*b*/,
            ProxWorkspace& /*ws*/) {
  std::string names(name1, sizeof name1);
  names.append(name2, sizeof name2);
  names.erase(std::remove(names.begin(), names.end(), '\0'), names.end());
  Session::current().statusName = names.substr(0, ICHWDC(names));
}

void SSNXT1(Word stack) {
  Session& s = Session::current();
  const auto found = s.scannerStacks.find(stack);
  if (found == s.scannerStacks.end()) {  // no such stack: nothing to read
    makeCurrent(s, 0);
    return;
  }
  const auto count = static_cast<Word>(s.commandTokens.size());
  // Past the end the reading stays at the end instead of counting on.
  Word& last = found->second.lastPosition;
  last = std::min(last + 1, count + 1);
  makeCurrent(s, last);
}

void SSETPT(Word stack, Word position) {
  Session& s = Session::current();
  const auto found = s.scannerStacks.find(stack);
  if (found == s.scannerStacks.end()) return;
  const auto count = static_cast<Word>(s.commandTokens.size());
  found->second.lastPosition = std::clamp<Word>(position, 0, count);
}

void SSDELS(ProxWorkspace& /*ws*/, Word& stack) {
  Session& s = Session::current();
  const auto found = s.scannerStacks.find(stack);
  if (found != s.scannerStacks.end()) {
    s.workspace.release(found->second.offset, found->second.words);
    s.scannerStacks.erase(found);
  }
  stack = 0;
}

#include "engine/core/commands.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "engine/core/session.h"

namespace engine {
namespace {

struct CommandEntry {
  std::string word;  // upper case
  std::size_t minLetters;
  CommandHandler handler;
  std::string synopsis;
};

// Built on first use, so that commands may register from static
// initialisers in any translation unit.
std::vector<CommandEntry>& commandTable() {
  static std::vector<CommandEntry> table;
  return table;
}

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// How a token is named in a message.
std::string describe(const Token& token) {
  switch (token.cls) {
    case kTokenString:
      return "the string \"" + token.text + "\"";
    case kTokenNumber:
      return "the number " + token.text;
    default:
      return "'" + token.text + "'";
  }
}

}  // namespace

void registerCommand(std::string word, std::size_t minLetters, CommandHandler handler,
                     std::string synopsis) {
  word = upper(word);
  auto& table = commandTable();
  const auto same = std::find_if(table.begin(), table.end(),
                                 [&word](const CommandEntry& e) { return e.word == word; });
  if (same != table.end()) {
    same->minLetters = minLetters;
    same->handler = std::move(handler);
    same->synopsis = std::move(synopsis);
    return;
  }
  table.push_back(
      CommandEntry{std::move(word), minLetters, std::move(handler), std::move(synopsis)});
}

std::vector<CommandSummary> registeredCommands() {
  std::vector<CommandSummary> summaries;
  for (const CommandEntry& e : commandTable()) {
    summaries.push_back(CommandSummary{e.word, e.minLetters, e.synopsis});
  }
  return summaries;
}

const CommandHandler* findCommand(std::string_view word) {
  const std::string typed = upper(word);
  if (typed.empty()) return nullptr;
  const CommandHandler* abbreviated = nullptr;
  for (const CommandEntry& e : commandTable()) {
    if (e.word == typed) return &e.handler;
    const bool isPrefix = typed.size() < e.word.size() && e.word.starts_with(typed);
    if (abbreviated == nullptr && isPrefix && typed.size() >= e.minLetters) {
      abbreviated = &e.handler;
    }
  }
  return abbreviated;
}

const Token& Args::peek() const {
  if (atEnd()) fail("The command ends too early.");
  return command_.tokens[pos_];
}

const Token& Args::next() {
  const Token& token = peek();
  ++pos_;
  return token;
}

bool Args::nextIsDelim(DelimiterCode d) const {
  return !atEnd() && command_.tokens[pos_].cls == kTokenDelimiter &&
         command_.tokens[pos_].delim == d;
}

bool Args::nextIsWord(std::string_view word) const {
  return !atEnd() && command_.tokens[pos_].cls == kTokenName &&
         upper(command_.tokens[pos_].text) == upper(word);
}

namespace {

std::string foundText(const Args& args) {
  return args.atEnd() ? "the end of the command" : describe(args.peek());
}

}  // namespace

std::string Args::expectName() {
  if (atEnd() || peek().cls != kTokenName) fail("Expected a name, found " + foundText(*this) + ".");
  return next().text;
}

std::string Args::expectString() {
  if (atEnd() || peek().cls != kTokenString) {
    fail("Expected a quoted string, found " + foundText(*this) + ".");
  }
  return next().text;
}

double Args::expectNumber() {
  if (atEnd() || peek().cls != kTokenNumber) {
    fail("Expected a number, found " + foundText(*this) + ".");
  }
  return next().number;
}

void Args::expectDelim(DelimiterCode d, std::string_view what) {
  if (!nextIsDelim(d)) fail("Expected " + std::string(what) + ", found " + foundText(*this) + ".");
  ++pos_;
}

void Args::expectEnd() {
  if (!atEnd()) fail("The command should end before " + describe(peek()) + ".");
}

void Args::fail(const std::string& message) const { throw CommandError(message); }

void skipWithoutLoadedData(const Session& session) {
  if (session.failedLoad.empty()) return;
  throw CommandSkipped("Skipped: the " + session.failedLoad +
                       " failed, and this command needs the data it was to load.");
}

}  // namespace engine

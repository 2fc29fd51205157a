// Dictionary services of the host interface: variable lists, lookups by name
// and index, variable labels, and the split of a name into root and number.
// They act on the dictionary that HostDictionaryState::selected names; the
// entry-building services (DICCLR, DICPUT, VRLBLD, VLBPTL, VLBPDE) make the
// dictionary of a matrix file.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "engine/core/session.h"
#include "engine/data/csv_table.h"
#include "host/tavixwlib.h"

namespace {

using engine::Dictionary;
using engine::Session;

constexpr Word kProximityAttribute = 3;

std::string_view trimmed(std::string_view text) { return text.substr(0, ICHWDC(text)); }

bool equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

std::string_view currentTokenText() {
  const HostToken& t = Session::current().token;
  if (isTrue(t.endOfCommand)) return {};
  return trimmed(std::string_view(t.text, static_cast<std::size_t>(t.length)));
}

bool currentTokenIsName() {
  const HostToken& t = Session::current().token;
  return !isTrue(t.endOfCommand) && t.tokenClass == kTokenName;
}

// The problem that ends a variable list; the message says what was wrong.
struct ListError {
  std::string message;
};

// Reads a variable list token by token from a scanner stack. The meaning of
// PRVRLT's four small integers is kept here (see docs/command-language.md).
class VariableListReader {
 public:
  VariableListReader(Word stack, Word stringsAllowed, Word allowAll, Word endDelimiter,
                     Word repeatsCountOnce, std::span<Word> indices)
      : stack_(stack),
        numericOnly_(stringsAllowed != 1),
        allowAll_(allowAll == 1),
        endDelimiter_(endDelimiter),
        repeatsCountOnce_(repeatsCountOnce == 1),
        dictionary_(Session::current().selectedDictionary()),
        indices_(indices),
        listed_(dictionary_.size() + 1, false) {}

  // Fills the indices and returns their count; throws ListError.
  Word read() {
    if (atListEnd()) throw ListError{"A variable list is expected here."};
    while (!atListEnd()) readItem();
    return count_;
  }

  bool atListEnd() const {
    const HostToken& t = Session::current().token;
    return isTrue(t.endOfCommand) ||
           (t.tokenClass == kTokenDelimiter && t.delimiter == endDelimiter_);
  }
  void skipToListEnd() {
    while (!atListEnd()) SSNXT1(stack_);
  }

 private:
  void readItem() {
    if (!currentTokenIsName()) {
      throw ListError{"The variable list contains '" + std::string(currentTokenText()) +
                      "'; a list takes variable names, TO and ALL only."};
    }
    const std::string name(currentTokenText());
    if (allowAll_ && equalNoCase(name, "ALL")) {
      addAll();
      SSNXT1(stack_);
      return;
    }
    if (equalNoCase(name, "TO")) throw ListError{"TO must stand between two variable names."};
    const Word first = lookUp(name);
    SSNXT1(stack_);
    if (!currentTokenIsName() || !equalNoCase(currentTokenText(), "TO")) {
      add(first);
      return;
    }
    SSNXT1(stack_);
    if (!currentTokenIsName()) throw ListError{"TO must be followed by a variable name."};
    const std::string lastName(currentTokenText());
    const Word last = lookUp(lastName);
    if (last < first) {
      throw ListError{"The range " + name + " TO " + lastName + " is reversed: " + lastName +
                      " comes before " + name + " in the data."};
    }
    for (Word k = first; k <= last; ++k) add(k);
    SSNXT1(stack_);
  }

  // ALL in a list of numeric variables stands for the numeric ones: data
  // with a label column (an ID, a row-name index) are the usual case, and a
  // note says what was left out.
  void addAll() {
    std::vector<std::string> skipped;
    for (std::size_t k = 1; k <= dictionary_.size(); ++k) {
      const engine::Variable& v = dictionary_.at(static_cast<Word>(k));
      if (numericOnly_ && v.isString()) {
        skipped.push_back(v.name);
      } else {
        add(static_cast<Word>(k));
      }
    }
    if (skipped.empty()) return;
    if (skipped.size() == dictionary_.size()) {
      throw ListError{"ALL names no numeric variable: every variable of the data is a string."};
    }
    std::string list;
    for (const std::string& n : skipped) list += (list.empty() ? "" : ", ") + n;
    Session::current().message(
        1, "ALL stands for the numeric variables here; it leaves out the string " +
               std::string(skipped.size() == 1 ? "variable " : "variables ") + list + ".");
  }

  Word lookUp(const std::string& name) const {
    const Word index = dictionary_.find(name);
    if (index == 0) throw ListError{"There is no variable named " + name + "."};
    return index;
  }

  void add(Word index) {
    const engine::Variable& v = dictionary_.at(index);
    if (numericOnly_ && v.isString()) {
      throw ListError{"The variable " + v.name +
                      " is a string variable; the list takes numeric variables only."};
    }
    if (listed_[static_cast<std::size_t>(index)] && repeatsCountOnce_) return;
    if (count_ >= static_cast<Word>(indices_.size())) {
      throw ListError{"The variable list names more than " + std::to_string(indices_.size()) +
                      " variables."};
    }
    listed_[static_cast<std::size_t>(index)] = true;
    indices_[static_cast<std::size_t>(count_++)] = index;
  }

  Word stack_;
  bool numericOnly_;
  bool allowAll_;
  Word endDelimiter_;
  bool repeatsCountOnce_;
  const Dictionary& dictionary_;
  std::span<Word> indices_;
  std::vector<bool> listed_;
  Word count_ = 0;
};

// Shows the entry in hand in HostDictEntry (index: its place, 0 for a fresh one).
void showEntryInHand(Word index) {
  Session& s = Session::current();
  const engine::Variable& v = s.entryWork.inHand;
  HostDictEntry& e = s.entry;
  e.index = index;
  std::fill(std::begin(e.name), std::end(e.name), ' ');
  const std::size_t n = std::min(v.name.size(), sizeof e.name);
  std::copy_n(v.name.begin(), n, e.name);
  e.nameLength = static_cast<Word>(n);
  e.width = v.width;
  e.hasUserMissing = logical(!v.missing.empty());
  e.labelCount = v.label.empty() ? 0 : 1;
  e.printFormat = v.print.encode();
  e.writeFormat = v.write.encode();
  e.attribute = v.attribute;
  e.labelHandle = 0;
}

// The entry in hand with what the procedure changed in HostDictEntry.
engine::Variable entryToStore(Session& s) {
  const HostDictEntry& e = s.entry;
  engine::Variable v = s.entryWork.inHand;
  const bool madeNumeric = v.isString() && e.width == 0;
  v.width = static_cast<int>(std::clamp<Word>(e.width, 0, engine::data::kMaxStringWidth));
  v.print = engine::Format::decode(e.printFormat);
  v.write = engine::Format::decode(e.writeFormat);
  v.attribute = static_cast<int>(e.attribute);
  const auto& labels = s.entryWork.madeLabels;
  if (e.labelHandle >= 1 && e.labelHandle <= static_cast<Word>(labels.size())) {
    v.label = labels[static_cast<std::size_t>(e.labelHandle - 1)];
  }
  // A proximity variable holds proximities, not the values that the labels
  // and missing values of its source describe; a string made numeric keeps
  // no string missing values either.
  if (v.attribute == kProximityAttribute || madeNumeric) {
    v.valueLabels.clear();
    v.missing = engine::MissingValues{};
  }
  return v;
}

const engine::Variable* currentEntryVariable() {
  Session& s = Session::current();
  const Dictionary& d = s.selectedDictionary();
  const Word index = s.entry.index;
  if (index < 1 || index > static_cast<Word>(d.size())) return nullptr;
  return &d.at(index);
}

}  // namespace

// stringsAllowed: 0 takes numeric variables only (a string variable is an
// error), 1 variables of both kinds; allowAll: 1 makes ALL stand for every
// variable; endDelimiter: the delimiter code that ends the list besides the
// end of the command (11: '/'); repeatsCountOnce: 1 keeps a variable named
// twice at its first place only (0 lists it each time).
void PRVRLT(ProxWorkspace& /*ws*/, Word stack, Word stringsAllowed, Word allowAll,
            Word endDelimiter, Word repeatsCountOnce, std::span<Word> indices, Word& count,
            Logical& errorFlag) {
  VariableListReader reader(stack, stringsAllowed, allowAll, endDelimiter, repeatsCountOnce,
                            indices);
  try {
    count = reader.read();
  } catch (const ListError& e) {
    count = 0;
    errorFlag = kTrue;
    Session::current().message(3, e.message);
    reader.skipToListEnd();
  }
}

Word DICSCH(std::string_view name) { return Session::current().selectedDictionary().find(name); }

void DICGET(Word index) {
  Session& s = Session::current();
  const Dictionary& d = s.selectedDictionary();
  s.entry = HostDictEntry{};
  s.entryWork.inHand = engine::Variable{};
  if (index < 1 || index > static_cast<Word>(d.size())) return;
  s.entryWork.inHand = d.at(index);
  showEntryInHand(index);
}

void DICCLR(std::string_view name) {
  Session& s = Session::current();
  s.entry = HostDictEntry{};
  engine::Variable fresh;
  fresh.name = std::string(trimmed(name));
  s.entryWork.inHand = std::move(fresh);
  showEntryInHand(0);
}

// Entries are stored only in the dictionary of a matrix file being written:
// the working data's dictionary changes through the engine's own commands.
void DICPUT(Word index) {
  Session& s = Session::current();
  if (s.dictionaryState.selected != engine::kMatrixOutputDictionary ||
      s.matrixOutputDictionary == nullptr) {
    s.message(3, "There is no matrix file being written to store a variable in.");
    return;
  }
  Dictionary& d = *s.matrixOutputDictionary;
  engine::Variable v = entryToStore(s);
  const Word existing = d.find(v.name);
  if (existing != 0 && existing != index) {
    s.message(3, "The matrix file cannot have two variables named " + v.name +
                     "; rename the variable of the working data.");
    return;
  }
  if (index >= 1 && index <= static_cast<Word>(d.size())) {
    d.at(index) = std::move(v);
  } else {
    d.add(std::move(v));
  }
}

Word DIFENC(Word type, Word width, Word decimals) {
  return engine::Format{static_cast<int>(type), static_cast<int>(width), static_cast<int>(decimals)}
      .encode();
}

Word VRLBLD(std::string_view label) {
  auto& labels = Session::current().entryWork.madeLabels;
  labels.emplace_back(trimmed(label));
  return static_cast<Word>(labels.size());
}

void VLBPTL(ProxWorkspace& /*ws*/, Word /*first*/, Word /*count*/, Word words,
            std::string_view text, Word /*mode*/) {
  const auto limit = static_cast<std::size_t>(std::max<Word>(words, 0)) * 8;
  Session::current().entryWork.longLabel = std::string(trimmed(text.substr(0, limit)));
}

void VLBPDE(ProxWorkspace& /*ws*/) {
  Session& s = Session::current();
  s.entryWork.inHand.label = s.entryWork.longLabel;
  s.entry.labelCount = s.entryWork.inHand.label.empty() ? 0 : 1;
  s.entry.labelHandle = 0;
}

bool VLBGDE() {
  const engine::Variable* v = currentEntryVariable();
  return v != nullptr && !v->label.empty();
}

// Column 9 of a label separates its first eight characters from the rest.
void VLBGNN(std::span<char, 8> first8, std::span<char> text, Word& length) {
  CHBLKN(first8);
  CHBLKN(text);
  length = 0;
  const engine::Variable* v = currentEntryVariable();
  if (v == nullptr) return;
  const std::string_view label = v->label;
  CHMVNN(label.substr(0, 8), first8);
  if (label.size() <= 9) return;
  const std::string_view rest = label.substr(9);
  CHMVNN(rest, text);
  length = static_cast<Word>(ICHWDC(rest.substr(0, std::min(rest.size(), text.size()))));
}

Word MTXMCH(std::string_view name, std::span<const Word> list) {
  const Dictionary& d = Session::current().selectedDictionary();
  name = trimmed(name);
  for (std::size_t k = 0; k < list.size(); ++k) {
    const Word index = list[k];
    if (index >= 1 && index <= static_cast<Word>(d.size()) && equalNoCase(d.at(index).name, name)) {
      return static_cast<Word>(k + 1);
    }
  }
  return 0;
}

// A name of the form ROOT NUMBER: one to eight letters, then a decimal number
// without leading zeros (a lone 0 is allowed) to the end of the name. The
// root comes back in upper case (names are matched without regard to case).
// Any other name gives a blank root, number 0 and numberStart 0.
void SPLIT(std::string_view name, FixedText<8>& root, Word& number, Word& numberStart) {
  root = FixedText<8>{};
  number = 0;
  numberStart = 0;
  name = trimmed(name);
  std::size_t letters = 0;
  while (letters < name.size() && std::isalpha(static_cast<unsigned char>(name[letters]))) {
    ++letters;
  }
  const std::string_view digits = name.substr(letters);
  constexpr std::size_t kMaxDigits = 18;  // always fits in a word
  if (letters == 0 || letters > 8 || digits.empty() || digits.size() > kMaxDigits) return;
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    return;
  }
  if (digits.size() > 1 && digits.front() == '0') return;
  Word value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  for (std::size_t k = 0; k < letters; ++k) {
    root.chars[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[k])));
  }
  number = value;
  numberStart = static_cast<Word>(letters + 1);
}

bool QSIMTC(Word value, std::span<const Word> list) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

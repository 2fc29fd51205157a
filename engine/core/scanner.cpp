// The command scanner. One pass over the source both finds the commands and
// cuts them into tokens, because where a command ends depends on the tokens:
// a period inside a string or a number does not end one.
#include "engine/core/scanner.h"

#include <cctype>
#include <charconv>
#include <string>

namespace engine {
namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Bytes of multi-byte (UTF-8) characters count as letters, so that names in
// other scripts work.
bool isLetter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u >= 0x80;
}
bool startsName(char c) { return isLetter(c) || c == '_'; }
bool continuesName(char c) {
  return startsName(c) || isDigit(c) || c == '$' || c == '@' || c == '#';
}

DelimiterCode delimiterOf(char c) {
  switch (c) {
    case '=':
      return kDelimEquals;
    case '/':
      return kDelimSlash;
    case '(':
      return kDelimOpen;
    case ')':
      return kDelimClose;
    case '*':
      return kDelimStar;
    default:
      return kDelimNone;
  }
}

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

// A line of inline data ends them when it reads END INLINE. in any case,
// with any blanks around and between the words.
bool isEndInline(std::string_view line) {
  std::string words;
  bool blank = false;
  for (char c : line) {
    if (isBlank(c)) {
      blank = true;
      continue;
    }
    if (blank && !words.empty()) words += ' ';
    blank = false;
    words += c;
  }
  return upper(words) == "END INLINE.";
}

std::string describeCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u < 0x20 || u == 0x7f) return "the character with code " + std::to_string(u);
  return std::string("'") + c + "'";
}

class Scanner {
 public:
  explicit Scanner(std::string_view source) : src_(source) {
    if (src_.starts_with("\xEF\xBB\xBF")) pos_ = 3;  // a byte-order mark some editors write
  }

  std::vector<Command> run() {
    for (;;) {
      skipSeparators();
      if (atEnd()) break;
      if (src_[pos_] == '.' && periodEndsCommand()) {
        ++pos_;
        finishCommand(true);
      } else {
        readToken();
      }
    }
    finishCommand(false);
    return std::move(commands_);
  }

 private:
  bool atEnd() const { return pos_ >= src_.size(); }
  char at(std::size_t i) const { return i < src_.size() ? src_[i] : '\0'; }

  [[noreturn]] void fail(const std::string& what) const { throw ScanError(line_, what); }

  // A period ends the command when white space, a comment or the end of the
  // input follows it; otherwise it belongs to a number or is an error.
  bool periodEndsCommand() const {
    return pos_ + 1 >= src_.size() || isBlank(src_[pos_ + 1]) || src_[pos_ + 1] == '#';
  }

  // White space, comments and commas: they separate tokens and make none.
  void skipSeparators() {
    while (!atEnd()) {
      const char c = src_[pos_];
      if (isBlank(c)) {
        if (c == '\n') ++line_;
        blankBefore_ = true;
        ++pos_;
      } else if (c == '#') {
        while (!atEnd() && src_[pos_] != '\n') ++pos_;
        blankBefore_ = true;
      } else if (c == ',') {
        if (!command_.tokens.empty()) appendText(",");
        commaBefore_ = true;
        ++pos_;
      } else {
        return;
      }
    }
  }

  void appendText(std::string_view raw) {
    if (blankBefore_ && !command_.text.empty()) command_.text += ' ';
    command_.text += raw;
    blankBefore_ = false;
  }

  void addToken(Token token, std::size_t begin) {
    if (command_.tokens.empty()) command_.line = line_;
    token.line = line_;
    appendText(src_.substr(begin, pos_ - begin));
    command_.tokens.push_back(std::move(token));
    commaBefore_ = false;
  }

  void readToken() {
    const char c = src_[pos_];
    if (c == '"' || c == '\'') return readString();
    if (startsName(c)) return readName();
    if (isDigit(c) || (c == '.' && isDigit(at(pos_ + 1)))) return readNumber();
    if ((c == '+' || c == '-') && startsNumber(pos_ + 1)) {
      if (!signMayStartNumber()) {
        fail(std::string("A '") + c +
             "' belongs to a number only when it stands apart from the token before it.");
      }
      return readNumber();
    }
    const DelimiterCode d = delimiterOf(c);
    if (d != kDelimNone) {
      Token token;
      token.cls = kTokenDelimiter;
      token.delim = d;
      token.text = std::string(1, c);
      const std::size_t begin = pos_++;
      return addToken(std::move(token), begin);
    }
    if (c == '.') fail("Unexpected '.': a period ends a command only before white space.");
    fail("Unexpected " + describeCharacter(c) + ".");
  }

  bool startsNumber(std::size_t p) const {
    return isDigit(at(p)) || (at(p) == '.' && isDigit(at(p + 1)));
  }

  // "(-1", "= -3", "1, -2" and "1 -2" read a negative number; "x-1" is an
  // error rather than a silent pair of tokens.
  bool signMayStartNumber() const {
    return command_.tokens.empty() || command_.tokens.back().cls == kTokenDelimiter ||
           blankBefore_ || commaBefore_;
  }

  void readString() {
    const char quote = src_[pos_];
    const std::size_t begin = pos_;
    std::size_t p = pos_ + 1;
    Token token;
    token.cls = kTokenString;
    for (;;) {
      if (p >= src_.size() || src_[p] == '\n') {
        fail("The string that begins here is not closed on its line.");
      }
      if (src_[p] == quote) {
        if (at(p + 1) != quote) break;
        ++p;  // a doubled quote stands for one
      }
      token.text += src_[p++];
    }
    pos_ = p + 1;
    addToken(std::move(token), begin);
  }

  void readName() {
    const std::size_t begin = pos_;
    while (!atEnd() && continuesName(src_[pos_])) ++pos_;
    Token token;
    token.cls = kTokenName;
    token.text = std::string(src_.substr(begin, pos_ - begin));
    addToken(std::move(token), begin);
  }

  void readNumber() {
    const std::size_t begin = pos_;
    std::size_t p = pos_;
    if (src_[p] == '+' || src_[p] == '-') ++p;
    while (isDigit(at(p))) ++p;
    if (at(p) == '.' && isDigit(at(p + 1))) {
      ++p;
      while (isDigit(at(p))) ++p;
    }
    if (at(p) == 'e' || at(p) == 'E') {
      std::size_t q = p + 1;
      if (at(q) == '+' || at(q) == '-') ++q;
      if (isDigit(at(q))) {
        p = q;
        while (isDigit(at(p))) ++p;
      }
    }
    const std::string_view typed = src_.substr(begin, p - begin);
    if (p < src_.size() && (startsName(src_[p]) || src_[p] == '$' || src_[p] == '@')) {
      std::size_t end = p;
      while (end < src_.size() && continuesName(src_[end])) ++end;
      std::string message(1, '\'');
      message.append(src_.substr(begin, end - begin));
      message.append("' is neither a number nor a name.");
      fail(message);
    }
    Token token;
    token.cls = kTokenNumber;
    token.text = std::string(typed);
    // from_chars takes no leading '+'.
    const std::string_view digits = typed.front() == '+' ? typed.substr(1) : typed;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), token.number);
    if (error != std::errc() || end != digits.data() + digits.size()) {
      fail("The number " + token.text + " is out of range.");
    }
    pos_ = p;
    addToken(std::move(token), begin);
  }

  void finishCommand(bool period) {
    if (!command_.tokens.empty()) {
      if (period) command_.text += '.';
      const Token& word = command_.tokens.front();
      if (period && word.cls == kTokenName && upper(word.text) == "INLINE") readInlineLines();
      commands_.push_back(std::move(command_));
    }
    command_ = Command{};
    blankBefore_ = false;
    commaBefore_ = false;
  }

  // The raw lines after INLINE., up to the line END INLINE.; pos_ is just
  // after the period.
  void readInlineLines() {
    const int inlineLine = line_;
    const std::string_view rest = nextLine();
    std::size_t k = 0;
    while (k < rest.size() && isBlank(rest[k])) ++k;
    if (k < rest.size() && rest[k] != '#') {
      throw ScanError(inlineLine, "Inline data begin on the line after INLINE.");
    }
    while (!atEnd()) {
      std::string_view line = nextLine();
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (isEndInline(line)) return;
      command_.inlineLines.emplace_back(line);
    }
    throw ScanError(inlineLine, "The inline data that begin here have no line END INLINE.");
  }

  // The text up to the end of the current line; moves past the line break.
  std::string_view nextLine() {
    const std::size_t begin = pos_;
    while (!atEnd() && src_[pos_] != '\n') ++pos_;
    const std::string_view line = src_.substr(begin, pos_ - begin);
    if (!atEnd()) {
      ++pos_;
      ++line_;
    }
    return line;
  }

  std::string_view src_;
  std::size_t pos_ = 0;
  int line_ = 1;
  Command command_;
  bool blankBefore_ = false;  // white space or a comment since the last token
  bool commaBefore_ = false;  // a comma since the last token
  std::vector<Command> commands_;
};

}  // namespace

std::vector<Command> splitCommands(std::string_view source) { return Scanner(source).run(); }

}  // namespace engine

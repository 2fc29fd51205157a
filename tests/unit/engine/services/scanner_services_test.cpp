// The command scanner (splitCommands) and the scanner services the procedure
// reads tokens with (SSTACK, SSNXT1, SSETPT, SSDELS).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/scanner.h"
#include "engine/core/session.h"
#include "host/tavixwlib.h"
#include "tests/unit/support/fresh_session.h"

namespace {

using engine::Command;
using engine::ScanError;
using engine::splitCommands;
using engine::Token;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> texts(const Command& c) {
  std::vector<std::string> result;
  for (const Token& t : c.tokens) result.push_back(t.text);
  return result;
}

std::string scanErrorOf(std::string_view source) {
  try {
    splitCommands(source);
  } catch (const ScanError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Scanner, PeriodEndsACommandOnlyBeforeWhiteSpaceOrTheEnd) {
  const auto commands =
      splitCommands("LOAD \"data.v2.csv\".\nPROX a b\n  /MEASURE=MINKOWSKI(2.5).  PROX c.");
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_THAT(texts(commands[0]), ElementsAre("LOAD", "data.v2.csv"));
  EXPECT_THAT(texts(commands[1]),
              ElementsAre("PROX", "a", "b", "/", "MEASURE", "=", "MINKOWSKI", "(", "2.5", ")"));
  EXPECT_THAT(texts(commands[2]), ElementsAre("PROX", "c"));
  EXPECT_EQ(commands[0].line, 1);
  EXPECT_EQ(commands[1].line, 2);
  EXPECT_EQ(commands[2].line, 3);
  // The last command needs no period; lone periods make no command; a
  // byte-order mark in front is no part of the first command.
  const auto last = splitCommands("\xEF\xBB\xBF. .\nPROX x");
  ASSERT_EQ(last.size(), 1u);
  EXPECT_THAT(texts(last[0]), ElementsAre("PROX", "x"));
}

TEST(Scanner, TokenClassesDelimitersAndNumbers) {
  const auto c = splitCommands("PROX v_1 x$y@z# = / ( ) * 'q' 12 0.5 .25 1e3 2.5E-2.")[0];
  ASSERT_EQ(c.tokens.size(), 14u);
  EXPECT_EQ(c.tokens[1].cls, kTokenName);
  EXPECT_EQ(c.tokens[2].text, "x$y@z#");
  const DelimiterCode delims[] = {kDelimEquals, kDelimSlash, kDelimOpen, kDelimClose, kDelimStar};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(c.tokens[3 + k].cls, kTokenDelimiter);
    EXPECT_EQ(c.tokens[3 + k].delim, delims[k]);
  }
  EXPECT_EQ(c.tokens[8].cls, kTokenString);
  const double numbers[] = {12, 0.5, 0.25, 1000, 0.025};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(c.tokens[9 + k].cls, kTokenNumber);
    EXPECT_DOUBLE_EQ(c.tokens[9 + k].number, numbers[k]);
  }
  EXPECT_EQ(c.tokens[13].text, "2.5E-2");  // numbers keep their text as typed
}

TEST(Scanner, SignsBelongToNumbersThatStandApart) {
  const auto c = splitCommands("M (-1) = -3 (1,-2) (4 +5)")[0];
  EXPECT_THAT(texts(c), ElementsAre("M", "(", "-1", ")", "=", "-3", "(", "1", "-2", ")", "(", "4",
                                    "+5", ")"));
  EXPECT_DOUBLE_EQ(c.tokens[2].number, -1);
  EXPECT_DOUBLE_EQ(c.tokens[8].number, -2);
  EXPECT_DOUBLE_EQ(c.tokens[12].number, 5);
  // Glued to a name or a number, a sign is an error, not a quiet subtraction.
  EXPECT_THAT(scanErrorOf("M x-1."), HasSubstr("'-'"));
  EXPECT_THAT(scanErrorOf("M 2-1."), HasSubstr("Line 1"));
}

TEST(Scanner, StringsCommentsAndCommas) {
  const auto c = splitCommands(
      "LOAD 'it''s' \"say \"\"hi\"\"\" # a comment. with a period\n , x,y # end\n.")[0];
  EXPECT_THAT(texts(c), ElementsAre("LOAD", "it's", "say \"hi\"", "x", "y"));
  // A # glued to a name is part of the name; after a number or a blank it
  // starts a comment.
  EXPECT_THAT(texts(splitCommands("A b#c 3# comment\n.")[0]), ElementsAre("A", "b#c", "3"));
}

TEST(Scanner, CommandTextIsOneLineWithBlanksCollapsed) {
  const auto c = splitCommands("PROX   a\n\t b # note\n  /VIEW = 'x  y', z .")[0];
  EXPECT_EQ(c.text, "PROX a b /VIEW = 'x  y', z.");
}

TEST(Scanner, LongNamesKeepTheirFullText) {
  const std::string name(70, 'a');
  const auto c = splitCommands("ID " + name + ".")[0];
  ASSERT_EQ(c.tokens.size(), 2u);
  EXPECT_EQ(c.tokens[1].text, name);
  EXPECT_EQ(c.tokens[1].cls, kTokenName);
}

TEST(Scanner, LexicalErrorsNameTheirLine) {
  EXPECT_THAT(scanErrorOf("A.\nB 'open\n'."), HasSubstr("Line 2"));
  EXPECT_THAT(scanErrorOf("A.\nB 'open\n'."), HasSubstr("not closed"));
  EXPECT_THAT(scanErrorOf("A\n\n b ; c."), HasSubstr("Line 3: Unexpected ';'"));
  EXPECT_THAT(scanErrorOf("A x.y."), HasSubstr("period"));
  EXPECT_THAT(scanErrorOf("A 3abc."), HasSubstr("'3abc' is neither"));
  EXPECT_THAT(scanErrorOf("A 1e999."), HasSubstr("out of range"));
  try {
    splitCommands("A.\n\n\"x");
    FAIL() << "no error";
  } catch (const ScanError& e) {
    EXPECT_EQ(e.line, 3);
  }
}

TEST(Scanner, InlineDataAreTakenRawUpToTheirEndLine) {
  const auto commands = splitCommands(
      "INLINE /NAMES a b.  # data follow\n"
      "1,2 # not a comment\n"
      "  'x' . 3\r\n"
      "  end   Inline.  \n"
      "PROX a.\n");
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_THAT(commands[0].inlineLines, ElementsAre("1,2 # not a comment", "  'x' . 3"));
  EXPECT_THAT(texts(commands[0]), ElementsAre("INLINE", "/", "NAMES", "a", "b"));
  EXPECT_EQ(commands[1].line, 5);
  EXPECT_THAT(texts(commands[1]), ElementsAre("PROX", "a"));

  EXPECT_THAT(scanErrorOf("X.\ninline.\n1\n2\n"), HasSubstr("Line 2"));
  EXPECT_THAT(scanErrorOf("X.\ninline.\n1\n2\n"), HasSubstr("END INLINE"));
  EXPECT_THAT(scanErrorOf("INLINE. 1 2\nEND INLINE.\n"), HasSubstr("line after INLINE"));
  // END INLINE. must stand alone on its line.
  EXPECT_THAT(scanErrorOf("INLINE.\nEND INLINE. x\n"), HasSubstr("END INLINE"));
}

// ---- scanner services ----------------------------------------------------

class ScannerServices : public FreshSession {
 protected:
  Word stackFor(std::string_view command) {
    engine::Session& s = engine::Session::current();
    s.commandTokens = splitCommands(command).at(0).tokens;
    Word stack = 0;
    Word status = -7;
    SSTACK(s.workspace.view(), stack, -1, status);
    EXPECT_EQ(status, 0);
    return stack;
  }
  const HostToken& token() const { return engine::Session::current().token; }
  std::string tokenText() const { return std::string(token().text, token().length); }
};

TEST_F(ScannerServices, NextDeliversTokensFromTheCommandNameOn) {
  const Word stack = stackFor("PROX a / VIEW=CASE MEASURE=POWER(3).");
  SSNXT1(stack);
  EXPECT_FALSE(isTrue(token().endOfCommand));
  EXPECT_EQ(token().position, 1);
  EXPECT_EQ(token().tokenClass, kTokenName);
  EXPECT_EQ(tokenText(), "PROX");
  SSNXT1(stack);
  SSNXT1(stack);
  EXPECT_EQ(token().tokenClass, kTokenDelimiter);
  EXPECT_EQ(token().delimiter, kDelimSlash);
  EXPECT_EQ(token().position, 3);
  for (int k = 0; k < 8; ++k) SSNXT1(stack);
  EXPECT_EQ(token().tokenClass, kTokenNumber);
  EXPECT_DOUBLE_EQ(token().number, 3.0);
  EXPECT_EQ(token().delimiter, kDelimNone);
  SSNXT1(stack);  // ')'
  SSNXT1(stack);
  EXPECT_TRUE(isTrue(token().endOfCommand));
  EXPECT_EQ(token().tokenClass, 0);
  EXPECT_EQ(token().length, 0);
  EXPECT_STREQ(token().text, "");
  // Reading on past the end stays at the end.
  SSNXT1(stack);
  SSNXT1(stack);
  EXPECT_TRUE(isTrue(token().endOfCommand));
  EXPECT_EQ(token().position, 13);
}

TEST_F(ScannerServices, SetPositionStepsBackAndForth) {
  const Word stack = stackFor("PROX a b c / ID=x.");
  SSETPT(stack, 3);
  SSNXT1(stack);
  EXPECT_EQ(token().position, 4);
  EXPECT_EQ(tokenText(), "c");
  SSETPT(stack, 0);  // back to the start: the command name again
  SSNXT1(stack);
  EXPECT_EQ(tokenText(), "PROX");
  SSETPT(stack, 6);
  SSNXT1(stack);
  EXPECT_EQ(token().delimiter, kDelimEquals);
  // Read the current token again, as the parsers do after a look-ahead.
  SSETPT(stack, token().position - 1);
  SSNXT1(stack);
  EXPECT_EQ(token().position, 7);
  SSETPT(stack, 100);  // beyond the end: the end of the command
  SSNXT1(stack);
  EXPECT_TRUE(isTrue(token().endOfCommand));
  SSETPT(stack, -5);
  SSNXT1(stack);
  EXPECT_EQ(tokenText(), "PROX");
}

TEST_F(ScannerServices, StacksAreIndependentAndDeletedInTheWorkspace) {
  engine::Session& s = engine::Session::current();
  const Word first = stackFor("PROX a b.");
  const std::int64_t oneStack = s.workspace.bytesInUse();
  EXPECT_GT(oneStack, 0);
  Word second = 0;
  Word status = 0;
  SSTACK(s.workspace.view(), second, -1, status);
  EXPECT_NE(second, first);
  SSNXT1(first);
  SSNXT1(first);
  SSNXT1(second);
  EXPECT_EQ(tokenText(), "PROX");
  SSNXT1(first);
  EXPECT_EQ(tokenText(), "b");
  SSDELS(s.workspace.view(), second);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(s.workspace.bytesInUse(), oneStack);
  Word firstCopy = first;
  SSDELS(s.workspace.view(), firstCopy);
  EXPECT_EQ(s.workspace.bytesInUse(), 0);
  SSNXT1(first);  // a deleted stack reads as the end of the command
  EXPECT_TRUE(isTrue(token().endOfCommand));
}

TEST_F(ScannerServices, StackFailsCleanlyInATinyWorkspace) {
  engine::Session& s = engine::Session::current();
  s.workspace.setLimit(3 * 8);  // three words; the command needs more
  s.commandTokens = splitCommands("PROX a b c.").at(0).tokens;
  Word stack = 0;
  Word status = 0;
  SSTACK(s.workspace.view(), stack, -1, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(stack, 0);
  SSTACK(s.workspace.view(), stack, 0, status);
  EXPECT_EQ(status, 2);  // only mode -1 exists
}

}  // namespace

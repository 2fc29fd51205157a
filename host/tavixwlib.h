// The host engine's services, as the procedure calls them. The engine
// implements every declaration here; the procedure reaches the engine only
// through this header, host/tavixwcom.h and host/tavixwdat.h.
//
// Arguments that the procedure hands back and forth are references; texts are
// string views (blank padding beyond the view counts as blanks), arrays spans.
#pragma once

#include <span>
#include <string_view>

#include "host/fixed_text.h"
#include "host/tavixwcom.h"
#include "host/workspace.h"

// ---- Scanner ------------------------------------------------------------
// The tokens of the command being run. The stack handle names one reading of
// them; the first SSNXT1 delivers the command name (position 1).
void SSTACK(ProxWorkspace& ws, Word& stack, Word mode, Word& status);
void STATOP(const char (&name1)[8], const char (&name2)[8], Word a, Word b, ProxWorkspace& ws);
void SSNXT1(Word stack);                 // the next token becomes current (HostToken)
void SSETPT(Word stack, Word position);  // the next SSNXT1 delivers the token at position + 1
void SSDELS(ProxWorkspace& ws, Word& stack);

// ---- Text ---------------------------------------------------------------
// Keyword match by abbreviation: the 1-based index of the entry the token
// matches, 0 when none (rules in docs/command-language.md).
Word QABMCH(std::string_view token, std::span<const Keyword> table);
// Does the token begin with the (three-character) word? Case-insensitive.
bool QEQUAL(std::string_view token, std::string_view word);
// Exact index of an eight-character word in a table, 0 when absent.
Word IABNDX(const Keyword& word, std::span<const Keyword> table);
// Equal characters, case-sensitive, over the shorter length padded with blanks.
bool QCMPNC(std::string_view a, std::string_view b);
void CHUPRC(std::span<char> text);  // upper-case in place

// ---- Dictionary ---------------------------------------------------------
// Parse a variable list from the current token up to '/' or the end of the
// command: names, "a TO b" in dictionary order, ALL. Fills indices, sets count;
// on a bad list reports the problem and sets errorFlag.
void PRVRLT(ProxWorkspace& ws, Word stack, Word a, Word b, Word c, Word d, std::span<Word> indices,
            Word& count, Logical& errorFlag);
Word DICSCH(std::string_view name);  // dictionary index of a name, 0 when absent
void DICGET(Word index);             // make the entry current (HostDictEntry)
// Label of the current entry: VLBGDE says whether it has one; VLBGNN gives
// its first eight characters apart and the text from column 10 on.
bool VLBGDE();
void VLBGNN(std::span<char, 8> first8, std::span<char> text, Word& length);
// Position of a name among the variables of a list, 0 when absent.
Word MTXMCH(std::string_view name, std::span<const Word> list);
// Divide a name into a letter root and a trailing number; numberStart is the
// 1-based column where the digits begin, 0 when the name has no such form.
void SPLIT(std::string_view name, FixedText<8>& root, Word& number, Word& numberStart);
bool QSIMTC(Word value, std::span<const Word> list);  // is value in the list?

// ---- Cases --------------------------------------------------------------
void OBINIT(ProxWorkspace& ws);  // get ready to read the working data
void OBPINI(ProxWorkspace& ws);  // start a pass over the cases
void OBSERV(ProxWorkspace& ws);  // next case, or end of group, or end of data
void OBPEND(ProxWorkspace& ws);  // end the pass
// Copy the listed variables of the current case; missingCount counts values
// that are system-missing, or user-missing unless includeMissing.
void MSCOPY(const HostCase& current, std::span<double> out, std::span<const Word> indices,
            Logical includeMissing, Word& missingCount, ProxWorkspace& ws);
Logical QLMISS(const HostCase& current, std::span<const Word> indices, Logical includeMissing,
               ProxWorkspace& ws);
Logical QDINT(double value);  // is the value a whole number (within the tolerance)?

// ---- Memory -------------------------------------------------------------
// Place count elements of elementSize bytes; true when the workspace cannot.
Logical QNOMEM(Word& offset, Word elementSize, Word count, Word elementSize2, ProxWorkspace& ws);
void FREMEM(Word& offset, Word elementSize, Word elementSize2, Word count, ProxWorkspace& ws);
Word MEMALU(Word count, Word sizeCode);  // bytes that count elements cost
void LRZERO(std::span<double> values);
void IZERO(std::span<Word> values);
void DLOAD(std::span<double> values, double value);
void IMOVE(std::span<const Word> from, std::span<Word> to);

// ---- Interrupt ----------------------------------------------------------
// Called once per case, feature or printed row. On a user interrupt the engine
// abandons the command (it does not return).
void ATNJMP(ProxWorkspace& ws);

// ---- Messages -----------------------------------------------------------
void BP_ERROR(Word text, Word messageClass, Word severity);
Word GETTXT(Word number, std::span<char> buffer);  // catalogue text, at most 40 chars
void ASSERT(std::string_view routine, std::string_view condition);

// ---- Matrix files -------------------------------------------------------
void MTDINI(ProxWorkspace& ws);
// Parse the current token as a matrix file specification: a quoted file name,
// or * for the working data.
void MTDFRI(ProxWorkspace& ws, Word a, Word b, Word c, Logical& failed);
void MTDFRO(ProxWorkspace& ws, Logical& failed);
void MTDOPN(ProxWorkspace& ws, Logical& failed);
Logical QMXSSF(ProxWorkspace& ws);
void MTXMAP(ProxWorkspace& ws, Word varListOffset, Word nvar, Word& mapOffset, Word& mapSize,
            Word message1, Word message2);
void MTDCLI(ProxWorkspace& ws);
void MTDNDI(ProxWorkspace& ws);
void MTDCLS(ProxWorkspace& ws);

// ---- Output-table builder -------------------------------------------------
void BP_PROCEDURE(std::string_view title, Word length, Word value, ProxWorkspace& ws);
void BP_END_PROCEDURE();

Word BP_CSTRING(std::string_view text);
Word BP_CSTRING_NO_TRANSLATE(std::string_view text);
Word BP_NSTRING_NO_TRANSLATE(std::string_view text);

Word BP_IVALUE(Word value, Word format);
Word BP_LRVALUE(double value, Word format);
Word BP_VARINDEX(Word dictionary, Word index);
Word BP_VARIABLE(Word dictionary, Word index, Word mode);

Word BP_N_FORMAT();
Word BP_PERCENT_FORMAT();
Word BP_COEFFICIENT_FORMAT();
Word BP_CORRELATION_FORMAT();
Word BP_GENSTAT_FORMAT();
Word BP_SIGNIFICANCE_FORMAT();

void BP_BEGIN_COMPSTRING(std::string_view templ);
void BP_ADD_PARAMETER(Word handle);
Word BP_END_COMPSTRING();
void BP_BEGIN_REPEAT_LIST();
void BP_SPLIT_LIST(ProxWorkspace& ws);
void BP_END_REPEAT_LIST();

void BP_BEGIN_PIVOT_TABLE(Word table, std::string_view title, std::string_view name);
void BP_BEGIN_PIVOT_TABLE_NS(Word table, Word title, std::string_view name);
void BP_CELL_DIMENSION(Word table, std::string_view dimension);
void BP_POSITION_DIMENSION(Word table, std::string_view dimension, Word a, Word b, Word c, Word d);
void BP_CATEGORY_DIMENSION(Word table, Word label, std::string_view dimension);
void BP_CATEGORY_DIMENSION(Word table, std::string_view label, std::string_view dimension);
void BP_CELL_IN_CATEGORY(Word table, Word cell, Word category);
void BP_CELL_IN_CATEGORY(Word table, Word cell, std::string_view category);
void BP_ANNOTATE(Word footnote, Word kind);
void BP_END_PIVOT_TABLE(Word table);

void BP_BEGIN_GROUP(Word table, std::string_view name, std::string_view dimension);
void BP_END_GROUP(Word table, std::string_view dimension);
void BP_BEGIN_HEADING(std::string_view title);
void BP_END_HEADING();
void BP_SPLIT_CHANGE(ProxWorkspace& ws);

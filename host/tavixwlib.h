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

// Building entries. DICGET makes an existing entry the entry in hand, DICCLR
// starts a fresh numeric one with the given name. The procedure may change the
// width, formats, attribute and labelHandle of HostDictEntry (host::
// editableEntry()) before DICPUT stores the entry in the dictionary of the
// matrix file being written, which must be the one selected (outputDictWord):
// index 0 appends it, an index replaces that entry. A name the dictionary has
// already is an error (the host's error flag is set). Attribute 3 marks a
// proximity variable of a matrix file: its values are proximities, so value
// labels and user-missing values of the entry it was copied from are dropped.
void DICCLR(std::string_view name);
void DICPUT(Word index);
Word DIFENC(Word type, Word width, Word decimals);  // print and write format code
Word VRLBLD(std::string_view label);                // a variable-label handle for labelHandle
// Attach a long label to the entry in hand: VLBPTL keeps the text, cut to
// words eight-character words (the other values: first label 1, count 1,
// mode -1 replace); VLBPDE attaches it. Trailing blanks are not kept.
void VLBPTL(ProxWorkspace& ws, Word first, Word count, Word words, std::string_view text,
            Word mode);
void VLBPDE(ProxWorkspace& ws);

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

// ---- Numbers ------------------------------------------------------------
// The integer part of the base-10 logarithm (ILOG10(999) = 2, ILOG10(1000) =
// 3); 0 for values below 1.
Word ILOG10(double value);

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
// A matrix file is a CSV file with its sidecar (docs/matrix-files.md); * is
// the working data. Relative file names are relative to the current directory.
void MTDINI(ProxWorkspace& ws);  // forget the matrix files of an earlier command
// Parse the current token as the matrix input: a quoted file name or *. The
// input's dictionary is read at once (MatrixFileState: rowtypeIndex, the
// proximity variables after VARNAME_, inputVarCount, inputDictWord,
// recordLength); a file that cannot be read, or that has no ROWTYPE_ or no
// proximity variables, is reported and fails. The values a, b, c are not used.
void MTDFRI(ProxWorkspace& ws, Word a, Word b, Word c, Logical& failed);
// Parse the current token as the matrix output; a file must go to an existing
// folder.
void MTDFRO(ProxWorkspace& ws, Logical& failed);
// Open the rows of the matrix input. Its split-file groups are runs of rows
// with the same values of the variables before ROWTYPE_ (the working data's
// split-file variables for *).
void MTDOPN(ProxWorkspace& ws, Logical& failed);
// True while the current group has another row. A false answer at the end of
// a group moves the input on to the next group on the next call; after the
// last row the end-of-matrix-input flag is set.
Logical QMXSSF(ProxWorkspace& ws);
// Place the matrix map: for each analysis variable, the word of the matrix
// record where its value lies. A variable that is not a proximity variable
// gets message1, a string variable message2 (both errors).
void MTXMAP(ProxWorkspace& ws, Word varListOffset, Word nvar, Word& mapOffset, Word& mapSize,
            Word message1, Word message2);
// Read from the current row. mode 0: copy the value of the variable at this
// dictionary index into target (a number into one word; a string's characters,
// blank-padded or cut, into any number of words); variable 0 copies the whole
// row in the record layout of MTXMAP (recordLength words). mode -1: move on
// to the next row. status 0 when it worked, else positive.
void MTDOBV(ProxWorkspace& ws, Word variable, std::span<Word> target, Word mode, Word& status);
// Start the output dictionary with the standard variables: the split-file
// variables, ROWTYPE_ (string 8), the case-label variable ID (string of
// caseLabelWidth, or 8 with makeCaseLabels; none when both are 0/false),
// CASENO_ (with copyCaseNumbers) and VARNAME_ (string of varnameWidth). The
// item variables follow through DICPUT with outputDictWord selected. kind -4
// is a proximity matrix, the only kind there is.
void MTDMPD(Word itemCount, ProxWorkspace& ws, Word caseLabelWidth, Word caseLabelVariable,
            Word varnameWidth, Word kind, Logical makeCaseLabels, Logical copyCaseNumbers);
void MTDDIC(ProxWorkspace& ws);  // the dictionary is complete: start the file
// Start a row: its row type, its VARNAME_ (MTXREC: given; MTXCRR: the name of
// the row-th item variable) and its leading words (the case label's words,
// then CASENO_ as a number, as far as the dictionary has them).
void MTXREC(std::string_view varname, const Keyword& rowtype, ProxWorkspace& ws,
            std::span<const Word> leading);
void MTXCRR(Word row, const Keyword& rowtype, ProxWorkspace& ws, std::span<const Word> leading);
void MTXVOB(double value, ProxWorkspace& ws);  // the row's next item value
void MTDWRT(ProxWorkspace& ws);                // write the row; item values not given are missing
void MTDCLI(ProxWorkspace& ws);                // close the matrix input
// MATRIX=OUT(*): the written matrix becomes the working data, its leading
// variables the split-file variables.
void MTDNDI(ProxWorkspace& ws);
// Close the matrix output: with the host's error flag clear the file and its
// sidecar are renamed into place; otherwise nothing of them is left.
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

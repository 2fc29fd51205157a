// Reading a proximity matrix back from a matrix data file.
#pragma once

#include <span>

#include "host/fixed_text.h"
#include "host/workspace.h"

// Reads the rows of one split-file group into the triangle and item vector.
// duplicateSeen is false at the start of a run and set once a second row for
// an item was reported (the warning is given once per run); skipGroup is set
// when the group has too few items.
void proread_matrix(ProxWorkspace& ws, Word record, Word map, Word square, Word nvar,
                    Word& duplicateSeen, Logical& skipGroup);

// VIEW=CASE: drops the items whose row was missing (no diagonal value) and
// closes the gaps in the triangle, the item vector, the case labels (words
// per label as the ID width needs) and the output case numbers. The case
// numbers receive each kept item's number plus the rows of earlier groups.
// scratch holds n(n-1)/2 values, n = validCases on entry.
void procompact_cases(std::span<double> t, std::span<double> g, std::span<Word> caseLabels,
                      std::span<Word> outCaseNumbers, std::span<Word> caseNumbers,
                      std::span<double> scratch);

// Takes the measure back from the proximity label of the matrix file.
void proread_label(ProxWorkspace& ws);

// What the measure text of a proximity label says.
struct MeasureScan {
  bool rescaled = false;
  bool reversed = false;
  bool absolute = false;
  Word code = 1;
  Word param2 = 2;
  Word param1 = 2;
};
MeasureScan proscan_measure_text(const FixedText<120>& text);

// Writing the proximities to a matrix data file.
#pragma once

#include <span>

#include "host/fixed_text.h"
#include "host/workspace.h"

// measureDocText: the measure text with RES, REV and ABS for the
// transformations given.
void promeasure_text();
// The proximity label of ROWTYPE_: "PROX", SIMILARITY or DISSIMILARITY from
// column 10, "A" in column 24 for absolute values, measureDocText from
// column 29 (at most 92 characters).
FixedText<120> proprox_label();
// Creates the matrix file's dictionary; itemCount item variables.
void prowrite_dictionary(Word itemCount, ProxWorkspace& ws, ProxWorkspace& ws2);
// Writes one group's rows: itemCount rows of itemCount values, the items
// beyond the group's own written as missing.
void prowrite_rows(std::span<const double> t, std::span<const double> g, Word itemCount,
                   std::span<const Word> caseNumbers, ProxWorkspace& ws, ProxWorkspace& ws2);

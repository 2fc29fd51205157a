// Writing the proximities to a matrix data file.
#pragma once

#include <span>

#include "host/workspace.h"

// measureDocText: the measure text with RES, REV and ABS for the
// transformations given.
void promeasure_text();
void prowrite_dictionary(Word itemCount, ProxWorkspace& ws, ProxWorkspace& ws2);
void prowrite_rows(std::span<const double> t, std::span<const double> g, Word itemCount,
                   std::span<const Word> caseNumbers, ProxWorkspace& ws, ProxWorkspace& ws2);

// The "Proximity Matrix" table, and the measure label and cell format that it
// and the summary table share.
#pragma once

#include <span>

#include "host/workspace.h"

void proprint_matrix(std::span<const double> t, std::span<const double> g, ProxWorkspace& ws,
                     std::span<const Word> caseNumbers);
Word procell_format(Word code, Logical rescaled);
Word promeasure_label(Word code, Word param1, Word param2, Logical rescaled, Logical reversed,
                      Logical absolute, Logical suffix);

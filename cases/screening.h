// Which values keep a case out of the proximities: a missing value or a
// non-positive weight always; a value that is neither the present nor the
// absent value for a binary measure given both; a negative count for the
// count measures. One rule for every reader of the cases.
#pragma once

#include <span>

#include "host/tavixwcom.h"
#include "host/workspace.h"

enum class Acceptance { Valid, Missing, Binary, Negative };

bool binaryScreeningApplies();
bool negativeScreeningApplies();
inline bool anyScreeningApplies() { return binaryScreeningApplies() || negativeScreeningApplies(); }

// Values indexed by dictionary index (values[index - 1]). Every failing
// variable has its flag cleared.
Logical proscreen_binary(const double* values, std::span<const Word> varList,
                         std::span<Logical> flags);
Logical proscreen_negative(const double* values, std::span<const Word> varList,
                           std::span<Logical> flags);

// The acceptance rules in their binding order, for the current case: copies
// the analysis values into caseValues and says whether and why the case is
// rejected (after the interrupt check).
Acceptance proaccept_case(ProxWorkspace& ws, std::span<const Word> varList,
                          std::span<double> caseValues, std::span<Logical> flags);

// Adds one to the count the acceptance names.
void procount_acceptance(Acceptance acceptance);

// Standardization within variables when the cases are read in passes.
#pragma once

#include "host/workspace.h"

void prostd_group_pass(ProxWorkspace& ws, ProxWorkspace& ws2, Word& status);

#include <span>

// Applies a group's factors to one case's values in place.
void proapply_std(std::span<double> values, std::span<const double> location,
                  std::span<const double> scale, Word method);

// The procedure's entry point and its run sequence.
#pragma once

#include <span>

#include "host/workspace.h"

extern "C" __attribute__((visibility("default"))) void PROX(ProxWorkspace& ws);

// MISSING=INCLUDE in effect when no analysis variable has user-missing values.
void procheck_user_missing(ProxWorkspace& ws, std::span<const Word> varList, Logical& include);

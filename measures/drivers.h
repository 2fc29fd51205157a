// The two group drivers: cases held in memory (or a matrix read from a file),
// and cases read in one pass (proximities between variables).
#pragma once

#include "host/workspace.h"

void prorun_group(ProxWorkspace& ws, ProxWorkspace& ws2, Logical& firstGroup);
void prorun_group_streaming(ProxWorkspace& ws, ProxWorkspace& ws2, Logical& firstGroup);

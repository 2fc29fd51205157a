// Counting, reading and screening the cases of each split-file group.
#pragma once

#include "host/workspace.h"

void procount_cases(ProxWorkspace& ws, ProxWorkspace& ws2, Word& status);
void proload_group(ProxWorkspace& ws, ProxWorkspace& ws2);

// The workspace blocks of a run: placing the result arrays once the
// dimensions are known, clearing them before each group, releasing
// everything at the end.
#pragma once

#include "host/workspace.h"

// Places the result arrays; on failure reports and sets errorFlag.
void proalloc(ProxWorkspace& ws);
// Sets the triangle and the item vector to the system-missing value.
void proreset_results(ProxWorkspace& ws);
// Releases every block of the run and the scanner's token stack.
void profree(ProxWorkspace& ws, ProxWorkspace& ws2);
// Releases the chain of per-group standardization blocks.
void profree_std_blocks(ProxWorkspace& ws, ProxWorkspace& ws2);

// Words of the proximity triangle for the current dimensions: n(n-1)/2 with n
// = ncase for VIEW=CASE and nvar otherwise.
Word triangleWords();

// Asks the host for count words; true when the workspace cannot hold them.
bool allocateWords(Word& offset, Word count, ProxWorkspace& ws);
// Returns count words; offset becomes 0.
void releaseWords(Word& offset, Word count, ProxWorkspace& ws);

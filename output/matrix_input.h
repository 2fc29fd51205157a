// Reading a proximity matrix back from a matrix data file.
#pragma once

#include "host/workspace.h"

void proread_matrix(ProxWorkspace& ws, Word record, Word map, Word square, Word nvar,
                    Word& readerState, Logical& skipGroup);

// Takes the measure back from the proximity label of the matrix file.
void proread_label(ProxWorkspace& ws);

// The variable list, the ID subcommand and, with matrix input, the matrix
// file's dictionary.
#pragma once

#include "host/workspace.h"

void proparse_varlist(ProxWorkspace& ws);
void proparse_id(ProxWorkspace& ws);

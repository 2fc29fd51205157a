// The subcommand loop and the MEASURE subcommand.
#pragma once

#include "host/workspace.h"

void proparse(ProxWorkspace& ws);
void proparse_measure(ProxWorkspace& ws);

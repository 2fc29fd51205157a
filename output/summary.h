// The "Case Processing Summary" and "Resources" tables.
#pragma once

#include "host/workspace.h"

void proresource_table();

#include <span>

// Shows the group's summary; sets errorFlag when the group has too few items.
void prosummary_table(ProxWorkspace& ws, std::span<const Word> varList,
                      std::span<const Logical> screenFlags);

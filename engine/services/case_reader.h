// The engine's case reader: OBINIT, OBPINI, OBSERV, OBPEND, MSCOPY, QLMISS
// and QDINT (declared in host/tavixwlib.h) over the working dataset, with
// split groups found where the split variables' values change from one case
// to the next. Also what the output builder needs to title a split group.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/dataset.h"

namespace engine {

// For each split variable in split order, its dictionary index and the value
// of the current group as shown to the user: a number in its shortest
// round-trip form (1, 2.5), the value label when it has one, a string
// without trailing blanks, "(missing)" for the system-missing value. Empty
// when there are no split variables or no case has been read yet.
std::vector<std::pair<std::int64_t, std::string>> currentGroupSplitValues();

// The same with the variables' names from the working dictionary: what the
// output builder titles a split group with.
std::vector<std::pair<std::string, std::string>> workingDataSplitTitles();

// The case OBSERV delivered last (it stays after its pass has ended), or null
// when no case has been delivered since the last OBPINI.
const Case* lastDeliveredCase();

}  // namespace engine

// The sidecar of a matrix file: the dictionary's fields, as for any data file,
// and a "matrix" object that says in words what the file holds: the measure,
// what the values are, the view, the standardization, the transformations
// and the items of every group. The fixed-column label of ROWTYPE_ stays as it
// is (MATRIX=IN reads it); the object is written beside it for people and for
// other programs, and no reader of this engine depends on it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/dictionary.h"
#include "engine/core/proximity_request.h"

namespace engine::data {

struct MatrixGroupItems {
  std::vector<std::pair<std::string, std::string>> split;  // variable, value as shown
  std::vector<std::string> labels;                         // the items' labels, in row order
};

// `proximityLabel` is the label of ROWTYPE_; `request` what the command asked
// for (the measure when the label names none, the standardization).
std::string matrixSidecarText(const Dictionary& dictionary, std::string_view proximityLabel,
                              bool cases, const std::vector<MatrixGroupItems>& groups,
                              const ProximityRequest& request);

}  // namespace engine::data

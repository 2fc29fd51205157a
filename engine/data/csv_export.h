// Writing the working dataset as CSV with its sidecar (EXPORT).
#pragma once

#include <cstdint>
#include <filesystem>

#include "engine/core/dataset.h"

namespace engine::data {

// Writes every case of the dataset to path and its sidecar beside it. Both
// are written to temporary files in the same folder and renamed into place
// only when complete, so a failure leaves any earlier files untouched.
// Returns the number of cases written; throws DataError.
std::int64_t exportDataset(const Dataset& dataset, const std::filesystem::path& path);

}  // namespace engine::data

// The formats the engine renders its output in.
#pragma once

namespace engine {

// Csv: each proximity matrix as a square CSV; Long: all of them as rows of
// item pairs.
enum class OutputFormat { Text, Json, Html, Csv, Long };

}  // namespace engine

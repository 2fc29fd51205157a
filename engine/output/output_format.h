// The formats the engine renders its output in.
#pragma once

namespace engine {

enum class OutputFormat { Text, Json, Html };

}  // namespace engine

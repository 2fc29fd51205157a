// Where the engine's messages go: the output builder, seen from the core,
// which must not depend on the output folder above it.
#pragma once

#include <string_view>

namespace engine {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // severity 1 note, 2 warning, 3 error
  virtual void message(int severity, std::string_view text) = 0;
};

}  // namespace engine

// Room kept back for running out of memory. When the system refuses an
// allocation, the unwinding that follows still needs some: the JSON library
// destroys a large document through a list of its own, and a destructor
// that cannot allocate ends the program. So the engine holds a reserve of
// address space, and the first refusal gives it back before the
// std::bad_alloc is thrown; the command boundary then reports the failure
// and fills the reserve again.
#pragma once

namespace engine {

// Installs the allocation-failure handler (once per process) and fills the
// reserve if it was used; harmless when memory is too short to fill it.
void armMemoryReserve();

}  // namespace engine

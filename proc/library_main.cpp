// What only the loaded library does: on load, fetch the host's shared areas
// once; the procedure uses these addresses for the rest of its life.
#include "host/host.h"

namespace {

__attribute__((constructor)) void onAttach() { host::attach(); }

}  // namespace

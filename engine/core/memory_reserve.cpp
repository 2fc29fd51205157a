#include "engine/core/memory_reserve.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace engine {
namespace {

// Large enough for the JSON library to take apart a sidecar of millions of
// labels. Only address space: the pages are never touched.
constexpr std::size_t kReserveBytes = std::size_t{64} << 20;

std::atomic<void*> reserve{nullptr};
std::new_handler previousHandler = nullptr;

void onAllocationFailure() {
  if (void* room = reserve.exchange(nullptr)) {
    std::free(room);
    throw std::bad_alloc();
  }
  if (previousHandler != nullptr) {
    previousHandler();
    return;
  }
  throw std::bad_alloc();
}

}  // namespace

void armMemoryReserve() {
  static const bool installed = [] {
    previousHandler = std::set_new_handler(onAllocationFailure);
    return true;
  }();
  (void)installed;
  if (reserve.load() != nullptr) return;
  void* room = std::malloc(kReserveBytes);
  void* expected = nullptr;
  if (room != nullptr && !reserve.compare_exchange_strong(expected, room)) std::free(room);
}

}  // namespace engine

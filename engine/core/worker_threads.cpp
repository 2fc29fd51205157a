#include "engine/core/worker_threads.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {
namespace {

std::atomic<std::size_t> chosenThreads{0};

}  // namespace

std::size_t workerThreads() {
  const std::size_t chosen = chosenThreads.load(std::memory_order_relaxed);
  if (chosen != 0) return chosen;
  return std::max<std::size_t>(1, std::thread::hardware_concurrency());
}

void setWorkerThreads(std::size_t threads) {
  chosenThreads.store(threads, std::memory_order_relaxed);
}

void runInParallel(std::size_t count, const std::function<void(std::size_t)>& task,
                   std::size_t threads) {
  if (threads == 0) threads = workerThreads();
  threads = std::min(threads, count);
  if (threads <= 1) {
    for (std::size_t k = 0; k < count; ++k) task(k);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr firstError;
  std::mutex errorLock;
  const auto work = [&] {
    for (std::size_t k = next++; k < count && !failed; k = next++) {
      try {
        task(k);
      } catch (...) {
        const std::lock_guard<std::mutex> guard(errorLock);
        if (!firstError) firstError = std::current_exception();
        failed = true;
      }
    }
  };
  {
    std::vector<std::jthread> helpers;
    helpers.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }  // the jthreads join here
  if (firstError) std::rethrow_exception(firstError);
}

}  // namespace engine

#include "engine/core/worker_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace engine {
namespace {

TEST(RunInParallel, RunsEveryTaskOnceWhateverTheThreads) {
  for (const std::size_t threads : {1U, 2U, 4U, 64U}) {
    std::vector<std::atomic<int>> runs(1000);
    runInParallel(
        runs.size(), [&](std::size_t k) { ++runs[k]; }, threads);
    for (std::size_t k = 0; k < runs.size(); ++k) {
      ASSERT_EQ(runs[k].load(), 1) << "task " << k << " with " << threads << " threads";
    }
  }
}

TEST(RunInParallel, OneThreadRunsInOrderOnTheCaller) {
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::size_t> order;
  runInParallel(
      5,
      [&](std::size_t k) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back(k);
      },
      1);
  EXPECT_EQ(order, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

TEST(RunInParallel, ATaskErrorReachesTheCaller) {
  for (const std::size_t threads : {1U, 4U}) {
    std::atomic<int> ran{0};
    EXPECT_THROW(runInParallel(
                     100,
                     [&](std::size_t k) {
                       ++ran;
                       if (k == 3) throw std::runtime_error("task 3 failed");
                     },
                     threads),
                 std::runtime_error);
    if (threads == 1) {
      EXPECT_EQ(ran.load(), 4) << "the tasks after the failing one are skipped";
    }
  }
}

TEST(WorkerThreads, ZeroMeansEveryCore) {
  setWorkerThreads(3);
  EXPECT_EQ(workerThreads(), 3U);
  setWorkerThreads(0);
  EXPECT_GE(workerThreads(), 1U);
}

}  // namespace
}  // namespace engine

// The engine's own worker threads: how many it may use for reading data files
// and formatting output, and the one way it runs work on them. The procedure
// never runs here; it stays on the thread that calls it.
#pragma once

#include <cstddef>
#include <functional>

namespace engine {

// The threads the engine may use, the calling one included: the number set,
// or every core of the machine when none was set (0). At least 1.
std::size_t workerThreads();
void setWorkerThreads(std::size_t threads);

// Runs task(0) .. task(count - 1) on up to `threads` threads (workerThreads()
// when 0), the calling one among them, and returns when all have run. Tasks
// are taken in order of their numbers, so that a caller writing results in
// that order waits least. The first exception a task throws is thrown here,
// once every running task has ended; the tasks not yet started are skipped.
void runInParallel(std::size_t count, const std::function<void(std::size_t)>& task,
                   std::size_t threads = 0);

}  // namespace engine

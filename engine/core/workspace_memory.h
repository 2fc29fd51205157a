// The host's workspace: one array of eight-byte words, addressed by 1-based
// offsets, out of which the procedure takes every array it needs.
//
// The whole address range of the limit is reserved once (an anonymous private
// mapping without swap reservation), so that an offset stays valid for as long
// as its block lives and pages that nobody touches cost nothing. Blocks are
// placed first-fit from a free list ordered by offset; neighbouring free blocks
// merge. A freed block of many pages hands its pages back to the system so
// that a large, finished array does not stay resident.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>

#include "host/workspace.h"

namespace engine {

class WorkspaceMemory {
 public:
  static constexpr std::int64_t kDefaultLimitBytes = std::int64_t{4} << 30;

  explicit WorkspaceMemory(std::int64_t limitBytes = kDefaultLimitBytes);
  ~WorkspaceMemory();
  WorkspaceMemory(const WorkspaceMemory&) = delete;
  WorkspaceMemory& operator=(const WorkspaceMemory&) = delete;

  // Changes the limit. Every block is released and the range reserved anew
  // (lazily, at the next use). When the system cannot reserve the whole range
  // (address-space limits), the limit shrinks to what it can reserve.
  void setLimit(std::int64_t bytes);
  std::int64_t limitBytes() const { return limitWords_ * 8; }

  // Places a block of `words` words and returns its 1-based offset, or 0 when
  // the workspace cannot hold it (or `words` is negative), or when the blocks
  // in use would then need more memory than the machine can give: a limit
  // set far above it must not start filling memory that is not there. A block of 0 words
  // still gets an offset of its own, so that 0 keeps meaning "not allocated".
  std::int64_t allocate(std::int64_t words);

  // Returns a block. `words` must be the size it was allocated with: a
  // different size or an offset that is no block is a programming error,
  // which aborts in debug builds; otherwise the block is released with its
  // recorded size (an unknown offset is ignored). Offset 0 is ignored.
  void release(std::int64_t offset, std::int64_t words);

  // Releases every block at once (a command that was abandoned).
  void releaseAll();

  // What the machine can give (see machineMemoryBytes); 0: no such check.
  std::int64_t machineBytes() const { return machineBytes_; }
  void setMachineBytes(std::int64_t bytes) { machineBytes_ = bytes; }

  std::int64_t bytesInUse() const { return wordsInUse_ * 8; }
  std::int64_t peak() const { return peakWords_ * 8; }  // largest bytesInUse so far
  void resetPeak() { peakWords_ = wordsInUse_; }
  std::size_t blockCount() const { return blocks_.size(); }

  // The workspace as the procedure sees it: its words and its capacity.
  ProxWorkspace& view();

 private:
  struct Block {
    std::int64_t requested;  // words asked for
    std::int64_t footprint;  // words taken (at least 1)
  };

  bool reserve();  // maps the range when it is not mapped yet
  void unmap();
  void addFree(std::int64_t offset, std::int64_t words);
  void giveBackPages(std::int64_t offset, std::int64_t words);

  std::int64_t limitWords_ = 0;
  void* base_ = nullptr;         // start of the reserved range, null until reserved
  std::size_t mappedBytes_ = 0;  // size of the reserved range
  ProxWorkspace view_;
  std::map<std::int64_t, std::int64_t> free_;  // offset -> words, ordered by offset
  std::unordered_map<std::int64_t, Block> blocks_;
  std::int64_t wordsInUse_ = 0;
  std::int64_t peakWords_ = 0;
  std::int64_t highWater_ = 0;  // last word ever handed out (pages beyond are untouched)
  std::int64_t machineBytes_;
};

// The memory this process can have: physical memory plus swap, or the
// memory limit of its control group (cgroup v2) when that is lower; 0 when
// neither can be found. Found once.
std::int64_t machineMemoryBytes();

}  // namespace engine

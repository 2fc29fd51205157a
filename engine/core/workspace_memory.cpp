#include "engine/core/workspace_memory.h"

#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace engine {
namespace {

constexpr std::int64_t kWordBytes = 8;
// Freed blocks at least this large give their pages back at once; smaller
// ones are likely to be reused soon and are not worth a system call.
constexpr std::int64_t kGiveBackBytes = std::int64_t{64} << 10;

std::size_t pageSize() {
  static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t roundUpToPage(std::size_t bytes) {
  const std::size_t page = pageSize();
  return (bytes + page - 1) / page * page;
}

// A release that does not match an allocation is a bug in the caller. Debug
// builds stop right there, with the details; release builds carry on safely.
void misuse([[maybe_unused]] const char* what, [[maybe_unused]] std::int64_t offset,
            [[maybe_unused]] std::int64_t words, [[maybe_unused]] std::int64_t recorded) {
#ifndef NDEBUG
  std::fprintf(stderr, "workspace: %s (offset %lld, %lld words, block has %lld)\n", what,
               static_cast<long long>(offset), static_cast<long long>(words),
               static_cast<long long>(recorded));
  std::abort();
#endif
}

// The control group's limit, or 0 when there is none ("max") or no cgroup v2.
std::int64_t controlGroupLimit() {
  std::ifstream in("/sys/fs/cgroup/memory.max");
  std::string text;
  if (!(in >> text) || text == "max") return 0;
  try {
    return std::stoll(text);
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace

std::int64_t machineMemoryBytes() {
  static const std::int64_t bytes = [] {
    std::int64_t total = 0;
    struct sysinfo info {};
    if (sysinfo(&info) == 0) {
      total = static_cast<std::int64_t>(info.totalram + info.totalswap) * info.mem_unit;
    }
    const std::int64_t group = controlGroupLimit();
    if (group > 0 && (total == 0 || group < total)) total = group;
    return total;
  }();
  return bytes;
}

WorkspaceMemory::WorkspaceMemory(std::int64_t limitBytes) : machineBytes_(machineMemoryBytes()) {
  setLimit(limitBytes);
}

WorkspaceMemory::~WorkspaceMemory() { unmap(); }

void WorkspaceMemory::unmap() {
  if (base_ != nullptr) munmap(base_, mappedBytes_);
  base_ = nullptr;
  mappedBytes_ = 0;
  view_ = ProxWorkspace{};
}

void WorkspaceMemory::setLimit(std::int64_t bytes) {
  unmap();
  blocks_.clear();
  free_.clear();
  wordsInUse_ = 0;
  peakWords_ = 0;
  highWater_ = 0;
  limitWords_ = std::max<std::int64_t>(bytes, 0) / kWordBytes;
}

bool WorkspaceMemory::reserve() {
  if (base_ != nullptr) return true;
  if (limitWords_ == 0) return false;
  // Halve the request until the system grants it: an address-space limit
  // (ulimit -v) then yields a smaller workspace rather than no workspace.
  std::size_t bytes = roundUpToPage(static_cast<std::size_t>(limitWords_) * kWordBytes);
  for (;;) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p != MAP_FAILED) {
      base_ = p;
      mappedBytes_ = bytes;
      break;
    }
    if (bytes <= pageSize()) break;
    bytes = roundUpToPage(bytes / 2);
  }
  if (base_ == nullptr) {
    limitWords_ = 0;
    return false;
  }
  // A large triangle is touched once from end to end: with 2 MB pages its
  // first touch costs a few hundred page faults instead of a hundred
  // thousand. Only a hint; where the system declines it nothing changes.
  madvise(base_, mappedBytes_, MADV_HUGEPAGE);
  limitWords_ = std::min<std::int64_t>(limitWords_, static_cast<std::int64_t>(mappedBytes_) / 8);
  view_.words = static_cast<Word*>(base_);
  view_.capacity = limitWords_;
  free_.clear();
  free_[1] = limitWords_;
  return true;
}

ProxWorkspace& WorkspaceMemory::view() {
  reserve();
  return view_;
}

std::int64_t WorkspaceMemory::allocate(std::int64_t words) {
  if (words < 0 || !reserve()) return 0;
  const std::int64_t need = std::max<std::int64_t>(words, 1);
  if (machineBytes_ > 0 && need > machineBytes_ / kWordBytes - wordsInUse_) return 0;
  auto it = std::find_if(free_.begin(), free_.end(),
                         [need](const auto& block) { return block.second >= need; });
  if (it == free_.end()) return 0;
  const std::int64_t offset = it->first;
  const std::int64_t left = it->second - need;
  free_.erase(it);
  if (left > 0) free_[offset + need] = left;
  blocks_[offset] = Block{words, need};
  wordsInUse_ += need;
  peakWords_ = std::max(peakWords_, wordsInUse_);
  highWater_ = std::max(highWater_, offset + need - 1);
  return offset;
}

void WorkspaceMemory::release(std::int64_t offset, std::int64_t words) {
  if (offset == 0) return;
  const auto it = blocks_.find(offset);
  if (it == blocks_.end()) {
    misuse("release of an offset that is no block", offset, words, 0);
    return;
  }
  const Block block = it->second;
  if (block.requested != words) {
    misuse("release with a size other than the one allocated", offset, words, block.requested);
  }
  blocks_.erase(it);
  wordsInUse_ -= block.footprint;
  if (block.footprint * kWordBytes >= kGiveBackBytes) giveBackPages(offset, block.footprint);
  addFree(offset, block.footprint);
}

void WorkspaceMemory::addFree(std::int64_t offset, std::int64_t words) {
  auto next = free_.lower_bound(offset);
  if (next != free_.end() && offset + words == next->first) {  // merge with the block after
    words += next->second;
    next = free_.erase(next);
  }
  if (next != free_.begin()) {  // merge with the block before
    auto before = std::prev(next);
    if (before->first + before->second == offset) {
      before->second += words;
      return;
    }
  }
  free_[offset] = words;
}

void WorkspaceMemory::giveBackPages(std::int64_t offset, std::int64_t words) {
  if (base_ == nullptr) return;
  // Only the pages wholly inside the block: its neighbours may still live on
  // the pages at either end.
  const std::size_t page = pageSize();
  const std::size_t begin = roundUpToPage(static_cast<std::size_t>(offset - 1) * kWordBytes);
  const std::size_t end = static_cast<std::size_t>(offset - 1 + words) * kWordBytes / page * page;
  if (end > begin) madvise(static_cast<char*>(base_) + begin, end - begin, MADV_DONTNEED);
}

void WorkspaceMemory::releaseAll() {
  blocks_.clear();
  wordsInUse_ = 0;
  if (base_ == nullptr) return;
  if (highWater_ > 0) {
    const std::size_t used = roundUpToPage(static_cast<std::size_t>(highWater_) * kWordBytes);
    madvise(base_, std::min(used, mappedBytes_), MADV_DONTNEED);
  }
  highWater_ = 0;
  free_.clear();
  free_[1] = limitWords_;
}

}  // namespace engine

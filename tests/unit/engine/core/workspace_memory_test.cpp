// The workspace: placing and releasing blocks within a byte limit, and the
// memory services the procedure calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/core/session.h"
#include "engine/core/workspace_memory.h"
#include "host/tavixwlib.h"
#include "tests/unit/support/fresh_session.h"

namespace {

using engine::WorkspaceMemory;

constexpr std::int64_t kKiB = 1024;

TEST(Workspace, RequestsBeyondTheLimitFailCleanly) {
  WorkspaceMemory memory(64 * kKiB);  // 8192 words
  EXPECT_EQ(memory.view().capacity, 8192);
  EXPECT_EQ(memory.allocate(8193), 0);
  EXPECT_EQ(memory.allocate(-1), 0);
  const std::int64_t all = memory.allocate(8192);
  EXPECT_EQ(all, 1);
  EXPECT_EQ(memory.allocate(1), 0);  // nothing left, not even one word
  memory.release(all, 8192);
  EXPECT_EQ(memory.allocate(8000), 1);
  EXPECT_EQ(memory.bytesInUse(), 8000 * 8);
}

// A limit far above the machine's memory is not taken at its word: blocks
// fit while all of them together stay within what the machine can give.
TEST(Workspace, BlocksBeyondTheMachinesMemoryAreRefusedWithinTheLimit) {
  WorkspaceMemory memory(std::int64_t{8} << 40);  // 8 TiB of address space, never touched
  memory.setMachineBytes(64 * kKiB);              // 8192 words
  EXPECT_EQ(memory.allocate(8193), 0);
  const std::int64_t first = memory.allocate(8000);
  EXPECT_NE(first, 0);
  EXPECT_EQ(memory.allocate(193), 0);  // 8193 words in all
  const std::int64_t second = memory.allocate(192);
  EXPECT_NE(second, 0);
  memory.release(first, 8000);
  EXPECT_NE(memory.allocate(8000), 0);
  EXPECT_GT(engine::machineMemoryBytes(), 0);  // Linux always tells its memory
}

TEST(Workspace, OffsetsStayValidWhileOtherBlocksComeAndGo) {
  WorkspaceMemory memory(std::int64_t{1} << 30);
  ProxWorkspace& ws = memory.view();
  const Word* base = ws.words;
  const std::int64_t a = memory.allocate(100);
  auto values = ws::reals(ws, a, 100);
  for (int k = 0; k < 100; ++k) values[static_cast<std::size_t>(k)] = k * 0.5;
  std::vector<std::int64_t> others;
  for (int k = 0; k < 50; ++k) others.push_back(memory.allocate(1000 + k * 997));
  for (std::size_t k = 0; k < others.size(); k += 2) {
    memory.release(others[k], 1000 + static_cast<std::int64_t>(k) * 997);
  }
  EXPECT_EQ(memory.view().words, base);  // the range never moves
  for (int k = 0; k < 100; ++k)
    ASSERT_EQ(ws::reals(ws, a, 100)[static_cast<std::size_t>(k)], k * 0.5);
  // Blocks never overlap: each holds its own offset in every word.
  std::vector<std::pair<std::int64_t, std::int64_t>> live;
  for (std::size_t k = 1; k < others.size(); k += 2) {
    live.emplace_back(others[k], 1000 + static_cast<std::int64_t>(k) * 997);
  }
  for (const auto& [offset, words] : live) {
    for (Word& w : ws::integers(ws, offset, words)) w = offset;
  }
  for (const auto& [offset, words] : live) {
    for (const Word w : ws::integers(ws, offset, words)) ASSERT_EQ(w, offset);
  }
}

TEST(Workspace, FirstFitReusesFreedSpaceAndMergesNeighbours) {
  WorkspaceMemory memory(1024 * 8);
  const std::int64_t a = memory.allocate(100);
  const std::int64_t b = memory.allocate(200);
  const std::int64_t c = memory.allocate(300);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 101);
  EXPECT_EQ(c, 301);
  memory.release(b, 200);
  EXPECT_EQ(memory.allocate(50), 101);   // first fit: the hole left by b
  EXPECT_EQ(memory.allocate(150), 151);  // the rest of the hole, exactly
  EXPECT_EQ(memory.allocate(10), 601);   // the hole is full: after c
  memory.release(101, 50);
  memory.release(151, 150);
  memory.release(a, 100);
  // a, and both halves of b merged into one block of 300 words at 1.
  EXPECT_EQ(memory.allocate(300), 1);
  EXPECT_EQ(memory.blockCount(), 3u);
}

TEST(Workspace, SizesPeakAndReleaseAll) {
  WorkspaceMemory memory(1 << 20);
  const std::int64_t empty = memory.allocate(0);  // a block of its own, offset not 0
  EXPECT_GT(empty, 0);
  EXPECT_NE(memory.allocate(0), empty);
  const std::int64_t big = memory.allocate(10000);
  EXPECT_EQ(memory.bytesInUse(), (1 + 1 + 10000) * 8);
  memory.release(big, 10000);
  memory.release(empty, 0);
  EXPECT_EQ(memory.bytesInUse(), 8);
  EXPECT_EQ(memory.peak(), (1 + 1 + 10000) * 8);
  memory.release(0, 5);  // offset 0 is "not allocated": nothing happens
  memory.releaseAll();
  EXPECT_EQ(memory.bytesInUse(), 0);
  EXPECT_EQ(memory.blockCount(), 0u);
  EXPECT_EQ(memory.allocate(1 << 17), 1);  // the whole range is free again
}

TEST(Workspace, FreedLargeBlocksReadAsZeroWhenPlacedAgain) {
  // Their pages went back to the system, so a new block over them starts
  // from fresh (zero) pages instead of keeping them resident.
  WorkspaceMemory memory(std::int64_t{64} << 20);
  const std::int64_t words = std::int64_t{4} << 20;  // 32 MiB
  const std::int64_t block = memory.allocate(words);
  auto values = ws::integers(memory.view(), block, words);
  std::fill(values.begin(), values.end(), Word{-1});
  memory.release(block, words);
  const std::int64_t again = memory.allocate(words);
  ASSERT_EQ(again, block);
  const auto fresh = ws::integers(memory.view(), again, words);
  // The first and last pages may be shared with neighbours; look inside.
  EXPECT_EQ(fresh[words / 2], 0);
  EXPECT_EQ(fresh[1024], 0);
}

TEST(Workspace, ReleasingWithAnotherSizeIsAProgrammingError) {
  WorkspaceMemory memory(1 << 20);
  const std::int64_t block = memory.allocate(10);
#ifdef NDEBUG
  memory.release(block, 11);  // ignored safely: the recorded size is released
  EXPECT_EQ(memory.bytesInUse(), 0);
  memory.release(12345, 3);  // no such block: ignored
  EXPECT_EQ(memory.allocate(10), block);
#else
  EXPECT_DEATH(memory.release(block, 11), "size other than");
  EXPECT_DEATH(memory.release(12345, 3), "no block");
#endif
}

TEST(Workspace, ALimitTheSystemCannotReserveShrinks) {
  WorkspaceMemory memory(std::int64_t{1} << 60);  // far beyond any address space
  const ProxWorkspace& ws = memory.view();
  EXPECT_GT(ws.capacity, 0);
  EXPECT_LT(ws.capacity, std::int64_t{1} << 57);
  EXPECT_EQ(memory.allocate(ws.capacity + 1), 0);
  EXPECT_NE(memory.allocate(1000), 0);
}

// ---- the services -------------------------------------------------------

using MemoryServices = FreshSession;

TEST_F(MemoryServices, PlaceAndReturnBlocksOfEightByteElements) {
  engine::Session& s = engine::Session::current();
  s.workspace.setLimit(800);  // 100 words
  ProxWorkspace& ws = s.workspace.view();
  Word first = 0;
  EXPECT_FALSE(isTrue(QNOMEM(first, 8, 60, 8, ws)));
  EXPECT_EQ(first, 1);
  Word second = 0;
  EXPECT_TRUE(isTrue(QNOMEM(second, 8, 41, 8, ws)));  // 60 + 41 > 100
  EXPECT_EQ(second, 0);
  EXPECT_FALSE(isTrue(QNOMEM(second, 8, 40, 8, ws)));
  EXPECT_EQ(second, 61);
  FREMEM(first, 8, 8, 60, ws);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(s.workspace.bytesInUse(), 40 * 8);
  Word zero = 0;
  FREMEM(zero, 8, 8, 60, ws);  // not allocated: nothing to do
  EXPECT_EQ(s.workspace.bytesInUse(), 40 * 8);
  Word huge = 0;
  EXPECT_TRUE(isTrue(QNOMEM(huge, 8, std::numeric_limits<Word>::max() / 4, 8, ws)));
  EXPECT_EQ(MEMALU(1000, 8), 8000);
  EXPECT_EQ(MEMALU(1000, 4), 8000);  // every element is a word here
}

TEST(ArrayServices, FillAndCopy) {
  std::vector<double> reals(5, 3.0);
  LRZERO(std::span(reals).first(3));
  EXPECT_EQ(reals, (std::vector<double>{0, 0, 0, 3, 3}));
  DLOAD(reals, -1.5);
  EXPECT_EQ(reals, (std::vector<double>(5, -1.5)));
  std::vector<Word> words = {1, 2, 3, 4, 5};
  IMOVE(std::span<const Word>(words).first(4), std::span(words).subspan(1));  // overlapping
  EXPECT_EQ(words, (std::vector<Word>{1, 1, 2, 3, 4}));
  IZERO(words);
  EXPECT_EQ(words, (std::vector<Word>(5, 0)));
}

}  // namespace

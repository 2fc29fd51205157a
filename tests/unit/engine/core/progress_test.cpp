// The progress line of long commands: what it says, when it is drawn and
// erased, and how the phase follows what the engine sees.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

#include "engine/core/progress.h"

namespace {

using engine::ProgressMeter;
using engine::ProgressObservation;
using engine::ProgressPhase;
using engine::ProgressState;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace std::chrono_literals;

TEST(Progress, LineShowsPhaseBarCountAndTimeLeft) {
  ProgressState reading{ProgressPhase::Reading, 2, 50, 200};
  // 50 of 200 cases in 2 s: 150 more at the same pace take 6 s.
  const std::string line = engine::progressLine(reading, 2.0, 200);
  EXPECT_THAT(line, StartsWith("Reading cases (pass 2)  [######..................]  25%"));
  EXPECT_THAT(line, HasSubstr("50/200"));
  EXPECT_THAT(line, EndsWith("~6s left"));
  // Too early to judge the pace: no estimate yet.
  EXPECT_THAT(engine::progressLine(reading, 0.2, 200), EndsWith("50/200"));
  // The first pass is not numbered; minutes for long estimates.
  ProgressState first{ProgressPhase::Reading, 1, 10, 1000};
  EXPECT_THAT(engine::progressLine(first, 10.0, 200), StartsWith("Reading cases  ["));
  EXPECT_THAT(engine::progressLine(first, 10.0, 200), EndsWith("~16m 30s left"));
  // Unknown total: the count and the time spent.
  ProgressState computing{ProgressPhase::Computing, 0, 7, -1};
  EXPECT_EQ(engine::progressLine(computing, 2.5, 200), "Computing  7  3s");
  // More done than expected: the total was only a guess; no bar.
  ProgressState printing{ProgressPhase::Printing, 0, 12, 10};
  EXPECT_EQ(engine::progressLine(printing, 1.0, 200), "Printing rows  12  1s");
  EXPECT_EQ(engine::progressLine(reading, 2.0, 30).size(), 30u);
}

ProgressObservation reading(std::int64_t pass, std::int64_t sequence) {
  ProgressObservation seen;
  seen.pass = pass;
  seen.caseSequence = sequence;
  seen.casesInData = 100;
  return seen;
}

TEST(Progress, MeterWaitsASecondThenRedrawsAtMostTenTimesASecondAndErasesItsLine) {
  std::ostringstream terminal;
  ProgressMeter meter(terminal, nullptr, 80);
  const auto t0 = ProgressMeter::Clock::time_point{} + 100s;
  meter.beginCommand(t0);
  meter.tick(t0 + 500ms, reading(1, 1));
  meter.tick(t0 + 900ms, reading(1, 2));
  EXPECT_EQ(terminal.str(), "");  // a short command shows nothing
  EXPECT_FALSE(meter.shown());
  meter.tick(t0 + 1000ms, reading(1, 3));
  EXPECT_TRUE(meter.shown());
  EXPECT_THAT(terminal.str(), StartsWith("\rReading cases  ["));
  EXPECT_THAT(terminal.str(), HasSubstr("3/100"));
  EXPECT_THAT(terminal.str(), EndsWith("\x1b[K"));
  const std::size_t drawn = terminal.str().size();
  meter.tick(t0 + 1050ms, reading(1, 4));
  EXPECT_EQ(terminal.str().size(), drawn);  // within a tenth of a second
  meter.tick(t0 + 1100ms, reading(1, 5));
  EXPECT_GT(terminal.str().size(), drawn);
  EXPECT_THAT(terminal.str(), HasSubstr("5/100"));
  meter.endCommand();
  EXPECT_THAT(terminal.str(), EndsWith("\r\x1b[K"));
  EXPECT_FALSE(meter.shown());
  const std::size_t erased = terminal.str().size();
  meter.clear();  // nothing to erase twice
  EXPECT_EQ(terminal.str().size(), erased);
  // The next command starts quiet again.
  meter.beginCommand(t0 + 5s);
  meter.tick(t0 + 5s + 200ms, reading(1, 1));
  EXPECT_EQ(terminal.str().size(), erased);
}

TEST(Progress, PhaseFollowsCasesBeingReadComputationAndRowsBeingPrinted) {
  std::ostringstream terminal;
  ProgressMeter meter(terminal, nullptr, 80);
  const auto t0 = ProgressMeter::Clock::time_point{};
  meter.beginCommand(t0);
  meter.tick(t0, reading(1, 1));
  meter.tick(t0, reading(1, 2));
  EXPECT_EQ(meter.state().phase, ProgressPhase::Reading);
  EXPECT_EQ(meter.state().done, 2);
  EXPECT_EQ(meter.state().total, 100);
  // Checks with no case read in between: one per feature computed.
  for (int k = 0; k < 3; ++k) meter.tick(t0, reading(1, 2));
  EXPECT_EQ(meter.state().phase, ProgressPhase::Computing);
  EXPECT_EQ(meter.state().done, 3);
  EXPECT_EQ(meter.state().total, -1);
  // A second pass starts over.
  meter.tick(t0, reading(2, 1));
  EXPECT_EQ(meter.state().phase, ProgressPhase::Reading);
  EXPECT_EQ(meter.state().pass, 2);
  EXPECT_EQ(meter.state().done, 1);
  // An open table: printed rows, as many expected as it has columns.
  ProgressObservation printing = reading(2, 1);
  printing.tableOpen = true;
  printing.tableColumns = 40;
  meter.tick(t0, printing);
  meter.tick(t0, printing);
  EXPECT_EQ(meter.state().phase, ProgressPhase::Printing);
  EXPECT_EQ(meter.state().done, 2);
  EXPECT_EQ(meter.state().total, 40);
}

TEST(Progress, OutputWrittenWhileTheLineIsShownErasesItFirst) {
  std::ostringstream terminal;
  std::ostringstream output;
  ProgressMeter meter(terminal, &output, 80);
  engine::ProgressAwareBuffer buffer(output.rdbuf(), meter);
  std::ostream through(&buffer);
  const auto t0 = ProgressMeter::Clock::time_point{};
  meter.beginCommand(t0);
  meter.tick(t0 + 2s, reading(1, 1));
  ASSERT_TRUE(meter.shown());
  through << "Proximity Matrix\n" << 'x';
  through.flush();
  EXPECT_FALSE(meter.shown());
  EXPECT_THAT(terminal.str(), EndsWith("\r\x1b[K"));
  EXPECT_EQ(output.str(), "Proximity Matrix\nx");
}

}  // namespace

// The --timing report: each phase gets what was added to it, computing is the
// rest, and only the first pass of a multi-pass procedure is the counting pass.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "engine/core/timing.h"

namespace {

using ::testing::HasSubstr;
using namespace std::chrono_literals;

TEST(CommandTiming, ReportsEveryPhaseAndTheRestAsComputing) {
  engine::CommandTiming timing;
  std::ostringstream report;
  timing.setReport(&report);
  timing.beginCommand();
  timing.add(engine::TimedPhase::Reading, 2s);
  timing.add(engine::TimedPhase::Printing, 500ms);
  timing.add(engine::TimedPhase::Writing, 250ms);
  timing.endCommand("PROXIMITIES x y.", "f.prox:3");
  const std::string text = report.str();
  EXPECT_THAT(text, HasSubstr("PROXIMITIES x y. at f.prox:3"));
  EXPECT_THAT(text, HasSubstr("counting pass 0.000 s, reading 2.000 s"));
  EXPECT_THAT(text, HasSubstr("printing 0.500 s, writing 0.250 s"));
  // The phases added up to more than the wall time: computing is negative
  // here, which shows the report subtracts them from the total.
  EXPECT_THAT(text, HasSubstr("computing -2.75"));
}

TEST(CommandTiming, OnlyTheFirstOfSeveralPassesCounts) {
  engine::CommandTiming timing;
  std::ostringstream report;
  timing.setReport(&report);
  timing.beginCommand();
  timing.passStarted(true);
  EXPECT_TRUE(timing.inCountingPass());
  timing.passEnded();
  timing.passStarted(true);
  EXPECT_FALSE(timing.inCountingPass());
  timing.passEnded();
  timing.beginCommand();
  timing.passStarted(false);  // a single pass reads, it does not count
  EXPECT_FALSE(timing.inCountingPass());
}

TEST(CommandTiming, OffWithoutAReport) {
  engine::CommandTiming timing;
  timing.beginCommand();
  timing.passStarted(true);
  EXPECT_FALSE(timing.inCountingPass());
  timing.mark(engine::TimedPhase::Writing);
  timing.close(engine::TimedPhase::Writing);
  timing.endCommand("x", "y");  // nothing to report to, nothing happens
  EXPECT_FALSE(timing.enabled());
}

}  // namespace

// Where the time of a procedure goes, for the program's --timing option: the
// counting pass (the first pass over the cases when the procedure reads them
// more than once), reading cases in the later passes, printing tables,
// writing matrix files, and the rest, which is computing. The engine sees
// these from its own services, so the procedure needs no timer of its own.
#pragma once

#include <array>
#include <chrono>
#include <ostream>
#include <string_view>

namespace engine {

enum class TimedPhase { CountingPass, Reading, Printing, Writing };

class CommandTiming {
 public:
  using Clock = std::chrono::steady_clock;

  // Timing is kept only while a stream to report to is set.
  void setReport(std::ostream* report) { report_ = report; }
  bool enabled() const { return report_ != nullptr; }
  std::ostream* report() const { return report_; }

  void beginCommand();
  void endCommand(std::string_view command, std::string_view location);
  void add(TimedPhase phase, Clock::duration spent);

  // The pass protocol: the first pass of a procedure that asked for several
  // passes is the counting pass; time in OBSERV otherwise counts as reading.
  void passStarted(bool multiplePass);
  void passEnded();
  bool inCountingPass() const { return countingPass_; }

  // Intervals that open in one service and close in another.
  void mark(TimedPhase phase);
  void close(TimedPhase phase);

 private:
  std::ostream* report_ = nullptr;
  Clock::time_point commandStart_{};
  std::array<Clock::duration, 4> spent_{};
  std::array<Clock::time_point, 4> open_{};
  std::array<bool, 4> isOpen_{};
  int passes_ = 0;
  bool countingPass_ = false;
  Clock::time_point passStart_{};
};

CommandTiming& commandTiming();

// Adds the time of a scope to a phase, when timing is on.
class TimedScope {
 public:
  explicit TimedScope(TimedPhase phase)
      : phase_(phase),
        on_(commandTiming().enabled()),
        start_(on_ ? CommandTiming::Clock::now() : CommandTiming::Clock::time_point{}) {}
  ~TimedScope() {
    if (on_) commandTiming().add(phase_, CommandTiming::Clock::now() - start_);
  }
  TimedScope(const TimedScope&) = delete;
  TimedScope& operator=(const TimedScope&) = delete;

 private:
  TimedPhase phase_;
  bool on_;
  CommandTiming::Clock::time_point start_;
};

}  // namespace engine

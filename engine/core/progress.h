// Progress of long commands on a terminal: one line on standard error with
// the phase, a bar and an estimate of the time left, redrawn at most a few
// times a second and erased when the command ends. The procedure's interrupt
// check (ATNJMP, once per case, feature or printed row) drives it; the phase
// comes from what the engine sees at that moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace engine {

enum class ProgressPhase { Reading, Computing, Printing };

// What the engine sees at one interrupt check.
struct ProgressObservation {
  bool tableOpen = false;         // a table is being built: its rows are being printed
  std::int64_t tableColumns = 0;  // columns of that table (a square table's rows to come)
  std::int64_t pass = 0;          // passes over the cases the command started
  std::int64_t caseSequence = 0;  // cases read so far in the current pass
  std::int64_t casesInData = -1;  // cases in the working data; -1 unknown
};

// The state of the line: the phase and how far it is.
struct ProgressState {
  ProgressPhase phase = ProgressPhase::Computing;
  std::int64_t pass = 0;
  std::int64_t done = 0;
  std::int64_t total = -1;  // -1 unknown
};

// The line for a state, at most `width` characters: phase, bar and percent
// when the total is known, the count, and the time left (estimated from the
// pace so far in the phase) or the time spent.
std::string progressLine(const ProgressState& state, double phaseSeconds, std::size_t width);

class ProgressMeter {
 public:
  using Clock = std::chrono::steady_clock;

  // Draws on `terminal`, `width` columns wide. `output`, when given, is
  // flushed before each redraw so that the run's own output, if it goes to
  // the same terminal, is never written after a half line.
  ProgressMeter(std::ostream& terminal, std::ostream* output, std::size_t width);

  void beginCommand(Clock::time_point now);
  // One interrupt check. Nothing is drawn in a command's first second, and
  // then at most every tenth of a second.
  void tick(Clock::time_point now, const ProgressObservation& seen);
  void clear();  // erases the line if it is shown
  void endCommand() { clear(); }

  bool shown() const { return shown_; }
  const ProgressState& state() const { return state_; }

  static constexpr std::chrono::milliseconds kQuietStart{1000};
  static constexpr std::chrono::milliseconds kRedrawEvery{100};

 private:
  void follow(Clock::time_point now, const ProgressObservation& seen);

  std::ostream& terminal_;
  std::ostream* output_;
  std::size_t width_;
  Clock::time_point commandStart_{};
  Clock::time_point phaseStart_{};
  Clock::time_point lastDraw_{};
  ProgressState state_;
  std::int64_t lastCaseSequence_ = 0;
  std::int64_t ticksInPhase_ = 0;
  bool shown_ = false;
  bool started_ = false;
};

// The meter of the running engine, or null (no terminal); ATNJMP ticks it.
ProgressMeter* activeProgressMeter();
void setActiveProgressMeter(ProgressMeter* meter);

// A stream buffer in front of the run's output: it erases the progress line
// before anything is written, then passes the text on.
class ProgressAwareBuffer : public std::streambuf {
 public:
  ProgressAwareBuffer(std::streambuf* target, ProgressMeter& meter)
      : target_(target), meter_(meter) {}

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override { return target_->pubsync(); }

 private:
  std::streambuf* target_;
  ProgressMeter& meter_;
};

}  // namespace engine

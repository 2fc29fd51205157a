#include "engine/core/timing.h"

#include <fmt/format.h>

namespace engine {
namespace {

std::size_t index(TimedPhase phase) { return static_cast<std::size_t>(phase); }
double seconds(CommandTiming::Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

CommandTiming& commandTiming() {
  static CommandTiming timing;
  return timing;
}

void CommandTiming::beginCommand() {
  spent_ = {};
  isOpen_ = {};
  passes_ = 0;
  countingPass_ = false;
  commandStart_ = Clock::now();
}

void CommandTiming::endCommand(std::string_view command, std::string_view location) {
  if (!enabled()) return;
  const Clock::duration total = Clock::now() - commandStart_;
  Clock::duration computing = total;
  for (const Clock::duration d : spent_) computing -= d;
  *report_ << fmt::format(
      "timing: {} at {}\n  counting pass {:.3f} s, reading {:.3f} s, computing {:.3f} s, "
      "printing {:.3f} s, writing {:.3f} s, total {:.3f} s\n",
      command, location, seconds(spent_[index(TimedPhase::CountingPass)]),
      seconds(spent_[index(TimedPhase::Reading)]), seconds(computing),
      seconds(spent_[index(TimedPhase::Printing)]), seconds(spent_[index(TimedPhase::Writing)]),
      seconds(total));
  report_->flush();
}

void CommandTiming::add(TimedPhase phase, Clock::duration spent) { spent_[index(phase)] += spent; }

void CommandTiming::passStarted(bool multiplePass) {
  countingPass_ = enabled() && passes_ == 0 && multiplePass;
  if (countingPass_) passStart_ = Clock::now();
  ++passes_;
}

void CommandTiming::passEnded() {
  if (countingPass_) add(TimedPhase::CountingPass, Clock::now() - passStart_);
  countingPass_ = false;
}

void CommandTiming::mark(TimedPhase phase) {
  if (!enabled() || isOpen_[index(phase)]) return;
  isOpen_[index(phase)] = true;
  open_[index(phase)] = Clock::now();
}

void CommandTiming::close(TimedPhase phase) {
  if (!enabled() || !isOpen_[index(phase)]) return;
  isOpen_[index(phase)] = false;
  add(phase, Clock::now() - open_[index(phase)]);
}

}  // namespace engine

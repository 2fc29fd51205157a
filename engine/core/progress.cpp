#include "engine/core/progress.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

ProgressMeter* active = nullptr;

constexpr std::size_t kBarWidth = 24;
constexpr double kEstimateAfterSeconds = 0.5;  // too little pace to go on before this

std::string phaseName(const ProgressState& s) {
  switch (s.phase) {
    case ProgressPhase::Reading:
      return s.pass > 1 ? "Reading cases (pass " + std::to_string(s.pass) + ")" : "Reading cases";
    case ProgressPhase::Computing:
      return "Computing";
    case ProgressPhase::Printing:
      return "Printing rows";
  }
  return "Working";
}

std::string duration(double seconds) {
  const auto whole = static_cast<std::int64_t>(std::ceil(seconds));
  if (whole < 60) return std::to_string(whole) + "s";
  if (whole < 3600) return std::to_string(whole / 60) + "m " + std::to_string(whole % 60) + "s";
  return std::to_string(whole / 3600) + "h " + std::to_string(whole / 60 % 60) + "m";
}

std::string bar(double fraction) {
  const auto filled =
      std::min(kBarWidth, static_cast<std::size_t>(std::floor(fraction * kBarWidth)));
  std::string text(kBarWidth + 2, '.');
  text.front() = '[';
  text.back() = ']';
  std::fill_n(text.begin() + 1, filled, '#');
  return text;
}

}  // namespace

std::string progressLine(const ProgressState& s, double phaseSeconds, std::size_t width) {
  std::string line = phaseName(s);
  const bool known = s.total > 0 && s.done <= s.total;
  if (known) {
    const double fraction = static_cast<double>(s.done) / static_cast<double>(s.total);
    line += "  " + bar(fraction) + "  " +
            std::to_string(static_cast<int>(std::floor(fraction * 100.0))) + "%  " +
            std::to_string(s.done) + "/" + std::to_string(s.total);
    if (s.done > 0 && phaseSeconds >= kEstimateAfterSeconds) {
      const double left =
          phaseSeconds * static_cast<double>(s.total - s.done) / static_cast<double>(s.done);
      line += "  ~" + duration(left) + " left";
    }
  } else {
    line += "  " + std::to_string(s.done) + "  " + duration(phaseSeconds);
  }
  if (line.size() > width) line.resize(width);
  return line;
}

ProgressMeter::ProgressMeter(std::ostream& terminal, std::ostream* output, std::size_t width)
    : terminal_(terminal), output_(output), width_(std::max<std::size_t>(width, 20) - 1) {}

void ProgressMeter::beginCommand(Clock::time_point now) {
  clear();
  commandStart_ = phaseStart_ = now;
  state_ = ProgressState{};
  lastCaseSequence_ = 0;
  ticksInPhase_ = 0;
  started_ = false;
}

// Rows being printed while a table is open; cases being read while each
// check finds the pass further on; anything else between checks is
// computation (one check per feature).
void ProgressMeter::follow(Clock::time_point now, const ProgressObservation& seen) {
  ProgressState next;
  if (seen.tableOpen) {
    next.phase = ProgressPhase::Printing;
    next.total = seen.tableColumns > 0 ? seen.tableColumns : -1;
  } else if (seen.caseSequence != lastCaseSequence_) {
    next.phase = ProgressPhase::Reading;
    next.pass = seen.pass;
    next.total = seen.casesInData;
  } else {
    next.phase = ProgressPhase::Computing;
  }
  lastCaseSequence_ = seen.caseSequence;
  if (!started_ || next.phase != state_.phase || next.pass != state_.pass) {
    phaseStart_ = now;
    ticksInPhase_ = 0;
    started_ = true;
  }
  ++ticksInPhase_;
  next.done = next.phase == ProgressPhase::Reading ? seen.caseSequence : ticksInPhase_;
  state_ = next;
}

void ProgressMeter::tick(Clock::time_point now, const ProgressObservation& seen) {
  follow(now, seen);
  if (now - commandStart_ < kQuietStart) return;
  if (shown_ && now - lastDraw_ < kRedrawEvery) return;
  const double seconds = std::chrono::duration<double>(now - phaseStart_).count();
  if (output_ != nullptr) output_->flush();
  terminal_ << '\r' << progressLine(state_, seconds, width_) << "\x1b[K" << std::flush;
  lastDraw_ = now;
  shown_ = true;
}

void ProgressMeter::clear() {
  if (!shown_) return;
  shown_ = false;  // first, so that writing below cannot come back here
  terminal_ << "\r\x1b[K" << std::flush;
}

ProgressMeter* activeProgressMeter() { return active; }
void setActiveProgressMeter(ProgressMeter* meter) { active = meter; }

ProgressAwareBuffer::int_type ProgressAwareBuffer::overflow(int_type c) {
  meter_.clear();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  return target_->sputc(traits_type::to_char_type(c));
}

std::streamsize ProgressAwareBuffer::xsputn(const char* text, std::streamsize count) {
  meter_.clear();
  return target_->sputn(text, count);
}

}  // namespace engine

#include "engine/core/activity.h"

#include <exception>
#include <utility>
#include <vector>

namespace engine {
namespace {

// Commands run on one thread; the worker threads never mark steps.
std::vector<std::string>& steps() {
  static std::vector<std::string> stack;
  return stack;
}

std::string& abandoned() {
  static std::string step;
  return step;
}

}  // namespace

Activity::Activity(std::string what) : exceptionsBefore_(std::uncaught_exceptions()) {
  steps().push_back(std::move(what));
}

Activity::~Activity() {
  // Left by an exception: remember the innermost step. Moving the text needs
  // no memory, which may be what ran out.
  if (std::uncaught_exceptions() > exceptionsBefore_ && abandoned().empty()) {
    abandoned() = std::move(steps().back());
  }
  steps().pop_back();
}

std::string Activity::takeAbandoned() { return std::exchange(abandoned(), std::string()); }

}  // namespace engine

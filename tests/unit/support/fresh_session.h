// A test fixture with an engine of its own: the test starts from a fresh
// session (no data, default settings, an empty workspace), and the session of
// the engine before it (the one the procedure's tests share) comes back when
// the test ends.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "engine/core/session.h"
#include "engine/engine.h"

class FreshSession : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::EngineOptions options;
    options.out = &out_;
    engine_ = std::make_unique<engine::Engine>(options);
  }
  void TearDown() override { engine_.reset(); }

  engine::Session& session() { return engine::Session::current(); }
  // Everything the test's engine showed so far, its output completed.
  std::string shown() {
    engine_->finish();
    return out_.str();
  }

  std::ostringstream out_;
  std::unique_ptr<engine::Engine> engine_;
};

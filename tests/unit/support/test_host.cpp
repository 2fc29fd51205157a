#include "tests/unit/support/test_host.h"

#include <memory>

#include "proc/options.h"
#include "proc/prox.h"
#include "proc/workspace_blocks.h"
#include "syntax/parser.h"
#include "syntax/varlist.h"

namespace testing_host {
namespace {

std::ostringstream& output() {
  static std::ostringstream out;
  return out;
}

}  // namespace

ProxOptions& parsedOptions() {
  static ProxOptions captured;
  return captured;
}

// The parsing stages of the run, then the closing steps.
void parseOnly(ProxWorkspace& ws) {
  BP_PROCEDURE("Proximities", 11, 1, ws);
  proinit(ws);
  if (!host::errorFlagSet() && !isTrue(options().errorFlag)) {
    proparse(ws);
    if (!host::errorFlagSet() && !isTrue(options().errorFlag)) proparse_varlist(ws);
  }
  parsedOptions() = options();
  profree(ws, ws);
  BP_END_PROCEDURE();
}

engine::Engine& engineForTests() {
  static std::unique_ptr<engine::Engine> instance = [] {
    engine::EngineOptions options;
    options.workspaceBytes = 64LL << 20;
    options.out = &output();
    auto created = std::make_unique<engine::Engine>(options);
    created->registerProcedure("PROXIMITIES", 4, &PROX);
    created->registerProcedure("PARSETEST", 5, &parseOnly);
    return created;
  }();
  return *instance;
}

void attach() {
  engineForTests();
  host::attach();
}

std::string run(const std::string& commands) {
  attach();
  output().str("");
  engineForTests().run(commands, "test");
  return output().str();
}

}  // namespace testing_host

#include "engine/output/builder.h"

#include "engine/core/session.h"
#include "engine/output/document_builder.h"
#include "engine/output/renderer.h"

namespace engine {

namespace {

output::SplitSource toSource(OutputBuilder::SplitSource source) {
  return [source = std::move(source)]() {
    std::vector<output::SplitValue> values;
    for (auto& [name, value] : source()) values.push_back({std::move(name), std::move(value)});
    return values;
  };
}

}  // namespace

std::unique_ptr<OutputBuilder> OutputBuilder::create(std::unique_ptr<output::Renderer> renderer,
                                                     SplitSource workingDataSplits) {
  auto document = std::make_unique<output::DocumentBuilder>(std::move(renderer));
  std::unique_ptr<OutputBuilder> builder(
      new OutputBuilder(std::move(document), std::move(workingDataSplits)));
  builder->resetSplitSource();
  return builder;
}

OutputBuilder::OutputBuilder(std::unique_ptr<output::DocumentBuilder> document,
                             SplitSource workingDataSplits)
    : document_(std::move(document)), workingDataSplits_(std::move(workingDataSplits)) {}

OutputBuilder::~OutputBuilder() = default;

void OutputBuilder::message(int severity, std::string_view text) {
  document_->message(output::severityOf(severity), text);
  if (severity >= 3) Session::current().global.errorFlag = kTrue;
}

void OutputBuilder::beginCommand(std::string_view commandText, std::string_view location) {
  document_->beginCommand(commandText, location);
}

void OutputBuilder::endCommand() { document_->endCommand(); }

void OutputBuilder::finish() { document_->finish(); }

void OutputBuilder::setSplitSource(SplitSource source) {
  document_->setSplitSource(toSource(std::move(source)));
}

void OutputBuilder::resetSplitSource() {
  if (workingDataSplits_) {
    setSplitSource(workingDataSplits_);
  } else {
    setSplitSource([] { return SplitValues{}; });
  }
}

}  // namespace engine

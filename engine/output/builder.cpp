#include "engine/output/builder.h"

#include "engine/services/case_reader.h"
#include "engine/output/document_builder.h"
#include "engine/core/session.h"

namespace engine {

namespace {

output::SplitSource toSource(std::function<OutputBuilder::SplitValues()> source) {
  return [source = std::move(source)]() {
    std::vector<output::SplitValue> values;
    for (auto& [name, value] : source()) values.push_back({std::move(name), std::move(value)});
    return values;
  };
}

OutputBuilder::SplitValues workingDataSplitValues() {
  OutputBuilder::SplitValues values;
  const Dictionary& dictionary = Session::current().dictionary();
  for (auto& [index, value] : currentGroupSplitValues()) {
    const bool known = index >= 1 && static_cast<std::size_t>(index) <= dictionary.size();
    values.emplace_back(known ? dictionary.at(index).name : "?", std::move(value));
  }
  return values;
}

}  // namespace

std::unique_ptr<OutputBuilder> OutputBuilder::create(OutputFormat format, std::ostream& out) {
  std::unique_ptr<output::Renderer> renderer;
  switch (format) {
    case OutputFormat::Json:
      renderer = output::makeJsonRenderer(out);
      break;
    case OutputFormat::Html:
      renderer = output::makeHtmlRenderer(out);
      break;
    case OutputFormat::Text:
      renderer = output::makeTextRenderer(out);
      break;
  }
  auto document = std::make_unique<output::DocumentBuilder>(std::move(renderer));
  std::unique_ptr<OutputBuilder> builder(new OutputBuilder(std::move(document)));
  builder->setSplitSource(workingDataSplitValues);
  return builder;
}

OutputBuilder::OutputBuilder(std::unique_ptr<output::DocumentBuilder> document)
    : document_(std::move(document)) {}

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

void OutputBuilder::setSplitSource(std::function<SplitValues()> source) {
  document_->setSplitSource(toSource(std::move(source)));
}

void OutputBuilder::resetSplitSource() { setSplitSource(workingDataSplitValues); }

}  // namespace engine

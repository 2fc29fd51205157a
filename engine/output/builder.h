// The engine's output-table builder: the one place where everything shown to
// the user is put together, from the engine's own messages and from the
// procedure's BP_* calls (host/tavixwlib.h). Each finished item (procedure
// title, notes listing, pivot table, message, heading) is rendered as text or
// JSON (docs/output-formats.md) as soon as it is complete.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/message_sink.h"
#include "engine/output/output_format.h"

namespace engine {

namespace output {
class DocumentBuilder;
class Renderer;
}  // namespace output

class OutputBuilder : public MessageSink {
 public:
  // Where BP_SPLIT_LIST and BP_SPLIT_CHANGE take the current split group's
  // variable names and values.
  using SplitValues = std::vector<std::pair<std::string, std::string>>;
  using SplitSource = std::function<SplitValues()>;

  // A builder rendering with `renderer`, taking split groups from
  // `workingDataSplits` unless told otherwise (setSplitSource). The engine's
  // front door (makeOutputBuilder in engine/engine.h) picks the renderer of
  // a format and gives the working data's groups.
  static std::unique_ptr<OutputBuilder> create(std::unique_ptr<output::Renderer> renderer,
                                               SplitSource workingDataSplits);
  ~OutputBuilder();
  OutputBuilder(const OutputBuilder&) = delete;
  OutputBuilder& operator=(const OutputBuilder&) = delete;

  // A message tied to the current command: severity 1 note, 2 warning,
  // 3 error; an error also sets Session::current().global.errorFlag.
  void message(int severity, std::string_view text) override;

  // Brackets the output of one command. Messages carry the command's text
  // (white space collapsed) and location ("file.prox:3"). endCommand drops a
  // table the command left unfinished and closes its procedure and headings.
  void beginCommand(std::string_view commandText, std::string_view location);
  void endCommand();

  // Ends the document (the JSON output is closed); later calls show nothing.
  // Idempotent; the destructor calls it.
  void finish();

  // Another source of split groups (a matrix file's), and back to the
  // working data's.
  void setSplitSource(SplitSource source);
  void resetSplitSource();

  // The state behind the BP_* calls (engine/output/document_builder.h).
  output::DocumentBuilder& document() { return *document_; }

 private:
  OutputBuilder(std::unique_ptr<output::DocumentBuilder> document, SplitSource workingDataSplits);
  std::unique_ptr<output::DocumentBuilder> document_;
  SplitSource workingDataSplits_;
};

}  // namespace engine

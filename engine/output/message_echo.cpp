#include "engine/output/message_echo.h"

#include <optional>
#include <string>

namespace engine::output {

namespace {

class MessageEcho : public Renderer {
 public:
  MessageEcho(std::unique_ptr<Renderer> document, std::ostream& echo)
      : document_(std::move(document)), echo_(echo) {}

  void beginProcedure(const std::string& title, const CommandInfo* command) override {
    lastEchoed_.reset();
    document_->beginProcedure(title, command);
  }
  void endProcedure() override { document_->endProcedure(); }
  void beginHeading(const std::string& title) override {
    lastEchoed_.reset();
    document_->beginHeading(title);
  }
  void endHeading() override { document_->endHeading(); }
  void notes(const NotesGroup& group) override {
    lastEchoed_.reset();
    document_->notes(group);
  }
  void table(const PivotTable& table) override {
    lastEchoed_.reset();
    document_->table(table);
  }

  void message(const Message& message) override {
    document_->message(message);
    const std::string where =
        message.command ? message.command->text + '\n' + message.command->location : std::string();
    const bool followsEchoed = lastEchoed_ && *lastEchoed_ == where;
    if (message.severity == Severity::Note && !followsEchoed) {
      lastEchoed_.reset();
      return;
    }
    echo_ << severityWord(message.severity, true) << ": " << message.text << '\n';
    if (message.command) {
      echo_ << "  (in: " << message.command->text;
      if (!message.command->location.empty()) echo_ << " at " << message.command->location;
      echo_ << ")\n";
    }
    echo_.flush();
    lastEchoed_ = where;
  }

  void finish() override { document_->finish(); }

 private:
  std::unique_ptr<Renderer> document_;
  std::ostream& echo_;
  // The command of the message echoed last, while nothing else came after it.
  std::optional<std::string> lastEchoed_;
};

}  // namespace

std::unique_ptr<Renderer> makeMessageEcho(std::unique_ptr<Renderer> document, std::ostream& echo) {
  return std::make_unique<MessageEcho>(std::move(document), echo);
}

}  // namespace engine::output

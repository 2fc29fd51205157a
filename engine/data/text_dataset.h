// A dataset read from CSV text held in memory, with the text of its sidecar
// when it has one: the same loading as a file's, without the file system.
// The fuzzing harnesses read through it, thousands of inputs a second.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/data/csv_dataset.h"

namespace engine::data {

class TextDataset : public CsvDataset {
 public:
  // `name` stands for the text in messages, as a file's path would; the
  // sidecar is called NAME.schema.json. Throws DataError as FileDataset does.
  TextDataset(std::string text, std::string name, const std::optional<std::string>& sidecar,
              const CsvDialect& dialect = {});
  std::string source() const override { return name_; }

 protected:
  std::unique_ptr<ByteSource> openSource() const override;
  std::unique_ptr<RandomText> openRandomText() const override;

 private:
  std::shared_ptr<const std::string> text_;
  std::string name_;
};

}  // namespace engine::data

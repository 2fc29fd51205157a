#include "engine/data/text_dataset.h"

#include <utility>

#include "engine/data/schema.h"

namespace engine::data {

TextDataset::TextDataset(std::string text, std::string name,
                         const std::optional<std::string>& sidecar, const CsvDialect& dialect)
    : text_(std::make_shared<const std::string>(std::move(text))), name_(std::move(name)) {
  load(sidecar ? &*sidecar : nullptr, sidecarPath(name_).string(), dialect);
}

std::unique_ptr<ByteSource> TextDataset::openSource() const { return openMemorySource(text_); }

std::unique_ptr<RandomText> TextDataset::openRandomText() const { return openRandomString(text_); }

}  // namespace engine::data

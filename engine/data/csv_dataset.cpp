#include "engine/data/csv_dataset.h"

#include "engine/data/schema.h"

namespace engine::data {

namespace {

// Streams the records after the header, checking that the header is still
// the one the dataset was loaded with.
class CsvCursor : public CaseCursor {
 public:
  CsvCursor(std::unique_ptr<CsvRecordReader> reader, std::shared_ptr<const Layout> layout)
      : reader_(std::move(reader)), layout_(std::move(layout)) {
    const std::vector<std::string> header = readHeader(*reader_);
    bool same = header.size() == layout_->size();
    for (std::size_t k = 0; same && k < header.size(); ++k) same = header[k] == (*layout_)[k].name;
    if (!same) {
      throw DataError("The header row of " + reader_->sourceName() +
                      " changed since the data were loaded.");
    }
    reader_->setFieldLimit(layout_->size());
  }

  bool next(Case& c) override {
    if (!reader_->next(record_)) return false;
    recordToCase(record_, *layout_, reader_->sourceName(), c);
    return true;
  }

 private:
  std::unique_ptr<CsvRecordReader> reader_;
  std::shared_ptr<const Layout> layout_;
  CsvRecord record_;
};

}  // namespace

std::unique_ptr<CaseCursor> CsvDataset::open() const {
  return std::make_unique<CsvCursor>(openReader(), layout_);
}

void CsvDataset::load(const std::filesystem::path* sidecar) {
  std::optional<TableSchema> schema;
  if (sidecar != nullptr) schema = readSchemaFile(*sidecar);
  auto reader = openReader();
  Layout layout;
  for (std::string& name : readHeader(*reader)) {
    ColumnReading column;
    column.name = std::move(name);
    column.missingTexts = {""};
    layout.push_back(std::move(column));
  }
  if (schema) matchSchemaToHeader(*schema, layout, sidecar->string(), source());
  const std::vector<ColumnScan> scans = scanColumns(*reader, layout, caseCount_);
  dictionary = inferDictionary(layout, scans);
  if (schema) applySchema(*schema, scans, dictionary, sidecar->string());
  for (std::size_t k = 0; k < layout.size(); ++k) {
    layout[k].width = dictionary.variables()[k].width;
  }
  layout_ = std::make_shared<const Layout>(std::move(layout));
}

FileDataset::FileDataset(std::filesystem::path path) : path_(std::move(path)) {
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) {
    throw DataError("The file " + path_.string() + " does not exist.");
  }
  const std::filesystem::path sidecar = sidecarPath(path_);
  load(std::filesystem::exists(sidecar, ec) ? &sidecar : nullptr);
}

std::unique_ptr<CsvRecordReader> FileDataset::openReader() const {
  return std::make_unique<CsvRecordReader>(openFileSource(path_), path_.string());
}

InlineDataset::InlineDataset(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  text_ = std::make_shared<const std::string>(std::move(text));
  load(nullptr);
}

std::unique_ptr<CsvRecordReader> InlineDataset::openReader() const {
  return std::make_unique<CsvRecordReader>(openMemorySource(text_), source());
}

}  // namespace engine::data

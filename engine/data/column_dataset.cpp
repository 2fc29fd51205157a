#include "engine/data/column_dataset.h"

namespace engine::data {

namespace {

class ColumnCursor : public CaseCursor {
 public:
  ColumnCursor(std::shared_ptr<const std::vector<Column>> columns, std::size_t cases)
      : columns_(std::move(columns)), cases_(cases) {}

  bool next(Case& c) override {
    if (position_ >= cases_) return false;
    const std::vector<Column>& columns = *columns_;
    c.values.resize(columns.size());
    c.strings.resize(columns.size());
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (columns[k].isString) {
        c.values[k] = 0.0;
        c.strings[k] = columns[k].texts[position_];
      } else {
        c.values[k] = columns[k].numbers[position_];
        c.strings[k].clear();
      }
    }
    ++position_;
    return true;
  }

 private:
  std::shared_ptr<const std::vector<Column>> columns_;
  std::size_t cases_;
  std::size_t position_ = 0;
};

}  // namespace

ColumnDataset::ColumnDataset(Dictionary variables, std::vector<Column> columns, std::string source)
    : source_(std::move(source)) {
  dictionary = std::move(variables);
  for (std::size_t k = 0; k < columns.size(); ++k) {
    Column& column = columns[k];
    caseCount_ = column.isString ? column.texts.size() : column.numbers.size();
    const auto width = static_cast<std::size_t>(dictionary.variables()[k].width);
    for (std::string& text : column.texts) text.resize(width, ' ');
  }
  columns_ = std::make_shared<const std::vector<Column>>(std::move(columns));
}

std::unique_ptr<CaseCursor> ColumnDataset::open() const {
  return std::make_unique<ColumnCursor>(columns_, caseCount_);
}

}  // namespace engine::data

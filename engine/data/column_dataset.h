// Working data handed over column by column in memory (the Python module's
// data frames and arrays): each column is kept as given, and a pass assembles
// its cases from them, so the numbers are copied once, into the columns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/dataset.h"

namespace engine::data {

struct Column {
  bool isString = false;
  std::vector<double> numbers;     // numeric: one value per case, system-missing if missing
  std::vector<std::string> texts;  // string: one value per case
};

class ColumnDataset : public Dataset {
 public:
  // The dictionary's variables match the columns one for one; string values
  // are padded to their variable's width here.
  ColumnDataset(Dictionary variables, std::vector<Column> columns, std::string source);

  std::unique_ptr<CaseCursor> open() const override;
  std::string source() const override { return source_; }
  std::size_t caseCount() const { return caseCount_; }
  const std::vector<Column>& columns() const { return *columns_; }  // strings padded

 private:
  // A pass holds the columns it reads, so it outlives a change of working data.
  std::shared_ptr<const std::vector<Column>> columns_;
  std::size_t caseCount_ = 0;
  std::string source_;
};

}  // namespace engine::data

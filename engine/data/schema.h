// The JSON sidecar of a CSV file: NAME.schema.json beside NAME.csv, in the
// Table Schema form ({"fields": [...]}) with our own documented properties
// for what CSV cannot say (string width, value labels, user-missing values,
// formats, attribute). See docs/data-files.md.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/dictionary.h"
#include "engine/data/csv_table.h"

namespace engine::data {

struct FieldSchema {
  std::string name;
  std::optional<bool> isString;  // from "type"; unset: inferred from the data
  std::optional<int> width;
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<std::vector<std::string>> missingTexts;  // this field's "missingValues"
  std::map<double, std::string> valueLabels;
  MissingValues userMissing;
  std::optional<Format> printFormat;
  std::optional<Format> writeFormat;
  std::optional<int> attribute;
};

struct TableSchema {
  std::vector<FieldSchema> fields;
  std::optional<std::vector<std::string>> missingTexts;  // the table's "missingValues"
};

// NAME.schema.json for NAME.csv (any extension is replaced).
std::filesystem::path sidecarPath(const std::filesystem::path& csvPath);

// Parses a sidecar; every problem throws DataError naming the sidecar.
TableSchema parseSchema(std::string_view jsonText, const std::string& sidecarName);
TableSchema readSchemaFile(const std::filesystem::path& path);

// The schema's fields must be the header's columns, in order (names compared
// without regard to case, with the header's text or the variable name made
// of it). Gives the columns of fields with missing texts of their own those.
void matchSchemaToHeader(const TableSchema& schema, Layout& layout, const std::string& sidecarName,
                         const std::string& csvName);

// Applies types, widths, labels, missing values and formats to the dictionary
// inferred from the data; a declared type or width the data contradict throws.
void applySchema(const TableSchema& schema, const std::vector<ColumnScan>& scans,
                 Dictionary& dictionary, const std::string& sidecarName);

// The sidecar text that describes this dictionary (EXPORT).
std::string schemaText(const Dictionary& dictionary);

}  // namespace engine::data

#include "engine/data/schema.h"

#include <fmt/format.h>
#include <algorithm>
#include <cctype>
#include <fstream>

#include <nlohmann/json.hpp>
#include <sstream>

#include "engine/core/activity.h"
#include "engine/data/number_text.h"

namespace engine::data {

namespace {

using nlohmann::json;

// A name in double quotes, for messages.
std::string quoted(std::string_view text) { return fmt::format("\"{}\"", text); }

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Reads the members of one JSON object, failing with the sidecar's name and
// where in it the problem is.
class JsonReader {
 public:
  JsonReader(std::string sidecar, std::string where)
      : sidecar_(std::move(sidecar)), where_(std::move(where)) {}

  [[noreturn]] void fail(const std::string& what) const {
    throw DataError(sidecar_ + ": " + where_ + what + ".");
  }
  std::string text(const json& value, std::string_view key) const {
    if (!value.is_string()) fail(quoted(key) + " must be a string");
    return value.get<std::string>();
  }
  double number(const json& value, std::string_view key) const {
    if (!value.is_number()) fail(quoted(key) + " must hold numbers");
    return value.get<double>();
  }
  int integer(const json& value, std::string_view key, int low, int high) const {
    if (!value.is_number_integer() || value.get<std::int64_t>() < low ||
        value.get<std::int64_t>() > high) {
      fail(quoted(key) + " must be a whole number from " + std::to_string(low) + " to " +
           std::to_string(high));
    }
    return value.get<int>();
  }
  std::vector<std::string> texts(const json& value, std::string_view key) const {
    if (!value.is_array()) fail(quoted(key) + " must be a list of strings");
    std::vector<std::string> result;
    for (const json& item : value) result.push_back(text(item, key));
    return result;
  }

 private:
  std::string sidecar_;
  std::string where_;
};

// The entry attribute that marks a variable holding proximities (the item
// variables of a matrix file): it keeps no value labels or user-missing
// values of the variable it was copied from. Sidecars say "proximities": true.
constexpr int kProximitiesAttribute = 3;

// {"width": 10, "decimals": 4}; "type" (a format code) is optional and, when
// left out, is the usual one of the field's kind (applyField fills it in).
// Older sidecars always give it.
Format readFormat(const JsonReader& in, const json& value, std::string_view key) {
  if (!value.is_object() || !value.contains("width") || !value.contains("decimals")) {
    in.fail(quoted(key) + " must be an object with \"width\" and \"decimals\"");
  }
  Format format;
  format.type = value.contains("type") ? in.integer(value["type"], "type", 1, 255) : 0;
  format.width = in.integer(value["width"], "width", 1, 255);
  format.decimals = in.integer(value["decimals"], "decimals", 0, format.width);
  return format;
}

void readUserMissing(const JsonReader& in, const json& value, MissingValues& out) {
  if (!value.is_object()) in.fail("\"userMissing\" must be an object");
  for (const auto& [key, member] : value.items()) {
    if (key == "values") {
      if (!member.is_array()) in.fail("\"userMissing\" \"values\" must be a list");
      for (const json& item : member) {
        if (item.is_string()) {
          out.strings.push_back(item.get<std::string>());
        } else {
          out.values.push_back(in.number(item, "values"));
        }
      }
    } else if (key == "range") {
      if (!member.is_array() || member.size() != 2) {
        in.fail("\"userMissing\" \"range\" must be a list of two numbers [low, high]");
      }
      const double low = in.number(member[0], "range");
      const double high = in.number(member[1], "range");
      if (low > high) in.fail("\"userMissing\" \"range\" has its low end above its high end");
      out.range = std::pair{low, high};
    } else {
      in.fail("\"userMissing\" has an unknown member \"" + key + "\" (use values and range)");
    }
  }
}

void readValueLabels(const JsonReader& in, const json& value, std::map<double, std::string>& out) {
  if (!value.is_object()) in.fail("\"valueLabels\" must be an object such as {\"1\": \"no\"}");
  for (const auto& [key, label] : value.items()) {
    const auto number = parseNumber(key);
    if (!number) in.fail("value label key \"" + key + "\" is not a number");
    out[*number] = in.text(label, "valueLabels");
  }
}

FieldSchema readField(const std::string& sidecar, const json& value, std::size_t position) {
  JsonReader in(sidecar, "field " + std::to_string(position) + ": ");
  if (!value.is_object()) in.fail("must be an object");
  if (!value.contains("name")) in.fail("has no \"name\"");
  FieldSchema field;
  field.name = in.text(value["name"], "name");
  in = JsonReader(sidecar, "field \"" + field.name + "\": ");
  for (const auto& [key, member] : value.items()) {
    if (key == "type") {
      const std::string type = in.text(member, key);
      if (type != "number" && type != "integer" && type != "string") {
        in.fail("type \"" + type + "\" is not supported (use number, integer or string)");
      }
      field.isString = type == "string";
    } else if (key == "width") {
      field.width = in.integer(member, key, 1, kMaxStringWidth);
    } else if (key == "title") {
      field.title = in.text(member, key);
    } else if (key == "description") {
      field.description = in.text(member, key);
    } else if (key == "missingValues") {
      field.missingTexts = in.texts(member, key);
    } else if (key == "valueLabels") {
      readValueLabels(in, member, field.valueLabels);
    } else if (key == "userMissing") {
      readUserMissing(in, member, field.userMissing);
    } else if (key == "printFormat") {
      field.printFormat = readFormat(in, member, key);
    } else if (key == "writeFormat") {
      field.writeFormat = readFormat(in, member, key);
    } else if (key == "attribute") {
      field.attribute = in.integer(member, key, 0, 255);
    } else if (key == "proximities") {
      if (!member.is_boolean()) in.fail("\"proximities\" must be true or false");
      if (member.get<bool>()) field.attribute = kProximitiesAttribute;
    }
    // Other Table Schema properties (format, constraints, example, ...) are
    // allowed and have no meaning here.
  }
  return field;
}

void applyUserMissing(const JsonReader& in, const MissingValues& given, Variable& v) {
  if (v.isString()) {
    if (!given.values.empty() || given.range) {
      in.fail("a string variable's user-missing values must be strings, without a range");
    }
    for (const std::string& s : given.strings) {
      if (s.size() > static_cast<std::size_t>(v.width)) {
        in.fail("user-missing value \"" + s + "\" is wider than the variable (" +
                std::to_string(v.width) + ")");
      }
    }
  } else if (!given.strings.empty()) {
    in.fail("a numeric variable's user-missing values must be numbers");
  }
  v.missing = given;
}

void applyField(const JsonReader& in, const FieldSchema& field, const ColumnScan& scan,
                Variable& v) {
  if (field.isString.has_value()) {
    if (!*field.isString && !scan.numeric) {
      in.fail("declared a number, but line " + std::to_string(scan.textLine) + " holds \"" +
              scan.text + "\"");
    }
    v.width = *field.isString ? static_cast<int>(std::max<std::size_t>(scan.longest, 1)) : 0;
  }
  if (field.width) {
    if (!v.isString()) in.fail("\"width\" is for string fields only");
    if (static_cast<std::size_t>(*field.width) < scan.longest) {
      in.fail("width " + std::to_string(*field.width) + " is less than the longest value (" +
              std::to_string(scan.longest) + " bytes)");
    }
    v.width = *field.width;
  }
  if (field.title) {
    v.label = *field.title;
  } else if (field.description) {
    v.label = *field.description;
  }
  if (!field.valueLabels.empty() && v.isString())
    in.fail("value labels are for numeric fields only");
  v.valueLabels = field.valueLabels;
  applyUserMissing(in, field.userMissing, v);
  const Format standard = defaultFormat(v.width);
  v.print = field.printFormat.value_or(standard);
  v.write = field.writeFormat.value_or(standard);
  if (v.print.type == 0) v.print.type = standard.type;
  if (v.write.type == 0) v.write.type = standard.type;
  v.attribute = field.attribute.value_or(0);
}

}  // namespace

std::filesystem::path sidecarPath(const std::filesystem::path& csvPath) {
  std::filesystem::path result = csvPath;
  result.replace_extension(".schema.json");
  return result;
}

TableSchema parseSchema(std::string_view jsonText, const std::string& sidecarName) {
  json document;
  try {
    document = json::parse(jsonText);
  } catch (const json::exception& e) {
    // Not only syntax: a number too large for a double is out_of_range.
    throw DataError(sidecarName + " is not valid JSON: " + e.what() + ".");
  }
  JsonReader in(sidecarName, "");
  if (!document.is_object() || !document.contains("fields") || !document["fields"].is_array()) {
    in.fail("the sidecar must be an object with a \"fields\" list");
  }
  TableSchema schema;
  if (document.contains("missingValues")) {
    schema.missingTexts = in.texts(document["missingValues"], "missingValues");
  }
  std::size_t position = 0;
  for (const json& field : document["fields"]) {
    schema.fields.push_back(readField(sidecarName, field, ++position));
  }
  return schema;
}

TableSchema readSchemaFile(const std::filesystem::path& path) {
  const Activity step("reading the sidecar " + path.string());
  std::ifstream file(path, std::ios::binary);
  if (!file) throw DataError("Cannot open " + path.string() + ".");
  std::ostringstream text;
  text << file.rdbuf();
  return parseSchema(text.str(), path.string());
}

void matchSchemaToHeader(const TableSchema& schema, Layout& layout, const std::string& sidecarName,
                         const std::string& csvName) {
  const auto names = [](const ColumnReading& c, std::string_view name) {
    return sameNameIgnoringCase(c.headerText, name) || sameNameIgnoringCase(c.name, name);
  };
  for (std::size_t k = 0; k < schema.fields.size(); ++k) {
    const std::string& name = schema.fields[k].name;
    // Its own column first: header texts may differ in case alone (x, X).
    if (k < layout.size() && names(layout[k], name)) continue;
    const auto found = std::find_if(layout.begin(), layout.end(),
                                    [&](const ColumnReading& c) { return names(c, name); });
    if (found == layout.end()) {
      throw DataError(sidecarName + ": field \"" + name + "\" is not a column of " + csvName + ".");
    }
    const auto column = static_cast<std::size_t>(found - layout.begin());
    if (column != k) {
      throw DataError(sidecarName + ": field \"" + name + "\" is field " + std::to_string(k + 1) +
                      " but column " + std::to_string(column + 1) + " of " + csvName +
                      "; list the fields in the order of the columns.");
    }
  }
  if (schema.fields.size() != layout.size()) {
    throw DataError(sidecarName + " describes " +
                    countOf(static_cast<std::int64_t>(schema.fields.size()), "field", "fields") +
                    " but " + csvName + " has " +
                    countOf(static_cast<std::int64_t>(layout.size()), "column", "columns") +
                    " (column " + std::to_string(schema.fields.size() + 1) + " is \"" +
                    layout[schema.fields.size()].name + "\").");
  }
  for (std::size_t k = 0; k < layout.size(); ++k) {
    if (schema.fields[k].missingTexts) layout[k].setMissingTexts(*schema.fields[k].missingTexts);
  }
}

void applySchema(const TableSchema& schema, const std::vector<ColumnScan>& scans,
                 Dictionary& dictionary, const std::string& sidecarName) {
  for (std::size_t k = 0; k < schema.fields.size(); ++k) {
    const JsonReader in(sidecarName, "field \"" + schema.fields[k].name + "\": ");
    applyField(in, schema.fields[k], scans[k], dictionary.variables()[k]);
  }
}

std::string schemaText(const Dictionary& dictionary) {
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  for (const Variable& v : dictionary.variables()) {
    nlohmann::ordered_json field;
    field["name"] = v.name;
    field["type"] = v.isString() ? "string" : "number";
    if (v.isString()) field["width"] = v.width;
    if (!v.label.empty()) field["title"] = v.label;
    if (!v.valueLabels.empty()) {
      nlohmann::ordered_json labels = nlohmann::ordered_json::object();
      for (const auto& [value, label] : v.valueLabels) labels[formatNumber(value)] = label;
      field["valueLabels"] = labels;
    }
    if (!v.missing.empty()) {
      nlohmann::ordered_json missing = nlohmann::ordered_json::object();
      if (v.isString()) {
        missing["values"] = v.missing.strings;
      } else {
        if (!v.missing.values.empty()) missing["values"] = v.missing.values;
        if (v.missing.range) missing["range"] = {v.missing.range->first, v.missing.range->second};
      }
      field["userMissing"] = missing;
    }
    const Format standard = defaultFormat(v.width);
    for (const auto& [key, format] :
         {std::pair{"printFormat", v.print}, {"writeFormat", v.write}}) {
      if (format.encode() == standard.encode()) continue;
      nlohmann::ordered_json written;
      if (format.type != standard.type) written["type"] = format.type;
      written["width"] = format.width;
      written["decimals"] = format.decimals;
      field[key] = written;
    }
    if (v.attribute == kProximitiesAttribute) {
      field["proximities"] = true;
    } else if (v.attribute != 0) {
      field["attribute"] = v.attribute;
    }
    fields.push_back(field);
  }
  nlohmann::ordered_json document;
  document["fields"] = fields;
  document["missingValues"] = {""};
  return document.dump(2) + "\n";
}

}  // namespace engine::data

// What the matrix-file tests share: a folder of their own for the files, a
// run of commands in an engine of its own with JSON output, and the printed
// proximity tables and messages taken out of that output with every value
// at full precision.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "proc/prox.h"
#include "tests/unit/support/test_host.h"

namespace matrix_test {

// A proximity matrix as the output showed it.
struct ShownTable {
  std::string title;  // the group (with split files) or "Proximity Matrix"
  std::string measure;
  std::string footnote;
  std::vector<std::string> columns;
  std::vector<std::string> rows;
  std::vector<std::optional<double>> values;  // row by row; nullopt: missing
  std::vector<std::string> formats;           // each cell's number format, row by row
  std::vector<std::string> texts;             // each cell as shown ("." when missing)
};

// What one run of commands showed.
struct Shown {
  std::vector<ShownTable> tables;
  std::vector<std::string> messages;  // "error: text", "warning: text", "note: text"
  bool hasMessage(std::string_view part) const {
    for (const std::string& m : messages) {
      if (m.find(part) != std::string::npos) return true;
    }
    return false;
  }
  int countMessages(std::string_view part) const {
    int count = 0;
    for (const std::string& m : messages) count += m.find(part) != std::string::npos ? 1 : 0;
    return count;
  }
  bool anyError() const {
    for (const std::string& m : messages) {
      if (m.rfind("error:", 0) == 0) return true;
    }
    return false;
  }
};

inline std::vector<std::string> categoryTexts(const nlohmann::json& dimension) {
  std::vector<std::string> texts;
  for (const auto& c : dimension["categories"]) texts.push_back(c["text"].get<std::string>());
  return texts;
}

inline ShownTable tableOf(const nlohmann::json& t) {
  ShownTable shown;
  shown.title = t["title"].get<std::string>();
  const auto& dims = t["dimensions"];
  shown.columns = categoryTexts(dims[0]);
  shown.measure = categoryTexts(dims[1]).at(0);
  shown.rows = categoryTexts(dims[2]);
  if (!t["footnotes"].empty()) shown.footnote = t["footnotes"][0]["text"].get<std::string>();
  const std::size_t cells = shown.columns.size() * shown.rows.size();
  shown.values.assign(cells, std::nullopt);
  shown.formats.assign(cells, "");
  shown.texts.assign(cells, "");
  for (const auto& cell : t["cells"]) {
    const std::size_t column = cell["position"][0].get<std::size_t>();
    const std::size_t row = cell["position"][2].get<std::size_t>();
    const std::size_t at = row * shown.columns.size() + column;
    if (!cell["value"].is_null()) shown.values.at(at) = cell["value"].get<double>();
    shown.formats.at(at) = cell.value("format", "");
    shown.texts.at(at) = cell.value("text", "");
  }
  return shown;
}

inline void collect(const nlohmann::json& items, Shown& shown) {
  for (const auto& item : items) {
    const std::string type = item["type"].get<std::string>();
    if (type == "table" && item["name"] == "Proximity Matrix")
      shown.tables.push_back(tableOf(item));
    if (type == "message") {
      shown.messages.push_back(item["severity"].get<std::string>() + ": " +
                               item["text"].get<std::string>());
    }
    if (item.contains("items")) collect(item["items"], shown);
  }
}

// Runs commands in an engine of their own (a fresh session: the working data
// and settings of the tests' shared engine come back afterwards).
inline Shown run(const std::string& commands) {
  testing_host::attach();
  std::ostringstream out;
  {
    engine::EngineOptions options;
    options.format = engine::OutputFormat::Json;
    options.workspaceBytes = 64LL << 20;
    options.out = &out;
    engine::Engine engine(options);
    engine.registerProcedure("PROXIMITIES", 4, &PROX);
    engine.run(commands, "test.prox");
  }
  Shown shown;
  collect(nlohmann::json::parse(out.str())["items"], shown);
  return shown;
}

// Bit patterns, so that -0.0 and 0.0 differ and equal means identical.
inline std::vector<std::optional<std::uint64_t>> bitsOf(const ShownTable& t) {
  std::vector<std::optional<std::uint64_t>> bits;
  for (const auto& v : t.values) {
    if (!v) {
      bits.emplace_back();
      continue;
    }
    std::uint64_t b = 0;
    std::memcpy(&b, &*v, sizeof b);
    bits.emplace_back(b);
  }
  return bits;
}

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const std::filesystem::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A fixture with a folder of its own, removed at the end.
class MatrixFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              ("prox-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
               std::to_string(getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }
  // The files in the folder, hidden ones included, sorted.
  std::vector<std::string> filesInFolder() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder_;
};

}  // namespace matrix_test

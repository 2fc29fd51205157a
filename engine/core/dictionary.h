// The working data's dictionary: its variables, in order, with what the
// procedures may ask of them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// User-missing values of one variable: discrete values and at most one range
// (numeric), or discrete values (string).
struct MissingValues {
  std::vector<double> values;
  std::optional<std::pair<double, double>> range;  // inclusive low, high
  std::vector<std::string> strings;                // for string variables
  bool empty() const { return values.empty() && !range && strings.empty(); }
  bool isMissing(double value) const;
  bool isMissing(std::string_view value) const;  // trailing blanks ignored
};

// A print or write format: type 5 is the general numeric format; width and
// decimals as given. Encoded into one word by encode().
struct Format {
  int type = 5;
  int width = 8;
  int decimals = 2;
  std::int64_t encode() const { return type * 65536 + width * 256 + decimals; }
  static Format decode(std::int64_t code) {
    return {static_cast<int>(code / 65536), static_cast<int>(code / 256 % 256),
            static_cast<int>(code % 256)};
  }
};

struct Variable {
  std::string name;   // up to 64 characters, as given (case kept)
  int width = 0;      // 0: numeric; otherwise the string width in characters
  std::string label;  // variable label, may be empty
  std::map<double, std::string> valueLabels;
  MissingValues missing;
  Format print;
  Format write;
  int attribute = 0;  // measurement attribute, kept for matrix files
  bool isString() const { return width > 0; }
};

class Dictionary {
 public:
  const std::vector<Variable>& variables() const { return vars_; }
  std::vector<Variable>& variables() { return vars_; }
  std::size_t size() const { return vars_.size(); }
  // 1-based index of a variable; names match case-insensitively. 0: none.
  std::int64_t find(std::string_view name) const;
  const Variable& at(std::int64_t index) const { return vars_.at(index - 1); }
  Variable& at(std::int64_t index) { return vars_.at(index - 1); }
  void add(Variable v) { vars_.push_back(std::move(v)); }

 private:
  std::vector<Variable> vars_;
};

}  // namespace engine

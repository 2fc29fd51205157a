// A dataset: a dictionary and a way to read its cases, pass after pass, one
// case at a time, so that a pass never holds all cases at once (a dataset
// loaded from a file reads its parsed copy block by block).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/dictionary.h"

namespace engine {

// One case: a value per variable in dictionary order. Numeric values use the
// system-missing value for empty fields; string values are blank-padded to
// their variable's width.
struct Case {
  std::vector<double> values;        // numeric value, or 0 for a string variable
  std::vector<std::string> strings;  // string value, or empty for a numeric variable
};

// Reads the cases of one pass in order.
class CaseCursor {
 public:
  virtual ~CaseCursor() = default;
  // Fills the case and returns true, or returns false at the end of the data.
  // A malformed record is reported by throwing DataError.
  virtual bool next(Case& c) = 0;
};

struct DataError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Dataset {
 public:
  virtual ~Dataset() = default;
  Dictionary dictionary;
  virtual std::unique_ptr<CaseCursor> open() const = 0;  // a new pass
  virtual std::string source() const = 0;                // file name or "inline data"
};

}  // namespace engine

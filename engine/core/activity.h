// What the engine is doing during a step that may need much memory (loading
// a file, reading a sidecar, reading or writing a matrix file), so that the
// message for memory running out can say so: "Insufficient memory while
// reading the sidecar x.schema.json; the command LOAD was abandoned."
#pragma once

#include <cstddef>
#include <string>

namespace engine {

// Marks a step for as long as it lives. Steps nest; the innermost one an
// exception leaves is the one remembered.
class Activity {
 public:
  explicit Activity(std::string what);  // "loading cars.csv"
  ~Activity();
  Activity(const Activity&) = delete;
  Activity& operator=(const Activity&) = delete;

  // The step an exception last left (empty: none), forgotten once taken.
  static std::string takeAbandoned();

 private:
  int exceptionsBefore_;
};

}  // namespace engine

// A dataset whose cases are held in memory: the matrix that MATRIX=OUT(*)
// makes the working data.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/dataset.h"

namespace engine::data {

class MemoryDataset : public Dataset {
 public:
  // String values of the cases must be blank-padded to their variable's width.
  MemoryDataset(Dictionary variables, std::vector<Case> cases, std::string source)
      : cases_(std::make_shared<const std::vector<Case>>(std::move(cases))),
        source_(std::move(source)) {
    dictionary = std::move(variables);
  }

  std::unique_ptr<CaseCursor> open() const override { return std::make_unique<Cursor>(cases_); }
  std::string source() const override { return source_; }
  std::size_t caseCount() const { return cases_->size(); }

 private:
  // A pass holds the cases it reads, so it outlives a change of working data.
  class Cursor : public CaseCursor {
   public:
    explicit Cursor(std::shared_ptr<const std::vector<Case>> cases) : cases_(std::move(cases)) {}
    bool next(Case& c) override {
      if (position_ >= cases_->size()) return false;
      c = (*cases_)[position_++];
      return true;
    }

   private:
    std::shared_ptr<const std::vector<Case>> cases_;
    std::size_t position_ = 0;
  };

  std::shared_ptr<const std::vector<Case>> cases_;
  std::string source_;
};

}  // namespace engine::data

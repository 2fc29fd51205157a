#include <algorithm>

#include "engine/output/document.h"

namespace engine::output {

std::vector<int> Dimension::groupPath(int category) const {
  std::vector<int> path;
  for (int g = categories[static_cast<std::size_t>(category)].group; g >= 0;
       g = groups[static_cast<std::size_t>(g)].parent) {
    path.push_back(g);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

int Dimension::depth() const {
  int deepest = 0;
  for (const CategoryGroup& g : groups) {
    int d = 1;
    for (int p = g.parent; p >= 0; p = groups[static_cast<std::size_t>(p)].parent) ++d;
    deepest = std::max(deepest, d);
  }
  return deepest + 1;
}

PivotTable::PivotTable(std::string name, std::string title)
    : name_(std::move(name)), title_(std::move(title)) {}

int PivotTable::dimension(std::string_view name) {
  for (std::size_t i = 0; i < dimensions_.size(); ++i) {
    if (dimensions_[i].name == name) return static_cast<int>(i);
  }
  if (dimensions_.size() == kMaxDimensions) return -1;
  Dimension d;
  d.name = std::string(name);
  dimensions_.push_back(std::move(d));
  return static_cast<int>(dimensions_.size() - 1);
}

void PivotTable::place(int dim, Axis axis, int level) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  d.axis = axis;
  d.level = level;
  d.positioned = true;
}

int PivotTable::addCategory(int dim, Content label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  Category c;
  c.group = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  const int index = static_cast<int>(d.categories.size());
  d.byLabel_.try_emplace(label.text, index);
  c.label = std::move(label);
  d.categories.push_back(std::move(c));
  return index;
}

// Declaring a label a second time in the same group makes the existing
// category current again instead of adding a duplicate row or column.
void PivotTable::declareCategory(int dim, Content label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  const int group = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  const auto found = d.byLabel_.find(label.text);
  int index = -1;
  if (found != d.byLabel_.end() &&
      d.categories[static_cast<std::size_t>(found->second)].group == group) {
    index = found->second;
  } else {
    index = addCategory(dim, std::move(label));
  }
  d.current = index;
  lastCategoryDim_ = dim;
  lastCategory_ = index;
}

void PivotTable::beginGroup(int dim, std::string label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  CategoryGroup g;
  g.label = std::move(label);
  g.parent = d.openGroups_.empty() ? -1 : d.openGroups_.back();
  d.groups.push_back(std::move(g));
  d.openGroups_.push_back(static_cast<int>(d.groups.size() - 1));
}

void PivotTable::endGroup(int dim) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  if (!d.openGroups_.empty()) d.openGroups_.pop_back();
}

// The current category wins over an earlier one with the same text, so that a
// label repeated in two groups finds the one just declared.
int PivotTable::categoryForCell(int dim, const Content& label) {
  Dimension& d = dimensions_[static_cast<std::size_t>(dim)];
  if (d.current >= 0 &&
      d.categories[static_cast<std::size_t>(d.current)].label.text == label.text) {
    return d.current;
  }
  const auto found = d.byLabel_.find(label.text);
  if (found != d.byLabel_.end()) return found->second;
  return addCategory(dim, label);
}

void PivotTable::placeCell(const Content& cell, const Content& category) {
  if (cellDimension_ < 0) {
    // Without a declared cell dimension the cells go across the columns.
    cellDimension_ = dimension("Statistics");
    if (cellDimension_ < 0) return;
    if (!dimensions_[static_cast<std::size_t>(cellDimension_)].positioned) {
      place(cellDimension_, Axis::Columns, 1);
    }
  }
  Cell c;
  c.position.fill(-1);
  for (std::size_t d = 0; d < dimensions_.size(); ++d) {
    c.position[d] = static_cast<int>(d) == cellDimension_
                        ? categoryForCell(cellDimension_, category)
                        : dimensions_[d].current;
  }
  c.kind = cell.kind;
  c.format = cell.format;
  c.integer = cell.integer;
  c.missing = cell.missing;
  c.value = cell.value;
  if (cell.kind != Content::Kind::Number) {
    c.textIndex = static_cast<std::uint32_t>(texts_.size());
    texts_.push_back(cell);
  }
  cells_.push_back(c);
}

Content PivotTable::cellContent(std::size_t index) const {
  const Cell& c = cells_[index];
  if (c.kind != Content::Kind::Number) return texts_[c.textIndex];
  Content content = Content::number(c.value, c.format, c.missing);
  if (c.integer) {
    content = Content::integerNumber(static_cast<std::int64_t>(c.value), c.format);
  }
  return content;
}

int PivotTable::findOrAddFootnote(std::string_view text) {
  for (std::size_t i = 0; i < footnotes_.size(); ++i) {
    if (footnotes_[i] == text) return static_cast<int>(i);
  }
  footnotes_.emplace_back(text);
  return static_cast<int>(footnotes_.size() - 1);
}

namespace {
void addMarker(std::vector<int>& markers, int footnote) {
  if (std::find(markers.begin(), markers.end(), footnote) == markers.end()) {
    markers.push_back(footnote);
  }
}
}  // namespace

void PivotTable::annotate(Target target, std::string_view footnote) {
  const int index = findOrAddFootnote(footnote);
  if (target == Target::LastCategory && lastCategory_ >= 0) {
    Dimension& d = dimensions_[static_cast<std::size_t>(lastCategoryDim_)];
    addMarker(d.categories[static_cast<std::size_t>(lastCategory_)].footnotes, index);
  } else if (target == Target::LastCell && !cells_.empty()) {
    addMarker(cellFootnotes_[cells_.size() - 1], index);
  } else if (target == Target::Title) {
    addMarker(titleFootnotes_, index);
  } else {
    addMarker(tableFootnotes_, index);
  }
}

const std::vector<int>& PivotTable::cellFootnotes(std::size_t index) const {
  static const std::vector<int> kNone;
  const auto found = cellFootnotes_.find(index);
  return found == cellFootnotes_.end() ? kNone : found->second;
}

std::string footnoteMarker(int index) {
  std::string marker;
  for (int n = index + 1; n > 0; n = (n - 1) / 26) {
    marker.insert(marker.begin(), static_cast<char>('a' + (n - 1) % 26));
  }
  return marker;
}

std::vector<int> PivotTable::titleMarkers() const {
  std::vector<int> markers = titleFootnotes_;
  for (const int f : tableFootnotes_) {
    if (std::find(markers.begin(), markers.end(), f) == markers.end()) markers.push_back(f);
  }
  return markers;
}

}  // namespace engine::output

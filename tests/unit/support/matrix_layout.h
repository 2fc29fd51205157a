// The layout of a "Proximity Matrix" as the procedure builds it, for tests
// of the output side: items across under the measure's label, items down,
// and the footnote that says what the values are.
#pragma once

#include <string>

#include "engine/output/document.h"

namespace testing_output {

struct MatrixDimensions {
  int across;
  int measure;
  int down;
};

inline MatrixDimensions layOutMatrix(engine::output::PivotTable& t, const std::string& footnote) {
  using engine::output::Axis;
  using engine::output::Content;
  using engine::output::PivotTable;
  MatrixDimensions d{};
  d.across = t.dimension("Case2");
  t.setCellDimension(d.across);
  t.place(d.across, Axis::Columns, 1);
  d.measure = t.dimension("Measure");
  t.place(d.measure, Axis::Columns, 2);
  d.down = t.dimension("Case");
  t.place(d.down, Axis::Rows, 1);
  t.declareCategory(d.measure, Content::plain("Euclidean Distance"));
  t.annotate(PivotTable::Target::Table, footnote);
  return d;
}

}  // namespace testing_output

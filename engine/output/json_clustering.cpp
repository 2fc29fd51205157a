#include "engine/output/json_clustering.h"

#include <cmath>
#include <limits>
#include <utility>

#include "engine/core/shortest_number.h"

namespace engine::output {

namespace {

// The table's rows one at a time, NaN where missing: the square itself is
// never held, only the half the clustering keeps.
std::vector<double> dissimilaritiesOf(const PivotTable& table, std::size_t n, bool similarities) {
  ClusteringDissimilarities d(n);
  MatrixRows rows(table);
  std::vector<double> values(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::optional<double>>& row = rows.next();
    for (std::size_t j = 0; j < n; ++j) {
      values[j] = j < row.size() && row[j] ? *row[j] : std::numeric_limits<double>::quiet_NaN();
    }
    d.addRow(values);
  }
  return std::move(d).finish(similarities);
}

void writeOrder(std::ostream& out, const std::vector<std::size_t>& order) {
  out << '[';
  for (std::size_t k = 0; k < order.size(); ++k) out << (k > 0 ? "," : "") << order[k];
  out << ']';
}

void writeMerges(std::ostream& out, const std::vector<Merge>& merges) {
  out << '[';
  for (std::size_t k = 0; k < merges.size(); ++k) {
    const Merge& m = merges[k];
    out << (k > 0 ? ",\n[" : "\n[") << m.left << ',' << m.right << ',' << shortestNumber(m.height)
        << ',' << m.size << ']';
  }
  out << ']';
}

}  // namespace

std::vector<Merge> scipyLayout(std::span<const Merge> merges) {
  std::vector<Merge> laid(merges.begin(), merges.end());
  for (Merge& m : laid) {
    if (m.right < m.left) std::swap(m.left, m.right);
  }
  return laid;
}

void writeMatrixClustering(std::ostream& out, const PivotTable& table, const MatrixTable& m) {
  const std::size_t n = m.size();
  out << ",\"clustering\":";
  if (n > kClusteringMaxItems) {
    out << "null";
    return;
  }
  // With the smaller number first, the order below is the leaves of SciPy's
  // dendrogram() drawn from these merges.
  const std::vector<Merge> merges =
      scipyLayout(averageLinkage(n, dissimilaritiesOf(table, n, m.similarity)));
  out << "{\"method\":\"average\",\"heights\":\""
      << (m.similarity ? "largest similarity minus similarity" : "dissimilarity")
      << "\",\"order\":";
  writeOrder(out, leafOrder(n, merges));
  out << ",\"merges\":";
  writeMerges(out, merges);
  out << '}';
}

}  // namespace engine::output

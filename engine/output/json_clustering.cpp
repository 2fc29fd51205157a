#include "engine/output/json_clustering.h"

#include <cmath>
#include <limits>
#include <utility>

#include "engine/core/shortest_number.h"

namespace engine::output {

namespace {

// The whole square, NaN where missing: the clustering reads (i, j) and (j, i).
std::vector<double> squareValues(const PivotTable& table, std::size_t n) {
  std::vector<double> values(n * n, std::numeric_limits<double>::quiet_NaN());
  MatrixRows rows(table);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::optional<double>>& row = rows.next();
    for (std::size_t j = 0; j < n && j < row.size(); ++j) {
      if (row[j]) values[i * n + j] = *row[j];
    }
  }
  return values;
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
  const std::vector<double> values = squareValues(table, n);
  const std::vector<double> dissimilarities = clusteringDissimilarities(
      n, [&](std::size_t i, std::size_t j) { return values[i * n + j]; }, m.similarity);
  // With the smaller number first, the order below is the leaves of SciPy's
  // dendrogram() drawn from these merges.
  const std::vector<Merge> merges = scipyLayout(averageLinkage(n, dissimilarities));
  out << "{\"method\":\"average\",\"heights\":\""
      << (m.similarity ? "largest similarity minus similarity" : "dissimilarity")
      << "\",\"order\":";
  writeOrder(out, leafOrder(n, merges));
  out << ",\"merges\":";
  writeMerges(out, merges);
  out << '}';
}

}  // namespace engine::output

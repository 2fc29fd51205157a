// Average-linkage (UPGMA) hierarchical clustering of the items of a proximity
// matrix, for the heatmap's clustered order: alike items end up next to each
// other, so groups show as blocks along the diagonal.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace engine::output {

// One merge of the dendrogram. Clusters 0 .. n-1 are the items; the k-th
// merge (0-based) makes cluster n + k. `left` is the child holding the item
// that comes first in the items' own order.
struct Merge {
  std::size_t left = 0;
  std::size_t right = 0;
  double height = 0.0;   // average dissimilarity between the two children
  std::size_t size = 0;  // items in the merged cluster
};

// Condensed dissimilarities: for i < j, pair (i, j) at n*i - i*(i+1)/2 + j-i-1.
std::size_t condensedIndex(std::size_t n, std::size_t i, std::size_t j);

// The merges in the order of their heights (equal heights in the order found).
// Every dissimilarity must be a finite number. O(n^2) time; the linkage
// works in the dissimilarities it is given (move them in: a copy would double
// the memory) and needs little more.
std::vector<Merge> averageLinkage(std::size_t n, std::vector<double> dissimilarities);

// The items in the order of the dendrogram's leaves, left child first.
std::vector<std::size_t> leafOrder(std::size_t n, std::span<const Merge> merges);

// Dissimilarities for clustering from a square matrix whose value(i, j) is NaN
// where missing: the mean of (i, j) and (j, i) (one alone if the other is
// missing); similarities s are turned into max(s) - s. A pair with neither
// value gets the largest dissimilarity found, as if the items were unlike.
// The square is taken one row at a time, rows 0 .. n-1 in order, so that a
// caller that has the matrix only as rows needs no more memory than the
// condensed result: half the square.
class ClusteringDissimilarities {
 public:
  explicit ClusteringDissimilarities(std::size_t n);
  void addRow(std::span<const double> row);  // n values; NaN or infinite where missing
  std::vector<double> finish(bool similarities) &&;

 private:
  std::size_t n_;
  std::size_t rowsAdded_ = 0;
  std::vector<double> d_;
};

// The same, from a square matrix read by value(i, j).
std::vector<double> clusteringDissimilarities(
    std::size_t n, const std::function<double(std::size_t, std::size_t)>& value, bool similarities);

// leafOrder(averageLinkage(clusteringDissimilarities(...))).
std::vector<std::size_t> clusteredOrder(
    std::size_t n, const std::function<double(std::size_t, std::size_t)>& value, bool similarities);

}  // namespace engine::output

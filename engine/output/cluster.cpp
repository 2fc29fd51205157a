#include "engine/output/cluster.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace engine::output {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// A merge as the chain finds it: two live slots (each slot stands for the
// cluster last merged into it).
struct SlotMerge {
  std::size_t a;
  std::size_t b;
  double height;
};

class Linkage {
 public:
  Linkage(std::size_t n, std::vector<double> d)
      : n_(n), d_(std::move(d)), size_(n, 1), active_(n, true) {}

  // The nearest-neighbour chain: follow nearest neighbours until two clusters
  // are each other's nearest, merge them, and go on from what is left of the
  // chain. Average linkage never brings a merged cluster nearer to a third
  // than its parts were, so the merges are those of the plain algorithm.
  std::vector<SlotMerge> run() {
    std::vector<SlotMerge> merges;
    std::vector<std::size_t> chain;
    for (std::size_t remaining = n_; remaining > 1; --remaining) {
      if (chain.empty()) chain.push_back(firstActive());
      double height = 0.0;
      for (;;) {
        const std::size_t x = chain.back();
        const std::size_t previous = chain.size() >= 2 ? chain[chain.size() - 2] : kNone;
        const auto [y, distance] = nearest(x, previous);
        height = distance;
        if (y == previous) break;
        chain.push_back(y);
      }
      const std::size_t x = chain.back();
      chain.pop_back();
      const std::size_t y = chain.back();
      chain.pop_back();
      merge(x, y);
      merges.push_back({x, y, height});
    }
    return merges;
  }

 private:
  double& at(std::size_t i, std::size_t j) { return d_[condensedIndex(n_, i, j)]; }

  std::size_t firstActive() const {
    return static_cast<std::size_t>(std::find(active_.begin(), active_.end(), true) -
                                    active_.begin());
  }

  // The nearest active cluster; the previous link of the chain wins a tie so
  // that the chain cannot cycle.
  std::pair<std::size_t, double> nearest(std::size_t x, std::size_t previous) {
    std::size_t best = previous;
    double bestDistance =
        previous == kNone ? std::numeric_limits<double>::infinity() : at(x, previous);
    for (std::size_t k = 0; k < n_; ++k) {
      if (k == x || !active_[k]) continue;
      const double distance = at(x, k);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = k;
      }
    }
    return {best, bestDistance};
  }

  // Slot y becomes the union; its distance to each other cluster is the
  // size-weighted mean of the two children's.
  void merge(std::size_t x, std::size_t y) {
    const double sx = static_cast<double>(size_[x]);
    const double sy = static_cast<double>(size_[y]);
    for (std::size_t k = 0; k < n_; ++k) {
      if (k == x || k == y || !active_[k]) continue;
      at(y, k) = (sx * at(x, k) + sy * at(y, k)) / (sx + sy);
    }
    size_[y] += size_[x];
    active_[x] = false;
  }

  std::size_t n_;
  std::vector<double> d_;
  std::vector<std::size_t> size_;
  std::vector<bool> active_;
};

std::size_t findRoot(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) {
    parent[i] = parent[parent[i]];
    i = parent[i];
  }
  return i;
}

}  // namespace

std::size_t condensedIndex(std::size_t n, std::size_t i, std::size_t j) {
  if (i > j) std::swap(i, j);
  return n * i - i * (i + 1) / 2 + (j - i - 1);
}

std::vector<Merge> averageLinkage(std::size_t n, std::vector<double> dissimilarities) {
  if (n < 2) return {};
  std::vector<SlotMerge> found = Linkage(n, std::move(dissimilarities)).run();
  std::stable_sort(found.begin(), found.end(),
                   [](const SlotMerge& a, const SlotMerge& b) { return a.height < b.height; });
  // Name the clusters in height order: item sets are tracked by union-find,
  // each root remembering its cluster number and its first item.
  std::vector<std::size_t> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  std::vector<std::size_t> cluster(parent);
  std::vector<std::size_t> firstItem(parent);
  std::vector<std::size_t> size(n, 1);
  std::vector<Merge> merges;
  merges.reserve(n - 1);
  for (const SlotMerge& m : found) {
    std::size_t a = findRoot(parent, m.a);
    std::size_t b = findRoot(parent, m.b);
    if (firstItem[b] < firstItem[a]) std::swap(a, b);
    merges.push_back({cluster[a], cluster[b], m.height, size[a] + size[b]});
    parent[b] = a;
    size[a] += size[b];
    cluster[a] = n + merges.size() - 1;
  }
  return merges;
}

std::vector<std::size_t> leafOrder(std::size_t n, std::span<const Merge> merges) {
  std::vector<std::size_t> order;
  if (n == 0) return order;
  if (merges.size() + 1 != n) {  // not a full tree: keep the own order
    order.resize(n);
    std::iota(order.begin(), order.end(), 0);
    return order;
  }
  order.reserve(n);
  std::vector<std::size_t> stack{n == 1 ? 0 : 2 * n - 2};
  while (!stack.empty()) {
    const std::size_t c = stack.back();
    stack.pop_back();
    if (c < n) {
      order.push_back(c);
      continue;
    }
    stack.push_back(merges[c - n].right);
    stack.push_back(merges[c - n].left);
  }
  return order;
}

ClusteringDissimilarities::ClusteringDissimilarities(std::size_t n)
    : n_(n), d_(n < 2 ? 0 : n * (n - 1) / 2, std::nan("")) {}

// Row i holds (i, j) for j > i, stored until row j brings (j, i); and
// (i, j) for j < i, the other side of a pair already stored.
void ClusteringDissimilarities::addRow(std::span<const double> row) {
  const std::size_t i = rowsAdded_++;
  for (std::size_t j = 0; j < i; ++j) {
    double& v = d_[condensedIndex(n_, j, i)];
    const double b = row[j];
    if (!std::isfinite(b)) continue;
    v = std::isnan(v) ? b : (v + b) / 2.0;
  }
  for (std::size_t j = i + 1; j < n_; ++j) {
    d_[condensedIndex(n_, i, j)] = std::isfinite(row[j]) ? row[j] : std::nan("");
  }
}

std::vector<double> ClusteringDissimilarities::finish(bool similarities) && {
  double largest = -std::numeric_limits<double>::infinity();
  for (const double v : d_) {
    if (!std::isnan(v)) largest = std::max(largest, v);
  }
  if (similarities) {
    // Larger similarity, smaller dissimilarity: the most alike pair gets 0.
    for (double& v : d_) {
      if (!std::isnan(v)) v = largest - v;
    }
    double reversedLargest = 0.0;
    for (const double v : d_) {
      if (!std::isnan(v)) reversedLargest = std::max(reversedLargest, v);
    }
    largest = reversedLargest;
  }
  if (!std::isfinite(largest)) largest = 0.0;
  for (double& v : d_) {
    if (std::isnan(v)) v = largest;
  }
  return std::move(d_);
}

std::vector<double> clusteringDissimilarities(
    std::size_t n, const std::function<double(std::size_t, std::size_t)>& value,
    bool similarities) {
  ClusteringDissimilarities d(n);
  std::vector<double> row(n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) row[j] = value(i, j);
    d.addRow(row);
  }
  return std::move(d).finish(similarities);
}

std::vector<std::size_t> clusteredOrder(
    std::size_t n, const std::function<double(std::size_t, std::size_t)>& value,
    bool similarities) {
  const std::vector<Merge> merges =
      averageLinkage(n, clusteringDissimilarities(n, value, similarities));
  return leafOrder(n, merges);
}

}  // namespace engine::output

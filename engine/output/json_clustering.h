// The "clustering" member of the JSON matrix object: the average-linkage tree
// of the matrix's items, in the layout that SciPy's hierarchy functions take.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <vector>

#include "engine/output/cluster.h"
#include "engine/output/matrix_table.h"

namespace engine::output {

// Above this many items the clustering is left out (null): it needs the whole
// matrix in memory, as the heatmap does, which has the same limit.
inline constexpr std::size_t kClusteringMaxItems = 4000;

// The merges as SciPy lays them out: the smaller cluster number first.
std::vector<Merge> scipyLayout(std::span<const Merge> merges);

// Writes ,"clustering":{...} (or ,"clustering":null) for the matrix of table.
void writeMatrixClustering(std::ostream& out, const PivotTable& table, const MatrixTable& m);

}  // namespace engine::output

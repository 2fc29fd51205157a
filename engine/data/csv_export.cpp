#include "engine/data/csv_export.h"

#include <string>
#include <vector>

#include "engine/core/ordered_writer.h"
#include "engine/data/csv_writer.h"
#include "engine/data/schema.h"

namespace engine::data {

std::int64_t exportDataset(const Dataset& dataset, const std::filesystem::path& path) {
  const Dictionary& dictionary = dataset.dictionary;
  TemporaryFile csv(path);
  std::ofstream& out = csv.stream();
  writeHeader(out, dictionary);
  // Cases a block at a time, formatted on the worker threads while the next
  // block is read, and written in order. The two blocks are used in turn and
  // reused, so their cases keep their storage.
  std::vector<Case> blocks[2];
  OrderedWriter writer(out);
  const std::size_t blockRows = writer.blockRows(dictionary.size());
  std::int64_t count = 0;
  const auto cursor = dataset.open();
  for (std::size_t b = 0; out; b = 1 - b) {
    std::vector<Case>& block = blocks[b];
    block.resize(blockRows);
    std::size_t filled = 0;
    while (filled < blockRows && cursor->next(block[filled])) ++filled;
    if (filled == 0) break;
    writer.write(filled, [&dictionary, &block](std::size_t k, std::string& text) {
      appendCase(text, dictionary, block[k]);
    });
    count += static_cast<std::int64_t>(filled);
    if (filled < blockRows) break;
  }
  writer.finish();
  csv.close();

  TemporaryFile sidecar(sidecarPath(path));
  sidecar.stream() << schemaText(dictionary);
  sidecar.close();
  sidecar.commit();
  csv.commit();
  return count;
}

}  // namespace engine::data

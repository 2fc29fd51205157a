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
  // Cases a block at a time, formatted on the worker threads and written in
  // order; the block is reused, so its cases keep their storage.
  OrderedWriter writer(out);
  std::vector<Case> block(writer.blockRows(dictionary.size()));
  std::int64_t count = 0;
  const auto cursor = dataset.open();
  for (bool more = true; more && out;) {
    std::size_t filled = 0;
    while (filled < block.size() && (more = cursor->next(block[filled]))) ++filled;
    writer.write(filled,
                 [&](std::size_t k, std::string& text) { appendCase(text, dictionary, block[k]); });
    count += static_cast<std::int64_t>(filled);
  }
  csv.close();

  TemporaryFile sidecar(sidecarPath(path));
  sidecar.stream() << schemaText(dictionary);
  sidecar.close();
  sidecar.commit();
  csv.commit();
  return count;
}

}  // namespace engine::data

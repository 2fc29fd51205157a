#include "engine/data/csv_export.h"

#include "engine/data/csv_writer.h"
#include "engine/data/schema.h"

namespace engine::data {

std::int64_t exportDataset(const Dataset& dataset, const std::filesystem::path& path) {
  const Dictionary& dictionary = dataset.dictionary;
  TemporaryFile csv(path);
  std::ofstream& out = csv.stream();
  writeHeader(out, dictionary);
  std::int64_t count = 0;
  const auto cursor = dataset.open();
  Case c;
  while (cursor->next(c)) {
    writeCase(out, dictionary, c);
    ++count;
    if (!out) break;
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

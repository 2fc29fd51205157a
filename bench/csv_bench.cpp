// Micro-benchmarks of reading CSV files: the load-time scan (header, types)
// and one pass over the cases, on a file of numbers written the way NumPy's
// savetxt and pandas write them. Run by hand: build/bin/bench_csv
// [--benchmark_repetitions=5]. The default comma file is the one to watch:
// reading other dialects must not slow it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/data/csv_dataset.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRows = 200000;
constexpr int kColumns = 20;

// A file of kRows rows of kColumns numbers, written once per process.
fs::path makeFile(const std::string& name, char separator, bool decimalComma, bool someMissing) {
  const fs::path path =
      fs::temp_directory_path() / ("prox_csv_bench_" + std::to_string(getpid()) + name);
  std::ofstream out(path, std::ios::binary);
  for (int k = 0; k < kColumns; ++k) out << (k ? std::string(1, separator) : "") << "v" << k + 1;
  out << '\n';
  std::mt19937_64 random(20261206);
  std::normal_distribution<double> normal;
  char text[32];
  for (int row = 0; row < kRows; ++row) {
    for (int k = 0; k < kColumns; ++k) {
      if (k > 0) out << separator;
      if (someMissing && random() % 50 == 0) {
        out << (random() % 2 ? "NA" : "");
        continue;
      }
      std::snprintf(text, sizeof text, "%.6g", normal(random));
      if (decimalComma) {
        for (char* p = text; *p; ++p) *p = *p == '.' ? ',' : *p;
      }
      out << text;
    }
    out << '\n';
  }
  return path;
}

struct Files {
  fs::path comma = makeFile("comma.csv", ',', false, false);
  fs::path commaMissing = makeFile("missing.csv", ',', false, true);
  fs::path semicolon = makeFile("semicolon.csv", ';', true, false);
  ~Files() {
    for (const fs::path& p : {comma, commaMissing, semicolon}) fs::remove(p);
  }
};

const Files& files() {
  static const Files made;
  return made;
}

engine::data::CsvDialect dialectFor(int file) {
  engine::data::CsvDialect dialect;
  if (file == 2) dialect.decimal = ',';
  return dialect;
}

const fs::path& fileFor(int file) {
  return file == 0 ? files().comma : file == 1 ? files().commaMissing : files().semicolon;
}

void load(benchmark::State& state) {
  const auto file = static_cast<int>(state.range(0));
  files();  // written before the clock starts
  for (auto _ : state) {
    engine::data::FileDataset data(fileFor(file), dialectFor(file));
    benchmark::DoNotOptimize(data.caseCount());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(fs::file_size(fileFor(file))));
}

void pass(benchmark::State& state) {
  const auto file = static_cast<int>(state.range(0));
  const engine::data::FileDataset data(fileFor(file), dialectFor(file));
  engine::Case c;
  for (auto _ : state) {
    auto cursor = data.open();
    double sum = 0;
    while (cursor->next(c)) sum += c.values[0];
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(fs::file_size(fileFor(file))));
}

// 0: comma-separated numbers; 1: the same with empty fields and NA; 2:
// semicolons and decimal commas.
BENCHMARK(load)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(pass)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();

// Number text both ways, one value at a time: readNumber (std::from_chars
// inside our rules) against it behind the exact 15-digit fast path of
// readDecimalPrefix, as it was before, and against std::from_chars alone,
// on the texts NumPy's savetxt writes (%.6g) and on 17-digit texts; and the
// shortest text of a double with std::to_chars. Run by hand:
// build/bin/bench_numbers.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/core/shortest_number.h"
#include "engine/data/number_text.h"

namespace {

std::vector<std::string> texts(const char* format) {
  std::mt19937_64 random(20261207);
  std::normal_distribution<double> normal;
  std::vector<std::string> out;
  char text[64];
  for (int k = 0; k < 100000; ++k) {
    std::snprintf(text, sizeof text, format, normal(random));
    out.emplace_back(text);
  }
  return out;
}

enum class Reader { readNumber, fastPathFirst, fromChars };

void readWith(benchmark::State& state, const char* format, Reader reader) {
  const std::vector<std::string> all = texts(format);
  for (auto _ : state) {
    double sum = 0;
    for (const std::string& t : all) {
      double value = 0;
      if (reader == Reader::fromChars) {
        std::from_chars(t.data(), t.data() + t.size(), value);
      } else if (reader == Reader::fastPathFirst) {
        if (engine::data::readDecimalPrefix(t, value) != t.size()) {
          engine::data::readNumber(t, value);
        }
      } else {
        engine::data::readNumber(t, value);
      }
      sum += value;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(all.size()));
}

void readShort(benchmark::State& s) { readWith(s, "%.6g", Reader::readNumber); }
void readShortFastPathFirst(benchmark::State& s) { readWith(s, "%.6g", Reader::fastPathFirst); }
void readShortFromChars(benchmark::State& s) { readWith(s, "%.6g", Reader::fromChars); }
void readLong(benchmark::State& s) { readWith(s, "%.17g", Reader::readNumber); }
void readLongFastPathFirst(benchmark::State& s) { readWith(s, "%.17g", Reader::fastPathFirst); }
void readLongFromChars(benchmark::State& s) { readWith(s, "%.17g", Reader::fromChars); }

void writeShortest(benchmark::State& state) {
  std::mt19937_64 random(20261207);
  std::normal_distribution<double> normal;
  std::vector<double> values(100000);
  for (double& v : values) v = normal(random);
  char text[engine::kShortestNumberChars];
  for (auto _ : state) {
    std::size_t length = 0;
    for (double v : values) length += engine::writeShortestNumber(text, v) - text;
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

BENCHMARK(readShort);
BENCHMARK(readShortFastPathFirst);
BENCHMARK(readShortFromChars);
BENCHMARK(readLong);
BENCHMARK(readLongFastPathFirst);
BENCHMARK(readLongFromChars);
BENCHMARK(writeShortest);

}  // namespace

BENCHMARK_MAIN();

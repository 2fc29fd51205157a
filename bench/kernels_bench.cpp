// Micro-benchmarks of the proximity kernels: the per-feature kernels (used
// when features arrive one at a time, VIEW=VARIABLE) against the tiled sweep
// over stored features (VIEW=CASE). Run by hand: build/bin/bench_kernels.
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>
#include <vector>

#include "engine/engine.h"
#include "host/host.h"
#include "measures/binary.h"
#include "measures/family.h"
#include "measures/interval.h"
#include "measures/stored_sweep.h"
#include "measures/triangle.h"

namespace {

// The binary measures ask the host for its system-missing value: an engine
// is attached before any benchmark runs.
const bool kHostAttached = [] {
  static std::ostringstream discarded;
  engine::EngineOptions options;
  options.out = &discarded;
  static engine::Engine engine(options);
  host::attach();
  return true;
}();

struct Workload {
  std::vector<double> values;  // feature-major
  std::size_t items;
  std::size_t features;
  StoredFeatures view() const { return {values, items, items, features}; }
  std::span<const double> feature(std::size_t k) const {
    return std::span<const double>(values).subspan(k * items, items);
  }
};

Workload makeWorkload(std::size_t items, std::size_t features, bool binary) {
  std::mt19937_64 rng(42);
  std::normal_distribution<double> normal;
  std::bernoulli_distribution coin(0.3);
  Workload w{std::vector<double>(items * features), items, features};
  for (double& v : w.values) v = binary ? (coin(rng) ? 1.0 : 0.0) : normal(rng);
  return w;
}

void perFeaturePower(benchmark::State& state) {
  const auto w = makeWorkload(static_cast<std::size_t>(state.range(0)), 50, false);
  std::vector<double> t(triangle::size(state.range(0)));
  for (auto _ : state) {
    std::fill(t.begin(), t.end(), 0.0);
    for (std::size_t k = 0; k < w.features; ++k) {
      proacc_power(std::span<const double>(w.values).subspan(k * w.items, w.items), t, 2);
    }
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size() * w.features));
}

void sweepPower(benchmark::State& state) {
  const auto w = makeWorkload(static_cast<std::size_t>(state.range(0)), 50, false);
  std::vector<double> t(triangle::size(state.range(0)));
  for (auto _ : state) {
    prosweep_power(w.view(), t, 2, 1, [] {});
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size() * w.features));
}

void sweepBinary(benchmark::State& state) {
  const auto w = makeWorkload(static_cast<std::size_t>(state.range(0)), 64, true);
  std::vector<double> t(triangle::size(state.range(0))), g(w.items);
  for (auto _ : state) {
    prosweep_binary(w.view(), t, g, 1, 12, [] {});
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size() * w.features));
}

// Cosines over stored features: one multiplication and one addition per pair
// and feature, the bound of the interval sweeps.
void sweepCosine(benchmark::State& state) {
  const auto w = makeWorkload(static_cast<std::size_t>(state.range(0)), 50, false);
  std::vector<double> t(triangle::size(state.range(0))), g(w.items);
  for (auto _ : state) {
    std::fill(g.begin(), g.end(), 0.0);
    prosweep_cosine(w.view(), t, g, [] {});
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size() * w.features));
}

// Correlations between 100 variables over cases that arrive one at a time
// (VIEW=VARIABLE): feature by feature against blocks of features.
void streamedCorrelation(benchmark::State& state, bool blocked) {
  const auto w = makeWorkload(100, 20000, false);  // 20,000 cases of 100 variables
  std::vector<double> t(triangle::size(100)), g(100), u(100), scratch(100);
  for (auto _ : state) {
    if (blocked) {
      FamilyPass pass(7, 0, 0, FamilyArrays{t, g, u, {}, {}});
      pass.start();
      for (std::size_t k = 0; k < w.features; ++k) pass.add(w.feature(k));
      pass.finish(static_cast<Word>(w.features));
    } else {
      std::fill(t.begin(), t.end(), 0.0);
      std::fill(g.begin(), g.end(), 0.0);
      std::fill(u.begin(), u.end(), 0.0);
      double m = 0.0;
      for (std::size_t k = 0; k < w.features; ++k)
        proacc_centered(w.feature(k), t, m, u, g, scratch);
      pronormalize(t, g);
    }
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size() * w.features));
}

void root(benchmark::State& state) {
  std::vector<double> t(triangle::size(state.range(0)), 12.5);
  for (auto _ : state) {
    proroot(t, 2);
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.size()));
}

}  // namespace

BENCHMARK(perFeaturePower)->Arg(500)->Arg(2000);
BENCHMARK(sweepPower)->Arg(500)->Arg(2000);
BENCHMARK(sweepBinary)->Arg(500)->Arg(2000);
BENCHMARK(sweepCosine)->Arg(2000)->Arg(8000);
BENCHMARK_CAPTURE(streamedCorrelation, perFeature, false);
BENCHMARK_CAPTURE(streamedCorrelation, inBlocks, true);
BENCHMARK(root)->Arg(2000);
BENCHMARK_MAIN();

// Micro-benchmarks of the proximity kernels: the per-feature kernels (used
// when features arrive one at a time, VIEW=VARIABLE) against the tiled sweep
// over stored features (VIEW=CASE). Run by hand: build/bin/bench_kernels.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "measures/binary.h"
#include "measures/interval.h"
#include "measures/stored_sweep.h"
#include "measures/triangle.h"

namespace {

struct Workload {
  std::vector<double> values;  // feature-major
  std::size_t items;
  std::size_t features;
  StoredFeatures view() const { return {values, items, items, features}; }
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
    std::fill(t.begin(), t.end(), 0.0);
    prosweep_binary(w.view(), t, g, 1, 12, [] {});
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
BENCHMARK(root)->Arg(2000);
BENCHMARK_MAIN();

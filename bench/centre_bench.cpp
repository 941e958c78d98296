// SPDX-License-Identifier: MIT
// Timings of the centre-based strain: the whole analysis (pairs or edges,
// the fit and its bootstrap of 200 resamples) on generated hard-core discs
// strained by R = 2 at 30 degrees.
//   build/bench/centre_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

#include "core/centre_strain.h"
#include "support/centre_data.h"

namespace {

// n hard-core discs strained by R = 2 at 30 degrees (the tests' set): the
// same set every run, made once.
const orvane::CentreData& Discs(int n) {
  static std::map<int, orvane::CentreData> made;
  auto found = made.find(n);
  if (found != made.end()) return found->second;
  return made
      .emplace(n, orvane::testing_support::CentresOf(
                      orvane::testing_support::HardCoreDiscs(n, 2, 30)))
      .first->second;
}

void Analyse(benchmark::State& state, orvane::CentreMethod method) {
  const orvane::CentreData& data = Discs(static_cast<int>(state.range(0)));
  orvane::CentreSettings settings;
  settings.method = method;
  orvane::CentreStrainResult result;
  for (auto _ : state) {
    result = orvane::AnalyseCentres(data, settings);
    benchmark::DoNotOptimize(result.points.data());
  }
  state.counters["R"] = result.estimate.ratio;
  state.counters["phi"] = result.estimate.phi;
  state.counters["pairs"] = static_cast<double>(result.pairs);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Fry(benchmark::State& state) {
  Analyse(state, orvane::CentreMethod::kFry);
}
void BM_Normalised(benchmark::State& state) {
  Analyse(state, orvane::CentreMethod::kNormalised);
}
void BM_Enhanced(benchmark::State& state) {
  Analyse(state, orvane::CentreMethod::kEnhanced);
}
void BM_Delaunay(benchmark::State& state) {
  Analyse(state, orvane::CentreMethod::kDelaunay);
}

// The estimate alone, without the bootstrap (cancelled before it starts).
void EstimateOnly(benchmark::State& state, orvane::CentreMethod method) {
  const orvane::CentreData& data = Discs(static_cast<int>(state.range(0)));
  orvane::CentreSettings settings;
  settings.method = method;
  const std::atomic<bool> cancel{true};
  for (auto _ : state) {
    const orvane::CentreStrainResult result =
        orvane::AnalyseCentres(data, settings, &cancel);
    benchmark::DoNotOptimize(result.points.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
void BM_NormalisedEstimateOnly(benchmark::State& state) {
  EstimateOnly(state, orvane::CentreMethod::kNormalised);
}
void BM_DelaunayEstimateOnly(benchmark::State& state) {
  EstimateOnly(state, orvane::CentreMethod::kDelaunay);
}

// The bootstrap's vacancy fits scanning every drawn pair (what the
// candidates near the vacancy save).
void BM_NormalisedFullScan(benchmark::State& state) {
  const orvane::CentreScanForTesting full(
      orvane::CentreScanForTesting::kEveryPair);
  Analyse(state, orvane::CentreMethod::kNormalised);
}

BENCHMARK(BM_Fry)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Normalised)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_NormalisedEstimateOnly)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_NormalisedFullScan)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Enhanced)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_DelaunayEstimateOnly)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Delaunay)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// Timings of the density contours of the polar chart on generated data.
//   build/bench/density_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "chart/density_contours.h"
#include "core/hyperbolic.h"

namespace {

// The chart's disc for the markers below: a little beyond the largest.
const double kDiscRadius = orvane::ZetaOfR(1.5f * 4.0f) + 0.5;

// n measured markers with ratios 1.6..6 and orientations spread over
// -60..120 degrees.
orvane::AnalysisState Markers(std::int64_t n) {
  orvane::AnalysisState state;
  state.count = static_cast<std::int32_t>(n);
  state.measured.resize(static_cast<std::size_t>(n) + 1);
  std::uint32_t s = 12345;
  for (std::int64_t i = 1; i <= n; ++i) {
    s = s * 1664525u + 1013904223u;
    const double r = 1.5 * (1.05 + 2.95 * (s >> 8) / 16777216.0);
    s = s * 1664525u + 1013904223u;
    const double phi = -60 + 180.0 * (s >> 8) / 16777216.0;
    orvane::MarkerRecord& m = state.measured[static_cast<std::size_t>(i)];
    m.rho = static_cast<float>(std::log(r));
    m.psi = static_cast<float>(2 * phi * orvane::kRadPerDeg);
    m.vector = orvane::HyperbolicVector(m.rho, m.psi);
  }
  return state;
}

// The whole of what the window does when the contours are switched on:
// the density at the disc's nodes, the levels and the clipped bands.
void BM_DiscContours(benchmark::State& state) {
  const orvane::AnalysisState analysis = Markers(state.range(0));
  std::int64_t bins = 0;
  for (auto _ : state) {
    orvane::DensityContours contours;
    orvane::ComputeDiscContours(analysis, kDiscRadius,
                                orvane::ChartProjection::kEqualArea, {},
                                contours);
    benchmark::DoNotOptimize(contours.bands.data());
    bins = contours.bands.size();
  }
  state.counters["bands"] = static_cast<double>(bins);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DiscContours)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

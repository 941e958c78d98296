// SPDX-License-Identifier: MIT
// Timings of a change of the chart's projection: the analysed chart
// replotted in the Elliott projection from the analysis held, beside an
// Open's plot of the same analysis in the equal-area projection. Both put
// the points in angle order, as the window does before painting.
//   build/bench/projection_bench
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>

#include "chart/equal_area_chart.h"
#include "core/analysis.h"

namespace {

// The analysed state of n markers of a spread of ratios and orientations.
const orvane::AnalysisState& Analysed(std::int64_t n) {
  static std::map<std::int64_t, std::unique_ptr<orvane::AnalysisState>> held;
  auto& slot = held[n];
  if (slot) return *slot;
  slot = std::make_unique<orvane::AnalysisState>();
  orvane::AnalysisState& s = *slot;
  s.count = static_cast<std::int32_t>(n);
  s.measured.assign(static_cast<std::size_t>(n) + 1, orvane::MarkerRecord{});
  s.retrodeformed.assign(static_cast<std::size_t>(n) + 1,
                         orvane::MarkerRecord{});
  std::uint32_t r = 7;
  auto next = [&r] {
    r = r * 1664525u + 1013904223u;
    return (r >> 8) / 16777216.0f;
  };
  for (std::int64_t i = 1; i <= n; ++i) {
    orvane::MarkerRecord& d = s.measured[static_cast<std::size_t>(i)];
    d.major = 1.0f + 5.0f * next();
    d.minor = 1.0f;
    d.ratio = d.major;
    d.phi = 180.0f * next() - 90.0f;
  }
  orvane::RunAnalysis(s);
  return s;
}

void SortAll(const orvane::EqualAreaChart& chart) {
  for (const orvane::PolarSeries* s : chart.SeriesList()) s->Points();
}

void BM_PlotEqualArea(benchmark::State& state) {
  const orvane::AnalysisState& s = Analysed(state.range(0));
  orvane::EqualAreaChart shown;
  shown.StartUp();
  for (auto _ : state) {
    orvane::EqualAreaChart chart = shown.WithoutData();
    chart.ShowAnalysis(s, orvane::AnalysisResult::kBootstrapped);
    SortAll(chart);
    benchmark::DoNotOptimize(chart.measured.Count());
  }
}
BENCHMARK(BM_PlotEqualArea)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_SwitchToElliott(benchmark::State& state) {
  const orvane::AnalysisState& s = Analysed(state.range(0));
  orvane::EqualAreaChart shown;
  shown.StartUp();
  shown.ShowAnalysis(s, orvane::AnalysisResult::kBootstrapped);
  for (auto _ : state) {
    orvane::EqualAreaChart chart =
        shown.InProjection(orvane::ChartProjection::kElliott, s,
                           orvane::AnalysisResult::kBootstrapped);
    SortAll(chart);
    benchmark::DoNotOptimize(chart.measured.Count());
  }
}
BENCHMARK(BM_SwitchToElliott)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

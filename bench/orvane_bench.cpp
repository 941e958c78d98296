// Timings of the loader and of the analysis on generated data sets.
//   build/bench/orvane_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/analysis.h"
#include "io/data_file.h"
#include "io/open_pipeline.h"

namespace {

// A data file of n markers with ratios 1.05..4 and orientations around 30
// degrees, as grain segmentation would write it.
std::string DataText(std::int64_t n) {
  std::string text;
  text.reserve(static_cast<std::size_t>(n) * 24);
  std::uint32_t s = 12345;
  char line[64];
  for (std::int64_t i = 0; i < n; ++i) {
    s = s * 1664525u + 1013904223u;
    const double r = 1.05 + 2.95 * (s >> 8) / 16777216.0;
    s = s * 1664525u + 1013904223u;
    const double ph = -60 + 180.0 * (s >> 8) / 16777216.0;
    std::snprintf(line, sizeof line, "%.3f 1.000 %.2f\n", r * 1.5, ph);
    text += line;
  }
  return text;
}

void BM_LoadData(benchmark::State& state) {
  const std::string text = DataText(state.range(0));
  for (auto _ : state) {
    orvane::MemorySource source(text);
    orvane::LoadedData data;
    benchmark::DoNotOptimize(orvane::ReadDataFile(source, data).ok());
    benchmark::DoNotOptimize(data.measured.data());
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(text.size()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadData)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_Analysis(benchmark::State& state) {
  const std::string text = DataText(state.range(0));
  orvane::MemorySource source(text);
  orvane::LoadedData data;
  if (!orvane::ReadDataFile(source, data).ok()) {
    state.SkipWithError("the generated data were refused");
    return;
  }
  orvane::AnalysisState analysis;
  orvane::CommitLoadedData(analysis, std::move(data));
  for (auto _ : state) {
    orvane::Report report;
    benchmark::DoNotOptimize(orvane::RunAnalysis(analysis, report, "."));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Analysis)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

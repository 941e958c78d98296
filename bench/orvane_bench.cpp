// SPDX-License-Identifier: MIT
// Timings of the loader and of the analysis on generated data sets.
//   build/bench/orvane_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/analysis.h"
#include "core/bootstrap.h"
#include "core/methods.h"
#include "core/strain.h"
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
    benchmark::DoNotOptimize(orvane::RunAnalysis(analysis));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Analysis)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// An analysed state of n generated markers, for timing one stage alone.
// The stages share their work among the cores: their CPU time is that of
// the whole process.
orvane::AnalysisState AnalysedState(std::int64_t n) {
  orvane::AnalysisState analysis;
  const std::string text = DataText(n);
  orvane::MemorySource source(text);
  orvane::LoadedData data;
  if (!orvane::ReadDataFile(source, data).ok()) return analysis;
  orvane::CommitLoadedData(analysis, std::move(data));
  orvane::RunAnalysis(analysis);
  return analysis;
}

template <typename Stage>
void TimeStage(benchmark::State& state, Stage stage) {
  orvane::AnalysisState analysis = AnalysedState(state.range(0));
  if (analysis.count == 0) {
    state.SkipWithError("the generated data were refused");
    return;
  }
  for (auto _ : state) {
    stage(analysis);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DeriveMeasured(benchmark::State& state) {
  TimeStage(state, [](orvane::AnalysisState& a) { orvane::DeriveMeasured(a); });
}
void BM_SetMeasuredVectors(benchmark::State& state) {
  TimeStage(state,
            [](orvane::AnalysisState& a) { orvane::SetMeasuredVectors(a); });
}
void BM_Retrodeform(benchmark::State& state) {
  TimeStage(state, [](orvane::AnalysisState& a) { orvane::Retrodeform(a); });
}
void BM_Bootstrap(benchmark::State& state) {
  TimeStage(state, [](orvane::AnalysisState& a) { orvane::RunBootstrap(a); });
}
BENCHMARK(BM_DeriveMeasured)
    ->MeasureProcessCPUTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetMeasuredVectors)
    ->MeasureProcessCPUTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Retrodeform)
    ->MeasureProcessCPUTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bootstrap)
    ->MeasureProcessCPUTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// The estimators of the Methods tab, on n markers whose ratios, orientations
// and retrodeformed orientations are generated directly (the bootstrap of
// ten million would take minutes and changes nothing here).
void BM_Methods(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  orvane::AnalysisState analysis;
  analysis.count = static_cast<std::int32_t>(n);
  analysis.measured.resize(static_cast<std::size_t>(n) + 1);
  analysis.retrodeformed.resize(static_cast<std::size_t>(n) + 1);
  std::uint32_t s = 12345;
  auto next = [&s] {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0f;
  };
  for (std::size_t i = 1; i <= static_cast<std::size_t>(n); ++i) {
    analysis.measured[i].ratio = 1.05f + 2.95f * next();
    analysis.measured[i].phi = -60 + 180 * next();
    analysis.retrodeformed[i].phi = -90 + 180 * next();
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvane::ComputeMethods(analysis));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_Methods)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// SPDX-License-Identifier: MIT
// Timings of the chart: the first paint of large data sets, repaints that
// change only the highlight or one legend check, and a paint at a new size
// (the window's resize). Times are wall times; "CPU" counts every thread of
// the process. At the end the rows of two series of 10^6 points are
// printed as a table.
//   build/bench/chart_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/equal_area_chart.h"
#include "render/chart_render.h"

namespace {

const QSize kSize(orvane::kDesignChartWidth, orvane::kDesignChartHeight);

// A chart whose measured and pre-strain series hold n points each.
orvane::EqualAreaChart LargeChart(std::int64_t n) {
  orvane::EqualAreaChart chart;
  chart.StartUp();
  std::uint32_t s = 99;
  auto next = [&s] {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  };
  for (std::int64_t i = 0; i < n; ++i) {
    chart.measured.AddPolar(360 * next(), 0.3 + 1.2 * next());
    chart.retrodeformed.AddPolar(360 * next(), 0.8 * next());
  }
  chart.optimal.AddPolar(40, 0.5);
  // In angle order before the timing, as the window has them.
  for (const orvane::PolarSeries* series : chart.SeriesList()) series->Points();
  return chart;
}

void BM_FirstPaint(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  for (auto _ : state) {
    orvane::PlotRenderCache cache;  // nothing drawn yet
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
}
BENCHMARK(BM_FirstPaint)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_RepaintHighlight(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  orvane::PlotRenderCache cache;
  {
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
  int k = 0;
  for (auto _ : state) {
    chart.measured_highlight.Clear();
    chart.measured_highlight.SetActive(true);
    chart.measured_highlight.AddPolar(k++ % 360, 0.7);
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
}
BENCHMARK(BM_RepaintHighlight)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_RepaintLegendCheck(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  orvane::PlotRenderCache cache;
  {
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
  for (auto _ : state) {
    chart.retrodeformed.SetActive(!chart.retrodeformed.Active());
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
}
BENCHMARK(BM_RepaintLegendCheck)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

// A paint after the chart changed size: every cached layer is drawn anew.
void BM_PaintAfterResize(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  orvane::PlotRenderCache cache;
  int k = 0;
  for (auto _ : state) {
    const QSize size = kSize + QSize(k % 2, k % 2);
    ++k;
    QImage target(size, QImage::Format_RGB32);
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, size, &cache);
  }
}
BENCHMARK(BM_PaintAfterResize)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond);

// The console's lines, and then the chart's rows at 10^6 points.
class RowReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const std::string name = run.benchmark_name();
      const char* row = nullptr;
      if (name.rfind("BM_FirstPaint/1000000/", 0) == 0) {
        row = "chart: first paint, two series of 10^6 points";
      } else if (name.rfind("BM_RepaintHighlight/1000000/", 0) == 0) {
        row = "chart: repaint after highlight at 10^6";
      } else if (name.rfind("BM_RepaintLegendCheck/1000000/", 0) == 0) {
        row = "chart: repaint after legend check at 10^6";
      } else if (name.rfind("BM_PaintAfterResize/1000000/", 0) == 0) {
        row = "chart: paint at a new size, two series of 10^6 points";
      } else if (name.rfind("BM_PaintAfterResize/10000000/", 0) == 0) {
        row = "chart: paint at a new size, two series of 10^7 points";
      }
      if (row == nullptr || run.iterations == 0) continue;
      const double n = static_cast<double>(run.iterations);
      rows_.push_back({row, run.real_accumulated_time / n * 1e3,
                       run.cpu_accumulated_time / n * 1e3});
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    if (rows_.empty()) return;
    std::printf("\n| work | wall | cpu (all threads) |\n|---|---|---|\n");
    for (const Row& r : rows_) {
      std::printf("| %s | %.3f ms | %.3f ms |\n", r.what, r.wall_ms, r.cpu_ms);
    }
  }

 private:
  struct Row {
    const char* what;
    double wall_ms, cpu_ms;
  };
  std::vector<Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RowReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

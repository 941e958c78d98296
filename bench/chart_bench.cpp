// Timings of the chart: the first paint of large data sets, and repaints
// that change only the highlight or one legend check.
//   build/bench/chart_bench
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

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
  return chart;
}

void BM_FirstPaint(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  for (auto _ : state) {
    orvane::ChartRenderCache cache;  // nothing drawn yet
    QPainter painter(&target);
    orvane::RenderChart(painter, chart, kSize, &cache);
  }
}
BENCHMARK(BM_FirstPaint)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_RepaintHighlight(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  orvane::ChartRenderCache cache;
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
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_RepaintLegendCheck(benchmark::State& state) {
  orvane::EqualAreaChart chart = LargeChart(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  orvane::ChartRenderCache cache;
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
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

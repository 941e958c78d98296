// SPDX-License-Identifier: MIT
// Timings of the Rf/phi plot: the first paint of large data sets on the
// screen (the markers blended into cached layers), a repaint that finds its
// layers cached, the theta-curves of one strain, and an SVG of 10^6 points.
//   build/bench/rf_phi_bench
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "chart/chart_geometry.h"
#include "chart/rf_phi_plot.h"
#include "core/strain.h"
#include "core/theta_curves.h"
#include "render/picture_export.h"
#include "render/plot_render.h"

namespace {

const QSize kSize(orvane::kDesignChartWidth, orvane::kDesignChartHeight);

// A plot whose measured and pre-strain series hold n points each.
orvane::RfPhiPlot LargePlot(std::int64_t n) {
  orvane::AnalysisState state;
  state.count = static_cast<std::int32_t>(n);
  state.measured.assign(static_cast<std::size_t>(n) + 1, {});
  state.retrodeformed.assign(static_cast<std::size_t>(n) + 1, {});
  std::uint32_t s = 99;
  auto next = [&s] {
    s = s * 1664525u + 1013904223u;
    return static_cast<float>((s >> 8) / 16777216.0);
  };
  for (std::int64_t i = 1; i <= n; ++i) {
    state.measured[i].ratio = 1 + 4 * next();
    state.measured[i].phi = 180 * next() - 90;
    state.retrodeformed[i].ratio = 1 + 2 * next();
    state.retrodeformed[i].phi = 180 * next() - 90;
  }
  state.strain.ratio = 2;
  state.strain.rho = 0.693f;
  state.strain.psi = 0.5f;
  orvane::BuildStrainMatrices(state);
  orvane::RfPhiPlot plot;
  plot.ShowAnalysis(state, orvane::AnalysisResult::kBootstrapped);
  return plot;
}

void BM_RfPhiFirstPaint(benchmark::State& state) {
  const orvane::RfPhiPlot plot = LargePlot(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  for (auto _ : state) {
    orvane::PlotRenderCache cache;
    QPainter painter(&target);
    orvane::RenderPlot(painter, orvane::ModelOf(plot, kSize, {}), &cache);
  }
}
BENCHMARK(BM_RfPhiFirstPaint)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_RfPhiRepaint(benchmark::State& state) {
  const orvane::RfPhiPlot plot = LargePlot(state.range(0));
  QImage target(kSize, QImage::Format_RGB32);
  orvane::PlotRenderCache cache;
  {
    QPainter painter(&target);
    orvane::RenderPlot(painter, orvane::ModelOf(plot, kSize, {}), &cache);
  }
  for (auto _ : state) {
    QPainter painter(&target);
    orvane::RenderPlot(painter, orvane::ModelOf(plot, kSize, {}), &cache);
  }
}
BENCHMARK(BM_RfPhiRepaint)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

void BM_ThetaCurves(benchmark::State& state) {
  orvane::AnalysisState s;
  s.strain.rho = 0.9f;
  s.strain.psi = 0.7f;
  orvane::BuildStrainMatrices(s);
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvane::ComputeThetaCurves(
        s.pre_to_post, orvane::DefaultThetaCurveRatios()));
  }
}
BENCHMARK(BM_ThetaCurves)->Unit(benchmark::kMicrosecond);

void BM_RfPhiSvg(benchmark::State& state) {
  const orvane::RfPhiPlot plot = LargePlot(state.range(0));
  for (auto _ : state) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    benchmark::DoNotOptimize(orvane::WriteChartPicture(
        orvane::ModelPicture(plot), kSize, orvane::PictureFormat::kSvg, out,
        orvane::PictureOptions()));
  }
}
BENCHMARK(BM_RfPhiSvg)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
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

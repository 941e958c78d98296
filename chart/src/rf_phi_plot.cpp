#include "chart/rf_phi_plot.h"

#include "chart/equal_area_chart.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>

#include "core/parallel.h"

namespace orvane {
namespace {

std::uint64_t NextRevision() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

// A decimal value m x 10^e (m whole) as the double nearest to it, so that
// the shortest decimal of the double is the value's own digits.
double Decimal(long long m, int e) {
  if (e >= 0) {
    double v = static_cast<double>(m);
    for (int i = 0; i < e; ++i) v *= 10;
    return v;
  }
  double d = 1;
  for (int i = 0; i < -e; ++i) d *= 10;
  return static_cast<double>(m) / d;
}

std::string Label(double value, const std::string& sep) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::fixed);
  std::string text =
      error == std::errc() ? std::string(buffer, end) : std::string("?");
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    text.replace(dot, 1, sep);
  }
  return text;
}

// The orientation of a major axis as the plot shows it, in (-90, 90].
float PlotPhi(float phi) {
  long double r = std::fmod(static_cast<long double>(phi), 180.0L);
  if (r > 90) r -= 180;
  if (r <= -90) r += 180;
  return static_cast<float>(r);
}

}  // namespace

RfPhiSeries::RfPhiSeries(SeriesStyle style)
    : style_(std::move(style)), revision_(NextRevision()) {}

void RfPhiSeries::SetPoints(std::vector<RfPhiPoint> points) {
  points_ = std::move(points);
  largest_ = 1;
  for (const RfPhiPoint& p : points_) {
    if (static_cast<double>(p.ratio) > largest_ && std::isfinite(p.ratio)) {
      largest_ = p.ratio;
    }
  }
  revision_ = NextRevision();
}

RfAxis MakeRfAxis(double largest, RfScale scale, const std::string& sep) {
  RfAxis axis;
  axis.scale = scale;
  if (!(largest > 1) || !std::isfinite(largest)) largest = 1;
  const double wanted = largest * 1.05;
  auto add = [&axis, &sep](double v, bool labelled) {
    axis.ticks.push_back({v, labelled ? Label(v, sep) : std::string()});
  };
  if (scale == RfScale::kLogarithmic) {
    // 2, 3, 5, 10, 20, 30, 50, ...: the first at least `wanted`.
    axis.maximum = 2;
    for (int e = 0; e < 40 && axis.maximum < wanted; ++e) {
      for (const int m : {2, 3, 5, 10}) {
        axis.maximum = Decimal(m, e);
        if (axis.maximum >= wanted) break;
      }
    }
    const bool fine = axis.maximum <= 10;
    for (int e = 0; e < 40; ++e) {
      if (Decimal(1, e) > axis.maximum) break;
      for (int m = 10; m < 100; m += 5) {  // tenths of a power of ten
        const double v = Decimal(m, e - 1);
        if (v > axis.maximum) break;
        const bool whole = m % 10 == 0;
        if (!whole && !(fine && m == 15)) continue;
        const int digit = m / 10;
        const bool labelled = (!whole && fine) || digit == 1 || digit == 2 ||
                              digit == 5 || (fine && digit == 3) ||
                              v == axis.maximum;
        add(v, labelled);
      }
    }
    return axis;
  }
  // Linear: the smallest 1-2-5 step that needs at most six steps above 1.
  const double range = std::max(1.0, wanted - 1);
  long long mantissa = 1;
  int exponent = -3;
  for (int guard = 0; guard < 60; ++guard) {
    if (range / Decimal(mantissa, exponent) <= 6) break;
    if (mantissa == 1) {
      mantissa = 2;
    } else if (mantissa == 2) {
      mantissa = 5;
    } else {
      mantissa = 1;
      ++exponent;
    }
  }
  const double step = Decimal(mantissa, exponent);
  long long k = static_cast<long long>(std::ceil(wanted / step));
  axis.maximum = std::max(2.0, Decimal(k * mantissa, exponent));
  add(1, true);
  for (long long i = static_cast<long long>(std::floor(1 / step)) + 1;; ++i) {
    const double v = Decimal(i * mantissa, exponent);
    if (v > axis.maximum * (1 + 1e-12)) break;
    if (v > 1) add(v, true);
  }
  return axis;
}

std::vector<AxisTick> PhiTicks() {
  std::vector<AxisTick> ticks;
  for (int phi = -90; phi <= 90; phi += 15) {
    ticks.push_back(
        {static_cast<double>(phi),
         phi % 30 == 0 ? Label(static_cast<double>(phi), ".") : std::string()});
  }
  return ticks;
}

RfPhiLayout LayOutRfPhiPlot(int width, int height, const LegendLayout& legend,
                            const PlotTextMetrics& m, int footer) {
  RfPhiLayout l;
  l.width = width;
  l.height = height;
  const int left = kChartMargin + m.rf_title_width + kAxisTitleGap +
                   m.widest_rf_label + kTickLabelGap + kTickLength;
  const int right_room = std::max(kChartMargin, m.phi_label_half + 1);
  const int bottom = height - footer - kChartMargin - m.height - kAxisTitleGap -
                     m.height - kTickLabelGap - kTickLength;
  const int top = kChartMargin + m.height / 2;
  const int legend_column =
      legend.box.width > 0 ? legend.box.width + kLegendShadow + 2 * kChartMargin
                           : 0;
  PixelRect beside{left, top,
                   std::max(0, width - legend_column - right_room - left),
                   std::max(0, bottom - top)};
  if (legend.box.height > 0) {
    // A narrow picture: the frame below the legend where that is larger.
    const int below_top = legend.box.top + legend.box.height + kLegendShadow +
                          kChartMargin + m.height / 2;
    const PixelRect below{left, below_top,
                          std::max(0, width - right_room - left),
                          std::max(0, bottom - below_top)};
    if (std::min(below.width, below.height) >
        std::min(beside.width, beside.height)) {
      beside = below;
    }
  }
  l.plot = beside;
  l.phi_title_x = l.plot.left + l.plot.width / 2;
  l.phi_title_baseline = height - footer - kChartMargin - (m.height - m.ascent);
  l.rf_title_x = kChartMargin;
  l.rf_title_baseline = l.plot.top + l.plot.height / 2 + m.ascent / 2;
  return l;
}

double PhiToX(const RfPhiLayout& layout, double phi) {
  return layout.plot.left + (phi + 90) / 180 * layout.plot.width;
}

namespace {

// The mapping of RfToY with the axis' own logarithm taken once.
class RfMapping {
 public:
  RfMapping(const RfPhiLayout& layout, const RfAxis& axis)
      : layout_(layout),
        log_(axis.scale == RfScale::kLogarithmic),
        top_(log_ ? std::log(axis.maximum) : axis.maximum - 1) {}
  double Y(double ratio) const {
    double t;
    if (log_) {
      t = ratio > 0 ? std::log(ratio) / top_ : -1;
    } else {
      t = (ratio - 1) / top_;
    }
    // Far off the plot stays far off, without overflowing a pixel.
    t = std::clamp(t, -100.0, 100.0);
    if (!std::isfinite(t)) t = -100;
    return layout_.plot.top + layout_.plot.height - t * layout_.plot.height;
  }
  Pixel Place(const RfPhiPoint& shape) const {
    return {static_cast<int>(std::lround(PhiToX(layout_, shape.phi))),
            static_cast<int>(std::lround(Y(shape.ratio)))};
  }

 private:
  const RfPhiLayout& layout_;
  bool log_;
  double top_;
};

}  // namespace

double RfToY(const RfPhiLayout& layout, const RfAxis& axis, double ratio) {
  return RfMapping(layout, axis).Y(ratio);
}

Pixel PlaceShape(const RfPhiLayout& layout, const RfAxis& axis,
                 const RfPhiPoint& shape) {
  return RfMapping(layout, axis).Place(shape);
}

std::vector<Pixel> PlaceShapes(const RfPhiLayout& layout, const RfAxis& axis,
                               const std::vector<RfPhiPoint>& shapes) {
  const RfMapping mapping(layout, axis);
  std::vector<Pixel> at(shapes.size());
  // A shape is placed in a few operations: 50,000 a thread are worth it.
  constexpr std::int64_t kShapesPerThread = 50000;
  ParallelFor(
      0, static_cast<std::int64_t>(shapes.size()),
      [&](std::int64_t first, std::int64_t last) {
        for (auto i = static_cast<std::size_t>(first);
             i < static_cast<std::size_t>(last); ++i) {
          at[i] = mapping.Place(shapes[i]);
        }
      },
      kShapesPerThread);
  return at;
}

SeriesStyle ThetaCurveStyle() {
  SeriesStyle s;
  s.title = "\u03b8-curves";
  s.color = 0x606060;
  s.marker = MarkerStyle::kNone;
  s.line_visible = true;
  s.line_color = 0x606060;
  s.line_width = 1;
  return s;
}

RfPhiPlot::RfPhiPlot()
    : retrodeformed(RetrodeformedStyle()),
      measured(MeasuredStyle()),
      optimal(OptimalStyle()),
      measured_highlight(MeasuredHighlightStyle()),
      retrodeformed_highlight(RetrodeformedHighlightStyle()),
      curve_ratios_(DefaultThetaCurveRatios()) {
  HideHighlight();
}

void RfPhiPlot::Highlight(const AnalysisState& state, std::int32_t i) {
  if (i < 1 || i > state.count) return;
  const MarkerRecord& f = state.measured[static_cast<std::size_t>(i)];
  const MarkerRecord& r = state.retrodeformed[static_cast<std::size_t>(i)];
  measured_highlight.SetPoints({{f.ratio, PlotPhi(f.phi)}});
  retrodeformed_highlight.SetPoints({{r.ratio, PlotPhi(r.phi)}});
  measured_highlight.SetActive(true);
  retrodeformed_highlight.SetActive(true);
}

void RfPhiPlot::HideHighlight() {
  measured_highlight.SetActive(false);
  retrodeformed_highlight.SetActive(false);
}

std::vector<const RfPhiSeries*> RfPhiPlot::SeriesList() const {
  return {&retrodeformed, &measured, &optimal};
}

std::vector<RfPhiSeries*> RfPhiPlot::SeriesList() {
  return {&retrodeformed, &measured, &optimal};
}

void RfPhiPlot::SetThetaCurveRatios(const std::vector<float>& ratios) {
  curve_ratios_ = ratios;
  curves_ = has_strain_ ? ComputeThetaCurves(pre_to_post_, curve_ratios_)
                        : std::vector<ThetaCurve>{};
}

void RfPhiPlot::Clear() {
  density_contours.reset();
  for (RfPhiSeries* s : SeriesList()) s->Clear();
  HideHighlight();
  curves_.clear();
  has_strain_ = false;
  pre_to_post_ = {};
}

void RfPhiPlot::ShowAnalysis(const AnalysisState& state,
                             AnalysisResult result) {
  if (result == AnalysisResult::kNoData || state.count <= 0) {
    Clear();
    return;
  }
  density_contours.reset();
  // The two data sets' points, at once for large data (the vectors are
  // made here, so that nothing on the other thread can throw).
  const std::size_t n = static_cast<std::size_t>(state.count);
  std::vector<RfPhiPoint> post_strain(n), pre_strain(n);
  auto fill = [n](const std::vector<MarkerRecord>& data,
                  std::vector<RfPhiPoint>& points) {
    for (std::size_t i = 0; i < n; ++i) {
      const MarkerRecord& d = data[i + 1];
      points[i] = {d.ratio, PlotPhi(d.phi)};
    }
  };
  RunSideBySide(
      ThreadsFor(state.count, kPointsInParallelFrom / 2) > 1,
      [&] { fill(state.measured, post_strain); },
      [&] { fill(state.retrodeformed, pre_strain); });
  measured.SetPoints(std::move(post_strain));
  retrodeformed.SetPoints(std::move(pre_strain));
  optimal.SetPoints({{state.strain.ratio, PlotPhi(state.strain.phi)}});
  pre_to_post_ = state.pre_to_post;
  has_strain_ = true;
  HideHighlight();
  curves_ = ComputeThetaCurves(pre_to_post_, curve_ratios_);
}

double RfPhiPlot::LargestShownRatio() const {
  double m = 1;
  for (const RfPhiSeries* s : SeriesList()) {
    if (s->Active()) m = std::max(m, s->LargestRatio());
  }
  return m;
}

RfAxis RfPhiPlot::Axis() const {
  return MakeRfAxis(LargestShownRatio(), scale_, separator_);
}

}  // namespace orvane

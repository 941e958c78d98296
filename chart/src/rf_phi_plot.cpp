// SPDX-License-Identifier: MIT
#include "chart/rf_phi_plot.h"

#include "chart/equal_area_chart.h"
#include "core/parallel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace orvane {
namespace {

// The orientation of a major axis as the plot shows it, in (-90, 90].
float PlotPhi(float phi) {
  long double r = std::fmod(static_cast<long double>(phi), 180.0L);
  if (r > 90) r -= 180;
  if (r <= -90) r += 180;
  return static_cast<float>(r);
}

}  // namespace

RfPhiSeries::RfPhiSeries(SeriesStyle style)
    : style_(std::move(style)), revision_(NextSeriesRevision()) {}

void RfPhiSeries::SetPoints(std::vector<RfPhiPoint> points) {
  points_ = std::move(points);
  largest_ = 1;
  for (const RfPhiPoint& p : points_) {
    if (static_cast<double>(p.ratio) > largest_ && std::isfinite(p.ratio)) {
      largest_ = p.ratio;
    }
  }
  revision_ = NextSeriesRevision();
}

RfAxis MakeRfAxis(double largest, RfScale scale, const std::string& sep) {
  RfAxis axis;
  axis.scale = scale;
  if (!(largest > 1) || !std::isfinite(largest)) largest = 1;
  const double wanted = largest * 1.05;
  auto add = [&axis, &sep](double v, bool labelled) {
    axis.ticks.push_back({v, labelled ? TickLabel(v, sep) : std::string()});
  };
  if (scale == RfScale::kLogarithmic) {
    // 2, 3, 5, 10, 20, 30, 50, ...: the first at least `wanted`.
    axis.maximum = 2;
    for (int e = 0; e < 40 && axis.maximum < wanted; ++e) {
      for (const int m : {2, 3, 5, 10}) {
        axis.maximum = DecimalValue(m, e);
        if (axis.maximum >= wanted) break;
      }
    }
    const bool fine = axis.maximum <= 10;
    for (int e = 0; e < 40; ++e) {
      if (DecimalValue(1, e) > axis.maximum) break;
      for (int m = 10; m < 100; m += 5) {  // tenths of a power of ten
        const double v = DecimalValue(m, e - 1);
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
    if (range / DecimalValue(mantissa, exponent) <= 6) break;
    if (mantissa == 1) {
      mantissa = 2;
    } else if (mantissa == 2) {
      mantissa = 5;
    } else {
      mantissa = 1;
      ++exponent;
    }
  }
  const double step = DecimalValue(mantissa, exponent);
  long long k = static_cast<long long>(std::ceil(wanted / step));
  axis.maximum = std::max(2.0, DecimalValue(k * mantissa, exponent));
  add(1, true);
  for (long long i = static_cast<long long>(std::floor(1 / step)) + 1;; ++i) {
    const double v = DecimalValue(i * mantissa, exponent);
    if (v > axis.maximum * (1 + 1e-12)) break;
    if (v > 1) add(v, true);
  }
  return axis;
}

std::vector<AxisTick> PhiTicks() {
  std::vector<AxisTick> ticks;
  for (int phi = -90; phi <= 90; phi += 15) {
    ticks.push_back({static_cast<double>(phi),
                     phi % 30 == 0 ? TickLabel(static_cast<double>(phi), ".")
                                   : std::string()});
  }
  return ticks;
}

RfPhiLayout LayOutRfPhiPlot(int width, int height, const LegendLayout& legend,
                            const PlotTextMetrics& m, int footer, int unit) {
  const int margin = kChartMargin * unit, title_gap = kAxisTitleGap * unit,
            label_gap = kTickLabelGap * unit, tick = kTickLength * unit,
            shadow = kLegendShadow * unit;
  RfPhiLayout l;
  l.width = width;
  l.height = height;
  l.unit = unit;
  const int left = margin + m.rf_title_width + title_gap + m.widest_rf_label +
                   label_gap + tick;
  const int right_room = std::max(margin, m.phi_label_half + unit);
  const int bottom = height - footer - margin - m.height - title_gap -
                     m.height - label_gap - tick;
  const int top = margin + m.height / 2;
  const int legend_column =
      legend.box.width > 0 ? legend.box.width + shadow + 2 * margin : 0;
  PixelRect beside{left, top,
                   std::max(0, width - legend_column - right_room - left),
                   std::max(0, bottom - top)};
  if (legend.box.height > 0) {
    // A narrow picture: the frame below the legend where that is larger.
    const int below_top =
        legend.box.top + legend.box.height + shadow + margin + m.height / 2;
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
  l.phi_title_baseline = height - footer - margin - (m.height - m.ascent);
  l.rf_title_x = margin;
  l.rf_title_baseline = l.plot.top + l.plot.height / 2 + m.ascent / 2;
  return l;
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

// ---------------------------------------------------------------------------
// The plot as a model to draw.

namespace orvane {

std::string PhiAxisTitle() {
  return "Long-axis orientation \xCF\x86 (\xC2\xB0)";
}

std::string RfAxisTitle() {
  return "Rf";
}

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kGridColour = 0xE6E6E6;
constexpr Rgb kCurveLabelColour = 0x505050;
constexpr Rgb kDensityNoteColour = 0x404040;

// The series of the equal-area chart whose roles the plot's series play:
// the palette colours them alike on both plots.
const EqualAreaChart& Roles() {
  static const EqualAreaChart roles;
  return roles;
}

// Tick labels with a true minus sign.
std::string TickText(const std::string& label) {
  if (!label.empty() && label.front() == '-') {
    return "\xE2\x88\x92" + label.substr(1);
  }
  return label;
}

PlotTextMetrics MetricsOf(const RfAxis& axis, TextFace face,
                          const TextMeasure& measure) {
  const FaceMetrics fm = measure.Metrics(face);
  PlotTextMetrics m;
  m.height = fm.height;
  m.ascent = fm.ascent;
  m.widest_rf_label = 0;
  for (const AxisTick& t : axis.ticks) {
    if (t.label.empty()) continue;
    m.widest_rf_label =
        std::max(m.widest_rf_label, measure.Width(face, TickText(t.label)));
  }
  m.phi_label_half = (measure.Width(face, TickText("-90")) + 1) / 2;
  m.rf_title_width = measure.Width(face, RfAxisTitle());
  return m;
}

// The legend: on the screen all four entries, with check boxes; on a
// figure only what is drawn.
LegendLayer MakeLegend(const RfPhiPlot& plot, int width,
                       const ChartRenderOptions& options,
                       const TextMeasure& measure) {
  LegendLayer legend;
  legend.figure_style = options.figure_style;
  const TextFace face = LabelFace(options);
  std::vector<int> widths;
  auto add = [&](RfPhiEntry entry, const SeriesStyle& style, bool checked,
                 bool drawn) {
    if (options.figure_style && !drawn) return;
    legend.items.push_back({style, checked, static_cast<int>(entry)});
    widths.push_back(measure.Width(face, style.title));
  };
  const std::pair<RfPhiEntry, const RfPhiSeries*> series[] = {
      {RfPhiEntry::kRetrodeformed, &plot.retrodeformed},
      {RfPhiEntry::kMeasured, &plot.measured},
      {RfPhiEntry::kOptimal, &plot.optimal}};
  for (const auto& [entry, s] : series) {
    add(entry, RfPhiStyle(plot, *s, options.palette), s->Active(),
        s->Active() && s->Count() > 0);
  }
  add(RfPhiEntry::kThetaCurves, ThetaCurveStyle(), plot.ShowThetaCurves(),
      plot.ShowThetaCurves() && !plot.ThetaCurves().empty());
  legend.layout = LayOutLegendOfTitles(width, widths, face, options, measure);
  return legend;
}

// Everything the layers are laid out from.
struct Scene {
  double scale = 1;
  Pixel size;  // the plot's own pixels
  RfAxis axis;
  LegendLayer legend;
  LegendPlacement placement = LegendPlacement::kOutside;
  std::vector<std::string> caption;
  RfPhiLayout layout;
  std::vector<std::string> notes;  // what a figure left out or moved
};

Scene MakeScene(const RfPhiPlot& plot, const PlotCanvas& canvas,
                const TextMeasure& measure) {
  Scene scene;
  scene.scale = ValidScale(canvas.options.scale);
  scene.size = OwnSize(canvas.width, canvas.height, scene.scale);
  scene.axis = plot.Axis();
  scene.legend = MakeLegend(plot, scene.size.x, canvas.options, measure);
  const PlotTextMetrics metrics =
      MetricsOf(scene.axis, LabelFace(canvas.options), measure);
  auto fitted =
      FitLayout(canvas.options, scene.size, scene.legend.layout, measure,
                [&](const LegendLayout& beside, int footer) {
                  return LayOutRfPhiPlot(scene.size.x, scene.size.y, beside,
                                         metrics, footer, canvas.options.unit);
                });
  TakeFitted(scene, std::move(fitted));
  return scene;
}

// The grid lines at the labelled ticks, across the frame.
LineLayer Grid(const Scene& scene) {
  LineLayer grid;
  grid.colour = kGridColour;
  for (const AxisTick& t : PhiTicks()) {
    if (t.label.empty()) continue;
    grid.lines.push_back(
        {{t.value, scene.axis.maximum, 0, 0}, {t.value, 1, 0, 0}});
  }
  for (const AxisTick& t : scene.axis.ticks) {
    if (t.label.empty()) continue;
    grid.lines.push_back({{-90, t.value, 0, 0}, {90, t.value, 0, 0}});
  }
  return grid;
}

MarkerLayer Markers(const RfPhiPlot& plot, const RfPhiSeries& s,
                    const Scene& scene, const ChartRenderOptions& options) {
  MarkerLayer m;
  m.style = RfPhiStyle(plot, s, options.palette);
  m.source = &s;
  m.revision = s.Revision();
  m.own_layer = true;
  const PixelRect& f = scene.layout.plot;
  m.placement = {static_cast<double>(f.left),
                 static_cast<double>(f.top),
                 static_cast<double>(f.width),
                 static_cast<double>(f.height),
                 scene.axis.maximum,
                 static_cast<double>(static_cast<int>(scene.axis.scale) * 2 +
                                     static_cast<int>(options.palette))};
  PlaceMarkers(m, s.Points(), PlotMapping::RfPhi(scene.layout, scene.axis),
               [](const RfPhiPoint& p) {
                 return std::pair<double, double>(p.phi, p.ratio);
               });
  return m;
}

LineLayer ThetaCurveLines(const RfPhiPlot& plot) {
  LineLayer curves = SeriesLine(ThetaCurveStyle(), LineLayer::Ends::kFlatRound,
                                LineLayer::Clip::kAlways);
  for (const ThetaCurve& curve : plot.ThetaCurves()) {
    for (const std::vector<RfPhiPoint>& piece : curve.pieces) {
      if (piece.size() < 2) continue;  // Ri = 1: the strain's own point
      std::vector<PlotVertex> line;
      line.reserve(piece.size());
      for (const RfPhiPoint& p : piece) line.push_back({p.phi, p.ratio, 0, 0});
      curves.lines.push_back(std::move(line));
    }
  }
  return curves;
}

// The frame of the data.
LineLayer FrameLines(const Scene& scene) {
  LineLayer axes;
  axes.closed = true;
  axes.frame = true;
  const double top = scene.axis.maximum;
  axes.lines.push_back(
      {{-90, 1, 0, 0}, {90, 1, 0, 0}, {90, top, 0, 0}, {-90, top, 0, 0}});
  return axes;
}

// The ticks outside the frame.
LineLayer Ticks(const Scene& scene) {
  const double unit = scene.layout.unit;
  LineLayer ticks;
  ticks.frame = true;
  for (const AxisTick& t : PhiTicks()) {
    const double length =
        (t.label.empty() ? kMinorTickLength : kTickLength) * unit;
    ticks.lines.push_back({{t.value, 1, 0, unit}, {t.value, 1, 0, length}});
  }
  for (const AxisTick& t : scene.axis.ticks) {
    const double length =
        (t.label.empty() ? kMinorTickLength : kTickLength) * unit;
    ticks.lines.push_back(
        {{-90, t.value, -length, 0}, {-90, t.value, -unit, 0}});
  }
  return ticks;
}

TextLayer AxisText(const Scene& scene, TextFace face,
                   const TextMeasure& measure) {
  const FaceMetrics fm = measure.Metrics(face);
  const PlotMapping mapping = PlotMapping::RfPhi(scene.layout, scene.axis);
  const PixelRect& f = scene.layout.plot;
  const int unit = scene.layout.unit;
  TextLayer text{face, kBlack, {}};
  const int bottom = f.top + f.height;
  // Every 30 degrees where the labels have room, else every 60, every 90,
  // or at the ends alone: on a narrow plot they never run into each other.
  int widest = 0;
  for (const AxisTick& t : PhiTicks()) {
    if (!t.label.empty()) {
      widest = std::max(widest, measure.Width(face, TickText(t.label)));
    }
  }
  const int room = widest + 4 * unit;
  const int step = 6 * room <= f.width   ? 30
                   : 3 * room <= f.width ? 60
                   : 2 * room <= f.width ? 90
                                         : 180;
  for (const AxisTick& t : PhiTicks()) {
    if (t.label.empty() || static_cast<int>(t.value + 90) % step != 0) {
      continue;
    }
    const int x = mapping.Snapped(t.value, 1).x;
    std::string label = TickText(t.label);
    const int width = measure.Width(face, label);
    text.items.push_back(
        {std::move(label), x - width / 2,
         bottom + (kTickLength + kTickLabelGap) * unit + fm.ascent});
  }
  for (const AxisTick& t : scene.axis.ticks) {
    if (t.label.empty()) continue;
    const int y = mapping.Snapped(-90, t.value).y;
    std::string label = TickText(t.label);
    const int width = measure.Width(face, label);
    text.items.push_back({std::move(label),
                          f.left - (kTickLength + kTickLabelGap) * unit - width,
                          y - fm.height / 2 + fm.ascent});
  }
  // The title in short where, centred under the frame, it would run out
  // of the picture.
  std::string phi_title = PhiAxisTitle();
  const int half = measure.Width(face, phi_title) / 2;
  const int margin = kChartMargin * unit;
  if (scene.layout.phi_title_x - half < margin ||
      scene.layout.phi_title_x + half > scene.layout.width - margin) {
    phi_title = "\xCF\x86 (\xC2\xB0)";
  }
  const int title_width = measure.Width(face, phi_title);
  text.items.push_back({std::move(phi_title),
                        scene.layout.phi_title_x - title_width / 2,
                        scene.layout.phi_title_baseline});
  text.items.push_back(
      {RfAxisTitle(), scene.layout.rf_title_x, scene.layout.rf_title_baseline});
  return text;
}

// A box of whole pixels, its edges inclusive.
struct Box {
  int left, top, right, bottom;
  bool Within(const Box& o) const {
    return left >= o.left && right <= o.right && top >= o.top &&
           bottom <= o.bottom;
  }
  bool Meets(const Box& o) const {
    return left <= o.right && o.left <= right && top <= o.bottom &&
           o.top <= bottom;
  }
};

// Each curve's initial ratio ("Ri = 1.25" at the first) above a point of
// the curve inside the frame, left out where it would touch a label before
// it. The screen's labels sit at each curve's highest point; a figure's,
// with a halo, at the point of the curve (its highest first) where the
// label covers the fewest data.
TextLayer ThetaCurveLabels(const RfPhiPlot& plot, const Scene& scene,
                           TextFace face, const TextMeasure& measure) {
  const bool figure = face == TextFace::kFigure;
  TextLayer text{face, kCurveLabelColour, {}, figure};
  const FaceMetrics fm = measure.Metrics(face);
  const PixelRect& f = scene.layout.plot;
  const int u = scene.layout.unit;
  const Box frame{f.left + u, f.top + u, f.left + f.width - u,
                  f.top + f.height - u};
  const PlotMapping mapping = PlotMapping::RfPhi(scene.layout, scene.axis);
  std::vector<Pixel> data;
  if (figure) {
    for (const RfPhiSeries* s : {&plot.measured, &plot.retrodeformed}) {
      if (!s->Active()) continue;
      const std::vector<RfPhiPoint>& points = s->Points();
      const std::size_t step =
          std::max<std::size_t>(1, points.size() / kLabelDataSample);
      for (std::size_t i = 0; i < points.size(); i += step) {
        data.push_back(mapping.Snapped(points[i].phi, points[i].ratio));
      }
    }
  }
  auto covered = [&data](const Box& box) {
    return std::count_if(data.begin(), data.end(), [&box](const Pixel& p) {
      return p.x >= box.left && p.x <= box.right && p.y >= box.top &&
             p.y <= box.bottom;
    });
  };
  std::vector<Box> placed;
  for (const ThetaCurve& curve : plot.ThetaCurves()) {
    // The highest point first, then (on a figure) points along the curve.
    std::vector<const RfPhiPoint*> at;
    for (const auto& piece : curve.pieces) {
      if (piece.size() < 2) continue;
      for (const RfPhiPoint& p : piece) {
        if (static_cast<double>(p.ratio) <= scene.axis.maximum &&
            (at.empty() || p.ratio > at.front()->ratio)) {
          at.assign(1, &p);
        }
      }
    }
    if (at.empty()) continue;
    if (figure) {
      for (const auto& piece : curve.pieces) {
        const std::size_t step = std::max<std::size_t>(1, piece.size() / 12);
        for (std::size_t i = 0; i < piece.size(); i += step) {
          if (static_cast<double>(piece[i].ratio) <= scene.axis.maximum) {
            at.push_back(&piece[i]);
          }
        }
      }
    }
    std::string label =
        ThetaCurveRatiosText({curve.initial_ratio}, plot.DecimalSeparator());
    if (placed.empty()) label = "Ri = " + label;
    const int width = measure.Width(face, label);
    if (width <= 0 || fm.height <= 0) continue;
    std::optional<Box> best;
    long fewest = 0;
    for (const RfPhiPoint* p : at) {
      const Pixel point = mapping.Snapped(p->phi, p->ratio);
      int left = point.x - width / 2;
      int box_top = point.y - 2 * u - fm.height;
      if (box_top < frame.top) box_top = point.y + 3 * u;
      left = std::clamp(left, frame.left + u,
                        std::max(frame.left + u, frame.right - u - width));
      const Box box{left, box_top, left + width - 1, box_top + fm.height - 1};
      if (!box.Within(frame)) continue;
      const bool touches =
          std::any_of(placed.begin(), placed.end(), [&box, u](const Box& r) {
            return Box{r.left - 2 * u, r.top - u, r.right + 2 * u, r.bottom + u}
                .Meets(box);
          });
      if (touches) continue;
      const long n = covered(box);
      if (!best || n < fewest) {
        best = box;
        fewest = n;
      }
      if (!figure || n == 0) break;
    }
    if (!best) continue;
    placed.push_back(*best);
    text.items.push_back({std::move(label), best->left, best->top + fm.ascent});
  }
  return text;
}

}  // namespace

RfPhiLayout LayOutRfPhiPlot(const RfPhiPlot& plot, const PlotCanvas& canvas,
                            const TextMeasure& measure) {
  return MakeScene(plot, canvas, measure).layout;
}

SeriesStyle RfPhiStyle(const RfPhiPlot& plot, const RfPhiSeries& series,
                       ChartPalette palette) {
  const EqualAreaChart& roles = Roles();
  const PolarSeries* role = &roles.measured;
  if (&series == &plot.retrodeformed) role = &roles.retrodeformed;
  if (&series == &plot.optimal) role = &roles.optimal;
  if (&series == &plot.measured_highlight) role = &roles.measured_highlight;
  if (&series == &plot.retrodeformed_highlight) {
    role = &roles.retrodeformed_highlight;
  }
  SeriesStyle style = PaletteStyle(roles, *role, palette);
  // As on the chart: once the strain is shown its legend sample carries the
  // line behind the cross.
  if (&series == &plot.optimal && series.Count() > 0) style.line_visible = true;
  return style;
}

PlotModel RfPhiPlot::Model(const PlotCanvas& canvas,
                           const TextMeasure& measure) const {
  Scene scene = MakeScene(*this, canvas, measure);
  const ChartRenderOptions& options = canvas.options;
  const TextFace face = LabelFace(options);
  PlotModel model;
  model.notes = std::move(scene.notes);
  model.width = scene.size.x;
  model.height = scene.size.y;
  model.scale = scene.scale;
  model.mapping = PlotMapping::RfPhi(scene.layout, scene.axis);
  for (const RfPhiSeries* s : SeriesList()) model.series.push_back(s);
  auto& layers = model.layers;
  layers.emplace_back(Grid(scene));
  // The density of the data under the markers, over the grid lines, with
  // its note at the bottom left of the frame.
  const PixelRect& f = scene.layout.plot;
  if (density_contours != nullptr && f.width > 0 && f.height > 0) {
    layers.emplace_back(
        BandLayer{density_contours, BandLayer::Coordinates::kLogRatio, true});
    if (!density_contours->bands.empty()) {
      // A figure's note and key go over the data, later, where they fit.
      const bool keyed =
          options.print &&
          FitsDensityKeyBox(
              *density_contours,
              DensityNoteText(*density_contours, DecimalSeparator()), f,
              DecimalSeparator(), measure, options.unit);
      if (!keyed) {
        const FaceMetrics fm = measure.Metrics(TextFace::kFigure);
        layers.emplace_back(
            TextLayer{TextFace::kFigure,
                      kDensityNoteColour,
                      {{DensityNoteText(*density_contours, DecimalSeparator()),
                        f.left + 2 * options.unit,
                        f.top + f.height - fm.descent - options.unit}}});
      }
    }
  }
  auto markers = [&](const RfPhiSeries& s) {
    if (s.Active() && s.Count() > 0) {
      layers.emplace_back(Markers(*this, s, scene, options));
    }
  };
  markers(retrodeformed);
  markers(measured);
  // The curves over the data, where they can be read against them; the
  // optimal strain, where every curve is centred, over the curves.
  if (ShowThetaCurves()) layers.emplace_back(ThetaCurveLines(*this));
  markers(optimal);
  markers(measured_highlight);
  markers(retrodeformed_highlight);
  layers.emplace_back(FrameLines(scene));
  layers.emplace_back(Ticks(scene));
  layers.emplace_back(AxisText(scene, face, measure));
  if (ShowThetaCurves()) {
    layers.emplace_back(ThetaCurveLabels(
        *this, scene,
        options.figure_style ? TextFace::kFigure : TextFace::kScreen, measure));
  }
  if (options.print && density_contours != nullptr && f.width > 0 &&
      f.height > 0) {
    // On a figure the density's key and note lie in a corner of the frame
    // over the data, where they cover the fewest.
    AddDensityKeyBox(layers, *density_contours,
                     DensityNoteText(*density_contours, DecimalSeparator()), f,
                     DecimalSeparator(), measure, options.unit);
  }
  if (scene.placement == LegendPlacement::kInside) {
    PlaceLegendInside(scene.legend.layout, scene.layout.plot, layers,
                      options.unit);
  }
  if (scene.placement != LegendPlacement::kNone) {
    layers.emplace_back(std::move(scene.legend));
  }
  if (!scene.caption.empty())
    layers.emplace_back(CaptionLayer(scene.caption, scene.layout.plot,
                                     scene.layout.width, scene.layout.height,
                                     scene.layout.unit, measure));
  return model;
}

void RfPhiPlot::ToggleLegendEntry(int id) {
  switch (static_cast<RfPhiEntry>(id)) {
    case RfPhiEntry::kRetrodeformed:
      retrodeformed.SetActive(!retrodeformed.Active());
      break;
    case RfPhiEntry::kMeasured:
      measured.SetActive(!measured.Active());
      break;
    case RfPhiEntry::kOptimal:
      optimal.SetActive(!optimal.Active());
      break;
    case RfPhiEntry::kThetaCurves:
      SetShowThetaCurves(!ShowThetaCurves());
      break;
  }
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "chart/fry_plot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "chart/rf_phi_plot.h"  // the ticks' and titles' lengths and gaps

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kGridColour = 0xE6E6E6;

// The frame shows this many fitted semi-major axes either side of the
// origin: the vacancy large, with the first ring of points around it.
constexpr double kSemiMajorsShown = 2.5;
// Without an ellipse, this many times the points' median distance.
constexpr double kMediansShown = 1.8;
// The frame reaches past the farthest point and the longest ellipse by
// these shares.
constexpr double kPointsRoom = 1.05;
constexpr double kEllipseRoom = 1.15;
// The data's range the axis handles: far beyond any measured lengths, and
// far inside a double's range, so that every tick is finite.
constexpr double kLeastExtent = 1e-30;
constexpr double kLargestExtent = 1e30;

constexpr int kEllipseVertexCount = 256;
// The dashed ellipse is cut from a finer polygon, its dashes and gaps this
// long in screen pixels.
constexpr int kDashedVertexCount = 720;
constexpr double kDashLength = 6;
constexpr double kGapLength = 4;
// Directions at which the bootstrap range is sampled.
constexpr int kRangeDirections = 360;

// A finite ellipse of ratio >= 1.
bool FiniteEllipse(const CentreEstimate& e) {
  return std::isfinite(e.semi_major) && std::isfinite(e.semi_minor) &&
         e.semi_minor > 0 && e.semi_major >= e.semi_minor &&
         std::isfinite(e.phi) && std::isfinite(e.semi_major * e.semi_minor);
}

// The ellipse of ratio `ratio` and orientation `phi` whose area is that of
// a circle of radius sqrt(`ab`).
CentreEstimate EllipseOfArea(double ab, double ratio, double phi) {
  CentreEstimate e;
  e.ratio = ratio;
  e.phi = phi;
  e.semi_major = std::sqrt(ab * ratio);
  e.semi_minor = std::sqrt(ab / ratio);
  return e;
}

// The distance from the centre of an ellipse to its edge in direction
// `theta` (radians).
double PolarRadius(const CentreEstimate& e, double theta) {
  const double d = theta - e.phi * kRadiansPerDegree;
  const double c = e.semi_minor * std::cos(d), s = e.semi_major * std::sin(d);
  return e.semi_major * e.semi_minor / std::sqrt(c * c + s * s);
}

constexpr FryEntry kEntries[] = {FryEntry::kPoints, FryEntry::kFitted,
                                 FryEntry::kHyperbolic, FryEntry::kBootstrap};

// Whether the plot has what the entry stands for.
bool Has(const FryPlot& plot, FryEntry entry) {
  switch (entry) {
    case FryEntry::kPoints:
      return plot.PointCount() > 0;
    case FryEntry::kFitted:
      return plot.HasFitted();
    case FryEntry::kHyperbolic:
      return plot.HasHyperbolic();
    case FryEntry::kBootstrap:
      return !plot.BootstrapOuter().empty();
  }
  return false;
}

bool Drawn(const FryPlot& plot, FryEntry entry) {
  return plot.Shown(entry) && Has(plot, entry);
}

struct TextMetrics {
  int height = 13;
  int ascent = 10;
  int widest_label = 20;  // the widest tick label
};

TextMetrics MetricsOf(const FryAxis& axis, TextFace face,
                      const TextMeasure& measure) {
  const FaceMetrics fm = measure.Metrics(face);
  TextMetrics m;
  m.height = fm.height;
  m.ascent = fm.ascent;
  m.widest_label = 0;
  for (const AxisTick& t : axis.ticks) {
    if (t.label.empty()) continue;
    m.widest_label = std::max(m.widest_label, measure.Width(face, t.label));
  }
  return m;
}

// The square frame left of the legend (or below it where a narrow picture
// leaves more room there), with room at the left for the y labels, above
// for the y title and below for the x labels and title; `footer` pixels at
// the bottom are kept for the caption.
FryLayout LayOut(int width, int height, const LegendLayout& legend,
                 const TextMetrics& m, int footer, int unit) {
  const int margin = kChartMargin * unit, title_gap = kAxisTitleGap * unit,
            label_gap = kTickLabelGap * unit, tick = kTickLength * unit,
            shadow = kLegendShadow * unit;
  FryLayout l;
  l.width = width;
  l.height = height;
  l.unit = unit;
  const int labels_left = margin + m.widest_label + label_gap + tick;
  const int right_room = std::max(margin, (m.widest_label + 1) / 2 + unit);
  // Above the frame: the y title, a gap and half a label over the top tick.
  const int above = m.height + title_gap + m.height / 2;
  const int below = tick + label_gap + m.height + title_gap + m.height;
  const int bottom = height - footer - margin - below;
  auto square = [](int left, int top, int right, int lowest) {
    const int w = std::max(0, right - left), h = std::max(0, lowest - top);
    const int side = std::min(w, h);
    return PixelRect{left + (w - side) / 2, top + (h - side) / 2, side, side};
  };
  const int legend_column =
      legend.box.width > 0 ? legend.box.width + shadow + 2 * margin : 0;
  l.plot = square(labels_left, margin + above,
                  width - legend_column - right_room, bottom);
  if (legend.box.height > 0) {
    // A narrow picture: the frame below the legend where that is larger.
    const PixelRect under =
        square(labels_left,
               legend.box.top + legend.box.height + shadow + margin + above,
               width - right_room, bottom);
    if (under.width > l.plot.width) l.plot = under;
  }
  const PixelRect& f = l.plot;
  l.x_title_x = f.left + f.width / 2;
  l.x_title_baseline = f.top + f.height + below - (m.height - m.ascent);
  l.y_title_x = std::max(margin, f.left - tick - label_gap - m.widest_label);
  l.y_title_baseline = f.top - m.height / 2 - title_gap - (m.height - m.ascent);
  return l;
}

// The legend: on the screen the points and the fitted vacancy, and the
// others where the plot has them, with check boxes; on a figure only what
// is drawn.
LegendLayer MakeLegend(const FryPlot& plot, int width,
                       const ChartRenderOptions& options,
                       const TextMeasure& measure) {
  LegendLayer legend;
  legend.figure_style = options.figure_style;
  const TextFace face = LabelFace(options);
  std::vector<int> widths;
  for (const FryEntry entry : kEntries) {
    const bool listed = options.figure_style ? Drawn(plot, entry)
                                             : entry == FryEntry::kPoints ||
                                                   entry == FryEntry::kFitted ||
                                                   Has(plot, entry);
    if (!listed) continue;
    const SeriesStyle style = FryStyle(entry, options.palette);
    legend.items.push_back({style, plot.Shown(entry), static_cast<int>(entry)});
    widths.push_back(measure.Width(face, style.title));
  }
  legend.layout = LayOutLegendOfTitles(width, widths, face, options, measure);
  return legend;
}

// Everything the layers are laid out from.
struct Scene {
  double scale = 1;
  Pixel size;  // the plot's own pixels
  FryAxis axis;
  LegendLayer legend;
  LegendPlacement placement = LegendPlacement::kOutside;
  std::vector<std::string> caption;
  FryLayout layout;
  std::vector<std::string> notes;  // what a figure left out or moved
};

Scene MakeScene(const FryPlot& plot, const PlotCanvas& canvas,
                const TextMeasure& measure) {
  Scene scene;
  scene.scale = ValidScale(canvas.options.scale);
  scene.size = OwnSize(canvas.width, canvas.height, scene.scale);
  scene.axis = plot.Axis();
  scene.legend = MakeLegend(plot, scene.size.x, canvas.options, measure);
  const TextMetrics metrics =
      MetricsOf(scene.axis, LabelFace(canvas.options), measure);
  auto fitted = FitLayout(canvas.options, scene.size, scene.legend.layout,
                          measure, [&](const LegendLayout& beside, int footer) {
                            return LayOut(scene.size.x, scene.size.y, beside,
                                          metrics, footer, canvas.options.unit);
                          });
  TakeFitted(scene, std::move(fitted));
  return scene;
}

PlotMapping MappingOf(const Scene& scene) {
  const double e = scene.axis.extent;
  return PlotMapping::Cartesian(scene.layout.plot, {-e, e, false},
                                {-e, e, false});
}

// The grid lines at the labelled ticks, across the frame.
LineLayer Grid(const Scene& scene) {
  LineLayer grid;
  grid.colour = kGridColour;
  const double e = scene.axis.extent;
  for (const AxisTick& t : scene.axis.ticks) {
    if (t.label.empty()) continue;
    grid.lines.push_back({{t.value, -e, 0, 0}, {t.value, e, 0, 0}});
    grid.lines.push_back({{-e, t.value, 0, 0}, {e, t.value, 0, 0}});
  }
  return grid;
}

MarkerLayer PointMarkers(const FryPlot& plot, const Scene& scene,
                         const PlotMapping& mapping,
                         const ChartRenderOptions& options) {
  MarkerLayer m;
  m.style = FryStyle(FryEntry::kPoints, options.palette);
  m.source = &plot.Points();
  m.revision = plot.Revision();
  m.own_layer = true;
  const PixelRect& f = scene.layout.plot;
  m.placement = {static_cast<double>(f.left),
                 static_cast<double>(f.top),
                 static_cast<double>(f.width),
                 static_cast<double>(f.height),
                 scene.axis.extent,
                 static_cast<double>(static_cast<int>(options.palette))};
  m.count = plot.FramedCount();
  // The plot's own points, x and y in turn: nothing is copied per drawing.
  const float* xy = plot.Points().data();
  m.pixel = [xy, mapping](std::size_t i) {
    return mapping.Snapped(xy[2 * i], xy[2 * i + 1]);
  };
  m.place = [xy, mapping](std::size_t i) {
    return mapping.Exact(xy[2 * i], xy[2 * i + 1]);
  };
  return m;
}

LineLayer CurveOf(FryEntry entry, const ChartRenderOptions& options) {
  LineLayer line =
      SeriesLine(FryStyle(entry, options.palette), LineLayer::Ends::kFlatRound,
                 LineLayer::Clip::kAlways);
  line.raster = LineLayer::Raster::kSmooth;
  return line;
}

std::vector<PlotVertex> Vertices(
    const std::vector<std::pair<double, double>>& points) {
  std::vector<PlotVertex> line;
  line.reserve(points.size());
  for (const auto& [x, y] : points) line.push_back({x, y, 0, 0});
  return line;
}

LineLayer Ellipse(FryEntry entry, const CentreEstimate& e,
                  const ChartRenderOptions& options) {
  LineLayer line = CurveOf(entry, options);
  line.closed = true;
  line.lines.push_back(Vertices(
      EllipseVertices(e.semi_major, e.semi_minor, e.phi, kEllipseVertexCount)));
  return line;
}

// The ellipse in dashes of about kDashLength screen pixels, kGapLength
// apart, a whole number of them around it (a line layer has no dash
// pattern of its own, so that every device draws the same dashes).
LineLayer DashedEllipse(FryEntry entry, const CentreEstimate& e,
                        const PlotMapping& mapping,
                        const ChartRenderOptions& options) {
  LineLayer line = CurveOf(entry, options);
  const std::vector<std::pair<double, double>> v =
      EllipseVertices(e.semi_major, e.semi_minor, e.phi, kDashedVertexCount);
  const std::size_t n = v.size();
  std::vector<double> length(n);  // of the side from vertex i
  double perimeter = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& [x0, y0] = v[i];
    const auto& [x1, y1] = v[(i + 1) % n];
    const PlotPosition p = mapping.Exact(x0, y0), q = mapping.Exact(x1, y1);
    length[i] = std::hypot(q.x - p.x, q.y - p.y);
    perimeter += length[i];
  }
  const double period = (kDashLength + kGapLength) * options.unit;
  if (!(perimeter > period) || !std::isfinite(perimeter)) return line;
  const double stretch = perimeter / (std::round(perimeter / period) * period);
  const double dash = kDashLength * options.unit * stretch;
  const double whole = period * stretch;
  std::vector<PlotVertex> piece;
  double start = 0;  // the distance along the ellipse to vertex i
  for (std::size_t i = 0; i < n; ++i) {
    const double end = start + length[i];
    const std::pair<double, double> p = v[i], q = v[(i + 1) % n];
    const double side = length[i], from = start;
    auto at = [p, q, side, from](double s) {
      const double f = side > 0 ? (s - from) / side : 0;
      return PlotVertex{p.first + f * (q.first - p.first),
                        p.second + f * (q.second - p.second), 0, 0};
    };
    double s = start;
    while (s < end) {
      const double phase = std::fmod(s, whole);
      const bool drawing = phase < dash;
      const double boundary = s - phase + (drawing ? dash : whole);
      const double to = std::min(boundary, end);
      if (drawing) {
        if (piece.empty()) piece.push_back(at(s));
        piece.push_back(at(to));
        if (to >= boundary) {  // the dash ends here
          line.lines.push_back(std::move(piece));
          piece.clear();
        }
      }
      if (!(to > s)) break;  // no progress in floating point: next side
      s = to;
    }
    start = end;
  }
  if (piece.size() >= 2) line.lines.push_back(std::move(piece));
  return line;
}

LineLayer BootstrapRange(const FryPlot& plot,
                         const ChartRenderOptions& options) {
  LineLayer line = CurveOf(FryEntry::kBootstrap, options);
  line.closed = true;
  line.lines.push_back(Vertices(plot.BootstrapInner()));
  line.lines.push_back(Vertices(plot.BootstrapOuter()));
  return line;
}

// The frame of the data.
LineLayer FrameLines(const Scene& scene) {
  LineLayer frame;
  frame.closed = true;
  frame.frame = true;
  const double e = scene.axis.extent;
  frame.lines.push_back(
      {{-e, -e, 0, 0}, {e, -e, 0, 0}, {e, e, 0, 0}, {-e, e, 0, 0}});
  return frame;
}

// The ticks outside the frame, below it and at its left.
LineLayer Ticks(const Scene& scene) {
  const double unit = scene.layout.unit;
  const double e = scene.axis.extent;
  LineLayer ticks;
  ticks.frame = true;
  for (const AxisTick& t : scene.axis.ticks) {
    const double length =
        (t.label.empty() ? kMinorTickLength : kTickLength) * unit;
    ticks.lines.push_back({{t.value, -e, 0, unit}, {t.value, -e, 0, length}});
    ticks.lines.push_back({{-e, t.value, -length, 0}, {-e, t.value, -unit, 0}});
  }
  return ticks;
}

TextLayer AxisText(const FryPlot& plot, const Scene& scene, TextFace face,
                   const TextMeasure& measure) {
  const FaceMetrics fm = measure.Metrics(face);
  const PlotMapping mapping = MappingOf(scene);
  const FryLayout& l = scene.layout;
  const PixelRect& f = l.plot;
  const int unit = l.unit, margin = kChartMargin * unit;
  const double e = scene.axis.extent;
  TextLayer text{face, kBlack, {}};
  std::vector<const AxisTick*> labelled;
  int widest = 0;
  for (const AxisTick& t : scene.axis.ticks) {
    if (t.label.empty()) continue;
    labelled.push_back(&t);
    widest = std::max(widest, measure.Width(face, t.label));
  }
  // Every label where they have room, else every other one from the
  // origin, and so on: on a small plot they never run into each other.
  const int count = static_cast<int>(labelled.size());
  const int room = std::max(widest, fm.height) + 4 * unit;
  int stride = 1;
  while (stride < count && (count - 1) * room > stride * f.width) ++stride;
  const int middle = count / 2;  // the origin's label
  for (int i = 0; i < count; ++i) {
    if ((i - middle) % stride != 0) continue;
    const AxisTick& t = *labelled[static_cast<std::size_t>(i)];
    const int width = measure.Width(face, t.label);
    const int x = mapping.Snapped(t.value, -e).x;
    text.items.push_back(
        {t.label, x - width / 2,
         f.top + f.height + (kTickLength + kTickLabelGap) * unit + fm.ascent});
    const int y = mapping.Snapped(-e, t.value).y;
    text.items.push_back({t.label,
                          f.left - (kTickLength + kTickLabelGap) * unit - width,
                          y - fm.height / 2 + fm.ascent});
  }
  const std::string x_title = FryAxisTitle(plot.Normalised(), false);
  const int x_width = measure.Width(face, x_title);
  text.items.push_back(
      {x_title,
       std::clamp(l.x_title_x - x_width / 2, margin,
                  std::max(margin, l.width - margin - x_width)),
       l.x_title_baseline});
  text.items.push_back(
      {FryAxisTitle(plot.Normalised(), true), l.y_title_x, l.y_title_baseline});
  return text;
}

}  // namespace

FryAxis MakeFryAxis(double wanted, const std::string& sep) {
  if (!(wanted > 0) || !std::isfinite(wanted)) wanted = 1;
  wanted = std::clamp(wanted, kLeastExtent, kLargestExtent);
  // The largest step of 1, 2 or 5 times a power of ten that leaves at
  // least two steps from the origin to `wanted` (and fewer than five: the next
  // is at most 2.5 times as large).
  int exponent = static_cast<int>(std::floor(std::log10(wanted))) + 1;
  long long mantissa = 1;
  for (int guard = 0; guard < 8; ++guard) {
    if (wanted / DecimalValue(mantissa, exponent) >= 2 * (1 - 1e-12)) break;
    if (mantissa == 1) {
      mantissa = 5;
      --exponent;
    } else if (mantissa == 5) {
      mantissa = 2;
    } else {
      mantissa = 1;
    }
  }
  // The extent: `wanted` rounded up to a tenth of the step, so that the
  // frame is hardly larger than asked.
  const double tenth = DecimalValue(mantissa, exponent - 1);
  const long long tenths =
      std::max(1LL, static_cast<long long>(std::ceil(wanted / tenth - 1e-9)));
  FryAxis axis;
  axis.extent = DecimalValue(tenths * mantissa, exponent - 1);
  // Half steps within the extent, every other one labelled: value
  // i x mantissa x 5 x 10^(exponent - 1).
  const long long halves = tenths / 5;
  for (long long i = -halves; i <= halves; ++i) {
    const double value = DecimalValue(i * mantissa * 5, exponent - 1);
    axis.ticks.push_back(
        {value, i % 2 == 0 ? TickLabel(value, sep, true) : std::string()});
  }
  return axis;
}

std::string FryAxisTitle(bool normalised, bool upwards) {
  std::string title = upwards ? "\xCE\x94y" : "\xCE\x94x";
  return normalised ? "Normalised " + title : title;
}

std::vector<std::pair<double, double>> EllipseVertices(double a, double b,
                                                       double phi, int count) {
  std::vector<std::pair<double, double>> v;
  if (count <= 0) return v;
  v.reserve(static_cast<std::size_t>(count));
  const double c = std::cos(phi * kRadiansPerDegree);
  const double s = std::sin(phi * kRadiansPerDegree);
  for (int i = 0; i < count; ++i) {
    const double t = 2 * kPi * i / count;
    const double u = a * std::cos(t), w = b * std::sin(t);
    v.emplace_back(u * c - w * s, u * s + w * c);
  }
  return v;
}

SeriesStyle FryStyle(FryEntry entry, ChartPalette palette) {
  // The colour-blind palette takes Okabe and Ito's black, vermillion, blue
  // and bluish green; the standard one the screen's red of a strain and
  // green of the bootstrap.
  const bool okabe_ito = palette == ChartPalette::kColourBlind;
  SeriesStyle s;
  switch (entry) {
    case FryEntry::kPoints:
      s.title = "Fry points";
      s.color = okabe_ito ? 0x000000 : 0x202020;
      s.marker = MarkerStyle::kCircle;
      s.half_width = s.half_height = 1;
      s.fill = s.color;
      s.transparency = 35;  // where points crowd they darken
      s.line_color = s.color;
      return s;
    case FryEntry::kFitted:
      s.title = "Fitted vacancy";
      s.color = okabe_ito ? 0xD55E00 : 0xFF0000;
      s.line_width = 2;
      break;
    case FryEntry::kHyperbolic:
      s.title = "Hyperbolic mean";
      s.color = okabe_ito ? 0x0072B2 : 0x0000FF;
      s.line_width = 1.5;
      break;
    case FryEntry::kBootstrap:
      s.title = "Bootstrap range";
      s.color = okabe_ito ? 0x009E73 : 0x95B443;
      s.line_width = 1;
      break;
  }
  s.marker = MarkerStyle::kNone;
  s.line_visible = true;
  s.line_color = s.color;
  return s;
}

void FryPlot::Clear() {
  points_.clear();
  points_.shrink_to_fit();
  framed_ = 0;
  revision_ = NextSeriesRevision();
  has_fitted_ = has_hyperbolic_ = false;
  fitted_ = hyperbolic_ = CentreEstimate{};
  bootstrap_inner_.clear();
  bootstrap_outer_.clear();
  wanted_ = 1;
}

void FryPlot::ShowCentres(const CentreStrainResult& centres,
                          float hyperbolic_ratio, float hyperbolic_phi,
                          bool have_hyperbolic) {
  Clear();
  normalised_ = centres.method != CentreMethod::kFry;
  if (!centres.status.ok()) return;
  points_.assign(centres.points.begin(),
                 centres.points.begin() + static_cast<std::ptrdiff_t>(
                                              centres.points.size() / 2 * 2));
  revision_ = NextSeriesRevision();

  // The fitted ellipse at the estimate's ratio and orientation and at the
  // area of its semi-axes.
  const CentreEstimate& e = centres.estimate;
  if (FiniteEllipse(e)) {
    const double ab = e.semi_major * e.semi_minor;
    const double ratio = std::isfinite(e.ratio) && e.ratio >= 1
                             ? e.ratio
                             : e.semi_major / e.semi_minor;
    fitted_ = EllipseOfArea(ab, ratio, e.phi);
    has_fitted_ = FiniteEllipse(fitted_);
  }
  double hr = hyperbolic_ratio, hphi = hyperbolic_phi;
  if (hr > 0 && hr < 1) {  // the same ellipse, its axes named the other way
    hr = 1 / hr;
    hphi += 90;
  }
  if (has_fitted_ && have_hyperbolic && std::isfinite(hr) && hr >= 1 &&
      std::isfinite(hphi)) {
    hyperbolic_ = EllipseOfArea(fitted_.semi_major * fitted_.semi_minor, hr,
                                std::remainder(hphi, 180.0));
    has_hyperbolic_ = FiniteEllipse(hyperbolic_);
  }

  // The bootstrap range: in each direction the least and the largest reach
  // of the kept solutions, each at the fitted ellipse's area, so that the
  // band shows the spread of R and phi alone.
  if (has_fitted_ && centres.outcome != CentreLimitsOutcome::kNotRun) {
    const double ab = fitted_.semi_major * fitted_.semi_minor;
    std::vector<double> inner(kRangeDirections,
                              std::numeric_limits<double>::infinity());
    std::vector<double> outer(kRangeDirections, 0.0);
    bool any = false;
    for (const CentreEstimate& k : centres.kept) {
      if (!std::isfinite(k.ratio) || k.ratio < 1 || !std::isfinite(k.phi)) {
        continue;
      }
      const CentreEstimate solution = EllipseOfArea(ab, k.ratio, k.phi);
      if (!FiniteEllipse(solution)) continue;
      any = true;
      for (int j = 0; j < kRangeDirections; ++j) {
        const double r = PolarRadius(solution, 2 * kPi * j / kRangeDirections);
        inner[static_cast<std::size_t>(j)] =
            std::min(inner[static_cast<std::size_t>(j)], r);
        outer[static_cast<std::size_t>(j)] =
            std::max(outer[static_cast<std::size_t>(j)], r);
      }
    }
    if (any) {
      for (int j = 0; j < kRangeDirections; ++j) {
        const double t = 2 * kPi * j / kRangeDirections;
        const auto u = static_cast<std::size_t>(j);
        bootstrap_inner_.emplace_back(inner[u] * std::cos(t),
                                      inner[u] * std::sin(t));
        bootstrap_outer_.emplace_back(outer[u] * std::cos(t),
                                      outer[u] * std::sin(t));
      }
    }
  }

  // The extent: the vacancy and its first ring of points.
  double farthest = 0;
  std::vector<double> sample;
  const std::size_t n = PointCount();
  const std::size_t step = std::max<std::size_t>(1, n / kLabelDataSample);
  for (std::size_t i = 0; i < n; ++i) {
    const double x = points_[2 * i], y = points_[2 * i + 1];
    const double d = std::sqrt(x * x + y * y);
    if (!std::isfinite(d)) continue;
    farthest = std::max(farthest, d);
    if (i % step == 0 && d > 0) sample.push_back(d);
  }
  if (has_fitted_) {
    const double reach = std::max(
        fitted_.semi_major, has_hyperbolic_ ? hyperbolic_.semi_major : 0.0);
    wanted_ = kSemiMajorsShown * fitted_.semi_major;
    if (farthest > 0) wanted_ = std::min(wanted_, kPointsRoom * farthest);
    wanted_ = std::max(wanted_, kEllipseRoom * reach);
  } else if (!sample.empty()) {
    const auto middle =
        sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 2);
    std::nth_element(sample.begin(), middle, sample.end());
    wanted_ = std::min(kMediansShown * *middle, kPointsRoom * farthest);
  }
  if (!(wanted_ > 0) || !std::isfinite(wanted_)) wanted_ = 1;

  // The points within the frame first: markers are not cut at the frame,
  // so only those are drawn.
  const double extent = MakeFryAxis(wanted_).extent;
  for (std::size_t i = 0; i < n; ++i) {
    const float x = points_[2 * i], y = points_[2 * i + 1];
    if (static_cast<double>(std::abs(x)) <= extent &&
        static_cast<double>(std::abs(y)) <= extent) {
      std::swap(points_[2 * framed_], points_[2 * i]);
      std::swap(points_[2 * framed_ + 1], points_[2 * i + 1]);
      ++framed_;
    }
  }
}

bool FryPlot::Shown(FryEntry entry) const {
  return shown_[static_cast<std::size_t>(entry)];
}

void FryPlot::SetShown(FryEntry entry, bool on) {
  shown_[static_cast<std::size_t>(entry)] = on;
}

void FryPlot::ToggleLegendEntry(int id) {
  if (id < 0 || id >= static_cast<int>(shown_.size())) return;
  const auto entry = static_cast<FryEntry>(id);
  SetShown(entry, !Shown(entry));
}

FryLayout LayOutFryPlot(const FryPlot& plot, const PlotCanvas& canvas,
                        const TextMeasure& measure) {
  return MakeScene(plot, canvas, measure).layout;
}

PlotModel FryPlot::Model(const PlotCanvas& canvas,
                         const TextMeasure& measure) const {
  Scene scene = MakeScene(*this, canvas, measure);
  const ChartRenderOptions& options = canvas.options;
  PlotModel model;
  model.notes = std::move(scene.notes);
  model.width = scene.size.x;
  model.height = scene.size.y;
  model.scale = scene.scale;
  model.mapping = MappingOf(scene);
  model.series.push_back(&points_);
  auto& layers = model.layers;
  if (show_grid_) layers.emplace_back(Grid(scene));
  if (Drawn(*this, FryEntry::kPoints)) {
    layers.emplace_back(PointMarkers(*this, scene, model.mapping, options));
  }
  // The lines over the points, the fitted vacancy over the others.
  if (Drawn(*this, FryEntry::kBootstrap)) {
    layers.emplace_back(BootstrapRange(*this, options));
  }
  if (Drawn(*this, FryEntry::kHyperbolic)) {
    layers.emplace_back(DashedEllipse(FryEntry::kHyperbolic, hyperbolic_,
                                      model.mapping, options));
  }
  if (Drawn(*this, FryEntry::kFitted)) {
    layers.emplace_back(Ellipse(FryEntry::kFitted, fitted_, options));
  }
  layers.emplace_back(FrameLines(scene));
  layers.emplace_back(Ticks(scene));
  layers.emplace_back(AxisText(*this, scene, LabelFace(options), measure));
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

}  // namespace orvane

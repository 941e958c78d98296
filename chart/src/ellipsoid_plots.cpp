// SPDX-License-Identifier: MIT
#include "chart/ellipsoid_plots.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "chart/rf_phi_plot.h"  // the ticks' and titles' lengths and gaps

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180;
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kGridColour = 0xE6E6E6;
constexpr Rgb kReferenceColour = 0x808080;  // the line k = 1 and its label
constexpr Rgb kCloudGrey = 0x808080;

// The frame shows this share of the resamples on each scale: a few far
// outliers of a poorly constrained bootstrap do not shrink the estimate.
constexpr double kCloudShare = 0.99;
// The least eps_s the Hsu plot reaches (about the strain of the Flinn
// plot's least frame, ratios of 2), and a bound far beyond natural strains
// that keeps every arc finite.
constexpr double kLeastStrain = 0.5;
constexpr double kLargestStrain = 1e6;
// The axes and the frames reach this share past the largest value shown.
constexpr double kRoom = 1.05;

constexpr int kArcVertexCount = 61;  // a vertex a degree of the sector
constexpr int kPrimitiveVertexCount = 360;
constexpr int kConeVertexCount = 90;
// In screen pixels: the caps of the error cross and the arms of the net's
// centre cross either side of their centres, the north tick's length.
constexpr int kCapLength = 3;
constexpr int kCrossArm = 4;
constexpr int kNorthTick = 6;

// The value below which `share` of the finite values lie (the nearest
// rank); 0 for none.
double Percentile(std::vector<double> values, double share) {
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  if (values.empty()) return 0;
  const auto rank = static_cast<std::size_t>(
      std::ceil(share * static_cast<double>(values.size())));
  const auto k = static_cast<std::ptrdiff_t>(
      std::clamp<std::size_t>(rank, 1, values.size()) - 1);
  std::nth_element(values.begin(), values.begin() + k, values.end());
  return values[static_cast<std::size_t>(k)];
}

// The largest of `wanted` and `value` where `value` is finite.
double AtLeast(double wanted, double value) {
  return std::isfinite(value) ? std::max(wanted, value) : wanted;
}

// Moves the places for which `inside(x, y)` holds to the front, counts
// them, and gives the series a new revision.
template <typename Inside>
void FrameFirst(PlotPoints& points, Inside inside) {
  points.framed = 0;
  for (std::size_t i = 0; i < points.Count(); ++i) {
    if (!inside(points.xy[2 * i], points.xy[2 * i + 1])) continue;
    std::swap(points.xy[2 * points.framed], points.xy[2 * i]);
    std::swap(points.xy[2 * points.framed + 1], points.xy[2 * i + 1]);
    ++points.framed;
  }
  points.revision = NextSeriesRevision();
}

void ClearPoints(PlotPoints& points) {
  points.xy.clear();
  points.xy.shrink_to_fit();
  points.framed = 0;
  points.revision = NextSeriesRevision();
}

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
          a[0] * b[1] - a[1] * b[0]};
}

// The unit vector along `v`; none for a zero or infinite one.
std::optional<Vector3> Unit(const Vector3& v) {
  const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (!(n > 0) || !std::isfinite(n)) return std::nullopt;
  return Vector3{v[0] / n, v[1] / n, v[2] / n};
}

// The equal-area place of a unit vector: of its lower end (x, y, z), z <= 0,
// the distance sqrt(1 + z) from the centre towards (x, y), which is
// (x, y) / sqrt(1 - z) since x^2 + y^2 = (1 - z)(1 + z); never a division
// by zero.
PlanePoint LowerPlace(const Vector3& u) {
  const double s = u[2] > 0 ? -1.0 : 1.0;
  const double d = std::sqrt(1 - s * u[2]);
  return {s * u[0] / d, s * u[1] / d};
}

// Styles.

SeriesStyle Dots(std::string title) {
  SeriesStyle s;
  s.title = std::move(title);
  s.color = kCloudGrey;
  s.marker = MarkerStyle::kCircle;
  s.half_width = s.half_height = 1;
  s.fill = s.color;
  s.transparency = 35;  // where resamples crowd they darken
  s.line_color = s.color;
  return s;
}

SeriesStyle Marker(std::string title, Rgb colour, MarkerStyle marker,
                   int half) {
  SeriesStyle s;
  s.title = std::move(title);
  s.color = colour;
  s.marker = marker;
  s.half_width = s.half_height = half;
  s.fill = colour;
  s.outline = kBlack;
  s.line_color = colour;
  return s;
}

SeriesStyle Line(std::string title, Rgb colour, double width) {
  SeriesStyle s;
  s.title = std::move(title);
  s.color = colour;
  s.marker = MarkerStyle::kNone;
  s.line_visible = true;
  s.line_color = colour;
  s.line_width = width;
  return s;
}

// The estimate in the screen's red of a strain, or Okabe and Ito's
// vermillion.
Rgb EstimateColour(ChartPalette palette) {
  return palette == ChartPalette::kColourBlind ? 0xD55E00 : 0xFF0000;
}

// The layout every plot here shares.

// The pixels kept around the square frame for its labels (margins
// included).
struct Room {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct SquareLayout {
  int width = 0;
  int height = 0;
  PixelRect plot;  // the square frame of the data
  int unit = 1;
};

// The square frame left of the legend (or below it where a narrow picture
// leaves more room there), with `room` around it and `footer` pixels at the
// bottom kept for the caption.
SquareLayout LayOutSquare(int width, int height, const LegendLayout& legend,
                          const Room& room, int footer, int unit) {
  const int margin = kChartMargin * unit, shadow = kLegendShadow * unit;
  SquareLayout l;
  l.width = width;
  l.height = height;
  l.unit = unit;
  const int bottom = height - footer - room.bottom;
  auto square = [](int left, int top, int right, int lowest) {
    const int w = std::max(0, right - left), h = std::max(0, lowest - top);
    const int side = std::min(w, h);
    return PixelRect{left + (w - side) / 2, top + (h - side) / 2, side, side};
  };
  const int legend_column =
      legend.box.width > 0 ? legend.box.width + shadow + 2 * margin : 0;
  l.plot =
      square(room.left, room.top, width - legend_column - room.right, bottom);
  if (legend.box.height > 0) {
    const PixelRect under = square(
        room.left, legend.box.top + legend.box.height + shadow + room.top,
        width - room.right, bottom);
    if (under.width > l.plot.width) l.plot = under;
  }
  return l;
}

// A legend entry: what it stands for is drawn where it is shown and the
// plot has it; the screen lists it where the plot has it or `always`.
struct Entry {
  SeriesStyle style;
  int id = 0;
  bool shown = true;
  bool has = false;
  bool always = false;
  bool Drawn() const { return shown && has; }
};

LegendLayer MakeLegend(const std::vector<Entry>& entries, int width,
                       const ChartRenderOptions& options,
                       const TextMeasure& measure) {
  LegendLayer legend;
  legend.figure_style = options.figure_style;
  const TextFace face = LabelFace(options);
  std::vector<int> widths;
  for (const Entry& e : entries) {
    const bool listed = options.figure_style ? e.Drawn() : e.always || e.has;
    if (!listed) continue;
    legend.items.push_back({e.style, e.shown, e.id});
    widths.push_back(measure.Width(face, e.style.title));
  }
  if (legend.items.empty()) return legend;  // no box either
  legend.layout = LayOutLegendOfTitles(width, widths, face, options, measure);
  return legend;
}

// Everything the layers are laid out from.
struct Scene {
  double scale = 1;
  Pixel size;  // the plot's own pixels
  LegendLayer legend;
  LegendPlacement placement = LegendPlacement::kOutside;
  std::vector<std::string> caption;
  SquareLayout layout;
  std::vector<std::string> notes;  // what a figure left out or moved
};

Scene MakeScene(const PlotCanvas& canvas, const TextMeasure& measure,
                const std::vector<Entry>& entries, const Room& room) {
  Scene scene;
  const ChartRenderOptions& options = canvas.options;
  scene.scale = ValidScale(options.scale);
  scene.size = OwnSize(canvas.width, canvas.height, scene.scale);
  scene.legend = MakeLegend(entries, scene.size.x, options, measure);
  auto fitted =
      FitLayout(options, scene.size, scene.legend.layout, measure,
                [&](const LegendLayout& beside, int footer) {
                  return LayOutSquare(scene.size.x, scene.size.y, beside, room,
                                      footer, options.unit);
                });
  TakeFitted(scene, std::move(fitted));
  return scene;
}

PlotModel StartModel(Scene& scene) {
  PlotModel model;
  model.notes = std::move(scene.notes);
  model.width = scene.size.x;
  model.height = scene.size.y;
  model.scale = scene.scale;
  return model;
}

// The legend, inside the frame or beside it, and the caption: the last
// layers of every plot.
void FinishModel(PlotModel& model, Scene& scene,
                 const ChartRenderOptions& options,
                 const TextMeasure& measure) {
  const bool has_legend = !scene.legend.items.empty();
  if (has_legend && scene.placement == LegendPlacement::kInside) {
    PlaceLegendInside(scene.legend.layout, scene.layout.plot, model.layers,
                      options.unit);
  }
  if (has_legend && scene.placement != LegendPlacement::kNone) {
    model.layers.emplace_back(std::move(scene.legend));
  }
  if (!scene.caption.empty()) {
    model.layers.emplace_back(
        CaptionLayer(scene.caption, scene.layout.plot, scene.layout.width,
                     scene.layout.height, scene.layout.unit, measure));
  }
}

// A series' dots within the frame: the plot's own places, nothing copied
// per drawing.
MarkerLayer PointMarkers(const PlotPoints& points, const SeriesStyle& style,
                         const Scene& scene, const PlotMapping& mapping,
                         const ChartRenderOptions& options, double extent) {
  MarkerLayer m;
  m.style = style;
  m.source = &points;
  m.revision = points.revision;
  m.own_layer = true;
  const PixelRect& f = scene.layout.plot;
  m.placement = {static_cast<double>(f.left),
                 static_cast<double>(f.top),
                 static_cast<double>(f.width),
                 static_cast<double>(f.height),
                 extent,
                 static_cast<double>(static_cast<int>(options.palette))};
  m.count = points.framed;
  const double* xy = points.xy.data();
  m.pixel = [xy, mapping](std::size_t i) {
    return mapping.Snapped(xy[2 * i], xy[2 * i + 1]);
  };
  m.place = [xy, mapping](std::size_t i) {
    return mapping.Exact(xy[2 * i], xy[2 * i + 1]);
  };
  return m;
}

MarkerLayer OneMarker(const SeriesStyle& style, PlanePoint p,
                      const PlotMapping& mapping) {
  MarkerLayer m;
  m.style = style;
  m.count = 1;
  m.pixel = [p, mapping](std::size_t) {
    return mapping.Snapped(p.first, p.second);
  };
  m.place = [p, mapping](std::size_t) {
    return mapping.Exact(p.first, p.second);
  };
  return m;
}

LineLayer Curve(const SeriesStyle& style, LineLayer::Clip clip) {
  LineLayer line = SeriesLine(style, LineLayer::Ends::kFlatRound, clip);
  line.raster = LineLayer::Raster::kSmooth;
  return line;
}

std::vector<PlotVertex> Vertices(const std::vector<PlanePoint>& points) {
  std::vector<PlotVertex> line;
  line.reserve(points.size());
  for (const auto& [x, y] : points) line.push_back({x, y, 0, 0});
  return line;
}

// Labels along an axis are thinned, every other one from the first and so
// on, until they no longer run into each other on a small plot.
int LabelStride(int count, int widest, int height, int length, int unit) {
  const int room = std::max(widest, height) + 4 * unit;
  int stride = 1;
  while (stride < count && (count - 1) * room > stride * length) ++stride;
  return stride;
}

// Text centred on `centre`, kept within the plot's width.
TextItem Centred(const std::string& text, int centre, int baseline,
                 const SquareLayout& l, TextFace face,
                 const TextMeasure& measure) {
  const int margin = kChartMargin * l.unit;
  const int width = measure.Width(face, text);
  return {text,
          std::clamp(centre - width / 2, margin,
                     std::max(margin, l.width - margin - width)),
          baseline};
}

// The Flinn plot.

constexpr FlinnEntry kFlinnEntries[] = {
    FlinnEntry::kCloud, FlinnEntry::kEstimate, FlinnEntry::kLimits};

// The place (Y/Z, X/Y) of an ellipsoid; none where a ratio is not a finite
// number above zero.
std::optional<PlanePoint> FlinnPlace(const Ellipsoid& e) {
  const double yz = e.y / e.z, xy = e.x / e.y;
  if (!(yz > 0) || !(xy > 0) || !std::isfinite(yz) || !std::isfinite(xy)) {
    return std::nullopt;
  }
  return PlanePoint{yz, xy};
}

// The error cross of the limits about the estimate, cut at the frame, with
// caps at the ends that lie within it.
LineLayer LimitsCross(PlanePoint estimate, const Interval& yz,
                      const Interval& xy, double top,
                      const ChartRenderOptions& options) {
  LineLayer line = Curve(FlinnStyle(FlinnEntry::kLimits, options.palette),
                         LineLayer::Clip::kAlways);
  const double cap = kCapLength * options.unit;
  const auto [ex, ey] = estimate;
  auto add = [&](const Interval& range, bool across) {
    const double low = std::clamp(range.low, 1.0, top);
    const double high = std::clamp(range.high, 1.0, top);
    auto at = [&](double v, double d) {
      return across ? PlotVertex{v, ey, 0, d} : PlotVertex{ex, v, d, 0};
    };
    line.lines.push_back({at(low, 0), at(high, 0)});
    for (const double end : {range.low, range.high}) {
      if (end >= 1 && end <= top) {
        line.lines.push_back({at(end, -cap), at(end, cap)});
      }
    }
  };
  add(yz, true);
  add(xy, false);
  return line;
}

// The Hsu plot.

constexpr HsuEntry kHsuEntries[] = {HsuEntry::kCloud, HsuEntry::kEstimate};

std::optional<PlanePoint> HsuPlaceOf(const Ellipsoid& e) {
  if (!std::isfinite(e.eps_s) || e.eps_s < 0) return std::nullopt;
  const double nu = e.nu.value_or(0);
  if (!std::isfinite(nu)) return std::nullopt;
  return HsuPlace(nu, e.eps_s);
}

// The arc of eps_s `r` across the sector, from the flattening edge (right)
// to the constriction edge.
std::vector<PlotVertex> Arc(double r) {
  std::vector<PlotVertex> arc;
  arc.reserve(kArcVertexCount);
  for (int i = 0; i < kArcVertexCount; ++i) {
    const double t =
        (60 + 60.0 * i / (kArcVertexCount - 1)) * kRadiansPerDegree;
    arc.push_back({r * std::cos(t), r * std::sin(t), 0, 0});
  }
  return arc;
}

const std::string kHsuFlattening = "flattening";
const std::string kHsuConstriction = "constriction";
const std::string kNuMinusOne =
    "\xCE\xBD = \xE2\x88\x92"
    "1";                                // ν = −1
const std::string kNuOne = "1";         // −1
const std::string kEpsS = "\xCE\xB5s";  // εs

// The axes plot.

constexpr AxesEntry kAxesEntries[] = {AxesEntry::kX, AxesEntry::kY,
                                      AxesEntry::kZ, AxesEntry::kCones,
                                      AxesEntry::kResamples};

}  // namespace

// Geometry.

RfAxis MakeFlinnAxis(double largest, const std::string& sep) {
  return MakeRfAxis(largest, RfScale::kLinear, sep);
}

HsuAxis MakeHsuAxis(double wanted, const std::string& sep) {
  if (!(wanted >= kLeastStrain)) wanted = kLeastStrain;  // NaN too
  wanted = std::min(wanted, kLargestStrain);
  const double reach = kRoom * wanted;
  // The smallest step of 1, 2 or 5 times a power of ten that needs at most
  // five arcs; the one before it needed more than five, so that there are
  // at least three.
  int exponent = static_cast<int>(std::floor(std::log10(reach))) - 1;
  long long mantissa = 1;
  for (int guard = 0; guard < 8; ++guard) {
    if (reach / DecimalValue(mantissa, exponent) <= 5 * (1 + 1e-12)) break;
    if (mantissa == 1) {
      mantissa = 2;
    } else if (mantissa == 2) {
      mantissa = 5;
    } else {
      mantissa = 1;
      ++exponent;
    }
  }
  const long long count = std::max(
      1LL, static_cast<long long>(
               std::ceil(reach / DecimalValue(mantissa, exponent) - 1e-9)));
  HsuAxis axis;
  axis.extent = DecimalValue(count * mantissa, exponent);
  for (long long i = 1; i <= count; ++i) {
    const double value = DecimalValue(i * mantissa, exponent);
    axis.arcs.push_back({value, TickLabel(value, sep)});
  }
  return axis;
}

PlanePoint HsuPlace(double nu, double eps_s) {
  const double lode = std::atan(std::clamp(nu, -1.0, 1.0) / std::sqrt(3.0));
  return {eps_s * std::sin(lode), eps_s * std::cos(lode)};
}

std::optional<PlanePoint> EqualAreaPlace(const Vector3& line) {
  const std::optional<Vector3> u = Unit(line);
  if (!u) return std::nullopt;
  return LowerPlace(*u);
}

std::vector<std::vector<PlanePoint>> ConeOutline(const Vector3& axis,
                                                 double semi_angle, int count) {
  std::vector<std::vector<PlanePoint>> pieces;
  const std::optional<Vector3> unit = Unit(axis);
  if (!unit || !std::isfinite(semi_angle) || count < 3) return pieces;
  const Vector3& a = *unit;
  // Two unit vectors across the axis and each other.
  const Vector3 helper =
      std::abs(a[2]) < 0.9 ? Vector3{0, 0, 1} : Vector3{1, 0, 0};
  const Vector3 u = *Unit(Cross(helper, a));
  const Vector3 w = Cross(a, u);
  const double alpha = std::clamp(semi_angle, 0.0, 90.0) * kRadiansPerDegree;
  const double c = std::cos(alpha), s = std::sin(alpha);
  const auto n = static_cast<std::size_t>(count);
  std::vector<Vector3> circle(n);
  std::vector<bool> lower(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double t = 2 * kPi * static_cast<double>(i) / count;
    const double ct = std::cos(t), st = std::sin(t);
    for (int k = 0; k < 3; ++k) {
      circle[i][k] = c * a[k] + s * (ct * u[k] + st * w[k]);
    }
    lower[i] = circle[i][2] <= 0;
  }
  std::size_t start = n;  // a point whose hemisphere differs from the last's
  for (std::size_t i = 0; i < n && start == n; ++i) {
    if (lower[i] != lower[(i + n - 1) % n]) start = i;
  }
  if (start == n) {  // within one hemisphere
    std::vector<PlanePoint> ring;
    ring.reserve(n + 1);
    for (const Vector3& p : circle) ring.push_back(LowerPlace(p));
    ring.push_back(ring.front());
    pieces.push_back(std::move(ring));
    return pieces;
  }
  // Where the circle crosses the horizontal between points i and j, on the
  // primitive: at the lower end a piece of the lower part ends there, at
  // the opposite end one of the upper part (seen at its antipodes) begins.
  auto crossing = [&circle](std::size_t i, std::size_t j) {
    const Vector3& p = circle[i];
    const Vector3& q = circle[j];
    const double f = p[2] / (p[2] - q[2]);
    Vector3 r{p[0] + f * (q[0] - p[0]), p[1] + f * (q[1] - p[1]), 0};
    const std::optional<Vector3> level = Unit(r);
    return level ? *level : Vector3{p[0], p[1], 0};
  };
  auto on_side = [](const Vector3& level, bool lower_side) {
    return lower_side ? PlanePoint{level[0], level[1]}
                      : PlanePoint{-level[0], -level[1]};
  };
  std::vector<PlanePoint> piece = {
      on_side(crossing((start + n - 1) % n, start), lower[start])};
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t i = (start + k) % n, j = (i + 1) % n;
    piece.push_back(LowerPlace(circle[i]));
    if (lower[i] == lower[j]) continue;
    const Vector3 level = crossing(i, j);
    piece.push_back(on_side(level, lower[i]));
    pieces.push_back(std::move(piece));
    piece = {on_side(level, lower[j])};
  }
  return pieces;
}

// Styles.

SeriesStyle FlinnStyle(FlinnEntry entry, ChartPalette palette) {
  switch (entry) {
    case FlinnEntry::kCloud:
      return Dots("Resamples");
    case FlinnEntry::kEstimate:
      return Marker("Estimate", EstimateColour(palette), MarkerStyle::kCircle,
                    4);
    case FlinnEntry::kLimits:
      return Line("95 % limits",
                  palette == ChartPalette::kColourBlind ? 0x0072B2 : 0x0000FF,
                  1.5);
  }
  return {};
}

SeriesStyle HsuStyle(HsuEntry entry, ChartPalette palette) {
  return entry == HsuEntry::kCloud ? Dots("Resamples")
                                   : Marker("Estimate", EstimateColour(palette),
                                            MarkerStyle::kCircle, 4);
}

SeriesStyle AxesStyle(AxesEntry entry, ChartPalette palette) {
  // Okabe and Ito's vermillion, bluish green and blue, or the screen's red,
  // green and blue; the shapes tell the axes apart in grey too.
  const bool okabe_ito = palette == ChartPalette::kColourBlind;
  switch (entry) {
    case AxesEntry::kX:
      return Marker("X axis", okabe_ito ? 0xD55E00 : 0xFF0000,
                    MarkerStyle::kSquare, 4);
    case AxesEntry::kY:
      return Marker("Y axis", okabe_ito ? 0x009E73 : 0x00A000,
                    MarkerStyle::kDiamond, 5);
    case AxesEntry::kZ:
      return Marker("Z axis", okabe_ito ? 0x0072B2 : 0x0000FF,
                    MarkerStyle::kCircle, 4);
    case AxesEntry::kCones:
      return Line("95 % cones", kBlack, 1);
    case AxesEntry::kResamples:
      return Dots("Resample axes");
  }
  return {};
}

// The Flinn plot.

void FlinnPlot::Clear() {
  estimate_.reset();
  ClearPoints(cloud_);
  has_limits_ = false;
  xy_ = yz_ = Interval{};
  wanted_ = 1;
}

void FlinnPlot::ShowEllipsoid(const EllipsoidResult& result) {
  Clear();
  if (!result.status.ok()) return;
  estimate_ = FlinnPlace(result.estimate);
  if (!estimate_) return;
  cloud_.xy.reserve(2 * result.cloud.size());
  std::vector<double> yz, xy;
  for (const Ellipsoid& e : result.cloud) {
    if (const std::optional<PlanePoint> p = FlinnPlace(e)) {
      cloud_.xy.push_back(p->first);
      cloud_.xy.push_back(p->second);
      yz.push_back(p->first);
      xy.push_back(p->second);
    }
  }
  auto valid = [](const Interval& i) {
    return std::isfinite(i.low) && !std::isnan(i.high) && i.low <= i.high;
  };
  has_limits_ = result.has_limits && valid(result.xy) && valid(result.yz);
  if (has_limits_) {
    xy_ = result.xy;
    yz_ = result.yz;
  }
  wanted_ = std::max(estimate_->first, estimate_->second);
  if (has_limits_) wanted_ = AtLeast(AtLeast(wanted_, xy_.high), yz_.high);
  wanted_ = std::max({wanted_, Percentile(std::move(yz), kCloudShare),
                      Percentile(std::move(xy), kCloudShare)});
  const double top = MakeFlinnAxis(wanted_).maximum;
  FrameFirst(cloud_, [top](double x, double y) {
    return x >= 1 && y >= 1 && x <= top && y <= top;
  });
}

bool FlinnPlot::Shown(FlinnEntry entry) const {
  return shown_[static_cast<std::size_t>(entry)];
}

void FlinnPlot::SetShown(FlinnEntry entry, bool on) {
  shown_[static_cast<std::size_t>(entry)] = on;
}

void FlinnPlot::ToggleLegendEntry(int id) {
  if (id < 0 || id >= static_cast<int>(shown_.size())) return;
  const auto entry = static_cast<FlinnEntry>(id);
  SetShown(entry, !Shown(entry));
}

PlotModel FlinnPlot::Model(const PlotCanvas& canvas,
                           const TextMeasure& measure) const {
  const ChartRenderOptions& options = canvas.options;
  const RfAxis axis = Axis();
  const double top = axis.maximum;
  std::vector<Entry> entries;
  for (const FlinnEntry e : kFlinnEntries) {
    const bool has = e == FlinnEntry::kCloud      ? cloud_.framed > 0
                     : e == FlinnEntry::kEstimate ? estimate_.has_value()
                                                  : has_limits_;
    entries.push_back({FlinnStyle(e, options.palette), static_cast<int>(e),
                       Shown(e), has, e == FlinnEntry::kEstimate});
  }

  const TextFace face = LabelFace(options);
  const FaceMetrics fm = measure.Metrics(face);
  int widest = 0;
  for (const AxisTick& t : axis.ticks) {
    widest = std::max(widest, measure.Width(face, t.label));
  }
  const int unit = options.unit, margin = kChartMargin * unit,
            title_gap = kAxisTitleGap * unit, label_gap = kTickLabelGap * unit,
            tick = kTickLength * unit;
  // Left: the tick labels; above: the X/Y title and half a label over the
  // top tick; below: the ticks, their labels and the Y/Z title.
  const Room room{
      margin + widest + label_gap + tick,
      margin + fm.height + title_gap + fm.height / 2,
      std::max(margin, (widest + 1) / 2 + unit),
      margin + tick + label_gap + fm.height + title_gap + fm.height};
  Scene scene = MakeScene(canvas, measure, entries, room);
  PlotModel model = StartModel(scene);
  model.mapping = PlotMapping::Cartesian(scene.layout.plot, {1, top, false},
                                         {1, top, false});
  model.series.push_back(&cloud_);
  const PlotMapping& mapping = model.mapping;
  const PixelRect& f = scene.layout.plot;
  auto& layers = model.layers;

  LineLayer grid;
  grid.colour = kGridColour;
  for (const AxisTick& t : axis.ticks) {
    grid.lines.push_back({{t.value, 1, 0, 0}, {t.value, top, 0, 0}});
    grid.lines.push_back({{1, t.value, 0, 0}, {top, t.value, 0, 0}});
  }
  layers.emplace_back(std::move(grid));
  // k = 1: X/Y = Y/Z, the diagonal of the square frame.
  LineLayer reference;
  reference.colour = kReferenceColour;
  reference.raster = LineLayer::Raster::kSmooth;
  reference.lines.push_back({{1, 1, 0, 0}, {top, top, 0, 0}});
  layers.emplace_back(std::move(reference));

  LineLayer frame;
  frame.closed = true;
  frame.frame = true;
  frame.lines.push_back(
      {{1, 1, 0, 0}, {top, 1, 0, 0}, {top, top, 0, 0}, {1, top, 0, 0}});
  layers.emplace_back(std::move(frame));
  LineLayer ticks;
  ticks.frame = true;
  for (const AxisTick& t : axis.ticks) {
    ticks.lines.push_back(
        {{t.value, 1, 0, 1.0 * unit}, {t.value, 1, 0, 1.0 * tick}});
    ticks.lines.push_back(
        {{1, t.value, -1.0 * tick, 0}, {1, t.value, -1.0 * unit, 0}});
  }
  layers.emplace_back(std::move(ticks));

  // The data over the frame and the lines, so that an estimate on an edge
  // (Y = Z) keeps its whole marker.
  if (entries[0].Drawn()) {
    layers.emplace_back(
        PointMarkers(cloud_, entries[0].style, scene, mapping, options, top));
  }
  if (entries[2].Drawn()) {
    layers.emplace_back(LimitsCross(*estimate_, yz_, xy_, top, options));
  }
  if (entries[1].Drawn()) {
    layers.emplace_back(OneMarker(entries[1].style, *estimate_, mapping));
  }

  TextLayer text{face, kBlack, {}};
  const int count = static_cast<int>(axis.ticks.size());
  const int stride = LabelStride(count, widest, fm.height, f.width, unit);
  for (int i = 0; i < count; i += stride) {
    const AxisTick& t = axis.ticks[static_cast<std::size_t>(i)];
    const int width = measure.Width(face, t.label);
    text.items.push_back({t.label, mapping.Snapped(t.value, 1).x - width / 2,
                          f.top + f.height + tick + label_gap + fm.ascent});
    text.items.push_back(
        {t.label, f.left - tick - label_gap - width,
         mapping.Snapped(1, t.value).y - fm.height / 2 + fm.ascent});
  }
  text.items.push_back(Centred(
      "Y/Z", f.left + f.width / 2,
      f.top + f.height + tick + label_gap + fm.height + title_gap + fm.ascent,
      scene.layout, face, measure));
  text.items.push_back({"X/Y",
                        std::max(margin, f.left - tick - label_gap - widest),
                        f.top - fm.height / 2 - title_gap - fm.descent});
  layers.emplace_back(std::move(text));

  // "k = 1" under the line near the frame's upper right corner, where the
  // line runs up at 45 degrees away from it.
  const std::string k_label = "k = 1";
  const int k_width = measure.Width(face, k_label);
  const int k_left = f.left + f.width - k_width - 2 * margin;
  const int k_line_y = f.top + f.height - (k_left - label_gap - f.left);
  TextLayer k_text{face, kReferenceColour, {}};
  k_text.halo = true;
  if (k_left - label_gap - f.left >= label_gap + fm.height) {
    k_text.items.push_back({k_label, k_left, k_line_y + label_gap + fm.ascent});
    layers.emplace_back(std::move(k_text));
  }

  FinishModel(model, scene, options, measure);
  return model;
}

// The Hsu plot.

void HsuPlot::Clear() {
  estimate_.reset();
  ClearPoints(cloud_);
  wanted_ = 0;
}

void HsuPlot::ShowEllipsoid(const EllipsoidResult& result) {
  Clear();
  if (!result.status.ok()) return;
  estimate_ = HsuPlaceOf(result.estimate);
  if (!estimate_) return;
  cloud_.xy.reserve(2 * result.cloud.size());
  std::vector<double> strains;
  for (const Ellipsoid& e : result.cloud) {
    if (const std::optional<PlanePoint> p = HsuPlaceOf(e)) {
      cloud_.xy.push_back(p->first);
      cloud_.xy.push_back(p->second);
      strains.push_back(e.eps_s);
    }
  }
  wanted_ = result.estimate.eps_s;
  if (result.has_limits) wanted_ = AtLeast(wanted_, result.eps_s.high);
  wanted_ = std::max(wanted_, Percentile(std::move(strains), kCloudShare));
  const double extent = MakeHsuAxis(wanted_).extent;
  FrameFirst(cloud_, [extent](double x, double y) {
    return std::hypot(x, y) <= extent * (1 + 1e-12);
  });
}

bool HsuPlot::Shown(HsuEntry entry) const {
  return shown_[static_cast<std::size_t>(entry)];
}

void HsuPlot::SetShown(HsuEntry entry, bool on) {
  shown_[static_cast<std::size_t>(entry)] = on;
}

void HsuPlot::ToggleLegendEntry(int id) {
  if (id < 0 || id >= static_cast<int>(shown_.size())) return;
  const auto entry = static_cast<HsuEntry>(id);
  SetShown(entry, !Shown(entry));
}

PlotModel HsuPlot::Model(const PlotCanvas& canvas,
                         const TextMeasure& measure) const {
  const ChartRenderOptions& options = canvas.options;
  const HsuAxis axis = Axis();
  const double r = axis.extent;
  std::vector<Entry> entries;
  for (const HsuEntry e : kHsuEntries) {
    const bool has =
        e == HsuEntry::kCloud ? cloud_.framed > 0 : estimate_.has_value();
    entries.push_back({HsuStyle(e, options.palette), static_cast<int>(e),
                       Shown(e), has, e == HsuEntry::kEstimate});
  }

  const TextFace face = LabelFace(options);
  const FaceMetrics fm = measure.Metrics(face);
  int widest = 0;
  for (const AxisTick& t : axis.arcs) {
    widest = std::max(widest, measure.Width(face, t.label));
  }
  auto half = [&](const std::string& a, const std::string& b) {
    return (std::max(measure.Width(face, a), measure.Width(face, b)) + 1) / 2;
  };
  const int unit = options.unit, margin = kChartMargin * unit,
            title_gap = kAxisTitleGap * unit, label_gap = kTickLabelGap * unit;
  // Above: the names of the sides over the rays' labels, those over the
  // label of the outermost arc; at the sides: the labels centred on the
  // sector's corners, and the arcs' labels right of the flattening edge;
  // below: the radial title under the apex.
  const Room room{
      margin + half(kHsuConstriction, kNuMinusOne) + unit,
      margin + 2 * fm.height + fm.height / 2 + title_gap,
      margin + std::max(half(kHsuFlattening, kNuOne), label_gap + widest),
      margin + title_gap + fm.height};
  Scene scene = MakeScene(canvas, measure, entries, room);
  PlotModel model = StartModel(scene);
  model.mapping = PlotMapping::Cartesian(scene.layout.plot,
                                         {-r / 2, r / 2, false}, {0, r, false});
  model.series.push_back(&cloud_);
  const PlotMapping& mapping = model.mapping;
  auto& layers = model.layers;
  const double corner_y = r * std::sqrt(3.0) / 2;

  // The inner arcs and plane strain (nu = 0).
  LineLayer grid;
  grid.colour = kGridColour;
  grid.raster = LineLayer::Raster::kSmooth;
  for (const AxisTick& arc : axis.arcs) {
    if (arc.value < r) grid.lines.push_back(Arc(arc.value));
  }
  grid.lines.push_back({{0, 0, 0, 0}, {0, r, 0, 0}});
  layers.emplace_back(std::move(grid));

  // The sector: apex, the flattening edge, the outermost arc, the
  // constriction edge.
  LineLayer outline;
  outline.closed = true;
  outline.frame = true;
  outline.raster = LineLayer::Raster::kSmooth;
  std::vector<PlotVertex> sector = {{0, 0, 0, 0}};
  for (const PlotVertex& v : Arc(r)) sector.push_back(v);
  outline.lines.push_back(std::move(sector));
  layers.emplace_back(std::move(outline));
  if (entries[0].Drawn()) {
    layers.emplace_back(
        PointMarkers(cloud_, entries[0].style, scene, mapping, options, r));
  }
  if (entries[1].Drawn()) {
    layers.emplace_back(OneMarker(entries[1].style, *estimate_, mapping));
  }

  TextLayer text{face, kBlack, {}};
  const Pixel apex = mapping.Snapped(0, 0);
  const Pixel left = mapping.Snapped(-r / 2, corner_y);
  const Pixel right = mapping.Snapped(r / 2, corner_y);
  const Pixel summit = mapping.Snapped(0, r);
  // The arcs' labels, each right of where its arc meets the flattening
  // edge, from the outermost inwards; on a small plot only every other one
  // and so on, so that they never run into each other.
  const int count = static_cast<int>(axis.arcs.size());
  const int room_each = fm.height + 4 * unit;
  const int edge_height = std::max(0, apex.y - right.y);
  int stride = 1;
  while (stride < count && stride * edge_height < count * room_each) ++stride;
  for (int i = count - 1; i >= 0; i -= stride) {
    const AxisTick& arc = axis.arcs[static_cast<std::size_t>(i)];
    const Pixel at =
        mapping.Snapped(arc.value / 2, arc.value * std::sqrt(3.0) / 2);
    text.items.push_back(
        {arc.label, at.x + label_gap, at.y - fm.height / 2 + fm.ascent});
  }
  const SquareLayout& l = scene.layout;
  // The rays' labels clear of the outermost arc's label at the corner, the
  // sides' names over them.
  const int ray_baseline = left.y - fm.height / 2 - title_gap - fm.descent;
  text.items.push_back(
      Centred(kNuMinusOne, left.x, ray_baseline, l, face, measure));
  text.items.push_back(
      Centred(kNuOne, right.x, ray_baseline, l, face, measure));
  text.items.push_back(Centred("0", summit.x, summit.y - label_gap - fm.descent,
                               l, face, measure));
  text.items.push_back(Centred(kHsuConstriction, left.x,
                               ray_baseline - fm.height, l, face, measure));
  text.items.push_back(Centred(kHsuFlattening, right.x,
                               ray_baseline - fm.height, l, face, measure));
  text.items.push_back(
      Centred(kEpsS, apex.x, apex.y + title_gap + fm.ascent, l, face, measure));
  layers.emplace_back(std::move(text));

  FinishModel(model, scene, options, measure);
  return model;
}

// The axes plot.

void AxesPlot::Clear() {
  for (int i = 0; i < 3; ++i) {
    const auto k = static_cast<std::size_t>(i);
    axes_[k].reset();
    cones_[k].clear();
    ClearPoints(resamples_[k]);
  }
}

void AxesPlot::ShowEllipsoid(const EllipsoidResult& result) {
  Clear();
  if (!result.status.ok()) return;
  const auto& estimate = result.estimate.axes;
  if (std::none_of(estimate.begin(), estimate.end(),
                   [](const EllipsoidAxis& a) {
                     return EqualAreaPlace(a.vector).has_value();
                   })) {
    return;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const Vector3& axis = estimate[i].vector;
    axes_[i] = EqualAreaPlace(axis);
    if (axes_[i] && result.has_limits) {
      cones_[i] = ConeOutline(axis, result.cones[i], kConeVertexCount);
    }
    resamples_[i].xy.reserve(2 * result.cloud.size());
    for (const Ellipsoid& e : result.cloud) {
      if (const std::optional<PlanePoint> p =
              EqualAreaPlace(e.axes[i].vector)) {
        resamples_[i].xy.push_back(p->first);
        resamples_[i].xy.push_back(p->second);
      }
    }
    FrameFirst(resamples_[i], [](double, double) { return true; });
  }
}

const std::optional<PlanePoint>& AxesPlot::Axis(int axis) const {
  return axes_.at(static_cast<std::size_t>(axis));
}

const std::vector<std::vector<PlanePoint>>& AxesPlot::Cone(int axis) const {
  return cones_.at(static_cast<std::size_t>(axis));
}

const PlotPoints& AxesPlot::Resamples(int axis) const {
  return resamples_.at(static_cast<std::size_t>(axis));
}

bool AxesPlot::Shown(AxesEntry entry) const {
  return shown_[static_cast<std::size_t>(entry)];
}

void AxesPlot::SetShown(AxesEntry entry, bool on) {
  shown_[static_cast<std::size_t>(entry)] = on;
}

void AxesPlot::ToggleLegendEntry(int id) {
  if (id < 0 || id >= static_cast<int>(shown_.size())) return;
  const auto entry = static_cast<AxesEntry>(id);
  SetShown(entry, !Shown(entry));
}

PlotModel AxesPlot::Model(const PlotCanvas& canvas,
                          const TextMeasure& measure) const {
  const ChartRenderOptions& options = canvas.options;
  // What is drawn of each axis: its marker, its cone, its resamples.
  std::array<bool, 3> marker{}, cone{}, dots{};
  bool any_cone = false, any_dots = false;
  for (std::size_t i = 0; i < 3; ++i) {
    const bool on = Shown(static_cast<AxesEntry>(i));
    marker[i] = on && axes_[i].has_value();
    cone[i] = on && Shown(AxesEntry::kCones) && !cones_[i].empty();
    dots[i] = on && Shown(AxesEntry::kResamples) && resamples_[i].Count() > 0;
    any_cone = any_cone || !cones_[i].empty();
    any_dots = any_dots || resamples_[i].Count() > 0;
  }
  std::vector<Entry> entries;
  for (const AxesEntry e : kAxesEntries) {
    const auto i = static_cast<std::size_t>(e);
    Entry entry{AxesStyle(e, options.palette), static_cast<int>(e), Shown(e),
                false, i < 3};
    if (i < 3) {
      entry.has = axes_[i].has_value();
    } else {
      // A figure lists them where some of them are drawn.
      const std::array<bool, 3>& drawn = e == AxesEntry::kCones ? cone : dots;
      entry.has = options.figure_style ? std::any_of(drawn.begin(), drawn.end(),
                                                     [](bool b) { return b; })
                  : e == AxesEntry::kCones ? any_cone
                                           : any_dots;
    }
    entries.push_back(std::move(entry));
  }

  const TextFace face = LabelFace(options);
  const FaceMetrics fm = measure.Metrics(face);
  const int unit = options.unit, margin = kChartMargin * unit,
            label_gap = kTickLabelGap * unit, north = kNorthTick * unit;
  // Above the primitive: the north tick and its label.
  const Room room{margin + unit, margin + north + label_gap + fm.height,
                  margin + unit, margin + unit};
  Scene scene = MakeScene(canvas, measure, entries, room);
  PlotModel model = StartModel(scene);
  model.mapping =
      PlotMapping::Cartesian(scene.layout.plot, {-1, 1, false}, {-1, 1, false});
  const PlotMapping& mapping = model.mapping;
  auto& layers = model.layers;

  // The primitive, the centre's cross and north.
  LineLayer primitive;
  primitive.closed = true;
  primitive.frame = true;
  primitive.raster = LineLayer::Raster::kSmooth;
  std::vector<PlotVertex> circle;
  circle.reserve(kPrimitiveVertexCount);
  for (int i = 0; i < kPrimitiveVertexCount; ++i) {
    const double t = 2 * kPi * i / kPrimitiveVertexCount;
    circle.push_back({std::cos(t), std::sin(t), 0, 0});
  }
  primitive.lines.push_back(std::move(circle));
  layers.emplace_back(std::move(primitive));
  LineLayer marks;
  marks.frame = true;
  const double arm = kCrossArm * unit;
  marks.lines.push_back({{0, 0, -arm, 0}, {0, 0, arm, 0}});
  marks.lines.push_back({{0, 0, 0, -arm}, {0, 0, 0, arm}});
  marks.lines.push_back({{0, 1, 0, -1.0 * unit}, {0, 1, 0, -1.0 * north}});
  layers.emplace_back(std::move(marks));
  const Pixel top = mapping.Snapped(0, 1);
  layers.emplace_back(
      TextLayer{face,
                kBlack,
                {Centred("N", top.x, top.y - north - label_gap - fm.descent,
                         scene.layout, face, measure)}});

  for (std::size_t i = 0; i < 3; ++i) {
    model.series.push_back(&resamples_[i]);
    if (!dots[i]) continue;
    layers.emplace_back(PointMarkers(
        resamples_[i], AxesStyle(AxesEntry::kResamples, options.palette), scene,
        mapping, options, 1));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (!cone[i]) continue;
    LineLayer line = Curve(AxesStyle(AxesEntry::kCones, options.palette),
                           LineLayer::Clip::kNone);
    for (const std::vector<PlanePoint>& piece : cones_[i]) {
      line.lines.push_back(Vertices(piece));
    }
    layers.emplace_back(std::move(line));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (!marker[i]) continue;
    layers.emplace_back(
        OneMarker(AxesStyle(static_cast<AxesEntry>(i), options.palette),
                  *axes_[i], mapping));
  }

  FinishModel(model, scene, options, measure);
  return model;
}

}  // namespace orvane

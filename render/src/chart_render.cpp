#include "render/chart_render.h"

#include <sys/mman.h>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <functional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "render/bitmap_file.h"
#include "render/density_render.h"
#include "render/plot_picture.h"

namespace orvane {

struct ChartRenderCache::Layer {
  QImage image;
  std::uint64_t revision = ~0ull;
  int cx = -1, cy = -1, radius = -1;
  QSize size;
  qreal pixel_ratio = 0;  // device pixels per chart pixel
  double maximum = 0;
};

ChartRenderCache::ChartRenderCache() = default;
ChartRenderCache::~ChartRenderCache() = default;

ChartRenderCache::Layer& ChartRenderCache::LayerFor(const PolarSeries* s) {
  auto& slot = layers_[s];
  if (!slot) slot = std::make_unique<Layer>();
  return *slot;
}

const QImage* ChartRenderCache::LayerImage(const PolarSeries* s) const {
  const auto it = layers_.find(s);
  return it == layers_.end() ? nullptr : &it->second->image;
}

void ChartRenderCache::Prune(const EqualAreaChart& chart) {
  const auto list = chart.SeriesList();
  for (auto it = layers_.begin(); it != layers_.end();) {
    if (std::find(list.begin(), list.end(), it->first) == list.end()) {
      it = layers_.erase(it);
    } else {
      ++it;
    }
  }
}

QStringList ArialUnicodeFamilies() {
  return {"Arial Unicode MS", "Arial", "Liberation Sans", "DejaVu Sans"};
}

QFont LegendFont() {
  QFont f;
  f.setFamilies(ArialUnicodeFamilies());
  f.setPixelSize(11);
  return f;
}

QFont FigureTextFont() {
  QFont f = LegendFont();
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

QString ProjectionNote(ChartProjection projection) {
  if (projection == ChartProjection::kEqualArea) return QString();
  return QString("%1 projection").arg(ProjectionTitle(projection));
}

QStringList CaptionLines(const QString& caption, int width) {
  QStringList lines;
  if (caption.isEmpty()) return lines;
  const QFontMetrics fm(FigureTextFont());
  const int room = width - 2 * kChartMargin;
  for (const QString& part : caption.split("   ")) {
    const QString joined = lines.isEmpty() ? part : lines.back() + "   " + part;
    if (!lines.isEmpty() && fm.horizontalAdvance(joined) <= room) {
      lines.back() = joined;
    } else {
      lines.push_back(part);
    }
  }
  return lines;
}

LegendView MeasureLegend(const EqualAreaChart& chart, int width,
                         const ChartRenderOptions& options) {
  LegendView view;
  const QFontMetrics fm(options.figure_style ? FigureTextFont() : LegendFont());
  std::vector<int> widths;
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Style().show_in_legend) continue;
    // A figure lists only what it draws: it has no check boxes to show a
    // hidden series by.
    if (options.figure_style && (!s->Active() || s->Count() == 0)) continue;
    view.series.push_back(s);
    widths.push_back(
        fm.horizontalAdvance(QString::fromStdString(s->Style().title)));
  }
  view.layout = LayOutLegend(width, widths, fm.height(), fm.ascent(),
                             !options.figure_style);
  return view;
}

namespace {

// The pixels the caption's lines keep at the bottom of the chart.
int FooterHeight(const ChartRenderOptions& options, int width) {
  const int lines =
      static_cast<int>(CaptionLines(options.caption, width).size());
  if (lines == 0) return 0;
  return lines * QFontMetrics(FigureTextFont()).height() + 2 * kChartMargin;
}

// The chart's size in its own pixels: the drawing's size over the scale.
QSize LogicalSize(QSize size, double scale) {
  return QSize(static_cast<int>(std::ceil(size.width() / scale - 1e-9)),
               static_cast<int>(std::ceil(size.height() / scale - 1e-9)));
}

double ValidScale(double scale) {
  return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

}  // namespace

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  const QSize logical = LogicalSize(size, ValidScale(options.scale));
  return LayOutChart(logical.width(), logical.height(),
                     MeasureLegend(chart, logical.width(), options).layout,
                     options.grid_column,
                     FooterHeight(options, logical.width()));
}

SeriesStyle PaletteStyle(const EqualAreaChart& chart, const PolarSeries& series,
                         ChartPalette palette) {
  SeriesStyle style = series.Style();
  if (palette == ChartPalette::kStandard) return style;
  // Okabe and Ito's colours: sky blue, orange, blue, vermillion, reddish
  // purple and yellow, with black outlines for the highlight.
  constexpr Rgb kSkyBlue = 0x56B4E9, kOrange = 0xE69F00, kBlue = 0x0072B2,
                kVermillion = 0xD55E00, kPurple = 0xCC79A7, kYellow = 0xF0E442,
                kDark = 0x000000;
  auto colour = [&style](Rgb main, std::optional<Rgb> fill,
                         std::optional<Rgb> outline) {
    style.color = main;
    style.line_color = main;
    if (style.fill) style.fill = fill ? *fill : main;
    if (style.outline) style.outline = outline ? *outline : main;
  };
  if (&series == &chart.bootstrap) {
    colour(kSkyBlue, kSkyBlue, std::nullopt);
  } else if (&series == &chart.retrodeformed) {
    colour(kOrange, kOrange, std::nullopt);
  } else if (&series == &chart.measured) {
    colour(kBlue, std::nullopt, kBlue);
  } else if (&series == &chart.optimal) {
    colour(kVermillion, std::nullopt, kVermillion);
  } else if (&series == &chart.measured_highlight) {
    colour(kPurple, kPurple, kDark);
  } else if (&series == &chart.retrodeformed_highlight) {
    colour(kYellow, kYellow, kDark);
  }
  return style;
}

std::vector<bool> DrawnIsoRatioCircles(const EqualAreaChart& chart,
                                       const ChartLayout& layout) {
  const double maximum = chart.RadialMaximum();
  return ThinIsoRatioCircles(chart.IsoRatios(), layout.radius / maximum,
                             chart.Projection());
}

std::vector<IsoRatioLabel> IsoRatioLabels(const EqualAreaChart& chart,
                                          const ChartLayout& layout) {
  std::vector<IsoRatioLabel> labels;
  const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
  const QFontMetrics fm(FigureTextFont());
  const std::vector<int>& ratios = chart.IsoRatios();
  constexpr int kGap = 2;  // between a label and the circle or the one before
  int free_from = std::numeric_limits<int>::min();
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    if (!drawn[i]) continue;
    const Pixel at = PlacePoint(
        layout, chart.RadialMaximum(), 0.0,
        IsoRatioRadius(chart.Projection(), static_cast<float>(ratios[i])));
    IsoRatioLabel label;
    label.ratio = ratios[i];
    label.text = labels.empty() ? QString("R = %1").arg(ratios[i])
                                : QString::number(ratios[i]);
    const int width = fm.horizontalAdvance(label.text);
    label.box =
        QRect(at.x + kGap, at.y - kGap - fm.height(), width, fm.height());
    if (label.box.left() < free_from) continue;
    if (label.box.right() >= layout.width) break;
    free_from = label.box.right() + 1 + kGap;
    labels.push_back(label);
  }
  return labels;
}

std::vector<QPoint> ConvexHull(std::vector<QPoint> points) {
  auto less = [](QPoint a, QPoint b) {
    return a.y() > b.y() || (a.y() == b.y() && a.x() < b.x());
  };
  std::sort(points.begin(), points.end(), [](QPoint a, QPoint b) {
    return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
  });
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (points.size() < 3) return points;
  // Andrew's monotone chain, in y-down pixels: the turn is measured with y
  // pointing up, so that the corners go counter-clockwise on the screen.
  auto cross = [](QPoint o, QPoint a, QPoint b) {
    const long long ax = a.x() - o.x(), ay = o.y() - a.y();
    const long long bx = b.x() - o.x(), by = o.y() - b.y();
    return ax * by - ay * bx;
  };
  std::vector<QPoint> hull(2 * points.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  for (std::size_t i = points.size() - 1, t = k + 1; i > 0; --i) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) --k;
    hull[k++] = points[i - 1];
  }
  hull.resize(k - 1);
  // Start from the lowest (largest y), leftmost corner.
  std::rotate(hull.begin(), std::min_element(hull.begin(), hull.end(), less),
              hull.end());
  return hull;
}

namespace {

// Whether the centre of the pixel (dx, dy) lies inside the marker figure
// whose box is a by b pixels (odd numbers) around the point's pixel. The
// test runs on whole numbers at twice the pixel scale, where a pixel
// centre is even and an edge odd: no centre lies on an edge, so the
// pixels are mirror-symmetric about the point.
bool InsideFigure(MarkerStyle kind, int a, int b, int dx, int dy) {
  if (a <= 0 || b <= 0) return false;
  const std::int64_t x = 2 * std::abs(dx), y = 2 * std::abs(dy);
  const std::int64_t A = a, B = b;
  switch (kind) {
    case MarkerStyle::kCircle:
      return x * x * B * B + y * y * A * A < A * A * B * B;
    case MarkerStyle::kSquare:
      return x < A && y < B;
    case MarkerStyle::kDiamond:
      return x * B + y * A < A * B;
    case MarkerStyle::kNone:
    case MarkerStyle::kCross:
      break;
  }
  return false;
}

// The figure's edge as a path of its true geometry (curves for a circle).
QPainterPath FigurePath(MarkerStyle kind, int a, int b) {
  QPainterPath path;
  if (a <= 0 || b <= 0) return path;
  const double h = a / 2.0, v = b / 2.0;
  switch (kind) {
    case MarkerStyle::kCircle:
      path.addEllipse(QPointF(0, 0), h, v);
      break;
    case MarkerStyle::kSquare:
      path.addRect(QRectF(-h, -v, a, b));
      break;
    case MarkerStyle::kDiamond:
      path.moveTo(0, -v);
      path.lineTo(h, 0);
      path.lineTo(0, v);
      path.lineTo(-h, 0);
      path.closeSubpath();
      break;
    case MarkerStyle::kNone:
    case MarkerStyle::kCross:
      break;
  }
  return path;
}

// The odd number nearest `width`, the smaller at a tie, and at least 1.
int OddWidth(double width) {
  const int k = static_cast<int>(std::ceil(width / 2 - 1));
  return std::max(1, 2 * k + 1);
}

int ScaledPixels(int pixels, double scale) {
  return static_cast<int>(std::lround(pixels * scale));
}

}  // namespace

MarkerShape MakeMarkerShape(const SeriesStyle& style, double scale) {
  MarkerShape m;
  m.pixels.assign(1, MarkerPixel::kNone);
  if (style.marker == MarkerStyle::kNone) return m;
  const int h = std::max(0, ScaledPixels(style.half_width, scale));
  const int v = std::max(0, ScaledPixels(style.half_height, scale));
  const int a = 2 * h + 1, b = 2 * v + 1;  // the box, in pixels
  m.extent = std::max(h, v);
  const int side = 2 * m.extent + 1;
  m.pixels.assign(static_cast<std::size_t>(side) * side, MarkerPixel::kNone);
  auto set = [&m, side](int dx, int dy, MarkerPixel p) {
    m.pixels[static_cast<std::size_t>((dy + m.extent) * side + dx + m.extent)] =
        p;
  };

  if (style.marker == MarkerStyle::kCross) {
    // Two bars across the box, one region where they cross.
    if (!style.outline) return m;
    const int t =
        std::min(OddWidth(style.outline_width * scale), std::min(a, b));
    const int half = (t - 1) / 2;
    for (int dy = -v; dy <= v; ++dy) {
      for (int dx = -h; dx <= h; ++dx) {
        if (std::abs(dy) <= half || std::abs(dx) <= half) {
          set(dx, dy, MarkerPixel::kOutline);
        }
      }
    }
    const double x = a / 2.0, y = b / 2.0, q = t / 2.0;
    QPolygonF plus({{-x, -q},
                    {-q, -q},
                    {-q, -y},
                    {q, -y},
                    {q, -q},
                    {x, -q},
                    {x, q},
                    {q, q},
                    {q, y},
                    {-q, y},
                    {-q, q},
                    {-x, q}});
    m.outline.addPolygon(plus);
    m.outline.closeSubpath();
    return m;
  }

  // The outline is the band between the figure and the figure w pixels
  // smaller on every side; the fill lies within it.
  const int w =
      style.outline ? std::max(1, ScaledPixels(style.outline_width, scale)) : 0;
  const int ia = a - 2 * w, ib = b - 2 * w;
  const bool filled = style.fill.has_value();
  for (int dy = -v; dy <= v; ++dy) {
    for (int dx = -h; dx <= h; ++dx) {
      if (!InsideFigure(style.marker, a, b, dx, dy)) continue;
      if (InsideFigure(style.marker, ia, ib, dx, dy)) {
        if (filled) set(dx, dy, MarkerPixel::kFill);
      } else {
        set(dx, dy, MarkerPixel::kOutline);
      }
    }
  }
  const QPainterPath outer = FigurePath(style.marker, a, b);
  const QPainterPath inner = FigurePath(style.marker, ia, ib);
  if (!style.outline) {
    if (filled) m.fill = outer;
    return m;
  }
  if (filled) m.fill = inner;
  // The band as the outer edge and the inner one, filled even-odd: both
  // keep their true curves.
  m.outline = outer;
  m.outline.addPath(inner);
  m.outline.setFillRule(Qt::OddEvenFill);
  return m;
}

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kLegendBackground = 0xFFFFE1;  // the system's tooltip colour
constexpr Rgb kLegendShadowColour = 0xCCCCCC;
constexpr Rgb kFigureLegendFrame = 0x808080;
constexpr Rgb kIsoRatioLabelColour = 0x505050;

// The marker of a style at the drawing's scale. Markers are drawn in chart
// pixels and the painter's transform carries the scale, so the shape itself
// is that of the screen; this is the one place that hands the scale on to
// the marker geometry.
MarkerShape ScaledMarkerShape(const SeriesStyle& style, double /*scale*/) {
  return MakeMarkerShape(style);
}

// What one drawing needs besides the painter: the layout in chart pixels,
// the radial maximum and the options.
struct Frame {
  const EqualAreaChart& chart;
  ChartLayout layout;
  double maximum = 0;
  const ChartRenderOptions& options;
  double scale = 1.0;
  SeriesStyle StyleOf(const PolarSeries& s) const {
    SeriesStyle style = PaletteStyle(chart, s, options.palette);
    if (&s == &chart.bootstrap && options.cloud == CloudDrawing::kOutline) {
      // The outline of the cloud, drawn and shown in the legend as a line
      // of the markers' colour.
      style.line_visible = true;
      style.line_color = style.fill ? *style.fill : style.color;
      style.line_width = 2;
      style.marker = MarkerStyle::kNone;
    }
    return style;
  }
};

// Whether the painter draws into pixels (an image, a pixmap, the screen)
// rather than into a vector picture.
bool IsRaster(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

// The opacity of a series' markers.
qreal MarkerOpacity(const SeriesStyle& style) {
  return (100 - style.transparency) / 100.0;
}

// At one device pixel a chart pixel the stamp is the shape's pixels
// themselves; at finer rasters the shape's regions drawn at the device's
// pixels.
QImage StampOf(const MarkerShape& shape, const SeriesStyle& style,
               qreal ratio) {
  const int side = 2 * shape.extent + 1;
  if (ratio == 1.0) {
    QImage stamp(side, side, QImage::Format_ARGB32_Premultiplied);
    if (stamp.isNull()) return stamp;  // no memory for it
    stamp.fill(Qt::transparent);
    const QRgb fill = style.fill ? ToQColor(*style.fill).rgba() : 0;
    const QRgb outline = style.outline ? ToQColor(*style.outline).rgba() : 0;
    for (int y = 0; y < side; ++y) {
      auto* row = reinterpret_cast<QRgb*>(stamp.scanLine(y));
      for (int x = 0; x < side; ++x) {
        const MarkerPixel p = shape.At(x - shape.extent, y - shape.extent);
        if (p == MarkerPixel::kFill) row[x] = fill;
        if (p == MarkerPixel::kOutline) row[x] = outline;
      }
    }
    return stamp;
  }
  const int device_side = static_cast<int>(std::ceil(side * ratio));
  QImage stamp(device_side, device_side, QImage::Format_ARGB32_Premultiplied);
  if (stamp.isNull()) return stamp;  // no memory for it
  stamp.setDevicePixelRatio(ratio);
  stamp.fill(Qt::transparent);
  QPainter sp(&stamp);
  sp.setRenderHint(QPainter::Antialiasing, false);
  sp.translate(shape.extent + 0.5, shape.extent + 0.5);
  if (!shape.fill.isEmpty()) sp.fillPath(shape.fill, ToQColor(*style.fill));
  if (!shape.outline.isEmpty()) {
    sp.fillPath(shape.outline, ToQColor(*style.outline));
  }
  return stamp;
}

// Draws the marker at the pixel p: its stamp on a raster, its regions in a
// vector picture. False when there was no memory for the stamp.
bool FillMarker(QPainter& painter, const MarkerShape& shape,
                const SeriesStyle& style, Pixel p, double scale = 1.0) {
  if (IsRaster(painter)) {
    const QImage stamp =
        StampOf(shape, style, painter.device()->devicePixelRatioF() * scale);
    if (stamp.isNull()) return false;
    painter.save();
    painter.setOpacity(MarkerOpacity(style));
    painter.drawImage(p.x - shape.extent, p.y - shape.extent, stamp);
    painter.restore();
    return true;
  }
  painter.save();
  painter.translate(p.x + 0.5, p.y + 0.5);
  if (!shape.fill.isEmpty()) {
    painter.fillPath(shape.fill, ToQColor(*style.fill, style.transparency));
  }
  if (!shape.outline.isEmpty()) {
    painter.fillPath(shape.outline,
                     ToQColor(*style.outline, style.transparency));
  }
  painter.restore();
  return true;
}

// The centre of the point's pixel.
QPointF PixelCentre(Pixel p) {
  return QPointF(p.x + 0.5, p.y + 0.5);
}

// The centre of the point's place, unrounded: a figure drawn at a larger
// scale than the screen's puts its lines there, between the pixels of the
// screen's chart.
QPointF ExactPlace(const ChartLayout& layout, double maximum, double angle,
                   double value) {
  const double r = value <= 0 ? 0.0 : value / maximum * layout.radius;
  constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
  const double t = angle * kRadPerDeg;
  return QPointF(layout.cx + r * std::cos(t) + 0.5,
                 layout.cy - r * std::sin(t) + 0.5);
}

void DrawLine(QPainter& painter, const PolarSeries& s, const SeriesStyle& style,
              const ChartLayout& layout, double maximum, double scale) {
  const auto& pts = s.Points();
  if (!style.line_visible || pts.size() < 2) return;
  QPen pen(ToQColor(style.line_color), style.line_width);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  if (scale != 1.0) {
    // Smooth lines on the finer pixels of a figure.
    QPolygonF polygon;
    polygon.reserve(static_cast<int>(pts.size()));
    for (const PolarPoint& p : pts) {
      polygon.append(ExactPlace(layout, maximum, p.angle, p.value));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (style.closed) {
      painter.drawPolygon(polygon);
    } else {
      painter.drawPolyline(polygon);
    }
    painter.restore();
    return;
  }
  QPolygon polygon;
  polygon.reserve(static_cast<int>(pts.size()));
  for (const PolarPoint& p : pts) {
    const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
    polygon.append(QPoint(px.x, px.y));
  }
  if (style.closed) {
    painter.drawPolygon(polygon);
  } else {
    painter.drawPolyline(polygon);
  }
}

// `count` markers, the i-th at the pixel place(i), blended one by one in
// that order. False, with none drawn, when there was no memory for the
// stamp.
template <typename Place>
bool DrawMarkersWith(QPainter& painter, const SeriesStyle& style,
                     std::size_t count, const Place& place, double scale) {
  if (style.marker == MarkerStyle::kNone || count == 0) return true;
  const MarkerShape shape = ScaledMarkerShape(style, scale);
  if (IsRaster(painter)) {
    // The painter's transform carries the figure's scale: the stamp has the
    // device's pixels of the scaled marker.
    const QImage stamp =
        StampOf(shape, style, painter.device()->devicePixelRatioF() * scale);
    if (stamp.isNull()) return false;
    painter.save();
    painter.setOpacity(MarkerOpacity(style));
    for (std::size_t i = 0; i < count; ++i) {
      const Pixel px = place(i);
      painter.drawImage(px.x - shape.extent, px.y - shape.extent, stamp);
    }
    painter.restore();
    return true;
  }
  for (std::size_t i = 0; i < count; ++i) {
    FillMarker(painter, shape, style, place(i));
  }
  return true;
}

// Every marker of the series, blended one by one in point order.
bool DrawMarkers(QPainter& painter, const PolarSeries& s,
                 const SeriesStyle& style, const ChartLayout& layout,
                 double maximum, double scale) {
  const std::vector<PolarPoint>& points = s.Points();
  return DrawMarkersWith(
      painter, style, points.size(),
      [&](std::size_t i) {
        return PlacePoint(layout, maximum, points[i].angle, points[i].value);
      },
      scale);
}

// The outline of the region the cloud's points cover.
void DrawCloudOutline(QPainter& painter, const PolarSeries& s,
                      const SeriesStyle& style, const ChartLayout& layout,
                      double maximum) {
  std::vector<QPoint> points;
  points.reserve(s.Count());
  for (const PolarPoint& p : s.Points()) {
    const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
    points.emplace_back(px.x, px.y);
  }
  const std::vector<QPoint> hull = ConvexHull(std::move(points));
  if (hull.empty()) return;
  QPen pen(ToQColor(style.line_color), style.line_width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  QPolygonF polygon;
  for (const QPoint& p : hull) polygon.append(PixelCentre({p.x(), p.y()}));
  if (hull.size() == 1) {
    painter.drawPoint(polygon.front());
  } else {
    painter.drawPolygon(polygon);
  }
  painter.restore();
}

// The series' line and markers; false when there was no memory for an
// image of them.
bool DrawSeries(QPainter& painter, const PolarSeries& s, const Frame& frame) {
  const SeriesStyle style = frame.StyleOf(s);
  if (&s == &frame.chart.bootstrap &&
      frame.options.cloud == CloudDrawing::kOutline) {
    DrawCloudOutline(painter, s, style, frame.layout, frame.maximum);
    return true;
  }
  DrawLine(painter, s, style, frame.layout, frame.maximum, frame.scale);
  return DrawMarkers(painter, s, style, frame.layout, frame.maximum,
                     frame.scale);
}

void DrawDisc(QPainter& painter, const EqualAreaChart& chart,
              const ChartLayout& layout) {
  const PolarSeries* disc = chart.DiscSeries();
  if (disc == nullptr || layout.radius <= 0) return;
  const SeriesStyle& style = disc->Style();
  const QRect rect(layout.cx - layout.radius, layout.cy - layout.radius,
                   2 * layout.radius, 2 * layout.radius);
  painter.setBrush(style.circle_background
                       ? QBrush(ToQColor(*style.circle_background))
                       : QBrush(Qt::NoBrush));
  painter.setPen(style.circle_outline ? QPen(ToQColor(kBlack), 1)
                                      : QPen(Qt::NoPen));
  painter.drawEllipse(rect);
}

void DrawCheckBox(QPainter& painter, const PixelRect& r, bool checked) {
  painter.setPen(QPen(ToQColor(0x808080), 1));
  painter.setBrush(ToQColor(0xFFFFFF));
  painter.drawRect(r.left, r.top, r.width - 1, r.height - 1);
  if (!checked) return;
  QPen tick(ToQColor(kBlack), 2);
  tick.setCapStyle(Qt::SquareCap);
  painter.setPen(tick);
  const QPoint a(r.left + 3, r.top + r.height / 2);
  const QPoint b(r.left + r.width / 2 - 1, r.top + r.height - 4);
  const QPoint c(r.left + r.width - 4, r.top + 3);
  painter.drawPolyline(QPolygon({a, b, c}));
}

}  // namespace

bool DrawLegendItems(QPainter& painter, const LegendLayout& layout,
                     const std::vector<LegendItem>& items, bool figure,
                     double scale) {
  const PixelRect& box = layout.box;
  if (items.empty()) return true;
  if (figure) {
    // White, framed in grey, without the shadow of a tooltip.
    painter.setPen(QPen(ToQColor(kFigureLegendFrame), 1));
    painter.setBrush(ToQColor(0xFFFFFF));
    painter.drawRect(box.left, box.top, box.width - 1, box.height - 1);
  } else {
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(kLegendShadowColour));
    painter.drawRect(box.left + kLegendShadow, box.top + kLegendShadow,
                     box.width, box.height);
    painter.setBrush(ToQColor(kLegendBackground));
    painter.drawRect(box.left, box.top, box.width, box.height);
  }
  painter.setFont(figure ? FigureTextFont() : LegendFont());
  for (std::size_t i = 0; i < items.size() && i < layout.entries.size(); ++i) {
    const SeriesStyle& style = items[i].style;
    const LegendEntryLayout& e = layout.entries[i];
    if (!figure) DrawCheckBox(painter, e.check_box, items[i].checked);
    const int cy = e.sample.top + e.sample.height / 2;
    if (style.line_visible) {
      QPen pen(ToQColor(style.line_color), style.line_width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(e.sample.left + 1, cy,
                       e.sample.left + e.sample.width - 2, cy);
    }
    if (!FillMarker(painter, ScaledMarkerShape(style, scale), style,
                    Pixel{e.sample.left + e.sample.width / 2, cy}, scale)) {
      return false;
    }
    painter.setPen(ToQColor(kBlack));
    painter.drawText(e.text_x, e.text_baseline,
                     QString::fromStdString(style.title));
  }
  return true;
}

namespace {

bool DrawLegend(QPainter& painter, const LegendView& legend,
                const Frame& frame) {
  std::vector<LegendItem> items;
  items.reserve(legend.series.size());
  for (const PolarSeries* s : legend.series) {
    items.push_back({frame.StyleOf(*s), s->Active()});
  }
  return DrawLegendItems(painter, legend.layout, items,
                         frame.options.figure_style, frame.scale);
}

void DrawIsoRatioLabels(QPainter& painter, const Frame& frame) {
  painter.setFont(FigureTextFont());
  painter.setPen(ToQColor(kIsoRatioLabelColour));
  const int ascent = QFontMetrics(FigureTextFont()).ascent();
  for (const IsoRatioLabel& label : IsoRatioLabels(frame.chart, frame.layout)) {
    painter.drawText(label.box.left(), label.box.top() + ascent, label.text);
  }
}

// The caption's lines under the disc, each centred on it where there is
// room.
void DrawCaption(QPainter& painter, const Frame& frame) {
  const QStringList lines =
      CaptionLines(frame.options.caption, frame.layout.width);
  if (lines.isEmpty()) return;
  const QFontMetrics fm(FigureTextFont());
  painter.setFont(FigureTextFont());
  painter.setPen(ToQColor(kBlack));
  int baseline = frame.layout.height - kChartMargin - fm.descent() -
                 (static_cast<int>(lines.size()) - 1) * fm.height();
  for (const QString& line : lines) {
    const int width = fm.horizontalAdvance(line);
    const int left = std::clamp(
        frame.layout.cx - width / 2, kChartMargin,
        std::max(kChartMargin, frame.layout.width - kChartMargin - width));
    painter.drawText(left, baseline, line);
    baseline += fm.height();
  }
}

// The projection's name in the plotting area's lower left corner, beside
// the disc, for every projection but the default equal-area one (whose
// charts carry no note).
void DrawProjectionNote(QPainter& painter, const Frame& frame) {
  const QString note = ProjectionNote(frame.chart.Projection());
  if (note.isEmpty()) return;
  const QFont font =
      frame.options.figure_style ? FigureTextFont() : LegendFont();
  const QFontMetrics fm(font);
  painter.setFont(font);
  painter.setPen(ToQColor(kIsoRatioLabelColour));
  const PixelRect& plot = frame.layout.plot;
  painter.drawText(plot.left, plot.top + plot.height - fm.descent(), note);
}

// The series alone on a transparent image of the chart's size; a null
// image when there is no memory for it or its stamp.
QImage SeriesLayer(const PolarSeries& s, const Frame& frame, QSize size,
                   qreal ratio = 1.0) {
  // The layer has as many pixels as the device it is drawn on.
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  if (!DrawSeries(lp, s, frame)) return QImage();
  return image;
}

}  // namespace

QImage MarkerStamp(const SeriesStyle& style, qreal ratio) {
  return StampOf(MakeMarkerShape(style), style, ratio);
}

namespace {

// Blending a series' stamps straight into the pixels of a layer, in point
// order, with the arithmetic of QPainter::drawImage at the series' opacity,
// so that the layer has the pixels that drawing every stamp with a
// painter would give.

// x with each of its four bytes times a / 255, rounded as the raster
// engine rounds.
inline std::uint32_t ByteMul(std::uint32_t x, std::uint32_t a) {
  std::uint32_t t = (x & 0xff00ff) * a;
  t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
  t &= 0xff00ff;
  x = ((x >> 8) & 0xff00ff) * a;
  x = x + ((x >> 8) & 0xff00ff) + 0x800080;
  x &= 0xff00ff00;
  return x | t;
}

// Four neighbouring pixels of a stamp's row, their colours already
// weighted by the opacity. A pixel that the marker does not cover has
// colour 0 and keeps all of what lies beneath (255): blending it changes
// nothing, so the four are blended alike.
struct StampGroup {
  int dy = 0, dx = 0;
  std::uint32_t colour[4] = {0, 0, 0, 0};
  std::uint32_t keep[4] = {255, 255, 255, 255};  // 255 less the alpha
  // keep[] for each byte of pixels 0 and 1, and of pixels 2 and 3.
  std::uint16_t keep_low[8] = {255, 255, 255, 255, 255, 255, 255, 255};
  std::uint16_t keep_high[8] = {255, 255, 255, 255, 255, 255, 255, 255};
};

std::vector<StampGroup> StampGroups(const QImage& stamp, qreal opacity) {
  // The painter's opacity in 256ths, then in 255ths, as drawImage takes it.
  const int opacity256 = static_cast<int>(opacity * 256);
  const std::uint32_t alpha =
      opacity256 >= 256 ? 255u
                        : static_cast<std::uint32_t>(opacity256 * 255) >> 8;
  std::vector<StampGroup> groups;
  for (int y = 0; y < stamp.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(stamp.constScanLine(y));
    for (int x = 0; x < stamp.width(); x += 4) {
      StampGroup g;
      g.dy = y;
      g.dx = x;
      bool covered = false;
      for (int i = 0; i < 4 && x + i < stamp.width(); ++i) {
        if (row[x + i] == 0) continue;
        covered = true;
        g.colour[i] = ByteMul(row[x + i], alpha);
        g.keep[i] = 255 - qAlpha(g.colour[i]);
        std::uint16_t* lanes = i < 2 ? g.keep_low : g.keep_high;
        for (int c = 0; c < 4; ++c) {
          lanes[4 * (i % 2) + c] = static_cast<std::uint16_t>(g.keep[i]);
        }
      }
      if (covered) groups.push_back(g);
    }
  }
  return groups;
}

// Blends the group's four pixels into d[0..3].
inline void BlendGroup(std::uint32_t* d, const StampGroup& g) {
#if defined(__SSE2__)
  const __m128i half = _mm_set1_epi16(0x80);
  const __m128i zero = _mm_setzero_si128();
  auto mul = [half](__m128i c, __m128i k) {  // each 16-bit lane c * k / 255
    const __m128i t = _mm_mullo_epi16(c, k);
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
  };
  auto* p = reinterpret_cast<__m128i*>(d);
  const __m128i v = _mm_loadu_si128(p);
  const __m128i low =
      mul(_mm_unpacklo_epi8(v, zero),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.keep_low)));
  const __m128i high =
      mul(_mm_unpackhi_epi8(v, zero),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.keep_high)));
  _mm_storeu_si128(
      p,
      _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g.colour)),
                    _mm_packus_epi16(low, high)));
#else
  for (int i = 0; i < 4; ++i) d[i] = g.colour[i] + ByteMul(d[i], g.keep[i]);
#endif
}

// Blends the stamps whose top-left corners are `origins` (device pixels)
// into the rows first_row .. last_row - 1 of the layer's pixels `bits`,
// `width` pixels and `stride` words a row.
void BlendStamps(std::uint32_t* bits, int width, qsizetype stride,
                 const std::vector<StampGroup>& groups, int stamp_side,
                 const std::vector<Pixel>& origins, int first_row,
                 int last_row) {
  // Groups reach up to three pixels past the stamp's right-hand side.
  const int reach = (stamp_side + 3) / 4 * 4;
  for (const Pixel& o : origins) {
    if (o.y >= last_row || o.y + stamp_side <= first_row) continue;
    const bool across = o.x >= 0 && o.x + reach <= width;
    if (across && o.y >= first_row && o.y + stamp_side <= last_row) {
      std::uint32_t* corner = bits + o.y * stride + o.x;
      for (const StampGroup& g : groups) {
        BlendGroup(corner + g.dy * stride + g.dx, g);
      }
      continue;
    }
    if (across) {  // cut by the band's first or last row
      for (const StampGroup& g : groups) {
        const int y = o.y + g.dy;
        if (y >= first_row && y < last_row) {
          BlendGroup(bits + y * stride + o.x + g.dx, g);
        }
      }
      continue;
    }
    for (const StampGroup& g : groups) {
      const int y = o.y + g.dy;
      if (y < first_row || y >= last_row) continue;
      std::uint32_t* row = bits + y * stride;
      for (int i = 0; i < 4; ++i) {
        const int x = o.x + g.dx + i;
        if (x < 0 || x >= width) continue;
        row[x] = g.colour[i] + ByteMul(row[x], g.keep[i]);
      }
    }
  }
}

// Runs `work(k)` for k = 0 .. parts - 1, on as many threads.
template <typename Work>
void InParts(int parts, const Work& work) {
  std::vector<std::thread> threads;
  for (int k = 1; k < parts; ++k) {
    try {
      threads.emplace_back(work, k);
    } catch (const std::exception&) {
      work(k);  // no thread to be had: this one does the part
    }
  }
  work(0);
  for (std::thread& t : threads) t.join();
}

// Below this many markers a layer is drawn on one thread.
constexpr std::size_t kThreadedMarkers = 20000;

int PartsFor(std::size_t markers) {
  if (markers < kThreadedMarkers) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

// Blends `count` markers of the style, the i-th at the chart pixel
// place(i), in that order into `image` (`ratio` device pixels a chart
// pixel). The image is cut into bands of rows, one a thread; every band
// takes the markers in order, so each pixel sees them in the order a
// painter would draw them. False, with nothing drawn, when there is no
// memory for the markers' positions or their stamp.
template <typename Place>
bool BlendMarkersInto(QImage& image, const SeriesStyle& style,
                      std::size_t count, const Place& place, int ratio,
                      double scale) {
  const MarkerShape shape = ScaledMarkerShape(style, scale);
  const QImage stamp = StampOf(shape, style, ratio);
  if (stamp.isNull()) return false;
  const std::vector<StampGroup> groups =
      StampGroups(stamp, MarkerOpacity(style));
  const int parts = PartsFor(count);
  std::vector<Pixel> origins;
  try {
    origins.resize(count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  InParts(parts, [&](int k) {
    const std::size_t first = count * k / parts;
    const std::size_t last = count * (k + 1) / parts;
    for (std::size_t i = first; i < last; ++i) {
      const Pixel p = place(i);
      origins[i] = {(p.x - shape.extent) * ratio, (p.y - shape.extent) * ratio};
    }
  });
  // The pixels are taken once, before the threads share them.
  auto* bits = reinterpret_cast<std::uint32_t*>(image.bits());
  const qsizetype stride = image.bytesPerLine() / 4;
  const int rows = image.height();
  InParts(parts, [&](int k) {
    BlendStamps(bits, image.width(), stride, groups, stamp.height(), origins,
                rows * k / parts, rows * (k + 1) / parts);
  });
  return true;
}

// The series alone on a transparent layer of the chart's size at `ratio`
// device pixels a chart pixel: the line drawn by a painter, the markers
// blended into the layer's pixels. The layer is cut into bands of rows,
// one a thread; every band takes the markers in point order, so each
// pixel sees them in the order a painter would draw them.
QImage BlendedSeriesLayer(const PolarSeries& s, const Frame& frame, QSize size,
                          int ratio) {
  const ChartLayout& layout = frame.layout;
  const double maximum = frame.maximum;
  QImage image(size.width() * ratio, size.height() * ratio,
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  if (image.isNull()) return image;  // no memory for it: nothing drawn
  image.fill(Qt::transparent);
  const SeriesStyle style = frame.StyleOf(s);
  if (&s == &frame.chart.bootstrap &&
      frame.options.cloud == CloudDrawing::kOutline) {
    QPainter lp(&image);
    lp.setRenderHint(QPainter::Antialiasing, false);
    if (!DrawSeries(lp, s, frame)) return QImage();
    return image;
  }
  if (style.line_visible) {
    QPainter lp(&image);
    lp.setRenderHint(QPainter::Antialiasing, false);
    DrawLine(lp, s, style, layout, maximum, frame.scale);
  }
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return image;
  const std::vector<PolarPoint>& points = s.Points();
  const bool blended = BlendMarkersInto(
      image, style, points.size(),
      [&](std::size_t i) {
        return PlacePoint(layout, maximum, points[i].angle, points[i].value);
      },
      ratio, frame.scale);
  if (blended) return image;
  // Without room for the positions the painter draws the stamps, to the
  // same pixels, on a layer of its own.
  image = QImage();
  return SeriesLayer(s, frame, size, ratio);
}

// The smallest rectangle holding every pixel that the layer covers.
QRect CoveredExtent(const QImage& layer) {
  int left = layer.width(), right = -1, top = layer.height(), bottom = -1;
  for (int y = 0; y < layer.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
    for (int x = 0; x < layer.width(); ++x) {
      if (qAlpha(row[x]) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The series in drawing order: the bootstrap cloud first (beneath the
// data) or, drawn above them (markers or outline: an outline beneath the
// data would be hidden by them), after the measured and pre-strain data.
std::vector<const PolarSeries*> DrawingOrder(const Frame& frame) {
  std::vector<const PolarSeries*> list = frame.chart.SeriesList();
  if (frame.options.cloud == CloudDrawing::kBelow) return list;
  const auto cloud =
      std::find(list.begin(), list.end(), &frame.chart.bootstrap);
  const auto data = std::find(list.begin(), list.end(), &frame.chart.measured);
  if (cloud < data) std::rotate(cloud, cloud + 1, data + 1);
  return list;
}

// Whether the PDF engine will have the memory to embed the image: it asks
// for four bytes a pixel (the colours and the alpha apart), a bit a pixel
// for a mask, and buffers for the compression, and where it cannot have
// them it throws past every handler. So much address space is reserved
// here and given back at once; nothing is touched.
bool RoomToEmbedInPdf(const QImage& image) {
  const std::size_t pixels = static_cast<std::size_t>(image.width()) *
                             static_cast<std::size_t>(image.height());
  const std::size_t bytes = pixels * 4 + pixels / 8 + (std::size_t{1} << 20);
  void* room = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (room == MAP_FAILED) return false;
  ::munmap(room, bytes);
  return true;
}

}  // namespace

bool DrawLayerInPicture(QPainter& painter, QImage layer, PictureLayer kind,
                        qreal ratio,
                        const std::function<bool(QPainter&)>& beneath) {
  if (layer.isNull()) return false;
  if (kind == PictureLayer::kTransparent) {
    const QPaintEngine* engine = painter.paintEngine();
    if (engine != nullptr && engine->type() == QPaintEngine::Pdf &&
        layer.format() != QImage::Format_RGB32) {
      // The PDF engine embeds Format_RGB32 and Format_ARGB32 as they are
      // and converts any other format whole to Format_ARGB32, on Qt's
      // thread pool, which never finishes where no thread can be started.
      // Converted here, a strip at a time, the pixels are the same.
      layer = ConvertedOnThisThread(std::move(layer), QImage::Format_ARGB32);
      if (layer.isNull() || !RoomToEmbedInPdf(layer)) return false;
    }
    painter.drawImage(0, 0, layer);
    return true;
  }
  const QRect extent = CoveredExtent(layer);
  if (extent.isEmpty()) return true;
  // What lies beneath the series, drawn as the raster draws it, then the
  // series over it: opaque, and the same pixels as the screen shows.
  QImage ground(layer.size(), QImage::Format_RGB32);
  if (ground.isNull()) return false;
  ground.setDevicePixelRatio(ratio);
  {
    QPainter gp(&ground);
    gp.setRenderHint(QPainter::Antialiasing, false);
    if (!beneath(gp)) return false;
    gp.drawImage(0, 0, layer);
  }
  layer = QImage();
  QImage piece = ground.copy(extent);
  if (piece.isNull()) return false;
  piece.setDevicePixelRatio(ratio);
  painter.drawImage(QPointF(extent.left() / ratio, extent.top() / ratio),
                    piece);
  return true;
}

namespace {

// A large series in a vector picture: one image instead of a shape for
// every marker. False when there was no memory for an image of it.
bool DrawPictureLayer(QPainter& painter, const Frame& frame,
                      const std::vector<const PolarSeries*>& order,
                      const std::vector<const PolarSeries*>& left_out,
                      const PolarSeries& series, QSize size,
                      PictureLayer kind) {
  const qreal ratio = frame.scale;
  return DrawLayerInPicture(
      painter, SeriesLayer(series, frame, size, ratio), kind, ratio,
      [&](QPainter& gp) {
        gp.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));
        DrawDisc(gp, frame.chart, frame.layout);
        DrawChartDensityContours(gp, frame.chart, frame.layout, frame.maximum);
        for (const PolarSeries* s : order) {
          if (s == &series) break;
          if (!s->Active()) continue;
          if (std::find(left_out.begin(), left_out.end(), s) !=
              left_out.end()) {
            continue;
          }
          if (!DrawSeries(gp, *s, frame)) return false;
        }
        return true;
      });
}

bool Render(QPainter& painter, const EqualAreaChart& chart, QSize device_size,
            ChartRenderCache* cache, const PictureLayer* picture,
            const ChartRenderOptions& options) {
  const double scale = ValidScale(options.scale);
  const QSize size = LogicalSize(device_size, scale);
  painter.save();
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));

  const LegendView legend = MeasureLegend(chart, size.width(), options);
  const Frame frame{
      chart,
      LayOutChart(size.width(), size.height(), legend.layout,
                  options.grid_column, FooterHeight(options, size.width())),
      chart.RadialMaximum(), options, scale};
  const ChartLayout& layout = frame.layout;
  const double maximum = frame.maximum;
  painter.setClipRect(QRect(QPoint(0, 0), size));
  DrawDisc(painter, chart, layout);
  DrawChartDensityContours(painter, chart, layout, maximum);

  // Circles too close to the one inside them are left out.
  std::vector<const PolarSeries*> left_out;
  {
    const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      if (!drawn[i]) left_out.push_back(chart.IsoRatioCircles()[i].get());
    }
  }

  // A drawing without a cache (a picture) stops at the first image it
  // cannot have; the window's, with its cache, draws the rest without it.
  bool whole = true;
  auto carry_on = [&whole, cache](bool drawn) {
    whole = whole && drawn;
    return drawn || cache != nullptr;
  };

  if (cache) cache->Prune(chart);
  const std::vector<const PolarSeries*> order = DrawingOrder(frame);
  for (const PolarSeries* s : order) {
    if (!s->Active()) continue;
    if (std::find(left_out.begin(), left_out.end(), s) != left_out.end()) {
      continue;
    }
    bool drawn = true;
    if (cache && s->Count() > ChartRenderCache::kLayerThreshold) {
      ChartRenderCache::Layer& layer = cache->LayerFor(s);
      const qreal ratio = painter.device()->devicePixelRatioF() * scale;
      if (layer.revision != s->Revision() || layer.size != size ||
          layer.pixel_ratio != ratio || layer.cx != layout.cx ||
          layer.cy != layout.cy || layer.radius != layout.radius ||
          layer.maximum != maximum) {
        const int whole_ratio = static_cast<int>(ratio);
        layer.image = whole_ratio == ratio && whole_ratio >= 1
                          ? BlendedSeriesLayer(*s, frame, size, whole_ratio)
                          : SeriesLayer(*s, frame, size, ratio);
        layer.revision = s->Revision();
        layer.size = size;
        layer.pixel_ratio = ratio;
        layer.cx = layout.cx;
        layer.cy = layout.cy;
        layer.radius = layout.radius;
        layer.maximum = maximum;
        cache->CountRebuild();
      }
      painter.drawImage(0, 0, layer.image);
      drawn = !layer.image.isNull();
    } else if (picture && s->Count() > kPictureLayerThreshold) {
      drawn =
          DrawPictureLayer(painter, frame, order, left_out, *s, size, *picture);
    } else {
      drawn = DrawSeries(painter, *s, frame);
    }
    if (!carry_on(drawn)) {
      painter.restore();
      return false;
    }
  }
  if (options.figure_style) DrawIsoRatioLabels(painter, frame);
  if (!carry_on(DrawLegend(painter, legend, frame))) {
    painter.restore();
    return false;
  }
  DrawCaption(painter, frame);
  DrawProjectionNote(painter, frame);
  painter.restore();
  return whole;
}

}  // namespace

bool RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 ChartRenderCache* cache, const ChartRenderOptions& options) {
  return Render(painter, chart, size, cache, nullptr, options);
}

bool RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer,
                        const ChartRenderOptions& options) {
  return Render(painter, chart, size, nullptr, &layer, options);
}

QImage RenderChartImage(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  return EqualAreaPicture(chart).Image(size, options);
}

PolarSeries* LegendCheckBoxAt(EqualAreaChart& chart, QSize size, int x, int y) {
  const LegendView legend = MeasureLegend(chart, size.width());
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const LegendEntryLayout& e = legend.layout.entries[i];
    // The whole row of the entry answers, not only the box itself.
    const PixelRect row{
        e.check_box.left, e.sample.top,
        legend.layout.box.left + legend.layout.box.width - e.check_box.left,
        e.sample.height};
    if (row.Contains(x, y)) {
      for (PolarSeries* s : chart.SeriesList()) {
        if (s == legend.series[i]) return s;
      }
    }
  }
  return nullptr;
}

bool DrawMarkersAt(QPainter& painter, const SeriesStyle& style,
                   const std::vector<Pixel>& at, double scale) {
  return DrawMarkersWith(
      painter, style, at.size(), [&at](std::size_t i) { return at[i]; }, scale);
}

QImage MarkerLayerAt(const SeriesStyle& style, const std::vector<Pixel>& at,
                     QSize size, qreal ratio, double scale) {
  const int whole = static_cast<int>(ratio);
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;  // no memory for it: nothing drawn
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  if (style.marker == MarkerStyle::kNone || at.empty()) return image;
  if (whole == ratio && whole >= 1 &&
      BlendMarkersInto(
          image, style, at.size(), [&at](std::size_t i) { return at[i]; },
          whole, scale)) {
    return image;
  }
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  if (!DrawMarkersAt(lp, style, at, scale)) return QImage();
  return image;
}

}  // namespace orvane

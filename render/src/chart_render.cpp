#include "render/chart_render.h"

#include <QFontMetrics>
#include <QPainterPathStroker>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

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
  return ThinIsoRatioCircles(chart.IsoRatios(), layout.radius / maximum);
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
    const Pixel at = PlacePoint(layout, chart.RadialMaximum(), 0.0,
                                ZetaOfR(static_cast<float>(ratios[i])));
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

MarkerShape MakeMarkerShape(const SeriesStyle& style) {
  MarkerShape m;
  const double h = style.half_width;
  const double v = style.half_height;
  QPainterPath shape;
  switch (style.marker) {
    case MarkerStyle::kNone:
      return m;
    case MarkerStyle::kCircle:
      shape.addEllipse(QPointF(0, 0), h, v);
      break;
    case MarkerStyle::kSquare:
      shape.addRect(QRectF(-h, -v, 2 * h, 2 * v));
      break;
    case MarkerStyle::kDiamond:
      shape.moveTo(0, -v);
      shape.lineTo(h, 0);
      shape.lineTo(0, v);
      shape.lineTo(-h, 0);
      shape.closeSubpath();
      break;
    case MarkerStyle::kCross:
      shape.moveTo(-h, 0);
      shape.lineTo(h, 0);
      shape.moveTo(0, -v);
      shape.lineTo(0, v);
      break;
  }
  QPainterPath outline;
  if (style.outline) {
    QPainterPathStroker stroker;
    stroker.setWidth(style.outline_width);
    stroker.setCapStyle(style.square_caps ? Qt::SquareCap : Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    // One region for the whole outline: where strokes cross (the cross) it
    // is covered once.
    outline = stroker.createStroke(shape).simplified();
  }
  if (style.fill && style.marker != MarkerStyle::kCross) {
    m.fill = style.outline ? shape.subtracted(outline) : shape;
  }
  m.outline = outline;
  const QRectF bounds = shape.boundingRect().united(outline.boundingRect());
  m.extent =
      static_cast<int>(std::ceil(std::max(
          {-bounds.left(), bounds.right(), -bounds.top(), bounds.bottom()}))) +
      1;
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

// Fills the marker's regions around the pixel p.
void FillMarker(QPainter& painter, const MarkerShape& shape,
                const SeriesStyle& style, QPointF centre, int transparency) {
  painter.save();
  painter.translate(centre);
  if (!shape.fill.isEmpty()) {
    painter.fillPath(shape.fill, ToQColor(*style.fill, transparency));
  }
  if (!shape.outline.isEmpty()) {
    painter.fillPath(shape.outline, ToQColor(*style.outline, transparency));
  }
  painter.restore();
}

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

// Every marker of the series, blended one by one in point order.
void DrawMarkers(QPainter& painter, const PolarSeries& s,
                 const SeriesStyle& style, const ChartLayout& layout,
                 double maximum, double scale) {
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return;
  const MarkerShape shape = ScaledMarkerShape(style, scale);
  if (painter.device()->devType() == QInternal::Image) {
    // On a raster the marker is drawn once, opaque, and blended as a whole
    // at every point: far quicker for large data, and the same pixels. The
    // drawing has the raster's pixel ratio (and the figure's scale), so that
    // a screen of two device pixels a chart pixel gets markers as sharp as
    // drawn one by one.
    const qreal ratio = painter.device()->devicePixelRatioF() * scale;
    const int size = 2 * shape.extent + 1;
    const int device_size = static_cast<int>(std::ceil(size * ratio));
    QImage sprite(device_size, device_size,
                  QImage::Format_ARGB32_Premultiplied);
    sprite.setDevicePixelRatio(ratio);
    sprite.fill(Qt::transparent);
    {
      QPainter sp(&sprite);
      FillMarker(sp, shape, style,
                 QPointF(shape.extent + 0.5, shape.extent + 0.5), 0);
    }
    painter.save();
    painter.setOpacity((100 - style.transparency) / 100.0);
    for (const PolarPoint& p : s.Points()) {
      const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
      painter.drawImage(QPointF(px.x - shape.extent, px.y - shape.extent),
                        sprite);
    }
    painter.restore();
    return;
  }
  for (const PolarPoint& p : s.Points()) {
    FillMarker(painter, shape, style,
               PixelCentre(PlacePoint(layout, maximum, p.angle, p.value)),
               style.transparency);
  }
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

void DrawSeries(QPainter& painter, const PolarSeries& s, const Frame& frame) {
  const SeriesStyle style = frame.StyleOf(s);
  if (&s == &frame.chart.bootstrap &&
      frame.options.cloud == CloudDrawing::kOutline) {
    DrawCloudOutline(painter, s, style, frame.layout, frame.maximum);
    return;
  }
  DrawLine(painter, s, style, frame.layout, frame.maximum, frame.scale);
  DrawMarkers(painter, s, style, frame.layout, frame.maximum, frame.scale);
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

void DrawLegend(QPainter& painter, const LegendView& legend,
                const Frame& frame) {
  const PixelRect& box = legend.layout.box;
  if (legend.series.empty()) return;
  const bool figure = frame.options.figure_style;
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
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const PolarSeries& s = *legend.series[i];
    const SeriesStyle style = frame.StyleOf(s);
    const LegendEntryLayout& e = legend.layout.entries[i];
    if (!figure) DrawCheckBox(painter, e.check_box, s.Active());
    const int cy = e.sample.top + e.sample.height / 2;
    if (style.line_visible) {
      QPen pen(ToQColor(style.line_color), style.line_width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(e.sample.left + 1, cy,
                       e.sample.left + e.sample.width - 2, cy);
    }
    FillMarker(painter, ScaledMarkerShape(style, frame.scale), style,
               QPointF(e.sample.left + e.sample.width / 2 + 0.5, cy + 0.5),
               style.transparency);
    painter.setPen(ToQColor(kBlack));
    painter.drawText(e.text_x, e.text_baseline,
                     QString::fromStdString(style.title));
  }
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

// The series alone on a transparent image of the chart's size.
QImage SeriesLayer(const PolarSeries& s, const Frame& frame, QSize size,
                   qreal ratio = 1.0) {
  // The layer has as many pixels as the device it is drawn on.
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  DrawSeries(lp, s, frame);
  return image;
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

// A large series in a vector picture: one image instead of a shape for
// every marker.
void DrawPictureLayer(QPainter& painter, const Frame& frame,
                      const std::vector<const PolarSeries*>& order,
                      const std::vector<const PolarSeries*>& left_out,
                      const PolarSeries& series, QSize size,
                      PictureLayer kind) {
  const qreal ratio = frame.scale;
  QImage layer = SeriesLayer(series, frame, size, ratio);
  if (kind == PictureLayer::kTransparent) {
    painter.drawImage(0, 0, layer);
    return;
  }
  const QRect extent = CoveredExtent(layer);
  if (extent.isEmpty()) return;
  // What lies beneath the series, drawn as the raster draws it, then the
  // series over it: opaque, and the same pixels as the screen shows.
  QImage ground(layer.size(), QImage::Format_RGB32);
  ground.setDevicePixelRatio(ratio);
  {
    QPainter gp(&ground);
    gp.setRenderHint(QPainter::Antialiasing, false);
    gp.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));
    DrawDisc(gp, frame.chart, frame.layout);
    for (const PolarSeries* s : order) {
      if (s == &series) break;
      if (!s->Active()) continue;
      if (std::find(left_out.begin(), left_out.end(), s) != left_out.end()) {
        continue;
      }
      DrawSeries(gp, *s, frame);
    }
    gp.drawImage(0, 0, layer);
  }
  layer = QImage();
  QImage piece = ground.copy(extent);
  piece.setDevicePixelRatio(ratio);
  painter.drawImage(QPointF(extent.left() / ratio, extent.top() / ratio),
                    piece);
}

void Render(QPainter& painter, const EqualAreaChart& chart, QSize device_size,
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

  // Circles too close to the one inside them are left out.
  std::vector<const PolarSeries*> left_out;
  {
    const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      if (!drawn[i]) left_out.push_back(chart.IsoRatioCircles()[i].get());
    }
  }

  if (cache) cache->Prune(chart);
  const std::vector<const PolarSeries*> order = DrawingOrder(frame);
  for (const PolarSeries* s : order) {
    if (!s->Active()) continue;
    if (std::find(left_out.begin(), left_out.end(), s) != left_out.end()) {
      continue;
    }
    if (cache && s->Count() > ChartRenderCache::kLayerThreshold) {
      ChartRenderCache::Layer& layer = cache->LayerFor(s);
      const qreal ratio = painter.device()->devicePixelRatioF() * scale;
      if (layer.revision != s->Revision() || layer.size != size ||
          layer.pixel_ratio != ratio || layer.cx != layout.cx ||
          layer.cy != layout.cy || layer.radius != layout.radius ||
          layer.maximum != maximum) {
        layer.image = SeriesLayer(*s, frame, size, ratio);
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
    } else if (picture && s->Count() > kPictureLayerThreshold) {
      DrawPictureLayer(painter, frame, order, left_out, *s, size, *picture);
    } else {
      DrawSeries(painter, *s, frame);
    }
  }
  if (options.figure_style) DrawIsoRatioLabels(painter, frame);
  DrawLegend(painter, legend, frame);
  DrawCaption(painter, frame);
  painter.restore();
}

}  // namespace

void RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 ChartRenderCache* cache, const ChartRenderOptions& options) {
  Render(painter, chart, size, cache, nullptr, options);
}

void RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer,
                        const ChartRenderOptions& options) {
  Render(painter, chart, size, nullptr, &layer, options);
}

QImage RenderChartImage(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  RenderChart(painter, chart, size, nullptr, options);
  return image;
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

}  // namespace orvane

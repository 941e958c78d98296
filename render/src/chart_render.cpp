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
#include <utility>

#include "core/parallel.h"
#include "marker_drawing.h"
#include "render/bitmap_file.h"
#include "render/density_render.h"
#include "render/plot_picture.h"
#include "render/plot_render.h"
#include "render/true_geometry.h"

namespace orvane {

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

QStringList CaptionLines(const std::string& caption, int width) {
  QStringList lines;
  for (const std::string& line :
       CaptionLines(caption, width, QtTextMeasure())) {
    lines.push_back(QString::fromStdString(line));
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
  const Pixel own = OwnSize(size.width(), size.height(), scale);
  return QSize(own.x, own.y);
}

}  // namespace

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  const QSize logical = LogicalSize(size, ValidScale(options.scale));
  return LayOutChart(logical.width(), logical.height(),
                     MeasureLegend(chart, logical.width(), options).layout,
                     options.grid_column ? kDataGridWidth : 0,
                     FooterHeight(options, logical.width()));
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
  std::vector<PlotPosition> exact;
  exact.reserve(points.size());
  for (const QPoint& p : points) exact.push_back({1.0 * p.x(), 1.0 * p.y()});
  std::vector<QPoint> hull;
  for (const PlotPosition& p : ExactConvexHull(std::move(exact))) {
    hull.emplace_back(static_cast<int>(p.x), static_cast<int>(p.y));
  }
  // Start from the lowest (largest y), leftmost corner.
  auto less = [](QPoint a, QPoint b) {
    return a.y() > b.y() || (a.y() == b.y() && a.x() < b.x());
  };
  std::rotate(hull.begin(), std::min_element(hull.begin(), hull.end(), less),
              hull.end());
  return hull;
}

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kLegendBackground = 0xFFFFE1;  // the system's tooltip colour
constexpr Rgb kLegendShadowColour = 0xCCCCCC;
constexpr Rgb kFigureLegendFrame = 0x808080;
constexpr Rgb kIsoRatioLabelColour = 0x505050;

// What one drawing needs besides the painter: the layout in chart pixels,
// the radial maximum and the options.
struct Frame {
  const EqualAreaChart& chart;
  ChartLayout layout;
  double maximum = 0;
  const ChartRenderOptions& options;
  double scale = 1.0;
  PlotMapping mapping = PlotMapping::Polar(layout, maximum);
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

bool IsRaster(const QPainter& painter) {
  return IsRasterPainter(painter);
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

// An iso-R circle in a vector picture: a true circle about the centre, and
// the outermost one's radius to the right, where its points go to the
// centre and back.
void DrawExactCircle(QPainter& painter, const PolarSeries& s,
                     const PlotMapping& mapping) {
  double value = 0;
  bool radius = false;
  for (const PolarPoint& p : s.Points()) {
    value = std::max(value, p.value);
    radius = radius || p.value <= 0;
  }
  const double r = value * mapping.PixelsPerUnit();
  painter.drawEllipse(ToQPointF(mapping.Centre()), r, r);
  if (radius) {
    DrawExactPolyline(painter, {mapping.Exact(0, 0), mapping.Exact(0, value)},
                      mapping.Frame());
  }
}

void DrawLine(QPainter& painter, const PolarSeries& s, const SeriesStyle& style,
              const Frame& frame) {
  const ChartLayout& layout = frame.layout;
  const double maximum = frame.maximum;
  const double scale = frame.scale;
  const auto& pts = s.Points();
  if (!style.line_visible || pts.size() < 2) return;
  QPen pen(ToQColor(style.line_color), style.line_width);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  if (!IsRaster(painter)) {
    // True geometry: circles as circles, lines through the exact places.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const auto& circles = frame.chart.IsoRatioCircles();
    const bool circle =
        std::any_of(circles.begin(), circles.end(),
                    [&s](const auto& c) { return c.get() == &s; });
    if (circle) {
      DrawExactCircle(painter, s, frame.mapping);
    } else {
      std::vector<PlotPosition> line;
      line.reserve(pts.size());
      for (const PolarPoint& p : pts) {
        line.push_back(frame.mapping.Exact(p.angle, p.value));
      }
      DrawExactPolyline(painter, std::move(line), frame.mapping.Frame(),
                        style.closed);
    }
    painter.restore();
    return;
  }
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

// The outline of the region the cloud's points cover: through the exact
// places in a vector picture, through the centres of the points' pixels on
// a raster.
void DrawCloudOutline(QPainter& painter, const PolarSeries& s,
                      const SeriesStyle& style, const Frame& frame) {
  std::vector<PlotPosition> hull;
  if (!IsRaster(painter)) {
    std::vector<PlotPosition> points;
    points.reserve(s.Count());
    for (const PolarPoint& p : s.Points()) {
      points.push_back(frame.mapping.Exact(p.angle, p.value));
    }
    hull = ExactConvexHull(std::move(points));
  } else {
    std::vector<QPoint> points;
    points.reserve(s.Count());
    for (const PolarPoint& p : s.Points()) {
      const Pixel px = frame.mapping.Snapped(p.angle, p.value);
      points.emplace_back(px.x, px.y);
    }
    for (const QPoint& p : ConvexHull(std::move(points))) {
      hull.push_back({p.x() + 0.5, p.y() + 0.5});
    }
  }
  if (hull.empty()) return;
  QPen pen(ToQColor(style.line_color), style.line_width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  QPolygonF polygon;
  for (const PlotPosition& p : hull) polygon.append(ToQPointF(p));
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
    DrawCloudOutline(painter, s, style, frame);
    return true;
  }
  DrawLine(painter, s, style, frame);
  if (!IsRaster(painter)) {
    std::vector<PlotPosition> at;
    at.reserve(s.Count());
    for (const PolarPoint& p : s.Points()) {
      at.push_back(frame.mapping.Exact(p.angle, p.value));
    }
    DrawMarkerShapesAt(painter, style, at);
    return true;
  }
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
  if (!IsRaster(painter)) {
    // The circle through the centres of the screen's outline pixels.
    painter.drawEllipse(QPointF(layout.cx + 0.5, layout.cy + 0.5),
                        layout.radius, layout.radius);
    return;
  }
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

namespace {

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
    DrawLine(lp, s, style, frame);
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
            PlotRenderCache* cache, const PictureLayer* picture,
            const ChartRenderOptions& options) {
  const double scale = ValidScale(options.scale);
  const QSize size = LogicalSize(device_size, scale);
  painter.save();
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));

  const LegendView legend = MeasureLegend(chart, size.width(), options);
  const Frame frame{chart,
                    LayOutChart(size.width(), size.height(), legend.layout,
                                options.grid_column ? kDataGridWidth : 0,
                                FooterHeight(options, size.width())),
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

  if (cache) {
    const auto list = chart.SeriesList();
    cache->Prune(std::vector<const void*>(list.begin(), list.end()));
  }
  const std::vector<const PolarSeries*> order = DrawingOrder(frame);
  for (const PolarSeries* s : order) {
    if (!s->Active()) continue;
    if (std::find(left_out.begin(), left_out.end(), s) != left_out.end()) {
      continue;
    }
    bool drawn = true;
    if (cache && s->Count() > PlotRenderCache::kLayerThreshold) {
      const qreal ratio = painter.device()->devicePixelRatioF() * scale;
      const PlotRenderCache::Key key{
          s->Revision(),
          size,
          ratio,
          {static_cast<double>(layout.cx), static_cast<double>(layout.cy),
           static_cast<double>(layout.radius), maximum}};
      const QImage& image = cache->Layer(s, key, [&] {
        const int whole_ratio = static_cast<int>(ratio);
        return whole_ratio == ratio && whole_ratio >= 1
                   ? BlendedSeriesLayer(*s, frame, size, whole_ratio)
                   : SeriesLayer(*s, frame, size, ratio);
      });
      painter.drawImage(0, 0, image);
      drawn = !image.isNull();
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
                 PlotRenderCache* cache, const ChartRenderOptions& options) {
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
  const int row = LegendRowAt(legend.layout, x, y);
  if (row < 0) return nullptr;
  for (PolarSeries* s : chart.SeriesList()) {
    if (s == legend.series[static_cast<std::size_t>(row)]) return s;
  }
  return nullptr;
}

bool EqualAreaScreen::Draw(QPainter& painter, QSize size,
                           PlotRenderCache& cache) const {
  return RenderChart(painter, chart_, size, &cache);
}

int EqualAreaScreen::LegendEntryAt(QSize size, int x, int y) const {
  return LegendRowAt(MeasureLegend(chart_, size.width()).layout, x, y);
}

void EqualAreaScreen::ToggleLegendEntry(QSize size, int entry) {
  const LegendView legend = MeasureLegend(chart_, size.width());
  if (entry < 0 || entry >= static_cast<int>(legend.series.size())) return;
  const PolarSeries* shown = legend.series[static_cast<std::size_t>(entry)];
  for (PolarSeries* s : chart_.SeriesList()) {
    if (s == shown) s->SetActive(!s->Active());
  }
}

}  // namespace orvane

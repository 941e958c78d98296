#include "render/chart_render.h"

#include <QFontMetrics>
#include <QPainterPathStroker>
#include <QPolygon>
#include <cmath>

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

LegendView MeasureLegend(const EqualAreaChart& chart, int width) {
  LegendView view;
  const QFontMetrics fm(LegendFont());
  std::vector<int> widths;
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Style().show_in_legend) continue;
    view.series.push_back(s);
    widths.push_back(
        fm.horizontalAdvance(QString::fromStdString(s->Style().title)));
  }
  view.layout = LayOutLegend(width, widths, fm.height(), fm.ascent());
  return view;
}

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size) {
  return LayOutChart(size.width(), size.height(),
                     MeasureLegend(chart, size.width()).layout);
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

void DrawLine(QPainter& painter, const PolarSeries& s,
              const ChartLayout& layout, double maximum) {
  const auto& pts = s.Points();
  if (!s.Style().line_visible || pts.size() < 2) return;
  QPolygon polygon;
  polygon.reserve(static_cast<int>(pts.size()));
  for (const PolarPoint& p : pts) {
    const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
    polygon.append(QPoint(px.x, px.y));
  }
  QPen pen(ToQColor(s.Style().line_color), s.Style().line_width);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  if (s.Style().closed) {
    painter.drawPolygon(polygon);
  } else {
    painter.drawPolyline(polygon);
  }
}

// Every marker of the series, blended one by one in point order.
void DrawMarkers(QPainter& painter, const PolarSeries& s,
                 const ChartLayout& layout, double maximum) {
  const SeriesStyle& style = s.Style();
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return;
  const MarkerShape shape = MakeMarkerShape(style);
  if (painter.device()->devType() == QInternal::Image) {
    // On a raster the marker is drawn once, opaque, and blended as a whole
    // at every point: far quicker for large data, and the same pixels. The
    // drawing has the raster's pixel ratio, so that a screen of two device
    // pixels a chart pixel gets markers as sharp as drawn one by one.
    const qreal ratio = painter.device()->devicePixelRatioF();
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
      painter.drawImage(px.x - shape.extent, px.y - shape.extent, sprite);
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

void DrawSeries(QPainter& painter, const PolarSeries& s,
                const ChartLayout& layout, double maximum) {
  DrawLine(painter, s, layout, maximum);
  DrawMarkers(painter, s, layout, maximum);
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

void DrawLegend(QPainter& painter, const LegendView& legend) {
  const PixelRect& box = legend.layout.box;
  if (legend.series.empty()) return;
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(kLegendShadowColour));
  painter.drawRect(box.left + kLegendShadow, box.top + kLegendShadow, box.width,
                   box.height);
  painter.setBrush(ToQColor(kLegendBackground));
  painter.drawRect(box.left, box.top, box.width, box.height);
  painter.setFont(LegendFont());
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const PolarSeries& s = *legend.series[i];
    const LegendEntryLayout& e = legend.layout.entries[i];
    DrawCheckBox(painter, e.check_box, s.Active());
    const int cy = e.sample.top + e.sample.height / 2;
    if (s.Style().line_visible) {
      QPen pen(ToQColor(s.Style().line_color), s.Style().line_width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(e.sample.left + 1, cy,
                       e.sample.left + e.sample.width - 2, cy);
    }
    FillMarker(painter, MakeMarkerShape(s.Style()), s.Style(),
               QPointF(e.sample.left + e.sample.width / 2 + 0.5, cy + 0.5),
               s.Style().transparency);
    painter.setPen(ToQColor(kBlack));
    painter.drawText(e.text_x, e.text_baseline,
                     QString::fromStdString(s.Style().title));
  }
}

// The series alone on a transparent image of the chart's size.
QImage SeriesLayer(const PolarSeries& s, const ChartLayout& layout,
                   double maximum, QSize size, qreal ratio = 1.0) {
  // The layer has as many pixels as the device it is drawn on.
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  DrawSeries(lp, s, layout, maximum);
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

// A large series in a vector picture: one image instead of a shape for
// every marker.
void DrawPictureLayer(QPainter& painter, const EqualAreaChart& chart,
                      const PolarSeries& series, const ChartLayout& layout,
                      double maximum, QSize size, PictureLayer kind) {
  QImage layer = SeriesLayer(series, layout, maximum, size);
  if (kind == PictureLayer::kTransparent) {
    painter.drawImage(0, 0, layer);
    return;
  }
  const QRect extent = CoveredExtent(layer);
  if (extent.isEmpty()) return;
  // What lies beneath the series, drawn as the raster draws it, then the
  // series over it: opaque, and the same pixels as the screen shows.
  QImage ground(size, QImage::Format_RGB32);
  {
    QPainter gp(&ground);
    gp.setRenderHint(QPainter::Antialiasing, false);
    gp.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));
    DrawDisc(gp, chart, layout);
    for (const PolarSeries* s : chart.SeriesList()) {
      if (s == &series) break;
      if (s->Active()) DrawSeries(gp, *s, layout, maximum);
    }
    gp.drawImage(0, 0, layer);
  }
  layer = QImage();
  painter.drawImage(extent.topLeft(), ground.copy(extent));
}

void Render(QPainter& painter, const EqualAreaChart& chart, QSize size,
            ChartRenderCache* cache, const PictureLayer* picture) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));

  const LegendView legend = MeasureLegend(chart, size.width());
  const ChartLayout layout =
      LayOutChart(size.width(), size.height(), legend.layout);
  const double maximum = chart.RadialMaximum();
  painter.setClipRect(QRect(QPoint(0, 0), size));
  DrawDisc(painter, chart, layout);

  if (cache) cache->Prune(chart);
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Active()) continue;
    if (cache && s->Count() > ChartRenderCache::kLayerThreshold) {
      ChartRenderCache::Layer& layer = cache->LayerFor(s);
      const qreal ratio = painter.device()->devicePixelRatioF();
      if (layer.revision != s->Revision() || layer.size != size ||
          layer.pixel_ratio != ratio || layer.cx != layout.cx ||
          layer.cy != layout.cy || layer.radius != layout.radius ||
          layer.maximum != maximum) {
        layer.image = SeriesLayer(*s, layout, maximum, size, ratio);
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
      DrawPictureLayer(painter, chart, *s, layout, maximum, size, *picture);
    } else {
      DrawSeries(painter, *s, layout, maximum);
    }
  }
  DrawLegend(painter, legend);
  painter.restore();
}

}  // namespace

void RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 ChartRenderCache* cache) {
  Render(painter, chart, size, cache, nullptr);
}

void RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer) {
  Render(painter, chart, size, nullptr, &layer);
}

QImage RenderChartImage(const EqualAreaChart& chart, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  RenderChart(painter, chart, size);
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

// SPDX-License-Identifier: MIT
#include "render/chart_render.h"

#include <sys/mman.h>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPolygon>
#include <QTransform>

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

QFont FaceFont(TextFace face, double size) {
  QFont f = face == TextFace::kScreen ? LegendFont() : FigureTextFont();
  if (size > 0) {
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setPixelSize(
        std::max(1, static_cast<int>(std::lround(size * kTextOversize))));
  }
  return f;
}

void DrawFaceText(QPainter& painter, double size, int x, int baseline,
                  const QString& text) {
  if (size <= 0) {
    painter.drawText(x, baseline, text);
    return;
  }
  painter.save();
  painter.translate(x, baseline);
  painter.scale(1.0 / kTextOversize, 1.0 / kTextOversize);
  painter.drawText(0, 0, text);
  painter.restore();
}

QPainterPath FaceTextPath(const QFont& font, double size, int x, int baseline,
                          const QString& text) {
  QPainterPath path;
  if (size <= 0) {
    path.addText(x, baseline, font, text);
    return path;
  }
  path.addText(0, 0, font, text);
  return QTransform::fromTranslate(x, baseline)
      .scale(1.0 / kTextOversize, 1.0 / kTextOversize)
      .map(path);
}

QString ProjectionNote(ChartProjection projection) {
  return QString::fromStdString(ProjectionNoteText(projection));
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
  return MeasureLegend(chart, width, options,
                       QtTextMeasure(FaceSizesOf(options)));
}

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  return LayOutChart(chart,
                     {size.width(), size.height(), options, kDataGridWidth},
                     QtTextMeasure(FaceSizesOf(options)));
}

std::vector<IsoRatioLabel> IsoRatioLabels(const EqualAreaChart& chart,
                                          const ChartLayout& layout) {
  std::vector<IsoRatioLabel> labels;
  for (const IsoRatioLabelBox& l :
       PlaceIsoRatioLabels(chart, layout, QtTextMeasure())) {
    labels.push_back({l.ratio, QString::fromStdString(l.text),
                      QRect(l.box.left, l.box.top, l.box.width, l.box.height)});
  }
  return labels;
}

std::vector<QPoint> ConvexHull(std::vector<QPoint> points) {
  std::vector<Pixel> pixels;
  pixels.reserve(points.size());
  for (const QPoint& p : points) pixels.push_back({p.x(), p.y()});
  std::vector<QPoint> hull;
  for (const Pixel& p : PixelHull(std::move(pixels)))
    hull.emplace_back(p.x, p.y);
  return hull;
}

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kLegendBackground = 0xFFFFE1;  // the system's tooltip colour
constexpr Rgb kLegendShadowColour = 0xCCCCCC;
constexpr Rgb kFigureLegendFrame = 0x808080;

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
                     double scale, double text_size, int unit) {
  const PixelRect& box = layout.box;
  if (items.empty()) return true;
  if (figure) {
    // White, framed in grey, without the shadow of a tooltip.
    painter.setPen(QPen(ToQColor(kFigureLegendFrame), unit));
    painter.setBrush(ToQColor(0xFFFFFF));
    painter.drawRect(box.left, box.top, box.width - unit, box.height - unit);
  } else {
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(kLegendShadowColour));
    painter.drawRect(box.left + kLegendShadow * unit,
                     box.top + kLegendShadow * unit, box.width, box.height);
    painter.setBrush(ToQColor(kLegendBackground));
    painter.drawRect(box.left, box.top, box.width, box.height);
  }
  painter.setFont(
      FaceFont(figure ? TextFace::kFigureSmall : TextFace::kScreen, text_size));
  for (std::size_t i = 0; i < items.size() && i < layout.entries.size(); ++i) {
    const SeriesStyle& style = items[i].style;
    const LegendEntryLayout& e = layout.entries[i];
    if (!figure && unit == 1) {
      DrawCheckBox(painter, e.check_box, items[i].checked);
    } else if (!figure) {
      // The screen's check box, drawn at the layout's unit.
      painter.save();
      painter.translate(e.check_box.left, e.check_box.top);
      painter.scale(unit, unit);
      DrawCheckBox(painter,
                   {0, 0, e.check_box.width / unit, e.check_box.height / unit},
                   items[i].checked);
      painter.restore();
    }
    const int cy = e.sample.top + e.sample.height / 2;
    if (style.line_visible) {
      QPen pen(ToQColor(style.line_color), style.line_width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(e.sample.left + unit, cy,
                       e.sample.left + e.sample.width - 2 * unit, cy);
    }
    if (!FillMarker(painter, ScaledMarkerShape(style, scale), style,
                    Pixel{e.sample.left + e.sample.width / 2, cy}, scale)) {
      return false;
    }
    painter.setPen(ToQColor(kBlack));
    DrawFaceText(painter, text_size, e.text_x, e.text_baseline,
                 QString::fromStdString(style.title));
  }
  return true;
}

namespace {

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

bool RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 PlotRenderCache* cache, const ChartRenderOptions& options) {
  return RenderPlot(painter, ModelOf(chart, size, options), cache);
}

bool RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer,
                        const ChartRenderOptions& options) {
  return RenderPlot(painter, ModelOf(chart, size, options), nullptr, &layer);
}

QImage RenderChartImage(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options) {
  return ModelPicture(chart).Image(size, options);
}

}  // namespace orvane

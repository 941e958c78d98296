#include "render/plot_render.h"

#include <QPolygon>
#include <QPolygonF>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <variant>

#include "chart/density_contours.h"
#include "render/density_render.h"
#include "render/markers.h"
#include "render/true_geometry.h"

namespace orvane {

QFont FaceFont(TextFace face) {
  return face == TextFace::kFigure ? FigureTextFont() : LegendFont();
}

QtTextMeasure::QtTextMeasure()
    : screen_(FaceFont(TextFace::kScreen)),
      figure_(FaceFont(TextFace::kFigure)) {}

FaceMetrics QtTextMeasure::Metrics(TextFace face) const {
  const QFontMetrics& fm = face == TextFace::kFigure ? figure_ : screen_;
  return {fm.height(), fm.ascent(), fm.descent()};
}

int QtTextMeasure::Width(TextFace face, std::string_view text) const {
  const QFontMetrics& fm = face == TextFace::kFigure ? figure_ : screen_;
  return fm.horizontalAdvance(
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

PlotModel ModelOf(const PlotSource& source, QSize size,
                  const ChartRenderOptions& options) {
  return source.Model({size.width(), size.height(), options}, QtTextMeasure());
}

namespace {

// The whole pixels a raster clips a layer to: those the frame's lines
// cover and all within.
QRect RasterFrame(const PlotMapping& mapping) {
  const PlotRect f = mapping.Frame();
  return QRect(QPoint(static_cast<int>(std::floor(f.left)),
                      static_cast<int>(std::floor(f.top))),
               QPoint(static_cast<int>(std::floor(f.right)),
                      static_cast<int>(std::floor(f.bottom))));
}

PlotPosition ExactPlace(const PlotMapping& mapping, const PlotVertex& v) {
  const PlotPosition p = mapping.Exact(v.a, v.b);
  return {p.x + v.dx, p.y + v.dy};
}

QPoint SnappedPlace(const PlotMapping& mapping, const PlotVertex& v) {
  const Pixel p = mapping.Snapped(v.a, v.b);
  return QPoint(p.x + static_cast<int>(std::lround(v.dx)),
                p.y + static_cast<int>(std::lround(v.dy)));
}

void DrawLines(QPainter& painter, const PlotModel& model,
               const LineLayer& layer) {
  painter.save();
  const PlotMapping& mapping = model.mapping;
  if (layer.clip) painter.setClipRect(RasterFrame(mapping), Qt::IntersectClip);
  QPen pen(ToQColor(layer.colour), layer.width);
  if (layer.round_joins) {
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
  }
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const bool exact = !IsRasterPainter(painter);
  const bool smooth = layer.raster == LineLayer::Raster::kSmoothWhenScaled &&
                      (exact || model.scale != 1.0);
  painter.setRenderHint(QPainter::Antialiasing, smooth);
  // Lines the screen draws on whole pixels stay segments and rectangles
  // there, as the screen has always drawn them.
  const bool whole = layer.raster == LineLayer::Raster::kWholePixels;
  for (const std::vector<PlotVertex>& line : layer.lines) {
    if (line.size() < 2) continue;
    if (exact || smooth) {
      std::vector<PlotPosition> at;
      at.reserve(line.size());
      for (const PlotVertex& v : line) at.push_back(ExactPlace(mapping, v));
      if (exact && layer.clip) {
        // Cut in the line's own geometry: an SVG reader is given no clip.
        DrawExactPolyline(painter, std::move(at), mapping.Frame(),
                          layer.closed);
        continue;
      }
      QPolygonF polygon;
      polygon.reserve(static_cast<int>(at.size()));
      for (const PlotPosition& p : at) polygon.append(ToQPointF(p));
      if (layer.closed) {
        painter.drawPolygon(polygon);
      } else if (whole && polygon.size() == 2) {
        painter.drawLine(polygon[0], polygon[1]);
      } else {
        painter.drawPolyline(polygon);
      }
      continue;
    }
    QPolygon polygon;
    polygon.reserve(static_cast<int>(line.size()));
    for (const PlotVertex& v : line) polygon.append(SnappedPlace(mapping, v));
    if (layer.closed && whole && polygon.size() == 4 &&
        polygon[0].y() == polygon[1].y() && polygon[1].x() == polygon[2].x() &&
        polygon[2].y() == polygon[3].y() && polygon[3].x() == polygon[0].x()) {
      const int left = std::min(polygon[0].x(), polygon[2].x());
      const int top = std::min(polygon[0].y(), polygon[2].y());
      painter.drawRect(left, top, std::abs(polygon[2].x() - polygon[0].x()),
                       std::abs(polygon[2].y() - polygon[0].y()));
    } else if (layer.closed) {
      painter.drawPolygon(polygon);
    } else if (whole && polygon.size() == 2) {
      painter.drawLine(polygon[0], polygon[1]);
    } else {
      painter.drawPolyline(polygon);
    }
  }
  painter.restore();
}

void DrawBands(QPainter& painter, const PlotModel& model,
               const BandLayer& layer) {
  if (layer.contours == nullptr) return;
  painter.save();
  const PlotMapping& mapping = model.mapping;
  if (layer.clip) painter.setClipRect(RasterFrame(mapping), Qt::IntersectClip);
  const PlotToPainter map = [&mapping](const PlotPoint& p) {
    return ToQPointF(mapping.Exact(p.x, std::exp(p.y)));
  };
  if (layer.clip && !IsRasterPainter(painter)) {
    // Cut in the bands' own geometry, as the lines are.
    const PlotRect f = mapping.Frame();
    QPainterPath frame;
    frame.addRect(QRectF(QPointF(f.left, f.top), QPointF(f.right, f.bottom)));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const int count = static_cast<int>(layer.contours->bands.size());
    for (int i = 0; i < count; ++i) {
      const QPainterPath path =
          DensityBandPath(layer.contours->bands[static_cast<std::size_t>(i)],
                          map)
              .intersected(frame);
      if (path.isEmpty()) continue;
      painter.fillPath(path, DensityBandColour(i, count));
    }
  } else {
    DrawDensityBands(painter, *layer.contours, map);
  }
  painter.restore();
}

void DrawText(QPainter& painter, const TextLayer& layer) {
  if (layer.items.empty()) return;
  painter.setFont(FaceFont(layer.face));
  painter.setPen(ToQColor(layer.colour));
  for (const TextItem& item : layer.items) {
    painter.drawText(item.x, item.baseline, QString::fromStdString(item.text));
  }
}

bool DrawLayer(QPainter& painter, const PlotModel& model, std::size_t index,
               PlotRenderCache* cache, const PictureLayer* picture);

// What lies beneath layer `until` in a raster of the plot: the background
// and the layers before it.
bool DrawGround(QPainter& painter, const PlotModel& model, std::size_t until) {
  painter.fillRect(QRect(0, 0, model.width, model.height),
                   ToQColor(model.background));
  for (std::size_t i = 0; i < until; ++i) {
    if (!DrawLayer(painter, model, i, nullptr, nullptr)) return false;
  }
  return true;
}

// The markers of a series: from a cached layer on the screen, as one image
// in a vector picture when there are very many, else one by one. False
// when there was no memory for an image of them.
bool DrawMarkers(QPainter& painter, const PlotModel& model, std::size_t index,
                 PlotRenderCache* cache, const PictureLayer* picture) {
  const auto& layer = std::get<MarkerLayer>(model.layers[index]);
  if (layer.count == 0) return true;
  const QSize size(model.width, model.height);
  if (picture == nullptr && layer.count > PlotRenderCache::kLayerThreshold) {
    const qreal ratio = painter.device()->devicePixelRatioF() * model.scale;
    auto draw = [&] {
      return MarkerLayerAt(layer.style, layer.pixels(), size, ratio,
                           model.scale);
    };
    if (cache == nullptr) {
      const QImage image = draw();
      painter.drawImage(0, 0, image);
      return !image.isNull();
    }
    const PlotRenderCache::Key key{layer.revision, size, ratio,
                                   layer.placement};
    const QImage& image = cache->Layer(layer.source, key, draw);
    painter.drawImage(0, 0, image);
    return !image.isNull();
  }
  if (picture != nullptr && layer.count > kPictureLayerThreshold) {
    const qreal ratio = model.scale;
    // A metafile's bitmaps have no alpha that readers honour: there the
    // series goes in opaque over what lies beneath it.
    return DrawLayerInPicture(
        painter,
        MarkerLayerAt(layer.style, layer.pixels(), size, ratio, model.scale),
        *picture, ratio,
        [&](QPainter& ground) { return DrawGround(ground, model, index); });
  }
  if (!IsRasterPainter(painter)) {
    DrawMarkerShapesAt(painter, layer.style, layer.places());
    return true;
  }
  return DrawMarkersAt(painter, layer.style, layer.pixels(), model.scale);
}

bool DrawLayer(QPainter& painter, const PlotModel& model, std::size_t index,
               PlotRenderCache* cache, const PictureLayer* picture) {
  const PlotLayer& layer = model.layers[index];
  if (std::holds_alternative<MarkerLayer>(layer)) {
    return DrawMarkers(painter, model, index, cache, picture);
  }
  if (const auto* lines = std::get_if<LineLayer>(&layer)) {
    DrawLines(painter, model, *lines);
  } else if (const auto* bands = std::get_if<BandLayer>(&layer)) {
    DrawBands(painter, model, *bands);
  } else if (const auto* text = std::get_if<TextLayer>(&layer)) {
    DrawText(painter, *text);
  } else if (const auto* legend = std::get_if<LegendLayer>(&layer)) {
    return DrawLegendItems(painter, legend->layout, legend->items,
                           legend->figure_style, model.scale);
  }
  return true;
}

}  // namespace

bool RenderPlot(QPainter& painter, const PlotModel& model,
                PlotRenderCache* cache, const PictureLayer* picture) {
  painter.save();
  painter.scale(model.scale, model.scale);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  const QRect all(0, 0, model.width, model.height);
  painter.fillRect(all, ToQColor(model.background));
  painter.setClipRect(all);
  bool whole = true;
  for (std::size_t i = 0; i < model.layers.size(); ++i) {
    if (DrawLayer(painter, model, i, cache, picture)) continue;
    whole = false;
    // A drawing without a cache (a picture) stops at the first image it
    // cannot have; the window's, with its cache, draws the rest without it.
    if (cache == nullptr) break;
  }
  painter.restore();
  return whole;
}

bool ModelScreen::Draw(QPainter& painter, QSize size,
                       PlotRenderCache& cache) const {
  return RenderPlot(painter, ModelOf(source_, size, {}), &cache);
}

int ModelScreen::LegendEntryAt(QSize size, int x, int y) const {
  const PlotModel model = ModelOf(source_, size, {});
  const LegendLayer* legend = model.Legend();
  return legend != nullptr ? LegendRowAt(legend->layout, x, y) : -1;
}

void ModelScreen::ToggleLegendEntry(QSize size, int entry) {
  const PlotModel model = ModelOf(source_, size, {});
  const LegendLayer* legend = model.Legend();
  if (legend == nullptr || entry < 0 ||
      entry >= static_cast<int>(legend->items.size())) {
    return;
  }
  source_.ToggleLegendEntry(legend->items[static_cast<std::size_t>(entry)].id);
}

bool ModelPicture::Draw(QPainter& painter, QSize size,
                        const ChartRenderOptions& options) const {
  return RenderPlot(painter, ModelOf(source_, size, options));
}

bool ModelPicture::DrawPicture(QPainter& painter, QSize size,
                               PictureLayer layer,
                               const ChartRenderOptions& options) const {
  return RenderPlot(painter, ModelOf(source_, size, options), nullptr, &layer);
}

QString ModelPicture::Title() const {
  return QString::fromStdString(source_.Title());
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "render/plot_render.h"

#include <QPainterPath>
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

QtTextMeasure::QtTextMeasure(const FaceSizes& sizes) : sizes_(sizes) {
  for (TextFace face :
       {TextFace::kScreen, TextFace::kFigure, TextFace::kFigureSmall}) {
    const QFont font = FaceFont(face, sizes.Of(face));
    whole_[static_cast<std::size_t>(face)] = QFontMetrics(font);
    exact_[static_cast<std::size_t>(face)] = QFontMetricsF(font);
  }
}

FaceMetrics QtTextMeasure::Metrics(TextFace face) const {
  const auto i = static_cast<std::size_t>(face);
  if (sizes_.Of(face) <= 0) {
    return {whole_[i].height(), whole_[i].ascent(), whole_[i].descent()};
  }
  // The oversized font's metrics scaled back, rounded up to whole pixels.
  const int ascent =
      static_cast<int>(std::ceil(exact_[i].ascent() / kTextOversize - 1e-9));
  const int descent =
      static_cast<int>(std::ceil(exact_[i].descent() / kTextOversize - 1e-9));
  return {ascent + descent, ascent, descent};
}

int QtTextMeasure::Width(TextFace face, std::string_view text) const {
  const auto i = static_cast<std::size_t>(face);
  const QString s =
      QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (sizes_.Of(face) <= 0) return whole_[i].horizontalAdvance(s);
  return static_cast<int>(
      std::ceil(exact_[i].horizontalAdvance(s) / kTextOversize - 1e-9));
}

PlotModel ModelOf(const PlotSource& source, QSize size,
                  const ChartRenderOptions& options) {
  PlotModel model =
      source.Model({size.width(), size.height(), options, kDataGridWidth},
                   QtTextMeasure(FaceSizesOf(options)));
  ApplyPrintSizes(model, options);
  model.unit = options.unit;
  model.image_scale = options.image_scale;
  return model;
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

PlotPosition ExactPlace(const PlotMapping& mapping, const LineLayer& layer,
                        const PlotVertex& v) {
  if (layer.pixels) return {v.a + v.dx, v.b + v.dy};
  const PlotPosition p = mapping.Exact(v.a, v.b);
  return {p.x + v.dx, p.y + v.dy};
}

QPoint SnappedPlace(const PlotMapping& mapping, const LineLayer& layer,
                    const PlotVertex& v) {
  const Pixel p = layer.pixels ? Pixel{static_cast<int>(std::floor(v.a)),
                                       static_cast<int>(std::floor(v.b))}
                               : mapping.Snapped(v.a, v.b);
  return QPoint(p.x + static_cast<int>(std::lround(v.dx)),
                p.y + static_cast<int>(std::lround(v.dy)));
}

QPen LinePen(const LineLayer& layer) {
  QPen pen(ToQColor(layer.colour), layer.width);
  switch (layer.ends) {
    case LineLayer::Ends::kSquare:
      break;
    case LineLayer::Ends::kSquareMiter:
      pen.setCapStyle(Qt::SquareCap);
      pen.setJoinStyle(Qt::MiterJoin);
      break;
    case LineLayer::Ends::kFlatRound:
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::RoundJoin);
      break;
    case LineLayer::Ends::kRound:
      pen.setCapStyle(Qt::RoundCap);
      pen.setJoinStyle(Qt::RoundJoin);
      break;
  }
  return pen;
}

// A rectangle of whole pixels as the screen outlines it: the four corners
// of a closed line, its sides level and upright.
bool IsPixelRectangle(const QPolygon& p) {
  return p.size() == 4 && p[0].y() == p[1].y() && p[1].x() == p[2].x() &&
         p[2].y() == p[3].y() && p[3].x() == p[0].x();
}

// A polar chart's circle as a circle, and its radius where it has one.
void DrawTrueCircle(QPainter& painter, const PlotMapping& mapping,
                    const LineLayer::TrueCircle& circle) {
  const double r = circle.value * mapping.PixelsPerUnit();
  painter.drawEllipse(ToQPointF(mapping.Centre()), r, r);
  if (circle.radius) {
    DrawExactPolyline(painter,
                      {mapping.Exact(0, 0), mapping.Exact(0, circle.value)},
                      mapping.Frame());
  }
}

void DrawLines(QPainter& painter, const PlotModel& model,
               const LineLayer& layer) {
  const bool exact = !IsRasterPainter(painter);
  if ((layer.device == PlotDevice::kRaster && exact) ||
      (layer.device == PlotDevice::kVector && !exact)) {
    return;
  }
  painter.save();
  const PlotMapping& mapping = model.mapping;
  const bool clip = layer.clip == LineLayer::Clip::kAlways ||
                    (layer.clip == LineLayer::Clip::kVector && exact);
  if (layer.clip == LineLayer::Clip::kAlways) {
    painter.setClipRect(RasterFrame(mapping), Qt::IntersectClip);
  }
  painter.setPen(LinePen(layer));
  painter.setBrush(Qt::NoBrush);
  const bool smooth = layer.raster == LineLayer::Raster::kSmooth ||
                      (layer.raster == LineLayer::Raster::kSmoothWhenScaled &&
                       (exact || model.scale != 1.0));
  painter.setRenderHint(QPainter::Antialiasing, smooth);
  if (exact && layer.circle) {
    DrawTrueCircle(painter, mapping, *layer.circle);
    painter.restore();
    return;
  }
  // Lines the screen draws on whole pixels stay segments and rectangles
  // there, as the screen has always drawn them.
  const bool whole = layer.raster == LineLayer::Raster::kWholePixels;
  for (const std::vector<PlotVertex>& line : layer.lines) {
    if (line.empty()) continue;
    if (exact || smooth) {
      std::vector<PlotPosition> at;
      at.reserve(line.size());
      for (const PlotVertex& v : line) {
        at.push_back(ExactPlace(mapping, layer, v));
      }
      if (at.size() == 1) {
        painter.drawPoint(ToQPointF(at.front()));
      } else if (exact && clip) {
        // Cut in the line's own geometry: an SVG reader is given no clip.
        DrawExactPolyline(painter, std::move(at), mapping.Frame(),
                          layer.closed);
      } else {
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
      }
      continue;
    }
    QPolygon polygon;
    polygon.reserve(static_cast<int>(line.size()));
    for (const PlotVertex& v : line) {
      polygon.append(SnappedPlace(mapping, layer, v));
    }
    if (polygon.size() == 1) {
      painter.drawPoint(polygon.front());
    } else if (layer.closed && whole && IsPixelRectangle(polygon)) {
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

void DrawCircle(QPainter& painter, const PlotModel& model,
                const CircleLayer& layer) {
  if (layer.radius <= 0) return;
  painter.setBrush(layer.fill ? QBrush(ToQColor(*layer.fill))
                              : QBrush(Qt::NoBrush));
  painter.setPen(layer.outline
                     ? QPen(ToQColor(*layer.outline), layer.outline_width)
                     : QPen(Qt::NoPen));
  if (!IsRasterPainter(painter)) {
    // The circle through the centres of the screen's outline pixels.
    const PlotPosition c = model.mapping.Exact(layer.centre.a, layer.centre.b);
    painter.drawEllipse(QPointF(c.x + layer.centre.dx, c.y + layer.centre.dy),
                        layer.radius, layer.radius);
    return;
  }
  const Pixel c = model.mapping.Snapped(layer.centre.a, layer.centre.b);
  const int r = layer.radius;
  painter.drawEllipse(QRect(
      c.x + static_cast<int>(std::lround(layer.centre.dx)) - r,
      c.y + static_cast<int>(std::lround(layer.centre.dy)) - r, 2 * r, 2 * r));
}

void DrawBands(QPainter& painter, const PlotModel& model,
               const BandLayer& layer) {
  if (layer.contours == nullptr) return;
  painter.save();
  const PlotMapping& mapping = model.mapping;
  if (layer.clip) painter.setClipRect(RasterFrame(mapping), Qt::IntersectClip);
  const PlotToPainter map =
      layer.coordinates == BandLayer::Coordinates::kCartesian
          ? PlotToPainter([&mapping](const PlotPoint& p) {
              const PlotPosition c = mapping.Centre();
              const double scale = mapping.PixelsPerUnit();
              return QPointF(c.x + p.x * scale, c.y - p.y * scale);
            })
          : PlotToPainter([&mapping](const PlotPoint& p) {
              return ToQPointF(mapping.Exact(p.x, std::exp(p.y)));
            });
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

// The width of a label's halo, in the plot's pixels.
constexpr double kHaloWidth = 2.0;

void DrawText(QPainter& painter, const TextLayer& layer, double size,
              int unit) {
  if (layer.items.empty()) return;
  const QFont font = FaceFont(layer.face, size);
  if (layer.halo) {
    // The outline of the glyphs, stroked in white beneath them: a path in
    // a vector picture, the text itself stays text.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPen halo(Qt::white, kHaloWidth * unit, Qt::SolidLine, Qt::RoundCap,
                    Qt::RoundJoin);
    for (const TextItem& item : layer.items) {
      painter.strokePath(FaceTextPath(font, size, item.x, item.baseline,
                                      QString::fromStdString(item.text)),
                         halo);
    }
    painter.restore();
  }
  painter.setFont(font);
  painter.setPen(ToQColor(layer.colour));
  for (const TextItem& item : layer.items) {
    DrawFaceText(painter, size, item.x, item.baseline,
                 QString::fromStdString(item.text));
  }
}

void DrawSwatches(QPainter& painter, const SwatchLayer& layer, int unit) {
  for (const SwatchLayer::Swatch& s : layer.swatches) {
    painter.fillRect(QRect(s.box.left, s.box.top, s.box.width, s.box.height),
                     ToQColor(s.fill));
  }
  const PixelRect& f = layer.frame;
  if (f.width <= 0 || f.height <= 0) return;
  painter.save();
  painter.setPen(QPen(ToQColor(layer.frame_colour), 0.5 * unit));
  painter.setBrush(Qt::NoBrush);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.drawRect(QRectF(f.left, f.top, f.width, f.height));
  painter.restore();
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
  if (picture == nullptr && layer.count > PlotRenderCache::kLayerThreshold &&
      (cache != nullptr || layer.own_layer)) {
    const qreal ratio = painter.device()->devicePixelRatioF() * model.scale;
    auto draw = [&] {
      return MarkerLayerAt(layer.style, layer.count, layer.pixel, size, ratio,
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
    const qreal ratio = model.image_scale > 0 ? model.image_scale : model.scale;
    // A metafile's bitmaps have no alpha that readers honour: there the
    // series goes in opaque over what lies beneath it.
    return DrawLayerInPicture(
        painter,
        MarkerLayerAt(layer.style, layer.count, layer.pixel, size, ratio,
                      model.scale),
        *picture, ratio,
        [&](QPainter& ground) { return DrawGround(ground, model, index); });
  }
  if (!IsRasterPainter(painter)) {
    if (layer.style.marker == MarkerStyle::kNone) return true;
    std::vector<PlotPosition> at(layer.count);
    for (std::size_t i = 0; i < layer.count; ++i) at[i] = layer.place(i);
    DrawMarkerShapesAt(painter, layer.style, at);
    return true;
  }
  return DrawMarkersAt(painter, layer.style, layer.count, layer.pixel,
                       model.scale);
}

bool DrawLayer(QPainter& painter, const PlotModel& model, std::size_t index,
               PlotRenderCache* cache, const PictureLayer* picture) {
  const PlotLayer& layer = model.layers[index];
  if (std::holds_alternative<MarkerLayer>(layer)) {
    return DrawMarkers(painter, model, index, cache, picture);
  }
  if (const auto* lines = std::get_if<LineLayer>(&layer)) {
    DrawLines(painter, model, *lines);
  } else if (const auto* circle = std::get_if<CircleLayer>(&layer)) {
    DrawCircle(painter, model, *circle);
  } else if (const auto* bands = std::get_if<BandLayer>(&layer)) {
    DrawBands(painter, model, *bands);
  } else if (const auto* text = std::get_if<TextLayer>(&layer)) {
    DrawText(painter, *text, model.faces.Of(text->face), model.unit);
  } else if (const auto* key = std::get_if<SwatchLayer>(&layer)) {
    DrawSwatches(painter, *key, model.unit);
  } else if (const auto* legend = std::get_if<LegendLayer>(&layer)) {
    return DrawLegendItems(
        painter, legend->layout, legend->items, legend->figure_style,
        model.scale,
        model.faces.Of(legend->figure_style ? TextFace::kFigureSmall
                                            : TextFace::kScreen),
        model.unit);
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
  if (cache != nullptr) cache->Prune(model.series);
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
  return RenderPlot(painter, ModelOf(source_, size, options_), &cache);
}

int ModelScreen::LegendEntryAt(QSize size, int x, int y) const {
  const PlotModel model = ModelOf(source_, size, options_);
  const LegendLayer* legend = model.Legend();
  return legend != nullptr ? LegendRowAt(legend->layout, x, y) : -1;
}

void ModelScreen::ToggleLegendEntry(QSize size, int entry) {
  const PlotModel model = ModelOf(source_, size, options_);
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

std::vector<std::string> ModelPicture::Notes(
    QSize size, const ChartRenderOptions& options) const {
  return ModelOf(source_, size, options).notes;
}

std::vector<LegendItem> ModelPicture::LegendItems(
    QSize size, const ChartRenderOptions& options) const {
  ChartRenderOptions o = options;
  o.fit_figure = false;
  if (o.legend == LegendPlacement::kNone) o.legend = LegendPlacement::kOutside;
  const PlotModel model = ModelOf(source_, size, o);
  const LegendLayer* legend = model.Legend();
  return legend != nullptr ? legend->items : std::vector<LegendItem>{};
}

QString ModelPicture::Title() const {
  return QString::fromStdString(source_.Title());
}

}  // namespace orvane

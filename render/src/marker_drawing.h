// SPDX-License-Identifier: MIT
// The drawing of markers on rasters and in vector pictures, shared by
// every plot's render code: the stamp of a marker, its blending at a
// series' opacity, and the markers of a series drawn one by one or blended
// straight into a layer's pixels. Internal to the render layer.
#ifndef ORVANE_RENDER_MARKER_DRAWING_H_
#define ORVANE_RENDER_MARKER_DRAWING_H_

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <new>
#include <vector>

#include "core/parallel.h"
#include "render/markers.h"
#include "render/true_geometry.h"

namespace orvane {

// The marker of a style at the drawing's scale. Markers are drawn in chart
// pixels and the painter's transform carries the scale, so the shape itself
// is that of the screen; this is the one place that hands the scale on to
// the marker geometry.
inline MarkerShape ScaledMarkerShape(const SeriesStyle& style,
                                     double /*scale*/) {
  return MakeMarkerShape(style);
}

// The opacity of a series' markers.
qreal MarkerOpacity(const SeriesStyle& style);

// The stamp of the shape at `ratio` device pixels a chart pixel: at one,
// the shape's pixels themselves; at finer rasters the shape's regions
// drawn at the device's pixels. Null when there is no memory for it.
QImage StampOf(const MarkerShape& shape, const SeriesStyle& style, qreal ratio);

// Draws the marker at the pixel p: its stamp on a raster, its regions in a
// vector picture. False when there was no memory for the stamp.
bool FillMarker(QPainter& painter, const MarkerShape& shape,
                const SeriesStyle& style, Pixel p, double scale = 1.0);

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

// The stamp's pixels in groups of four, weighted by the opacity.
std::vector<StampGroup> StampGroups(const QImage& stamp, qreal opacity);

// Blends the stamps whose top-left corners are `origins` (device pixels)
// into the rows first_row .. last_row - 1 of the layer's pixels `bits`,
// `width` pixels and `stride` words a row.
void BlendStamps(std::uint32_t* bits, int width, qsizetype stride,
                 const std::vector<StampGroup>& groups, int stamp_side,
                 const std::vector<Pixel>& origins, int first_row,
                 int last_row);

// `count` markers, the i-th at the pixel place(i), blended one by one in
// that order. False, with none drawn, when there was no memory for the
// stamp.
template <typename Place>
bool DrawMarkersWith(QPainter& painter, const SeriesStyle& style,
                     std::size_t count, const Place& place, double scale) {
  if (style.marker == MarkerStyle::kNone || count == 0) return true;
  const MarkerShape shape = ScaledMarkerShape(style, scale);
  if (IsRasterPainter(painter)) {
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
  // A vector picture: each marker's regions at the centre of its pixel.
  std::vector<PlotPosition> at;
  at.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Pixel px = place(i);
    at.push_back({px.x + 0.5, px.y + 0.5});
  }
  DrawMarkerShapesAt(painter, style, at);
  return true;
}

// The fewest markers worth a thread of their own when a layer is blended.
constexpr std::int64_t kMarkersPerThread = 10000;

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
  const int parts =
      ThreadsFor(static_cast<std::int64_t>(count), kMarkersPerThread);
  std::vector<Pixel> origins;
  try {
    origins.resize(count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  RunInParts(parts, [&](int k) {
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
  RunInParts(parts, [&](int k) {
    BlendStamps(bits, image.width(), stride, groups, stamp.height(), origins,
                rows * k / parts, rows * (k + 1) / parts);
  });
  return true;
}

}  // namespace orvane

#endif  // ORVANE_RENDER_MARKER_DRAWING_H_

// SPDX-License-Identifier: MIT
// The markers of every plot: their shapes (the same pixels on the screen
// and in every picture), their stamps, and the markers of a series drawn
// at given pixels, one by one or into a layer of their own.
#ifndef ORVANE_RENDER_MARKERS_H_
#define ORVANE_RENDER_MARKERS_H_

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSize>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/polar_series.h"

namespace orvane {

// What covers a pixel of a marker on a raster.
enum class MarkerPixel : std::uint8_t { kNone, kFill, kOutline };

// A marker as regions that do not overlap, each filled in one colour, so
// that blending every region with what lies beneath equals blending the
// whole marker at once. Coordinates are relative to the centre of the
// point's pixel.
//
// A marker of half-size h x v covers 2h + 1 by 2v + 1 pixels centred on its
// point's pixel, mirror-symmetric in x and y: a circle is the ellipse of
// radii h + 1/2 and v + 1/2, a square that box, a diamond the rhombus with
// its corners at the middles of the box's sides, a cross two bars across
// the box. An outline of width w lies inside the shape, between its edge
// and the same shape w pixels smaller each way; the fill is what lies
// within. A bar of the cross is as thick as the odd width nearest the
// pen's (the narrower at a tie), so that it has a middle pixel.
struct MarkerShape {
  QPainterPath fill;
  QPainterPath outline;
  int extent = 0;  // pixels from the centre to the farthest covered pixel
  // The pixels that a raster shows, row by row over the square of
  // 2 extent + 1 pixels around the point's pixel: the pixels whose centres
  // lie inside the regions above.
  std::vector<MarkerPixel> pixels;
  MarkerPixel At(int dx, int dy) const {
    if (std::abs(dx) > extent || std::abs(dy) > extent) {
      return MarkerPixel::kNone;
    }
    const int side = 2 * extent + 1;
    return pixels[static_cast<std::size_t>((dy + extent) * side + dx + extent)];
  }
};
// `scale` is the number of device pixels a chart pixel: half-sizes and
// widths are scaled and rounded to whole device pixels (1 = the screen).
MarkerShape MakeMarkerShape(const SeriesStyle& style, double scale = 1.0);

// The marker as a raster draws it: its pixels in their colours, opaque, on
// a transparent square of 2 extent + 1 chart pixels, `ratio` device pixels
// each. A raster blends it at the series' opacity at every point. Null when
// there is no memory for it.
QImage MarkerStamp(const SeriesStyle& style, qreal ratio = 1.0);

// Where the i-th marker of a series lies, on a plot's whole pixels.
using PixelOf = std::function<Pixel(std::size_t)>;

// The `count` markers of one series at the plot pixels pixel(i), in that
// order, drawn
// as the chart draws its series' markers: stamped and blended on a raster,
// as shapes in a vector picture. Other plots of the program draw their
// markers through it, so that every plot's markers look alike. False, with
// none drawn, when there was no memory for the stamp.
bool DrawMarkersAt(QPainter& painter, const SeriesStyle& style,
                   std::size_t count, const PixelOf& pixel, double scale = 1.0);

// The same markers alone on a transparent layer of `size` chart pixels at
// `ratio` device pixels a chart pixel; at a whole ratio the stamps are
// blended straight into the layer's pixels (on several threads for large
// series), to the pixels a painter would give. Null when there is no
// memory for the layer or its stamp.
QImage MarkerLayerAt(const SeriesStyle& style, std::size_t count,
                     const PixelOf& pixel, QSize size, qreal ratio,
                     double scale = 1.0);

}  // namespace orvane

#endif  // ORVANE_RENDER_MARKERS_H_

// SPDX-License-Identifier: MIT
// What a vector picture (SVG, PDF, Enhanced Metafile) draws instead of the
// screen's whole pixels: lines, curves, circles and markers at the exact
// places of the plot's mapping, every line clipped to the plot's frame in
// its own geometry (an SVG reader is given no clip path, so a clip left to
// the painter would not hold there). A raster keeps the screen's pixels and
// does not come here.
#ifndef ORVANE_RENDER_TRUE_GEOMETRY_H_
#define ORVANE_RENDER_TRUE_GEOMETRY_H_

#include <QPainter>
#include <QPointF>
#include <vector>

#include "chart/plot_mapping.h"
#include "chart/polar_series.h"

namespace orvane {

// Whether the painter draws into pixels (an image, a pixmap, the screen)
// rather than into a vector picture.
bool IsRasterPainter(const QPainter& painter);

inline QPointF ToQPointF(PlotPosition p) {
  return QPointF(p.x, p.y);
}

// The line through the points with the painter's pen, cut to `frame`;
// `closed` returns from the last point to the first.
void DrawExactPolyline(QPainter& painter, std::vector<PlotPosition> line,
                       const PlotRect& frame, bool closed = false);

// The series' markers as shapes centred on the exact places, in order.
void DrawMarkerShapesAt(QPainter& painter, const SeriesStyle& style,
                        const std::vector<PlotPosition>& at);

}  // namespace orvane

#endif  // ORVANE_RENDER_TRUE_GEOMETRY_H_

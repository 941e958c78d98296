// SPDX-License-Identifier: MIT
#include "render/true_geometry.h"

#include <QPaintEngine>
#include <QPolygonF>
#include <algorithm>

#include "render/chart_render.h"

namespace orvane {

bool IsRasterPainter(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

void DrawExactPolyline(QPainter& painter, std::vector<PlotPosition> line,
                       const PlotRect& frame, bool closed) {
  if (line.size() < 2) return;
  if (closed) line.push_back(line.front());
  const auto inside = [&frame](PlotPosition p) { return frame.Contains(p); };
  if (std::all_of(line.begin(), line.end(), inside)) {
    // Whole: one polygon or polyline, so that its corners are joined.
    QPolygonF polygon;
    polygon.reserve(static_cast<int>(line.size()));
    for (const PlotPosition& p : line) polygon.append(ToQPointF(p));
    if (closed) {
      polygon.removeLast();
      painter.drawPolygon(polygon);
    } else {
      painter.drawPolyline(polygon);
    }
    return;
  }
  for (const std::vector<PlotPosition>& piece : ClipPolyline(line, frame)) {
    QPolygonF polygon;
    polygon.reserve(static_cast<int>(piece.size()));
    for (const PlotPosition& p : piece) polygon.append(ToQPointF(p));
    painter.drawPolyline(polygon);
  }
}

void DrawMarkerShapesAt(QPainter& painter, const SeriesStyle& style,
                        const std::vector<PlotPosition>& at) {
  if (style.marker == MarkerStyle::kNone || at.empty()) return;
  const MarkerShape shape = MakeMarkerShape(style);
  const bool fill = style.fill && !shape.fill.isEmpty();
  const bool outline = style.outline && !shape.outline.isEmpty();
  const QColor fill_colour =
      fill ? ToQColor(*style.fill, style.transparency) : QColor();
  const QColor outline_colour =
      outline ? ToQColor(*style.outline, style.transparency) : QColor();
  for (const PlotPosition& p : at) {
    painter.save();
    painter.translate(p.x, p.y);
    if (fill) painter.fillPath(shape.fill, fill_colour);
    if (outline) painter.fillPath(shape.outline, outline_colour);
    painter.restore();
  }
}

}  // namespace orvane

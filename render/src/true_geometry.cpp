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

std::vector<PlotPosition> ExactConvexHull(std::vector<PlotPosition> points) {
  std::sort(points.begin(), points.end(), [](PlotPosition a, PlotPosition b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (points.size() < 3) return points;
  // Andrew's monotone chain, with y pointing up for the turn (the plot's
  // y grows downwards), so that the corners go counter-clockwise.
  auto cross = [](PlotPosition o, PlotPosition a, PlotPosition b) {
    return (a.x - o.x) * (o.y - b.y) - (o.y - a.y) * (b.x - o.x);
  };
  std::vector<PlotPosition> hull(2 * points.size());
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
  return hull;
}

}  // namespace orvane

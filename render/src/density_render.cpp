// SPDX-License-Identifier: MIT
#include "render/density_render.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "render/chart_render.h"

namespace orvane {

QColor DensityBandColour(int index, int count) {
  return ToQColor(DensityBandGrey(index, count));
}

QPainterPath DensityBandPath(const ContourBand& band,
                             const PlotToPainter& map) {
  QPainterPath path;
  path.setFillRule(Qt::WindingFill);
  for (const ContourRing& ring : band.rings) {
    if (ring.size() < 3) continue;
    QPolygonF polygon;
    polygon.reserve(static_cast<int>(ring.size()) + 1);
    for (const PlotPoint& p : ring) polygon.append(map(p));
    polygon.append(polygon.front());
    path.addPolygon(polygon);
    path.closeSubpath();
  }
  return path;
}

void DrawDensityBands(QPainter& painter, const DensityContours& contours,
                      const PlotToPainter& map) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  const int count = static_cast<int>(contours.bands.size());
  for (int i = 0; i < count; ++i) {
    const QPainterPath path = DensityBandPath(contours.bands[i], map);
    if (path.isEmpty()) continue;
    painter.fillPath(path, DensityBandColour(i, count));
  }
  painter.restore();
}

QString DensityNote(const DensityContours& contours, std::string_view sep) {
  return QString::fromStdString(DensityNoteText(contours, sep));
}

}  // namespace orvane

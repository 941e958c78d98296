#include "render/density_render.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "render/chart_render.h"

namespace orvane {

QColor DensityBandColour(int index, int count) {
  // Grey from 94 % down to 62 % lightness: the blue and brown markers and
  // the green cloud keep their contrast on the darkest band.
  constexpr double kLightest = 240, kDarkest = 158;
  const double t = count > 1 ? static_cast<double>(index) / (count - 1) : 0;
  const int v =
      static_cast<int>(std::lround(kLightest + t * (kDarkest - kLightest)));
  return QColor(v, v, v);
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

namespace {

// The note at the bottom left of the plotting area `area`.
void DrawDensityNote(QPainter& painter, const DensityContours& contours,
                     const PixelRect& area, std::string_view sep) {
  painter.save();
  const QFont font = FigureTextFont();
  painter.setFont(font);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  const QFontMetrics fm(font);
  painter.drawText(area.left + 2, area.top + area.height - fm.descent() - 1,
                   DensityNote(contours, sep));
  painter.restore();
}

}  // namespace

void DrawChartDensityContours(QPainter& painter, const EqualAreaChart& chart,
                              const ChartLayout& layout, double maximum) {
  const DensityContours* contours = chart.density_contours.get();
  if (contours == nullptr || layout.radius <= 0 || !(maximum > 0)) return;
  const double scale = layout.radius / maximum;
  // The centres of the pixels, as the markers are placed.
  DrawDensityBands(painter, *contours, [&](const PlotPoint& p) {
    return QPointF(layout.cx + 0.5 + p.x * scale,
                   layout.cy + 0.5 - p.y * scale);
  });
  if (contours->bands.empty()) return;
  // Above the projection's note, where the chart has one.
  PixelRect area = layout.plot;
  if (!ProjectionNote(chart.Projection()).isEmpty()) {
    area.height -= std::max(QFontMetrics(LegendFont()).height(),
                            QFontMetrics(FigureTextFont()).height());
  }
  DrawDensityNote(painter, *contours, area, LocaleDecimalSeparator());
}

void DrawRfPhiDensityContours(QPainter& painter, const RfPhiPlot& plot,
                              const RfPhiLayout& layout, const RfAxis& axis) {
  const DensityContours* contours = plot.density_contours.get();
  if (contours == nullptr || layout.plot.width <= 0 ||
      layout.plot.height <= 0) {
    return;
  }
  const PixelRect& f = layout.plot;
  painter.save();
  painter.setClipRect(QRect(f.left, f.top, f.width + 1, f.height + 1),
                      Qt::IntersectClip);
  // The centres of the pixels, as the markers are placed.
  DrawDensityBands(painter, *contours, [&](const PlotPoint& p) {
    return QPointF(PhiToX(layout, p.x) + 0.5,
                   RfToY(layout, axis, std::exp(p.y)) + 0.5);
  });
  painter.restore();
  if (contours->bands.empty()) return;
  DrawDensityNote(painter, *contours, f, plot.DecimalSeparator());
}

}  // namespace orvane

// Drawing filled density contours (chart/density_contours.h) into any
// QPainter, through a mapping from the plot's coordinates to the painter's:
// the polar chart's disc and the Rf/phi plot use the same drawing. The
// bands are paths, so vector pictures keep them as vectors.
#ifndef ORVANE_RENDER_DENSITY_RENDER_H_
#define ORVANE_RENDER_DENSITY_RENDER_H_

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <functional>
#include <string_view>

#include "chart/chart_geometry.h"
#include "chart/density_contours.h"
#include "chart/equal_area_chart.h"
#include "chart/rf_phi_plot.h"

namespace orvane {

// Where a point of the plot lies on the painter.
using PlotToPainter = std::function<QPointF(const PlotPoint&)>;

// The fill of band `index` (0 the lowest) of `count`: a sequence of greys
// from nearly white to a middle grey, light enough that every series'
// markers stay readable on it, in either palette.
QColor DensityBandColour(int index, int count);

// The band's rings as one path on the painter (non-zero fill rule).
QPainterPath DensityBandPath(const ContourBand& band, const PlotToPainter& map);

// Fills the bands, lowest first and each over the one before, without
// outlines, antialiased.
void DrawDensityBands(QPainter& painter, const DensityContours& contours,
                      const PlotToPainter& map);

// "Density contours, k = 0.400": the note that tells what the grey shows,
// k to three significant digits (at least two decimals) with the decimal
// separator `sep`.
QString DensityNote(const DensityContours& contours, std::string_view sep);

// The polar chart's contours, when it holds any, over its disc at this
// layout and radial scale, with their note at the bottom left of the
// plotting area. Nothing when the chart holds none.
void DrawChartDensityContours(QPainter& painter, const EqualAreaChart& chart,
                              const ChartLayout& layout, double maximum);

// The Rf/phi plot's contours, when it holds any, in its frame at this
// layout and Rf axis (x = phi, y = ln Rf mapped as the markers are), with
// their note at the bottom left of the frame. Nothing when it holds none.
void DrawRfPhiDensityContours(QPainter& painter, const RfPhiPlot& plot,
                              const RfPhiLayout& layout, const RfAxis& axis);

}  // namespace orvane

#endif  // ORVANE_RENDER_DENSITY_RENDER_H_

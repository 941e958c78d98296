// SPDX-License-Identifier: MIT
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

}  // namespace orvane

#endif  // ORVANE_RENDER_DENSITY_RENDER_H_

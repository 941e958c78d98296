// SPDX-License-Identifier: MIT
// The plots' fonts and legend drawing, the images of large series in vector
// pictures, and the equal-area chart's entry points for Qt callers: its
// layout measured with the program's fonts, and its drawing through the
// one render path (render/plot_render.h), so that a picture shows exactly
// what the window shows.
#ifndef ORVANE_RENDER_CHART_RENDER_H_
#define ORVANE_RENDER_CHART_RENDER_H_

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSize>
#include <QStringList>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/equal_area_chart.h"
#include "chart/plot_model.h"
#include "render/markers.h"
#include "render/plot_render_cache.h"

namespace orvane {

// "Arial Unicode MS", the face of the legend and of the report, followed by
// the faces that stand in for it where it is missing.
QStringList ArialUnicodeFamilies();

// The legend font: 11 pixels of ArialUnicodeFamilies().
QFont LegendFont();

// The width of the window's data grid, which lies over the screen's chart
// at its right-hand side below the legend: the screen's disc keeps clear of
// this column.
inline constexpr int kDataGridWidth = 221;

// The face of a figure's own text (the caption, the iso-R labels): the
// legend font without hinting, so that the text is as wide on every device
// and at every scale as it was measured.
QFont FigureTextFont();

// The font of a face at `size` plot pixels; 0 keeps the face's own size
// (kScreen the legend font, the others the figure's). Text of a size of
// its own is drawn from a font kTextOversize times as large under a
// transform that scales it back, since a font's pixel size is whole and a
// figure's text in points is not; the face has no hinting, so the glyphs
// scale exactly.
QFont FaceFont(TextFace face, double size = 0);
inline constexpr int kTextOversize = 16;

// Draws text in the painter's font, a FaceFont of `size` (0: drawn as it
// is), at its left end and baseline.
void DrawFaceText(QPainter& painter, double size, int x, int baseline,
                  const QString& text);
// The glyphs' outline of such text, at its place.
QPainterPath FaceTextPath(const QFont& font, double size, int x, int baseline,
                          const QString& text);

// The caption in lines that fit a chart of `width` pixels: its parts,
// separated by three blanks, joined while they fit; empty for no caption.
QStringList CaptionLines(const std::string& caption, int width);

// The note a chart in `projection` carries in the lower left corner of its
// plotting area: "Elliott projection"; none (empty) for the equal-area
// projection, the default.
QString ProjectionNote(ChartProjection projection);

// The chart's legend and layout measured with the program's fonts; the
// screen's layout keeps kDataGridWidth clear unless the options say not.
LegendView MeasureLegend(const EqualAreaChart& chart, int width,
                         const ChartRenderOptions& options = {});

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options = {});

// The labels of the drawn iso-R circles on a figure, where the circles
// cross the radius to the right: "R = 2" at the first, the bare ratio at
// the others, each left out where it would touch the label before it.
struct IsoRatioLabel {
  int ratio = 0;
  QString text;
  QRect box;  // in chart pixels
};
std::vector<IsoRatioLabel> IsoRatioLabels(const EqualAreaChart& chart,
                                          const ChartLayout& layout);

// The corners of the smallest convex polygon around the points, counter-
// clockwise from the lowest-leftmost; fewer than three points come back as
// they are (duplicates removed).
std::vector<QPoint> ConvexHull(std::vector<QPoint> points);

// A legend drawn into `layout`: for each entry its check box (unless a
// figure's), its marker and line sample and its title, on the tooltip
// colour with a shadow, or on white framed in grey for a figure. False,
// with the drawing stopped there, when there was no memory for a marker's
// stamp.
bool DrawLegendItems(QPainter& painter, const LegendLayout& layout,
                     const std::vector<LegendItem>& items, bool figure_style,
                     double scale = 1.0, double text_size = 0, int unit = 1);

// Draws the whole chart, background to legend, at `size` pixels, through
// RenderPlot (render/plot_render.h): a raster painter may pass a cache;
// false as RenderPlot.
bool RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 PlotRenderCache* cache = nullptr,
                 const ChartRenderOptions& options = {});

// Series with more points than this go into vector pictures as one image
// of the series at the picture's pixel size instead of a shape for every
// marker: 10^6 markers made an SVG of about a gigabyte. Text, the legend,
// the disc, the iso-R circles and the smaller series stay shapes. The
// chart's six data series then put at most about 2 x 10^5 markers (the
// measured and pre-strain data at the threshold) into a picture as shapes.
inline constexpr std::size_t kPictureLayerThreshold = 100000;

// How a vector picture carries the image of a large series.
enum class PictureLayer {
  // The series alone at the picture's size, transparent where it draws
  // nothing (SVG and PDF keep alpha).
  kTransparent,
  // Opaque, over the pixels the series covers: the chart beneath the
  // series drawn as the screen draws it, and the series over it (the
  // metafile's bitmap records have no alpha that readers honour).
  kOpaque,
};

// A large series' layer (the series alone on a transparent image of the
// picture, `ratio` device pixels a pixel) in a vector picture: as it is
// (kTransparent), or opaque over the pixels it covers, on what `beneath`
// draws as the raster draws it (kOpaque). False, with nothing drawn, when
// the layer is null or there was no memory for an image of it, or
// `beneath` returned false.
bool DrawLayerInPicture(QPainter& painter, QImage layer, PictureLayer kind,
                        qreal ratio,
                        const std::function<bool(QPainter&)>& beneath);

// Draws the whole chart into a vector picture, large series as images;
// false, with the drawing stopped there, as RenderChart without a cache.
bool RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer,
                        const ChartRenderOptions& options = {});

// The chart as an image of `size` pixels (32 bits per pixel, no alpha);
// null when there is no memory for it or an image it needed.
QImage RenderChartImage(const EqualAreaChart& chart, QSize size,
                        const ChartRenderOptions& options = {});

inline QColor ToQColor(Rgb rgb, int transparency = 0) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                (255 * (100 - transparency) + 50) / 100);
}

}  // namespace orvane

#endif  // ORVANE_RENDER_CHART_RENDER_H_

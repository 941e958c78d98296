// SPDX-License-Identifier: MIT
// A plot that the picture writers can draw: the equal-area chart, the
// Rf/phi plot, or any other plot of the program. The writers (bitmap, PNG,
// SVG, PDF, Enhanced Metafile) and the figure export take this interface,
// so that every plot is saved through the same code in every format.
#ifndef ORVANE_RENDER_PLOT_PICTURE_H_
#define ORVANE_RENDER_PLOT_PICTURE_H_

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "chart/equal_area_chart.h"
#include "render/chart_render.h"

namespace orvane {

class PlotPicture {
 public:
  virtual ~PlotPicture() = default;
  // Draws the whole plot at `size` device pixels into a raster painter.
  // False when an image the drawing needed could not be allocated: the
  // drawing stopped there.
  virtual bool Draw(QPainter& painter, QSize size,
                    const ChartRenderOptions& options) const = 0;
  // Draws it into a vector picture, large series as images of `layer`;
  // false as Draw.
  virtual bool DrawPicture(QPainter& painter, QSize size, PictureLayer layer,
                           const ChartRenderOptions& options) const = 0;
  // The title an SVG file records.
  virtual QString Title() const = 0;
  // The projection of a polar chart; none for other plots.
  virtual std::optional<ChartProjection> Projection() const {
    return std::nullopt;
  }

  // What a figure of `size` pixels with these options left out or moved
  // to keep its plot large enough, one sentence each; none for a plot
  // that never does.
  virtual std::vector<std::string> Notes(
      QSize /*size*/, const ChartRenderOptions& /*options*/) const {
    return {};
  }

  // The entries of the legend the plot draws at `size` pixels with these
  // options (placed as the options say, not left out for room); none for a
  // plot without one. Panels gather them into the legend they share.
  virtual std::vector<LegendItem> LegendItems(
      QSize /*size*/, const ChartRenderOptions& /*options*/) const {
    return {};
  }

  // The plot as an image of `size` pixels (32 bits per pixel, no alpha);
  // null when there is no memory for it or for an image its drawing
  // needed.
  QImage Image(QSize size, const ChartRenderOptions& options) const;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_PLOT_PICTURE_H_

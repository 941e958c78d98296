// SPDX-License-Identifier: MIT
// The one render path of every plot built as a model (chart/plot_model.h):
// the window, bitmaps and vector pictures all draw a model here, so that a
// new kind of plot needs no drawing code of its own. A raster keeps the
// screen's whole pixels (markers stamped, lines on pixels); a vector
// picture gets the true geometry: markers and lines at their exact places,
// lines cut at the plot's frame, large series as one image.
#ifndef ORVANE_RENDER_PLOT_RENDER_H_
#define ORVANE_RENDER_PLOT_RENDER_H_

#include <QFont>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>
#include <QSize>
#include <array>

#include "chart/plot_model.h"
#include "render/chart_render.h"
#include "render/plot_picture.h"
#include "render/plot_render_cache.h"

namespace orvane {

// Text as the program's fonts draw it, at the faces' sizes (FaceFont).
class QtTextMeasure final : public TextMeasure {
 public:
  explicit QtTextMeasure(const FaceSizes& sizes = {});
  FaceMetrics Metrics(TextFace face) const override;
  int Width(TextFace face, std::string_view text) const override;

 private:
  FaceSizes sizes_;
  // Each face's metrics, by TextFace: whole pixels for a face at its own
  // size, exact for the oversized font of a size of its own.
  std::array<QFontMetrics, 3> whole_{
      QFontMetrics(QFont()), QFontMetrics(QFont()), QFontMetrics(QFont())};
  std::array<QFontMetricsF, 3> exact_{
      QFontMetricsF(QFont()), QFontMetricsF(QFont()), QFontMetricsF(QFont())};
};

// The plot's model for a drawing of `size` device pixels with `options`,
// in print sizes where the options have them.
PlotModel ModelOf(const PlotSource& source, QSize size,
                  const ChartRenderOptions& options);

// Draws the model, background to the last layer. A raster painter may pass
// a cache of its large series' layers (the window); a vector picture
// passes how it carries a large series' image. False when an image the
// drawing needed could not be allocated: without a cache the drawing stops
// there, so that no picture passes for whole without its data; with one
// the rest is drawn without it.
bool RenderPlot(QPainter& painter, const PlotModel& model,
                PlotRenderCache* cache = nullptr,
                const PictureLayer* picture = nullptr);

// Any plot as the window shows it: drawn with a cache of its large series,
// with a legend whose entries a click shows or hides.
class ModelScreen {
 public:
  // The source stays the caller's and must outlive this.
  explicit ModelScreen(PlotSource& source) : source_(source) {}
  // Draws the whole plot at `size` pixels; false when an image the drawing
  // needed could not be allocated (the rest was drawn without it).
  bool Draw(QPainter& painter, QSize size, PlotRenderCache& cache) const;
  // The legend entry, numbered from 0 in the legend's order, whose row
  // holds the pixel of a plot of `size`; -1 where there is none.
  int LegendEntryAt(QSize size, int x, int y) const;
  // Shows what the entry stands for when hidden, hides it when shown.
  void ToggleLegendEntry(QSize size, int entry);
  // The look on the screen (the default: the screen's own).
  void SetOptions(const ChartRenderOptions& options) { options_ = options; }

 private:
  PlotSource& source_;
  ChartRenderOptions options_;
};

// Any plot for the picture writers.
class ModelPicture final : public PlotPicture {
 public:
  // The source stays the caller's and must outlive this.
  explicit ModelPicture(const PlotSource& source) : source_(source) {}
  bool Draw(QPainter& painter, QSize size,
            const ChartRenderOptions& options) const override;
  bool DrawPicture(QPainter& painter, QSize size, PictureLayer layer,
                   const ChartRenderOptions& options) const override;
  QString Title() const override;
  std::optional<ChartProjection> Projection() const override {
    return source_.PolarProjection();
  }
  std::vector<std::string> Notes(
      QSize size, const ChartRenderOptions& options) const override;
  std::vector<LegendItem> LegendItems(
      QSize size, const ChartRenderOptions& options) const override;

 private:
  const PlotSource& source_;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_PLOT_RENDER_H_

// Drawing the Rf/phi plot into any QPainter: the window's tab, bitmaps and
// vector pictures all go through RenderRfPhiPlot, with the options of the
// equal-area chart (scale, figure style, palette, caption), so that both
// plots look like one program's.
#ifndef ORVANE_RENDER_RF_PHI_RENDER_H_
#define ORVANE_RENDER_RF_PHI_RENDER_H_

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "chart/rf_phi_plot.h"
#include "render/chart_render.h"
#include "render/plot_picture.h"

namespace orvane {

// The axis titles.
QString PhiAxisTitle();  // "Long-axis orientation φ (°)"
QString RfAxisTitle();   // "Rf"

// What a legend entry of the plot stands for.
enum class RfPhiEntry { kRetrodeformed, kMeasured, kOptimal, kThetaCurves };

// The legend entries in order and their layout for a plot of the given
// width: on the screen all four, with check boxes; on a figure only what is
// drawn.
struct RfPhiLegendView {
  std::vector<RfPhiEntry> entries;
  std::vector<LegendItem> items;
  LegendLayout layout;
};
RfPhiLegendView MeasureRfPhiLegend(const RfPhiPlot& plot, int width,
                                   const ChartRenderOptions& options = {});

// The plot's layout at `size` device pixels (in the plot's own pixels, the
// size over the scale), with the text metrics of its font.
RfPhiLayout LayOutRfPhiPlot(const RfPhiPlot& plot, QSize size,
                            const ChartRenderOptions& options = {});

// The style a series of the plot is drawn with in the palette.
SeriesStyle RfPhiStyle(const RfPhiPlot& plot, const RfPhiSeries& series,
                       ChartPalette palette);

// Draws the whole plot, background to legend, at `size` device pixels. A
// raster painter may pass a cache (kept for one set of options). False when
// an image the drawing needed could not be allocated, as RenderChart.
bool RenderRfPhiPlot(QPainter& painter, const RfPhiPlot& plot, QSize size,
                     PlotRenderCache* cache = nullptr,
                     const ChartRenderOptions& options = {});

// The same into a vector picture: series of more than
// kPictureLayerThreshold points as one image each; false as above.
bool RenderRfPhiPicture(QPainter& painter, const RfPhiPlot& plot, QSize size,
                        PictureLayer layer,
                        const ChartRenderOptions& options = {});

// The legend entry whose row contains the pixel (the plot's pixels at
// scale 1), or none.
std::optional<RfPhiEntry> RfPhiLegendEntryAt(const RfPhiPlot& plot, QSize size,
                                             int x, int y);

// The plot on the screen.
class RfPhiScreen final : public ScreenPlot {
 public:
  // The plot stays the caller's and must outlive this.
  explicit RfPhiScreen(RfPhiPlot& plot) : plot_(plot) {}
  bool Draw(QPainter& painter, QSize size,
            PlotRenderCache& cache) const override;
  int LegendEntryAt(QSize size, int x, int y) const override;
  void ToggleLegendEntry(QSize size, int entry) override;

 private:
  RfPhiPlot& plot_;
};

// The plot for the picture writers.
class RfPhiPicture final : public PlotPicture {
 public:
  // The plot stays the caller's and must outlive this.
  explicit RfPhiPicture(const RfPhiPlot& plot) : plot_(plot) {}
  bool Draw(QPainter& painter, QSize size,
            const ChartRenderOptions& options) const override;
  bool DrawPicture(QPainter& painter, QSize size, PictureLayer layer,
                   const ChartRenderOptions& options) const override;
  QString Title() const override { return "Orvane Rf/phi plot"; }

 private:
  const RfPhiPlot& plot_;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_RF_PHI_RENDER_H_

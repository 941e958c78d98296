// A plot as the window shows it: drawn with a cache of its large series,
// with a legend whose entries a click shows or hides. The window's one plot
// widget shows any plot through this interface.
#ifndef ORVANE_RENDER_SCREEN_PLOT_H_
#define ORVANE_RENDER_SCREEN_PLOT_H_

#include <QPainter>
#include <QSize>

#include "render/plot_render_cache.h"

namespace orvane {

class ScreenPlot {
 public:
  virtual ~ScreenPlot() = default;
  // Draws the whole plot at `size` pixels; false when an image the drawing
  // needed could not be allocated (the rest was drawn without it).
  virtual bool Draw(QPainter& painter, QSize size,
                    PlotRenderCache& cache) const = 0;
  // The legend entry, numbered from 0 in the legend's order, whose row
  // holds the pixel of a plot of `size`; -1 where there is none.
  virtual int LegendEntryAt(QSize size, int x, int y) const = 0;
  // Shows what the entry stands for when hidden, hides it when shown.
  virtual void ToggleLegendEntry(QSize size, int entry) = 0;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_SCREEN_PLOT_H_

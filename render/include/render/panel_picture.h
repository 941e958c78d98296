// SPDX-License-Identifier: MIT
// Panels: several plots of one analysis side by side in one picture, the
// figure most papers show (the equal-area chart beside the Rf/phi plot).
// Each panel is drawn by its own plot's model through the one render path,
// in an equal share of the width, labelled (a), (b), ... at its top left.
// The panels share one legend, in rows across the top, of every entry of
// theirs (once each); a legend inside goes into the first panel's frame;
// the caption runs once under them all.
#ifndef ORVANE_RENDER_PANEL_PICTURE_H_
#define ORVANE_RENDER_PANEL_PICTURE_H_

#include <QPainter>
#include <QSize>
#include <QString>
#include <string>
#include <vector>

#include "render/plot_picture.h"

namespace orvane {

class PanelPicture final : public PlotPicture {
 public:
  // The plots stay the caller's and must outlive this.
  explicit PanelPicture(std::vector<const PlotPicture*> panels)
      : panels_(std::move(panels)) {}

  bool Draw(QPainter& painter, QSize size,
            const ChartRenderOptions& options) const override;
  bool DrawPicture(QPainter& painter, QSize size, PictureLayer layer,
                   const ChartRenderOptions& options) const override;
  QString Title() const override;
  // The first panel's (the chart's) projection.
  std::optional<ChartProjection> Projection() const override;
  // Each panel's notes after its label ("(b) The caption ...").
  std::vector<std::string> Notes(
      QSize size, const ChartRenderOptions& options) const override;

 private:
  // Draws every panel with `draw(panel, painter, size, options)`, then the
  // labels and the caption.
  // The entries of the legend the panels share: each panel's, once.
  std::vector<LegendItem> SharedItems(QSize size,
                                      const ChartRenderOptions& options) const;
  template <typename DrawPanel>
  bool DrawAll(QPainter& painter, QSize size, const ChartRenderOptions& options,
               DrawPanel draw) const;

  std::vector<const PlotPicture*> panels_;
};

}  // namespace orvane

#endif  // ORVANE_RENDER_PANEL_PICTURE_H_

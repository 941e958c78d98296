// SPDX-License-Identifier: MIT
// The window's one widget for every plot. It paints a plot through the
// shared render path with a cache of the large series, shows or hides
// what a legend entry stands for when its row is clicked, and reports
// mouse releases and resizes to whoever shows it.
#ifndef ORVANE_WINDOW_PLOT_WIDGET_H_
#define ORVANE_WINDOW_PLOT_WIDGET_H_

#include <QByteArray>
#include <QWidget>

#include <memory>

#include "chart/plot_model.h"
#include "render/plot_render.h"
#include "render/plot_render_cache.h"

namespace orvane {

class PlotWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PlotWidget(QWidget* parent = nullptr);

  // The plot shown (none: a white widget); it stays the caller's.
  void SetPlot(PlotSource* plot);
  // Redraws after the plot's contents have changed.
  void PlotChanged() { update(); }
  // The plot's look on the screen; it stays for a plot set later.
  void SetScreenOptions(const ChartRenderOptions& options);

 signals:
  // A mouse button was released over the plot.
  void MouseReleased(Qt::MouseButton button, QPoint position);
  // The plot changed size.
  void Resized(QSize size);
  // A click on a legend entry showed or hid what it stands for.
  void LegendEntryToggled(int entry);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::unique_ptr<ModelScreen> plot_;
  ChartRenderOptions options_;
  PlotRenderCache cache_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_PLOT_WIDGET_H_

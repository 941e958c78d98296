// SPDX-License-Identifier: MIT
// The equal-area chart on screen: the window's plot widget holding the
// chart model.
#ifndef ORVANE_WINDOW_CHART_WIDGET_H_
#define ORVANE_WINDOW_CHART_WIDGET_H_

#include "chart/equal_area_chart.h"
#include "render/chart_render.h"
#include "render/plot_render.h"
#include "window/plot_widget.h"

namespace orvane {

class ChartWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit ChartWidget(QWidget* parent = nullptr);

  EqualAreaChart& Chart() { return chart_; }
  const EqualAreaChart& Chart() const { return chart_; }
  // Redraws after the chart's contents have changed.
  void ChartChanged() { update(); }

 private:
  EqualAreaChart chart_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_CHART_WIDGET_H_

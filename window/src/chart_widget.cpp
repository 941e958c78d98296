// SPDX-License-Identifier: MIT
#include "window/chart_widget.h"

namespace orvane {

ChartWidget::ChartWidget(QWidget* parent) : PlotWidget(parent) {
  setObjectName("chart");
  SetPlot(&chart_);
}

}  // namespace orvane

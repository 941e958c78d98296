// The equal-area chart on screen. It paints the chart model through
// the shared render function (with a cache of large series), toggles a
// series when its legend check box is clicked, and reports mouse releases
// and resizes to the window that owns it.
#ifndef ORVANE_WINDOW_CHART_WIDGET_H_
#define ORVANE_WINDOW_CHART_WIDGET_H_

#include <QWidget>

#include "chart/equal_area_chart.h"
#include "render/chart_render.h"

namespace orvane {

class ChartWidget : public QWidget {
  Q_OBJECT

 public:
  explicit ChartWidget(QWidget* parent = nullptr);

  EqualAreaChart& Chart() { return chart_; }
  const EqualAreaChart& Chart() const { return chart_; }
  // Redraws after the chart's contents have changed.
  void ChartChanged() { update(); }

 signals:
  // A mouse button was released over the chart.
  void MouseReleased(Qt::MouseButton button, QPoint position);
  // The chart changed size.
  void Resized(QSize size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  EqualAreaChart chart_;
  PlotRenderCache cache_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_CHART_WIDGET_H_

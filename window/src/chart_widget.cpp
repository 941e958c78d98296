#include "window/chart_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "timing_log.h"

namespace orvane {

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
  setObjectName("chart");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 80);
}

void ChartWidget::paintEvent(QPaintEvent*) {
  TimingMark("chart: paint");
  {
    QPainter painter(this);
    RenderChart(painter, chart_, size(), &cache_);
  }
  TimingMark("chart: painted");
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const QPoint p = event->position().toPoint();
    if (PolarSeries* s = LegendCheckBoxAt(chart_, size(), p.x(), p.y())) {
      s->SetActive(!s->Active());
      update();
    }
  }
  QWidget::mousePressEvent(event);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseReleased(event->button(), event->position().toPoint());
}

void ChartWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit Resized(size());
}

}  // namespace orvane

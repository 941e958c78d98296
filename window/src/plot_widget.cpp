// SPDX-License-Identifier: MIT
#include "window/plot_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "timing_log.h"

namespace orvane {

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 80);
}

void PlotWidget::SetPlot(PlotSource* plot) {
  plot_ = plot != nullptr ? std::make_unique<ModelScreen>(*plot) : nullptr;
  if (plot_ != nullptr) plot_->SetOptions(options_);
  update();
}

void PlotWidget::SetScreenOptions(const ChartRenderOptions& options) {
  options_ = options;
  if (plot_ != nullptr) plot_->SetOptions(options_);
  update();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  const QByteArray name = objectName().toUtf8();
  TimingMark((name + ": paint").constData());
  {
    QPainter painter(this);
    if (plot_ != nullptr) {
      plot_->Draw(painter, size(), cache_);
    } else {
      painter.fillRect(rect(), Qt::white);
    }
  }
  TimingMark((name + ": painted").constData());
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && plot_ != nullptr) {
    const QPoint p = event->position().toPoint();
    const int entry = plot_->LegendEntryAt(size(), p.x(), p.y());
    if (entry >= 0) {
      plot_->ToggleLegendEntry(size(), entry);
      update();
      emit LegendEntryToggled(entry);
    }
  }
  QWidget::mousePressEvent(event);
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  emit MouseReleased(event->button(), event->position().toPoint());
  QWidget::mouseReleaseEvent(event);
}

void PlotWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit Resized(size());
}

}  // namespace orvane

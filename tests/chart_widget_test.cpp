// SPDX-License-Identifier: MIT
// The chart widget on a screen of two device pixels a chart pixel (the
// suite scales the offscreen screen by two).
#include <gtest/gtest.h>

#include <QPixmap>
#include <QtGlobal>

#include "render/chart_render.h"
#include "support/analysed_chart.h"
#include "support/image_compare.h"
#include "window/chart_widget.h"

namespace orvane {
namespace {

// Before the application starts: every screen of this suite has two device
// pixels a pixel.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

using testing_support::AnalysedChart;

TEST(ChartWidgetHiDpi, LargeSeriesAreAsSharpAsTheScreen) {
  ASSERT_TRUE(kScaled);
  std::vector<testing_support::Ellipse> data;
  for (int i = 0; i < 3000; ++i) {
    data.push_back({1.5f + static_cast<float>(i % 41) * 0.07f, 1,
                    static_cast<float>(i % 90)});
  }
  ChartWidget widget;
  widget.Chart() = AnalysedChart(data);
  widget.resize(kDesignChartWidth, kDesignChartHeight);
  widget.show();
  ASSERT_EQ(widget.devicePixelRatioF(), 2.0);
  const QImage shown =
      widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shown.size(), widget.size() * 2);
  // Drawn marker by marker at the screen's pixels.
  QPixmap pixmap(widget.size() * 2);
  pixmap.setDevicePixelRatio(2);
  {
    QPainter p(&pixmap);
    RenderChart(p, widget.Chart(), widget.size());
  }
  const QImage direct = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(testing_support::DifferingPixels(direct, shown, 2), 0);
}

}  // namespace
}  // namespace orvane

#include "chart/chart_geometry.h"

#include <algorithm>
#include <cmath>

namespace orvane {

LegendLayout LayOutLegend(int chart_width, const std::vector<int>& title_widths,
                          int text_height, int text_ascent) {
  LegendLayout legend;
  int widest = 0;
  for (int w : title_widths) widest = std::max(widest, w);
  const int row = std::max(text_height, kCheckBoxSize) + kLegendSpacing;
  const int box_width = 2 * kLegendPadding + kCheckBoxSize + kLegendGap +
                        kSampleWidth + kLegendGap + widest;
  const int box_height = 2 * kLegendPadding +
                         row * static_cast<int>(title_widths.size()) -
                         (title_widths.empty() ? 0 : kLegendSpacing);
  legend.box = {chart_width - kChartMargin - kLegendShadow - box_width,
                kLegendTop, box_width, box_height};
  int top = legend.box.top + kLegendPadding;
  for (std::size_t i = 0; i < title_widths.size(); ++i) {
    const int row_height = row - kLegendSpacing;
    LegendEntryLayout e;
    const int x = legend.box.left + kLegendPadding;
    e.check_box = {x, top + (row_height - kCheckBoxSize) / 2, kCheckBoxSize,
                   kCheckBoxSize};
    e.sample = {x + kCheckBoxSize + kLegendGap, top, kSampleWidth, row_height};
    e.text_x = e.sample.left + kSampleWidth + kLegendGap;
    e.text_baseline = top + (row_height - text_height) / 2 + text_ascent;
    legend.entries.push_back(e);
    top += row;
  }
  return legend;
}

ChartLayout LayOutChart(int width, int height, const LegendLayout& legend) {
  ChartLayout l;
  l.width = width;
  l.height = height;
  const int column =
      std::max(kGridWidth, legend.box.width + kLegendShadow + 2 * kChartMargin);
  l.plot = {kChartMargin, kChartMargin,
            std::max(0, width - column - 2 * kChartMargin),
            std::max(0, height - 2 * kChartMargin)};
  l.cx = l.plot.left + l.plot.width / 2;
  l.cy = l.plot.top + l.plot.height / 2;
  l.radius = std::min(l.plot.width, l.plot.height) / 2;
  return l;
}

Pixel PlacePoint(const ChartLayout& layout, double maximum, double angle,
                 double value) {
  const double r = value <= 0 ? 0.0 : value / maximum * layout.radius;
  constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;
  const double t = angle * kRadPerDeg;
  return {layout.cx + static_cast<int>(std::lround(r * std::cos(t))),
          layout.cy - static_cast<int>(std::lround(r * std::sin(t)))};
}

}  // namespace orvane

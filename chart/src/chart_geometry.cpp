#include "chart/chart_geometry.h"

#include <algorithm>
#include <cmath>

namespace orvane {

LegendLayout LayOutLegend(int chart_width, const std::vector<int>& title_widths,
                          int text_height, int text_ascent, bool check_boxes) {
  LegendLayout legend;
  int widest = 0;
  for (int w : title_widths) widest = std::max(widest, w);
  const int row = std::max(text_height, kCheckBoxSize) + kLegendSpacing;
  const int check_column = check_boxes ? kCheckBoxSize + kLegendGap : 0;
  const int box_width =
      2 * kLegendPadding + check_column + kSampleWidth + kLegendGap + widest;
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
    if (check_boxes) {
      e.check_box = {x, top + (row_height - kCheckBoxSize) / 2, kCheckBoxSize,
                     kCheckBoxSize};
    } else {
      e.check_box = {x, top, 0, 0};
    }
    e.sample = {x + check_column, top, kSampleWidth, row_height};
    e.text_x = e.sample.left + kSampleWidth + kLegendGap;
    e.text_baseline = top + (row_height - text_height) / 2 + text_ascent;
    legend.entries.push_back(e);
    top += row;
  }
  return legend;
}

ChartLayout LayOutChart(int width, int height, const LegendLayout& legend,
                        bool grid_column, int footer) {
  ChartLayout l;
  l.width = width;
  l.height = height;
  const int legend_column = legend.box.width + kLegendShadow + 2 * kChartMargin;
  const int column =
      grid_column ? std::max(kGridWidth, legend_column) : legend_column;
  const int plot_height = std::max(0, height - footer - 2 * kChartMargin);
  l.plot = {kChartMargin, kChartMargin,
            std::max(0, width - column - 2 * kChartMargin), plot_height};
  if (!grid_column) {
    const int legend_bottom =
        legend.box.height > 0
            ? legend.box.top + legend.box.height + kLegendShadow
            : 0;
    const PixelRect below = {
        kChartMargin, legend_bottom + kChartMargin,
        std::max(0, width - 2 * kChartMargin),
        std::max(0, height - footer - legend_bottom - 2 * kChartMargin)};
    if (std::min(below.width, below.height) >
        std::min(l.plot.width, l.plot.height)) {
      l.plot = below;
    }
  }
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

// SPDX-License-Identifier: MIT
#include "chart/chart_geometry.h"

#include <algorithm>
#include <cmath>

namespace orvane {

LegendLayout LayOutLegend(int chart_width, const std::vector<int>& title_widths,
                          int text_height, int text_ascent, bool check_boxes,
                          int unit) {
  const int margin = kChartMargin * unit, padding = kLegendPadding * unit,
            spacing = kLegendSpacing * unit, box = kCheckBoxSize * unit,
            sample = kSampleWidth * unit, gap = kLegendGap * unit;
  LegendLayout legend;
  int widest = 0;
  for (int w : title_widths) widest = std::max(widest, w);
  const int row = std::max(text_height, box) + spacing;
  const int check_column = check_boxes ? box + gap : 0;
  const int box_width = 2 * padding + check_column + sample + gap + widest;
  const int box_height = 2 * padding +
                         row * static_cast<int>(title_widths.size()) -
                         (title_widths.empty() ? 0 : spacing);
  legend.box = {chart_width - margin - kLegendShadow * unit - box_width,
                kLegendTop * unit, box_width, box_height};
  int top = legend.box.top + padding;
  for (std::size_t i = 0; i < title_widths.size(); ++i) {
    const int row_height = row - spacing;
    LegendEntryLayout e;
    const int x = legend.box.left + padding;
    if (check_boxes) {
      e.check_box = {x, top + (row_height - box) / 2, box, box};
    } else {
      e.check_box = {x, top, 0, 0};
    }
    e.sample = {x + check_column, top, sample, row_height};
    e.text_x = e.sample.left + sample + gap;
    e.text_baseline = top + (row_height - text_height) / 2 + text_ascent;
    legend.entries.push_back(e);
    top += row;
  }
  return legend;
}

ChartLayout LayOutChart(int width, int height, const LegendLayout& legend,
                        int grid_column_width, int footer, int unit) {
  const int margin = kChartMargin * unit, shadow = kLegendShadow * unit;
  ChartLayout l;
  l.width = width;
  l.height = height;
  l.unit = unit;
  // No legend (a figure's inside the plot, or none) keeps no column.
  const int legend_column =
      legend.box.width > 0 ? legend.box.width + shadow + 2 * margin : 0;
  const int column = grid_column_width > 0
                         ? std::max(grid_column_width, legend_column)
                         : legend_column;
  const int plot_height = std::max(0, height - footer - 2 * margin);
  l.plot = {margin, margin, std::max(0, width - column - 2 * margin),
            plot_height};
  if (grid_column_width <= 0) {
    const int legend_bottom =
        legend.box.height > 0 ? legend.box.top + legend.box.height + shadow : 0;
    const PixelRect below = {
        margin, legend_bottom + margin, std::max(0, width - 2 * margin),
        std::max(0, height - footer - legend_bottom - 2 * margin)};
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

namespace {

constexpr double kRadPerDeg = 3.14159265358979323846 / 180.0;

// The radius in pixels of a value on the scale 0 .. maximum.
double PixelRadius(const ChartLayout& layout, double maximum, double value) {
  return value <= 0 ? 0.0 : value / maximum * layout.radius;
}

// The fast path handles angles of up to 8 radians (458 degrees) and radii
// of up to 2^30 pixels; the chart's angles lie in [-180, 360] degrees.
constexpr double kFastAngleLimit = 8.0;
constexpr double kFastRadiusLimit = 1073741824.0;

// Sine and cosine of t (|t| <= kFastAngleLimit) within 1e-15 of the true
// values: t is reduced by the nearest multiple k of pi/2, with pi/2 split
// into a 33-bit head (k x head is exact) and its tail, and the remainder
// (|r| <= pi/4 + 1e-15) goes into the minimax polynomials of the classic
// kernel functions, whose error there is below 2^-58.
void ShortSinCos(double t, double& sine, double& cosine) {
  constexpr double kTwoOverPi = 6.36619772367581382433e-01;
  constexpr double kHalfPiHead = 1.57079632673412561417e+00;
  constexpr double kHalfPiTail = 6.07710050650619224932e-11;
  const double k = std::nearbyint(t * kTwoOverPi);
  const double r = (t - k * kHalfPiHead) - k * kHalfPiTail;
  const double z = r * r;
  const double s =
      r + r * z *
              (-1.66666666666666324348e-01 +
               z * (8.33333333332248946124e-03 +
                    z * (-1.98412698298579493134e-04 +
                         z * (2.75573137070700676789e-06 +
                              z * (-2.50507602534068634195e-08 +
                                   z * 1.58969099521155010221e-10)))));
  const double c =
      1.0 - 0.5 * z +
      z * z *
          (4.16666666666666019037e-02 +
           z * (-1.38888888888741095749e-03 +
                z * (2.48015872894767294178e-05 +
                     z * (-2.75573143513906633035e-07 +
                          z * (2.08757232129817482790e-09 +
                               z * -1.13596475577881948265e-11)))));
  switch (static_cast<int>(k) & 3) {
    case 0:
      sine = s;
      cosine = c;
      break;
    case 1:
      sine = c;
      cosine = -s;
      break;
    case 2:
      sine = -s;
      cosine = -c;
      break;
    default:
      sine = -c;
      cosine = s;
      break;
  }
}

// The nearest integer to v, when every value within `guard` of v has that
// nearest integer (v is not within guard of a half-integer): then
// std::lround of any such value gives it too.
bool RoundsClear(double v, double guard, int& rounded) {
  const double nearest = std::floor(v + 0.5);
  if (!(std::abs(v - nearest) < 0.5 - guard)) return false;
  rounded = static_cast<int>(nearest);
  return true;
}

}  // namespace

int LegendRowAt(const LegendLayout& legend, int x, int y) {
  for (std::size_t i = 0; i < legend.entries.size(); ++i) {
    const LegendEntryLayout& e = legend.entries[i];
    const PixelRect row{e.check_box.left, e.sample.top,
                        legend.box.left + legend.box.width - e.check_box.left,
                        e.sample.height};
    if (row.Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

Pixel PlacePointLibm(const ChartLayout& layout, double maximum, double angle,
                     double value) {
  const double r = PixelRadius(layout, maximum, value);
  const double t = angle * kRadPerDeg;
  return {layout.cx + static_cast<int>(std::lround(r * std::cos(t))),
          layout.cy - static_cast<int>(std::lround(r * std::sin(t)))};
}

bool PlacePointShort(const ChartLayout& layout, double maximum, double angle,
                     double value, Pixel& out) {
  const double r = PixelRadius(layout, maximum, value);
  const double t = angle * kRadPerDeg;
  if (!(std::abs(t) <= kFastAngleLimit && r < kFastRadiusLimit)) return false;
  double sine, cosine;
  ShortSinCos(t, sine, cosine);
  // The library's sine and cosine are within an ulp of the true values and
  // the short ones within 1e-15, so the products r cos t and r sin t of
  // either pair, with their roundings, differ by less than 3e-15 (1 + r);
  // the guard is more than four orders of magnitude wider.
  const double guard = 1e-10 * (1.0 + r);
  int dx, dy;
  if (!RoundsClear(r * cosine, guard, dx) ||
      !RoundsClear(r * sine, guard, dy)) {
    return false;
  }
  out = {layout.cx + dx, layout.cy - dy};
  return true;
}

Pixel PlacePoint(const ChartLayout& layout, double maximum, double angle,
                 double value) {
  Pixel at;
  if (PlacePointShort(layout, maximum, angle, value, at)) return at;
  return PlacePointLibm(layout, maximum, angle, value);
}

}  // namespace orvane

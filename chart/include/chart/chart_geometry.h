// SPDX-License-Identifier: MIT
// Where things go on the chart: the plot disc, the legend and the pixel of a
// polar point. Plain C++ so that tests can check the geometry without a
// window; the painter and the mouse handling both use it.
#ifndef ORVANE_CHART_CHART_GEOMETRY_H_
#define ORVANE_CHART_CHART_GEOMETRY_H_

#include <vector>

namespace orvane {

struct Pixel {
  int x = 0;
  int y = 0;
  bool operator==(const Pixel&) const = default;
};

struct PixelRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool Contains(int x, int y) const {
    return x >= left && x < left + width && y >= top && y < top + height;
  }
  bool operator==(const PixelRect&) const = default;
};

// The chart's size at the window's design size, and the default size of a
// saved picture.
inline constexpr int kDesignChartWidth = 640;
inline constexpr int kDesignChartHeight = 362;

// Pixel metrics of the chart.
inline constexpr int kChartMargin = 4;  // around the plot area and legend
inline constexpr int kLegendTop = 3;
inline constexpr int kLegendPadding = 4;
inline constexpr int kLegendSpacing = 2;  // between entries
inline constexpr int kCheckBoxSize = 12;
inline constexpr int kSampleWidth = 26;
inline constexpr int kLegendGap = 5;  // between check box, sample and title
inline constexpr int kLegendShadow = 3;

struct LegendEntryLayout {
  PixelRect check_box;
  PixelRect sample;  // the marker (and line) sample, centred in it
  int text_x = 0;
  int text_baseline = 0;
};

struct LegendLayout {
  PixelRect box;
  std::vector<LegendEntryLayout> entries;
};

// The legend at the right, its top at the top of the chart: one row per
// entry of the given title widths, with rows of max(text height, check box)
// plus the spacing. Without check boxes (a figure's legend) the sample
// starts the row and the check boxes are empty rectangles.
// `unit` is the plot's pixels per screen pixel of the metrics above (a
// figure's layout is finer than the screen's).
LegendLayout LayOutLegend(int chart_width, const std::vector<int>& title_widths,
                          int text_height, int text_ascent,
                          bool check_boxes = true, int unit = 1);

// The entry of the legend whose row holds the pixel: the whole row from its
// check box to the legend's right edge answers, not only the box itself.
// -1 where no entry is.
int LegendRowAt(const LegendLayout& legend, int x, int y);

struct ChartLayout {
  int width = 0;
  int height = 0;
  PixelRect plot;  // the plotting area: the chart less legend and margins
  int cx = 0;      // centre of the disc
  int cy = 0;
  int radius = 0;  // radius D of the disc in pixels
  int unit = 1;    // pixels per screen pixel of the metrics (LayOutLegend)
};

// The disc is a true circle centred in the plotting area. On the screen
// the plotting area keeps clear of a column of `grid_column_width` pixels at
// the right, where the window's data grid lies over the chart below the
// legend.
// A saved picture has no grid: its plotting area is the chart left of the
// legend, or below it where that gives the larger disc (a narrow picture).
// `footer` pixels at the bottom are kept for a caption line.
// `unit` as for LayOutLegend.
ChartLayout LayOutChart(int width, int height, const LegendLayout& legend,
                        int grid_column_width = 0, int footer = 0,
                        int unit = 1);

// The pixel of the point (angle in degrees, value) for the radial scale
// 0 .. maximum: r = value / maximum x D, x = cx + round(r cos angle),
// y = cy - round(r sin angle). A value <= 0 lies at the centre; values
// beyond the maximum lie outside the disc at the same scale.
Pixel PlacePoint(const ChartLayout& layout, double maximum, double angle,
                 double value);

// PlacePoint's two paths, declared so that each can be checked on its own.
// PlacePoint takes the short one, a polynomial sine and cosine several
// times faster than the library's, whenever it is certain to give the
// library's pixel: false when a coordinate lies so near a half pixel that
// the two could round it apart (or the angle or radius is out of its
// range), and then PlacePoint uses the library's functions.
bool PlacePointShort(const ChartLayout& layout, double maximum, double angle,
                     double value, Pixel& out);
Pixel PlacePointLibm(const ChartLayout& layout, double maximum, double angle,
                     double value);

}  // namespace orvane

#endif  // ORVANE_CHART_CHART_GEOMETRY_H_

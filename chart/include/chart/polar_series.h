// SPDX-License-Identifier: MIT
// A series of the polar chart: its style and its points, kept in angle
// order. Plain C++ (no Qt).
#ifndef ORVANE_CHART_POLAR_SERIES_H_
#define ORVANE_CHART_POLAR_SERIES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_projection.h"

namespace orvane {

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

enum class MarkerStyle { kNone, kCircle, kDiamond, kSquare, kCross };

// A revision for a series of any plot that has changed: one counter for
// every series of the program, never reused, so that a drawing cached for
// one series never matches another's.
std::uint64_t NextSeriesRevision();

struct SeriesStyle {
  std::string title;
  bool show_in_legend = true;
  Rgb color = 0x000000;  // the series colour
  MarkerStyle marker = MarkerStyle::kNone;
  int half_width = 0;          // pixels left and right of the point
  int half_height = 0;         // pixels above and below the point
  std::optional<Rgb> fill;     // none: hollow marker
  std::optional<Rgb> outline;  // none: no outline
  int outline_width = 1;
  bool square_caps = false;
  // The marker's size as a share of the one its half sizes give: a
  // figure's markers in print units.
  double marker_scale = 1.0;
  int transparency = 0;  // percent by which markers blend with the ground
  // The line through the points, in point order.
  bool line_visible = false;
  Rgb line_color = 0x000000;
  double line_width = 1;  // pixels
  bool closed = false;    // the line returns from the last point to the first
  // The plot disc, painted by the first active series of the list.
  std::optional<Rgb> circle_background;  // none: not filled
  bool circle_outline = true;            // black, one pixel
};

// Sorts points by angle, ascending, keeping points of equal angle in the
// order they had: the order of a stable sort by `a.angle < b.angle`, found
// by a radix sort for large series.
void SortByAngle(std::vector<PolarPoint>& points);

// A series of a polar chart. Points are kept sorted by angle, ascending; a
// point added with an angle equal to existing ones goes after them.
class PolarSeries {
 public:
  explicit PolarSeries(SeriesStyle style) : style_(std::move(style)) {}

  const SeriesStyle& Style() const { return style_; }
  SeriesStyle& MutableStyle() {
    revision_ = NextSeriesRevision();
    return style_;
  }

  // AddPolar(angle in degrees, value); the label and colour of the chart
  // component are always empty and the series' own.
  void AddPolar(double angle, double value);
  // Adds the points as AddPolar would one after the other, in one step; a
  // series without points takes over the vector.
  void AddPolar(std::vector<PolarPoint>&& points);
  void Clear();
  // The points in angle order (sorted on first use after additions).
  const std::vector<PolarPoint>& Points() const;
  std::size_t Count() const { return points_.size(); }

  bool Active() const { return active_; }
  void SetActive(bool on);

  // Changes with every change of points or style (not of Active), so that
  // a painter can cache what it drew. Revisions are never reused, not even
  // by another series, so a series that replaces another at the same place
  // never matches a drawing of the old one.
  std::uint64_t Revision() const { return revision_; }

 private:
  SeriesStyle style_;
  mutable std::vector<PolarPoint> points_;
  mutable bool sorted_ = true;
  bool active_ = true;
  std::uint64_t revision_ = NextSeriesRevision();
};

}  // namespace orvane

#endif  // ORVANE_CHART_POLAR_SERIES_H_

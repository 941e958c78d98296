// SPDX-License-Identifier: MIT
// Where a datum goes on a plot: one mapping from the data's coordinates to
// the plot's pixels for every kind of plot (the polar chart in either
// projection, the Rf/phi plot on either scale, any cartesian plot on linear
// or logarithmic axes), in two forms:
//
// - Exact: floating-point coordinates, the true geometry. A vector picture
//   draws there, so that circles and curves stay smooth at any size.
// - Snapped: the whole pixel the screen draws at, by the rounding the
//   screen's chart has always used (so that its pixels stay as they are).
//
// Both are in the plot's own pixels, y downwards, with the convention of
// the screen's raster: pixel (x, y) covers [x, x + 1) x [y, y + 1), so the
// exact place of a datum snapped to pixel p lies within half a pixel of
// p's centre (p.x + 0.5, p.y + 0.5). Lines the screen draws on whole pixels
// (a frame, a tick) have their exact place at the centre of those pixels
// too. Plain C++ (no Qt).
#ifndef ORVANE_CHART_PLOT_MAPPING_H_
#define ORVANE_CHART_PLOT_MAPPING_H_

#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "core/theta_curves.h"

namespace orvane {

// The Rf/phi plot's axes and frame, which its mapping places data by.
enum class RfScale { kLogarithmic, kLinear };

// A tick of an axis: its value and, for a labelled (major) tick, the text.
struct AxisTick {
  double value = 0;
  std::string label;  // empty: a minor tick
  bool operator==(const AxisTick&) const = default;
};

// The Rf axis from 1 to `maximum`.
struct RfAxis {
  RfScale scale = RfScale::kLogarithmic;
  double maximum = 10;
  std::vector<AxisTick> ticks;
};

struct RfPhiLayout {
  int width = 0;
  int height = 0;
  PixelRect plot;  // the frame of the data: phi -90 at its left edge, 90 at
                   // its right; Rf 1 at its bottom, the maximum at its top
  // Baselines and centres of the axis titles.
  int phi_title_x = 0;  // centre of "Long-axis orientation phi"
  int phi_title_baseline = 0;
  // "Rf", level (every reader of a metafile draws level text alike), left
  // of the tick labels at the middle of the frame: its left end and
  // baseline.
  int rf_title_x = 0;
  int rf_title_baseline = 0;
  int unit = 1;  // pixels per screen pixel of the metrics (LayOutLegend)
};

// Where a shape lies: x from phi (degrees), y from Rf on the axis, as
// unrounded pixel coordinates of the frame (y grows downwards). Rf below 1
// lies below the frame, above the maximum above it.
double PhiToX(const RfPhiLayout& layout, double phi);
double RfToY(const RfPhiLayout& layout, const RfAxis& axis, double ratio);
// The pixel of a shape: the coordinates above, rounded to the nearest.
Pixel PlaceShape(const RfPhiLayout& layout, const RfAxis& axis,
                 const RfPhiPoint& shape);

struct PlotPosition {
  double x = 0;
  double y = 0;
  bool operator==(const PlotPosition&) const = default;
};

// A rectangle in exact plot coordinates.
struct PlotRect {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool Contains(PlotPosition p) const {
    return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
  }
};

// The data range of a cartesian plot's axis, the first value at the
// frame's left (or bottom) edge, the second at its right (or top) edge, on
// a linear or a logarithmic scale (both values above zero).
struct AxisRange {
  double from = 0;
  double to = 1;
  bool logarithmic = false;
};

class PlotMapping {
 public:
  // Maps nothing: every place is the origin of a plot of no size.
  PlotMapping() = default;

  // The polar chart: a datum is (angle in degrees, radial value) on the
  // scale 0 .. maximum, which reaches the disc's edge.
  static PlotMapping Polar(const ChartLayout& layout, double maximum);
  // The Rf/phi plot: a datum is (phi in degrees, Rf) on the axis.
  static PlotMapping RfPhi(const RfPhiLayout& layout, const RfAxis& axis);
  // Any plot of x across and y upwards in the frame `plot` (the pixels of
  // its left and top edges and those one past its width and height).
  static PlotMapping Cartesian(const PixelRect& plot, const AxisRange& x,
                               const AxisRange& y);

  PlotPosition Exact(double a, double b) const;
  Pixel Snapped(double a, double b) const;

  // The frame every layer of data is clipped to in a vector picture, in
  // exact coordinates: the plotting area of the polar chart (the disc lies
  // inside it), the frame of the Rf/phi plot (on the centres of its
  // lines).
  PlotRect Frame() const { return frame_; }

  // The polar chart's centre and the pixels of one unit of the radial
  // value (exact); zero for other plots.
  PlotPosition Centre() const { return {cx_ + 0.5, cy_ + 0.5}; }
  double PixelsPerUnit() const { return per_unit_; }

 private:
  enum class Kind { kPolar, kRfPhi, kCartesian };
  Kind kind_ = Kind::kPolar;
  PlotRect frame_;
  // Polar.
  ChartLayout polar_;
  double maximum_ = 1;
  int cx_ = 0, cy_ = 0;
  double per_unit_ = 0;
  // Rf/phi.
  RfPhiLayout rf_phi_;
  bool rf_log_ = true;
  double rf_top_ = 1;
  // Cartesian.
  PixelRect plot_;
  AxisRange x_, y_;
  // The unrounded place of a datum in the plot's pixels.
  double CartesianX(double a) const;
  double CartesianY(double b) const;
};

// The pieces of a polyline that lie within `frame`, each a polyline of its
// own: segments are cut where they cross the frame's edges, and a piece
// ends where the line leaves the frame. Pieces of fewer than two points
// are left out.
std::vector<std::vector<PlotPosition>> ClipPolyline(
    const std::vector<PlotPosition>& line, const PlotRect& frame);

// The corners of the smallest convex polygon around the points, counter-
// clockwise on the screen; fewer than three distinct points come back as
// they are (duplicates removed).
std::vector<PlotPosition> ExactConvexHull(std::vector<PlotPosition> points);

// The same for whole pixels, from the lowest-leftmost corner.
std::vector<Pixel> PixelHull(std::vector<Pixel> points);

}  // namespace orvane

#endif  // ORVANE_CHART_PLOT_MAPPING_H_

// SPDX-License-Identifier: MIT
// The strain ellipsoid's plots as data: the Flinn plot of its axial ratios,
// the Hsu (Nadai) plot of its shape and magnitude, and its principal axes
// on a lower-hemisphere equal-area net, each with the ellipsoids of the
// sections' resamples and the 95 % confidence limits. Plain C++ (no Qt):
// the axes, the layout and the lines are computed here; render/plot_render
// draws the models.
#ifndef ORVANE_CHART_ELLIPSOID_PLOTS_H_
#define ORVANE_CHART_ELLIPSOID_PLOTS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "chart/plot_mapping.h"
#include "chart/plot_model.h"
#include "chart/polar_series.h"
#include "core/ellipsoid.h"

namespace orvane {

// A place on one of the plots, in its data's coordinates (x across, y up).
using PlanePoint = std::pair<double, double>;

// What a legend entry of each plot stands for: its id in the model's
// legend.
enum class FlinnEntry { kCloud, kEstimate, kLimits };
enum class HsuEntry { kCloud, kEstimate };
// The X, Y and Z entries show or hide all that belongs to that axis (its
// marker, cone and resamples); the cones and the resamples' axes have
// entries of their own too.
enum class AxesEntry { kX, kY, kZ, kCones, kResamples };

// The styles of what the entries stand for, in the palette: the resamples
// as small grey dots, the estimates as larger markers (the axes a square,
// a diamond and a circle), the limits and cones as lines.
SeriesStyle FlinnStyle(FlinnEntry entry, ChartPalette palette);
SeriesStyle HsuStyle(HsuEntry entry, ChartPalette palette);
SeriesStyle AxesStyle(AxesEntry entry, ChartPalette palette);

// Places of a series on a plot, x and y of each in turn, those within the
// plot's frame first (markers are not cut at the frame: only those are
// drawn). The revision changes with every change of the places.
struct PlotPoints {
  std::vector<double> xy;
  std::size_t framed = 0;
  std::uint64_t revision = NextSeriesRevision();
  std::size_t Count() const { return xy.size() / 2; }
};

// The Flinn plot's axes, the same across and upwards: from 1 to the first
// nice value 5 % above `largest` (at least 2), labelled at a 1-2-5 step
// with `decimal_separator` (the Rf/phi plot's linear Rf axis).
RfAxis MakeFlinnAxis(double largest,
                     const std::string& decimal_separator = ".");

// The Hsu plot's radial axis: arcs of eps_s at the smallest 1-2-5 step
// that needs at most five of them (so three to five), the outermost at
// `extent`, the first step multiple at least 5 % above `wanted` (and at
// least 0.5, at most 10^6). Labels use `decimal_separator`. A `wanted`
// that is not a number gives the least axis.
struct HsuAxis {
  double extent = 0.5;
  std::vector<AxisTick> arcs;  // labelled, from the innermost
};
HsuAxis MakeHsuAxis(double wanted, const std::string& decimal_separator = ".");

// The place on the Hsu plot of Lode's `nu` (clamped to -1..1) and the
// octahedral shear strain `eps_s`: the apex at the origin, plane strain
// (nu = 0) straight up, nu = -1 (constriction) on the ray 30 degrees left of
// it and nu = +1 (flattening) 30 degrees right, so that nu grows from left
// to right as on a number line, at the angle atan(nu / sqrt 3) from the
// vertical (the Lode angle) and the distance eps_s from the apex.
PlanePoint HsuPlace(double nu, double eps_s);

// The place of a line (any vector, not necessarily unit, either sense) on
// the lower-hemisphere equal-area net of radius 1: the lower of its two
// ends, at its trend clockwise from north (up) and the distance
// sqrt(2) sin(theta / 2) from the centre, theta = 90 degrees - plunge, so
// that a level line lies on the primitive and a vertical one at the
// centre. None for a vector that is zero or not finite.
std::optional<PlanePoint> EqualAreaPlace(const Vector3& line);

// The small circle of `semi_angle` degrees (clamped to 0..90) about the
// line `axis`, on the same net, from `count` points around it: the points
// in the upper hemisphere are taken at their antipodes, and the circle is
// cut where it crosses the primitive (so that a cone about a near-level
// axis comes back as pieces on either side of the net), each piece ending
// on the primitive. An uncut circle comes back as one polyline whose last
// vertex repeats its first. None for an axis EqualAreaPlace refuses, a
// semi-angle that is not finite or fewer than three points.
std::vector<std::vector<PlanePoint>> ConeOutline(const Vector3& axis,
                                                 double semi_angle, int count);

// The Flinn plot: Y/Z across, X/Y upwards, from 1 on equal scales, with the
// line k = 1 through the frame's lower left and upper right corners, the
// resamples' ellipsoids as a cloud of dots, the estimate as a marker and
// its 95 % limits of both ratios as an error cross.
class FlinnPlot final : public PlotSource {
 public:
  FlinnPlot() = default;

  // The grid, the line k = 1, the cloud, the limits, the estimate, the
  // frame, ticks and titles, the legend and the caption.
  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is a FlinnEntry.
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane Flinn plot"; }

  // The result's estimate, resamples and limits (copied: the result need
  // not outlive the plot). A failed result (status not ok) leaves the plot
  // empty, as does an estimate whose ratios are not finite. Allocation
  // failures are thrown as std::bad_alloc (Clear() the plot then).
  void ShowEllipsoid(const EllipsoidResult& result);
  void Clear();

  // The estimate's place (Y/Z, X/Y), where there is one.
  const std::optional<PlanePoint>& Estimate() const { return estimate_; }
  // The resamples' places (Y/Z, X/Y).
  const PlotPoints& Cloud() const { return cloud_; }
  // The 95 % limits of X/Y and Y/Z, where the result has them.
  bool HasLimits() const { return has_limits_; }
  const Interval& LimitsXy() const { return xy_; }
  const Interval& LimitsYz() const { return yz_; }

  // The largest ratio the frame shows: the estimate's, the limits' (where
  // finite) and the cloud's 99th percentile of either ratio.
  double WantedRatio() const { return wanted_; }
  RfAxis Axis() const { return MakeFlinnAxis(wanted_, separator_); }

  bool Shown(FlinnEntry entry) const;
  void SetShown(FlinnEntry entry, bool on);

  const std::string& DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(const std::string& sep) { separator_ = sep; }

 private:
  std::optional<PlanePoint> estimate_;
  PlotPoints cloud_;
  bool has_limits_ = false;
  Interval xy_, yz_;
  double wanted_ = 1;
  std::array<bool, 3> shown_ = {true, true, true};
  std::string separator_ = ".";
};

// The Hsu plot: the 60 degree sector of Lode's nu from +1 (flattening, left
// edge) to -1 (constriction, right edge), eps_s outwards from the apex with
// labelled arcs, the resamples as dots and the estimate as a marker.
class HsuPlot final : public PlotSource {
 public:
  HsuPlot() = default;

  // The arcs and the plane-strain ray, the cloud, the estimate, the
  // sector's outline and labels, the legend and the caption.
  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is an HsuEntry.
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane Hsu plot"; }

  // As FlinnPlot::ShowEllipsoid. An ellipsoid without nu (no strain) lies
  // at the apex.
  void ShowEllipsoid(const EllipsoidResult& result);
  void Clear();

  // The estimate's and the resamples' places (HsuPlace).
  const std::optional<PlanePoint>& Estimate() const { return estimate_; }
  const PlotPoints& Cloud() const { return cloud_; }

  // The largest eps_s the sector shows: the estimate's, the upper limit's
  // (where finite) and the cloud's 99th percentile.
  double WantedStrain() const { return wanted_; }
  HsuAxis Axis() const { return MakeHsuAxis(wanted_, separator_); }

  bool Shown(HsuEntry entry) const;
  void SetShown(HsuEntry entry, bool on);

  const std::string& DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(const std::string& sep) { separator_ = sep; }

 private:
  std::optional<PlanePoint> estimate_;
  PlotPoints cloud_;
  double wanted_ = 0;
  std::array<bool, 2> shown_ = {true, true};
  std::string separator_ = ".";
};

// The principal axes on a lower-hemisphere equal-area (Schmidt) net: the
// primitive circle with a cross at its centre and north marked, the X, Y
// and Z axes of the estimate as a square, a diamond and a circle, each
// with its 95 % cone as a small circle, and the resamples' axes as dots.
class AxesPlot final : public PlotSource {
 public:
  AxesPlot() = default;

  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is an AxesEntry.
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane axes plot"; }

  // The result's axes (copied), the cones where it has limits. A failed
  // result leaves the plot empty, as does an estimate none of whose axes
  // is a finite vector other than zero; an axis that is not is left out,
  // as are such axes of the resamples.
  void ShowEllipsoid(const EllipsoidResult& result);
  void Clear();

  // The estimate's axis X, Y or Z (0, 1, 2) on the net, where there is one.
  const std::optional<PlanePoint>& Axis(int axis) const;
  // The cone about that axis, in pieces (ConeOutline); empty without one.
  const std::vector<std::vector<PlanePoint>>& Cone(int axis) const;
  // The resamples' axes of that kind on the net.
  const PlotPoints& Resamples(int axis) const;

  bool Shown(AxesEntry entry) const;
  void SetShown(AxesEntry entry, bool on);

  // The net has no numbers: the separator is kept for the plots' common
  // interface.
  const std::string& DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(const std::string& sep) { separator_ = sep; }

 private:
  std::array<std::optional<PlanePoint>, 3> axes_;
  std::array<std::vector<std::vector<PlanePoint>>, 3> cones_;
  std::array<PlotPoints, 3> resamples_;
  std::array<bool, 5> shown_ = {true, true, true, true, true};
  std::string separator_ = ".";
};

}  // namespace orvane

#endif  // ORVANE_CHART_ELLIPSOID_PLOTS_H_

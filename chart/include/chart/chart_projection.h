// SPDX-License-Identifier: MIT
// The radial projection of the polar chart: how the hyperbolic distance rho
// of a point from the origin (rho = ln R for an ellipse of axial ratio R)
// becomes its radius on the chart. The angle is psi = 2 phi in every
// projection.
//
// - Equal-area: radius zeta = 2 sinh(rho / 2) = sqrt(R) - 1 / sqrt(R).
//   Equal areas of the hyperbolic plane cover equal areas of the disc, so
//   the density of the points can be judged by eye.
// - Elliott (equidistant): radius rho = ln R. Equal steps of natural strain
//   are equal steps of radius, as on Elliott's polar plot of ln R against
//   2 phi.
//
// Near the origin both are alike (zeta = rho + rho^3 / 24 + ...); further
// out the equal-area radius grows as sqrt(R) and the Elliott radius as ln R,
// so an Elliott chart spreads the strongly deformed markers less.
#ifndef ORVANE_CHART_CHART_PROJECTION_H_
#define ORVANE_CHART_CHART_PROJECTION_H_

#include <optional>
#include <string_view>

namespace orvane {

enum class ChartProjection { kEqualArea, kElliott };

// A point of a polar chart series: angle in degrees, radius in the chart's
// projection.
struct PolarPoint {
  double angle = 0;
  double value = 0;
};

// 180 / pi as the chart forms its angles: a double constant, so a different
// long double from kDegPerRad of the report.
inline constexpr long double kChartDegPerRad = 57.29577951308232L;

// The chart angle of a direction psi (radians): psi x 180/pi degrees, formed
// in extended precision with kChartDegPerRad.
double PlotAngle(float psi);

// The chart radius of a point at hyperbolic distance rho (>= 0), evaluated
// in extended precision: 2 sinh(rho / 2) or rho. For a grid over the disc
// (contours and the like); the plotted markers take their radii from the
// analysis' own single-precision figures (MarkerRadius below).
double RadiusOfRho(ChartProjection projection, double rho);
// The inverse: the hyperbolic distance rho of a chart radius (>= 0),
// 2 arsinh(radius / 2) or the radius itself. A negative radius gives 0.
double RhoOfRadius(ChartProjection projection, double radius);

// The chart radius of a point given by its single-precision rho and, for
// the equal-area projection, the zeta the analysis stored with it: zeta
// itself (so that the equal-area chart plots exactly the analysis' figures)
// or rho.
inline double MarkerRadius(ChartProjection projection, float rho, float zeta) {
  return projection == ChartProjection::kElliott ? static_cast<double>(rho)
                                                 : static_cast<double>(zeta);
}

// The chart radius of the circle of equal axial ratio R: ZetaOfR(R), or ln R
// rounded to single precision as the analysis rounds the rho of a marker of
// that ratio.
double IsoRatioRadius(ChartProjection projection, float ratio);

// The radial maximum for data whose largest measured axial ratio is Rmax:
// the radius of Rmax plus a margin of 0.5. In both projections the margin
// is half a unit of the radial coordinate, which for weak strains
// (zeta ~ rho) puts the outermost markers at the same place in both.
double RadialMaximumFor(ChartProjection projection, float largest_ratio);

// "equal-area" and "elliott", as on the command line and in settings.
const char* ProjectionKey(ChartProjection projection);
std::optional<ChartProjection> ProjectionOfKey(std::string_view key);
// "Equal-Area" and "Elliott", for menus and titles.
const char* ProjectionTitle(ChartProjection projection);

}  // namespace orvane

#endif  // ORVANE_CHART_CHART_PROJECTION_H_

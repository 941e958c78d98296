// SPDX-License-Identifier: MIT
#include "chart/chart_projection.h"

#include <cmath>

#include "core/double_paths.h"
#include "core/hyperbolic.h"

namespace orvane {

double PlotAngle(float psi) {
  return static_cast<double>(static_cast<long double>(psi) * kChartDegPerRad);
}

double RadiusOfRho(ChartProjection projection, double rho) {
  if (!(rho > 0)) return 0.0;
  if (projection == ChartProjection::kElliott) return rho;
  return static_cast<double>(2 * std::sinh(static_cast<long double>(rho) / 2));
}

double RhoOfRadius(ChartProjection projection, double radius) {
  if (!(radius > 0)) return 0.0;
  if (projection == ChartProjection::kElliott) return radius;
  return static_cast<double>(2 *
                             std::asinh(static_cast<long double>(radius) / 2));
}

double IsoRatioRadius(ChartProjection projection, float ratio) {
  if (projection == ChartProjection::kElliott) {
    return static_cast<double>(RhoOfRatio(ratio));
  }
  return static_cast<double>(ZetaOfR(ratio));
}

double RadialMaximumFor(ChartProjection projection, float largest_ratio) {
  const long double radius =
      projection == ChartProjection::kElliott
          ? static_cast<long double>(RhoOfRatio(largest_ratio))
          : static_cast<long double>(ZetaOfR(largest_ratio));
  return static_cast<double>(radius + 0.5L);
}

const char* ProjectionKey(ChartProjection projection) {
  return projection == ChartProjection::kElliott ? "elliott" : "equal-area";
}

std::optional<ChartProjection> ProjectionOfKey(std::string_view key) {
  if (key == "equal-area") return ChartProjection::kEqualArea;
  if (key == "elliott") return ChartProjection::kElliott;
  return std::nullopt;
}

const char* ProjectionTitle(ChartProjection projection) {
  return projection == ChartProjection::kElliott ? "Elliott" : "Equal-Area";
}

}  // namespace orvane

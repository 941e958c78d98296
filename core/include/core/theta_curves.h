// SPDX-License-Identifier: MIT
// Theta-curves of the Rf/phi plot: for an initial axial ratio Ri, the
// strained shapes of the ellipses of that ratio whose initial orientation
// theta runs through 0 ... 180 degrees. Each shape is found by moving the
// ellipse's point of the hyperboloid with the strain's own Lorentz matrix
// (the pre-to-post matrix of the analysis), so that the curves show exactly
// the strain the analysis found.
#ifndef ORVANE_CORE_THETA_CURVES_H_
#define ORVANE_CORE_THETA_CURVES_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/hyperbolic.h"
#include "core/status.h"

namespace orvane {

// The initial ratios of the curves drawn unless the user asks for others.
inline const std::vector<float>& DefaultThetaCurveRatios() {
  static const std::vector<float> ratios = {1.25f, 1.5f, 2.0f, 3.0f, 5.0f};
  return ratios;
}

// Initial orientations sampled per curve: theta = 0, 0.5, ..., 180 degrees.
// At 0.5 degree steps the curve of Ri = 5 under R_s = 5 moves by under a
// pixel of a 640 x 362 plot between samples, so the polyline looks smooth.
inline constexpr int kThetaSamples = 361;

// Limits of a list of initial ratios: Ri below 1 is no axial ratio, and
// past the loader's largest ratio nothing could be plotted.
inline constexpr float kMaxThetaCurveRatio = 1000.0f;
inline constexpr int kMaxThetaCurves = 20;

// A shape on the Rf/phi plot: the axial ratio and the orientation of the
// major axis in degrees, in (-90, 90].
struct RfPhiPoint {
  float ratio = 1;
  float phi = 0;
  bool operator==(const RfPhiPoint&) const = default;
};

// The ellipse of initial ratio `initial_ratio` (>= 1) and initial
// orientation `theta_degrees`, strained by `pre_to_post`:
// v = HyperbolicVector(ln Ri, 2 theta), w = pre_to_post v, and Rf = e^rho,
// phi = psi / 2 of w, rounded to single precision as every stored figure
// of the analysis.
RfPhiPoint StrainedShape(const MinkowskiMatrix& pre_to_post,
                         float initial_ratio, long double theta_degrees);

struct ThetaCurve {
  float initial_ratio = 1;
  // The curve as polylines in order of theta. A curve that wraps across
  // phi = +-90 degrees is cut there, so that no line crosses the plot: the
  // piece ends at the last shape before the edge and the next begins at
  // the first shape after it (both found by bisection in theta, within a
  // thousandth of a degree of the edge). Consecutive equal shapes are
  // merged, so Ri = 1 (a circle, whatever its orientation) gives the single
  // point of the strain.
  std::vector<std::vector<RfPhiPoint>> pieces;
};

// The curve of `initial_ratio` for kThetaSamples orientations (`samples`
// for tests; at least 2). REQUIRES: initial_ratio >= 1 and finite.
ThetaCurve ComputeThetaCurve(const MinkowskiMatrix& pre_to_post,
                             float initial_ratio, int samples = kThetaSamples);

// One curve per ratio, in the order given.
std::vector<ThetaCurve> ComputeThetaCurves(const MinkowskiMatrix& pre_to_post,
                                           const std::vector<float>& ratios);

// Reads a list of initial ratios such as "1.25, 1.5, 2, 3, 5": numbers with
// a full stop as the decimal separator, separated by commas, semicolons or
// blanks; each from 1 to kMaxThetaCurveRatio, at most kMaxThetaCurves of
// them. With `decimal_separator` "," the list is "1,25; 1,5; 2; 3; 5": a
// comma inside a number is its decimal separator (a full stop is read as
// one too), items are separated by semicolons or blanks, and a token that
// could be either ("1,5,2", "1,", "1.000,5") is refused as ambiguous. An
// empty list is allowed (no curves). A refusal's message names the first
// wrong entry; `ratios` is then left as it was.
Status ParseThetaCurveRatios(std::string_view text, std::vector<float>& ratios,
                             std::string_view decimal_separator = ".");

// The list as "1.25, 1.5, 2, 3, 5" (with "," as the separator, "1,25; 1,5;
// 2; 3; 5"): each ratio as the shortest decimal that reads back to it.
std::string ThetaCurveRatiosText(const std::vector<float>& ratios,
                                 std::string_view decimal_separator = ".");

}  // namespace orvane

#endif  // ORVANE_CORE_THETA_CURVES_H_

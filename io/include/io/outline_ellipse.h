// SPDX-License-Identifier: MIT
// The ellipse of a grain's outline: the second-moment (inertia) ellipse of
// the region the outline bounds. For any shape it transforms exactly as the
// shape does under a homogeneous strain F (its moment tensor becomes
// F S F^T; Mulchrone and Choudhury 2004, Journal of Structural Geology 26),
// so the Rf/phi analysis of these ellipses stays sound for grains of any
// shape. For a region R of area A and centroid (x0, y0), with the central
// moments
//   mu_xx = (1/A) integral over R of (x - x0)^2,  mu_yy alike,
//   mu_xy = (1/A) integral over R of (x - x0)(y - y0),
// and l1 >= l2 the eigenvalues of [[mu_xx, mu_xy], [mu_xy, mu_yy]], the
// ellipse of the same area and moments has the full axes a = 4 sqrt(l1),
// b = 4 sqrt(l2) and its long axis at phi = 1/2 atan2(2 mu_xy, mu_xx -
// mu_yy), counter-clockwise from +x with y upwards.
//
// A polygon's moments come from its vertices (Green's theorem), with
// c_k = x_k y_(k+1) - x_(k+1) y_k:
//   A   = 1/2 sum c_k,
//   x0  = sum (x_k + x_(k+1)) c_k / 6A,  y0 alike,
//   Sxx = sum (x_k^2 + x_k x_(k+1) + x_(k+1)^2) c_k / 12,  Syy alike,
//   Sxy = sum (x_k y_(k+1) + 2 x_k y_k + 2 x_(k+1) y_(k+1) + x_(k+1) y_k)
//         c_k / 24,
//   mu_xx = Sxx / A - x0^2, and so on.
// The sums are taken in long double about the mean of the outer ring's
// vertices, so that map coordinates of 10^6 m and more do not cancel the
// moments. The vertex order (clockwise or not) does not matter. Holes are
// subtracted: the region is the outer ring less its holes, the material of
// the grain. Plain C++ (no Qt).
#ifndef ORVANE_IO_OUTLINE_ELLIPSE_H_
#define ORVANE_IO_OUTLINE_ELLIPSE_H_

#include <string>
#include <vector>

namespace orvane {

struct OutlinePoint {
  double x = 0;
  double y = 0;
  bool operator==(const OutlinePoint&) const = default;
};

// A closed ring of vertices; the last need not repeat the first.
using OutlineRing = std::vector<OutlinePoint>;

// A grain's outline: its outer ring and its holes.
struct GrainOutline {
  OutlineRing outer;
  std::vector<OutlineRing> holes;
};

// The area, centroid and central second moments of a region.
struct RegionMoments {
  double area = 0;
  double cx = 0;
  double cy = 0;
  double mu_xx = 0;
  double mu_yy = 0;
  double mu_xy = 0;
};

// The ellipse of a grain: its centroid and area, the full major and minor
// axes and the orientation of the major axis in degrees counter-clockwise
// from +x, in (-90, 90].
struct GrainEllipse {
  double cx = 0;
  double cy = 0;
  double area = 0;
  double major = 0;
  double minor = 0;
  double angle = 0;
};

// Why an outline gives no ellipse (empty: it gives one).
enum class OutlineFault {
  kNone,
  kTooFewVertices,    // fewer than 3 distinct vertices
  kZeroArea,          // the region has no area (all on a line)
  kSelfIntersecting,  // a ring crosses itself or another ring
  kNotFinite,         // a coordinate is no finite number
};

// The words for a fault: "fewer than 3 distinct vertices", "no area",
// "self-intersecting", "a coordinate is not a number".
std::string OutlineFaultText(OutlineFault fault);

// The outline's fault, kNone when it bounds a region this program measures;
// then its moments into `moments` where one is given, so that they need
// not be summed again.
OutlineFault CheckOutline(const GrainOutline& outline,
                          RegionMoments* moments = nullptr);

// The region's moments. The outline must have passed CheckOutline.
RegionMoments MomentsOf(const GrainOutline& outline);

// The ellipse of the moments.
GrainEllipse EllipseOfMoments(const RegionMoments& moments);

}  // namespace orvane

#endif  // ORVANE_IO_OUTLINE_ELLIPSE_H_

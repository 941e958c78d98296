// SPDX-License-Identifier: MIT
// The strain ellipsoid from several sections of one sample: each section's
// strain ellipse (the hyperbolic vector mean of its markers), its plane and
// the direction its angles are measured from give a 2 x 2 shape tensor in
// the plane; the symmetric 3 x 3 tensor whose sections fit them best by
// linear least squares (Robin 2002, J. Struct. Geol. 24; Launeau & Robin
// 2005, J. Struct. Geol. 27; Shan 2008, J. Struct. Geol. 30) gives the
// principal stretches X >= Y >= Z, their axes, and the ellipsoid's shape.
// Confidence limits come from refitting the ellipsoid to every resample of
// the sections' bootstraps.
//
// Frame of the sample: x east, y north, z up. Computed in double precision:
// the sections' strains are single-precision results of the 2D analysis.
#ifndef ORVANE_CORE_ELLIPSOID_H_
#define ORVANE_CORE_ELLIPSOID_H_

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"
#include "core/status.h"

namespace orvane {

using Vector3 = std::array<double, 3>;
using Matrix3 = std::array<Vector3, 3>;  // [row][column]

// A section's plane and the line its angles are measured from: `normal`
// points at the viewer, `reference` (in the plane) is phi = 0, and phi runs
// counter-clockwise as that viewer sees it, so that (reference,
// normal x reference, normal) is a right-handed frame. Both unit vectors.
struct SectionPlane {
  Vector3 normal{0, 0, 1};
  Vector3 reference{1, 0, 0};
  // normal x reference: phi = 90 degrees.
  Vector3 Across() const;
};

// A section's orientation in either form a study file gives it.
struct SectionOrientation {
  // The vector form: as given (need not be unit vectors).
  bool geological = false;
  Vector3 normal{0, 0, 1};
  Vector3 reference{1, 0, 0};
  // The geological form (right-hand rule): the strike's azimuth (degrees
  // clockwise from north), the dip (0 to 90, to the right of the strike)
  // and the reference line's rake, degrees in the plane from the strike
  // towards the down-dip direction. The plane is seen from its upper side,
  // so that the normal is the upward pole, tilted towards the dip
  // direction (a vertical plane is seen from the side its dip direction
  // points to: strike 0, dip 90 from the east).
  double strike = 0;
  double dip = 0;
  double reference_rake = 0;
};

// The plane of either form, as unit vectors. Refused: a vector that is not
// finite or is zero, a reference more than 0.5 degrees off the plane (it
// is projected into the plane when closer), a dip outside 0 to 90, an
// angle that is not finite. The message says what is wrong, without the
// section's name (the caller adds it).
Status PlaneOf(const SectionOrientation& orientation, SectionPlane& plane);

// A grain's ellipsoid as a micro-CT segmentation gives it: its three radii
// (semi-axes) and the directions of them in the sample's frame. The axes
// need not be unit vectors, nor point either way; they are perpendicular to
// within a degree.
struct GrainEllipsoid {
  std::array<double, 3> radii{};
  std::array<Vector3, 3> axes{};
};

// The ellipse in which `plane` cuts `grain` through its centre, as the
// markers of a section give it: the full major and minor axes (twice the
// semi-axes) and the orientation of the major axis, degrees in (-90, 90]
// from the plane's reference, counter-clockwise. The grain is the
// ellipsoid x^T A x = 1, A = sum_i a_i a_i^T / r_i^2 over its unit axes a_i
// and radii r_i; the section's form in the plane's basis P = (reference,
// Across()) is S = P^T A P, whose eigenvalues are the inverse squares of
// the ellipse's semi-axes. Refused (kInvalidSettings), with a message that
// says what is wrong: a radius that is not a finite positive number, an
// axis that is not finite or is zero, two axes more than 1 degree off
// perpendicular, a plane that is not two perpendicular unit vectors, and a
// section too elongated for extended precision to tell its major axis.
Status CutGrain(const GrainEllipsoid& grain, const SectionPlane& plane,
                double& major, double& minor, double& phi);

// One section's strain ellipse: its axial ratio (>= 1) and the orientation
// of its long axis, degrees from the plane's reference, counter-clockwise.
struct SectionShape {
  SectionPlane plane;
  double ratio = 1;
  double phi = 0;
};

// An axis of the ellipsoid: a unit vector pointing down (or level), its
// trend (degrees clockwise from north, 0 to 360) and plunge (0 to 90).
struct EllipsoidAxis {
  Vector3 vector{};
  double trend = 0;
  double plunge = 0;
};

// The best-fit ellipsoid.
struct Ellipsoid {
  // The principal stretches X >= Y >= Z with XYZ = 1.
  double x = 1, y = 1, z = 1;
  // The axes of X, Y and Z.
  std::array<EllipsoidAxis, 3> axes{};
  // Flinn's k = (X/Y - 1) / (Y/Z - 1); infinite where Y = Z.
  double k = 0;
  // Lode's nu = (2 ln Y - ln X - ln Z) / (ln X - ln Z); absent where
  // X = Z (no strain).
  std::optional<double> nu;
  // The octahedral shear strain (1/sqrt 3) sqrt((ln X - ln Y)^2 +
  // (ln Y - ln Z)^2 + (ln Z - ln X)^2).
  double eps_s = 0;
  // sqrt(sum |P^T A P - lambda S|^2 / sum |lambda S|^2) over the sections
  // (Frobenius norms): 0 when the sections are cut from one ellipsoid.
  double incompatibility = 0;
  // The fitted quadratic form A (x^T A x = 1 on the ellipsoid, up to
  // scale), trace 3, and each section's scale lambda.
  Matrix3 tensor{};
  std::vector<double> scales;
};

// Fits the ellipsoid to the sections. Refused (status not ok) for fewer
// than three sections, for planes that do not span three dimensions (all
// contain one line within about half a degree; the message gives its trend
// and plunge) and for sections no ellipsoid fits (the fitted form is not
// positive definite, or a section's scale lambda is not positive), all
// with the code kInvalidSettings. Where one section is at fault (its plane
// not two perpendicular unit vectors, its R not a positive number) the
// status' datum names it, from 1.
Status FitEllipsoid(std::span<const SectionShape> sections, Ellipsoid& fit);

// The section's shape from the 2D analysis' optimal strain; from its
// bootstrap solutions (one per resample, in draw order; empty where the
// bootstrap did not run).
SectionShape ShapeOfStrain(const SectionPlane& plane,
                           const AnalysisState& state);
std::vector<SectionShape> ShapesOfResamples(const SectionPlane& plane,
                                            const AnalysisState& state);

// The seed of the bootstrap of section `index` (from 0) of a study drawn
// with `seed`: the generator's state 2^28 x index draws on from `seed`, so
// that each section draws from its own stretch of the generator's stream.
std::uint32_t SectionSeed(std::uint32_t seed, int index);

// A confidence interval.
struct Interval {
  double low = 0;
  double high = 0;  // may be infinite (k)
};

// The ellipsoid of a study with its confidence limits.
struct EllipsoidResult {
  Status status;  // not ok: nothing was fitted
  Ellipsoid estimate;
  // The resamples' ellipsoids, in order (those that could be fitted).
  std::vector<Ellipsoid> cloud;
  std::int32_t resamples = 0;  // resamples drawn per section
  std::int32_t failed = 0;     // resamples no ellipsoid fitted
  bool has_limits = false;
  // The central 95 % of the fitted resamples' values (the kept count of
  // the 2D bootstrap's rule, as many left out below as above, one more
  // above when their count is odd). nu over the resamples that have one
  // (both ends NaN when none has).
  Interval xy, yz, k, nu, eps_s;
  // The semi-angle, degrees, of the cone about each axis of the estimate
  // that holds 95 % of the resamples' axes.
  std::array<double, 3> cones{};
  std::vector<std::string> warnings;
};

// The estimate from `sections`, and its limits from `resamples`
// ([resample][section], every resample holding every section; empty: no
// limits, with a warning where `why_no_limits` is given). A resample no
// ellipsoid fits is left out and counted in `failed`, with a warning; when
// more fail than the 5 % the limits leave out (10 of 200), or fewer than
// 20 are fitted, there are no limits. Large counts of resamples are fitted
// on several threads; the results do not depend on how many.
EllipsoidResult AnalyseEllipsoid(
    std::span<const SectionShape> sections,
    const std::vector<std::vector<SectionShape>>& resamples,
    const std::string& why_no_limits = {});

// The report's block: "*** Strain Ellipsoid ***", the stretches, axial
// ratios, axes, k, nu, eps_s, the incompatibility and the limits, numbers
// with the decimal separator `sep`; a refused fit gives its message.
std::vector<std::string> EllipsoidReportLines(const EllipsoidResult& result,
                                              std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_CORE_ELLIPSOID_H_

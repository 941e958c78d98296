// SPDX-License-Identifier: MIT
// Sections cut exactly from a known strain ellipsoid, and the study files
// that name them: the data whose ellipsoid every test of a study knows.
#ifndef ORVANE_TESTS_SUPPORT_STUDY_DATA_H_
#define ORVANE_TESTS_SUPPORT_STUDY_DATA_H_

#include <filesystem>
#include <string>
#include <vector>

#include "core/ellipsoid.h"

namespace orvane::testing_support {

// The strain ellipsoid X : Y : Z = 2.0 : 1.25 : 0.4 (XYZ = 1), X trending
// 050 and plunging 30, Y at `y_rake` from the level line of the plane
// normal to X; `Form()` is its quadratic form x^T A x = 1.
struct KnownEllipsoid {
  double x = 2.0, y = 1.25, z = 0.4;
  double x_trend = 50, x_plunge = 30;
  // Y's rake from the horizontal in the plane normal to X, degrees.
  double y_rake = 20;
  Matrix3 Form() const;
  // The unit vectors of X, Y and Z.
  std::array<Vector3, 3> Axes() const;
};

// The ellipse in which `plane` cuts the ellipsoid of `form` through its
// centre: its axial ratio and the angle of its long axis from the plane's
// reference, counter-clockwise as the plane's viewer sees it.
SectionShape CutEllipsoid(const Matrix3& form, const SectionPlane& plane);

// A data file of `copies` markers, each the ellipse of `shape` (major =
// ratio, minor = 1), to nine digits.
std::string SectionFile(const SectionShape& shape, int copies = 20);

// The planes of the tests: three orthogonal ones (east-facing, north-facing
// and level, as vectors) and two oblique ones given by strike and dip, each
// with the orientation text of a study file's section ("\"normal\": [...],
// \"reference\": [...]" or "\"strike\": ..., \"dip\": ...,
// \"reference_rake\": ...").
struct TestPlane {
  SectionOrientation orientation;
  std::string json;
};
std::vector<TestPlane> TestPlanes();

// The plane of an orientation, worked out here from its definition (the
// geological form seen from above: the upward pole, the reference turned
// from the strike towards the dip by its rake), to check the program's.
SectionPlane ExpectedPlane(const SectionOrientation& orientation);

// Writes into `folder` one data file per plane of `planes` (s1.txt, ...)
// cut from `ellipsoid` and the study file "study.json" naming them
// (sections "S1", ...); returns the study file's path.
std::filesystem::path WriteExactStudy(const std::filesystem::path& folder,
                                      const std::vector<TestPlane>& planes,
                                      const KnownEllipsoid& ellipsoid = {});

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_STUDY_DATA_H_

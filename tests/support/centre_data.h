// SPDX-License-Identifier: MIT
// Markers whose centres are known to carry a strain: a hard-core
// (non-overlapping) random set of discs, strained homogeneously, as the
// centre-based methods assume.
#ifndef ORVANE_TESTS_SUPPORT_CENTRE_DATA_H_
#define ORVANE_TESTS_SUPPORT_CENTRE_DATA_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/centre_strain.h"

namespace orvane::testing_support {

// `count` discs of radii from 0.5 to 1.5, placed one by one at random in a
// square where they overlap no disc placed before (random sequential
// addition, to about 45 % of the area), then strained by the area-keeping
// strain of ratio `ratio` whose long axis lies at `phi` degrees: each disc
// becomes an ellipse of axes 2 r sqrt(R) and 2 r / sqrt(R), its centre
// moves with the strain and its area stays pi r^2. The same seed gives the
// same set.
struct StrainedDiscs {
  std::vector<double> x, y, radius;
  double ratio = 1;
  double phi = 0;
};
StrainedDiscs HardCoreDiscs(int count, double ratio, double phi,
                            std::uint32_t seed = 1);

// The discs as the methods read them.
CentreData CentresOf(const StrainedDiscs& discs);

// The discs as a measurement table: "major,minor,angle,X,Y,Area" and a row
// each.
std::string DiscTable(const StrainedDiscs& discs);

// The discs as analysed data: the ellipses, their centres and areas.
AnalysisState DiscState(const StrainedDiscs& discs);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_CENTRE_DATA_H_

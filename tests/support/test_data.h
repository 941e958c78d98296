// SPDX-License-Identifier: MIT
// Analysis states built from (a, b, phi) triples, and the markers that many
// tests share.
#ifndef ORVANE_TESTS_SUPPORT_TEST_DATA_H_
#define ORVANE_TESTS_SUPPORT_TEST_DATA_H_

#include <vector>

#include "core/analysis_state.h"

namespace orvane::testing_support {

struct Ellipse {
  float major, minor, phi;
};

// Six markers: enough for the bootstrap, with a spread of ratios.
extern const std::vector<Ellipse> kSixMarkers;

// A state as the loader leaves it: major, minor, phi and ratio = major / minor.
AnalysisState StateOf(const std::vector<Ellipse>& data);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_TEST_DATA_H_

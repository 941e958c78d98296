// Helpers that build analysis states from (a, b, phi) triples.
#ifndef ORVANE_TEST_DATA_H_
#define ORVANE_TEST_DATA_H_

#include <cmath>
#include <vector>

#include "core/analysis_state.h"

namespace orvane::testing_support {

struct Ellipse {
  float major, minor, phi;
};

// A state as the loader leaves it: major, minor, phi and ratio = major / minor.
inline AnalysisState StateOf(const std::vector<Ellipse>& data) {
  AnalysisState s;
  s.count = static_cast<std::int32_t>(data.size());
  s.measured.assign(data.size() + 1, MarkerRecord{});
  s.retrodeformed.assign(data.size() + 1, MarkerRecord{});
  for (std::size_t i = 0; i < data.size(); ++i) {
    MarkerRecord& d = s.measured[i + 1];
    d.major = data[i].major;
    d.minor = data[i].minor;
    d.phi = data[i].phi;
    d.ratio = static_cast<float>(static_cast<long double>(d.major) / d.minor);
  }
  return s;
}

}  // namespace orvane::testing_support

#endif  // ORVANE_TEST_DATA_H_

// SPDX-License-Identifier: MIT
#include "support/test_data.h"

#include <cstdint>

namespace orvane::testing_support {

const std::vector<Ellipse> kSixMarkers = {
    {3, 2, 30}, {4, 2, 45}, {5, 1, 40}, {6, 2, 35}, {2, 1, 38}, {2.5, 1, -60}};

AnalysisState StateOf(const std::vector<Ellipse>& data) {
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

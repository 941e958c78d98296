// Helpers that build analysis states from (a, b, phi) triples.
#ifndef ORVANE_TESTS_TEST_DATA_H_
#define ORVANE_TESTS_TEST_DATA_H_

#include <cmath>
#include <vector>

#include "core/analysis_state.h"

namespace orvane::testing_support {

struct Ellipse {
  float a, b, ph;
};

// A state as the loader leaves it: a, b, ph, and R = a / b.
inline AnalysisState StateOf(const std::vector<Ellipse>& data) {
  AnalysisState s;
  s.Ndat = static_cast<std::int32_t>(data.size());
  s.DatF.assign(data.size() + 1, Tdata{});
  s.DatI.assign(data.size() + 1, Tdata{});
  for (std::size_t i = 0; i < data.size(); ++i) {
    Tdata& d = s.DatF[i + 1];
    d.a = data[i].a;
    d.b = data[i].b;
    d.ph = data[i].ph;
    d.R = static_cast<float>(static_cast<long double>(d.a) / d.b);
  }
  return s;
}

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_TEST_DATA_H_

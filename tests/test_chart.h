// Charts of analysed data for the tests that draw them.
#ifndef ORVANE_TEST_CHART_H_
#define ORVANE_TEST_CHART_H_

#include <vector>

#include "chart/equal_area_chart.h"
#include "core/analysis.h"
#include "test_data.h"

namespace orvane::testing_support {

// Six markers: enough for the bootstrap, with a spread of ratios.
inline const std::vector<Ellipse> kSixMarkers = {
    {3, 2, 30}, {4, 2, 45}, {5, 1, 40}, {6, 2, 35}, {2, 1, 38}, {2.5, 1, -60}};

// The chart as an Open of `data` leaves it; `out` receives the state.
inline EqualAreaChart AnalysedChart(const std::vector<Ellipse>& data,
                                    AnalysisState* out = nullptr) {
  AnalysisState s = StateOf(data);
  const AnalysisResult r = RunAnalysis(s);
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, r);
  if (out) *out = s;
  return chart;
}

}  // namespace orvane::testing_support

#endif  // ORVANE_TEST_CHART_H_

// SPDX-License-Identifier: MIT
// Charts of analysed data for the tests that draw them.
#ifndef ORVANE_TESTS_SUPPORT_ANALYSED_CHART_H_
#define ORVANE_TESTS_SUPPORT_ANALYSED_CHART_H_

#include <vector>

#include "chart/equal_area_chart.h"
#include "core/analysis_state.h"
#include "support/test_data.h"

namespace orvane::testing_support {

// The chart as an Open of `data` leaves it; `out` receives the state.
EqualAreaChart AnalysedChart(const std::vector<Ellipse>& data,
                             AnalysisState* out = nullptr);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_ANALYSED_CHART_H_

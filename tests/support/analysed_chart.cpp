// SPDX-License-Identifier: MIT
#include "support/analysed_chart.h"

#include "core/analysis.h"

namespace orvane::testing_support {

EqualAreaChart AnalysedChart(const std::vector<Ellipse>& data,
                             AnalysisState* out) {
  AnalysisState s = StateOf(data);
  const AnalysisResult r = RunAnalysis(s);
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, r);
  if (out) *out = s;
  return chart;
}

}  // namespace orvane::testing_support

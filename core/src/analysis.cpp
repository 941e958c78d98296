#include "core/analysis.h"

#include <algorithm>

#include "core/bootstrap.h"
#include "core/strain.h"

namespace orvane {

AnalysisResult RunAnalysis(AnalysisState& state, Report& report,
                           std::string_view sep) {
  state.outcome = ConfidenceOutcome::kNotRun;
  state.kept.clear();
  state.bootstrap_cloud.clear();
  state.limits_summary.clear();
  if (state.count <= 0) return AnalysisResult::kNoData;

  // A rerun on the data held (the open dialog cancelled) finds retrodeformed
  // still filled by the previous run; clearing it makes the radial maximum
  // below depend on the measured data alone, exactly as after a fresh load.
  std::fill(state.retrodeformed.begin(), state.retrodeformed.end(),
            MarkerRecord{});

  DeriveMeasured(state);
  state.radial_maximum = static_cast<double>(
      static_cast<long double>(ZetaOfR(MaxAxialRatio(state))) + 0.5L);
  SetMeasuredVectors(state);
  ComputeOptimalStrain(state, report, sep);
  BuildStrainMatrices(state);
  Retrodeform(state);
  state.largest_ratio = MaxAxialRatio(state);

  if (state.count < 5) return AnalysisResult::kFewerThanFive;
  RunBootstrap(state);
  ReportConfidenceLimits(state, report, sep);
  return AnalysisResult::kBootstrapped;
}

}  // namespace orvane

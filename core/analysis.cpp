#include "core/analysis.h"

#include <algorithm>

#include "core/bootstrap.h"
#include "core/strain.h"

namespace orvane {

AnalysisResult RunAnalysis(AnalysisState& state, Report& report,
                           std::string_view sep) {
  state.Outcome = ConfidenceOutcome::kNotRun;
  state.Kept.clear();
  state.BootstrapCloud.clear();
  state.LimitsStatus.clear();
  if (state.Ndat <= 0) return AnalysisResult::kNoData;

  // A rerun on the data held (the open dialog cancelled) finds DatI still
  // filled by the previous run; clearing it makes the radial maximum below
  // depend on the measured data alone, exactly as after a fresh load.
  std::fill(state.DatI.begin(), state.DatI.end(), Tdata{});

  DeriveMeasured(state);
  state.RadialMaximum = static_cast<double>(
      static_cast<long double>(ZetaOfR(MaxAxialRatio(state))) + 0.5L);
  SetMeasuredVectors(state);
  ComputeOptimalStrain(state, report, sep);
  BuildStrainMatrices(state);
  Retrodeform(state);
  state.IsoRmax = MaxAxialRatio(state);

  if (state.Ndat < 5) return AnalysisResult::kFewerThanFive;
  RunBootstrap(state);
  ReportConfidenceLimits(state, report, sep);
  return AnalysisResult::kBootstrapped;
}

}  // namespace orvane

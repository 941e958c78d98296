// The analysis stages of an Open, from the measured data to the confidence
// limits, as one call that the window and the command-line tool share.
#ifndef ORVANE_CORE_ANALYSIS_H_
#define ORVANE_CORE_ANALYSIS_H_

#include <string_view>

#include "core/analysis_state.h"
#include "core/report.h"

namespace orvane {

enum class AnalysisResult {
  kNoData,         // no data: nothing was computed
  kFewerThanFive,  // strain computed; no bootstrap ("Number of data < 5")
  kBootstrapped,   // strain and bootstrap computed; see state.outcome
};

// Runs, on measured[1..count] with ratio and phi set: the derivation of rho,
// psi and zeta, the chart's radial maximum, the hyperbolic vectors, the optimal
// strain and its report block, the strain matrices, the retrodeformed
// markers, the largest R of both datasets and, with five or more
// data, the bootstrap and the confidence block. The bootstrap results of an
// earlier run are cleared first, so nothing shown afterwards belongs to other
// data. With count = 0 nothing runs. `sep` is the decimal separator of the
// report.
AnalysisResult RunAnalysis(AnalysisState& state, Report& report,
                           std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_H_

// The analysis stages of an Open, from the measured data to the confidence
// limits, as one call that the window and the command-line tool share.
#ifndef ORVANE_CORE_ANALYSIS_H_
#define ORVANE_CORE_ANALYSIS_H_

#include <atomic>
#include <string_view>

#include "core/analysis_state.h"
#include "core/report.h"

namespace orvane {

enum class AnalysisResult {
  kNoData,         // no data: nothing was computed
  kFewerThanFive,  // strain computed; no bootstrap ("Number of data < 5")
  kBootstrapped,   // strain and bootstrap computed; see state.outcome
  kCancelled,      // stopped on request; the results are incomplete
};

// Set from another thread to stop a running analysis.
using CancelFlag = std::atomic<bool>;

// Runs, on measured[1..count] with ratio and phi set: the derivation of rho,
// psi and zeta, the chart's radial maximum, the hyperbolic vectors, the optimal
// strain and its report block, the strain matrices, the retrodeformed
// markers, the largest R of both datasets and, with five or more
// data, the bootstrap and the confidence block. The bootstrap results of an
// earlier run are cleared first, so nothing shown afterwards belongs to other
// data. With count = 0 nothing runs. `sep` is the decimal separator of the
// report.
//
// The analysis writes only the derived fields of the markers (rho, psi,
// zeta, vector and the retrodeformed records), never the values read from
// the file, so they can be shown meanwhile; a second run on the same data
// writes the same values again. When `cancel` is set during the run, it
// stops between its stages (and between resamples) and answers kCancelled.
// Allocation failures are thrown as std::bad_alloc.
AnalysisResult RunAnalysis(AnalysisState& state, Report& report,
                           std::string_view sep,
                           const CancelFlag* cancel = nullptr);

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_H_

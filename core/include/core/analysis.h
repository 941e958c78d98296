// SPDX-License-Identifier: MIT
// The analysis stages of an Open, from the measured data to the confidence
// limits, as one call that the window and the command-line tool share.
#ifndef ORVANE_CORE_ANALYSIS_H_
#define ORVANE_CORE_ANALYSIS_H_

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"

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
// psi and zeta, the hyperbolic vectors, the optimal strain, the strain
// matrices, the retrodeformed markers, the largest R of both datasets and,
// with five or more data, the bootstrap and the confidence limits. The
// bootstrap results of an earlier run are cleared first, so nothing shown
// afterwards belongs to other data. With count = 0 nothing runs. The report
// of the results is written by WriteAnalysisReport (core/analysis_report.h).
//
// The analysis writes only the derived fields of the markers (rho, psi,
// zeta, vector and the retrodeformed records), never the values read from
// the file, so they can be shown meanwhile; a second run on the same data
// writes the same values again. When `cancel` is set during the run, it
// stops between its stages (and between resamples) and answers kCancelled.
// Allocation failures are thrown as std::bad_alloc.
AnalysisResult RunAnalysis(AnalysisState& state,
                           const CancelFlag* cancel = nullptr);

// Above this largest axial ratio the single-precision storage of the
// analysis costs R_s visible accuracy: its error grows from about 0.01 % at
// R = 100 to 0.2 % at 200, 2 % at 700 and 2.5 % at 1000 (bench/accuracy.py
// measures it against a double-precision mean of the same data).
inline constexpr float kAccurateRatioLimit = 100.0f;

// The warnings of an analysis, for the user to read beside its figures:
// those of the reading of its data, those of the bootstrap, and, when the
// largest axial ratio of the measured or retrodeformed markers exceeds
// kAccurateRatioLimit, how far R_s may be off. Numbers use
// the decimal separator `sep`.
std::vector<std::string> AnalysisWarnings(const AnalysisState& state,
                                          std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_H_

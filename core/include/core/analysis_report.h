// SPDX-License-Identifier: MIT
// The texts of an analysis' results: the report's blocks of the optimal
// strain and of the confidence limits, and the one-line summary of the
// limits that the status bar shows. All are formed here from the figures of
// the analysis state, in the decimal separator given (the locale's), so
// that every front end writes the same text.
#ifndef ORVANE_CORE_ANALYSIS_REPORT_H_
#define ORVANE_CORE_ANALYSIS_REPORT_H_

#include <string>
#include <string_view>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/report.h"

namespace orvane {

// Appends the blocks of an analysis that answered `result` to the report
// (after its data block):
// - unless the result is kNoData or kCancelled, the optimal-strain block
//   (numbers in fixed(6, 3));
// - with kBootstrapped, the confidence stage's text by state.outcome:
//   "Null strain.", "Confidence region surrounds the origin." or the block
//   of the 95 % limits (numbers in fixed(5, 3)). Bootstrap settings other
//   than the defaults are named in a line "  (500 resamples, seed 7)" after
//   the block's title, or after the line that the region surrounds the
//   origin.
// Numbers use the decimal separator `sep`.
void WriteAnalysisReport(const AnalysisState& state, AnalysisResult result,
                         Report& report, std::string_view sep);

// Both limits on one line: line A, two blanks and line B of the confidence
// block, then, after two blanks, "(500 resamples, seed 7)" when the
// bootstrap settings are not the defaults. Empty unless the outcome is
// kLimits. Numbers use the decimal separator `sep`.
std::string LimitsSummary(const AnalysisState& state, std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_REPORT_H_

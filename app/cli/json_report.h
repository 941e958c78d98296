// The machine-readable result of one analysed file: one JSON object on one
// line (JSON Lines). Every single-precision value is written as the shortest
// decimal that reads back to the same single.
#ifndef ORVANE_CLI_JSON_REPORT_H_
#define ORVANE_CLI_JSON_REPORT_H_

#include <string>
#include <string_view>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/report.h"

namespace orvane::cli {

// {"file", "ndat", "data", "pre", "strain", "Q_I2F", "Q_F2I", "bootstrap",
// "report", "status"} of an analysed file; "bootstrap" is null when the
// bootstrap did not run.
// "status" holds the window's status bar texts: "N : " and the count, and
// the limits on one line (empty when none were written).
std::string JsonResult(std::string_view file, const AnalysisState& state,
                       AnalysisResult result, const Report& report);

// {"file", "error"} of a refused file.
std::string JsonError(std::string_view file, std::string_view message);

// Appends `text` as a JSON string: control characters and quotes escaped,
// bytes that are not UTF-8 taken as Latin-1.
void AppendJsonString(std::string& out, std::string_view text);

// Appends the shortest decimal that reads back to `v`; null if not finite.
void AppendJsonFloat(std::string& out, float v);

}  // namespace orvane::cli

#endif  // ORVANE_CLI_JSON_REPORT_H_

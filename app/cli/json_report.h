// SPDX-License-Identifier: MIT
// The machine-readable result of one analysed file: one JSON object on one
// line (JSON Lines), written as it is produced: however many data, the text
// takes no more memory than the output's buffer and two batches of a few
// thousand records, formatted on two threads. Every single-precision value
// is written as the shortest decimal that reads back to the same single.
#ifndef ORVANE_CLI_JSON_REPORT_H_
#define ORVANE_CLI_JSON_REPORT_H_

#include <string>
#include <string_view>
#include <vector>

#include "cli/buffered_output.h"
#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "core/methods.h"
#include "core/report.h"

namespace orvane::cli {

// {"file", "ndat", "data", "pre", "strain", "Q_I2F", "Q_F2I", "bootstrap",
// "report", "status"} of an analysed file; "bootstrap" is null when the
// bootstrap did not run, else {"solutions" (one per resample), "outcome",
// "kept"}, followed by "resamples" and "seed" when those are not the
// defaults (200 and 1).
// "status" holds the window's status bar texts: "N : " and the count, and
// the limits on one line (LimitsSummary, with the decimal separator `sep`
// as the report has; empty when none were written). A "warnings" array
// follows only when there are warnings, so results without any keep their
// form. With `methods` a "methods" object (cli/methods_json.h) follows,
// and with `centres` a "centre_strain" object ends it.
// No line break.
void WriteJsonResult(BufferedOutput& out, std::string_view file,
                     const AnalysisState& state, AnalysisResult result,
                     const Report& report, std::string_view sep,
                     const std::vector<std::string>& warnings = {},
                     const MethodsSummary* methods = nullptr,
                     const CentreStrainResult* centres = nullptr);

// {"file", "error"} of a refused file. No line break.
void WriteJsonError(BufferedOutput& out, std::string_view file,
                    std::string_view message);

// Writes `text` as a JSON string: control characters and quotes escaped;
// a text that is not well-formed UTF-8 (a file name) has each stray byte
// written as \xHH first (EscapeInvalidUtf8), so "bad\xff" reads back as
// the text bad\xff. Well-formed text is written as it is.
void WriteJsonString(BufferedOutput& out, std::string_view text);

// Writes "key": after a comma, or without one for the `first` member of
// an object.
void WriteJsonKey(BufferedOutput& out, const char* key, bool first = false);

// Writes ,"warnings":[...] of `warnings` after an object's earlier
// members; nothing when there are none, so results without any keep their
// form.
void WriteJsonWarnings(BufferedOutput& out,
                       const std::vector<std::string>& warnings);

// Writes the shortest decimal that reads back to `v`; null if not finite.
void WriteJsonFloat(BufferedOutput& out, float v);

}  // namespace orvane::cli

#endif  // ORVANE_CLI_JSON_REPORT_H_

// SPDX-License-Identifier: MIT
// The output of orvane-cli --study: each section's report then the
// ellipsoid's block, or one JSON object per study holding the sections'
// objects and the ellipsoid.
#ifndef ORVANE_APP_CLI_STUDY_OUTPUT_H_
#define ORVANE_APP_CLI_STUDY_OUTPUT_H_

#include <string>
#include <string_view>
#include <vector>

#include "cli/buffered_output.h"
#include "core/ellipsoid.h"
#include "io/study.h"

namespace orvane::cli {

// The report of a study: for each section a heading ("##### Section 1 of
// 3: XZ") and the report an Open of its source writes (or its refusal),
// then the ellipsoid's block. Numbers use the decimal separator `sep`.
std::vector<std::string> StudyReportLines(const StudyResult& result,
                                          std::string_view sep);

// {"study", "name", "sections": [{"name", "normal", "reference",
// "result"}], "ellipsoid"} of an analysed study, "result" being the object
// --json writes for a file (or {"file", "error"} for a refused section).
// No line break.
void WriteJsonStudy(BufferedOutput& out, std::string_view file,
                    const Study& study, const StudyResult& result,
                    std::string_view sep);

// {"X", "Y", "Z", "axes": [{"vector", "trend", "plunge"} x 3], "k", "nu",
// "eps_s", "incompatibility", "sections", "resamples", "failed",
// "limits"}, "limits" being null without limits, else {"X/Y", "Y/Z", "k",
// "nu", "eps_s"} as [low, high] and "cones" (the axes' semi-angles, in
// degrees); "warnings" where there are any, and {"error"} alone for a
// refused fit. An infinite k (Y = Z) and an undefined nu are null.
void WriteJsonEllipsoid(BufferedOutput& out, const EllipsoidResult& result);

}  // namespace orvane::cli

#endif  // ORVANE_APP_CLI_STUDY_OUTPUT_H_

// SPDX-License-Identifier: MIT
// The checks both loaders' fuzz targets make of what a load gives: a
// refusal with a message and no data, or data that meet the loader's
// checks and whose analysis reports no NaN or infinity.
#ifndef ORVANE_FUZZ_FUZZ_CHECKS_H_
#define ORVANE_FUZZ_FUZZ_CHECKS_H_

#include <errno.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/analysis_state.h"
#include "core/report.h"
#include "core/status.h"
#include "io/data_file.h"
#include "io/open_pipeline.h"

namespace orvane::fuzz {

// Names the finding and stops the run, so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, what,
               detail.c_str());
  std::abort();
}

inline bool ShowsNonFinite(const std::string& line) {
  std::string lower(line);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower.find("nan") != std::string::npos ||
         lower.find("inf") != std::string::npos;
}

// A refusal says why and leaves no data.
inline void CheckRefusal(const Status& status, const LoadedData& data) {
  if (status.message().empty() || !data.measured.empty()) {
    Fail("refusal", status.message());
  }
}

// Accepted data hold `count` records (at least `least`) that meet the
// loader's checks.
inline void CheckAccepted(const LoadedData& data, std::int32_t least) {
  if (data.count < least ||
      data.measured.size() != static_cast<std::size_t>(data.count) + 1) {
    Fail("accepted data", "count and records disagree");
  }
  for (std::size_t i = 1; i < data.measured.size(); ++i) {
    const MarkerRecord& d = data.measured[i];
    if (!(d.minor > 0) || !(d.major >= d.minor) || !(d.ratio >= 1) ||
        !(d.ratio <= kMaxAxialRatio) || !(d.phi >= -360) || !(d.phi <= 360)) {
      Fail("accepted datum", std::to_string(i));
    }
  }
}

// Analyses accepted data as an Open does; the report must show no NaN or
// infinity.
inline void CheckAnalysis(LoadedData data) {
  AnalysisState state;
  CommitLoadedData(state, std::move(data));
  Report report;
  WriteAnalysisReport(state, RunAnalysis(state), report, ".");
  for (const std::string& line : report.Lines()) {
    if (ShowsNonFinite(line)) Fail("report line", line);
  }
}

}  // namespace orvane::fuzz

#endif  // ORVANE_FUZZ_FUZZ_CHECKS_H_

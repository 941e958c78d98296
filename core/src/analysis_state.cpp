// SPDX-License-Identifier: MIT
#include "core/analysis_state.h"

namespace orvane {

AnalysisState::AnalysisState()
    : measured(2),
      retrodeformed(2),
      solutions(static_cast<std::size_t>(kBootstrapResamples) + 1) {}

const char* ConfidenceOutcomeName(ConfidenceOutcome outcome) {
  switch (outcome) {
    case ConfidenceOutcome::kLimits:
      return "limits";
    case ConfidenceOutcome::kNullStrain:
      return "null strain";
    case ConfidenceOutcome::kSurroundsOrigin:
      return "surrounds origin";
    case ConfidenceOutcome::kNotRun:
      break;
  }
  return "not run";
}

}  // namespace orvane

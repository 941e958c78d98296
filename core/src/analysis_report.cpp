// SPDX-License-Identifier: MIT
#include "core/analysis_report.h"

#include "core/bootstrap_settings.h"
#include "core/hyperbolic.h"
#include "core/number_format.h"

namespace orvane {
namespace {

using LD = long double;

// "  (500 resamples, seed 7)": settings other than the defaults are named
// beside the figures, so that nobody takes them for those of the published
// method.
std::string SettingsNote(const AnalysisState& state) {
  return "  (" + BootstrapSettingsText(state.bootstrap) + ")";
}

// Line A of the confidence block: R_s and its distances to the limits.
std::string RatioLimitsLine(const AnalysisState& state, std::string_view sep) {
  const LD r_s = state.strain.ratio;
  const ConfidenceLimits& l = state.limits;
  return "  R_s = " + FormatLimit(r_s, sep) + " +" +
         FormatLimit(l.ratio_max - r_s, sep) + "/-" +
         FormatLimit(r_s - l.ratio_min, sep);
}

// Line B: phi_s and the deviations of the limits from it.
std::string PhiLimitsLine(const AnalysisState& state, std::string_view sep) {
  const ConfidenceLimits& l = state.limits;
  return "  phi_s = " + FormatLimit(state.strain.phi, sep) + " +" +
         FormatLimit(l.phi_deviation_max, sep) + "/" +
         FormatLimit(l.phi_deviation_min, sep);
}

void WriteStrainBlock(const MarkerRecord& s, Report& report,
                      std::string_view sep) {
  report.Append("");
  report.Append("*** Optimal Strain ***");
  report.Append("  R_s    = " + FormatStrain(s.ratio, sep));
  report.Append("  phi_s  = " + FormatStrain(s.phi, sep));
  report.Append("  rho_s  = " + FormatStrain(s.rho, sep));
  report.Append("  zeta_s = " + FormatStrain(s.zeta, sep));
  // psi in degrees straight from psi, kept extended (not the rounded phi x 2).
  report.Append("  psi_s  = " +
                FormatStrain(static_cast<LD>(s.psi) * kDegPerRad, sep));
}

void WriteConfidenceBlock(const AnalysisState& state, Report& report,
                          std::string_view sep) {
  const bool note = !state.bootstrap.IsDefault();
  switch (state.outcome) {
    case ConfidenceOutcome::kNullStrain:
      report.Append("Null strain.");
      return;
    case ConfidenceOutcome::kSurroundsOrigin:
      report.Append("Confidence region surrounds the origin.");
      if (note) report.Append(SettingsNote(state));
      return;
    case ConfidenceOutcome::kLimits:
      break;
    case ConfidenceOutcome::kNotRun:
      return;
  }
  const ConfidenceLimits& l = state.limits;
  report.Append("");
  report.Append("** 95% Confidence Limits **");
  if (note) report.Append(SettingsNote(state));
  report.Append(RatioLimitsLine(state, sep));
  report.Append("      min = " + FormatLimit(l.ratio_min, sep));
  report.Append("      max = " + FormatLimit(l.ratio_max, sep));
  report.Append(PhiLimitsLine(state, sep));
  report.Append("      min = " + FormatLimit(l.phi_min, sep));
  report.Append("      max = " + FormatLimit(l.phi_max, sep));
}

}  // namespace

void WriteAnalysisReport(const AnalysisState& state, AnalysisResult result,
                         Report& report, std::string_view sep) {
  if (result == AnalysisResult::kNoData ||
      result == AnalysisResult::kCancelled) {
    return;
  }
  WriteStrainBlock(state.strain, report, sep);
  if (result == AnalysisResult::kBootstrapped) {
    WriteConfidenceBlock(state, report, sep);
  }
}

std::string LimitsSummary(const AnalysisState& state, std::string_view sep) {
  if (state.outcome != ConfidenceOutcome::kLimits) return "";
  std::string summary =
      RatioLimitsLine(state, sep) + "  " + PhiLimitsLine(state, sep);
  if (!state.bootstrap.IsDefault()) summary += SettingsNote(state);
  return summary;
}

}  // namespace orvane

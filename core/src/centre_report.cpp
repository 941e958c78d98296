// SPDX-License-Identifier: MIT
// The centre-based strain in the report, the table of estimators and the
// comparison with the hyperbolic vector mean.
#include "core/centre_report.h"

#include <cmath>

#include "core/number_format.h"

namespace orvane {
namespace {

constexpr const char* kFryTip =
    "Fry plot: for every pair of neighbouring centres the vector from one to "
    "the other and its opposite, from a common origin; the central vacancy "
    "is the strain ellipse, fitted objectively by the innermost point of "
    "each of 36 wedges and least squares, the wedges realigned to the fit "
    "until it settles. Fry (1979), Tectonophysics 60; Waldron & Wallace "
    "(2007), Journal of Structural Geology 29.";
constexpr const char* kNormalisedTip =
    "Normalised Fry: each centre-to-centre vector divided by the sum of the "
    "two markers' radii (r = sqrt(A / pi)), so that the vacancy's edge "
    "sharpens; the vacancy fitted objectively as for the Fry plot. Erslev "
    "(1988), Journal of Structural Geology 10; Waldron & Wallace (2007), "
    "Journal of Structural Geology 29.";
constexpr const char* kEnhancedTip =
    "Enhanced normalised Fry: only the pairs whose normalised distance lies "
    "within the selection factor, which removes the distant pairs that blur "
    "the vacancy. Erslev & Ge (1990), Journal of Structural Geology 12.";
constexpr const char* kDelaunayTip =
    "Delaunay nearest neighbours: the neighbours are the edges of the "
    "centres' Delaunay triangulation, their normalised lengths fitted by "
    "least squares to the polar equation of a centred ellipse, "
    "r(alpha) = ab / sqrt(b^2 cos^2(alpha - phi) + a^2 sin^2(alpha - phi)), "
    "at the selection factor whose fit has the least error. Mulchrone "
    "(2003), Journal of Structural Geology 25.";

const char* TipOf(CentreMethod method) {
  switch (method) {
    case CentreMethod::kFry:
      return kFryTip;
    case CentreMethod::kNormalised:
      return kNormalisedTip;
    case CentreMethod::kEnhanced:
      return kEnhancedTip;
    case CentreMethod::kDelaunay:
      return kDelaunayTip;
  }
  return kFryTip;
}

// The deviation of phi from phi0 on the circle of 180 degrees, in
// (-90, 90].
double AxialDeviation(double phi, double phi0) {
  double d = std::fmod(phi - phi0, 180.0);
  if (d <= -90) d += 180;
  if (d > 90) d -= 180;
  return d;
}

}  // namespace

const char* CentreOutcomeName(const CentreStrainResult& r) {
  if (!r.status.ok()) return "refused";
  switch (r.outcome) {
    case CentreLimitsOutcome::kNotRun:
      return "not run";
    case CentreLimitsOutcome::kSurroundsOrigin:
      return "surrounds origin";
    case CentreLimitsOutcome::kLimits:
      return "limits";
  }
  return "not run";
}

std::vector<std::string> CentreReportLines(const CentreStrainResult& r,
                                           std::string_view sep) {
  auto f = [sep](long double v) { return FormatStrain(v, sep); };
  auto l = [sep](long double v) { return FormatLimit(v, sep); };
  std::vector<std::string> lines;
  lines.emplace_back();
  lines.emplace_back("*** Centre-Based Strain ***");
  lines.push_back(std::string("  Method = ") + CentreMethodTitle(r.method));
  if (!r.status.ok()) {
    lines.push_back("  No estimate: " + r.status.message());
    return lines;
  }
  lines.push_back("  R      = " + f(r.estimate.ratio));
  lines.push_back("  phi    = " + f(r.estimate.phi));
  lines.push_back(std::string(r.method == CentreMethod::kDelaunay
                                  ? "  Edges  = "
                                  : "  Pairs  = ") +
                  std::to_string(r.pairs));
  if (r.selection_factor > 0) {
    lines.push_back("  Selection factor = " + f(r.selection_factor));
  }
  lines.emplace_back();
  lines.push_back("** 95% Confidence Limits (" +
                  std::to_string(r.bootstrap.resamples) +
                  " resamples of the markers, seed " +
                  std::to_string(r.bootstrap.seed) + ") **");
  switch (r.outcome) {
    case CentreLimitsOutcome::kNotRun:
      lines.emplace_back("  Not computed.");
      break;
    case CentreLimitsOutcome::kSurroundsOrigin:
      lines.push_back("  R: min = " + l(r.ratio_min) +
                      ", max = " + l(r.ratio_max));
      lines.emplace_back(
          "  phi: no limits (the solutions surround R = 1, the unstrained "
          "state)");
      break;
    case CentreLimitsOutcome::kLimits:
      lines.push_back("  R: min = " + l(r.ratio_min) +
                      ", max = " + l(r.ratio_max));
      lines.push_back("  phi: min = " + l(r.phi_min) +
                      ", max = " + l(r.phi_max));
      break;
  }
  for (const std::string& w : r.warnings) lines.push_back("  Warning: " + w);
  return lines;
}

MethodsRow CentreMethodsRow(const CentreStrainResult& r, std::string_view sep) {
  auto f = [sep](long double v) { return FormatStrain(v, sep); };
  auto l = [sep](long double v) { return FormatLimit(v, sep); };
  MethodsRow row;
  row.method = std::string("Centres: ") + CentreMethodTitle(r.method);
  row.tooltip = TipOf(r.method);
  if (!r.status.ok()) {
    row.value = "-";
    row.notes = r.status.message();
    return row;
  }
  row.value = "R = " + f(r.estimate.ratio) + ", phi = " + f(r.estimate.phi);
  std::string notes;
  if (r.outcome != CentreLimitsOutcome::kNotRun) {
    notes = "R " + l(r.ratio_min) + " to " + l(r.ratio_max);
    if (r.outcome == CentreLimitsOutcome::kLimits) {
      notes += ", phi " + l(r.phi_min) + " to " + l(r.phi_max);
    } else {
      notes += ", phi unbounded";
    }
    notes += "; ";
  }
  notes += std::to_string(r.pairs) +
           (r.method == CentreMethod::kDelaunay ? " edges" : " pairs");
  row.notes = notes;
  return row;
}

EstimateAgreement CompareEstimates(const CentreStrainResult& c,
                                   const AnalysisState& s) {
  EstimateAgreement a;
  if (!c.status.ok() || c.outcome == CentreLimitsOutcome::kNotRun ||
      s.outcome != ConfidenceOutcome::kLimits) {
    return a;
  }
  a.compared = true;
  const double shape_min = static_cast<double>(s.limits.ratio_min);
  const double shape_max = static_cast<double>(s.limits.ratio_max);
  a.ratio_overlap = c.ratio_min <= shape_max && shape_min <= c.ratio_max;
  if (c.outcome == CentreLimitsOutcome::kSurroundsOrigin) {
    // Every orientation lies within the centres' limits.
    a.phi_overlap = true;
    return a;
  }
  // Both ranges of phi about their own estimate, compared on the circle of
  // 180 degrees from the hyperbolic mean's phi_s.
  const double phi_s = s.strain.phi;
  const double centre_low =
      AxialDeviation(c.estimate.phi, phi_s) + (c.phi_min - c.estimate.phi);
  const double centre_high =
      AxialDeviation(c.estimate.phi, phi_s) + (c.phi_max - c.estimate.phi);
  const double shape_low = static_cast<double>(s.limits.phi_deviation_min);
  const double shape_high = static_cast<double>(s.limits.phi_deviation_max);
  for (const double turn : {-180.0, 0.0, 180.0}) {
    if (centre_low + turn <= shape_high && shape_low <= centre_high + turn) {
      a.phi_overlap = true;
    }
  }
  return a;
}

std::string AgreementSentence(const EstimateAgreement& a) {
  if (!a.compared) {
    return "The two estimates cannot be compared: one of them has no 95 % "
           "limits.";
  }
  if (a.ratio_overlap && a.phi_overlap) {
    return "The 95 % limits of the two estimates overlap in R and in phi: "
           "they agree.";
  }
  if (a.ratio_overlap) {
    return "The 95 % limits overlap in R but not in phi: the two estimates "
           "differ in orientation.";
  }
  if (a.phi_overlap) {
    return "The 95 % limits overlap in phi but not in R: the two estimates "
           "differ in the strain ratio.";
  }
  return "The 95 % limits of the two estimates overlap neither in R nor in "
         "phi: they differ.";
}

}  // namespace orvane

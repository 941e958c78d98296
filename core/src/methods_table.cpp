// SPDX-License-Identifier: MIT
// The table of estimators, shared by the window's Methods tab and the
// command-line tool, so that both show the same words and digits.
#include <algorithm>

#include "core/methods.h"
#include "core/number_format.h"

namespace orvane {
namespace {

// Each figure's method and the literature it comes from.
constexpr const char* kHyperbolicTip =
    "Hyperbolic vector mean: every marker is a point of the hyperbolic plane "
    "(rho = ln Rf, psi = 2 phi) on the unit hyperboloid; the strain is the "
    "sum of their vectors normalised back onto the hyperboloid. "
    "Yamaji (2008), Journal of Structural Geology 30.";
constexpr const char* kAxialTip =
    "Axial (doubled-angle) vector mean of the measured orientations: "
    "1/2 atan2(sum sin 2 phi, sum cos 2 phi); the mean resultant length of "
    "the doubled angles tells how closely they gather (1: all equal). "
    "Mardia & Jupp (2000), Directional Statistics; Fisher (1993), "
    "Statistical Analysis of Circular Data.";
constexpr const char* kHarmonicTip =
    "Harmonic mean of the measured axial ratios, N / sum(1 / Rf), an "
    "estimate of the strain ratio R_s. Lisle (1977), Geologie en Mijnbouw "
    "56.";
constexpr const char* kFluctuationTip =
    "Fluctuation F: the smallest arc of orientations, modulo 180 degrees, "
    "that holds every measured phi. Below 90 degrees the markers' initial "
    "ratio exceeded the strain ratio. Ramsay (1967), Folding and Fracturing "
    "of Rocks; Dunnet (1969), Tectonophysics 7.";
constexpr const char* kRamsayTip =
    "Ramsay's estimate from the extreme ratios: with F < 90 degrees, "
    "R_s = sqrt(Rf max * Rf min) and R_i = sqrt(Rf max / Rf min); "
    "otherwise R_s = sqrt(Rf max / Rf min) and R_i = sqrt(Rf max * Rf min). "
    "Ramsay (1967), Folding and Fracturing of Rocks; Dunnet (1969), "
    "Tectonophysics 7.";
constexpr const char* kChiSquareTip =
    "Pearson's chi-square test that the retrodeformed orientations theta, "
    "measured from the strain's long axis (theta = phi_i - phi_s), are "
    "uniform over [-90, 90): k equal classes (18, fewer when N < 90 so "
    "that each expects at least five data), k - 1 degrees of freedom, and "
    "the 95 % point of chi-square; uniform when chi-square does not exceed "
    "it. Pearson (1900), Philosophical Magazine 50; Lisle (1985), Geological "
    "Strain Analysis: A Manual for the Rf/phi Technique.";

constexpr const char* kMissing = "-";

}  // namespace

const char* UniformityResult(const UniformityTest& test) {
  if (!test.made()) return "not tested";
  return test.uniform ? "uniform" : "not uniform";
}

const char* UniformityOmissionText(UniformityOmission omission) {
  switch (omission) {
    case UniformityOmission::kNone:
      return "";
    case UniformityOmission::kTooFewData:
      return "fewer than 10 data: not two classes expecting 5 each";
    case UniformityOmission::kThetaNotFinite:
      return "a retrodeformed orientation is not a number";
  }
  return "";
}

std::vector<MethodsRow> MethodsTable(const MethodsSummary& m,
                                     std::string_view sep) {
  std::vector<MethodsRow> rows;
  if (m.count <= 0) return rows;
  auto f = [sep](long double v) { return FormatStrain(v, sep); };

  rows.push_back({"Hyperbolic vector mean, R_s", f(m.hyperbolic_ratio),
                  "the optimal strain of the report", kHyperbolicTip});
  rows.push_back({"Hyperbolic vector mean, phi_s", f(m.hyperbolic_phi),
                  "degrees", kHyperbolicTip});
  const std::string length =
      "mean resultant length " + f(m.axial_resultant_length);
  if (m.axial_defined) {
    rows.push_back({"Axial vector mean of phi", f(m.axial_phi),
                    "degrees; " + length, kAxialTip});
  } else {
    rows.push_back({"Axial vector mean of phi", "undefined",
                    "the doubled angles cancel; " + length, kAxialTip});
  }
  rows.push_back({"Harmonic mean of Rf", f(m.harmonic_ratio), "N / sum(1/Rf)",
                  kHarmonicTip});

  const bool narrow = m.fluctuation_below_90;
  rows.push_back(
      {"Fluctuation F of phi", f(m.fluctuation),
       std::string("degrees; ") + (narrow ? "below 90" : "90 or more"),
       kFluctuationTip});
  const std::string extremes =
      "Rf max = " + f(m.ratio_max) + ", Rf min = " + f(m.ratio_min);
  rows.push_back(
      {"Ramsay, R_s", f(m.ramsay_strain_ratio),
       (narrow ? "sqrt(Rf max * Rf min); " : "sqrt(Rf max / Rf min); ") +
           extremes,
       kRamsayTip});
  rows.push_back({"Ramsay, R_i", f(m.ramsay_initial_ratio),
                  narrow ? "sqrt(Rf max / Rf min)" : "sqrt(Rf max * Rf min)",
                  kRamsayTip});

  const UniformityTest& u = m.uniformity;
  if (u.made()) {
    const long double width = 180.0L / u.classes;
    const long double expected = static_cast<long double>(m.count) / u.classes;
    rows.push_back({"Chi-square of theta", f(u.chi_square),
                    std::to_string(u.classes) + " classes of " + f(width) +
                        " degrees, " + FormatFixed(expected, 6, 1, sep) +
                        " expected in each",
                    kChiSquareTip});
    rows.push_back({"Degrees of freedom", std::to_string(u.degrees_of_freedom),
                    "classes - 1", kChiSquareTip});
    rows.push_back({"95% critical value", f(u.critical_value), "of chi-square",
                    kChiSquareTip});
    rows.push_back({"Uniformity of theta", UniformityResult(u),
                    u.uniform ? "chi-square <= critical value"
                              : "chi-square > critical value",
                    kChiSquareTip});
  } else {
    const std::string why = UniformityOmissionText(u.omission);
    rows.push_back({"Chi-square of theta", kMissing, why, kChiSquareTip});
    rows.push_back({"Degrees of freedom", kMissing, "", kChiSquareTip});
    rows.push_back({"95% critical value", kMissing, "", kChiSquareTip});
    rows.push_back(
        {"Uniformity of theta", UniformityResult(u), why, kChiSquareTip});
  }
  return rows;
}

std::vector<std::string> MethodsTableLines(
    const std::vector<MethodsRow>& rows) {
  std::vector<std::string> lines;
  if (rows.empty()) return lines;
  const MethodsRow header{"Method", "Value", "Notes", ""};
  std::size_t method_width = header.method.size();
  std::size_t value_width = header.value.size();
  for (const MethodsRow& r : rows) {
    method_width = std::max(method_width, r.method.size());
    value_width = std::max(value_width, r.value.size());
  }
  auto line = [&](const MethodsRow& r) {
    std::string text = "  " + r.method;
    text.append(method_width - r.method.size() + 2, ' ');
    text += r.value;
    if (!r.notes.empty()) {
      text.append(value_width - r.value.size() + 2, ' ');
      text += r.notes;
    }
    return text;
  };
  lines.emplace_back();
  lines.emplace_back("*** Other Estimators ***");
  lines.push_back(line(header));
  for (const MethodsRow& r : rows) lines.push_back(line(r));
  return lines;
}

}  // namespace orvane

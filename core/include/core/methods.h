// SPDX-License-Identifier: MIT
// Estimators of the strain and tests of the markers beside the hyperbolic
// vector mean, so that its figures can be compared with the classical ones
// of the Rf/phi method:
//
// - the axial (doubled-angle) vector mean of the measured orientations,
//   1/2 atan2(sum sin 2 phi, sum cos 2 phi);
// - the harmonic mean of the measured axial ratios, N / sum(1 / Rf);
// - Ramsay's estimate from the extreme ratios and the fluctuation F of phi;
// - Pearson's chi-square test of uniformity of the retrodeformed
//   orientations theta, measured from the strain's long axis;
// - the hyperbolic vector mean's own R_s and phi_s, as the report has them.
//
// Every sum is evaluated in extended precision (long double) in datum order;
// every figure is stored as a single, rounded once.
#ifndef ORVANE_CORE_METHODS_H_
#define ORVANE_CORE_METHODS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"
#include "core/status.h"

namespace orvane {

// Why the chi-square test of theta was not made.
enum class UniformityOmission {
  kNone,            // the test was made
  kTooFewData,      // fewer than 10 data: not two classes of five expected
  kThetaNotFinite,  // a retrodeformed orientation is not a number
};

// Pearson's chi-square test of the retrodeformed orientations theta against
// a uniform distribution over [-90, 90) degrees, theta = phi - phi_s
// measured from the strain's long axis as the theta-curves are.
struct UniformityTest {
  UniformityOmission omission = UniformityOmission::kTooFewData;
  // Equal classes of theta: 18 of 10 degrees, or floor(N / 5) when N < 90,
  // so that every class expects at least five data.
  int classes = 0;
  int degrees_of_freedom = 0;  // classes - 1
  float chi_square = 0;        // sum over the classes of (O - E)^2 / E
  float critical_value = 0;    // the 95 % point of chi-square with that df
  bool uniform = false;        // chi-square <= the critical value
  bool made() const { return omission == UniformityOmission::kNone; }
};

struct MethodsSummary {
  // The number of markers; 0: nothing was computed and every figure is 0.
  std::int32_t count = 0;
  // Not ok (kOutOfMemory) when the work space for the orientations could
  // not be had: then count is 0 as well.
  Status status;

  // The hyperbolic vector mean: R_s and phi_s (degrees) of the optimal
  // strain, the values of the report.
  float hyperbolic_ratio = 0;
  float hyperbolic_phi = 0;

  // The axial vector mean of phi, degrees in (-90, 90]; undefined when the
  // doubled angles cancel (mean resultant length below 1e-9).
  bool axial_defined = false;
  float axial_phi = 0;
  // The mean resultant length of the doubled angles, 0..1: 1 when every
  // phi is the same, near 0 when they spread evenly.
  float axial_resultant_length = 0;

  // The harmonic mean of Rf.
  float harmonic_ratio = 0;

  // The extreme measured ratios, the fluctuation F (degrees, 0..180: the
  // smallest arc of orientations, modulo 180 degrees, that holds every phi)
  // and Ramsay's strain ratio R_s and initial ratio R_i from them: with
  // F < 90, R_s = sqrt(Rf max Rf min) and R_i = sqrt(Rf max / Rf min);
  // otherwise the two exchange their formulas.
  float ratio_min = 0;
  float ratio_max = 0;
  float fluctuation = 0;
  bool fluctuation_below_90 = false;  // decided before F was rounded
  float ramsay_strain_ratio = 0;
  float ramsay_initial_ratio = 0;

  UniformityTest uniformity;
};

// The estimators of an analysed state: measured[1..count] (ratio and phi as
// read), retrodeformed[1..count] (phi, the orientation before the strain)
// and the optimal strain; theta is the retrodeformed phi less phi_s,
// reduced to [-90, 90). One pass over the data and one sort of their
// orientations (for F), in 8 bytes a datum; count = 0 gives the empty
// summary, a lack of memory an empty one whose status says so.
MethodsSummary ComputeMethods(const AnalysisState& state);

// The fluctuation of orientations phi (degrees, any range): 180 minus the
// largest gap between neighbouring orientations on the circle of 180
// degrees; 0 for one orientation or none, or when all are equal.
float Fluctuation(const std::vector<float>& phi);

// The sine and cosine of an angle in degrees, in extended precision: the
// angle is reduced exactly to [-45, 45] degrees and a quarter turn count
// before its conversion to radians, so that whole angles such as 90 or 1030
// lose nothing to the reduction, and the series then costs a fraction of
// the library's extended-precision sine. Within 2e-19 of the exact values.
struct SineCosine {
  long double sine = 0;
  long double cosine = 0;
};
SineCosine SineCosineOfDegrees(long double degrees);

// The upper 95 % point of the chi-square distribution with `df` degrees of
// freedom (df >= 1): the x at which the regularised lower incomplete gamma
// function P(df / 2, x / 2) reaches 0.95, found in extended precision.
long double ChiSquareCritical95(int df);

// The regularised lower incomplete gamma function P(a, x), a > 0, x >= 0, in
// extended precision (series below a + 1, continued fraction above).
// `log_gamma_a` is ln Gamma(a).
long double RegularisedLowerGamma(long double a, long double x,
                                  long double log_gamma_a);

// The outcome of the test in words: "uniform", "not uniform" or
// "not tested".
const char* UniformityResult(const UniformityTest& test);
// Why the test was not made, or "" when it was.
const char* UniformityOmissionText(UniformityOmission omission);

// One row of the table of estimators: what the window's Methods tab and the
// command-line tool show.
struct MethodsRow {
  std::string method;   // "Harmonic mean of Rf"
  std::string value;    // the figure with the decimal separator, or a word
  std::string notes;    // what the figure rests on, or why it is missing
  std::string tooltip;  // the method and its reference in the literature
};

// The rows of a summary, its figures in the fixed(6, 3) format of the
// optimal-strain block with the decimal separator `sep`; no rows when the
// summary is empty.
std::vector<MethodsRow> MethodsTable(const MethodsSummary& summary,
                                     std::string_view sep);

// The table as text lines, as the command-line tool prints it after the
// report: an empty line, "*** Other Estimators ***", a header line and one
// line a row, the columns aligned. No lines when there are no rows.
std::vector<std::string> MethodsTableLines(const std::vector<MethodsRow>& rows);

}  // namespace orvane

#endif  // ORVANE_CORE_METHODS_H_

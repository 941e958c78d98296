// The state of one analysis: the measured and retrodeformed ellipses, the
// optimal strain, its Lorentz matrices and the bootstrap solutions, together
// with the figures the chart draws from them, so that a window can plot the
// results without recomputing anything.
#ifndef ORVANE_CORE_ANALYSIS_STATE_H_
#define ORVANE_CORE_ANALYSIS_STATE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/hyperbolic.h"

namespace orvane {

// One bootstrap solution. Fields in the order of the record.
struct BootstrapSolution {
  float rh = 0;            // rho of the solution
  float ps = 0;            // psi, radians, in (-pi, pi]
  Thyperbolic_vector x{};  // the resample's hyperbolic vector mean
  float dist = 0;          // hyperbolic distance from x to the optimal strain
};

inline constexpr int kBootstrapResamples = 200;
inline constexpr int kBootstrapKept = 190;  // 95 % of the resamples

// What the confidence stage of the last analysis ended with.
enum class ConfidenceOutcome {
  kNotRun,           // no data, or fewer than five
  kNullStrain,       // the optimal strain lies at the origin
  kSurroundsOrigin,  // the kept solutions lie around the origin
  kLimits,           // the limits were reported
};

// A point of a polar chart series: angle in degrees, radius zeta.
struct PolarPoint {
  double angle = 0;
  double value = 0;
};

struct AnalysisState {
  AnalysisState();

  std::int32_t Ndat = 0;
  // Slots 1..Ndat hold the data; slot 0 is never written and stays zero.
  std::vector<Tdata> DatF;  // measured (post-strain) ellipses
  std::vector<Tdata> DatI;  // retrodeformed (pre-strain) ellipses
  Tdata Dats;               // the optimal strain; a and b stay zero
  // Work list of the confidence stage; empty between runs.
  std::vector<BootstrapSolution> Bsols;
  // Bs[1..200], one per resample in draw order; rh and ps stay zero.
  std::array<BootstrapSolution, kBootstrapResamples + 1> Bs{};
  Thyperbolic_matrix Q_I2F{};  // strain, pre-strain to post-strain
  Thyperbolic_matrix Q_F2I{};  // its inverse

  // Results of the last analysis, for the chart and the status bar.
  // Radial maximum of the chart: zeta of the largest measured R, plus 0.5.
  double RadialMaximum = 3.0;
  // Largest R over both datasets: the iso-R circles go up to it.
  float IsoRmax = 4.0f;
  ConfidenceOutcome Outcome = ConfidenceOutcome::kNotRun;
  // The 190 solutions nearest to the optimal strain, nearest first (empty
  // unless the confidence stage passed its null-strain test).
  std::vector<BootstrapSolution> Kept;
  // Their chart points, in the same order.
  std::vector<PolarPoint> BootstrapCloud;
  // Text of status panel 1: the limits, or empty when none were written.
  std::string LimitsStatus;
};

// The chart angle of a direction psi (radians): psi x 180/pi degrees, formed
// in extended precision with the chart's constant 57.29577951308232.
double PlotAngle(float psi);

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_STATE_H_

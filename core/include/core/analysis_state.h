// SPDX-License-Identifier: MIT
// The state of one analysis: the measured and retrodeformed ellipses, the
// optimal strain, its Lorentz matrices, the bootstrap solutions and the
// confidence limits. It holds figures only; the chart and the texts of the
// report and the status bar are formed from them where they are shown.
#ifndef ORVANE_CORE_ANALYSIS_STATE_H_
#define ORVANE_CORE_ANALYSIS_STATE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/bootstrap_settings.h"
#include "core/hyperbolic.h"

namespace orvane {

// Where each marker lies and how large it is, when its source says so:
// grain outlines and label images give both, a table the columns it has
// (ImageJ's X, Y and Area). Each list is empty when the data do not give
// it, or holds count + 1 values, slot 0 zero, slot i datum i's, in the
// source's own units (map coordinates kept in double).
struct MarkerPlaces {
  std::vector<double> x;  // the centroid, with y
  std::vector<double> y;
  std::vector<double> area;
  bool HasCentroids() const { return !x.empty(); }
  bool HasAreas() const { return !area.empty(); }
  bool Empty() const { return x.empty() && area.empty(); }
};

// One bootstrap solution.
struct BootstrapSolution {
  float rho = 0;             // hyperbolic polar radius of the solution
  float psi = 0;             // its direction, radians, in (-pi, pi]
  MinkowskiVector vector{};  // the resample's hyperbolic vector mean
  float distance = 0;        // hyperbolic distance to the optimal strain
};

// What the confidence stage of the last analysis ended with.
enum class ConfidenceOutcome {
  kNotRun,           // no data, or fewer than five
  kNullStrain,       // the optimal strain lies at the origin
  kSurroundsOrigin,  // the kept solutions lie around the origin
  kLimits,           // the limits were reported
};

// The name of an outcome in machine-readable results: "limits", "null
// strain", "surrounds origin" or "not run".
const char* ConfidenceOutcomeName(ConfidenceOutcome outcome);

// The confidence limits of R and phi that the confidence block reports, in
// the extended precision it forms them in (when the outcome is kLimits).
struct ConfidenceLimits {
  long double ratio_min = 0;
  long double ratio_max = 0;
  long double phi_min = 0;  // phi_s + phi_deviation_min
  long double phi_max = 0;  // phi_s + phi_deviation_max
  // The least and the largest deviation of the kept solutions' orientation
  // from phi_s, degrees, in the single precision they are found in.
  float phi_deviation_min = 0;
  float phi_deviation_max = 0;
};

struct AnalysisState {
  AnalysisState();

  // The number of markers. Slots 1..count of both datasets hold them; slot 0
  // is never written and stays zero, so that slot i is datum i of the file.
  std::int32_t count = 0;
  std::vector<MarkerRecord> measured;       // as measured (post-strain)
  std::vector<MarkerRecord> retrodeformed;  // before the strain (pre-strain)
  // The markers' centroids and areas, when the data give them.
  MarkerPlaces places;
  // What the reading of the data noticed that the user should know (a
  // datum taken from more than one line, say); given first among the
  // analysis' warnings.
  std::vector<std::string> reading_warnings;
  MarkerRecord strain;  // the optimal strain; major and minor stay zero
  // How the bootstrap draws: set before an analysis, it then names the
  // settings the bootstrap results were drawn with.
  BootstrapSettings bootstrap;
  // solutions[1..resamples], one per resample in draw order; slot 0 is
  // never written. rho and psi stay zero. 201 slots until a bootstrap with
  // other settings resizes them.
  std::vector<BootstrapSolution> solutions;
  MinkowskiMatrix pre_to_post{};  // the strain as a Lorentz transformation
  MinkowskiMatrix post_to_pre{};  // its inverse, the retrodeformation

  // Results of the last analysis.
  // Largest R over both datasets: the iso-R circles go up to it.
  float largest_ratio = 4.0f;
  ConfidenceOutcome outcome = ConfidenceOutcome::kNotRun;
  // The 95 % of the solutions nearest to the optimal strain (190 of 200),
  // nearest first (empty unless the confidence stage passed its null-strain
  // test).
  std::vector<BootstrapSolution> kept;
  // The confidence limits when the outcome is kLimits; zero otherwise.
  ConfidenceLimits limits;
};

}  // namespace orvane

#endif  // ORVANE_CORE_ANALYSIS_STATE_H_

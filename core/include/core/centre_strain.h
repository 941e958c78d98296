// SPDX-License-Identifier: MIT
// The strain from the spacing of the markers' centres, beside the
// shape-based hyperbolic vector mean, so that one can be checked against
// the other on the same grains:
//
// - the Fry plot (Fry 1979, Tectonophysics 60): for every pair of
//   neighbouring centres i, j the vector c_j - c_i and its opposite, from a
//   common origin; the central vacancy is the strain ellipse;
// - normalised Fry (Erslev 1988, Journal of Structural Geology 10): each
//   vector divided by r_i + r_j, the radii of the two markers' circles of
//   equal area (r = sqrt(A / pi), or sqrt(a b) / 2 from the full axes);
// - enhanced normalised Fry (Erslev & Ge 1990, JSG 12): only the pairs
//   whose normalised distance lies within the selection factor;
// - the vacancy fitted objectively (after Waldron & Wallace 2007, JSG 29):
//   the innermost point of each of n angular wedges, the ellipse
//   A x^2 + 2 B x y + C y^2 = 1 fitted to them by least squares, the wedges
//   realigned to the ellipse and the fit repeated until it settles;
// - the Delaunay nearest-neighbour method (Mulchrone 2003, JSG 25): the
//   neighbours are the edges of the centres' Delaunay triangulation, their
//   normalised lengths d and directions alpha fitted by least squares to the
//   polar equation of a centred ellipse,
//   r(alpha) = a b / sqrt(b^2 cos^2(alpha - phi) + a^2 sin^2(alpha - phi)),
//   at the selection factor whose fit has the least error.
//
// Confidence limits come from a bootstrap that resamples the markers (not
// the pairs), with the generator, seed rule and count of resamples of the
// hyperbolic mean's bootstrap, and keep the 95 % of the solutions nearest to
// the estimate. Plain C++, no Qt.
#ifndef ORVANE_CORE_CENTRE_STRAIN_H_
#define ORVANE_CORE_CENTRE_STRAIN_H_

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"
#include "core/bootstrap_settings.h"
#include "core/status.h"

namespace orvane {

enum class CentreMethod { kFry, kNormalised, kEnhanced, kDelaunay };

// The method's name in options and machine-readable results: "fry",
// "normalised", "enhanced" or "delaunay".
const char* CentreMethodName(CentreMethod method);
// Reads one of those names; false, with `method` unchanged, for anything
// else.
bool ParseCentreMethod(std::string_view name, CentreMethod& method);
// The method and its reference for people: "Normalised Fry (Erslev 1988)".
const char* CentreMethodTitle(CentreMethod method);

// The fewest centres the methods work on.
inline constexpr int kMinCentres = 10;

// The markers' centres and sizes, datum order, from 0: what the methods
// read.
struct CentreData {
  std::vector<double> x;
  std::vector<double> y;
  // The radius of each marker's circle of equal area; empty when the data
  // give no sizes (then only the plain Fry method can run).
  std::vector<double> radius;
  std::size_t Count() const { return x.size(); }
};

// The centres of an analysis' data: places.x/y[1..count], the radii from
// places.area where there are areas, else from the measured axes
// (sqrt(major x minor) / 2) where every datum has both. Empty x and y when
// the data give no centres.
CentreData CentreDataOf(const AnalysisState& state);

// The limits of the settings below (CheckCentreSettings).
inline constexpr int kMinNeighbours = 1;
inline constexpr int kMaxNeighbours = 64;
inline constexpr int kMinWedges = 8;
inline constexpr int kMaxWedges = 360;

struct CentreSettings {
  CentreMethod method = CentreMethod::kNormalised;
  // The nearest neighbours of each centre whose pairs make the Fry plot.
  int neighbours = 12;
  // The wedges of the vacancy fit.
  int wedges = 36;
  // The enhanced method's window of normalised distances (0: chosen from
  // the data, as the fit with the least error). For the Delaunay method, the
  // longest normalised edge kept, measured in the retrodeformed frame of
  // the fit (0: chosen from the data likewise).
  double selection_factor = 0;
  // How the bootstrap draws (the hyperbolic mean's settings).
  BootstrapSettings bootstrap;
};

// One strain estimate: the axial ratio R >= 1 and the long axis' direction
// phi, degrees counter-clockwise from +x in (-90, 90].
struct CentreEstimate {
  double ratio = 1;
  double phi = 0;
  // Fitted ellipse's semi-axes in the plot's units (normalised or the
  // data's), a >= b > 0, so the plot can draw it.
  double semi_major = 1;
  double semi_minor = 1;
};

enum class CentreLimitsOutcome {
  kNotRun,           // no bootstrap (cancelled or failed)
  kSurroundsOrigin,  // the kept solutions lie around R = 1: phi unbounded
  kLimits,           // R and phi limits
};

struct CentreStrainResult {
  // Not ok: why nothing was estimated (too few centres, no centres or
  // sizes, every centre on one line); the rest is then empty.
  Status status;
  CentreMethod method = CentreMethod::kNormalised;
  CentreEstimate estimate;
  // The pairs (Fry methods) or Delaunay edges the estimate rests on.
  std::int64_t pairs = 0;
  // The selection factor used (enhanced and Delaunay methods), else 0.
  double selection_factor = 0;
  BootstrapSettings bootstrap;
  CentreLimitsOutcome outcome = CentreLimitsOutcome::kNotRun;
  double ratio_min = 0;
  double ratio_max = 0;
  double phi_min = 0;  // phi + the least deviation of the kept solutions
  double phi_max = 0;  // (phi -+ 90 when the solutions surround R = 1)
  // The kept solutions, nearest first, for a plot's cloud.
  std::vector<CentreEstimate> kept;
  // The Fry plot's points (both of each pair's vectors), x then y, in the
  // plot's units: normalised for the normalised methods. Each point is its
  // x and its y in turn (x0, y0, x1, y1, ...); a pair gives c_j - c_i and
  // then its opposite. The Delaunay method gives its kept edges so. Beyond
  // 2^21 pairs an even sample of that many (a plot of millions of points
  // is no denser to the eye, and the points would take gigabytes).
  std::vector<float> points;
  // What the user should know beside the figures (coinciding centres whose
  // pairs were left out), one sentence each.
  std::vector<std::string> warnings;
};

// Estimates the strain of `data` by settings.method, with its bootstrap
// limits. Never throws for bad data: the status says what is wrong.
// Allocation failures are thrown as std::bad_alloc. When `cancel` is set
// the bootstrap stops and the outcome is kNotRun.
CentreStrainResult AnalyseCentres(const CentreData& data,
                                  const CentreSettings& settings,
                                  const std::atomic<bool>* cancel = nullptr);

// The hyperbolic distance between two strains (R, phi in degrees): the
// distance of the points (ln R, 2 phi) in the hyperbolic plane.
double StrainDistance(double ratio1, double phi1, double ratio2, double phi2);

// Ok, or why the settings cannot be used: neighbours outside
// kMinNeighbours..kMaxNeighbours, wedges outside kMinWedges..kMaxWedges, a
// selection factor that is negative or not finite, or bootstrap settings
// that CheckBootstrapSettings refuses. AnalyseCentres refuses such settings
// with this status.
Status CheckCentreSettings(const CentreSettings& settings);

// For tests: while one is alive, the bootstrap's vacancy fits (the Fry
// methods) scan their resamples otherwise than they do: kEveryPair scans
// every drawn pair instead of the candidates near the estimate's vacancy
// first; kFewCandidates takes only the few points nearest the vacancy in
// each wedge for candidates, so that most fits must fall back to every
// pair. The results are the same in every case. Not to be nested, nor made
// while an analysis runs.
class CentreScanForTesting {
 public:
  enum Mode { kEveryPair, kFewCandidates };
  explicit CentreScanForTesting(Mode mode);
  ~CentreScanForTesting();
  CentreScanForTesting(const CentreScanForTesting&) = delete;
  CentreScanForTesting& operator=(const CentreScanForTesting&) = delete;
};

}  // namespace orvane

#endif  // ORVANE_CORE_CENTRE_STRAIN_H_

// SPDX-License-Identifier: MIT
// Filled density contours of the data, in the coordinates of the plot they
// are drawn on: the polar chart's disc (its plane, radius by the chart's
// projection of rho) or the Rf/phi plot's rectangle of (phi, ln Rf). A grid
// of nodes over the plot gets the density of core/density.h; the regions
// where it reaches each of a few equally spaced levels become closed
// polygons (marching squares), ready to be filled one over the other.
// Plain C++ (no Qt).
#ifndef ORVANE_CHART_DENSITY_CONTOURS_H_
#define ORVANE_CHART_DENSITY_CONTOURS_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_projection.h"
#include "core/analysis_state.h"
#include "core/density.h"

namespace orvane {

class EqualAreaChart;
class RfPhiPlot;

// A point in a plot's own coordinates: the disc's plane (x to the right,
// y upwards, psi = atan2(y, x)), or (phi in degrees, ln Rf) on the Rf/phi
// plot.
struct PlotPoint {
  double x = 0;
  double y = 0;
};

// A closed polygon: the last vertex joins the first.
using ContourRing = std::vector<PlotPoint>;

// The region where the density is at least `level`: its outer rings run
// counter-clockwise (y upwards) and the rings of its holes clockwise, so
// that both the non-zero and the even-odd rule fill it.
struct ContourBand {
  double level = 0;
  std::vector<ContourRing> rings;
};

// Values at the nodes of a rectangular grid: node (i, j), i = 0 ..
// columns - 1 to the right, j = 0 .. rows - 1 upwards, lies at
// (left + i step_x, bottom + j step_y).
struct DensityGrid {
  int columns = 0;
  int rows = 0;
  double left = 0, bottom = 0, step_x = 1, step_y = 1;
  std::vector<double> values;  // row by row from the bottom
  PlotPoint Node(int i, int j) const {
    return {left + i * step_x, bottom + j * step_y};
  }
  double At(int i, int j) const {
    return values[static_cast<std::size_t>(j) * columns + i];
  }
};

// The region of the grid where the value is at least `level`, by marching
// squares with linear interpolation along the cells' sides; at a saddle the
// high corners are joined. Regions reaching the grid's edge are closed
// along it. A node whose value is not a number counts as below.
std::vector<ContourRing> RegionAtLeast(const DensityGrid& grid, double level);

// The part of `ring` inside the convex polygon `convex` (counter-clockwise),
// by Sutherland and Hodgman: empty when none. A ring cut into pieces comes
// back as one ring whose pieces are joined along the edge of `convex`, by
// seams of no area.
ContourRing ClipToConvex(const ContourRing& ring, const ContourRing& convex);

// `peak` i / steps for i = 1 .. steps - 1: the lowest band starts one step
// above 0, so the ground stays clear where the density is low. None for a
// peak that is not positive and finite, or fewer than two steps.
std::vector<double> EqualStepLevels(double peak, int steps);

// Which markers the density is of.
enum class DensityData {
  kMeasured,       // as measured (post-strain)
  kRetrodeformed,  // before the strain (pre-strain)
};

inline constexpr int kMinContourSteps = 2;
inline constexpr int kMaxContourSteps = 20;
inline constexpr int kDefaultContourSteps = 10;
inline constexpr int kDefaultContourCells = 128;

// The kernel concentrations k that may be asked for. A datum's kernel
// exp(k (1 - cosh d)) falls below the highest level of the finest contours,
// (1 - 1 / kMaxContourSteps) of its peak, only where k (cosh d - 1) reaches
// -ln(1 - 1 / 20) = 0.0513; on the widest disc the chart draws (rho up to
// ln 1000 + 0.5 = 7.41, cosh rho - 1 = 824) that needs k >= 6.2e-5: below
// it even one datum at the centre fills every band over the whole plot and
// nothing can be told apart. 1e-4 is the round value above; the density's
// factors (k / 2 pi, the kernel's slope, 1 / k) are then far from
// underflow. Above 1000 the kernel is narrower than any grid resolves.
inline constexpr double kMinContourConcentration = 1e-4;
inline constexpr double kMaxContourConcentration = 1000;

// k as the contours' note gives it: two decimals, more where k needs them
// for three significant digits ("23.39", "5.98", "0.400", "0.000100"),
// with the decimal separator `sep`.
std::string ConcentrationText(double k, std::string_view sep);

struct ContourSettings {
  // The kernel's concentration k; 0: 40 / N^(1/3).
  double concentration = 0;
  // Levels at the peak's i / steps, kMinContourSteps .. kMaxContourSteps.
  int steps = kDefaultContourSteps;
  // Grid cells across the plot (each way), 8 .. 1024; more (up to 512)
  // where the kernel is narrow against them and they cost little: few data
  // on a wide plot.
  int cells = kDefaultContourCells;
  DensityData data = DensityData::kMeasured;
};

// The contours of one analysis on one plot.
struct DensityContours {
  ContourSettings settings;
  double concentration = 0;  // the k used
  std::int64_t count = 0;    // the data summed
  // The largest density at a node of the plot, in data per unit
  // hyperbolic area, and the bound on the binning's error in the same unit
  // (core/density.h).
  double peak = 0;
  double error_bound = 0;
  // The density at the grid's nodes (0 at nodes outside the plot).
  DensityGrid grid;
  // One band a level, lowest first: drawn in this order, each over the
  // one before, they fill the steps.
  std::vector<ContourBand> bands;
};

// The node grid over the polar chart's disc of radius `radial_maximum`
// (plot units): cells x cells squares over the disc's bounding square.
DensityGrid DiscGrid(double radial_maximum, int cells);

// The contours of the state's data on the polar chart whose disc reaches
// `radial_maximum` in the plot radius of `projection`, clipped to the
// disc. False (and `out` left as it was) when `cancel` stopped the work.
// `progress` is as in HyperbolicDensity.
bool ComputeDiscContours(const AnalysisState& state, double radial_maximum,
                         ChartProjection projection,
                         const ContourSettings& settings, DensityContours& out,
                         const std::atomic<bool>* cancel = nullptr,
                         const DensityProgress& progress = {});

// The contours of the state's data for the polar chart as it now stands
// (its radial maximum and its projection): what the window and the
// command-line tool put into its density_contours. nullptr when `cancel`
// stopped the work.
std::shared_ptr<const DensityContours> ChartDensityContours(
    const EqualAreaChart& chart, const AnalysisState& state,
    const ContourSettings& settings, const std::atomic<bool>* cancel = nullptr,
    const DensityProgress& progress = {});

// The Rf/phi plot's grid: phi from -90 to 90 degrees across, ln Rf from
// `ln_ratio_bottom` to `ln_ratio_top` upwards, `cells` squares each way.
DensityGrid RfPhiGrid(double ln_ratio_bottom, double ln_ratio_top, int cells);

// The contours of the state's data on the Rf/phi plot (x = phi in degrees,
// y = ln Rf), over the plot's range of ln Rf. As ComputeDiscContours.
bool ComputeRfPhiContours(const AnalysisState& state, double ln_ratio_bottom,
                          double ln_ratio_top, const ContourSettings& settings,
                          DensityContours& out,
                          const std::atomic<bool>* cancel = nullptr,
                          const DensityProgress& progress = {});

// The contours of the state's data for the Rf/phi plot as it now stands:
// over ln Rf from 0 to the top of its axis, or to the largest R of both
// datasets where that lies higher, so that the grid covers the plot
// whichever of its series are shown. What the window and the command-line
// tool put into its density_contours; nullptr when `cancel` stopped the
// work.
std::shared_ptr<const DensityContours> RfPhiDensityContours(
    const RfPhiPlot& plot, const AnalysisState& state,
    const ContourSettings& settings, const std::atomic<bool>* cancel = nullptr,
    const DensityProgress& progress = {});

// "Density contours, k = 0.400": the note that tells what the grey shows,
// k to three significant digits (at least two decimals) with the decimal
// separator `sep`.
std::string DensityNoteText(const DensityContours& contours,
                            std::string_view sep);

}  // namespace orvane

#endif  // ORVANE_CHART_DENSITY_CONTOURS_H_

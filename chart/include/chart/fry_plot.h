// SPDX-License-Identifier: MIT
// The Fry plot as data: the vectors between neighbouring markers' centres
// from a common origin (normalised by the markers' sizes for the normalised
// methods), on equal scales across and upwards so that the central vacancy
// has the shape of the strain ellipse; the ellipse fitted to the vacancy,
// the hyperbolic vector mean's strain ellipse at the same area for
// comparison, and the range of the centre estimate's bootstrap solutions.
// Plain C++ (no Qt): the axes, the layout and the lines are computed here;
// render/plot_render draws the model.
#ifndef ORVANE_CHART_FRY_PLOT_H_
#define ORVANE_CHART_FRY_PLOT_H_

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/plot_mapping.h"
#include "chart/plot_model.h"
#include "chart/polar_series.h"
#include "core/centre_strain.h"

namespace orvane {

// What a legend entry of the plot stands for: its id in the model's legend.
enum class FryEntry { kPoints, kFitted, kHyperbolic, kBootstrap };

// Both axes of the square frame: -extent to extent, the same ticks across
// and upwards, symmetric about the origin.
struct FryAxis {
  double extent = 1;
  std::vector<AxisTick> ticks;  // in order, the middle one 0
};

// The axis that shows at least `wanted` either side of the origin: labelled
// ticks at multiples of the largest step of 1, 2 or 5 times a power of ten
// that gives two to five of them each side, an unlabelled tick halfway
// between them, and the extent `wanted` rounded up to a tenth of the step
// (the frame's edges need not be ticks). Labels use `decimal_separator`
// and a true minus sign. A `wanted` that is not a finite number above zero
// gives the axis of -1 to 1.
FryAxis MakeFryAxis(double wanted, const std::string& decimal_separator = ".");

// The frame and the axis titles' places, in the plot's own pixels.
struct FryLayout {
  int width = 0;
  int height = 0;
  PixelRect plot;  // square: -extent at its left and bottom edges
  // The x title centred under the tick labels: its centre and baseline.
  int x_title_x = 0;
  int x_title_baseline = 0;
  // The y title above the frame's top left corner: its left end and
  // baseline (level text, as every reader of a metafile draws it).
  int y_title_x = 0;
  int y_title_baseline = 0;
  int unit = 1;
};

// The axis titles: "Normalised Δx" and "Normalised Δy" for the normalised
// methods, "Δx" and "Δy" for the plain Fry method.
std::string FryAxisTitle(bool normalised, bool upwards);

// An ellipse about the origin with semi-axes a >= b and its long axis at
// phi degrees counter-clockwise from +x, as `count` vertices (x, y) in the
// data's coordinates, counter-clockwise from the end of the long axis.
std::vector<std::pair<double, double>> EllipseVertices(double a, double b,
                                                       double phi, int count);

class FryPlot final : public PlotSource {
 public:
  FryPlot() = default;

  // The plot to draw on `canvas`: the grid, the points, the bootstrap
  // range, the hyperbolic mean's ellipse (dashed), the fitted vacancy over
  // them, the frame, ticks and axis titles, the legend and the caption.
  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is a FryEntry.
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane Fry plot"; }

  // The centre-based estimate: its points (kept by the plot, those within
  // the frame first, until the next call or Clear()), its fitted ellipse and
  // its bootstrap solutions, with the hyperbolic vector mean's strain (R_s,
  // phi_s in degrees) drawn at the fitted ellipse's area where
  // `have_hyperbolic`. An estimate that is not a finite ellipse draws no
  // ellipses; a failed one (status not ok) leaves the plot empty. Allocation
  // failures are thrown as std::bad_alloc (Clear() the plot then).
  void ShowCentres(const CentreStrainResult& centres, float hyperbolic_ratio,
                   float hyperbolic_phi, bool have_hyperbolic);
  void Clear();

  // The points, x and y of each in turn, those within the frame first.
  const std::vector<float>& Points() const { return points_; }
  std::size_t PointCount() const { return points_.size() / 2; }
  // How many points lie within the frame: the markers drawn.
  std::size_t FramedCount() const { return framed_; }
  // Changes with every change of the points, never reused.
  std::uint64_t Revision() const { return revision_; }
  bool Normalised() const { return normalised_; }

  // The fitted ellipse, where the estimate is a finite ellipse.
  bool HasFitted() const { return has_fitted_; }
  const CentreEstimate& Fitted() const { return fitted_; }
  // The hyperbolic mean's ellipse at the fitted ellipse's area: semi-axes
  // and orientation (degrees), where there are both.
  bool HasHyperbolic() const { return has_hyperbolic_; }
  const CentreEstimate& Hyperbolic() const { return hyperbolic_; }
  // The innermost and outermost reach, in each direction, of the kept
  // bootstrap solutions drawn at the fitted ellipse's area; empty without
  // them.
  const std::vector<std::pair<double, double>>& BootstrapInner() const {
    return bootstrap_inner_;
  }
  const std::vector<std::pair<double, double>>& BootstrapOuter() const {
    return bootstrap_outer_;
  }

  // What the legend entry stands for is drawn (where the plot has it).
  bool Shown(FryEntry entry) const;
  void SetShown(FryEntry entry, bool on);
  bool ShowGrid() const { return show_grid_; }
  void SetShowGrid(bool on) { show_grid_ = on; }

  // The decimal separator of the tick labels.
  const std::string& DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(const std::string& sep) { separator_ = sep; }

  // The half-width either side of the origin that the data ask for: 2.5
  // times the fitted ellipse's semi-major axis (less where the points end
  // sooner, never less than the ellipses), else from the points' median
  // distance, else 1.
  double WantedExtent() const { return wanted_; }
  FryAxis Axis() const { return MakeFryAxis(wanted_, separator_); }

 private:
  std::vector<float> points_;
  std::size_t framed_ = 0;
  std::uint64_t revision_ = NextSeriesRevision();
  bool normalised_ = true;
  bool has_fitted_ = false;
  CentreEstimate fitted_;
  bool has_hyperbolic_ = false;
  CentreEstimate hyperbolic_;
  std::vector<std::pair<double, double>> bootstrap_inner_;
  std::vector<std::pair<double, double>> bootstrap_outer_;
  double wanted_ = 1;
  std::array<bool, 4> shown_ = {true, true, true, true};
  bool show_grid_ = true;
  std::string separator_ = ".";
};

// The style of what a legend entry stands for, in the palette: the points
// as small dots, the others as lines.
SeriesStyle FryStyle(FryEntry entry, ChartPalette palette);

// The plot's layout on `canvas` (in the plot's own pixels, the size over
// the scale).
FryLayout LayOutFryPlot(const FryPlot& plot, const PlotCanvas& canvas,
                        const TextMeasure& measure);

}  // namespace orvane

#endif  // ORVANE_CHART_FRY_PLOT_H_

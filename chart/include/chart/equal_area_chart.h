// The equal-area chart as data: its polar series with their styles and
// points, the radial scale and the iso-R circles, and the operations an Open
// performs on them. Plain C++ (no Qt), so that tests can check what the
// chart will show without a window; render/chart_render draws it.
#ifndef ORVANE_CHART_EQUAL_AREA_CHART_H_
#define ORVANE_CHART_EQUAL_AREA_CHART_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "chart/polar_series.h"
#include "core/analysis.h"
#include "core/analysis_state.h"

namespace orvane {

// At most this many iso-R circles (R = 2 ... 101). Each is a 181-point
// series; at R = 100 neighbouring circles lie 1 / (2 sqrt R) = 0.05 apart in
// zeta, under a pixel on a disc of the design size that reaches zeta = 10,
// so further circles could not be told apart and would only cost time.
inline constexpr int kMaxIsoRatioCircles = 100;

inline constexpr double kInitialRadialMaximum = 3.0;

// The chart: six series by their role, drawn in this order, then the iso-R
// circles.
class EqualAreaChart {
 public:
  EqualAreaChart();

  PolarSeries bootstrap;           // the 190 kept bootstrap solutions
  PolarSeries retrodeformed;       // the markers before the strain (pre-strain)
  PolarSeries measured;            // the markers as measured (post-strain)
  PolarSeries optimal;             // the optimal strain
  PolarSeries measured_highlight;  // the marker chosen in the grid
  PolarSeries retrodeformed_highlight;  // the same marker before the strain

  // The circles of equal axial ratio R = 2, 3, ..., smallest first.
  const std::vector<std::unique_ptr<PolarSeries>>& IsoRatioCircles() const {
    return iso_ratio_circles_;
  }
  int IsoRatioCircleCount() const {
    return static_cast<int>(iso_ratio_circles_.size());
  }

  // The radial scale: radius 0 at the centre, this value at the disc's edge.
  double RadialMaximum() const { return radial_maximum_; }
  void SetRadialMaximum(double m);

  // The series list in drawing order.
  std::vector<const PolarSeries*> SeriesList() const;
  std::vector<PolarSeries*> SeriesList();
  // The series that paints the disc: the first active one, or none.
  const PolarSeries* DiscSeries() const;

  // Circles for R = 2 ... ceil(Rmax) (at most kMaxIsoRatioCircles), the
  // outermost carrying a radius to the right; none for Rmax <= 1 or a
  // non-finite Rmax. Replaces the circles held.
  void CreateIsoRatioCircles(float Rmax);
  void DestroyIsoRatioCircles();

  // Empties the bootstrap, measured, retrodeformed and optimal series
  // (whether they are shown stays as it is).
  void ClearDataSeries();
  // The measured markers into their series, and the radial maximum from the
  // largest measured R (the analysis' radial_maximum).
  void PlotMeasured(const AnalysisState& state);
  // The retrodeformed markers into their series.
  void PlotRetrodeformed(const AnalysisState& state);
  // The optimal strain into its series, whose line pen is switched on.
  void PlotOptimal(const AnalysisState& state);
  // The kept bootstrap solutions into their series, made active; an
  // analysis without them leaves it empty, so that no cloud of other data
  // stays.
  void PlotBootstrap(const AnalysisState& state);
  // The chart operations of an Open after the analysis, in their order:
  // circles removed, measured points and radial maximum, optimal point,
  // pre-strain points, circles up to the largest R, bootstrap cloud.
  void PlotAnalysis(const AnalysisState& state);
  // What an Open shows once the analysis has run: its results, or the
  // start-up chart when there were no data.
  void ShowAnalysis(const AnalysisState& state, AnalysisResult result);
  // A chart with the same series styles, each shown or hidden as here, and
  // this chart's highlight, but no data points and no circles: the chart an
  // Open fills before it replaces this one.
  EqualAreaChart WithoutData() const;
  // The chart as the window creates it: three circles (R = 2, 3, 4), the
  // data series empty, the highlight series hidden (transparency 0).
  void StartUp();
  // No data: the data series emptied, the start-up circles and scale.
  void ShowStartUp();

  // Point at a datum: the measured and the retrodeformed ellipse of slot i
  // into the highlight series, made active.
  void Highlight(const AnalysisState& state, std::int32_t i);
  void HideHighlight();

 private:
  std::vector<std::unique_ptr<PolarSeries>> iso_ratio_circles_;
  double radial_maximum_ = kInitialRadialMaximum;
};

// The styles of the six series and of the iso-R circles.
SeriesStyle BootstrapStyle();
SeriesStyle RetrodeformedStyle();
SeriesStyle MeasuredStyle();
SeriesStyle OptimalStyle();
SeriesStyle MeasuredHighlightStyle();
SeriesStyle RetrodeformedHighlightStyle();
SeriesStyle IsoRatioCircleStyle();

}  // namespace orvane

#endif  // ORVANE_CHART_EQUAL_AREA_CHART_H_

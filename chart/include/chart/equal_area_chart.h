// SPDX-License-Identifier: MIT
// The equal-area chart as data: its polar series with their styles and
// points, the radial scale and the iso-R circles, and the operations an Open
// performs on them. Plain C++ (no Qt), so that tests can check what the
// chart will show without a window; render/chart_render draws it.
#ifndef ORVANE_CHART_EQUAL_AREA_CHART_H_
#define ORVANE_CHART_EQUAL_AREA_CHART_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_projection.h"
#include "chart/density_contours.h"
#include "chart/plot_model.h"
#include "chart/polar_series.h"
#include "core/analysis.h"
#include "core/analysis_state.h"

namespace orvane {

// From this many data a plot computes its points on two threads at once.
inline constexpr std::int32_t kPointsInParallelFrom = 100000;

// At most this many circles of whole R (R = 2 ... 101). Each is a 181-point
// series; at R = 100 neighbouring circles lie 1 / (2 sqrt R) = 0.05 apart in
// zeta, under a pixel on a disc of the design size that reaches zeta = 10,
// so further circles of whole R could not be told apart and would only cost
// time. Beyond R = 101 only the circles of the 1-2-5 sequence (200, 500,
// 1000) follow, up to the loader's largest ratio.
inline constexpr int kMaxIsoRatioCircles = 100;
inline constexpr int kLargestIsoRatio = 1000;

// Circles drawn closer than this many pixels to the last one kept merge
// into a grey band: they are left out (see ThinIsoRatioCircles).
inline constexpr double kIsoRatioMinSpacing = 4.0;

// Which of the circles of ratios `ratios` (ascending, the last the
// outermost) are drawn on a disc of `pixels_per_zeta` pixels for one unit
// of the radial coordinate (zeta, or rho in the Elliott projection). Every
// whole R is kept while each lies at least kIsoRatioMinSpacing pixels outside
// the one before; from the first that does not, only the 1-2-5 sequence (5, 10,
// 20, 50, 100, ...) goes on, each kept only at that spacing from the last kept.
// The outermost circle is always kept (it carries the radius); a circle closer
// than the spacing inside it is left out.
std::vector<bool> ThinIsoRatioCircles(
    const std::vector<int>& ratios, double pixels_per_zeta,
    ChartProjection projection = ChartProjection::kEqualArea);

inline constexpr double kInitialRadialMaximum = 3.0;

// The chart: six series by their role, drawn in this order, then the iso-R
// circles.
class EqualAreaChart final : public PlotSource {
 public:
  EqualAreaChart();

  // The chart to draw on `canvas`: the disc, the density contours, the
  // series in drawing order with the iso-R circles, the circles' labels on
  // a figure, the legend, the caption and the projection's note.
  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is the series' place in SeriesList().
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane equal-area projection"; }
  std::optional<ChartProjection> PolarProjection() const override {
    return projection_;
  }

  PolarSeries bootstrap;           // the 190 kept bootstrap solutions
  PolarSeries retrodeformed;       // the markers before the strain (pre-strain)
  PolarSeries measured;            // the markers as measured (post-strain)
  PolarSeries optimal;             // the optimal strain
  PolarSeries measured_highlight;  // the marker chosen in the grid
  PolarSeries retrodeformed_highlight;  // the same marker before the strain

  // Density contours drawn over the disc, under every series; none (the
  // default) draws none. Computed once per analysis by whoever shows them.
  std::shared_ptr<const DensityContours> density_contours;

  // The circles of equal axial ratio R = 2, 3, ..., smallest first.
  const std::vector<std::unique_ptr<PolarSeries>>& IsoRatioCircles() const {
    return iso_ratio_circles_;
  }
  int IsoRatioCircleCount() const {
    return static_cast<int>(iso_ratio_circles_.size());
  }
  // The axial ratio R of each circle, in the same order.
  const std::vector<int>& IsoRatios() const { return iso_ratios_; }

  // The radial scale: radius 0 at the centre, this value at the disc's edge.
  double RadialMaximum() const { return radial_maximum_; }
  void SetRadialMaximum(double m);

  // How rho becomes the radius of every point, circle and the scale:
  // equal-area (zeta, the default) or Elliott (rho = ln R). Setting it
  // changes nothing plotted: it applies from the next plot on (see
  // InProjection for a replot).
  ChartProjection Projection() const { return projection_; }
  void SetProjection(ChartProjection projection) { projection_ = projection; }

  // The series list in drawing order.
  std::vector<const PolarSeries*> SeriesList() const;
  std::vector<PolarSeries*> SeriesList();
  // The series that paints the disc: the first active one, or none.
  const PolarSeries* DiscSeries() const;

  // Circles for R = 2 ... ceil(Rmax) (at most kMaxIsoRatioCircles of them,
  // then 200, 500 and 1000 as far as ceil(Rmax) and kLargestIsoRatio
  // reach), the outermost, at ceil(Rmax) or 1000, carrying a radius to the
  // right; none for Rmax <= 1 or a non-finite Rmax. Replaces the circles
  // held.
  void CreateIsoRatioCircles(float Rmax);
  void DestroyIsoRatioCircles();

  // Empties the bootstrap, measured, retrodeformed and optimal series
  // (whether they are shown stays as it is).
  void ClearDataSeries();
  // The measured markers into their series, and the radial maximum from the
  // largest measured R (RadialMaximumFor).
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
  // This chart in `projection`, replotted from the analysis held (as
  // ShowAnalysis would plot it): every series keeps whether it is shown
  // (the bootstrap cloud too, whose plot would show it again), and the
  // highlight stays on the same datum, shown or hidden as here.
  EqualAreaChart InProjection(ChartProjection projection,
                              const AnalysisState& state,
                              AnalysisResult result) const;
  // The chart as the window creates it: three circles (R = 2, 3, 4), the
  // data series empty, the highlight series hidden.
  void StartUp();
  // No data: the data series emptied, the start-up circles and scale.
  void ShowStartUp();

  // Point at a datum: the measured and the retrodeformed ellipse of slot i
  // into the highlight series, made active.
  void Highlight(const AnalysisState& state, std::int32_t i);
  void HideHighlight();
  // The slot last highlighted (0: none yet).
  std::int32_t HighlightedDatum() const { return highlighted_; }

 private:
  std::vector<std::unique_ptr<PolarSeries>> iso_ratio_circles_;
  std::vector<int> iso_ratios_;
  double radial_maximum_ = kInitialRadialMaximum;
  ChartProjection projection_ = ChartProjection::kEqualArea;
  std::int32_t highlighted_ = 0;
};

// The styles of the six series and of the iso-R circles.
SeriesStyle BootstrapStyle();
SeriesStyle RetrodeformedStyle();
SeriesStyle MeasuredStyle();
SeriesStyle OptimalStyle();
SeriesStyle MeasuredHighlightStyle();
SeriesStyle RetrodeformedHighlightStyle();
SeriesStyle IsoRatioCircleStyle();

// The style a series is drawn with in the palette.
SeriesStyle PaletteStyle(const EqualAreaChart& chart, const PolarSeries& series,
                         ChartPalette palette);

// The style a series is drawn with: its palette's colours, and the
// bootstrap cloud as a line where it is drawn as an outline.
SeriesStyle ChartSeriesStyle(const EqualAreaChart& chart,
                             const PolarSeries& series,
                             const ChartRenderOptions& options);

// The note a chart in `projection` carries in the lower left corner of its
// plotting area: "Elliott projection"; none (empty) for the equal-area
// projection, the default.
std::string ProjectionNoteText(ChartProjection projection);

// The legend entries (series shown in the legend, in list order) and their
// layout for a chart of the given width.
struct LegendView {
  std::vector<const PolarSeries*> series;
  LegendLayout layout;
};
LegendView MeasureLegend(const EqualAreaChart& chart, int width,
                         const ChartRenderOptions& options,
                         const TextMeasure& measure);

// The chart's layout on `canvas`, in its own pixels.
ChartLayout LayOutChart(const EqualAreaChart& chart, const PlotCanvas& canvas,
                        const TextMeasure& measure);

// The iso-R circles drawn at this layout: a flag per circle of the chart.
std::vector<bool> DrawnIsoRatioCircles(const EqualAreaChart& chart,
                                       const ChartLayout& layout);

// The labels of the drawn iso-R circles on a figure, where the circles
// cross the radius to the right: "R = 2" at the first, the bare ratio at
// the others, each above the radius or, where that touches a label before
// it or covers more of the data, below it; left out where neither side
// has room.
struct IsoRatioLabelBox {
  int ratio = 0;
  std::string text;
  PixelRect box;  // in chart pixels
};
std::vector<IsoRatioLabelBox> PlaceIsoRatioLabels(const EqualAreaChart& chart,
                                                  const ChartLayout& layout,
                                                  const TextMeasure& measure);

}  // namespace orvane

#endif  // ORVANE_CHART_EQUAL_AREA_CHART_H_

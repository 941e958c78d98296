// SPDX-License-Identifier: MIT
// The Rf/phi plot as data: the orientation of the long axis phi across
// (-90 to 90 degrees), the axial ratio Rf upwards on a logarithmic or a
// linear scale, the measured and retrodeformed markers, the optimal strain
// and the theta-curves of the strain. Plain C++ (no Qt): the axes, ticks
// and pixel mapping are computed here so that tests can check them without
// a window; render/rf_phi_render draws the plot.
#ifndef ORVANE_CHART_RF_PHI_PLOT_H_
#define ORVANE_CHART_RF_PHI_PLOT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/plot_mapping.h"
#include "chart/plot_model.h"
#include "chart/polar_series.h"
#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/theta_curves.h"

namespace orvane {

struct DensityContours;

// One series of markers: the shapes in the order of the data.
class RfPhiSeries {
 public:
  explicit RfPhiSeries(SeriesStyle style);

  const SeriesStyle& Style() const { return style_; }
  const std::vector<RfPhiPoint>& Points() const { return points_; }
  std::size_t Count() const { return points_.size(); }
  void SetPoints(std::vector<RfPhiPoint> points);
  void Clear() { SetPoints({}); }

  bool Active() const { return active_; }
  void SetActive(bool on) { active_ = on; }
  // The largest finite Rf of the points, 1 for none.
  double LargestRatio() const { return largest_; }

  // Changes with every change of the points, never reused, so that a
  // painter can cache a drawing of a large series.
  std::uint64_t Revision() const { return revision_; }

 private:
  SeriesStyle style_;
  std::vector<RfPhiPoint> points_;
  bool active_ = true;
  double largest_ = 1;
  std::uint64_t revision_;
};

// The axis for data whose largest Rf is `largest`, with numbers written
// with `decimal_separator`. The maximum is the first nice value at least 5 %
// above `largest` (and at least 2): on the logarithmic scale of the
// sequence 2, 3, 5, 10, 20, 30, 50, 100, ..., labelled at 1, 2, 5, 10, 20,
// 50, ... (and at 1.5 and 3 too while the maximum is at most 10), with
// unlabelled ticks at the other whole multiples of each power of ten; on
// the linear scale a whole multiple of a 1-2-5 step that gives four to
// eight labelled ticks from 1. A `largest` that is not a finite number
// above 1 gives the axis of 1 to 2.
RfAxis MakeRfAxis(double largest, RfScale scale,
                  const std::string& decimal_separator = ".");

// The phi axis: -90 to 90 degrees, labelled every 30, a minor tick between.
std::vector<AxisTick> PhiTicks();

// Text metrics that the layout needs, measured by the painter's font.
struct PlotTextMetrics {
  int height = 13;           // line height of the tick labels and titles
  int ascent = 10;           // ascent of that font
  int widest_rf_label = 20;  // the widest label of the Rf ticks
  int phi_label_half = 8;    // half the width of the widest phi label
  int rf_title_width = 12;   // the width of "Rf"
};

inline constexpr int kTickLength = 4;
inline constexpr int kMinorTickLength = 2;
inline constexpr int kTickLabelGap = 2;  // between a tick and its label
inline constexpr int kAxisTitleGap = 4;  // between labels and the title

// The frame of the data left of the legend (or below it where a narrow
// picture leaves more room there), with room at the left for the Rf tick
// labels and title and at the bottom for the phi tick labels and title;
// `footer` pixels at the bottom are kept for a caption line.
RfPhiLayout LayOutRfPhiPlot(int width, int height, const LegendLayout& legend,
                            const PlotTextMetrics& metrics, int footer = 0,
                            int unit = 1);

// The plot: three series of markers, drawn in this order (pre-strain,
// post-strain, optimal strain), and the theta-curves.
class RfPhiPlot final : public PlotSource {
 public:
  RfPhiPlot();

  // The plot to draw on `canvas`: the grid, the density contours, the
  // markers, the theta-curves over the data and under the optimal strain,
  // the axes, the curves' labels, the legend and the caption.
  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override;
  // `id` is an RfPhiEntry.
  void ToggleLegendEntry(int id) override;
  std::string Title() const override { return "Orvane Rf/phi plot"; }

  // Density contours of the data under the markers (chart/density_contours.h),
  // or none. A new analysis and Clear() remove them.
  std::shared_ptr<const DensityContours> density_contours;

  RfPhiSeries retrodeformed;  // the markers before the strain (pre-strain)
  RfPhiSeries measured;       // the markers as measured (post-strain)
  RfPhiSeries optimal;        // the optimal strain
  // The datum chosen in the grid, as measured and before the strain; drawn
  // over everything, in no legend, hidden until a datum is chosen.
  RfPhiSeries measured_highlight;
  RfPhiSeries retrodeformed_highlight;

  // The series in drawing order.
  std::vector<const RfPhiSeries*> SeriesList() const;
  std::vector<RfPhiSeries*> SeriesList();

  RfScale Scale() const { return scale_; }
  void SetScale(RfScale scale) { scale_ = scale; }
  // Shows or hides the retrodeformed markers.
  void SetShowRetrodeformed(bool on) { retrodeformed.SetActive(on); }

  // The initial ratios of the theta-curves; the curves are recomputed for
  // the strain shown.
  const std::vector<float>& ThetaCurveRatios() const { return curve_ratios_; }
  void SetThetaCurveRatios(const std::vector<float>& ratios);
  const std::vector<ThetaCurve>& ThetaCurves() const { return curves_; }
  bool ShowThetaCurves() const { return show_curves_; }
  void SetShowThetaCurves(bool on) { show_curves_ = on; }

  // The decimal separator of the tick labels.
  const std::string& DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(const std::string& sep) { separator_ = sep; }

  // The results of an analysis: measured[1..count] and
  // retrodeformed[1..count] as markers, the optimal strain, its theta-curves
  // computed with state.pre_to_post. Without data the plot is empty (no
  // markers, no curves). Allocation failures are thrown as std::bad_alloc
  // (the plot is then partly filled: Clear() it).
  void ShowAnalysis(const AnalysisState& state, AnalysisResult result);
  void Clear();
  bool HasStrain() const { return has_strain_; }

  // Points at datum i (1 .. state.count): its measured and retrodeformed
  // shapes into the highlight series, shown. A new analysis hides them.
  void Highlight(const AnalysisState& state, std::int32_t i);
  void HideHighlight();

  // The largest Rf of the markers shown (1 when none is shown).
  double LargestShownRatio() const;
  // The Rf axis of what is shown, on the plot's scale.
  RfAxis Axis() const;

 private:
  std::vector<float> curve_ratios_;
  std::vector<ThetaCurve> curves_;
  MinkowskiMatrix pre_to_post_{};
  bool has_strain_ = false;
  bool show_curves_ = true;
  RfScale scale_ = RfScale::kLogarithmic;
  std::string separator_ = ".";
};

// What a legend entry of the plot stands for: its id in the model's legend.
enum class RfPhiEntry { kRetrodeformed, kMeasured, kOptimal, kThetaCurves };

// The axis titles: "Long-axis orientation \u03c6 (\u00b0)" and "Rf".
std::string PhiAxisTitle();
std::string RfAxisTitle();

// The style a series of the plot is drawn with in the palette.
SeriesStyle RfPhiStyle(const RfPhiPlot& plot, const RfPhiSeries& series,
                       ChartPalette palette);

// The plot's layout on `canvas` (in the plot's own pixels, the size over
// the scale).
RfPhiLayout LayOutRfPhiPlot(const RfPhiPlot& plot, const PlotCanvas& canvas,
                            const TextMeasure& measure);

// The style of the theta-curves (a grey line; no markers) and their title
// in the legend.
SeriesStyle ThetaCurveStyle();

}  // namespace orvane

#endif  // ORVANE_CHART_RF_PHI_PLOT_H_

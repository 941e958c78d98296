// The equal-area chart as data: its polar series with their styles and
// points, the radial scale and the iso-R circles, and the operations the
// analysis performs on them. Plain C++ (no Qt), so that tests can check
// what the chart will show without a window; chart_render draws it.
#ifndef ORVANE_UI_CHART_MODEL_H_
#define ORVANE_UI_CHART_MODEL_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_state.h"

namespace orvane {

// A colour as 0xRRGGBB.
using Trgb = std::uint32_t;

enum class MarkerStyle { kNone, kCircle, kDiamond, kSquare, kCross };

struct SeriesStyle {
  std::string title;
  bool show_in_legend = true;
  Trgb color = 0x000000;  // the series colour
  MarkerStyle marker = MarkerStyle::kNone;
  int half_width = 0;           // pixels left and right of the point
  int half_height = 0;          // pixels above and below the point
  std::optional<Trgb> fill;     // none: hollow marker
  std::optional<Trgb> outline;  // none: no outline
  int outline_width = 1;
  bool square_caps = false;
  int transparency = 0;  // percent by which markers blend with the ground
  // The line through the points, in point order.
  bool line_visible = false;
  Trgb line_color = 0x000000;
  int line_width = 1;
  bool closed = false;  // the line returns from the last point to the first
  // The plot disc, painted by the first active series of the list.
  std::optional<Trgb> circle_background;  // none: not filled
  bool circle_outline = true;             // black, one pixel
};

// A series of a polar chart. Points are kept sorted by angle, ascending; a
// point added with an angle equal to existing ones goes after them.
class PolarSeries {
 public:
  explicit PolarSeries(SeriesStyle style) : style_(std::move(style)) {}

  const SeriesStyle& Style() const { return style_; }
  SeriesStyle& MutableStyle() {
    ++revision_;
    return style_;
  }

  // AddPolar(angle in degrees, value); the label and colour of the chart
  // component are always empty and the series' own.
  void AddPolar(double angle, double value);
  void Clear();
  // The points in angle order (sorted on first use after additions).
  const std::vector<PolarPoint>& Points() const;
  std::size_t Count() const { return points_.size(); }

  bool Active() const { return active_; }
  void SetActive(bool on);
  // The area transparency: it applies to filled areas only, and no series
  // fills one, so it changes nothing that is drawn.
  int Transparency() const { return area_transparency_; }
  void SetTransparency(int percent) { area_transparency_ = percent; }

  // Changes with every change of points or style (not of Active), so that
  // a painter can cache what it drew.
  std::uint64_t Revision() const { return revision_; }

 private:
  SeriesStyle style_;
  mutable std::vector<PolarPoint> points_;
  mutable bool sorted_ = true;
  bool active_ = true;
  int area_transparency_ = 0;
  std::uint64_t revision_ = 0;
};

// At most this many iso-R circles (R = 2 ... 101). Each is a 181-point
// series; at R = 100 neighbouring circles lie 1 / (2 sqrt R) = 0.05 apart in
// zeta, under a pixel on a disc of the design size that reaches zeta = 10,
// so further circles could not be told apart and would only cost time.
inline constexpr int kMaxIsoRcircles = 100;

inline constexpr double kInitialRadialMaximum = 3.0;

// Chart1: the six design-time series, then the iso-R circles.
class EqualAreaChart {
 public:
  EqualAreaChart();

  PolarSeries SeriesB;   // bootstrap solutions
  PolarSeries SeriesI;   // pre-strain (retrodeformed) ellipses
  PolarSeries SeriesF;   // post-strain (measured) ellipses
  PolarSeries SeriesO;   // the optimal strain
  PolarSeries SeriesFh;  // highlight of a measured ellipse
  PolarSeries SeriesIh;  // highlight of its retrodeformed ellipse

  // The circles of equal axial ratio R = 2, 3, ..., smallest first.
  const std::vector<std::unique_ptr<PolarSeries>>& IsoRcircle() const {
    return iso_r_circle_;
  }
  int IsoRcircleCount() const { return static_cast<int>(iso_r_circle_.size()); }

  // The radial scale: radius 0 at the centre, this value at the disc's edge.
  double LeftAxisMaximum() const { return left_axis_maximum_; }
  void SetLeftAxisMaximum(double m);

  // The series list in drawing order.
  std::vector<const PolarSeries*> SeriesList() const;
  std::vector<PolarSeries*> SeriesList();
  // The series that paints the disc: the first active one, or none.
  const PolarSeries* DiscSeries() const;

  // Circles for R = 2 ... ceil(Rmax) (at most kMaxIsoRcircles), the
  // outermost carrying a radius to the right; none for Rmax <= 1 or a
  // non-finite Rmax. Replaces the circles held.
  void CreateIsoRcircles(float Rmax);
  void DestroyIsoRcircles();

  // Empties SeriesB, SeriesF, SeriesI and SeriesO (Active untouched).
  void ClearDataSeries();
  // The measured ellipses into SeriesF; the radial maximum from the
  // largest measured R (the analysis' RadialMaximum).
  void PlotDatF(const AnalysisState& state);
  // The retrodeformed ellipses into SeriesI.
  void PlotDatI(const AnalysisState& state);
  // The optimal strain into SeriesO, whose line pen is switched on.
  void PlotOptimal(const AnalysisState& state);
  // The kept bootstrap solutions into SeriesB, made active; an analysis
  // without them leaves SeriesB empty, so that no cloud of other data stays.
  void PlotBootstrap(const AnalysisState& state);
  // The chart operations of an Open after the analysis, in their order:
  // circles removed, measured points and radial maximum, optimal point,
  // pre-strain points, circles up to the largest R, bootstrap cloud.
  void PlotAnalysis(const AnalysisState& state);
  // What an Open shows once the analysis has run: its results, or the
  // start-up chart when there were no data.
  void ShowAnalysis(const AnalysisState& state, AnalysisResult result);
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
  std::vector<std::unique_ptr<PolarSeries>> iso_r_circle_;
  double left_axis_maximum_ = kInitialRadialMaximum;
};

// The styles of the six design-time series.
SeriesStyle StyleOfSeriesB();
SeriesStyle StyleOfSeriesI();
SeriesStyle StyleOfSeriesF();
SeriesStyle StyleOfSeriesO();
SeriesStyle StyleOfSeriesFh();
SeriesStyle StyleOfSeriesIh();
SeriesStyle StyleOfIsoRcircle();

}  // namespace orvane

#endif  // ORVANE_UI_CHART_MODEL_H_

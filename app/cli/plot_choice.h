// SPDX-License-Identifier: MIT
// Which plot orvane-cli --chart draws: the equal-area chart (the default),
// the Rf/phi plot with its Rf scale and the initial ratios of its
// theta-curves, or the Fry plot of the centre-based estimate.
#ifndef ORVANE_APP_CLI_PLOT_CHOICE_H_
#define ORVANE_APP_CLI_PLOT_CHOICE_H_

#include <memory>
#include <string>
#include <vector>

#include "chart/chart_projection.h"
#include "chart/density_contours.h"
#include "chart/ellipsoid_plots.h"
#include "chart/equal_area_chart.h"
#include "chart/fry_plot.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "core/ellipsoid.h"
#include "render/plot_picture.h"

namespace orvane::cli {

struct PlotChoice {
  bool rf_phi = false;  // --plot rfphi
  bool fry = false;     // --plot fry
  // --plot flinn, hsu or axes: a plot of a study's ellipsoid; empty for
  // the plots of one file.
  std::string study;
  // --panels: the plots side by side in one picture, in this order (the
  // first, "polar" or "rfphi", then the other); empty: one plot.
  std::vector<std::string> panels;
  RfScale scale = RfScale::kLogarithmic;
  std::vector<float> theta_ratios = DefaultThetaCurveRatios();
  bool rf_phi_options = false;  // --rf-scale or --theta-curves was given
  // The polar chart's projection (--projection, or a settings file's).
  ChartProjection projection = ChartProjection::kEqualArea;
  bool contours = false;  // density contours under the markers
  ContourSettings contour_settings;
};

// A plot option (--plot, --panels, --rf-scale, --theta-curves), into
// `choice`, with
// its value (nullptr when none was given); `error` is set when it is
// wrong.
void PlotOption(const std::string& arg, const char* value, PlotChoice& choice,
                std::string& error);

// The plot chosen, filled with the analysis, as a picture for the writers.
// `sep` is the decimal separator of its numbers. The Fry plot draws
// `centres` (which need not outlive this: the plot keeps its points) beside
// the analysis' hyperbolic mean; without them it is empty.
class ChosenPlot {
 public:
  ChosenPlot(const PlotChoice& choice, const AnalysisState& state,
             AnalysisResult result, const std::string& sep,
             const CentreStrainResult* centres = nullptr);
  const PlotPicture& Picture() const;

 private:
  EqualAreaChart chart_;
  RfPhiPlot rf_phi_;
  FryPlot fry_;
  std::unique_ptr<PlotPicture> chart_picture_;
  std::unique_ptr<PlotPicture> rf_phi_picture_;
  std::unique_ptr<PlotPicture> fry_picture_;
  std::unique_ptr<PlotPicture> picture_;
};

// The plot of a study's ellipsoid that `choice` names (the Flinn plot
// unless it names the Hsu plot or the axes), as a picture for the writers.
class StudyPlot {
 public:
  StudyPlot(const PlotChoice& choice, const EllipsoidResult& result,
            const std::string& sep);
  const PlotPicture& Picture() const { return *picture_; }

 private:
  FlinnPlot flinn_;
  HsuPlot hsu_;
  AxesPlot axes_;
  std::unique_ptr<PlotPicture> picture_;
};

}  // namespace orvane::cli

#endif  // ORVANE_APP_CLI_PLOT_CHOICE_H_

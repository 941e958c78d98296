// SPDX-License-Identifier: MIT
#include "cli/plot_choice.h"

#include "core/theta_curves.h"
#include "render/panel_picture.h"
#include "render/plot_render.h"

namespace orvane::cli {

void PlotOption(const std::string& arg, const char* given, PlotChoice& choice,
                std::string& error) {
  const std::string value = given ? given : "";
  if (arg == "--plot") {
    if (value == "polar" || value == "rfphi" || value == "fry") {
      choice.rf_phi = value == "rfphi";
      choice.fry = value == "fry";
    } else if (value == "flinn" || value == "hsu" || value == "axes") {
      choice.study = value;
    } else {
      error =
          "--plot needs polar (the equal-area chart), rfphi or fry; with "
          "--study flinn, hsu or axes";
    }
  } else if (arg == "--panels") {
    if (value == "polar,rfphi") {
      choice.panels = {"polar", "rfphi"};
    } else if (value == "rfphi,polar") {
      choice.panels = {"rfphi", "polar"};
    } else {
      error = "--panels needs polar,rfphi or rfphi,polar";
    }
  } else if (arg == "--rf-scale") {
    if (value == "log" || value == "linear") {
      choice.scale = value == "log" ? RfScale::kLogarithmic : RfScale::kLinear;
      choice.rf_phi_options = true;
    } else {
      error = "--rf-scale needs log or linear";
    }
  } else if (arg == "--theta-curves") {
    const Status read =
        given ? ParseThetaCurveRatios(value, choice.theta_ratios)
              : Status(StatusCode::kReadError, "no initial ratios given");
    if (read.ok()) {
      choice.rf_phi_options = true;
    } else {
      error =
          "--theta-curves needs initial ratios Ri such as "
          "1.25,1.5,2,3,5: " +
          read.message();
    }
  }
}

ChosenPlot::ChosenPlot(const PlotChoice& choice, const AnalysisState& state,
                       AnalysisResult result, const std::string& sep,
                       const CentreStrainResult* centres) {
  const bool panels = !choice.panels.empty();
  if (choice.fry && !panels) {
    fry_.SetDecimalSeparator(sep);
    if (centres != nullptr) {
      // The hyperbolic mean where the analysis reached its strain.
      const bool strain =
          state.count > 0 && (result == AnalysisResult::kFewerThanFive ||
                              result == AnalysisResult::kBootstrapped);
      fry_.ShowCentres(*centres, state.strain.ratio, state.strain.phi, strain);
    }
    fry_picture_ = std::make_unique<ModelPicture>(fry_);
    return;
  }
  if (choice.rf_phi || panels) {
    rf_phi_.SetScale(choice.scale);
    rf_phi_.SetDecimalSeparator(sep);
    rf_phi_.SetThetaCurveRatios(choice.theta_ratios);
    rf_phi_.ShowAnalysis(state, result);
    if (choice.contours) {
      rf_phi_.density_contours =
          RfPhiDensityContours(rf_phi_, state, choice.contour_settings);
    }
    rf_phi_picture_ = std::make_unique<ModelPicture>(rf_phi_);
  }
  if (!choice.rf_phi || panels) {
    chart_.SetProjection(choice.projection);
    chart_.StartUp();
    chart_.ShowAnalysis(state, result);
    if (choice.contours) {
      chart_.density_contours =
          ChartDensityContours(chart_, state, choice.contour_settings);
    }
    chart_picture_ = std::make_unique<ModelPicture>(chart_);
  }
  if (panels) {
    std::vector<const PlotPicture*> shown;
    for (const std::string& name : choice.panels) {
      shown.push_back(name == "polar" ? chart_picture_.get()
                                      : rf_phi_picture_.get());
    }
    picture_ = std::make_unique<PanelPicture>(std::move(shown));
  }
}

StudyPlot::StudyPlot(const PlotChoice& choice, const EllipsoidResult& result,
                     const std::string& sep) {
  PlotSource* plot = &flinn_;
  if (choice.study == "hsu") {
    hsu_.SetDecimalSeparator(sep);
    hsu_.ShowEllipsoid(result);
    plot = &hsu_;
  } else if (choice.study == "axes") {
    axes_.SetDecimalSeparator(sep);
    axes_.ShowEllipsoid(result);
    plot = &axes_;
  } else {
    flinn_.SetDecimalSeparator(sep);
    flinn_.ShowEllipsoid(result);
  }
  picture_ = std::make_unique<ModelPicture>(*plot);
}

const PlotPicture& ChosenPlot::Picture() const {
  if (picture_) return *picture_;
  if (fry_picture_) return *fry_picture_;
  return chart_picture_ ? *chart_picture_ : *rf_phi_picture_;
}

}  // namespace orvane::cli

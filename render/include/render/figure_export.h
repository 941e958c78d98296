// SPDX-License-Identifier: MIT
// Figures for print: the chart at a physical size and resolution, its
// markers, lines and text scaled with the resolution so that it looks like
// the screen's chart, in a figure's style. The settings come from the
// export dialog, from orvane-cli's options or from a settings file of
// "key = value" lines, so that a batch of samples gets identical figures.
#ifndef ORVANE_RENDER_FIGURE_EXPORT_H_
#define ORVANE_RENDER_FIGURE_EXPORT_H_

#include <QSize>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/equal_area_chart.h"
#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "core/ellipsoid.h"
#include "core/status.h"
#include "render/chart_render.h"
#include "render/picture_export.h"

namespace orvane {

// The screen's chart is drawn at this resolution: a figure at this many
// dots per inch has the screen's pixels.
inline constexpr int kScreenDpi = 96;

// SVG and PDF figures are drawn at this resolution, a figure's layout
// grid (chart/plot_model.h's kFigureUnit times the screen's), so that their
// size and every coordinate are exact to 1/768 inch; a metafile's at
// kScreenDpi, its records' pixels.
inline constexpr int kVectorFigureDpi = kScreenDpi * kFigureUnit;
// The largest side of the image that carries a large series in an SVG or
// PDF figure, drawn at the settings' dpi where that is smaller.
inline constexpr double kMostFigureImageSide = 4096;

// Limits of the settings.
inline constexpr double kMinFigureSideMm = 32;  // 120 screen pixels and more
inline constexpr double kMaxFigureSideMm = 1000;
inline constexpr int kMinFigureDpi = 96;
inline constexpr int kMaxFigureDpi = 1200;

struct FigureSettings {
  // The size in millimetres; the default is the screen chart's 640 x 362
  // pixels at 96 dots per inch.
  double width_mm = 169.3;
  double height_mm = 95.8;
  // Dots per inch of a raster (.png, .bmp), and of the image of a large
  // series in a vector picture; vector pictures (.svg, .pdf, .emf) keep
  // their physical size.
  int dpi = 300;
  bool figure_style = false;
  ChartPalette palette = ChartPalette::kStandard;
  bool caption = false;
  CloudDrawing cloud = CloudDrawing::kBelow;
  // Beside the plot, inside its frame where it covers the fewest data, or
  // none.
  LegendPlacement legend = LegendPlacement::kOutside;
  // The chart's projection, where the settings name one; none: the chart's
  // own (the window's View menu). orvane-cli plots the chart in it.
  std::optional<ChartProjection> projection;
  // Text, markers and lines in points, whatever the size and resolution.
  PrintSizes print;
  bool operator==(const FigureSettings&) const = default;
};

// The setting names, as in a settings file and as orvane-cli's options
// without their leading "--".
inline constexpr const char* kFigureSettingNames =
    "figure-size, dpi, figure-style, palette, caption, cloud, legend, "
    "projection, font-size, marker-size and line-width";

// Sets one setting from its text: "figure-size" WxH in millimetres (for
// example 85x60 or 85.5x60), "dpi" a whole number, "figure-style" and
// "caption" yes or no, "palette" standard or colour-blind, "cloud" below,
// above or outline, "legend" outside, inside or none, "projection"
// equal-area or elliott, "font-size", "marker-size" and "line-width" in
// points (for example 8 or 0.5) within the kMin...Pt and kMax...Pt limits
// of chart/plot_model.h. A refusal's message
// names the setting and its values.
Status SetFigureSetting(std::string_view key, std::string_view value,
                        FigureSettings& settings);

// Reads settings from the text of a settings file: one "key = value" per
// line; blank lines and lines that begin with "#" are skipped. The first
// line that is not a setting is refused with a message that names it
// ("line 3: ..."); the settings are then left as they were.
Status ParseFigureSettings(std::string_view text, FigureSettings& settings);
// The same for the text of the settings file `path` (as io's
// ReadSmallTextFile reads it): a refusal names the file.
Status ParseFigureSettingsFile(const std::string& path, std::string_view text,
                               FigureSettings& settings);
// The settings as the text of a settings file (a projection only where
// one is set, the legend only where it is not beside the plot, a print
// size only where it is not the default).
std::string FigureSettingsText(const FigureSettings& settings);

// The figure's size in pixels for a picture of this format: the physical
// size at FigureDpi.
QSize FigurePixelSize(const FigureSettings& settings, PictureFormat format);
// The dots per inch the figure is drawn at in this format: the settings'
// for a raster, kVectorFigureDpi for SVG and PDF, kScreenDpi for EMF.
int FigureDpi(const FigureSettings& settings, PictureFormat format);
// The render options of the figure in this format, with the caption text
// (used when the settings ask for a caption).
ChartRenderOptions FigureRenderOptions(const FigureSettings& settings,
                                       PictureFormat format,
                                       const QString& caption);

// The caption of an analysis: N, R_s and phi_s with their confidence
// limits where there are any, set typographically ("N = 252   Rₛ = 1.628
// +0.039/−0.039   φₛ = 25.736 +1.086/−1.246": a subscript s, the Greek
// phi, a true minus sign); empty without data.
QString FigureCaption(const AnalysisState& state, AnalysisResult result,
                      const std::string& sep);

// The caption of a Fry plot: the centre-based method, its pairs, R and phi
// with their 95 % limits where there are any ("Normalised Fry (Erslev
// 1988)   1234 pairs   R = 2.013 [1.950, 2.080]   φ = 29.812 [27.101,
// 32.540]"); empty where no estimate was made.
QString CentreFigureCaption(const CentreStrainResult& result,
                            const std::string& sep);

// The caption of a plot of a study's strain ellipsoid: the sections, the
// axial ratios and the shape with their 95 % limits where there are any
// ("3 sections   X/Y = 1.667 [1.601, 1.740]   Y/Z = 1.500 [...]   k =
// 1.333   ν = −0.12   ε_s = 0.61"); empty where no ellipsoid was fitted.
QString EllipsoidFigureCaption(const EllipsoidResult& result,
                               const std::string& sep);

// Writes the figure to `path` in the format of its extension, as
// SaveChartPictureFile does; a raster figure of more than kMaxPictureSide
// pixels a side is refused with a message that says so. Every figure keeps its
// plot large enough (ChartRenderOptions::fit_figure): what it left out or moved
// for that goes into `notes` when given.
Status SaveFigureFile(const EqualAreaChart& chart,
                      const FigureSettings& settings, const QString& caption,
                      const QString& path,
                      std::vector<std::string>* notes = nullptr);
// The same for any plot (the chart's is this with ModelPicture).
Status SaveFigureFile(const PlotPicture& plot, const FigureSettings& settings,
                      const QString& caption, const QString& path,
                      std::vector<std::string>* notes = nullptr);

// What the figure of these settings, in this format, leaves out or moves
// to keep its plot large enough, one sentence each.
std::vector<std::string> FigureNotes(
    const PlotPicture& plot, const FigureSettings& settings,
    const QString& caption, PictureFormat format = PictureFormat::kSvg);

}  // namespace orvane

#endif  // ORVANE_RENDER_FIGURE_EXPORT_H_

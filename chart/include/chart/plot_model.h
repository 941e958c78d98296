// SPDX-License-Identifier: MIT
// A plot as data, ready to draw: its mapping from the data's coordinates to
// the plot's pixels, and its layers in drawing order (markers, lines and
// curves, filled density bands, text, the legend). Every plot of the
// program builds one of these for a size and a look, with the text metrics
// of the device it is drawn on, and render/plot_render draws any of them on
// the screen, into a raster or into a vector picture. A new kind of plot is
// a mapping, its styles and the code here that lays out its layers. Plain
// C++ (no Qt).
#ifndef ORVANE_CHART_PLOT_MODEL_H_
#define ORVANE_CHART_PLOT_MODEL_H_

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "chart/chart_geometry.h"
#include "chart/chart_projection.h"
#include "chart/plot_mapping.h"
#include "chart/polar_series.h"

namespace orvane {

struct DensityContours;

// How the bootstrap cloud is drawn.
enum class CloudDrawing {
  kBelow,    // markers beneath the data (the screen)
  kAbove,    // markers over the measured and pre-strain data
  kOutline,  // the outline of the region the kept solutions cover
};

enum class ChartPalette {
  kStandard,     // the screen's colours
  kColourBlind,  // the Okabe-Ito colours, told apart with any colour vision
};

// How a plot is drawn: the default is the screen's look.
// Where a plot's legend goes.
enum class LegendPlacement {
  kOutside,  // beside the plot, at the top right (the screen's)
  kInside,   // in the corner of the plot's frame that covers the fewest data
  kNone,     // nowhere
};

// A figure's sizes in points (1/72 inch), the same at every resolution.
struct PrintSizes {
  double font = 8;    // labels and the caption; ticks, axis titles and the
                      // legend one point less, but never below kMinFontPt
  double marker = 3;  // the data's markers across; the others in proportion
  double line = 0.5;  // circles, curves and grid lines (the screen's one
                      // pixel wide lines); frames and ticks half as wide again
  bool operator==(const PrintSizes&) const = default;
};

// The limits of a figure's sizes, in points.
inline constexpr double kMinFontPt = 6;
inline constexpr double kMaxFontPt = 24;
inline constexpr double kMinMarkerPt = 0.5;
inline constexpr double kMaxMarkerPt = 20;
inline constexpr double kMinLinePt = 0.1;
inline constexpr double kMaxLinePt = 5;

// The most data of a series that a label's placement counts: a larger
// series is sampled evenly.
inline constexpr std::size_t kLabelDataSample = 65536;

// Plot pixels (1/96 inch at the screen's scale) per point.
inline constexpr double kPixelsPerPoint = 96.0 / 72.0;

// A figure's plot pixels per screen pixel: its layout is on a grid of
// 1/768 inch.
inline constexpr int kFigureUnit = 8;

struct ChartRenderOptions {
  // Pixels of the drawing per screen pixel: markers, lines and text grow
  // with it, and the plot is laid out at its size divided by the scale, so
  // that it looks like the screen's plot at any size.
  double scale = 1.0;
  // The screen keeps the data grid's column clear; a saved picture has no
  // grid over it.
  bool grid_column = true;
  // A figure's look: a legend without check boxes and on white, listing the
  // series drawn; labels on the iso-R circles.
  bool figure_style = false;
  CloudDrawing cloud = CloudDrawing::kBelow;
  ChartPalette palette = ChartPalette::kStandard;
  // A line under the plot (UTF-8; empty: none).
  std::string caption;
  LegendPlacement legend = LegendPlacement::kOutside;
  // A figure keeps its plot large enough at every size: where the legend
  // beside it, or the caption, would leave the plot frame's smaller side
  // below kLeastPlotShare of the figure's, the legend goes inside the
  // frame, and out where it would cover more than a quarter of it, and the
  // caption is left out; the model's notes say so.
  bool fit_figure = false;
  // The iso-R circles labelled on the screen too (a figure's always are).
  bool iso_ratio_labels = false;
  // A figure's text, markers and lines in print units; none: the screen's
  // sizes in its pixels.
  std::optional<PrintSizes> print;
  // Plot pixels per screen pixel of the layout's lengths (margins, gaps,
  // ticks) and of a point's kPixelsPerPoint: a figure is laid out on a grid
  // kFigureUnit times finer than the screen's 1/96 inch, so that nothing
  // of it is snapped to the screen's pixels.
  int unit = 1;
  // Device pixels per plot pixel of an image that carries a large series
  // in a vector picture (the figure's raster resolution); 0: the scale.
  double image_scale = 0;
};

// The least share of a figure's smaller side that its plot frame keeps.
inline constexpr double kLeastPlotShare = 0.4;

// The options of a saved picture with the screen's look.
inline ChartRenderOptions PictureOptions() {
  ChartRenderOptions o;
  o.grid_column = false;
  return o;
}

// A scale that is a finite number above zero, else 1.
double ValidScale(double scale);

// The plot's size in its own pixels: the drawing's size over the scale.
Pixel OwnSize(int width, int height, double scale);

// The two faces of a plot's text: the screen's (the legend's, hinted) and
// a figure's own (the same face without hinting, so that text is as wide
// on every device and at every scale as it was measured).
// kFigureSmall is the figure's face for ticks, axis titles and the legend:
// the figure face itself, but a point smaller in print.
enum class TextFace { kScreen, kFigure, kFigureSmall };

// The sizes of the faces in the plot's pixels; 0 keeps a face's own (the
// screen's) size.
struct FaceSizes {
  double screen = 0;
  double figure = 0;
  double figure_small = 0;
  double Of(TextFace face) const {
    return face == TextFace::kScreen   ? screen
           : face == TextFace::kFigure ? figure
                                       : figure_small;
  }
  bool operator==(const FaceSizes&) const = default;
};

// The faces' sizes of a look: in print, the figure's labels at its font
// size and the rest a point less; else the screen's.
FaceSizes FaceSizesOf(const ChartRenderOptions& options);

struct FaceMetrics {
  int height = 13;
  int ascent = 10;
  int descent = 3;
};

// Measures text as the device draws it; the render layer gives the one of
// its fonts.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual FaceMetrics Metrics(TextFace face) const = 0;
  // The advance of the UTF-8 text.
  virtual int Width(TextFace face, std::string_view text) const = 0;
};

// The caption in lines that fit a plot `width` pixels wide: its parts,
// separated by three blanks, joined while they fit in the figure's face;
// none for no caption.
std::vector<std::string> CaptionLines(const std::string& caption, int width,
                                      const TextMeasure& measure, int unit = 1);

// The pixels a caption of these lines keeps at the bottom of a plot.
int CaptionHeight(std::size_t lines, const TextMeasure& measure, int unit = 1);

// The face of a plot's labels: the figure's small face in a figure, the
// screen's otherwise.
TextFace LabelFace(const ChartRenderOptions& options);

// The decimal value m x 10^e (m whole) as the double nearest to it, so that
// the shortest decimal of the double is the value's own digits: a tick's
// value.
double DecimalValue(long long m, int e);

// A tick's label: the fixed-point digits of `value` with the decimal
// separator `sep`; where `true_minus`, a leading hyphen becomes the true
// minus sign (U+2212).
std::string TickLabel(double value, const std::string& sep,
                      bool true_minus = false);

// How a figure's legend and caption fit beside its plot (see
// ChartRenderOptions::fit_figure).
struct FigureFit {
  LegendPlacement legend = LegendPlacement::kOutside;
  bool caption = true;
  std::vector<std::string> notes;
};

// Fits the legend (of box `legend_box`) and the caption (of lines
// `caption`) of a figure of `width` x `height` own pixels:
// `plot_frame(placement, caption)` gives the plot's frame laid out so. A
// caption with a line wider than the figure is left out too. Without
// options.fit_figure the options stand as given.
FigureFit FitFigure(
    const ChartRenderOptions& options, int width, int height,
    const PixelRect& legend_box, const std::vector<std::string>& caption,
    const TextMeasure& measure,
    const std::function<PixelRect(LegendPlacement, bool)>& plot_frame);

// A plot's layout with a figure's legend and caption fitted to it.
template <typename Layout>
struct FittedLayout {
  Layout layout;
  LegendPlacement placement = LegendPlacement::kOutside;
  std::vector<std::string> caption;  // the caption's lines kept
  std::vector<std::string> notes;    // what was left out or moved, and why
};

// Lays out a plot of `size` own pixels with its legend (laid out as
// `legend`) and the options' caption, fitted by FitFigure:
// `lay_out(beside, footer)` lays the plot out with the legend `beside` it
// (an empty layout where the legend goes inside or nowhere) and `footer`
// pixels kept at the bottom for the caption; its result has the frame
// `plot`. Every kind of plot lays itself out through this.
template <typename LayOut>
auto FitLayout(const ChartRenderOptions& options, Pixel size,
               const LegendLayout& legend, const TextMeasure& measure,
               const LayOut& lay_out) {
  FittedLayout<decltype(lay_out(legend, 0))> fitted;
  const int unit = options.unit;
  fitted.caption = CaptionLines(options.caption, size.x, measure, unit);
  auto at = [&](LegendPlacement placement, bool caption) {
    return lay_out(
        placement == LegendPlacement::kOutside ? legend : LegendLayout{},
        caption ? CaptionHeight(fitted.caption.size(), measure, unit) : 0);
  };
  FigureFit fit =
      FitFigure(options, size.x, size.y, legend.box, fitted.caption, measure,
                [&](LegendPlacement p, bool c) { return at(p, c).plot; });
  fitted.placement = fit.legend;
  if (!fit.caption) fitted.caption.clear();
  fitted.layout = at(fitted.placement, fit.caption);
  fitted.notes = std::move(fit.notes);
  return fitted;
}

// Takes a fitted layout into a plot's scene: the layout, the legend's
// placement, the caption's lines kept and the notes.
template <typename Scene, typename Layout>
void TakeFitted(Scene& scene, FittedLayout<Layout>&& fitted) {
  scene.placement = fitted.placement;
  scene.caption = std::move(fitted.caption);
  scene.layout = std::move(fitted.layout);
  scene.notes = std::move(fitted.notes);
}

// Lays out a plot's legend of titles `title_widths` wide, written in
// `face`, for a plot `width` own pixels wide: with check boxes on the
// screen, without in a figure.
LegendLayout LayOutLegendOfTitles(int width,
                                  const std::vector<int>& title_widths,
                                  const TextFace& face,
                                  const ChartRenderOptions& options,
                                  const TextMeasure& measure);

// Moves a laid-out legend so that its box's top left corner is at (left,
// top).
void MoveLegend(LegendLayout& legend, int left, int top);

// A point of a line: a place in the data's coordinates (a, b) as the
// mapping takes them, moved by (dx, dy) of the plot's pixels (a tick's
// length, say).
struct PlotVertex {
  double a = 0;
  double b = 0;
  double dx = 0;
  double dy = 0;
};

// The markers of one series. The points stay the series' own: the layer
// places the i-th of them, on the screen's whole pixels or at its exact
// place, when it is drawn (on several threads for large series).
struct MarkerLayer {
  SeriesStyle style;
  std::size_t count = 0;
  // What a drawing of the markers kept between repaints depends on: the
  // series, its revision, and the numbers that place and colour its
  // points at this layout.
  const void* source = nullptr;
  std::uint64_t revision = 0;
  std::array<double, 6> placement{};
  // A large series is blended on a layer of its own, then drawn, on every
  // raster (as the screen does with its cache), not marker by marker where
  // no cache is kept.
  bool own_layer = false;
  std::function<Pixel(std::size_t)> pixel;
  std::function<PlotPosition(std::size_t)> place;
};

// The markers of `points` (which stay the caller's and must outlive the
// layer) placed through the mapping: `coordinates(point)` gives a point's
// two data coordinates (a, b) as the mapping takes them.
template <typename Point, typename Coordinates>
void PlaceMarkers(MarkerLayer& layer, const std::vector<Point>& points,
                  const PlotMapping& mapping, Coordinates coordinates) {
  layer.count = points.size();
  const std::vector<Point>* shown = &points;
  layer.pixel = [shown, mapping, coordinates](std::size_t i) {
    const auto [a, b] = coordinates((*shown)[i]);
    return mapping.Snapped(a, b);
  };
  layer.place = [shown, mapping, coordinates](std::size_t i) {
    const auto [a, b] = coordinates((*shown)[i]);
    return mapping.Exact(a, b);
  };
}

// Which devices draw a layer.
enum class PlotDevice { kAny, kRaster, kVector };

// Lines through vertices.
struct LineLayer {
  enum class Raster {
    kWholePixels,       // on whole pixels at every scale, without smoothing
    kSmoothWhenScaled,  // smoothed at the exact places on a scaled plot
    kSmooth,            // smoothed at the exact places at every scale
  };
  enum class Ends {
    kSquare,       // square caps, bevelled joins
    kSquareMiter,  // square caps, mitred joins
    kFlatRound,    // flat caps, round joins
    kRound,        // round caps and joins
  };
  enum class Clip {
    kNone,
    kVector,  // cut at the mapping's frame in a vector picture only
    kAlways,  // cut at the frame on every device
  };
  // In a vector picture a polar chart's circle of this radial value about
  // the centre, drawn as a true circle instead of its vertices, with the
  // radius to angle 0 where `radius` says so.
  struct TrueCircle {
    double value = 0;
    bool radius = false;
  };
  Rgb colour = 0x000000;
  double width = 1;  // pixels
  Raster raster = Raster::kWholePixels;
  Ends ends = Ends::kSquare;
  Clip clip = Clip::kNone;
  PlotDevice device = PlotDevice::kAny;
  bool closed = false;  // each line returns to its first vertex
  // A frame, axis or tick rather than a curve: in print it is drawn at the
  // frames' width.
  bool frame = false;
  // The vertices are exact places in the plot's pixels, (a, b) = (x, y),
  // rather than data.
  bool pixels = false;
  std::optional<TrueCircle> circle;
  // A line of one vertex is a dot.
  std::vector<std::vector<PlotVertex>> lines;
};

// The line of a series in its style: its colour and width, smoothed on a
// scaled plot, with these ends, cut at the frame as `clip` says.
LineLayer SeriesLine(const SeriesStyle& style, LineLayer::Ends ends,
                     LineLayer::Clip clip);

// A filled circle of a whole number of pixels about a place of the data,
// outlined or not.
struct CircleLayer {
  PlotVertex centre;
  int radius = 0;  // pixels
  std::optional<Rgb> fill;
  std::optional<Rgb> outline;
  double outline_width = 1;  // pixels
};

// Filled density contours, each band over the one before.
struct BandLayer {
  enum class Coordinates {
    // A contour's point (x, y) is the datum (x, e^y): the orientation and
    // the logarithm of the ratio.
    kLogRatio,
    // (x, y) in the radial unit about a polar chart's centre, y upwards.
    kCartesian,
  };
  std::shared_ptr<const DensityContours> contours;
  Coordinates coordinates = Coordinates::kLogRatio;
  bool clip = false;  // cut at the mapping's frame
};

// Text at whole pixels of the plot: each item's left end and baseline.
struct TextItem {
  std::string text;  // UTF-8
  int x = 0;
  int baseline = 0;
};
struct TextLayer {
  TextFace face = TextFace::kScreen;
  Rgb colour = 0x000000;
  std::vector<TextItem> items;
  // A thin white outline under each text, so that a figure's labels read
  // over the data beneath them.
  bool halo = false;
};

// The caption's lines under a plot whose frame is `plot`, in a picture of
// `width` x `height` own pixels: each line centred under the frame where
// the picture's margins allow, the last line on the bottom margin.
TextLayer CaptionLayer(const std::vector<std::string>& lines,
                       const PixelRect& plot, int width, int height, int unit,
                       const TextMeasure& measure);

// An entry of a legend: the style of its sample and title, whether what it
// stands for is shown, and the plot's own number for it (what a click on
// the entry toggles).
struct LegendItem {
  SeriesStyle style;
  bool checked = true;
  int id = -1;
};
struct LegendLayer {
  LegendLayout layout;
  std::vector<LegendItem> items;
  bool figure_style = false;  // on white without check boxes
};

// Rectangles of whole pixels filled each in its colour (a key's swatches),
// framed together in one colour where `frame` has a size.
struct SwatchLayer {
  struct Swatch {
    PixelRect box;
    Rgb fill = 0xFFFFFF;
  };
  std::vector<Swatch> swatches;
  PixelRect frame;
  Rgb frame_colour = 0x808080;
};

using PlotLayer = std::variant<MarkerLayer, LineLayer, CircleLayer, BandLayer,
                               TextLayer, LegendLayer, SwatchLayer>;

// The order in which corners are tried where they cover as few data.
enum class CornerOrder {
  kTopRightFirst,    // top right, top left, bottom right, bottom left
  kBottomLeftFirst,  // the other way round
};

// The box of `width` x `height` pixels, a margin in from a corner of
// `frame`, that covers the fewest markers of the marker layers among
// `layers` and no swatch (a key placed before it); on a tie the first in
// `order`.
PixelRect FewestDataCorner(int width, int height, const PixelRect& frame,
                           const std::vector<PlotLayer>& layers,
                           CornerOrder order = CornerOrder::kTopRightFirst,
                           int unit = 1);

// Moves the legend (its box and shadow) into FewestDataCorner of `frame`.
void PlaceLegendInside(LegendLayout& legend, const PixelRect& frame,
                       const std::vector<PlotLayer>& layers, int unit = 1);

// The grey of density band `index` of `count`, lowest first: from 94 %
// down to 62 % lightness, so that the blue and brown markers and the green
// cloud keep their contrast on the darkest band.
Rgb DensityBandGrey(int index, int count);

// A figure's key of the density contours, its text's baseline at
// `baseline` from `left` on: the lowest band's level, a swatch of each
// band's grey, lowest first, and the highest band's level, in data per
// unit hyperbolic area (with the decimal separator `sep`). None without
// bands.
void AddDensityKey(std::vector<PlotLayer>& layers,
                   const DensityContours& contours, int left, int baseline,
                   std::string_view sep, const TextMeasure& measure,
                   int unit = 1);

// The same key with the contours' `note` under it, on white, in the corner
// of `frame` with the fewest data (bottom left on a tie): drawn over the
// data where the note cannot lie beside them. False, with nothing added,
// where the box does not fit the frame.
// Whether that box fits the frame.
bool FitsDensityKeyBox(const DensityContours& contours, const std::string& note,
                       const PixelRect& frame, std::string_view sep,
                       const TextMeasure& measure, int unit = 1);
bool AddDensityKeyBox(std::vector<PlotLayer>& layers,
                      const DensityContours& contours, const std::string& note,
                      const PixelRect& frame, std::string_view sep,
                      const TextMeasure& measure, int unit = 1);

struct PlotModel {
  // The size in the plot's own pixels, and device pixels per plot pixel.
  int width = 0;
  int height = 0;
  double scale = 1;
  Rgb background = 0xFFFFFF;
  PlotMapping mapping;
  std::vector<PlotLayer> layers;
  // Every series whose drawing a cache may keep, shown or not: the cache
  // forgets the drawings of others.
  std::vector<const void*> series;
  // What a figure left out or moved to keep its plot large enough, one
  // sentence each ("The legend is drawn inside the plot: ...").
  std::vector<std::string> notes;
  // The sizes the text was measured at, and drawn at.
  FaceSizes faces;
  // Plot pixels per screen pixel of the layout (ChartRenderOptions::unit):
  // the renderer draws its own fixed lengths (a legend's frame, a label's
  // halo, a check box) this many times as large.
  int unit = 1;
  // Device pixels per plot pixel of an image that carries a large series
  // in a vector picture: the figure's raster resolution; 0: the scale.
  double image_scale = 0;

  // The legend, where the plot has one.
  const LegendLayer* Legend() const;
};

// Sets a model's text, lines and markers to the print sizes of the options,
// where they have them: the faces' sizes, every curve's width in proportion
// to the screen's, frames at half as wide again as a one-pixel curve, and
// every marker (and legend sample) scaled so that the data's markers are
// the print size across. Every plot calls it last, so that a new plot gets
// print sizes without code of its own.
void ApplyPrintSizes(PlotModel& model, const ChartRenderOptions& options);

// Where a plot is drawn: device pixels and the look.
struct PlotCanvas {
  int width = 0;
  int height = 0;
  ChartRenderOptions options;
  // The pixels at the right that the window's data grid covers below the
  // legend, where options.grid_column keeps them clear.
  int grid_column_width = 0;
};

// A kind of plot as the window, the picture writers and the figures see
// it: it builds its model for a canvas, and a click on a legend entry
// shows or hides what the entry stands for.
class PlotSource {
 public:
  virtual ~PlotSource() = default;
  virtual PlotModel Model(const PlotCanvas& canvas,
                          const TextMeasure& measure) const = 0;
  // Shows what the legend entry `id` stands for when hidden, hides it when
  // shown.
  virtual void ToggleLegendEntry(int id) = 0;
  // The title an SVG file records.
  virtual std::string Title() const = 0;
  // The projection of a polar chart; none for other plots.
  virtual std::optional<ChartProjection> PolarProjection() const {
    return std::nullopt;
  }
};

}  // namespace orvane

#endif  // ORVANE_CHART_PLOT_MODEL_H_

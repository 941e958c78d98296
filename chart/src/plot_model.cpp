// SPDX-License-Identifier: MIT
#include "chart/plot_model.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "chart/density_contours.h"

namespace orvane {

double ValidScale(double scale) {
  return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

Pixel OwnSize(int width, int height, double scale) {
  return {static_cast<int>(std::ceil(width / scale - 1e-9)),
          static_cast<int>(std::ceil(height / scale - 1e-9))};
}

std::vector<std::string> CaptionLines(const std::string& caption, int width,
                                      const TextMeasure& measure, int unit) {
  std::vector<std::string> lines;
  if (caption.empty()) return lines;
  const int room = width - 2 * kChartMargin * unit;
  static constexpr std::string_view kSeparator = "   ";
  std::size_t from = 0;
  while (true) {
    const std::size_t at = caption.find(kSeparator, from);
    std::string part = caption.substr(
        from, at == std::string::npos ? std::string::npos : at - from);
    // Joined to the line before while the two fit the room.
    std::string joined = lines.empty()
                             ? std::string()
                             : lines.back() + std::string(kSeparator) + part;
    if (!lines.empty() && measure.Width(TextFace::kFigure, joined) <= room) {
      lines.back() = std::move(joined);
    } else {
      lines.push_back(std::move(part));
    }
    if (at == std::string::npos) break;
    from = at + kSeparator.size();
  }
  return lines;
}

TextLayer CaptionLayer(const std::vector<std::string>& lines,
                       const PixelRect& plot, int width, int height, int unit,
                       const TextMeasure& measure) {
  TextLayer text{TextFace::kFigure, 0x000000, {}};
  const FaceMetrics fm = measure.Metrics(TextFace::kFigure);
  const int count = static_cast<int>(lines.size());
  const int centre = plot.left + plot.width / 2;
  const int margin = kChartMargin * unit;
  int baseline = height - margin - fm.descent - (count - 1) * fm.height;
  for (const std::string& line : lines) {
    const int line_width = measure.Width(TextFace::kFigure, line);
    const int left = std::clamp(centre - line_width / 2, margin,
                                std::max(margin, width - margin - line_width));
    text.items.push_back({line, left, baseline});
    baseline += fm.height;
  }
  return text;
}

TextFace LabelFace(const ChartRenderOptions& options) {
  return options.figure_style ? TextFace::kFigureSmall : TextFace::kScreen;
}

LegendLayout LayOutLegendOfTitles(int width,
                                  const std::vector<int>& title_widths,
                                  const TextFace& face,
                                  const ChartRenderOptions& options,
                                  const TextMeasure& measure) {
  const FaceMetrics fm = measure.Metrics(face);
  return LayOutLegend(width, title_widths, fm.height, fm.ascent,
                      !options.figure_style, options.unit);
}

double DecimalValue(long long m, int e) {
  if (e >= 0) {
    double v = static_cast<double>(m);
    for (int i = 0; i < e; ++i) v *= 10;
    return v;
  }
  double d = 1;
  for (int i = 0; i < -e; ++i) d *= 10;
  return static_cast<double>(m) / d;
}

std::string TickLabel(double value, const std::string& sep, bool true_minus) {
  char buffer[400];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                          std::chars_format::fixed);
  std::string text =
      error == std::errc() ? std::string(buffer, end) : std::string("?");
  if (const std::size_t dot = text.find('.'); dot != std::string::npos) {
    text.replace(dot, 1, sep);
  }
  if (true_minus && !text.empty() && text.front() == '-') {
    text.replace(0, 1, "\xE2\x88\x92");
  }
  return text;
}

int CaptionHeight(std::size_t lines, const TextMeasure& measure, int unit) {
  if (lines == 0) return 0;
  return static_cast<int>(lines) * measure.Metrics(TextFace::kFigure).height +
         2 * kChartMargin * unit;
}

LineLayer SeriesLine(const SeriesStyle& style, LineLayer::Ends ends,
                     LineLayer::Clip clip) {
  LineLayer line;
  line.colour = style.line_color;
  line.width = style.line_width;
  line.raster = LineLayer::Raster::kSmoothWhenScaled;
  line.ends = ends;
  line.clip = clip;
  return line;
}

FigureFit FitFigure(
    const ChartRenderOptions& options, int width, int height,
    const PixelRect& legend_box, const std::vector<std::string>& caption,
    const TextMeasure& measure,
    const std::function<PixelRect(LegendPlacement, bool)>& plot_frame) {
  FigureFit fit;
  fit.legend = options.legend;
  fit.caption = !caption.empty();
  if (!options.fit_figure) return fit;
  const bool too_wide =
      std::any_of(caption.begin(), caption.end(), [&](const std::string& l) {
        return measure.Width(TextFace::kFigure, l) >
               width - 2 * kChartMargin * options.unit;
      });
  if (too_wide) {
    fit.caption = false;
    fit.notes.push_back(
        "The caption is left out: a line of it is wider than the figure.");
  }
  const double least = kLeastPlotShare * std::min(width, height);
  auto fits = [&] {
    const PixelRect f = plot_frame(fit.legend, fit.caption);
    return std::min(f.width, f.height) >= least;
  };
  const bool asked_outside = fit.legend == LegendPlacement::kOutside;
  // A legend wider than the figure fits nowhere beside the plot.
  const bool legend_too_wide =
      legend_box.width + (kLegendShadow + 2 * kChartMargin) * options.unit >
      width;
  if (asked_outside && (legend_too_wide || !fits())) {
    fit.legend = LegendPlacement::kInside;
  }
  if (fit.caption && !fits()) {
    fit.caption = false;
    fit.notes.push_back(
        "The caption is left out: with it the plot would be too small.");
  }
  if (fit.legend == LegendPlacement::kInside) {
    const PixelRect f = plot_frame(fit.legend, fit.caption);
    const double area = static_cast<double>(legend_box.width) *
                        static_cast<double>(legend_box.height);
    if (legend_box.width > f.width || legend_box.height > f.height ||
        4 * area > static_cast<double>(f.width) * f.height) {
      fit.legend = LegendPlacement::kNone;
      fit.notes.insert(fit.notes.begin(),
                       asked_outside
                           ? "The legend is left out: beside the plot it "
                             "would leave the plot too small, inside it it "
                             "would cover more than a quarter of it."
                           : "The legend is left out: it would cover more "
                             "than a quarter of the plot.");
    } else if (asked_outside) {
      fit.notes.insert(fit.notes.begin(),
                       "The legend is drawn inside the plot: beside it the "
                       "plot would be too small.");
    }
  }
  return fit;
}

void MoveLegend(LegendLayout& legend, int left, int top) {
  const int dx = left - legend.box.left;
  const int dy = top - legend.box.top;
  auto move = [dx, dy](PixelRect& r) {
    r.left += dx;
    r.top += dy;
  };
  move(legend.box);
  for (LegendEntryLayout& e : legend.entries) {
    move(e.check_box);
    move(e.sample);
    e.text_x += dx;
    e.text_baseline += dy;
  }
}

PixelRect FewestDataCorner(int width, int height, const PixelRect& frame,
                           const std::vector<PlotLayer>& layers,
                           CornerOrder order, int unit) {
  const int margin = kChartMargin * unit;
  const int right = frame.left + frame.width - margin - width;
  const int bottom = frame.top + frame.height - margin - height;
  const int left = frame.left + margin;
  const int top = frame.top + margin;
  std::array<Pixel, 4> corners = {Pixel{right, top}, Pixel{left, top},
                                  Pixel{right, bottom}, Pixel{left, bottom}};
  if (order == CornerOrder::kBottomLeftFirst) {
    std::reverse(corners.begin(), corners.end());
  }
  std::array<std::size_t, 4> covered{};
  auto meets = [](const PixelRect& a, const PixelRect& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width &&
           a.top < b.top + b.height && b.top < a.top + a.height;
  };
  for (const PlotLayer& any : layers) {
    if (const auto* layer = std::get_if<MarkerLayer>(&any)) {
      for (std::size_t i = 0; i < layer->count; ++i) {
        const Pixel p = layer->pixel(i);
        for (std::size_t c = 0; c < corners.size(); ++c) {
          if (PixelRect{corners[c].x, corners[c].y, width, height}.Contains(
                  p.x, p.y)) {
            ++covered[c];
          }
        }
      }
    } else if (const auto* boxes = std::get_if<SwatchLayer>(&any)) {
      // A key placed before: never covered.
      for (std::size_t c = 0; c < corners.size(); ++c) {
        const PixelRect box{corners[c].x, corners[c].y, width, height};
        for (const SwatchLayer::Swatch& s : boxes->swatches) {
          if (meets(box, s.box)) covered[c] = static_cast<std::size_t>(-1);
        }
      }
    }
  }
  const std::size_t best = static_cast<std::size_t>(
      std::min_element(covered.begin(), covered.end()) - covered.begin());
  return {corners[best].x, corners[best].y, width, height};
}

void PlaceLegendInside(LegendLayout& legend, const PixelRect& frame,
                       const std::vector<PlotLayer>& layers, int unit) {
  // The box and its shadow, a margin in from the frame.
  const PixelRect at =
      FewestDataCorner(legend.box.width + kLegendShadow * unit,
                       legend.box.height + kLegendShadow * unit, frame, layers,
                       CornerOrder::kTopRightFirst, unit);
  MoveLegend(legend, at.left, at.top);
}

FaceSizes FaceSizesOf(const ChartRenderOptions& options) {
  if (!options.print) return {};
  const double per_point = kPixelsPerPoint * options.unit;
  const double label = options.print->font * per_point;
  const double small =
      std::max(kMinFontPt, options.print->font - 1) * per_point;
  return {small, label, small};
}

namespace {

// The screen's data markers are seven pixels across (half sizes of three).
constexpr double kDataMarkerPixels = 7;

}  // namespace

void ApplyPrintSizes(PlotModel& model, const ChartRenderOptions& options) {
  if (!options.print) return;
  const PrintSizes& print = *options.print;
  model.faces = FaceSizesOf(options);
  const double per_point = kPixelsPerPoint * options.unit;
  const double curve = print.line * per_point;  // a one-pixel line's
  const double frame = 1.5 * curve;
  const double markers = print.marker * per_point / kDataMarkerPixels;
  auto in_print = [&](SeriesStyle& style) {
    style.marker_scale = markers;
    style.line_width *= curve;
  };
  for (PlotLayer& layer : model.layers) {
    if (auto* m = std::get_if<MarkerLayer>(&layer)) {
      in_print(m->style);
    } else if (auto* line = std::get_if<LineLayer>(&layer)) {
      line->width = line->frame ? frame : line->width * curve;
    } else if (auto* circle = std::get_if<CircleLayer>(&layer)) {
      circle->outline_width = frame;
    } else if (auto* legend = std::get_if<LegendLayer>(&layer)) {
      for (LegendItem& item : legend->items) in_print(item.style);
    }
  }
}

Rgb DensityBandGrey(int index, int count) {
  constexpr double kLightest = 240, kDarkest = 158;
  const double t = count > 1 ? static_cast<double>(index) / (count - 1) : 0;
  const auto v =
      static_cast<Rgb>(std::lround(kLightest + t * (kDarkest - kLightest)));
  return (v << 16) | (v << 8) | v;
}

namespace {

constexpr Rgb kKeyText = 0x404040;
constexpr int kKeyGap = 3;  // between a level and the swatches

// The key's width: the lowest level, the swatches, the highest level.
int KeyWidth(const DensityContours& contours, std::string_view sep,
             const TextMeasure& measure, int unit) {
  const std::vector<ContourBand>& bands = contours.bands;
  const int side = std::max(2, measure.Metrics(TextFace::kFigureSmall).ascent);
  return measure.Width(TextFace::kFigureSmall,
                       ConcentrationText(bands.front().level, sep)) +
         2 * kKeyGap * unit + side * static_cast<int>(bands.size()) +
         measure.Width(TextFace::kFigureSmall,
                       ConcentrationText(bands.back().level, sep));
}

}  // namespace

void AddDensityKey(std::vector<PlotLayer>& layers,
                   const DensityContours& contours, int left, int baseline,
                   std::string_view sep, const TextMeasure& measure, int unit) {
  const std::vector<ContourBand>& bands = contours.bands;
  if (bands.empty()) return;
  const FaceMetrics fm = measure.Metrics(TextFace::kFigureSmall);
  const std::string low = ConcentrationText(bands.front().level, sep);
  const std::string high = ConcentrationText(bands.back().level, sep);
  const int side = std::max(2, fm.ascent);
  const int top = baseline - side;
  const int count = static_cast<int>(bands.size());
  const int gap = kKeyGap * unit;
  int x = left + measure.Width(TextFace::kFigureSmall, low) + gap;
  SwatchLayer key;
  key.frame = {x, top, side * count, side};
  for (int i = 0; i < count; ++i, x += side) {
    key.swatches.push_back({{x, top, side, side}, DensityBandGrey(i, count)});
  }
  layers.emplace_back(
      TextLayer{TextFace::kFigureSmall,
                kKeyText,
                {{low, left, baseline}, {high, x + gap, baseline}}});
  layers.emplace_back(std::move(key));
}

namespace {

constexpr int kKeyPadding = 2;

// The size of the key's box with its note: none where it does not fit the
// frame.
std::optional<Pixel> DensityKeyBoxSize(const DensityContours& contours,
                                       const std::string& note,
                                       const PixelRect& frame,
                                       std::string_view sep,
                                       const TextMeasure& measure, int unit) {
  if (contours.bands.empty()) return std::nullopt;
  const int padding = kKeyPadding * unit, margin = kChartMargin * unit;
  const int width = std::max(measure.Width(TextFace::kFigure, note),
                             KeyWidth(contours, sep, measure, unit)) +
                    2 * padding;
  const int height = measure.Metrics(TextFace::kFigureSmall).height +
                     measure.Metrics(TextFace::kFigure).height + 2 * padding +
                     unit;
  if (width > frame.width - 2 * margin || height > frame.height - 2 * margin) {
    return std::nullopt;
  }
  return Pixel{width, height};
}

}  // namespace

bool FitsDensityKeyBox(const DensityContours& contours, const std::string& note,
                       const PixelRect& frame, std::string_view sep,
                       const TextMeasure& measure, int unit) {
  return DensityKeyBoxSize(contours, note, frame, sep, measure, unit)
      .has_value();
}

bool AddDensityKeyBox(std::vector<PlotLayer>& layers,
                      const DensityContours& contours, const std::string& note,
                      const PixelRect& frame, std::string_view sep,
                      const TextMeasure& measure, int unit) {
  const std::optional<Pixel> size =
      DensityKeyBoxSize(contours, note, frame, sep, measure, unit);
  if (!size) return false;
  const FaceMetrics note_face = measure.Metrics(TextFace::kFigure);
  const FaceMetrics key_face = measure.Metrics(TextFace::kFigureSmall);
  const int width = size->x, height = size->y;
  const int padding = kKeyPadding * unit;
  const PixelRect box = FewestDataCorner(width, height, frame, layers,
                                         CornerOrder::kBottomLeftFirst, unit);
  SwatchLayer ground;
  ground.swatches.push_back({box, 0xFFFFFF});
  layers.emplace_back(std::move(ground));
  const int left = box.left + padding;
  AddDensityKey(layers, contours, left,
                box.top + padding + key_face.ascent + unit, sep, measure, unit);
  layers.emplace_back(TextLayer{
      TextFace::kFigure,
      kKeyText,
      {{note, left, box.top + box.height - padding - note_face.descent}}});
  return true;
}

const LegendLayer* PlotModel::Legend() const {
  for (const PlotLayer& layer : layers) {
    if (const auto* legend = std::get_if<LegendLayer>(&layer)) return legend;
  }
  return nullptr;
}

}  // namespace orvane

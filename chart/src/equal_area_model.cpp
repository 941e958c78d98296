// SPDX-License-Identifier: MIT
// The equal-area chart as a model to draw: the disc, the density contours,
// the series in their drawing order with the iso-R circles, the labels, the
// legend, the caption and the projection's note.
#include <algorithm>
#include <limits>
#include <string>

#include "chart/equal_area_chart.h"
#include "core/number_format.h"

namespace orvane {
namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kIsoRatioLabelColour = 0x505050;
constexpr Rgb kDensityNoteColour = 0x404040;

// The series in drawing order: the bootstrap cloud first (beneath the
// data) or, drawn above them (markers or outline: an outline beneath the
// data would be hidden by them), after the measured and pre-strain data.
std::vector<const PolarSeries*> DrawingOrder(const EqualAreaChart& chart,
                                             CloudDrawing cloud_drawing) {
  std::vector<const PolarSeries*> list = chart.SeriesList();
  if (cloud_drawing == CloudDrawing::kBelow) return list;
  const auto cloud = std::find(list.begin(), list.end(), &chart.bootstrap);
  const auto data = std::find(list.begin(), list.end(), &chart.measured);
  if (cloud < data) std::rotate(cloud, cloud + 1, data + 1);
  return list;
}

bool IsIsoRatioCircle(const EqualAreaChart& chart, const PolarSeries& s) {
  const auto& circles = chart.IsoRatioCircles();
  return std::any_of(circles.begin(), circles.end(),
                     [&s](const auto& c) { return c.get() == &s; });
}

// The outline of the region the cloud's points cover: through the centres
// of the points' pixels on a raster, through their exact places in a
// vector picture.
void AddCloudOutline(PlotModel& model, const PolarSeries& s,
                     const SeriesStyle& style) {
  const PlotMapping& mapping = model.mapping;
  LineLayer outline;
  outline.colour = style.line_color;
  outline.width = style.line_width;
  outline.raster = LineLayer::Raster::kSmooth;
  outline.ends = LineLayer::Ends::kRound;
  outline.closed = true;
  outline.pixels = true;
  std::vector<Pixel> pixels;
  std::vector<PlotPosition> places;
  pixels.reserve(s.Count());
  places.reserve(s.Count());
  for (const PolarPoint& p : s.Points()) {
    pixels.push_back(mapping.Snapped(p.angle, p.value));
    places.push_back(mapping.Exact(p.angle, p.value));
  }
  LineLayer raster = outline;
  raster.device = PlotDevice::kRaster;
  std::vector<PlotVertex> corners;
  for (const Pixel& p : PixelHull(std::move(pixels))) {
    corners.push_back({p.x + 0.5, p.y + 0.5, 0, 0});
  }
  if (corners.empty()) return;
  raster.lines.push_back(std::move(corners));
  model.layers.emplace_back(std::move(raster));
  outline.device = PlotDevice::kVector;
  outline.clip = LineLayer::Clip::kVector;
  std::vector<PlotVertex> exact;
  for (const PlotPosition& p : ExactConvexHull(std::move(places))) {
    exact.push_back({p.x, p.y, 0, 0});
  }
  outline.lines.push_back(std::move(exact));
  model.layers.emplace_back(std::move(outline));
}

// A series' line (an iso-R circle is a true circle in a vector picture)
// and its markers.
void AddSeries(PlotModel& model, const EqualAreaChart& chart,
               const PolarSeries& s, const ChartLayout& layout,
               const ChartRenderOptions& options) {
  const SeriesStyle style = ChartSeriesStyle(chart, s, options);
  if (&s == &chart.bootstrap && options.cloud == CloudDrawing::kOutline) {
    AddCloudOutline(model, s, style);
    return;
  }
  const std::vector<PolarPoint>& points = s.Points();
  if (style.line_visible && points.size() >= 2) {
    LineLayer line = SeriesLine(style, LineLayer::Ends::kSquareMiter,
                                LineLayer::Clip::kVector);
    line.closed = style.closed;
    std::vector<PlotVertex> vertices;
    vertices.reserve(points.size());
    double value = 0;
    bool radius = false;
    for (const PolarPoint& p : points) {
      vertices.push_back({p.angle, p.value, 0, 0});
      value = std::max(value, p.value);
      radius = radius || p.value <= 0;
    }
    line.lines.push_back(std::move(vertices));
    // Its points go to the centre and back where a circle carries the
    // radius.
    if (IsIsoRatioCircle(chart, s)) {
      line.circle = LineLayer::TrueCircle{value, radius};
    }
    model.layers.emplace_back(std::move(line));
  }
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return;
  MarkerLayer m;
  m.style = style;
  m.source = &s;
  m.revision = s.Revision();
  m.placement = {static_cast<double>(layout.cx),
                 static_cast<double>(layout.cy),
                 static_cast<double>(layout.radius),
                 chart.RadialMaximum(),
                 0,
                 0};
  PlaceMarkers(m, points, model.mapping, [](const PolarPoint& p) {
    return std::pair<double, double>(p.angle, p.value);
  });
  model.layers.emplace_back(std::move(m));
}

}  // namespace

std::string ProjectionNoteText(ChartProjection projection) {
  if (projection == ChartProjection::kEqualArea) return {};
  return std::string(ProjectionTitle(projection)) + " projection";
}

SeriesStyle ChartSeriesStyle(const EqualAreaChart& chart,
                             const PolarSeries& series,
                             const ChartRenderOptions& options) {
  SeriesStyle style = PaletteStyle(chart, series, options.palette);
  if (&series == &chart.bootstrap && options.cloud == CloudDrawing::kOutline) {
    // The outline of the cloud, drawn and shown in the legend as a line of
    // the markers' colour.
    style.line_visible = true;
    style.line_color = style.fill ? *style.fill : style.color;
    style.line_width = 2;
    style.marker = MarkerStyle::kNone;
  }
  return style;
}

LegendView MeasureLegend(const EqualAreaChart& chart, int width,
                         const ChartRenderOptions& options,
                         const TextMeasure& measure) {
  LegendView view;
  const TextFace face = LabelFace(options);
  std::vector<int> widths;
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Style().show_in_legend) continue;
    // A figure lists only what it draws: it has no check boxes to show a
    // hidden series by.
    if (options.figure_style && (!s->Active() || s->Count() == 0)) continue;
    view.series.push_back(s);
    widths.push_back(measure.Width(face, s->Style().title));
  }
  view.layout = LayOutLegendOfTitles(width, widths, face, options, measure);
  return view;
}

namespace {

// The legend, the caption and the layout of a chart on a canvas, with a
// figure's legend and caption fitted to it.
struct ChartScene {
  LegendView legend;
  LegendPlacement placement = LegendPlacement::kOutside;
  std::vector<std::string> caption;
  ChartLayout layout;
  std::vector<std::string> notes;
};

ChartScene MakeScene(const EqualAreaChart& chart, const PlotCanvas& canvas,
                     const TextMeasure& measure) {
  const ChartRenderOptions& options = canvas.options;
  const Pixel size =
      OwnSize(canvas.width, canvas.height, ValidScale(options.scale));
  ChartScene scene;
  scene.legend = MeasureLegend(chart, size.x, options, measure);
  const int grid = options.grid_column ? canvas.grid_column_width : 0;
  auto fitted = FitLayout(options, size, scene.legend.layout, measure,
                          [&](const LegendLayout& beside, int footer) {
                            return LayOutChart(size.x, size.y, beside, grid,
                                               footer, options.unit);
                          });
  TakeFitted(scene, std::move(fitted));
  return scene;
}

}  // namespace

ChartLayout LayOutChart(const EqualAreaChart& chart, const PlotCanvas& canvas,
                        const TextMeasure& measure) {
  return MakeScene(chart, canvas, measure).layout;
}

std::vector<bool> DrawnIsoRatioCircles(const EqualAreaChart& chart,
                                       const ChartLayout& layout) {
  const double maximum = chart.RadialMaximum();
  // Thinned by their spacing in screen pixels.
  return ThinIsoRatioCircles(chart.IsoRatios(),
                             layout.radius / maximum / layout.unit,
                             chart.Projection());
}

std::vector<IsoRatioLabelBox> PlaceIsoRatioLabels(const EqualAreaChart& chart,
                                                  const ChartLayout& layout,
                                                  const TextMeasure& measure) {
  std::vector<IsoRatioLabelBox> labels;
  const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
  const FaceMetrics fm = measure.Metrics(TextFace::kFigure);
  const std::vector<int>& ratios = chart.IsoRatios();
  const double maximum = chart.RadialMaximum();
  // Between a label and the circle or another label.
  const int gap = 2 * layout.unit;
  // The data's pixels, so that a label goes to the side of the radius that
  // covers fewer of them: placed only when both sides have room, and of a
  // large series an even sample (the window repaints with the labels on).
  std::vector<Pixel> data;
  bool placed = false;
  auto covered = [&](const PixelRect& box) {
    if (!placed) {
      placed = true;
      for (const PolarSeries* s : {&chart.measured, &chart.retrodeformed}) {
        if (!s->Active()) continue;
        const std::vector<PolarPoint>& points = s->Points();
        const std::size_t step =
            std::max<std::size_t>(1, points.size() / kLabelDataSample);
        for (std::size_t i = 0; i < points.size(); i += step) {
          data.push_back(
              PlacePoint(layout, maximum, points[i].angle, points[i].value));
        }
      }
    }
    return std::count_if(data.begin(), data.end(), [&box](const Pixel& p) {
      return box.Contains(p.x, p.y);
    });
  };
  // Labels side by side keep half a line apart, so that "R = 2" and "4"
  // never read as one number.
  const int apart = std::max(gap, fm.height / 2);
  auto clear = [&labels, gap, apart](const PixelRect& box) {
    return std::none_of(labels.begin(), labels.end(),
                        [&box, gap, apart](const IsoRatioLabelBox& l) {
                          const PixelRect& o = l.box;
                          return box.left < o.left + o.width + apart &&
                                 o.left < box.left + box.width + apart &&
                                 box.top < o.top + o.height + gap &&
                                 o.top < box.top + box.height + gap;
                        });
  };
  for (std::size_t i = 0; i < ratios.size(); ++i) {
    if (!drawn[i]) continue;
    const Pixel at = PlacePoint(
        layout, maximum, 0.0,
        IsoRatioRadius(chart.Projection(), static_cast<float>(ratios[i])));
    IsoRatioLabelBox label;
    label.ratio = ratios[i];
    label.text = (labels.empty() ? "R = " : "") + std::to_string(ratios[i]);
    const int width = measure.Width(TextFace::kFigure, label.text);
    if (at.x + gap + width - 1 >= layout.width) break;
    // Above the radius, where the circle crosses it, or else below it:
    // every circle whose label has room on one side is labelled.
    const PixelRect above{at.x + gap, at.y - gap - fm.height, width, fm.height};
    const PixelRect below{at.x + gap, at.y + layout.unit + gap, width,
                          fm.height};
    const bool above_clear = clear(above);
    const bool below_clear =
        below.top + below.height <= layout.height && clear(below);
    if (!above_clear && !below_clear) continue;
    label.box =
        above_clear && (!below_clear || covered(above) <= covered(below))
            ? above
            : below;
    labels.push_back(std::move(label));
  }
  return labels;
}

PlotModel EqualAreaChart::Model(const PlotCanvas& canvas,
                                const TextMeasure& measure) const {
  const ChartRenderOptions& options = canvas.options;
  PlotModel model;
  model.scale = ValidScale(options.scale);
  const Pixel size = OwnSize(canvas.width, canvas.height, model.scale);
  model.width = size.x;
  model.height = size.y;
  ChartScene scene = MakeScene(*this, canvas, measure);
  model.notes = std::move(scene.notes);
  LegendView& legend = scene.legend;
  const std::vector<std::string>& caption = scene.caption;
  const ChartLayout& layout = scene.layout;
  const double maximum = RadialMaximum();
  model.mapping = PlotMapping::Polar(layout, maximum);
  for (const PolarSeries* s : SeriesList()) model.series.push_back(s);
  auto& layers = model.layers;
  const FaceMetrics figure = measure.Metrics(TextFace::kFigure);
  const FaceMetrics text = measure.Metrics(LabelFace(options));

  if (const PolarSeries* disc = DiscSeries();
      disc != nullptr && layout.radius > 0) {
    CircleLayer circle;
    circle.radius = layout.radius;
    circle.fill = disc->Style().circle_background;
    if (disc->Style().circle_outline) circle.outline = kBlack;
    layers.emplace_back(circle);
  }
  const std::string projection_note = ProjectionNoteText(Projection());
  if (density_contours != nullptr && layout.radius > 0 && maximum > 0) {
    layers.emplace_back(
        BandLayer{density_contours, BandLayer::Coordinates::kCartesian, false});
    if (!density_contours->bands.empty()) {
      // At the bottom left of the plotting area, above the projection's
      // note where the chart has one.
      PixelRect area = layout.plot;
      if (!projection_note.empty()) {
        area.height -=
            std::max(measure.Metrics(TextFace::kScreen).height, figure.height);
      }
      const int unit = options.unit;
      const int baseline = area.top + area.height - figure.descent - unit;
      layers.emplace_back(TextLayer{
          TextFace::kFigure,
          kDensityNoteColour,
          {{DensityNoteText(*density_contours, LocaleDecimalSeparator()),
            area.left + 2 * unit, baseline}}});
      // A figure keys the greys to the density above the note.
      if (options.print) {
        AddDensityKey(layers, *density_contours, area.left + 2 * unit,
                      baseline - figure.height - unit, LocaleDecimalSeparator(),
                      measure, unit);
      }
    }
  }

  // Circles too close to the one inside them are left out.
  const std::vector<bool> drawn = DrawnIsoRatioCircles(*this, layout);
  auto left_out = [&](const PolarSeries* s) {
    for (std::size_t i = 0; i < drawn.size(); ++i) {
      if (!drawn[i] && iso_ratio_circles_[i].get() == s) return true;
    }
    return false;
  };
  for (const PolarSeries* s : DrawingOrder(*this, options.cloud)) {
    if (!s->Active() || left_out(s)) continue;
    AddSeries(model, *this, *s, layout, options);
  }

  if (options.figure_style || options.iso_ratio_labels) {
    TextLayer labels{TextFace::kFigure, kIsoRatioLabelColour, {}, true};
    for (IsoRatioLabelBox& label :
         PlaceIsoRatioLabels(*this, layout, measure)) {
      labels.items.push_back({std::move(label.text), label.box.left,
                              label.box.top + figure.ascent});
    }
    layers.emplace_back(std::move(labels));
  }

  if (scene.placement != LegendPlacement::kNone) {
    LegendLayer legend_layer;
    legend_layer.layout = legend.layout;
    if (scene.placement == LegendPlacement::kInside) {
      PlaceLegendInside(legend_layer.layout, layout.plot, layers, options.unit);
    }
    legend_layer.figure_style = options.figure_style;
    const std::vector<const PolarSeries*> list = SeriesList();
    for (const PolarSeries* s : legend.series) {
      const auto id = std::find(list.begin(), list.end(), s) - list.begin();
      legend_layer.items.push_back({ChartSeriesStyle(*this, *s, options),
                                    s->Active(), static_cast<int>(id)});
    }
    layers.emplace_back(std::move(legend_layer));
  }

  if (!caption.empty()) {
    // Each line under the disc, centred on it where there is room.
    TextLayer lines{TextFace::kFigure, kBlack, {}};
    const int margin = kChartMargin * options.unit;
    int baseline = layout.height - margin - figure.descent -
                   (static_cast<int>(caption.size()) - 1) * figure.height;
    for (const std::string& line : caption) {
      const int width = measure.Width(TextFace::kFigure, line);
      const int left =
          std::clamp(layout.cx - width / 2, margin,
                     std::max(margin, layout.width - margin - width));
      lines.items.push_back({line, left, baseline});
      baseline += figure.height;
    }
    layers.emplace_back(std::move(lines));
  }
  // The projection's name in the plotting area's lower left corner, beside
  // the disc, for every projection but the default equal-area one.
  if (!projection_note.empty()) {
    const PixelRect& plot = layout.plot;
    layers.emplace_back(TextLayer{
        LabelFace(options),
        kIsoRatioLabelColour,
        {{projection_note, plot.left, plot.top + plot.height - text.descent}}});
  }
  return model;
}

void EqualAreaChart::ToggleLegendEntry(int id) {
  const std::vector<PolarSeries*> list = SeriesList();
  if (id < 0 || id >= static_cast<int>(list.size())) return;
  PolarSeries* s = list[static_cast<std::size_t>(id)];
  s->SetActive(!s->Active());
}

}  // namespace orvane

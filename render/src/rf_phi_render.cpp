#include "render/rf_phi_render.h"

#include <QFontMetrics>
#include <QPolygon>
#include <QPolygonF>
#include <QRect>
#include <algorithm>
#include <cmath>

#include "chart/equal_area_chart.h"
#include "render/density_render.h"
#include "render/true_geometry.h"

namespace orvane {

QString PhiAxisTitle() {
  return QString::fromUtf8("Long-axis orientation \u03c6 (\u00b0)");
}

QString RfAxisTitle() {
  return "Rf";
}

namespace {

constexpr Rgb kGridColour = 0xE6E6E6;
constexpr Rgb kCurveLabelColour = 0x505050;

// The series of the equal-area chart whose roles the plot's series play:
// the palette colours them alike on both plots.
const EqualAreaChart& Roles() {
  static const EqualAreaChart roles;
  return roles;
}

QFont TextFont(const ChartRenderOptions& options) {
  return options.figure_style ? FigureTextFont() : LegendFont();
}

double ValidScale(double scale) {
  return scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

// The plot's size in its own pixels: the drawing's size over the scale.
QSize OwnSize(QSize size, double scale) {
  return QSize(static_cast<int>(std::ceil(size.width() / scale - 1e-9)),
               static_cast<int>(std::ceil(size.height() / scale - 1e-9)));
}

int CaptionHeight(const ChartRenderOptions& options, int width) {
  const auto lines = CaptionLines(options.caption, width).size();
  if (lines == 0) return 0;
  return static_cast<int>(lines) * QFontMetrics(FigureTextFont()).height() +
         2 * kChartMargin;
}

// Tick labels with a true minus sign.
QString TickText(const std::string& label) {
  QString text = QString::fromStdString(label);
  if (text.startsWith('-')) text.replace(0, 1, QChar(0x2212));
  return text;
}

PlotTextMetrics MetricsOf(const RfAxis& axis,
                          const ChartRenderOptions& options) {
  const QFontMetrics fm(TextFont(options));
  PlotTextMetrics m;
  m.height = fm.height();
  m.ascent = fm.ascent();
  m.widest_rf_label = 0;
  for (const AxisTick& t : axis.ticks) {
    if (t.label.empty()) continue;
    m.widest_rf_label =
        std::max(m.widest_rf_label, fm.horizontalAdvance(TickText(t.label)));
  }
  m.phi_label_half = (fm.horizontalAdvance(TickText("-90")) + 1) / 2;
  m.rf_title_width = fm.horizontalAdvance(RfAxisTitle());
  return m;
}

// Everything one drawing needs besides the painter.
struct Scene {
  const RfPhiPlot& plot;
  const ChartRenderOptions& options;
  double scale = 1;
  QSize size;  // the plot's own pixels
  RfAxis axis;
  RfPhiLegendView legend;
  RfPhiLayout layout;
  PlotMapping mapping = PlotMapping::RfPhi(layout, axis);
};

Scene MakeScene(const RfPhiPlot& plot, QSize device_size,
                const ChartRenderOptions& options) {
  const double scale = ValidScale(options.scale);
  const QSize size = OwnSize(device_size, scale);
  RfAxis axis = plot.Axis();
  RfPhiLegendView legend = MeasureRfPhiLegend(plot, size.width(), options);
  const RfPhiLayout layout = LayOutRfPhiPlot(
      size.width(), size.height(), legend.layout, MetricsOf(axis, options),
      CaptionHeight(options, size.width()));
  return Scene{plot,  options, scale, size, std::move(axis), std::move(legend),
               layout};
}

std::vector<Pixel> PixelsOf(const RfPhiSeries& s, const Scene& scene) {
  return PlaceShapes(scene.layout, scene.axis, s.Points());
}

void DrawGrid(QPainter& painter, const Scene& scene) {
  const PixelRect& f = scene.layout.plot;
  painter.setPen(QPen(ToQColor(kGridColour), 1));
  if (!IsRasterPainter(painter)) {
    // At the ticks' exact places, across the frame.
    const PlotRect frame = scene.mapping.Frame();
    for (const AxisTick& t : PhiTicks()) {
      if (t.label.empty()) continue;
      const double x = scene.mapping.Exact(t.value, 1).x;
      painter.drawLine(QPointF(x, frame.top), QPointF(x, frame.bottom));
    }
    for (const AxisTick& t : scene.axis.ticks) {
      if (t.label.empty()) continue;
      const double y = scene.mapping.Exact(0, t.value).y;
      painter.drawLine(QPointF(frame.left, y), QPointF(frame.right, y));
    }
    return;
  }
  for (const AxisTick& t : PhiTicks()) {
    if (t.label.empty()) continue;
    const int x = static_cast<int>(std::lround(PhiToX(scene.layout, t.value)));
    painter.drawLine(x, f.top, x, f.top + f.height);
  }
  for (const AxisTick& t : scene.axis.ticks) {
    if (t.label.empty()) continue;
    const int y =
        static_cast<int>(std::lround(RfToY(scene.layout, scene.axis, t.value)));
    painter.drawLine(f.left, y, f.left + f.width, y);
  }
}

// The markers of a series: from a cached layer on the screen, as one
// image in a vector picture when there are very many, else one by one.
// False when there was no memory for an image of them.
bool DrawMarkerSeries(QPainter& painter, const RfPhiSeries& s,
                      const Scene& scene, PlotRenderCache* cache,
                      const PictureLayer* picture);

bool DrawGround(QPainter& painter, const Scene& scene,
                const RfPhiSeries& until) {
  painter.fillRect(QRect(QPoint(0, 0), scene.size), ToQColor(0xFFFFFF));
  DrawGrid(painter, scene);
  DrawRfPhiDensityContours(painter, scene.plot, scene.layout, scene.axis);
  for (const RfPhiSeries* s : scene.plot.SeriesList()) {
    if (s == &until) break;
    if (!DrawMarkerSeries(painter, *s, scene, nullptr, nullptr)) return false;
  }
  return true;
}

bool DrawMarkerSeries(QPainter& painter, const RfPhiSeries& s,
                      const Scene& scene, PlotRenderCache* cache,
                      const PictureLayer* picture) {
  if (!s.Active() || s.Count() == 0) return true;
  const SeriesStyle style = RfPhiStyle(scene.plot, s, scene.options.palette);
  if (picture == nullptr && s.Count() > PlotRenderCache::kLayerThreshold) {
    const qreal ratio = painter.device()->devicePixelRatioF() * scene.scale;
    if (cache == nullptr) {
      const QImage layer = MarkerLayerAt(style, PixelsOf(s, scene), scene.size,
                                         ratio, scene.scale);
      painter.drawImage(0, 0, layer);
      return !layer.isNull();
    }
    const PixelRect& f = scene.layout.plot;
    const PlotRenderCache::Key key{
        s.Revision(),
        scene.size,
        ratio,
        {static_cast<double>(f.left), static_cast<double>(f.top),
         static_cast<double>(f.width), static_cast<double>(f.height),
         scene.axis.maximum,
         static_cast<double>(static_cast<int>(scene.axis.scale) * 2 +
                             static_cast<int>(scene.options.palette))}};
    const QImage& image = cache->Layer(&s, key, [&] {
      return MarkerLayerAt(style, PixelsOf(s, scene), scene.size, ratio,
                           scene.scale);
    });
    painter.drawImage(0, 0, image);
    return !image.isNull();
  }
  if (picture != nullptr && s.Count() > kPictureLayerThreshold) {
    const qreal ratio = scene.scale;
    // A metafile's bitmaps have no alpha that readers honour: there the
    // series goes in opaque over what lies beneath it.
    return DrawLayerInPicture(painter,
                              MarkerLayerAt(style, PixelsOf(s, scene),
                                            scene.size, ratio, scene.scale),
                              *picture, ratio, [&](QPainter& gp) {
                                return DrawGround(gp, scene, s);
                              });
  }
  if (!IsRasterPainter(painter)) {
    std::vector<PlotPosition> at;
    at.reserve(s.Count());
    for (const RfPhiPoint& p : s.Points()) {
      at.push_back(scene.mapping.Exact(p.phi, p.ratio));
    }
    DrawMarkerShapesAt(painter, style, at);
    return true;
  }
  return DrawMarkersAt(painter, style, PixelsOf(s, scene), scene.scale);
}

void DrawThetaCurves(QPainter& painter, const Scene& scene) {
  if (!scene.plot.ShowThetaCurves()) return;
  const SeriesStyle style = ThetaCurveStyle();
  const PixelRect& f = scene.layout.plot;
  painter.save();
  painter.setClipRect(QRect(f.left, f.top, f.width + 1, f.height + 1),
                      Qt::IntersectClip);
  QPen pen(ToQColor(style.line_color), style.line_width);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const bool exact = !IsRasterPainter(painter);
  const bool smooth = scene.scale != 1.0 || exact;
  painter.setRenderHint(QPainter::Antialiasing, smooth);
  for (const ThetaCurve& curve : scene.plot.ThetaCurves()) {
    for (const std::vector<RfPhiPoint>& piece : curve.pieces) {
      if (piece.size() < 2) continue;  // Ri = 1: the strain's own point
      if (exact) {
        // Cut at the frame in the curve's own geometry.
        std::vector<PlotPosition> line;
        line.reserve(piece.size());
        for (const RfPhiPoint& p : piece) {
          line.push_back(scene.mapping.Exact(p.phi, p.ratio));
        }
        DrawExactPolyline(painter, std::move(line), scene.mapping.Frame());
      } else if (smooth) {
        QPolygonF line;
        line.reserve(static_cast<int>(piece.size()));
        for (const RfPhiPoint& p : piece) {
          line.append(QPointF(PhiToX(scene.layout, p.phi) + 0.5,
                              RfToY(scene.layout, scene.axis, p.ratio) + 0.5));
        }
        painter.drawPolyline(line);
      } else {
        QPolygon line;
        line.reserve(static_cast<int>(piece.size()));
        for (const RfPhiPoint& p : piece) {
          const Pixel px = PlaceShape(scene.layout, scene.axis, p);
          line.append(QPoint(px.x, px.y));
        }
        painter.drawPolyline(line);
      }
    }
  }
  painter.restore();
}

// Each curve's initial ratio at its highest point inside the frame ("Ri =
// 1.25" at the first), left out where it would touch a label before it.
void DrawThetaCurveLabels(QPainter& painter, const Scene& scene) {
  if (!scene.plot.ShowThetaCurves()) return;
  const QFont font = TextFont(scene.options);
  const QFontMetrics fm(font);
  painter.setFont(font);
  painter.setPen(ToQColor(kCurveLabelColour));
  const PixelRect& f = scene.layout.plot;
  const QRect frame(f.left + 1, f.top + 1, f.width - 1, f.height - 1);
  std::vector<QRect> placed;
  for (const ThetaCurve& curve : scene.plot.ThetaCurves()) {
    const RfPhiPoint* top = nullptr;
    for (const auto& piece : curve.pieces) {
      if (piece.size() < 2) continue;
      for (const RfPhiPoint& p : piece) {
        if (static_cast<double>(p.ratio) <= scene.axis.maximum &&
            (!top || p.ratio > top->ratio)) {
          top = &p;
        }
      }
    }
    if (top == nullptr) continue;
    QString text = QString::fromStdString(ThetaCurveRatiosText(
        {curve.initial_ratio}, scene.plot.DecimalSeparator()));
    if (placed.empty()) text = "Ri = " + text;
    const Pixel at = PlaceShape(scene.layout, scene.axis, *top);
    const int width = fm.horizontalAdvance(text);
    QRect box(at.x - width / 2, at.y - 2 - fm.height(), width, fm.height());
    if (box.top() < frame.top()) box.moveTop(at.y + 3);
    box.moveLeft(
        std::clamp(box.left(), frame.left() + 1,
                   std::max(frame.left() + 1, frame.right() - 1 - width)));
    if (!frame.contains(box)) continue;
    const bool touches =
        std::any_of(placed.begin(), placed.end(), [&box](const QRect& r) {
          return r.adjusted(-2, -1, 2, 1).intersects(box);
        });
    if (touches) continue;
    placed.push_back(box);
    painter.drawText(box.left(), box.top() + fm.ascent(), text);
  }
}

void DrawAxes(QPainter& painter, const Scene& scene) {
  const PixelRect& f = scene.layout.plot;
  const QFont font = TextFont(scene.options);
  const QFontMetrics fm(font);
  painter.setFont(font);
  painter.setBrush(Qt::NoBrush);
  const QPen black(ToQColor(0x000000), 1);
  painter.setPen(black);
  if (!IsRasterPainter(painter)) {
    // The frame and the ticks at their exact places; the labels as on the
    // screen.
    const PlotRect frame = scene.mapping.Frame();
    painter.drawRect(QRectF(QPointF(frame.left, frame.top),
                            QPointF(frame.right, frame.bottom)));
    for (const AxisTick& t : PhiTicks()) {
      const double x = scene.mapping.Exact(t.value, 1).x;
      const int length = t.label.empty() ? kMinorTickLength : kTickLength;
      painter.drawLine(QPointF(x, frame.bottom + 1),
                       QPointF(x, frame.bottom + length));
    }
    for (const AxisTick& t : scene.axis.ticks) {
      const double y = scene.mapping.Exact(0, t.value).y;
      const int length = t.label.empty() ? kMinorTickLength : kTickLength;
      painter.drawLine(QPointF(frame.left - length, y),
                       QPointF(frame.left - 1, y));
    }
  } else {
    painter.drawRect(f.left, f.top, f.width, f.height);
  }
  const bool raster = IsRasterPainter(painter);
  const int bottom = f.top + f.height;
  for (const AxisTick& t : PhiTicks()) {
    const int x = static_cast<int>(std::lround(PhiToX(scene.layout, t.value)));
    const int length = t.label.empty() ? kMinorTickLength : kTickLength;
    if (raster) painter.drawLine(x, bottom + 1, x, bottom + length);
    if (t.label.empty()) continue;
    const QString text = TickText(t.label);
    painter.drawText(x - fm.horizontalAdvance(text) / 2,
                     bottom + kTickLength + kTickLabelGap + fm.ascent(), text);
  }
  for (const AxisTick& t : scene.axis.ticks) {
    const int y =
        static_cast<int>(std::lround(RfToY(scene.layout, scene.axis, t.value)));
    const int length = t.label.empty() ? kMinorTickLength : kTickLength;
    if (raster) painter.drawLine(f.left - length, y, f.left - 1, y);
    if (t.label.empty()) continue;
    const QString text = TickText(t.label);
    painter.drawText(
        f.left - kTickLength - kTickLabelGap - fm.horizontalAdvance(text),
        y - fm.height() / 2 + fm.ascent(), text);
  }
  const QString phi_title = PhiAxisTitle();
  painter.drawText(
      scene.layout.phi_title_x - fm.horizontalAdvance(phi_title) / 2,
      scene.layout.phi_title_baseline, phi_title);
  painter.drawText(scene.layout.rf_title_x, scene.layout.rf_title_baseline,
                   RfAxisTitle());
}

void DrawCaption(QPainter& painter, const Scene& scene) {
  const QStringList lines =
      CaptionLines(scene.options.caption, scene.layout.width);
  if (lines.isEmpty()) return;
  const QFontMetrics fm(FigureTextFont());
  painter.setFont(FigureTextFont());
  painter.setPen(ToQColor(0x000000));
  const int centre = scene.layout.plot.left + scene.layout.plot.width / 2;
  int baseline = scene.layout.height - kChartMargin - fm.descent() -
                 (static_cast<int>(lines.size()) - 1) * fm.height();
  for (const QString& line : lines) {
    const int width = fm.horizontalAdvance(line);
    const int left = std::clamp(
        centre - width / 2, kChartMargin,
        std::max(kChartMargin, scene.layout.width - kChartMargin - width));
    painter.drawText(left, baseline, line);
    baseline += fm.height();
  }
}

bool Render(QPainter& painter, const RfPhiPlot& plot, QSize device_size,
            PlotRenderCache* cache, const PictureLayer* picture,
            const ChartRenderOptions& options) {
  const Scene scene = MakeScene(plot, device_size, options);
  painter.save();
  painter.scale(scene.scale, scene.scale);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), scene.size), ToQColor(0xFFFFFF));
  painter.setClipRect(QRect(QPoint(0, 0), scene.size));
  DrawGrid(painter, scene);
  // A drawing without a cache (a picture) stops at the first image it
  // cannot have; the window's, with its cache, draws the rest without it.
  bool whole = true;
  auto drawn = [&](const RfPhiSeries& s) {
    const bool ok = DrawMarkerSeries(painter, s, scene, cache, picture);
    whole = whole && ok;
    return ok || cache != nullptr;
  };
  auto stop = [&painter] {
    painter.restore();
    return false;
  };
  // The density of the data under the markers, over the grid lines.
  DrawRfPhiDensityContours(painter, plot, scene.layout, scene.axis);
  if (!drawn(plot.retrodeformed) || !drawn(plot.measured)) return stop();
  // The curves over the data, where they can be read against them; the
  // optimal strain, where every curve is centred, over the curves.
  DrawThetaCurves(painter, scene);
  if (!drawn(plot.optimal) || !drawn(plot.measured_highlight) ||
      !drawn(plot.retrodeformed_highlight)) {
    return stop();
  }
  DrawAxes(painter, scene);
  DrawThetaCurveLabels(painter, scene);
  if (!DrawLegendItems(painter, scene.legend.layout, scene.legend.items,
                       options.figure_style, scene.scale)) {
    whole = false;
    if (cache == nullptr) return stop();
  }
  DrawCaption(painter, scene);
  painter.restore();
  return whole;
}

}  // namespace

SeriesStyle RfPhiStyle(const RfPhiPlot& plot, const RfPhiSeries& series,
                       ChartPalette palette) {
  const EqualAreaChart& roles = Roles();
  const PolarSeries* role = &roles.measured;
  if (&series == &plot.retrodeformed) role = &roles.retrodeformed;
  if (&series == &plot.optimal) role = &roles.optimal;
  if (&series == &plot.measured_highlight) role = &roles.measured_highlight;
  if (&series == &plot.retrodeformed_highlight) {
    role = &roles.retrodeformed_highlight;
  }
  SeriesStyle style = PaletteStyle(roles, *role, palette);
  // As on the chart: once the strain is shown its legend sample carries the
  // line behind the cross.
  if (&series == &plot.optimal && series.Count() > 0) style.line_visible = true;
  return style;
}

RfPhiLegendView MeasureRfPhiLegend(const RfPhiPlot& plot, int width,
                                   const ChartRenderOptions& options) {
  RfPhiLegendView view;
  const QFontMetrics fm(TextFont(options));
  std::vector<int> widths;
  auto add = [&](RfPhiEntry entry, const SeriesStyle& style, bool checked,
                 bool drawn) {
    // A figure lists only what it draws.
    if (options.figure_style && !drawn) return;
    view.entries.push_back(entry);
    view.items.push_back({style, checked});
    widths.push_back(fm.horizontalAdvance(QString::fromStdString(style.title)));
  };
  const std::pair<RfPhiEntry, const RfPhiSeries*> series[] = {
      {RfPhiEntry::kRetrodeformed, &plot.retrodeformed},
      {RfPhiEntry::kMeasured, &plot.measured},
      {RfPhiEntry::kOptimal, &plot.optimal}};
  for (const auto& [entry, s] : series) {
    add(entry, RfPhiStyle(plot, *s, options.palette), s->Active(),
        s->Active() && s->Count() > 0);
  }
  add(RfPhiEntry::kThetaCurves, ThetaCurveStyle(), plot.ShowThetaCurves(),
      plot.ShowThetaCurves() && !plot.ThetaCurves().empty());
  view.layout = LayOutLegend(width, widths, fm.height(), fm.ascent(),
                             !options.figure_style);
  return view;
}

RfPhiLayout LayOutRfPhiPlot(const RfPhiPlot& plot, QSize size,
                            const ChartRenderOptions& options) {
  return MakeScene(plot, size, options).layout;
}

bool RenderRfPhiPlot(QPainter& painter, const RfPhiPlot& plot, QSize size,
                     PlotRenderCache* cache,
                     const ChartRenderOptions& options) {
  return Render(painter, plot, size, cache, nullptr, options);
}

bool RenderRfPhiPicture(QPainter& painter, const RfPhiPlot& plot, QSize size,
                        PictureLayer layer, const ChartRenderOptions& options) {
  return Render(painter, plot, size, nullptr, &layer, options);
}

std::optional<RfPhiEntry> RfPhiLegendEntryAt(const RfPhiPlot& plot, QSize size,
                                             int x, int y) {
  const RfPhiLegendView legend = MeasureRfPhiLegend(plot, size.width());
  const int row = LegendRowAt(legend.layout, x, y);
  if (row < 0) return std::nullopt;
  return legend.entries[static_cast<std::size_t>(row)];
}

bool RfPhiScreen::Draw(QPainter& painter, QSize size,
                       PlotRenderCache& cache) const {
  return RenderRfPhiPlot(painter, plot_, size, &cache);
}

int RfPhiScreen::LegendEntryAt(QSize size, int x, int y) const {
  return LegendRowAt(MeasureRfPhiLegend(plot_, size.width()).layout, x, y);
}

void RfPhiScreen::ToggleLegendEntry(QSize size, int row) {
  const RfPhiLegendView legend = MeasureRfPhiLegend(plot_, size.width());
  if (row < 0 || row >= static_cast<int>(legend.entries.size())) return;
  switch (legend.entries[static_cast<std::size_t>(row)]) {
    case RfPhiEntry::kRetrodeformed:
      plot_.retrodeformed.SetActive(!plot_.retrodeformed.Active());
      break;
    case RfPhiEntry::kMeasured:
      plot_.measured.SetActive(!plot_.measured.Active());
      break;
    case RfPhiEntry::kOptimal:
      plot_.optimal.SetActive(!plot_.optimal.Active());
      break;
    case RfPhiEntry::kThetaCurves:
      plot_.SetShowThetaCurves(!plot_.ShowThetaCurves());
      break;
  }
}

bool RfPhiPicture::Draw(QPainter& painter, QSize size,
                        const ChartRenderOptions& options) const {
  return RenderRfPhiPlot(painter, plot_, size, nullptr, options);
}

bool RfPhiPicture::DrawPicture(QPainter& painter, QSize size,
                               PictureLayer layer,
                               const ChartRenderOptions& options) const {
  return RenderRfPhiPicture(painter, plot_, size, layer, options);
}

}  // namespace orvane

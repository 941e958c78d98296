#include "render/chart_render.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <new>
#include <system_error>
#include <thread>

namespace orvane {

struct ChartRenderCache::Layer {
  QImage image;
  std::uint64_t revision = ~0ull;
  int cx = -1, cy = -1, radius = -1;
  QSize size;
  qreal pixel_ratio = 0;  // device pixels per chart pixel
  double maximum = 0;
};

ChartRenderCache::ChartRenderCache() = default;
ChartRenderCache::~ChartRenderCache() = default;

ChartRenderCache::Layer& ChartRenderCache::LayerFor(const PolarSeries* s) {
  auto& slot = layers_[s];
  if (!slot) slot = std::make_unique<Layer>();
  return *slot;
}

const QImage* ChartRenderCache::LayerImage(const PolarSeries* s) const {
  const auto it = layers_.find(s);
  return it == layers_.end() ? nullptr : &it->second->image;
}

void ChartRenderCache::Prune(const EqualAreaChart& chart) {
  const auto list = chart.SeriesList();
  for (auto it = layers_.begin(); it != layers_.end();) {
    if (std::find(list.begin(), list.end(), it->first) == list.end()) {
      it = layers_.erase(it);
    } else {
      ++it;
    }
  }
}

QStringList ArialUnicodeFamilies() {
  return {"Arial Unicode MS", "Arial", "Liberation Sans", "DejaVu Sans"};
}

QFont LegendFont() {
  QFont f;
  f.setFamilies(ArialUnicodeFamilies());
  f.setPixelSize(11);
  return f;
}

LegendView MeasureLegend(const EqualAreaChart& chart, int width) {
  LegendView view;
  const QFontMetrics fm(LegendFont());
  std::vector<int> widths;
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Style().show_in_legend) continue;
    view.series.push_back(s);
    widths.push_back(
        fm.horizontalAdvance(QString::fromStdString(s->Style().title)));
  }
  view.layout = LayOutLegend(width, widths, fm.height(), fm.ascent());
  return view;
}

ChartLayout LayOutChart(const EqualAreaChart& chart, QSize size) {
  return LayOutChart(size.width(), size.height(),
                     MeasureLegend(chart, size.width()).layout);
}

namespace {

// Whether the centre of the pixel (dx, dy) lies inside the marker figure
// whose box is a by b pixels (odd numbers) around the point's pixel. The
// test runs on whole numbers at twice the pixel scale, where a pixel
// centre is even and an edge odd: no centre lies on an edge, so the
// pixels are mirror-symmetric about the point.
bool InsideFigure(MarkerStyle kind, int a, int b, int dx, int dy) {
  if (a <= 0 || b <= 0) return false;
  const std::int64_t x = 2 * std::abs(dx), y = 2 * std::abs(dy);
  const std::int64_t A = a, B = b;
  switch (kind) {
    case MarkerStyle::kCircle:
      return x * x * B * B + y * y * A * A < A * A * B * B;
    case MarkerStyle::kSquare:
      return x < A && y < B;
    case MarkerStyle::kDiamond:
      return x * B + y * A < A * B;
    case MarkerStyle::kNone:
    case MarkerStyle::kCross:
      break;
  }
  return false;
}

// The figure's edge as a path of its true geometry (curves for a circle).
QPainterPath FigurePath(MarkerStyle kind, int a, int b) {
  QPainterPath path;
  if (a <= 0 || b <= 0) return path;
  const double h = a / 2.0, v = b / 2.0;
  switch (kind) {
    case MarkerStyle::kCircle:
      path.addEllipse(QPointF(0, 0), h, v);
      break;
    case MarkerStyle::kSquare:
      path.addRect(QRectF(-h, -v, a, b));
      break;
    case MarkerStyle::kDiamond:
      path.moveTo(0, -v);
      path.lineTo(h, 0);
      path.lineTo(0, v);
      path.lineTo(-h, 0);
      path.closeSubpath();
      break;
    case MarkerStyle::kNone:
    case MarkerStyle::kCross:
      break;
  }
  return path;
}

// The odd number nearest `width`, the smaller at a tie, and at least 1.
int OddWidth(double width) {
  const int k = static_cast<int>(std::ceil(width / 2 - 1));
  return std::max(1, 2 * k + 1);
}

int ScaledPixels(int pixels, double scale) {
  return static_cast<int>(std::lround(pixels * scale));
}

}  // namespace

MarkerShape MakeMarkerShape(const SeriesStyle& style, double scale) {
  MarkerShape m;
  m.pixels.assign(1, MarkerPixel::kNone);
  if (style.marker == MarkerStyle::kNone) return m;
  const int h = std::max(0, ScaledPixels(style.half_width, scale));
  const int v = std::max(0, ScaledPixels(style.half_height, scale));
  const int a = 2 * h + 1, b = 2 * v + 1;  // the box, in pixels
  m.extent = std::max(h, v);
  const int side = 2 * m.extent + 1;
  m.pixels.assign(static_cast<std::size_t>(side) * side, MarkerPixel::kNone);
  auto set = [&m, side](int dx, int dy, MarkerPixel p) {
    m.pixels[static_cast<std::size_t>((dy + m.extent) * side + dx + m.extent)] =
        p;
  };

  if (style.marker == MarkerStyle::kCross) {
    // Two bars across the box, one region where they cross.
    if (!style.outline) return m;
    const int t =
        std::min(OddWidth(style.outline_width * scale), std::min(a, b));
    const int half = (t - 1) / 2;
    for (int dy = -v; dy <= v; ++dy) {
      for (int dx = -h; dx <= h; ++dx) {
        if (std::abs(dy) <= half || std::abs(dx) <= half) {
          set(dx, dy, MarkerPixel::kOutline);
        }
      }
    }
    const double x = a / 2.0, y = b / 2.0, q = t / 2.0;
    QPolygonF plus({{-x, -q},
                    {-q, -q},
                    {-q, -y},
                    {q, -y},
                    {q, -q},
                    {x, -q},
                    {x, q},
                    {q, q},
                    {q, y},
                    {-q, y},
                    {-q, q},
                    {-x, q}});
    m.outline.addPolygon(plus);
    m.outline.closeSubpath();
    return m;
  }

  // The outline is the band between the figure and the figure w pixels
  // smaller on every side; the fill lies within it.
  const int w =
      style.outline ? std::max(1, ScaledPixels(style.outline_width, scale)) : 0;
  const int ia = a - 2 * w, ib = b - 2 * w;
  const bool filled = style.fill.has_value();
  for (int dy = -v; dy <= v; ++dy) {
    for (int dx = -h; dx <= h; ++dx) {
      if (!InsideFigure(style.marker, a, b, dx, dy)) continue;
      if (InsideFigure(style.marker, ia, ib, dx, dy)) {
        if (filled) set(dx, dy, MarkerPixel::kFill);
      } else {
        set(dx, dy, MarkerPixel::kOutline);
      }
    }
  }
  const QPainterPath outer = FigurePath(style.marker, a, b);
  const QPainterPath inner = FigurePath(style.marker, ia, ib);
  if (!style.outline) {
    if (filled) m.fill = outer;
    return m;
  }
  if (filled) m.fill = inner;
  // The band as the outer edge and the inner one, filled even-odd: both
  // keep their true curves.
  m.outline = outer;
  m.outline.addPath(inner);
  m.outline.setFillRule(Qt::OddEvenFill);
  return m;
}

namespace {

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kLegendBackground = 0xFFFFE1;  // the system's tooltip colour
constexpr Rgb kLegendShadowColour = 0xCCCCCC;

// Whether the painter draws into pixels (an image, a pixmap, the screen)
// rather than into a vector picture.
bool IsRaster(const QPainter& painter) {
  const QPaintEngine* engine = painter.paintEngine();
  return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

// The opacity of a series' markers.
qreal MarkerOpacity(const SeriesStyle& style) {
  return (100 - style.transparency) / 100.0;
}

// At one device pixel a chart pixel the stamp is the shape's pixels
// themselves; at finer rasters the shape's regions drawn at the device's
// pixels.
QImage StampOf(const MarkerShape& shape, const SeriesStyle& style,
               qreal ratio) {
  const int side = 2 * shape.extent + 1;
  if (ratio == 1.0) {
    QImage stamp(side, side, QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    const QRgb fill = style.fill ? ToQColor(*style.fill).rgba() : 0;
    const QRgb outline = style.outline ? ToQColor(*style.outline).rgba() : 0;
    for (int y = 0; y < side; ++y) {
      auto* row = reinterpret_cast<QRgb*>(stamp.scanLine(y));
      for (int x = 0; x < side; ++x) {
        const MarkerPixel p = shape.At(x - shape.extent, y - shape.extent);
        if (p == MarkerPixel::kFill) row[x] = fill;
        if (p == MarkerPixel::kOutline) row[x] = outline;
      }
    }
    return stamp;
  }
  const int device_side = static_cast<int>(std::ceil(side * ratio));
  QImage stamp(device_side, device_side, QImage::Format_ARGB32_Premultiplied);
  stamp.setDevicePixelRatio(ratio);
  stamp.fill(Qt::transparent);
  QPainter sp(&stamp);
  sp.setRenderHint(QPainter::Antialiasing, false);
  sp.translate(shape.extent + 0.5, shape.extent + 0.5);
  if (!shape.fill.isEmpty()) sp.fillPath(shape.fill, ToQColor(*style.fill));
  if (!shape.outline.isEmpty()) {
    sp.fillPath(shape.outline, ToQColor(*style.outline));
  }
  return stamp;
}

// Draws the marker at the pixel p: its stamp on a raster, its regions in a
// vector picture.
void FillMarker(QPainter& painter, const MarkerShape& shape,
                const SeriesStyle& style, Pixel p) {
  if (IsRaster(painter)) {
    const QImage stamp =
        StampOf(shape, style, painter.device()->devicePixelRatioF());
    painter.save();
    painter.setOpacity(MarkerOpacity(style));
    painter.drawImage(p.x - shape.extent, p.y - shape.extent, stamp);
    painter.restore();
    return;
  }
  painter.save();
  painter.translate(p.x + 0.5, p.y + 0.5);
  if (!shape.fill.isEmpty()) {
    painter.fillPath(shape.fill, ToQColor(*style.fill, style.transparency));
  }
  if (!shape.outline.isEmpty()) {
    painter.fillPath(shape.outline,
                     ToQColor(*style.outline, style.transparency));
  }
  painter.restore();
}

void DrawLine(QPainter& painter, const PolarSeries& s,
              const ChartLayout& layout, double maximum) {
  const auto& pts = s.Points();
  if (!s.Style().line_visible || pts.size() < 2) return;
  QPolygon polygon;
  polygon.reserve(static_cast<int>(pts.size()));
  for (const PolarPoint& p : pts) {
    const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
    polygon.append(QPoint(px.x, px.y));
  }
  QPen pen(ToQColor(s.Style().line_color), s.Style().line_width);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  if (s.Style().closed) {
    painter.drawPolygon(polygon);
  } else {
    painter.drawPolyline(polygon);
  }
}

// Every marker of the series, blended one by one in point order.
void DrawMarkers(QPainter& painter, const PolarSeries& s,
                 const ChartLayout& layout, double maximum) {
  const SeriesStyle& style = s.Style();
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return;
  const MarkerShape shape = MakeMarkerShape(style);
  if (IsRaster(painter)) {
    const QImage stamp =
        StampOf(shape, style, painter.device()->devicePixelRatioF());
    painter.save();
    painter.setOpacity(MarkerOpacity(style));
    for (const PolarPoint& p : s.Points()) {
      const Pixel px = PlacePoint(layout, maximum, p.angle, p.value);
      painter.drawImage(px.x - shape.extent, px.y - shape.extent, stamp);
    }
    painter.restore();
    return;
  }
  for (const PolarPoint& p : s.Points()) {
    FillMarker(painter, shape, style,
               PlacePoint(layout, maximum, p.angle, p.value));
  }
}

void DrawSeries(QPainter& painter, const PolarSeries& s,
                const ChartLayout& layout, double maximum) {
  DrawLine(painter, s, layout, maximum);
  DrawMarkers(painter, s, layout, maximum);
}

void DrawDisc(QPainter& painter, const EqualAreaChart& chart,
              const ChartLayout& layout) {
  const PolarSeries* disc = chart.DiscSeries();
  if (disc == nullptr || layout.radius <= 0) return;
  const SeriesStyle& style = disc->Style();
  const QRect rect(layout.cx - layout.radius, layout.cy - layout.radius,
                   2 * layout.radius, 2 * layout.radius);
  painter.setBrush(style.circle_background
                       ? QBrush(ToQColor(*style.circle_background))
                       : QBrush(Qt::NoBrush));
  painter.setPen(style.circle_outline ? QPen(ToQColor(kBlack), 1)
                                      : QPen(Qt::NoPen));
  painter.drawEllipse(rect);
}

void DrawCheckBox(QPainter& painter, const PixelRect& r, bool checked) {
  painter.setPen(QPen(ToQColor(0x808080), 1));
  painter.setBrush(ToQColor(0xFFFFFF));
  painter.drawRect(r.left, r.top, r.width - 1, r.height - 1);
  if (!checked) return;
  QPen tick(ToQColor(kBlack), 2);
  tick.setCapStyle(Qt::SquareCap);
  painter.setPen(tick);
  const QPoint a(r.left + 3, r.top + r.height / 2);
  const QPoint b(r.left + r.width / 2 - 1, r.top + r.height - 4);
  const QPoint c(r.left + r.width - 4, r.top + 3);
  painter.drawPolyline(QPolygon({a, b, c}));
}

void DrawLegend(QPainter& painter, const LegendView& legend) {
  const PixelRect& box = legend.layout.box;
  if (legend.series.empty()) return;
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(kLegendShadowColour));
  painter.drawRect(box.left + kLegendShadow, box.top + kLegendShadow, box.width,
                   box.height);
  painter.setBrush(ToQColor(kLegendBackground));
  painter.drawRect(box.left, box.top, box.width, box.height);
  painter.setFont(LegendFont());
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const PolarSeries& s = *legend.series[i];
    const LegendEntryLayout& e = legend.layout.entries[i];
    DrawCheckBox(painter, e.check_box, s.Active());
    const int cy = e.sample.top + e.sample.height / 2;
    if (s.Style().line_visible) {
      QPen pen(ToQColor(s.Style().line_color), s.Style().line_width);
      pen.setCapStyle(Qt::FlatCap);
      painter.setPen(pen);
      painter.drawLine(e.sample.left + 1, cy,
                       e.sample.left + e.sample.width - 2, cy);
    }
    FillMarker(painter, MakeMarkerShape(s.Style()), s.Style(),
               Pixel{e.sample.left + e.sample.width / 2, cy});
    painter.setPen(ToQColor(kBlack));
    painter.drawText(e.text_x, e.text_baseline,
                     QString::fromStdString(s.Style().title));
  }
}

// The series alone on a transparent image of the chart's size.
QImage SeriesLayer(const PolarSeries& s, const ChartLayout& layout,
                   double maximum, QSize size, qreal ratio = 1.0) {
  // The layer has as many pixels as the device it is drawn on.
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  DrawSeries(lp, s, layout, maximum);
  return image;
}

}  // namespace

QImage MarkerStamp(const SeriesStyle& style, qreal ratio) {
  return StampOf(MakeMarkerShape(style), style, ratio);
}

namespace {

// Blending a series' stamps straight into the pixels of a layer, in point
// order, with the arithmetic of QPainter::drawImage at the series' opacity,
// so that the layer has the pixels that drawing every stamp with a
// painter would give.

// x with each of its four bytes times a / 255, rounded as the raster
// engine rounds.
inline std::uint32_t ByteMul(std::uint32_t x, std::uint32_t a) {
  std::uint32_t t = (x & 0xff00ff) * a;
  t = (t + ((t >> 8) & 0xff00ff) + 0x800080) >> 8;
  t &= 0xff00ff;
  x = ((x >> 8) & 0xff00ff) * a;
  x = x + ((x >> 8) & 0xff00ff) + 0x800080;
  x &= 0xff00ff00;
  return x | t;
}

// Four neighbouring pixels of a stamp's row, their colours already
// weighted by the opacity. A pixel that the marker does not cover has
// colour 0 and keeps all of what lies beneath (255): blending it changes
// nothing, so the four are blended alike.
struct StampGroup {
  int dy = 0, dx = 0;
  std::uint32_t colour[4] = {0, 0, 0, 0};
  std::uint32_t keep[4] = {255, 255, 255, 255};  // 255 less the alpha
  // keep[] for each byte of pixels 0 and 1, and of pixels 2 and 3.
  std::uint16_t keep_low[8] = {255, 255, 255, 255, 255, 255, 255, 255};
  std::uint16_t keep_high[8] = {255, 255, 255, 255, 255, 255, 255, 255};
};

std::vector<StampGroup> StampGroups(const QImage& stamp, qreal opacity) {
  // The painter's opacity in 256ths, then in 255ths, as drawImage takes it.
  const int opacity256 = static_cast<int>(opacity * 256);
  const std::uint32_t alpha =
      opacity256 >= 256 ? 255u
                        : static_cast<std::uint32_t>(opacity256 * 255) >> 8;
  std::vector<StampGroup> groups;
  for (int y = 0; y < stamp.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(stamp.constScanLine(y));
    for (int x = 0; x < stamp.width(); x += 4) {
      StampGroup g;
      g.dy = y;
      g.dx = x;
      bool covered = false;
      for (int i = 0; i < 4 && x + i < stamp.width(); ++i) {
        if (row[x + i] == 0) continue;
        covered = true;
        g.colour[i] = ByteMul(row[x + i], alpha);
        g.keep[i] = 255 - qAlpha(g.colour[i]);
        std::uint16_t* lanes = i < 2 ? g.keep_low : g.keep_high;
        for (int c = 0; c < 4; ++c) {
          lanes[4 * (i % 2) + c] = static_cast<std::uint16_t>(g.keep[i]);
        }
      }
      if (covered) groups.push_back(g);
    }
  }
  return groups;
}

// Blends the group's four pixels into d[0..3].
inline void BlendGroup(std::uint32_t* d, const StampGroup& g) {
#if defined(__SSE2__)
  const __m128i half = _mm_set1_epi16(0x80);
  const __m128i zero = _mm_setzero_si128();
  auto mul = [half](__m128i c, __m128i k) {  // each 16-bit lane c * k / 255
    const __m128i t = _mm_mullo_epi16(c, k);
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), half), 8);
  };
  auto* p = reinterpret_cast<__m128i*>(d);
  const __m128i v = _mm_loadu_si128(p);
  const __m128i low =
      mul(_mm_unpacklo_epi8(v, zero),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.keep_low)));
  const __m128i high =
      mul(_mm_unpackhi_epi8(v, zero),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(g.keep_high)));
  _mm_storeu_si128(
      p,
      _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g.colour)),
                    _mm_packus_epi16(low, high)));
#else
  for (int i = 0; i < 4; ++i) d[i] = g.colour[i] + ByteMul(d[i], g.keep[i]);
#endif
}

// Blends the stamps whose top-left corners are `origins` (device pixels)
// into the rows first_row .. last_row - 1 of the layer's pixels `bits`,
// `width` pixels and `stride` words a row.
void BlendStamps(std::uint32_t* bits, int width, qsizetype stride,
                 const std::vector<StampGroup>& groups, int stamp_side,
                 const std::vector<Pixel>& origins, int first_row,
                 int last_row) {
  // Groups reach up to three pixels past the stamp's right-hand side.
  const int reach = (stamp_side + 3) / 4 * 4;
  for (const Pixel& o : origins) {
    if (o.y >= last_row || o.y + stamp_side <= first_row) continue;
    const bool across = o.x >= 0 && o.x + reach <= width;
    if (across && o.y >= first_row && o.y + stamp_side <= last_row) {
      std::uint32_t* corner = bits + o.y * stride + o.x;
      for (const StampGroup& g : groups) {
        BlendGroup(corner + g.dy * stride + g.dx, g);
      }
      continue;
    }
    if (across) {  // cut by the band's first or last row
      for (const StampGroup& g : groups) {
        const int y = o.y + g.dy;
        if (y >= first_row && y < last_row) {
          BlendGroup(bits + y * stride + o.x + g.dx, g);
        }
      }
      continue;
    }
    for (const StampGroup& g : groups) {
      const int y = o.y + g.dy;
      if (y < first_row || y >= last_row) continue;
      std::uint32_t* row = bits + y * stride;
      for (int i = 0; i < 4; ++i) {
        const int x = o.x + g.dx + i;
        if (x < 0 || x >= width) continue;
        row[x] = g.colour[i] + ByteMul(row[x], g.keep[i]);
      }
    }
  }
}

// Runs `work(k)` for k = 0 .. parts - 1, on as many threads.
template <typename Work>
void InParts(int parts, const Work& work) {
  std::vector<std::thread> threads;
  for (int k = 1; k < parts; ++k) {
    try {
      threads.emplace_back(work, k);
    } catch (const std::exception&) {
      work(k);  // no thread to be had: this one does the part
    }
  }
  work(0);
  for (std::thread& t : threads) t.join();
}

// Below this many markers a layer is drawn on one thread.
constexpr std::size_t kThreadedMarkers = 20000;

int PartsFor(std::size_t markers) {
  if (markers < kThreadedMarkers) return 1;
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

// The series alone on a transparent layer of the chart's size at `ratio`
// device pixels a chart pixel: the line drawn by a painter, the markers
// blended into the layer's pixels. The layer is cut into bands of rows,
// one a thread; every band takes the markers in point order, so each
// pixel sees them in the order a painter would draw them.
QImage BlendedSeriesLayer(const PolarSeries& s, const ChartLayout& layout,
                          double maximum, QSize size, int ratio) {
  QImage image(size.width() * ratio, size.height() * ratio,
               QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  if (image.isNull()) return image;  // no memory for it: nothing drawn
  image.fill(Qt::transparent);
  const SeriesStyle& style = s.Style();
  if (style.line_visible) {
    QPainter lp(&image);
    lp.setRenderHint(QPainter::Antialiasing, false);
    DrawLine(lp, s, layout, maximum);
  }
  if (style.marker == MarkerStyle::kNone || s.Count() == 0) return image;
  const MarkerShape shape = MakeMarkerShape(style);
  const QImage stamp = StampOf(shape, style, ratio);
  const std::vector<StampGroup> groups =
      StampGroups(stamp, MarkerOpacity(style));
  const std::vector<PolarPoint>& points = s.Points();
  const int parts = PartsFor(points.size());
  std::vector<Pixel> origins;
  try {
    origins.resize(points.size());
  } catch (const std::bad_alloc&) {
    // Without room for the positions the painter draws the stamps, to the
    // same pixels.
    return SeriesLayer(s, layout, maximum, size, ratio);
  }
  InParts(parts, [&](int k) {
    const std::size_t first = points.size() * k / parts;
    const std::size_t last = points.size() * (k + 1) / parts;
    for (std::size_t i = first; i < last; ++i) {
      const Pixel p =
          PlacePoint(layout, maximum, points[i].angle, points[i].value);
      origins[i] = {(p.x - shape.extent) * ratio, (p.y - shape.extent) * ratio};
    }
  });
  // The pixels are taken once, before the threads share them.
  auto* bits = reinterpret_cast<std::uint32_t*>(image.bits());
  const qsizetype stride = image.bytesPerLine() / 4;
  const int rows = image.height();
  InParts(parts, [&](int k) {
    BlendStamps(bits, image.width(), stride, groups, stamp.height(), origins,
                rows * k / parts, rows * (k + 1) / parts);
  });
  return image;
}

// The smallest rectangle holding every pixel that the layer covers.
QRect CoveredExtent(const QImage& layer) {
  int left = layer.width(), right = -1, top = layer.height(), bottom = -1;
  for (int y = 0; y < layer.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
    for (int x = 0; x < layer.width(); ++x) {
      if (qAlpha(row[x]) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return QRect(QPoint(left, top), QPoint(right, bottom));
}

// A large series in a vector picture: one image instead of a shape for
// every marker.
void DrawPictureLayer(QPainter& painter, const EqualAreaChart& chart,
                      const PolarSeries& series, const ChartLayout& layout,
                      double maximum, QSize size, PictureLayer kind) {
  QImage layer = SeriesLayer(series, layout, maximum, size);
  if (kind == PictureLayer::kTransparent) {
    painter.drawImage(0, 0, layer);
    return;
  }
  const QRect extent = CoveredExtent(layer);
  if (extent.isEmpty()) return;
  // What lies beneath the series, drawn as the raster draws it, then the
  // series over it: opaque, and the same pixels as the screen shows.
  QImage ground(size, QImage::Format_RGB32);
  {
    QPainter gp(&ground);
    gp.setRenderHint(QPainter::Antialiasing, false);
    gp.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));
    DrawDisc(gp, chart, layout);
    for (const PolarSeries* s : chart.SeriesList()) {
      if (s == &series) break;
      if (s->Active()) DrawSeries(gp, *s, layout, maximum);
    }
    gp.drawImage(0, 0, layer);
  }
  layer = QImage();
  painter.drawImage(extent.topLeft(), ground.copy(extent));
}

void Render(QPainter& painter, const EqualAreaChart& chart, QSize size,
            ChartRenderCache* cache, const PictureLayer* picture) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), size), ToQColor(0xFFFFFF));

  const LegendView legend = MeasureLegend(chart, size.width());
  const ChartLayout layout =
      LayOutChart(size.width(), size.height(), legend.layout);
  const double maximum = chart.RadialMaximum();
  painter.setClipRect(QRect(QPoint(0, 0), size));
  DrawDisc(painter, chart, layout);

  if (cache) cache->Prune(chart);
  for (const PolarSeries* s : chart.SeriesList()) {
    if (!s->Active()) continue;
    if (cache && s->Count() > ChartRenderCache::kLayerThreshold) {
      ChartRenderCache::Layer& layer = cache->LayerFor(s);
      const qreal ratio = painter.device()->devicePixelRatioF();
      if (layer.revision != s->Revision() || layer.size != size ||
          layer.pixel_ratio != ratio || layer.cx != layout.cx ||
          layer.cy != layout.cy || layer.radius != layout.radius ||
          layer.maximum != maximum) {
        const int whole = static_cast<int>(ratio);
        layer.image = whole == ratio && whole >= 1
                          ? BlendedSeriesLayer(*s, layout, maximum, size, whole)
                          : SeriesLayer(*s, layout, maximum, size, ratio);
        layer.revision = s->Revision();
        layer.size = size;
        layer.pixel_ratio = ratio;
        layer.cx = layout.cx;
        layer.cy = layout.cy;
        layer.radius = layout.radius;
        layer.maximum = maximum;
        cache->CountRebuild();
      }
      painter.drawImage(0, 0, layer.image);
    } else if (picture && s->Count() > kPictureLayerThreshold) {
      DrawPictureLayer(painter, chart, *s, layout, maximum, size, *picture);
    } else {
      DrawSeries(painter, *s, layout, maximum);
    }
  }
  DrawLegend(painter, legend);
  painter.restore();
}

}  // namespace

void RenderChart(QPainter& painter, const EqualAreaChart& chart, QSize size,
                 ChartRenderCache* cache) {
  Render(painter, chart, size, cache, nullptr);
}

void RenderChartPicture(QPainter& painter, const EqualAreaChart& chart,
                        QSize size, PictureLayer layer) {
  Render(painter, chart, size, nullptr, &layer);
}

QImage RenderChartImage(const EqualAreaChart& chart, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  RenderChart(painter, chart, size);
  return image;
}

PolarSeries* LegendCheckBoxAt(EqualAreaChart& chart, QSize size, int x, int y) {
  const LegendView legend = MeasureLegend(chart, size.width());
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const LegendEntryLayout& e = legend.layout.entries[i];
    // The whole row of the entry answers, not only the box itself.
    const PixelRect row{
        e.check_box.left, e.sample.top,
        legend.layout.box.left + legend.layout.box.width - e.check_box.left,
        e.sample.height};
    if (row.Contains(x, y)) {
      for (PolarSeries* s : chart.SeriesList()) {
        if (s == legend.series[i]) return s;
      }
    }
  }
  return nullptr;
}

}  // namespace orvane

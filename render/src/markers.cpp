// SPDX-License-Identifier: MIT
#include "marker_drawing.h"

#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "render/chart_render.h"

namespace orvane {

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

namespace {

// The shape of a marker at its half sizes, before any print scale.
MarkerShape MakeScreenShape(const SeriesStyle& style, double scale);

// The shape scaled by `factor` about its centre: its regions scaled, and
// its pixels those whose centres the scaled regions hold.
MarkerShape ScaledShape(MarkerShape m, double factor) {
  const QTransform by = QTransform::fromScale(factor, factor);
  m.fill = by.map(m.fill);
  m.outline = by.map(m.outline);
  m.extent = static_cast<int>(std::ceil(m.extent * factor));
  const int side = 2 * m.extent + 1;
  m.pixels.assign(static_cast<std::size_t>(side) * side, MarkerPixel::kNone);
  for (int dy = -m.extent; dy <= m.extent; ++dy) {
    for (int dx = -m.extent; dx <= m.extent; ++dx) {
      const QPointF centre(dx, dy);
      MarkerPixel p = MarkerPixel::kNone;
      if (m.outline.contains(centre)) {
        p = MarkerPixel::kOutline;
      } else if (m.fill.contains(centre)) {
        p = MarkerPixel::kFill;
      }
      m.pixels[static_cast<std::size_t>((dy + m.extent) * side + dx +
                                        m.extent)] = p;
    }
  }
  return m;
}

}  // namespace

MarkerShape MakeMarkerShape(const SeriesStyle& style, double scale) {
  MarkerShape m = MakeScreenShape(style, scale);
  if (style.marker_scale == 1.0 || !(style.marker_scale > 0)) return m;
  return ScaledShape(std::move(m), style.marker_scale);
}

namespace {

MarkerShape MakeScreenShape(const SeriesStyle& style, double scale) {
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

}  // namespace

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
    if (stamp.isNull()) return stamp;  // no memory for it
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
  if (stamp.isNull()) return stamp;  // no memory for it
  // Coarser than the chart's pixels (a large series' image in a vector
  // figure) the stamp is painted at one device pixel a pixel and scaled
  // explicitly: a painter on an image of a ratio below one clips it.
  const bool coarse = ratio < 1;
  if (!coarse) stamp.setDevicePixelRatio(ratio);
  stamp.fill(Qt::transparent);
  {
    QPainter sp(&stamp);
    sp.setRenderHint(QPainter::Antialiasing, false);
    if (coarse) sp.scale(ratio, ratio);
    sp.translate(shape.extent + 0.5, shape.extent + 0.5);
    if (!shape.fill.isEmpty()) sp.fillPath(shape.fill, ToQColor(*style.fill));
    if (!shape.outline.isEmpty()) {
      sp.fillPath(shape.outline, ToQColor(*style.outline));
    }
  }
  if (coarse) stamp.setDevicePixelRatio(ratio);
  return stamp;
}

// Draws the marker at the pixel p: its stamp on a raster, its regions in a
// vector picture. False when there was no memory for the stamp.
bool FillMarker(QPainter& painter, const MarkerShape& shape,
                const SeriesStyle& style, Pixel p, double scale) {
  if (IsRasterPainter(painter)) {
    const QImage stamp =
        StampOf(shape, style, painter.device()->devicePixelRatioF() * scale);
    if (stamp.isNull()) return false;
    painter.save();
    painter.setOpacity(MarkerOpacity(style));
    painter.drawImage(p.x - shape.extent, p.y - shape.extent, stamp);
    painter.restore();
    return true;
  }
  DrawMarkerShapesAt(painter, style, {{p.x + 0.5, p.y + 0.5}});
  return true;
}

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

}  // namespace

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

bool DrawMarkersAt(QPainter& painter, const SeriesStyle& style,
                   std::size_t count, const PixelOf& pixel, double scale) {
  return DrawMarkersWith(painter, style, count, pixel, scale);
}

QImage MarkerLayerAt(const SeriesStyle& style, std::size_t count,
                     const PixelOf& pixel, QSize size, qreal ratio,
                     double scale) {
  const int whole = static_cast<int>(ratio);
  QImage image(static_cast<int>(std::ceil(size.width() * ratio)),
               static_cast<int>(std::ceil(size.height() * ratio)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;  // no memory for it: nothing drawn
  image.fill(Qt::transparent);
  if (ratio < 1) {
    // Coarser than the chart's pixels, painted at one device pixel a pixel
    // and scaled explicitly, as StampOf does.
    if (style.marker != MarkerStyle::kNone && count > 0) {
      QPainter lp(&image);
      lp.setRenderHint(QPainter::Antialiasing, false);
      lp.scale(ratio, ratio);
      if (!DrawMarkersAt(lp, style, count, pixel, ratio)) return QImage();
    }
    image.setDevicePixelRatio(ratio);
    return image;
  }
  image.setDevicePixelRatio(ratio);
  if (style.marker == MarkerStyle::kNone || count == 0) return image;
  if (whole == ratio && whole >= 1 &&
      BlendMarkersInto(image, style, count, pixel, whole, scale)) {
    return image;
  }
  QPainter lp(&image);
  lp.setRenderHint(QPainter::Antialiasing, false);
  if (!DrawMarkersAt(lp, style, count, pixel, scale)) return QImage();
  return image;
}

}  // namespace orvane

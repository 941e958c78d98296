// SPDX-License-Identifier: MIT
// The markers of the chart's series: their pixels on every raster, the
// geometry that vector pictures receive, and large series blended straight
// into their cached layers.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <string>
#include <vector>

#include "render/chart_render.h"
#include "render/picture_export.h"
#include "support/image_compare.h"

namespace orvane {
namespace {

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

// The six series of the chart with their names, in list order.
struct Named {
  const char* name;
  PolarSeries EqualAreaChart::*series;
};
const Named kSeries[] = {
    {"bootstrap", &EqualAreaChart::bootstrap},
    {"retrodeformed", &EqualAreaChart::retrodeformed},
    {"measured", &EqualAreaChart::measured},
    {"optimal", &EqualAreaChart::optimal},
    {"measured_highlight", &EqualAreaChart::measured_highlight},
    {"retrodeformed_highlight", &EqualAreaChart::retrodeformed_highlight},
};

// Each series' marker as it must look at one screen pixel a chart pixel:
// 'f' the fill, 'o' the outline, '.' nothing; the point is the middle.
const std::vector<std::string> kMasks[] = {
    {"..fff..",  //
     ".fffff.",  //
     "fffffff",  //
     "fffffff",  //
     "fffffff",  //
     ".fffff.",  //
     "..fff.."},
    {"....f....",  //
     "...fff...",  //
     "..fffff..",  //
     ".fffffff.",  //
     "fffffffff",  //
     ".fffffff.",  //
     "..fffff..",  //
     "...fff...",  //
     "....f...."},
    {"ooooooo",  //
     "o.....o",  //
     "o.....o",  //
     "o.....o",  //
     "o.....o",  //
     "o.....o",  //
     "ooooooo"},
    {"..ooo..",  //
     "..ooo..",  //
     "ooooooo",  //
     "ooooooo",  //
     "ooooooo",  //
     "..ooo..",  //
     "..ooo.."},
    {"....ooooo....",  //
     "..ooooooooo..",  //
     ".ooofffffooo.",  //
     ".oofffffffoo.",  //
     "oofffffffffoo",  //
     "oofffffffffoo",  //
     "oofffffffffoo",  //
     "oofffffffffoo",  //
     "oofffffffffoo",  //
     ".oofffffffoo.",  //
     ".ooofffffooo.",  //
     "..ooooooooo..",  //
     "....ooooo...."},
};

// The chart with only `series` shown, its one point left of the disc
// (beyond the radial maximum) so that nothing else lies near it.
EqualAreaChart AloneChart(PolarSeries EqualAreaChart::*series, Pixel* at) {
  EqualAreaChart chart;
  chart.StartUp();
  chart.DestroyIsoRatioCircles();
  for (const Named& n : kSeries) (chart.*n.series).SetActive(false);
  PolarSeries& s = chart.*series;
  s.SetActive(true);
  s.AddPolar(180.0, 3.4);
  *at = PlacePoint(LayOutChart(chart, kDesignSize), chart.RadialMaximum(),
                   180.0, 3.4);
  return chart;
}

// A colour blended over white at the series' transparency.
QRgb OverWhite(Rgb rgb, int transparency) {
  const QColor c = ToQColor(rgb);
  auto mix = [transparency](int v) {
    return (v * (100 - transparency) + 255 * transparency + 50) / 100;
  };
  return qRgb(mix(c.red()), mix(c.green()), mix(c.blue()));
}

// The marker read back from a picture: each pixel of the box of `side`
// around p as 'f', 'o', '.' or '?' (a colour that is none of them). Pixels
// just outside the box must be white.
std::vector<std::string> ReadMask(const QImage& image, Pixel p, int side,
                                  const SeriesStyle& style) {
  const int e = side / 2;
  std::vector<std::string> rows;
  for (int y = p.y - e - 1; y <= p.y + e + 1; ++y) {
    std::string row;
    for (int x = p.x - e - 1; x <= p.x + e + 1; ++x) {
      const QRgb c = image.pixel(x, y);
      char k = '?';
      if (testing_support::ColourDistance(c, qRgb(255, 255, 255)) == 0) {
        k = '.';
      } else if (style.fill &&
                 testing_support::ColourDistance(
                     c, OverWhite(*style.fill, style.transparency)) <= 2) {
        k = 'f';
      } else if (style.outline &&
                 testing_support::ColourDistance(
                     c, OverWhite(*style.outline, style.transparency)) <= 2) {
        k = 'o';
      }
      row += k;
    }
    rows.push_back(row);
  }
  return rows;
}

// The expected mask with the white frame around it.
std::vector<std::string> Framed(const std::vector<std::string>& mask) {
  const std::string blank(mask.size() + 2, '.');
  std::vector<std::string> rows{blank};
  for (const std::string& r : mask) rows.push_back("." + r + ".");
  rows.push_back(blank);
  return rows;
}

std::string Joined(const std::vector<std::string>& rows) {
  std::string s;
  for (const std::string& r : rows) s += "\n" + r;
  return s;
}

QImage Decoded(const EqualAreaChart& chart, PictureFormat format) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(WriteChartPicture(chart, kDesignSize, format, buffer).ok());
  return QImage::fromData(buffer.data());
}

// Every style, alone, drawn into an image, a pixmap (as the screen paints)
// and the bitmap and PNG files: the exact pixels of its marker.
TEST(MarkerPixels, EveryStyleHasItsShapeOnEveryRaster) {
  for (std::size_t i = 0; i < std::size(kSeries); ++i) {
    SCOPED_TRACE(kSeries[i].name);
    const std::vector<std::string>& mask = kMasks[std::min<std::size_t>(i, 4)];
    Pixel p;
    const EqualAreaChart chart = AloneChart(kSeries[i].series, &p);
    const SeriesStyle& style = (chart.*kSeries[i].series).Style();
    const int side = static_cast<int>(mask.size());
    QPixmap pixmap(kDesignSize);
    {
      QPainter painter(&pixmap);
      RenderChart(painter, chart, kDesignSize);
    }
    const std::pair<const char*, QImage> rasters[] = {
        {"image", RenderChartImage(chart, kDesignSize)},
        {"pixmap", pixmap.toImage()},
        {"bmp", Decoded(chart, PictureFormat::kBmp)},
        {"png", Decoded(chart, PictureFormat::kPng)},
    };
    for (const auto& [what, image] : rasters) {
      ASSERT_EQ(image.size(), kDesignSize) << what;
      EXPECT_EQ(Joined(ReadMask(image, p, side, style)), Joined(Framed(mask)))
          << what;
    }
    // The stamp that rasters blend is the same mask.
    const QImage stamp = MarkerStamp(style);
    ASSERT_EQ(stamp.width(), side);
    ASSERT_EQ(stamp.height(), side);
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const char want = mask[y][x];
        const QRgb got = stamp.pixel(x, y);
        const QRgb colour = want == 'f'   ? ToQColor(*style.fill).rgba()
                            : want == 'o' ? ToQColor(*style.outline).rgba()
                                          : 0u;
        EXPECT_EQ(got, colour) << x << "," << y;
      }
    }
  }
}

// The legend samples are the same markers.
TEST(MarkerPixels, LegendSamplesHaveTheShapes) {
  EqualAreaChart chart;
  chart.StartUp();
  const QImage image = RenderChartImage(chart, kDesignSize);
  const LegendView legend = MeasureLegend(chart, kDesignSize.width());
  for (std::size_t i = 0; i < legend.series.size(); ++i) {
    const LegendEntryLayout& e = legend.layout.entries[i];
    const Pixel p{e.sample.left + e.sample.width / 2,
                  e.sample.top + e.sample.height / 2};
    const SeriesStyle& style = legend.series[i]->Style();
    const int side = static_cast<int>(kMasks[i].size());
    // Over the legend's ground, so only the shape is compared.
    std::vector<std::string> rows;
    for (int y = p.y - side / 2; y <= p.y + side / 2; ++y) {
      std::string row;
      for (int x = p.x - side / 2; x <= p.x + side / 2; ++x) {
        row += (image.pixel(x, y) & 0xFFFFFF) == 0xFFFFE1 ? '.' : '#';
      }
      rows.push_back(row);
    }
    std::vector<std::string> want = kMasks[i];
    for (std::string& r : want) {
      for (char& c : r) c = c == '.' ? '.' : '#';
    }
    EXPECT_EQ(Joined(rows), Joined(want)) << style.title;
  }
}

// At any scale: mirror-symmetric, as wide and high as the scaled
// half-sizes, the outline as wide as the scaled width, and the geometry
// that vector pictures get covers exactly the raster's pixels.
TEST(MarkerGeometry, ScaledShapesAreSymmetricAndMatchTheirPaths) {
  EqualAreaChart chart;
  chart.StartUp();
  for (double scale : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 7.0}) {
    for (const Named& n : kSeries) {
      const SeriesStyle& style = (chart.*n.series).Style();
      SCOPED_TRACE(std::string(n.name) + " at " + std::to_string(scale));
      const MarkerShape m = MakeMarkerShape(style, scale);
      const int h = static_cast<int>(std::lround(style.half_width * scale));
      const int v = static_cast<int>(std::lround(style.half_height * scale));
      ASSERT_EQ(m.extent, std::max(h, v));
      int left = 0, top = 0, bottom = 0;
      for (int dy = -m.extent; dy <= m.extent; ++dy) {
        for (int dx = -m.extent; dx <= m.extent; ++dx) {
          const MarkerPixel p = m.At(dx, dy);
          ASSERT_EQ(p, m.At(-dx, dy)) << dx << "," << dy;
          ASSERT_EQ(p, m.At(dx, -dy)) << dx << "," << dy;
          if (p == MarkerPixel::kNone) continue;
          left = std::min(left, dx);
          top = std::min(top, dy);
          bottom = std::max(bottom, dy);
        }
      }
      EXPECT_EQ(left, -h);
      EXPECT_EQ(top, -v);
      // No spur: the bottom row is the top row mirrored, which the loop
      // above checked pixel by pixel, and it is as low as the half-size.
      EXPECT_EQ(bottom, v);
      if (style.marker != MarkerStyle::kCross && style.outline) {
        // Along the axes the outline is as wide as its scaled pen.
        const int w = std::max(
            1, static_cast<int>(std::lround(style.outline_width * scale)));
        for (int k = 0; k < w; ++k) {
          EXPECT_EQ(m.At(h - k, 0), MarkerPixel::kOutline) << k;
        }
        EXPECT_EQ(m.At(h - w, 0),
                  style.fill ? MarkerPixel::kFill : MarkerPixel::kNone);
      }
      // The regions that vector pictures get hold exactly the pixel
      // centres of the mask.
      for (int dy = -m.extent; dy <= m.extent; ++dy) {
        for (int dx = -m.extent; dx <= m.extent; ++dx) {
          const QPointF c(dx, dy);
          const MarkerPixel want = m.fill.contains(c) ? MarkerPixel::kFill
                                   : m.outline.contains(c)
                                       ? MarkerPixel::kOutline
                                       : MarkerPixel::kNone;
          ASSERT_EQ(m.At(dx, dy), want) << dx << "," << dy;
          ASSERT_FALSE(m.fill.contains(c) && m.outline.contains(c));
        }
      }
    }
  }
}

// A circle reaches vector pictures as curves on the box's edges, not as a
// polygon of a few sides.
TEST(MarkerGeometry, CirclesAreTrueEllipses) {
  EqualAreaChart chart;
  chart.StartUp();
  for (const PolarSeries* s : {&chart.bootstrap, &chart.measured_highlight}) {
    const SeriesStyle& style = s->Style();
    const MarkerShape m = MakeMarkerShape(style);
    const QPainterPath& edge = style.outline ? m.outline : m.fill;
    const double r = style.half_width + 0.5;
    EXPECT_EQ(edge.boundingRect(), QRectF(-r, -r, 2 * r, 2 * r));
    int curves = 0;
    for (int i = 0; i < edge.elementCount(); ++i) {
      curves += edge.elementAt(i).type == QPainterPath::CurveToElement;
    }
    EXPECT_GE(curves, 4) << style.title;
    // The points of the curve lie on the circle.
    for (qreal t = 0; t <= 1.0; t += 1.0 / 64) {
      const QPointF q = edge.pointAtPercent(t);
      const double d = std::hypot(q.x(), q.y());
      if (d > r - 1) {
        EXPECT_NEAR(d, r, 0.01) << t;
      }
    }
  }
}

// A large series is blended straight into its cached layer: the layer has
// the pixels that a painter blending the stamp at each point in order
// gives, overlapping translucent markers and the layer's edges included.
TEST(MarkerLayers, BlendedLayerEqualsStampsDrawnOneByOne) {
  EqualAreaChart chart;
  chart.StartUp();
  std::uint32_t state = 7;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / double(1 << 24);
  };
  for (int i = 0; i < 60000; ++i) {
    // Dense, overlapping, and some past the chart's edges.
    chart.retrodeformed.AddPolar(360 * next(), 4.5 * next());
    chart.measured.AddPolar(360 * next(), 1.2 * next());
  }
  PlotRenderCache cache;
  QImage target(kDesignSize, QImage::Format_RGB32);
  {
    QPainter painter(&target);
    RenderChart(painter, chart, kDesignSize, &cache);
  }
  const ChartLayout layout = LayOutChart(chart, kDesignSize);
  for (const PolarSeries* s : {&chart.retrodeformed, &chart.measured}) {
    const QImage* layer = cache.LayerImage(s);
    ASSERT_NE(layer, nullptr);
    QImage want(kDesignSize, QImage::Format_ARGB32_Premultiplied);
    want.fill(Qt::transparent);
    const QImage stamp = MarkerStamp(s->Style());
    const int e = stamp.width() / 2;
    {
      QPainter painter(&want);
      painter.setOpacity((100 - s->Style().transparency) / 100.0);
      for (const PolarPoint& p : s->Points()) {
        const Pixel px =
            PlacePoint(layout, chart.RadialMaximum(), p.angle, p.value);
        painter.drawImage(px.x - e, px.y - e, stamp);
      }
    }
    ASSERT_EQ(layer->size(), want.size());
    int differing = 0;
    for (int y = 0; y < want.height(); ++y) {
      for (int x = 0; x < want.width(); ++x) {
        differing += layer->pixel(x, y) != want.pixel(x, y);
      }
    }
    EXPECT_EQ(differing, 0) << s->Style().title;
  }
}

}  // namespace
}  // namespace orvane

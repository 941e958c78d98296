// SPDX-License-Identifier: MIT
// The chart as drawn: pixels of a raster rendering, and the structure of
// the picture files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <thread>

#include "core/analysis.h"
#include "render/bitmap_file.h"
#include "render/chart_render.h"
#include "render/emf_paint_engine.h"
#include "render/emf_records.h"
#include "render/picture_export.h"
#include "support/analysed_chart.h"
#include "support/image_compare.h"

namespace orvane {
namespace {

using testing_support::AnalysedChart;

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

QRgb ColourAt(const QImage& image, Pixel p) {
  return image.pixel(p.x, p.y) & 0xFFFFFF;
}

EqualAreaChart StartUpChart() {
  EqualAreaChart chart;
  chart.StartUp();
  return chart;
}

TEST(RenderStartUp, GreyCirclesAndRadiusOnWhite) {
  const EqualAreaChart chart = StartUpChart();
  const QImage image = RenderChartImage(chart, kDesignSize);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  for (const auto& circle : chart.IsoRatioCircles()) {
    const double zeta = circle->Points()[0].value;
    for (double angle : {0.0, 90.0, 180.0, 270.0}) {
      EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, angle, zeta)), 0x808080u)
          << zeta << " at " << angle;
    }
  }
  // The radius to the right, from the centre to the R = 4 circle.
  EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, 0.0, 1.0)), 0x808080u);
  EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, 0.0, 1.4)), 0x808080u);
  // Nothing to the left of the centre, nothing beyond the outer circle, no
  // disc outline (the bootstrap series supplies a disc without one).
  EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, 180.0, 1.0)), 0xFFFFFFu);
  EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, 180.0, 2.0)), 0xFFFFFFu);
  EXPECT_EQ(ColourAt(image, PlacePoint(l, 3.0, 90.0, 3.0)), 0xFFFFFFu);
  EXPECT_EQ(ColourAt(image, {l.cx - 2, l.cy - 2}), 0xFFFFFFu);
}

TEST(RenderStartUp, DiscOutlineWhenTheFirstSeriesIsUnchecked) {
  EqualAreaChart chart = StartUpChart();
  chart.bootstrap.SetActive(
      false);  // retrodeformed paints it, outlined in black
  const QImage image = RenderChartImage(chart, kDesignSize);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  EXPECT_EQ(ColourAt(image, {l.cx - l.radius, l.cy}), 0x000000u);
}

TEST(RenderStartUp, LegendListsFourSeries) {
  const EqualAreaChart chart = StartUpChart();
  const LegendView legend = MeasureLegend(chart, kDesignSize.width());
  ASSERT_EQ(legend.series.size(), 4u);
  EXPECT_EQ(legend.series[0]->Style().title, "Bootstrap Solutions");
  EXPECT_EQ(legend.series[1]->Style().title, "Pre-Strain");
  EXPECT_EQ(legend.series[2]->Style().title, "Post-Strain");
  EXPECT_EQ(legend.series[3]->Style().title, "Optimal Strain");
  const QImage image = RenderChartImage(chart, kDesignSize);
  const PixelRect& box = legend.layout.box;
  // The legend's tooltip-coloured ground with its grey shadow.
  EXPECT_EQ(ColourAt(image, {box.left + 2, box.top + box.height - 2}),
            0xFFFFE1u);
  EXPECT_EQ(ColourAt(image, {box.left + box.width + 1, box.top + box.height}),
            0xCCCCCCu);
}

// A measured point far from the others, and its pixel.
const std::vector<testing_support::Ellipse>& kData =
    testing_support::kSixMarkers;

TEST(RenderData, MarkersAtTheirPixels) {
  AnalysisState s;
  EqualAreaChart chart = AnalysedChart(kData, &s);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  const MarkerRecord& d = s.measured[6];
  const Pixel p =
      PlacePoint(l, chart.RadialMaximum(), PlotAngle(d.psi), d.zeta);
  QImage image = RenderChartImage(chart, kDesignSize);
  // The hollow square: its outline, #0000A0 at 31 % transparency over
  // white, three pixels from the point; its inside stays white.
  const QRgb edge = ColourAt(image, {p.x + 3, p.y});
  EXPECT_NEAR(qRed(edge), 79, 2);
  EXPECT_NEAR(qGreen(edge), 79, 2);
  EXPECT_NEAR(qBlue(edge), 189, 2);
  EXPECT_EQ(ColourAt(image, {p.x, p.y}), 0xFFFFFFu);
  // Unchecked, the series is not drawn.
  chart.measured.SetActive(false);
  image = RenderChartImage(chart, kDesignSize);
  EXPECT_EQ(ColourAt(image, {p.x + 3, p.y}), 0xFFFFFFu);
}

TEST(RenderData, OptimalStrainCrossAndHighlight) {
  AnalysisState s;
  EqualAreaChart chart = AnalysedChart(kData, &s);
  chart.bootstrap.SetActive(false);
  chart.retrodeformed.SetActive(false);
  chart.measured.SetActive(false);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  const Pixel o = PlacePoint(l, chart.RadialMaximum(), PlotAngle(s.strain.psi),
                             s.strain.zeta);
  QImage image = RenderChartImage(chart, kDesignSize);
  // Red at 34 % transparency over the white disc, covered once even where
  // the two strokes of the cross meet.
  const QRgb centre = ColourAt(image, o);
  EXPECT_EQ(qRed(centre), 255);
  EXPECT_NEAR(qGreen(centre), 87, 2);
  EXPECT_EQ(ColourAt(image, {o.x + 3, o.y}), centre);
  EXPECT_EQ(ColourAt(image, {o.x, o.y - 3}), centre);

  chart.optimal.SetActive(false);
  chart.Highlight(s, 6);
  const MarkerRecord& f = s.measured[6];
  const Pixel h =
      PlacePoint(l, chart.RadialMaximum(), PlotAngle(f.psi), f.zeta);
  image = RenderChartImage(chart, kDesignSize);
  const QRgb fill = ColourAt(image, h);  // #FF8040 at 46 %
  EXPECT_EQ(qRed(fill), 255);
  EXPECT_NEAR(qGreen(fill), 186, 2);
  EXPECT_NEAR(qBlue(fill), 154, 2);
  const QRgb rim = ColourAt(image, {h.x + 6, h.y});  // fuchsia at 46 %
  EXPECT_EQ(qRed(rim), 255);
  EXPECT_NEAR(qGreen(rim), 117, 2);
  EXPECT_EQ(qBlue(rim), 255);
  chart.HideHighlight();
  image = RenderChartImage(chart, kDesignSize);
  EXPECT_EQ(ColourAt(image, h), 0xFFFFFFu);
}

TEST(RenderData, ValuesBeyondTheMaximumLieOutsideTheDisc) {
  EqualAreaChart chart = StartUpChart();
  chart.measured.AddPolar(180.0, 4.0);  // maximum 3.0
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  const Pixel p = PlacePoint(l, 3.0, 180.0, 4.0);
  EXPECT_LT(p.x, l.cx - l.radius);
  const QImage image = RenderChartImage(chart, kDesignSize);
  EXPECT_NE(ColourAt(image, {p.x + 3, p.y}), 0xFFFFFFu);
}

TEST(RenderCache, RepaintsReuseLargeSeries) {
  std::vector<testing_support::Ellipse> data;
  for (int i = 0; i < 5000; ++i) {
    data.push_back({1.5f + static_cast<float>(i % 37) * 0.05f, 1,
                    static_cast<float>(i % 80)});
  }
  AnalysisState s;
  EqualAreaChart chart = AnalysedChart(data, &s);
  PlotRenderCache cache;
  QImage cached(kDesignSize, QImage::Format_RGB32);
  {
    QPainter p(&cached);
    RenderChart(p, chart, kDesignSize, &cache);
  }
  EXPECT_EQ(cache.RebuiltLayers(), 2);  // the measured and pre-strain data
  chart.Highlight(s, 10);
  chart.bootstrap.SetActive(false);
  {
    QPainter p(&cached);
    RenderChart(p, chart, kDesignSize, &cache);
  }
  EXPECT_EQ(cache.RebuiltLayers(), 2);
  // The cached drawing equals the direct one.
  const QImage direct = RenderChartImage(chart, kDesignSize);
  EXPECT_EQ(testing_support::DifferingPixels(direct, cached, 2), 0);
}

// A screen of two device pixels a chart pixel: the cached layers have as
// many pixels as the screen, so that large data look as sharp as markers
// drawn one by one.
TEST(RenderCache, LayersHaveTheDevicePixelRatio) {
  std::vector<testing_support::Ellipse> data;
  for (int i = 0; i < 3000; ++i) {
    data.push_back({1.5f + static_cast<float>(i % 41) * 0.07f, 1,
                    static_cast<float>(i % 90)});
  }
  const EqualAreaChart chart = AnalysedChart(data);
  PlotRenderCache cache;
  QImage cached(kDesignSize * 2, QImage::Format_RGB32);
  cached.setDevicePixelRatio(2);
  {
    QPainter p(&cached);
    RenderChart(p, chart, kDesignSize, &cache);
  }
  ASSERT_EQ(cache.RebuiltLayers(), 2);
  // Drawn marker by marker, at the device's pixels, onto a pixmap.
  QPixmap pixmap(kDesignSize * 2);
  pixmap.setDevicePixelRatio(2);
  {
    QPainter p(&pixmap);
    RenderChart(p, chart, kDesignSize);
  }
  const QImage direct = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(direct.size(), cached.size());
  EXPECT_EQ(testing_support::DifferingPixels(direct, cached, 2), 0);
}

// The little-endian word at byte `at`.
std::uint32_t U32(const QByteArray& b, qsizetype at) {
  std::uint32_t v = 0;
  for (qsizetype i = 3; i >= 0; --i) {
    v = (v << 8) | static_cast<std::uint8_t>(b.at(at + i));
  }
  return v;
}
std::int32_t I32(const QByteArray& b, qsizetype at) {
  return static_cast<std::int32_t>(U32(b, at));
}

TEST(Metafile, RecordStructure) {
  const EqualAreaChart chart = AnalysedChart(kData);
  const QByteArray emf = MetafileOf(chart, kDesignSize);
  ASSERT_GT(emf.size(), 108);
  EXPECT_EQ(U32(emf, 0), 1u);    // EMR_HEADER
  EXPECT_EQ(U32(emf, 4), 108u);  // with both header extensions
  EXPECT_EQ(U32(emf, 40), 0x464D4520u);
  EXPECT_EQ(U32(emf, 48), static_cast<std::uint32_t>(emf.size()));
  // Bounds inside the picture; the frame is the picture, in 0.01 mm.
  EXPECT_GE(I32(emf, 8), 0);
  EXPECT_GE(I32(emf, 12), 0);
  EXPECT_LE(I32(emf, 16), 639);
  EXPECT_LE(I32(emf, 20), 361);
  EXPECT_EQ(I32(emf, 32), 16933 - 1);  // 640 px at 96 dpi = 169.33 mm
  // The reference device's pixels and millimetres give 96 dpi exactly:
  // readers scale the picture by them.
  EXPECT_EQ(I32(emf, 72) * 254, I32(emf, 80) * 960);
  EXPECT_EQ(I32(emf, 76) * 254, I32(emf, 84) * 960);
  // Walk the records: sizes are multiples of four, the last is EMR_EOF.
  qsizetype at = 0;
  std::uint32_t records = 0, last = 0, polygons = 0, texts = 0;
  while (at < emf.size()) {
    const std::uint32_t type = U32(emf, at), size = U32(emf, at + 4);
    ASSERT_GE(size, 8u);
    ASSERT_EQ(size % 4, 0u);
    ASSERT_LE(at + size, emf.size());
    polygons += type == 86 || type == 91;
    texts += type == 84;
    last = type;
    ++records;
    at += size;
  }
  EXPECT_EQ(last, 14u);
  EXPECT_EQ(U32(emf, 52), records);
  EXPECT_GT(polygons, 6u);
  EXPECT_EQ(texts, 4u);  // the legend titles
}

TEST(Metafile, TextCarriesItsAdvances) {
  const EqualAreaChart chart = StartUpChart();
  const QByteArray emf = MetafileOf(chart, kDesignSize);
  qsizetype at = 0;
  bool found = false;
  while (at < emf.size()) {
    const std::uint32_t type = U32(emf, at), size = U32(emf, at + 4);
    if (type == 84) {
      const std::uint32_t n = U32(emf, at + 44);
      const std::uint32_t off_string = U32(emf, at + 48);
      const std::uint32_t off_dx = U32(emf, at + 72);
      QString text;
      for (std::uint32_t i = 0; i < n; ++i) {
        text.append(QChar(static_cast<char16_t>(
            static_cast<std::uint8_t>(emf[at + off_string + 2 * i]) |
            (static_cast<std::uint8_t>(emf[at + off_string + 2 * i + 1])
             << 8))));
      }
      if (text == "Post-Strain") {
        found = true;
        int total = 0;
        for (std::uint32_t i = 0; i < n; ++i) {
          const std::int32_t dx = I32(emf, at + off_dx + 4 * i);
          EXPECT_GT(dx, 0);
          total += dx;
        }
        EXPECT_GT(total, 40);
        EXPECT_LE(off_dx + 4 * n, size);
      }
    }
    at += size;
  }
  EXPECT_TRUE(found);
}

// The start-up chart with `n` measured points in a band of the upper right
// quarter, spread evenly.
EqualAreaChart ChartWithPoints(std::size_t n) {
  EqualAreaChart chart = StartUpChart();
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) / double(1 << 24);
  };
  for (std::size_t i = 0; i < n; ++i) {
    chart.measured.AddPolar(10 + 60 * next(), 1.0 + 1.5 * next());
  }
  return chart;
}

QByteArray PictureOf(const EqualAreaChart& chart, PictureFormat format) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const Status r = WriteChartPicture(chart, kDesignSize, format, buffer);
  EXPECT_TRUE(r.ok()) << r.message();
  return buffer.data();
}

// The metafile's records as (type, offset).
std::vector<std::pair<std::uint32_t, qsizetype>> Records(const QByteArray& b) {
  std::vector<std::pair<std::uint32_t, qsizetype>> out;
  qsizetype at = 0;
  while (at + 8 <= b.size()) {
    const std::uint32_t size = U32(b, at + 4);
    if (size < 8 || size % 4 != 0 || at + size > b.size()) break;
    out.emplace_back(U32(b, at), at);
    at += size;
  }
  EXPECT_EQ(at, b.size()) << "records do not tile the metafile";
  return out;
}

int CountOf(const std::vector<std::pair<std::uint32_t, qsizetype>>& records,
            std::uint32_t type) {
  return static_cast<int>(
      std::count_if(records.begin(), records.end(),
                    [type](const auto& r) { return r.first == type; }));
}

constexpr std::uint32_t kStretchDiBits = 81;

// The bitmap records of 32-bit pixels (not the PNG fallbacks of
// translucent shapes).
int CountImages(const QByteArray& emf) {
  int n = 0;
  for (const auto& [type, at] : Records(emf)) {
    n += type == kStretchDiBits && U32(emf, at + 80 + 16) != 5;  // BI_PNG
  }
  return n;
}

// The EMF+ comments that fill a path.
int CountPlusFills(const QByteArray& emf) {
  int n = 0;
  for (const auto& [type, at] : Records(emf)) {
    if (type != 70 || U32(emf, at + 12) != 0x2B464D45u) continue;
    const qsizetype end = at + 16 + U32(emf, at + 8) - 4;
    for (qsizetype p = at + 16; p + 12 <= end; p += U32(emf, p + 4)) {
      n += (U32(emf, p) & 0xFFFF) == 0x4014;
      if (U32(emf, p + 4) < 12) break;
    }
  }
  return n;
}

TEST(PictureLayers, LargeSeriesGoIntoOneImage) {
  const EqualAreaChart chart = ChartWithPoints(2 * kPictureLayerThreshold);
  const QByteArray svg = PictureOf(chart, PictureFormat::kSvg);
  EXPECT_LT(svg.size(), 2'000'000);
  EXPECT_EQ(svg.count("<image"), 1);
  // The circles, the legend and its text stay shapes.
  EXPECT_GT(svg.count("<path") + svg.count("<polyline"), 5);
  EXPECT_TRUE(svg.contains("Post-Strain"));
  const QByteArray pdf = PictureOf(chart, PictureFormat::kPdf);
  EXPECT_LT(pdf.size(), 2'000'000);
  EXPECT_TRUE(pdf.contains("/Subtype /Image"));
  const QByteArray emf = PictureOf(chart, PictureFormat::kEmf);
  EXPECT_LT(emf.size(), 640 * 362 * 4 + 200'000);
  const auto records = Records(emf);
  EXPECT_EQ(CountImages(emf), 1);
  EXPECT_EQ(CountOf(records, 84), 4);  // the legend titles
}

TEST(PictureLayers, SeriesUpToTheThresholdStayShapes) {
  const EqualAreaChart small = AnalysedChart(kData);
  EXPECT_FALSE(PictureOf(small, PictureFormat::kSvg).contains("<image"));
  EXPECT_FALSE(
      PictureOf(small, PictureFormat::kPdf).contains("/Subtype /Image"));
  const EqualAreaChart at = ChartWithPoints(kPictureLayerThreshold);
  const QByteArray emf = PictureOf(at, PictureFormat::kEmf);
  EXPECT_EQ(CountImages(emf), 0);
  // One translucent fill a marker (hollow squares: one path with a hole),
  // each with its PNG for readers without EMF+.
  EXPECT_GE(CountPlusFills(emf), static_cast<int>(kPictureLayerThreshold));
  EXPECT_GE(CountOf(Records(emf), kStretchDiBits),
            static_cast<int>(kPictureLayerThreshold));
  const EqualAreaChart above = ChartWithPoints(kPictureLayerThreshold + 1);
  EXPECT_EQ(CountImages(PictureOf(above, PictureFormat::kEmf)), 1);
}

// The image carries the markers at the pixels where the screen shows them.
TEST(PictureLayers, ImageShowsWhatTheScreenShows) {
  EqualAreaChart chart = ChartWithPoints(kPictureLayerThreshold + 5000);
  chart.DestroyIsoRatioCircles();  // nothing over the cloud but the legend
  const QImage screen = RenderChartImage(chart, kDesignSize);
  const LegendView legend = MeasureLegend(chart, kDesignSize.width());
  const PixelRect& box = legend.layout.box;
  auto in_legend = [&box](int x, int y) {
    return x >= box.left && x <= box.left + box.width + kLegendShadow &&
           y >= box.top && y <= box.top + box.height + kLegendShadow;
  };
  auto close = [](QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 2 &&
           std::abs(qGreen(a) - qGreen(b)) <= 2 &&
           std::abs(qBlue(a) - qBlue(b)) <= 2;
  };

  // The metafile's bitmap, rows bottom-up, against the screen's pixels.
  const QByteArray emf = PictureOf(chart, PictureFormat::kEmf);
  int checked = 0, differing = 0;
  for (const auto& [type, at] : Records(emf)) {
    if (type != kStretchDiBits || U32(emf, at + 80 + 16) == 5) continue;
    const int x0 = I32(emf, at + 24), y0 = I32(emf, at + 28);
    const int w = I32(emf, at + 40), h = I32(emf, at + 44);
    const std::uint32_t off_bits = U32(emf, at + 56);
    EXPECT_EQ(I32(emf, at + 72), w);  // drawn at its own size
    EXPECT_EQ(I32(emf, at + 76), h);
    EXPECT_EQ(I32(emf, at + 80 + 4), w);
    EXPECT_EQ(I32(emf, at + 80 + 8), h);
    EXPECT_EQ(static_cast<int>(U32(emf, at + 80 + 12) >> 16), 32);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (in_legend(x0 + x, y0 + y)) continue;
        const qsizetype p = at + off_bits + 4 * (qsizetype(h - 1 - y) * w + x);
        const QRgb ours = U32(emf, p) & 0xFFFFFF;
        ++checked;
        differing += !close(ours, screen.pixel(x0 + x, y0 + y));
      }
    }
  }
  EXPECT_GT(checked, 10000);
  EXPECT_EQ(differing, 0);

  // The SVG as Qt's own reader draws it.
  QSvgRenderer reader(PictureOf(chart, PictureFormat::kSvg));
  ASSERT_TRUE(reader.isValid());
  QImage drawn(kDesignSize, QImage::Format_RGB32);
  drawn.fill(Qt::white);
  {
    QPainter p(&drawn);
    reader.render(&p, QRectF(QPointF(0, 0), QSizeF(kDesignSize)));
  }
  int marked = 0;
  differing = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      if (in_legend(x, y)) continue;
      marked += (screen.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
      differing += !close(screen.pixel(x, y), drawn.pixel(x, y));
    }
  }
  EXPECT_GT(marked, 10000);
  EXPECT_LT(differing, marked / 100);  // the disc's edge is smoothed
}

// A sink that counts what it is given and keeps nothing.
class CountingSink : public emf::RecordSink {
 public:
  bool Append(const std::uint8_t*, std::size_t size) override {
    bytes += size;
    return true;
  }
  bool Overwrite(std::uint64_t, const std::uint8_t*, std::size_t) override {
    return true;
  }
  std::string Error() const override { return {}; }
  std::uint64_t bytes = 0;
};

TEST(MetafileStream, StreamedHeaderHoldsTheTotals) {
  const EqualAreaChart chart = ChartWithPoints(kPictureLayerThreshold + 1);
  // Streamed into a file after other bytes, the header is completed where
  // the metafile began.
  QTemporaryDir dir;
  QFile file(dir.filePath("m.bin"));
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  file.write("prefix..");
  ASSERT_TRUE(
      WriteChartPicture(chart, kDesignSize, PictureFormat::kEmf, file).ok());
  file.seek(8);
  const QByteArray emf = file.readAll();
  EXPECT_EQ(U32(emf, 0), 1u);
  EXPECT_EQ(U32(emf, 4), 108u);
  EXPECT_EQ(U32(emf, 48), static_cast<std::uint32_t>(emf.size()));
  const auto records = Records(emf);
  EXPECT_EQ(U32(emf, 52), records.size());
  EXPECT_EQ(records.back().first, 14u);
  // The same bytes as the metafile made in memory.
  EXPECT_EQ(emf, MetafileOf(chart, kDesignSize));
}

TEST(MetafileStream, RefusesToGrowPastFourGibibytes) {
  // A writer with a small limit stops where the next record would pass it.
  emf::MemorySink memory;
  emf::RecordWriter small(memory, 640, 362, 96.0, 1000);
  for (int i = 0; i < 100 && small.Ok(); ++i) {
    small.Polyline({{0, 0}, {10, 10}, {20, 0}});
  }
  EXPECT_FALSE(small.Ok());
  EXPECT_EQ(small.Error(), emf::kMessageMetafileTooLarge);
  EXPECT_LE(memory.Bytes().size(), 1000u);
  EXPECT_FALSE(small.Finish());

  // At the real limit: a bitmap of 3.6 GB fits, a second one would carry
  // the size past 2^32 - 1 and is refused before any of it is written,
  // rather than letting the header's totals wrap.
  CountingSink count;
  emf::RecordWriter big(count, 30000, 30000);
  const std::vector<std::uint8_t> row(4 * 30000, 0xFF);
  big.StretchBits(0, 0, 30000, 30000, 30000, 30000, row.data(), 0);
  EXPECT_TRUE(big.Ok());
  const std::uint64_t before = count.bytes;
  EXPECT_GT(before, 3'600'000'000ull);
  big.StretchBits(0, 0, 30000, 10000, 30000, 10000, row.data(), 0);
  EXPECT_FALSE(big.Ok());
  EXPECT_EQ(count.bytes, before);
  EXPECT_FALSE(big.Finish());
  EXPECT_LE(count.bytes, emf::kMaxMetafileBytes);
}

// A device that takes `room` bytes and refuses the rest.
class FullDevice : public QIODevice {
 public:
  explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return false; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 len) override {
    if (len > room_) {
      setErrorString("No space left on device");
      return -1;
    }
    room_ -= len;
    return len;
  }

 private:
  qint64 room_;
};

TEST(MetafileStream, DeviceFailureIsReported) {
  const EqualAreaChart chart = AnalysedChart(kData);
  FullDevice device(4000);
  const Status r =
      WriteChartPicture(chart, kDesignSize, PictureFormat::kEmf, device);
  EXPECT_EQ(r.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(r.message(), "No space left on device");
}

// Vector pictures are drawn on the window's worker thread.
TEST(PictureLayers, DrawnAlikeOnAnotherThread) {
  const EqualAreaChart chart = ChartWithPoints(kPictureLayerThreshold + 1);
  const QByteArray here = MetafileOf(chart, kDesignSize);
  const QByteArray svg_here = PictureOf(chart, PictureFormat::kSvg);
  QByteArray there, svg_there;
  std::thread worker([&] {
    there = MetafileOf(chart, kDesignSize);
    svg_there = PictureOf(chart, PictureFormat::kSvg);
  });
  worker.join();
  EXPECT_EQ(here, there);
  EXPECT_EQ(svg_here, svg_there);
}

TEST(Bitmap, ThirtyTwoBitsPerPixel) {
  const EqualAreaChart chart = AnalysedChart(kData);
  const QByteArray bmp = BitmapOf(chart, kDesignSize);
  ASSERT_EQ(bmp.size(), 54 + 640 * 362 * 4);
  EXPECT_EQ(bmp.left(2), "BM");
  EXPECT_EQ(U32(bmp, 2), static_cast<std::uint32_t>(bmp.size()));
  EXPECT_EQ(I32(bmp, 18), 640);
  EXPECT_EQ(I32(bmp, 22), 362);
  EXPECT_EQ(bmp[28], 32);
  // Rows run bottom-up, pixels blue, green, red; Qt reads it back unchanged.
  const QImage image = RenderChartImage(chart, kDesignSize);
  const QImage back = QImage::fromData(bmp, "BMP");
  ASSERT_EQ(back.size(), kDesignSize);
  for (int y = 0; y < 362; y += 7) {
    for (int x = 0; x < 640; x += 5) {
      ASSERT_EQ(back.pixel(x, y) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF);
    }
  }
}

TEST(ExportChoice, ExtensionPicksTheWriter) {
  EXPECT_EQ(PictureFormatOf("plot.emf"), PictureFormat::kEmf);
  EXPECT_EQ(PictureFormatOf("plot.EMF"), PictureFormat::kEmf);
  EXPECT_EQ(PictureFormatOf("/a/b/plot.Emf"), PictureFormat::kEmf);
  EXPECT_EQ(PictureFormatOf("plot.bmp"), PictureFormat::kBmp);
  EXPECT_EQ(PictureFormatOf("PLOT.BMP"), PictureFormat::kBmp);
  EXPECT_EQ(PictureFormatOf("plot.emf.bmp"), PictureFormat::kBmp);
  EXPECT_EQ(PictureFormatOf("plot.svg"), PictureFormat::kSvg);
  EXPECT_EQ(PictureFormatOf("plot.PNG"), PictureFormat::kPng);
  EXPECT_EQ(PictureFormatOf("plot.pdf"), PictureFormat::kPdf);
  EXPECT_EQ(PictureFormatOf("plot.jpeg"), PictureFormat::kInvalid);
  EXPECT_EQ(PictureFormatOf("notes.txt"), PictureFormat::kInvalid);
  EXPECT_EQ(PictureFormatOf("plot"), PictureFormat::kInvalid);
  EXPECT_EQ(PictureFormatOf("/data/run.emf/plot"), PictureFormat::kInvalid);
  EXPECT_EQ(FileExtension("/data/run.emf/plot"), "");
  EXPECT_EQ(FileExtension("/data/plot.emf.bmp"), ".bmp");
}

class ExportFiles : public ::testing::Test {
 protected:
  QTemporaryDir dir_;
  EqualAreaChart chart_ = AnalysedChart(kData);
  QString Path(const QString& name) { return dir_.filePath(name); }
};

TEST_F(ExportFiles, EveryFormatIsWritten) {
  const char* names[] = {"c.emf", "c.bmp", "c.svg", "c.png", "c.pdf"};
  for (const char* name : names) {
    const Status r = SaveChartPictureFile(chart_, kDesignSize, Path(name));
    EXPECT_TRUE(r.ok()) << name << " " << r.message();
  }
  QFile svg(Path("c.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svg.readAll().contains("<svg"));
  QFile pdf(Path("c.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  EXPECT_EQ(QImage(Path("c.png")).size(), kDesignSize);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 5);
}

TEST_F(ExportFiles, InvalidExtensionWritesNothing) {
  const Status r = SaveChartPictureFile(chart_, kDesignSize, Path("c.jpeg"));
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.code(), StatusCode::kInvalidExtension);
  EXPECT_EQ(r.message(), "Invalid file extension.");
  EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ExportFiles, FailuresLeaveNothingHalfWritten) {
  // A folder where the file should go, and a folder that does not exist.
  QDir(dir_.path()).mkdir("taken.emf");
  Status r = SaveChartPictureFile(chart_, kDesignSize, Path("taken.emf"));
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.code(), StatusCode::kWriteFailed);
  EXPECT_FALSE(r.message().empty());
  r = SaveChartPictureFile(chart_, kDesignSize, Path("no/such/dir/c.bmp"));
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 0);
  // An existing file is replaced whole.
  const QString old = Path("old.bmp");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("previous picture");
  }
  r = SaveChartPictureFile(chart_, kDesignSize, old);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(QFile(old).size(), 54 + 640 * 362 * 4);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(ExportFiles, ReadOnlyFolderKeepsTheOldFile) {
  const QString sub = Path("ro");
  QDir(dir_.path()).mkdir("ro");
  const QString target = sub + "/plot.emf";
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("previous picture");
  }
  QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (::access(sub.toLocal8Bit().constData(), W_OK) == 0) {
    GTEST_SKIP() << "running as root: folders are always writable";
  }
  const Status r = SaveChartPictureFile(chart_, kDesignSize, target);
  EXPECT_FALSE(r.ok());
  QFile f(target);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "previous picture");
  QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner);
}

// A disc that fills up mid-picture: the save fails, no file is left and
// the file already there stays as it was.
TEST_F(ExportFiles, FullDiscLeavesNoFile) {
  const QString old = Path("old.svg");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("previous picture");
  }
  // Writing past the file size limit fails (EFBIG) instead of signalling.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const EqualAreaChart chart = ChartWithPoints(20000);  // megabytes of shapes
  const Status svg = SaveChartPictureFile(chart, kDesignSize, old);
  const Status emf = SaveChartPictureFile(chart, kDesignSize, Path("new.emf"));
  setrlimit(RLIMIT_FSIZE, &limit);
  sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_EQ(svg.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(emf.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(emf.message(), "Cannot write \"" + Path("new.emf").toStdString() +
                               "\": File too large");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"old.svg"});
  QFile f(old);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "previous picture");
}

}  // namespace
}  // namespace orvane

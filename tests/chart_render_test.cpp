// The chart as drawn: pixels of a raster rendering, and the structure of
// the picture files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QTemporaryDir>

#include "core/analysis.h"
#include "render/bitmap_file.h"
#include "render/chart_render.h"
#include "render/picture_export.h"
#include "test_chart.h"

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
    data.push_back({1.5f + (i % 37) * 0.05f, 1, static_cast<float>(i % 80)});
  }
  AnalysisState s;
  EqualAreaChart chart = AnalysedChart(data, &s);
  ChartRenderCache cache;
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
  int differing = 0;
  for (int y = 0; y < direct.height(); ++y) {
    for (int x = 0; x < direct.width(); ++x) {
      const QRgb a = direct.pixel(x, y), b = cached.pixel(x, y);
      differing += std::abs(qRed(a) - qRed(b)) > 2 ||
                   std::abs(qGreen(a) - qGreen(b)) > 2 ||
                   std::abs(qBlue(a) - qBlue(b)) > 2;
    }
  }
  EXPECT_EQ(differing, 0);
}

// A screen of two device pixels a chart pixel: the cached layers have as
// many pixels as the screen, so that large data look as sharp as markers
// drawn one by one.
TEST(RenderCache, LayersHaveTheDevicePixelRatio) {
  std::vector<testing_support::Ellipse> data;
  for (int i = 0; i < 3000; ++i) {
    data.push_back({1.5f + (i % 41) * 0.07f, 1, static_cast<float>(i % 90)});
  }
  const EqualAreaChart chart = AnalysedChart(data);
  ChartRenderCache cache;
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
  int differing = 0;
  for (int y = 0; y < direct.height(); ++y) {
    for (int x = 0; x < direct.width(); ++x) {
      const QRgb a = direct.pixel(x, y), b = cached.pixel(x, y);
      differing += std::abs(qRed(a) - qRed(b)) > 2 ||
                   std::abs(qGreen(a) - qGreen(b)) > 2 ||
                   std::abs(qBlue(a) - qBlue(b)) > 2;
    }
  }
  EXPECT_EQ(differing, 0);
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
  EXPECT_EQ(I32(emf, 72), 640);        // reference device
  EXPECT_EQ(I32(emf, 76), 362);
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

}  // namespace
}  // namespace orvane

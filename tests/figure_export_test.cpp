// SPDX-License-Identifier: MIT
// Saved pictures and figures: the layout without the data grid's column,
// the size limits, a full disc, and the figure's scale, style, labels,
// caption, palette, cloud and settings.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "core/hyperbolic.h"
#include "core/number_format.h"
#include "io/text_file.h"
#include "render/chart_render.h"
#include "render/figure_export.h"
#include "render/panel_picture.h"
#include "render/picture_export.h"
#include "render/plot_render.h"
#include "support/analysed_chart.h"
#include "support/image_compare.h"

namespace orvane {
namespace {

// A settings file read as the dialog and orvane-cli read it.
Status ReadSettingsFile(const QString& path, FigureSettings& settings) {
  const std::string name = QFile::encodeName(path).toStdString();
  std::string text;
  Status read = ReadSmallTextFile(name, "a settings file", text);
  if (read.ok()) read = ParseFigureSettingsFile(name, text, settings);
  return read;
}

using testing_support::AnalysedChart;
using testing_support::ColourDistance;
using testing_support::DifferingPixels;
using testing_support::kSixMarkers;

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

// The chart of data reaching R = 1000, the loader's limit: the circles of
// R = 2 ... 1000 on a disc that reaches zeta = 32.
EqualAreaChart LargeRatioChart() {
  EqualAreaChart chart;
  chart.StartUp();
  chart.CreateIsoRatioCircles(1000.0f);
  chart.SetRadialMaximum(static_cast<double>(ZetaOfR(1000.0f)) + 0.5);
  chart.measured.AddPolar(30, ZetaOfR(1000.0f));
  return chart;
}

int CountColour(const QImage& image, QRgb colour, int tolerance = 0) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      n += ColourDistance(image.pixel(x, y), colour) <= tolerance;
    }
  }
  return n;
}

// The colour of `rgb` blended over white with the series' transparency.
QRgb OverWhite(Rgb rgb, int transparency) {
  const double a = (255 * (100 - transparency) + 50) / 100 / 255.0;
  auto mix = [a](int c) {
    return static_cast<int>(c * a + 255 * (1 - a) + 0.5);
  };
  return qRgb(mix((rgb >> 16) & 0xFF), mix((rgb >> 8) & 0xFF), mix(rgb & 0xFF));
}

TEST(IsoRatioThinning, CirclesAtLeastFourPixelsApartAtEverySize) {
  for (const int side : {150, 362, 800, 2000}) {
    for (const float rmax : {30.0f, 101.0f, 400.0f, 1000.0f}) {
      EqualAreaChart chart;
      chart.CreateIsoRatioCircles(rmax);
      chart.SetRadialMaximum(static_cast<double>(ZetaOfR(rmax)) + 0.5);
      const ChartLayout layout =
          LayOutChart(chart, QSize(side * 2, side), PictureOptions());
      const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
      ASSERT_EQ(drawn.size(), chart.IsoRatios().size());
      EXPECT_TRUE(drawn.back()) << "the outermost carries the radius";
      const double per_zeta = layout.radius / chart.RadialMaximum();
      int previous = 0;
      bool whole = true;
      for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (!drawn[i]) continue;
        const int r = chart.IsoRatios()[i];
        if (previous != 0) {
          const double gap = static_cast<double>(ZetaOfR(float(r)) -
                                                 ZetaOfR(float(previous))) *
                             per_zeta;
          // R = 2 and the outermost may be all there is room for.
          if (previous != 2 || i + 1 != drawn.size()) {
            EXPECT_GE(gap, kIsoRatioMinSpacing)
                << side << " " << rmax << " R " << previous << " " << r;
          }
          if (r != previous + 1) whole = false;
          if (!whole && i + 1 != drawn.size()) {
            // Past the whole ratios only 5, 10, 20, 50, 100, ... follow.
            int m = r;
            while (m % 10 == 0) m /= 10;
            EXPECT_TRUE(m == 1 || m == 2 || m == 5) << r;
          }
        }
        previous = r;
      }
    }
  }
}

TEST(IsoRatioThinning, LargeRatiosOnTheWindowsChart) {
  const EqualAreaChart chart = LargeRatioChart();
  const ChartLayout layout = LayOutChart(chart, kDesignSize);
  const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, layout);
  std::vector<int> kept;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    if (drawn[i]) kept.push_back(chart.IsoRatios()[i]);
  }
  EXPECT_EQ(kept, (std::vector<int>{2, 5, 10, 20, 50, 100, 200, 500, 1000}));
  // Drawn, the circles leave white between them on the radius: no grey
  // disc buries the data.
  const QImage image = RenderChartImage(chart, kDesignSize);
  int grey = 0, white = 0;
  for (int x = layout.cx + 1; x < layout.cx + layout.radius; ++x) {
    const QRgb c = image.pixel(x, layout.cy - 1) & 0xFFFFFF;
    grey += c == 0x808080;
    white += c == 0xFFFFFF;
  }
  EXPECT_LE(grey, 9);
  EXPECT_GT(white, layout.radius - 20);
  // The radius ends on the outermost circle.
  const int outer =
      PlacePoint(layout, chart.RadialMaximum(), 0, ZetaOfR(1000.0f)).x;
  EXPECT_EQ(image.pixel(outer - 1, layout.cy) & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(image.pixel(outer + 2, layout.cy) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(IsoRatioThinning, SmallRatiosKeepEveryCircle) {
  for (const auto& data : {kSixMarkers, std::vector<testing_support::Ellipse>{
                                            {20, 1, 10}, {3, 1, 50}}}) {
    const EqualAreaChart chart = AnalysedChart(data);
    for (const QSize size : {kDesignSize, QSize(1280, 724)}) {
      const std::vector<bool> drawn =
          DrawnIsoRatioCircles(chart, LayOutChart(chart, size));
      EXPECT_EQ(std::count(drawn.begin(), drawn.end(), true),
                chart.IsoRatioCircleCount());
    }
  }
}

TEST(SavedPictureLayout, DiscWithoutTheGridColumn) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  // The screen keeps the grid's column; a picture of the same size has the
  // same disc, moved to the middle of the chart left of the legend.
  const ChartLayout screen = LayOutChart(chart, kDesignSize);
  const ChartLayout picture = LayOutChart(chart, kDesignSize, PictureOptions());
  EXPECT_EQ(picture.radius, screen.radius);
  EXPECT_EQ(picture.cy, screen.cy);
  const LegendView legend = MeasureLegend(chart, kDesignChartWidth);
  EXPECT_EQ(picture.cx, kChartMargin + (legend.layout.box.left - kChartMargin -
                                        kChartMargin - kChartMargin) /
                                           2);
  EXPECT_GT(picture.cx, screen.cx);
  // Smaller pictures: a larger disc than the screen's layout leaves, below
  // the legend where that gives more room, and never under the legend.
  const std::pair<QSize, int> sizes[] = {
      {QSize(300, 300), 100}, {QSize(200, 150), 30}, {QSize(120, 120), 18}};
  for (const auto& [size, radius] : sizes) {
    const ChartLayout l = LayOutChart(chart, size, PictureOptions());
    const PixelRect box = MeasureLegend(chart, size.width()).layout.box;
    EXPECT_GE(l.radius, radius) << size.width();
    EXPECT_GT(l.radius, LayOutChart(chart, size).radius);
    EXPECT_TRUE(l.cx + l.radius <= box.left ||
                l.cy - l.radius >= box.top + box.height + kLegendShadow)
        << size.width();
    EXPECT_LE(l.cy + l.radius, size.height());
  }
  EXPECT_EQ(LayOutChart(chart, QSize(300, 300)).radius, 35);
  // A saved file draws that layout: the PNG's disc centre is white and the
  // measured markers lie where the layout puts them.
  QTemporaryDir dir;
  const QString png = dir.filePath("c.png");
  ASSERT_TRUE(SaveChartPictureFile(chart, kDesignSize, png).ok());
  const QImage saved(png);
  EXPECT_EQ(DifferingPixels(
                saved.convertToFormat(QImage::Format_RGB32),
                RenderChartImage(chart, kDesignSize, PictureOptions()), 0),
            0);
}

TEST(SavedPictureLayout, SizesOutsideTheLimitsAreRefused) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  QTemporaryDir dir;
  const std::string limits =
      "A picture must be from 120 x 120 to 16384 x 16384 pixels";
  for (const QSize size :
       {QSize(119, 300), QSize(300, 119), QSize(16, 16), QSize(16385, 200)}) {
    const Status r = SaveChartPictureFile(chart, size, dir.filePath("c.png"));
    EXPECT_EQ(r.code(), StatusCode::kWriteFailed);
    EXPECT_EQ(r.message().rfind(limits, 0), 0u) << r.message();
    EXPECT_NE(r.message().find(std::to_string(size.width()) + " x " +
                               std::to_string(size.height())),
              std::string::npos);
  }
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  for (const QSize size : {QSize(120, 120), QSize(200, 150)}) {
    const QString path = dir.filePath("ok.png");
    EXPECT_TRUE(SaveChartPictureFile(chart, size, path).ok());
    EXPECT_EQ(QImage(path).size(), size);
  }
}

// A device that takes `room` bytes and then fails as a full disc does: the
// system's error number set and no text of its own ("Unknown error").
class FullDevice : public QIODevice {
 public:
  explicit FullDevice(qint64 room) : room_(room) { open(WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 len) override {
    if (written_ + len > room_) {
      errno = ENOSPC;
      return -1;
    }
    written_ += len;
    return len;
  }

 private:
  qint64 room_;
  qint64 written_ = 0;
};

TEST(FullDisc, TheSystemsReasonIsReported) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  const std::string full = std::strerror(ENOSPC);
  for (const PictureFormat format :
       {PictureFormat::kBmp, PictureFormat::kSvg, PictureFormat::kPng,
        PictureFormat::kPdf}) {
    FullDevice device(1000);
    const Status r = WriteChartPicture(chart, kDesignSize, format, device);
    EXPECT_EQ(r.code(), StatusCode::kWriteFailed);
    EXPECT_EQ(r.message(), full) << static_cast<int>(format);
  }
  EXPECT_EQ(WriteFailureReason("Unknown error", ENOSPC).toStdString(), full);
  EXPECT_EQ(WriteFailureReason("", ENOSPC).toStdString(), full);
  EXPECT_EQ(WriteFailureReason("File too large", ENOSPC), "File too large");
}

// A real full disc, where a small file system can be mounted (as root).
TEST(FullDisc, OldFileStaysOnAFullFileSystem) {
  QTemporaryDir dir;
  const QByteArray where = dir.path().toLocal8Bit();
  if (::geteuid() != 0 ||
      ::mount("orvane-test", where.constData(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "no small file system can be mounted here";
  }
  const QString old = dir.filePath("old.png");
  {
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("previous picture");
  }
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  const Status r = SaveChartPictureFile(chart, QSize(3000, 3000), old);
  const QStringList left =
      QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  QFile f(old);
  const bool opened = f.open(QIODevice::ReadOnly);
  const QByteArray kept = f.readAll();
  f.close();
  ::umount(where.constData());
  EXPECT_EQ(r.message(), "Cannot write \"" + old.toStdString() +
                             "\": " + std::strerror(ENOSPC));
  EXPECT_EQ(left, QStringList{"old.png"});
  ASSERT_TRUE(opened);
  EXPECT_EQ(kept, "previous picture");
}

FigureSettings Settings(int dpi) {
  FigureSettings s;
  // 127 x 76.2 mm: whole pixels at 96 and 192 dpi (480 x 288, 960 x 576).
  s.width_mm = 127;
  s.height_mm = 76.2;
  s.dpi = dpi;
  return s;
}

QImage FigureImage(const EqualAreaChart& chart, const FigureSettings& s,
                   const QString& caption = {}) {
  return RenderChartImage(chart, FigurePixelSize(s, PictureFormat::kPng),
                          FigureRenderOptions(s, PictureFormat::kPng, caption));
}

TEST(FigureScale, TwiceTheResolutionIsTheSameFigureScaled) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  for (const bool style : {false, true}) {
    FigureSettings one = Settings(96);
    FigureSettings two = Settings(192);
    one.figure_style = two.figure_style = style;
    one.caption = two.caption = style;
    const QImage a = FigureImage(chart, one, "N = 6");
    const QImage b = FigureImage(chart, two, "N = 6");
    ASSERT_EQ(a.size(), QSize(480, 288));
    ASSERT_EQ(b.size(), QSize(960, 576));
    const QImage down =
        b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    // Antialiasing and text hinting differ along edges only.
    EXPECT_LT(DifferingPixels(a, down, 96), a.width() * a.height() / 100)
        << style;
    EXPECT_LT(DifferingPixels(a, down, 24), a.width() * a.height() / 12)
        << style;
  }
  // A figure's sizes are in points, not the screen's pixels: without
  // print sizes and its finer layout the 1x figure would be the saved
  // picture.
  FigureSettings screen = Settings(96);
  ChartRenderOptions unprinted =
      FigureRenderOptions(screen, PictureFormat::kPng, {});
  unprinted.print.reset();
  unprinted.fit_figure = false;
  unprinted.unit = 1;
  unprinted.scale = 1;
  EXPECT_EQ(DifferingPixels(
                RenderChartImage(chart, QSize(480, 288), unprinted),
                RenderChartImage(chart, QSize(480, 288), PictureOptions()), 0),
            0);
  EXPECT_GT(DifferingPixels(
                FigureImage(chart, screen),
                RenderChartImage(chart, QSize(480, 288), PictureOptions()), 0),
            0);
}

// A figure's text, markers and lines are in points: the same layout and
// sizes at 96 and at 1200 dpi (on grids of 1/96 and 1/1152 inch), and in
// an SVG every text between 6 and 10 pt, its coordinates on no grid of
// 1/96 inch.
TEST(FigureScale, SizesInPointsAtEveryResolution) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  FigureSettings s = Settings(96);  // whole pixels at 96 and 1200 dpi
  s.figure_style = s.caption = true;
  auto model = [&](int dpi) {
    s.dpi = dpi;
    return ModelOf(chart, FigurePixelSize(s, PictureFormat::kPng),
                   FigureRenderOptions(s, PictureFormat::kPng, "N = 6"));
  };
  const PlotModel low = model(96), high = model(1200);
  ASSERT_EQ(low.unit, 1);
  ASSERT_EQ(high.unit, 12);
  EXPECT_EQ(low.width * 12, high.width);
  EXPECT_EQ(low.height * 12, high.height);
  for (const PlotModel* m : {&low, &high}) {
    const double per_point = kPixelsPerPoint * m->unit;
    EXPECT_EQ(m->faces,
              (FaceSizes{7 * per_point, 8 * per_point, 7 * per_point}));
  }
  ASSERT_EQ(low.layers.size(), high.layers.size());
  int markers = 0, frames = 0;
  for (std::size_t i = 0; i < low.layers.size(); ++i) {
    if (const auto* t = std::get_if<TextLayer>(&low.layers[i])) {
      const auto& other = std::get<TextLayer>(high.layers[i]);
      ASSERT_EQ(t->items.size(), other.items.size());
      for (std::size_t k = 0; k < t->items.size(); ++k) {
        EXPECT_NEAR(t->items[k].x, other.items[k].x / 12.0, 2);
        EXPECT_NEAR(t->items[k].baseline, other.items[k].baseline / 12.0, 2);
      }
    }
    for (const PlotModel* m : {&low, &high}) {
      if (const auto* l = std::get_if<MarkerLayer>(&m->layers[i]);
          l != nullptr && &chart.measured == l->source) {
        const QRectF box = MakeMarkerShape(l->style).outline.boundingRect();
        EXPECT_NEAR(box.width(), 3 * kPixelsPerPoint * m->unit, 1e-9);
        ++markers;
      }
      if (const auto* c = std::get_if<CircleLayer>(&m->layers[i])) {
        EXPECT_NEAR(c->outline_width, 0.75 * kPixelsPerPoint * m->unit, 1e-12);
        ++frames;
      }
    }
  }
  EXPECT_EQ(markers, 2);
  EXPECT_EQ(frames, 2);
  // Every text of the SVG at its print size: the font's size times the
  // scale of its transform, in 1/768 inch.
  QTemporaryDir dir;
  ASSERT_TRUE(SaveFigureFile(chart, s, "N = 6", dir.filePath("f.svg")).ok());
  QFile svg(dir.filePath("f.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(svg.readAll());
  const QRegularExpression group(
      "transform=\"matrix\\(([-0-9.e]+),[^\"]*\"\\s*font-family=\"[^\"]*\" "
      "font-size=\"([0-9.]+)\"[^>]*>\\s*<text");
  int texts = 0;
  for (auto it = group.globalMatch(text); it.hasNext(); ++texts) {
    const auto match = it.next();
    const double points = match.captured(1).toDouble() *
                          match.captured(2).toDouble() * 72 / kVectorFigureDpi;
    EXPECT_GE(points, 6.0);
    EXPECT_LE(points, 10.0);
  }
  EXPECT_GT(texts, 6);
  // Its size exact, and its frame and text not on the screen's pixels.
  EXPECT_TRUE(text.contains("width=\"127mm\" height=\"76.2mm\""));
  int off_grid = 0;
  const QRegularExpression place("matrix\\([^)]*,([-0-9.e]+),([-0-9.e]+)\\)");
  for (auto it = place.globalMatch(text); it.hasNext();) {
    const auto match = it.next();
    for (const int k : {1, 2}) {
      const double at = match.captured(k).toDouble() * 96 / kVectorFigureDpi;
      off_grid += std::abs(at - std::round(at)) > 1e-6;
    }
  }
  EXPECT_GT(off_grid, 10);
}

// Vector figures are limited by their physical size alone, a large
// series goes in as an image at the figure's dpi (at most 4096 pixels a
// side), and a narrow Rf/phi plot keeps its phi labels apart and its axis
// title within the picture.
TEST(FigureScale, VectorSizesImagesAndNarrowPlots) {
  AnalysisState state;
  const EqualAreaChart chart = AnalysedChart(kSixMarkers, &state);
  FigureSettings s;
  s.width_mm = 500;
  s.height_mm = 300;
  s.dpi = 300;
  QTemporaryDir dir;
  EXPECT_TRUE(SaveFigureFile(chart, s, {}, dir.filePath("big.pdf")).ok());
  EXPECT_NEAR(FigureRenderOptions(s, PictureFormat::kSvg, {}).image_scale *
                  FigurePixelSize(s, PictureFormat::kSvg).width(),
              kMostFigureImageSide, 1e-6);
  s.width_mm = 85;
  s.height_mm = 60;
  EXPECT_NEAR(FigureRenderOptions(s, PictureFormat::kPdf, {}).image_scale,
              300.0 / kVectorFigureDpi, 1e-12);

  RfPhiPlot plot;
  plot.ShowAnalysis(state, AnalysisResult::kBootstrapped);
  auto axis_text = [&](const PlotModel& model) {
    std::vector<std::string> texts;
    for (const PlotLayer& layer : model.layers) {
      if (const auto* t = std::get_if<TextLayer>(&layer);
          t != nullptr && t->colour == 0x000000) {
        for (const TextItem& item : t->items) texts.push_back(item.text);
      }
    }
    return texts;
  };
  auto has = [](const std::vector<std::string>& texts, const char* text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  const std::vector<std::string> wide =
      axis_text(ModelOf(plot, kDesignSize, PictureOptions()));
  EXPECT_TRUE(has(wide, "30"));
  EXPECT_TRUE(has(wide, PhiAxisTitle().c_str()));
  s.width_mm = s.height_mm = kMinFigureSideMm;
  s.figure_style = true;
  const PlotModel narrow =
      ModelOf(plot, FigurePixelSize(s, PictureFormat::kSvg),
              FigureRenderOptions(s, PictureFormat::kSvg, {}));
  const std::vector<std::string> texts = axis_text(narrow);
  EXPECT_TRUE(has(texts,
                  "\xE2\x88\x92"
                  "90"));
  EXPECT_FALSE(has(texts,
                   "\xE2\x88\x92"
                   "60"));
  EXPECT_TRUE(has(texts, "\xCF\x86 (\xC2\xB0)"));
  for (const PlotLayer& layer : narrow.layers) {
    if (const auto* t = std::get_if<TextLayer>(&layer)) {
      for (const TextItem& item : t->items) EXPECT_GE(item.x, 0) << item.text;
    }
  }
}

// A PDF's fonts are embedded as subsets and named so in every dictionary
// (a tag before each /BaseFont), its cross-reference table still pointing
// at each object.
TEST(FigureScale, PdfFontsAreNamedSubsets) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  FigureSettings s;
  s.figure_style = s.caption = true;
  QTemporaryDir dir;
  ASSERT_TRUE(SaveFigureFile(chart, s,
                             QString::fromUtf8("N = 6   \u03C6\u209B"),
                             dir.filePath("f.pdf"))
                  .ok());
  QFile file(dir.filePath("f.pdf"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray pdf = file.readAll();
  const QString text = QString::fromLatin1(pdf);
  int fonts = 0;
  const QRegularExpression base("/BaseFont /([^\\s/>]+)");
  for (auto it = base.globalMatch(text); it.hasNext(); ++fonts) {
    EXPECT_TRUE(QRegularExpression("^[A-Z]{6}\\+")
                    .match(it.next().captured(1))
                    .hasMatch());
  }
  EXPECT_GE(fonts, 2);
  const qsizetype start = pdf.lastIndexOf("startxref");
  const qsizetype table =
      pdf.mid(start + 9).trimmed().split('\n')[0].toLongLong();
  ASSERT_TRUE(pdf.mid(table).startsWith("xref"));
  const QList<QByteArray> lines = pdf.mid(table).split('\n');
  const int count = lines[1].split(' ')[1].toInt();
  for (int i = 1; i < count; ++i) {
    const QByteArray& entry = lines[2 + i];
    if (entry.size() < 18 || entry[17] != 'n') continue;
    EXPECT_TRUE(pdf.mid(entry.left(10).toLongLong())
                    .startsWith(QByteArray::number(i) + " 0 obj"))
        << i;
  }
}

// A figure's theta-curve labels are its labels, at the labels' size and
// with a halo, one a curve as on the screen, whose stay plain.
TEST(FigureStyle, ThetaCurveLabelsAreTheFiguresLabels) {
  AnalysisState state;
  AnalysedChart(kSixMarkers, &state);
  RfPhiPlot plot;
  plot.ShowAnalysis(state, AnalysisResult::kBootstrapped);
  auto labels = [&](const PlotModel& model) {
    for (const PlotLayer& layer : model.layers) {
      if (const auto* t = std::get_if<TextLayer>(&layer);
          t != nullptr && t->colour == 0x505050 && !t->items.empty() &&
          t->items[0].text.starts_with("Ri = ")) {
        return *t;
      }
    }
    return TextLayer{};
  };
  const TextLayer screen = labels(ModelOf(plot, kDesignSize, PictureOptions()));
  ASSERT_FALSE(screen.items.empty());
  EXPECT_EQ(screen.face, TextFace::kScreen);
  EXPECT_FALSE(screen.halo);
  FigureSettings s;
  s.figure_style = true;
  const TextLayer figure =
      labels(ModelOf(plot, FigurePixelSize(s, PictureFormat::kSvg),
                     FigureRenderOptions(s, PictureFormat::kSvg, {})));
  ASSERT_EQ(figure.items.size(), screen.items.size());
  EXPECT_EQ(figure.face, TextFace::kFigure);
  EXPECT_TRUE(figure.halo);
}

TEST(FigureScale, PixelSizeAndResolutionOfEachFormat) {
  FigureSettings s;
  s.width_mm = 85;
  s.height_mm = 60;
  s.dpi = 300;
  EXPECT_EQ(FigurePixelSize(s, PictureFormat::kPng), QSize(1004, 709));
  EXPECT_EQ(FigurePixelSize(s, PictureFormat::kBmp), QSize(1004, 709));
  // SVG and PDF at 768 dpi, a metafile at the screen's 96.
  EXPECT_EQ(FigurePixelSize(s, PictureFormat::kSvg), QSize(2570, 1814));
  EXPECT_EQ(FigurePixelSize(s, PictureFormat::kPdf), QSize(2570, 1814));
  EXPECT_EQ(FigurePixelSize(s, PictureFormat::kEmf), QSize(321, 227));
  // A raster is laid out on the whole share of its pixels nearest above
  // 1/96 inch.
  EXPECT_EQ(FigureRenderOptions(s, PictureFormat::kPng, {}).unit, 3);
  EXPECT_DOUBLE_EQ(FigureRenderOptions(s, PictureFormat::kPng, {}).scale,
                   300.0 / 288);
  EXPECT_DOUBLE_EQ(FigureRenderOptions(s, PictureFormat::kPdf, {}).scale, 1.0);
  EXPECT_FALSE(FigureRenderOptions(s, PictureFormat::kPng, {}).grid_column);
  const FigureSettings defaults;
  EXPECT_EQ(FigurePixelSize(defaults, PictureFormat::kEmf), kDesignSize);
  // The files carry their resolution, hence their physical size.
  QTemporaryDir dir;
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  ASSERT_TRUE(SaveFigureFile(chart, s, {}, dir.filePath("f.png")).ok());
  const QImage png(dir.filePath("f.png"));
  EXPECT_EQ(png.size(), QSize(1004, 709));
  EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 300, 0.05);
  ASSERT_TRUE(SaveFigureFile(chart, s, {}, dir.filePath("f.bmp")).ok());
  QFile bmp(dir.filePath("f.bmp"));
  ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
  const QByteArray header = bmp.read(54);
  ASSERT_EQ(header.size(), 54);
  EXPECT_EQ(qFromLittleEndian<qint32>(header.constData() + 38), 11811);
  EXPECT_EQ(qFromLittleEndian<qint32>(header.constData() + 18), 1004);
  ASSERT_TRUE(SaveFigureFile(chart, s, {}, dir.filePath("f.svg")).ok());
  QFile svg(dir.filePath("f.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svg.readAll().contains("width=\"84.99"));
  // Too many pixels are refused, with the reason.
  s.width_mm = 1000;
  s.dpi = 1200;
  const Status big = SaveFigureFile(chart, s, {}, dir.filePath("big.png"));
  EXPECT_EQ(big.message(),
            "The figure would be 47244 x 2835 pixels, more than 16384 a side: "
            "lower its size or dpi.");
}

TEST(FigureStyle, LegendWithoutCheckBoxesOrTooltipColour) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  FigureSettings s = Settings(96);
  const QImage screen = FigureImage(chart, s);
  s.figure_style = true;
  const QImage figure = FigureImage(chart, s);
  EXPECT_GT(CountColour(screen, 0xFFFFE1), 1000);
  EXPECT_EQ(CountColour(figure, 0xFFFFE1), 0);
  ChartRenderOptions o = FigureRenderOptions(s, PictureFormat::kPng, {});
  const LegendView legend = MeasureLegend(chart, 480, o);
  ASSERT_EQ(legend.series.size(), 4u);
  for (const LegendEntryLayout& e : legend.layout.entries) {
    EXPECT_EQ(e.check_box.width, 0);
    EXPECT_EQ(e.sample.left, legend.layout.box.left + kLegendPadding * o.unit);
  }
  // The screen's check boxes: black ticks on white inside a grey frame, at
  // the start of each row; the figure's rows begin with the sample.
  const LegendView boxed = MeasureLegend(
      chart, 480, FigureRenderOptions(Settings(96), PictureFormat::kPng, {}));
  // (A 96 dpi figure is laid out on its pixels.)
  ASSERT_EQ(o.unit, 1);
  const PixelRect& box = boxed.layout.entries[0].check_box;
  int ticks = 0;
  for (int y = box.top; y < box.top + box.height; ++y) {
    for (int x = box.left; x < box.left + box.width; ++x) {
      ticks += (screen.pixel(x, y) & 0xFFFFFF) == 0;
    }
  }
  EXPECT_GT(ticks, 5);
  // A hidden series is not listed: there is nothing to show it by.
  EqualAreaChart hidden = AnalysedChart(kSixMarkers);
  hidden.retrodeformed.SetActive(false);
  EXPECT_EQ(MeasureLegend(hidden, 480, o).series.size(), 3u);
}

TEST(FigureStyle, IsoRatioLabelsThinnedLikeTheCircles) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  ChartRenderOptions o = PictureOptions();
  o.figure_style = true;
  const ChartLayout layout = LayOutChart(chart, kDesignSize, o);
  const std::vector<IsoRatioLabel> labels = IsoRatioLabels(chart, layout);
  ASSERT_GE(labels.size(), 2u);
  EXPECT_EQ(labels[0].text, "R = 2");
  EXPECT_EQ(labels[0].ratio, 2);
  for (std::size_t i = 1; i < labels.size(); ++i) {
    EXPECT_EQ(labels[i].text, QString::number(labels[i].ratio));
    for (std::size_t k = 0; k < i; ++k) {
      EXPECT_FALSE(labels[i].box.intersects(labels[k].box)) << i << k;
    }
  }
  // The labels in the picture: dark text where each box is, none on the
  // plain picture.
  const QImage figure = RenderChartImage(chart, kDesignSize, o);
  const QImage plain = RenderChartImage(chart, kDesignSize, PictureOptions());
  for (const IsoRatioLabel& label : labels) {
    int dark_figure = 0, dark_plain = 0;
    for (int y = label.box.top(); y <= label.box.bottom(); ++y) {
      for (int x = label.box.left(); x <= label.box.right(); ++x) {
        dark_figure += qGray(figure.pixel(x, y)) < 140;
        dark_plain += qGray(plain.pixel(x, y)) < 140;
      }
    }
    EXPECT_GT(dark_figure, dark_plain + 4) << label.ratio;
  }
  // At large R only the drawn circles get labels, and fewer still.
  const EqualAreaChart large = LargeRatioChart();
  const ChartLayout large_layout = LayOutChart(large, kDesignSize, o);
  const std::vector<bool> drawn = DrawnIsoRatioCircles(large, large_layout);
  const std::vector<IsoRatioLabel> thinned =
      IsoRatioLabels(large, large_layout);
  ASSERT_FALSE(thinned.empty());
  EXPECT_LE(thinned.size(), static_cast<std::size_t>(
                                std::count(drawn.begin(), drawn.end(), true)));
  for (const IsoRatioLabel& label : thinned) {
    const auto& r = large.IsoRatios();
    const auto at = std::find(r.begin(), r.end(), label.ratio);
    ASSERT_NE(at, r.end());
    EXPECT_TRUE(drawn[static_cast<std::size_t>(at - r.begin())]) << label.ratio;
  }
}

// Ten markers of a clear strain, whose bootstrap gives limits.
const std::vector<testing_support::Ellipse> kStrained = {
    {3, 1, 28}, {3.2f, 1, 32}, {2.8f, 1, 30}, {3.1f, 1, 29}, {2.9f, 1, 31},
    {3, 1, 33}, {3.3f, 1, 27}, {2.7f, 1, 30}, {3.4f, 1, 31}, {2.6f, 1, 29}};

TEST(FigureCaption, NumbersAndLimitsOfTheAnalysis) {
  AnalysisState state;
  AnalysedChart(kStrained, &state);
  const QString caption =
      FigureCaption(state, AnalysisResult::kBootstrapped, ".");
  ASSERT_EQ(state.outcome, ConfidenceOutcome::kLimits);
  // Set as print sets it: a subscript s, the Greek phi, a true minus sign.
  EXPECT_TRUE(caption.startsWith(QString::fromUtf8("N = 10   R\u209B = ")))
      << caption.toStdString();
  EXPECT_TRUE(caption.contains(QString::fromUtf8("   \u03C6\u209B = ")))
      << caption.toStdString();
  EXPECT_TRUE(caption.contains(QString::fromUtf8("/\u2212")))
      << caption.toStdString();
  EXPECT_FALSE(caption.contains('-')) << caption.toStdString();
  EXPECT_TRUE(caption.contains(" +")) << caption.toStdString();
  EXPECT_FALSE(caption.contains("    "));
  // Without limits: the strain alone, in the locale's separator.
  AnalysisState few;
  AnalysedChart({{3, 2, 30}, {4, 2, 45}, {5, 1, 40}}, &few);
  EXPECT_EQ(FigureCaption(few, AnalysisResult::kFewerThanFive, ","),
            QString::fromStdString(
                "N = 3   R\u209B = " + FormatStrain(few.strain.ratio, ",") +
                "   \u03C6\u209B = " + FormatStrain(few.strain.phi, ",")));
  EXPECT_TRUE(
      FigureCaption(AnalysisState(), AnalysisResult::kNoData, ".").isEmpty());
  // Drawn under the disc, which keeps clear of it.
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  FigureSettings s = Settings(96);
  const QImage without = FigureImage(chart, s, caption);
  s.caption = true;
  const QImage with = FigureImage(chart, s, caption);
  auto dark_rows = [](const QImage& image, int from) {
    int dark = 0;
    for (int y = from; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x)
        dark += qGray(image.pixel(x, y)) < 100;
    }
    return dark;
  };
  // A narrow figure breaks the caption between its parts, each line
  // within the chart.
  const QStringList lines = CaptionLines(caption.toStdString(), 260);
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines.join("   "), caption);
  EXPECT_TRUE(lines[1].startsWith(QString::fromUtf8("\u03C6\u209B = ")));
  EXPECT_EQ(CaptionLines(caption.toStdString(), 640), QStringList{caption});
  EXPECT_TRUE(CaptionLines(std::string(), 640).isEmpty());
  EXPECT_EQ(dark_rows(without, 288 - 14), 0);
  EXPECT_GT(dark_rows(with, 288 - 14), 50);
  const ChartRenderOptions o =
      FigureRenderOptions(s, PictureFormat::kPng, caption);
  const ChartLayout layout = LayOutChart(chart, QSize(480, 288), o);
  EXPECT_LE(layout.cy + layout.radius, (288 - 14) * o.unit);
}

TEST(FigurePalette, ColourBlindSafeColours) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  EXPECT_EQ(
      PaletteStyle(chart, chart.measured, ChartPalette::kStandard).outline,
      chart.measured.Style().outline);
  const SeriesStyle optimal =
      PaletteStyle(chart, chart.optimal, ChartPalette::kColourBlind);
  EXPECT_EQ(optimal.outline, Rgb{0xD55E00});
  EXPECT_EQ(optimal.line_color, Rgb{0xD55E00});
  EXPECT_EQ(
      PaletteStyle(chart, chart.measured, ChartPalette::kColourBlind).outline,
      Rgb{0x0072B2});
  EXPECT_EQ(
      PaletteStyle(chart, chart.retrodeformed, ChartPalette::kColourBlind).fill,
      Rgb{0xE69F00});
  EXPECT_EQ(
      PaletteStyle(chart, chart.bootstrap, ChartPalette::kColourBlind).fill,
      Rgb{0x56B4E9});
  // Shapes, sizes and transparency stay.
  EXPECT_EQ(optimal.marker, chart.optimal.Style().marker);
  EXPECT_EQ(optimal.transparency, chart.optimal.Style().transparency);
  // In the picture: the Okabe-Ito blue of the measured markers, not the
  // standard blue.
  FigureSettings s = Settings(96);
  const QImage standard = FigureImage(chart, s);
  s.palette = ChartPalette::kColourBlind;
  const QImage safe = FigureImage(chart, s);
  const QRgb okabe_blue =
      OverWhite(0x0072B2, chart.measured.Style().transparency);
  const QRgb old_blue =
      OverWhite(0x0000A0, chart.measured.Style().transparency);
  EXPECT_GT(CountColour(safe, okabe_blue, 2), 10);
  EXPECT_EQ(CountColour(safe, old_blue, 2), 0);
  EXPECT_GT(CountColour(standard, old_blue, 2), 10);
}

TEST(FigureCloud, OutlineIsTheHullOfTheKeptSolutions) {
  // A square with points inside and on its edges: its four corners, counter-
  // clockwise on the screen from the lowest-left.
  const std::vector<QPoint> hull = ConvexHull({{10, 10},
                                               {20, 10},
                                               {15, 15},
                                               {20, 20},
                                               {10, 20},
                                               {15, 10},
                                               {12, 18},
                                               {10, 10}});
  EXPECT_EQ(hull,
            (std::vector<QPoint>{{10, 20}, {20, 20}, {20, 10}, {10, 10}}));
  EXPECT_EQ(ConvexHull({{1, 1}, {1, 1}}), std::vector<QPoint>{QPoint(1, 1)});
  EXPECT_TRUE(ConvexHull({}).empty());

  AnalysisState state;
  const EqualAreaChart chart = AnalysedChart(kSixMarkers, &state);
  ASSERT_FALSE(state.kept.empty());
  FigureSettings s = Settings(96);
  const QImage markers = FigureImage(chart, s);
  s.cloud = CloudDrawing::kOutline;
  const QImage outline = FigureImage(chart, s);
  const Rgb green = *chart.bootstrap.Style().fill;
  const QRgb cloud = OverWhite(green, chart.bootstrap.Style().transparency);
  // The cloud's markers are gone from the disc; its outline has the
  // markers' colour, and the legend shows it as a line.
  const ChartLayout layout =
      LayOutChart(chart, QSize(480, 288), PictureOptions());
  auto in_disc = [&](const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = layout.cy - layout.radius; y < layout.cy + layout.radius;
         ++y) {
      for (int x = layout.cx - layout.radius; x < layout.cx + layout.radius;
           ++x) {
        n += ColourDistance(image.pixel(x, y), colour) <= 8;
      }
    }
    return n;
  };
  EXPECT_GT(in_disc(markers, cloud), 50);
  EXPECT_GT(in_disc(outline, green), 20);
  EXPECT_LT(in_disc(outline, green), in_disc(markers, cloud));
  // Every kept solution lies on or inside the outline.
  std::vector<QPoint> points;
  for (const PolarPoint& p : chart.bootstrap.Points()) {
    const Pixel px =
        PlacePoint(layout, chart.RadialMaximum(), p.angle, p.value);
    points.emplace_back(px.x, px.y);
  }
  const std::vector<QPoint> corners = ConvexHull(points);
  ASSERT_GE(corners.size(), 3u);
  for (const QPoint& p : points) {
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const QPoint a = corners[i], b = corners[(i + 1) % corners.size()];
      const long long cross =
          static_cast<long long>(b.x() - a.x()) * (a.y() - p.y()) -
          static_cast<long long>(a.y() - b.y()) * (p.x() - a.x());
      EXPECT_GE(cross, 0);
    }
  }
}

TEST(FigureCloud, AboveTheDataCoversTheMarkers) {
  // One solution right on a measured marker: below the data the marker
  // shows at that pixel, above the data the solution does.
  EqualAreaChart chart;
  chart.StartUp();
  chart.measured.AddPolar(45, 1.0);
  chart.bootstrap.AddPolar(45, 1.0);
  chart.bootstrap.MutableStyle().half_width = 6;
  chart.bootstrap.MutableStyle().half_height = 6;
  ChartRenderOptions o = PictureOptions();
  const ChartLayout layout = LayOutChart(chart, kDesignSize, o);
  const Pixel at = PlacePoint(layout, chart.RadialMaximum(), 45, 1.0);
  // A pixel of the marker's outline, inside the solution's circle.
  const QRgb below =
      RenderChartImage(chart, kDesignSize, o).pixel(at.x + 3, at.y);
  o.cloud = CloudDrawing::kAbove;
  const QRgb above =
      RenderChartImage(chart, kDesignSize, o).pixel(at.x + 3, at.y);
  EXPECT_NE(below, above);
  // The cloud's green over the marker's blue: the green channel leads.
  EXPECT_GT(qGreen(above), qBlue(above));
  EXPECT_GT(qBlue(below), qGreen(below));
}

// A figure keeps its plot at every accepted size: where the legend and
// the caption do not fit beside it they move or go, and the notes say
// so; where they fit, the figure is laid out as before.
TEST(FigureFit, EverySizeKeepsItsPlotAndSaysWhatItLeftOut) {
  const EqualAreaChart chart = AnalysedChart(kSixMarkers);
  const ModelPicture picture(chart);
  const QString caption = "N = 6   R_s = 2.000 +0.100/-0.100   phi_s = 30.000";
  FigureSettings s;
  s.figure_style = true;
  s.caption = true;
  auto layout = [&](const FigureSettings& settings, bool fit = true) {
    ChartRenderOptions o =
        FigureRenderOptions(settings, PictureFormat::kSvg, caption);
    o.fit_figure = fit;
    return LayOutChart(chart, FigurePixelSize(settings, PictureFormat::kSvg),
                       o);
  };
  // The window's size: nothing moves.
  EXPECT_TRUE(FigureNotes(picture, s, caption).empty());
  const ChartLayout roomy = layout(s);
  EXPECT_EQ(roomy.plot, layout(s, false).plot);
  // The smallest: the disc stays, the legend goes and says so.
  s.width_mm = s.height_mm = kMinFigureSideMm;
  const ChartLayout small = layout(s);
  EXPECT_LT(layout(s, false).radius, kFigureUnit);  // under 1/96 inch
  EXPECT_GE(2 * small.radius, kLeastPlotShare * small.height - 1);
  EXPECT_EQ(FigureNotes(picture, s, caption),
            (std::vector<std::string>{
                "The legend is left out: beside the plot it would leave the "
                "plot too small, inside it it would cover more than a quarter "
                "of it.",
                "The caption is left out: a line of it is wider than the "
                "figure."}));
  // Inside a single column's plot, where the fewest data are, within its
  // frame and on at most a quarter of it.
  s.width_mm = 85;
  s.height_mm = 60;
  s.legend = LegendPlacement::kInside;
  const QSize size = FigurePixelSize(s, PictureFormat::kSvg);
  const PlotModel model = ModelOf(
      chart, size, FigureRenderOptions(s, PictureFormat::kSvg, caption));
  ASSERT_NE(model.Legend(), nullptr);
  const PixelRect box = model.Legend()->layout.box;
  const PixelRect plot = layout(s).plot;
  EXPECT_GE(box.left, plot.left);
  EXPECT_GE(box.top, plot.top);
  EXPECT_LE(box.left + box.width, plot.left + plot.width);
  EXPECT_LE(box.top + box.height, plot.top + plot.height);
  EXPECT_LE(4 * box.width * box.height, plot.width * plot.height);
  EXPECT_EQ(plot.width, size.width() - 2 * kChartMargin * kFigureUnit);
  s.legend = LegendPlacement::kNone;
  EXPECT_EQ(
      ModelOf(chart, size, FigureRenderOptions(s, PictureFormat::kSvg, caption))
          .Legend(),
      nullptr);
}

// Both plots of one analysis side by side: each panel is its plot drawn
// alone at its share of the figure, below a strip with its label; the
// first carries the legend, and the caption runs once under both.
TEST(FigurePanels, EachPanelIsItsPlotDrawnAlone) {
  AnalysisState state;
  const EqualAreaChart chart = AnalysedChart(kSixMarkers, &state);
  RfPhiPlot rf_phi;
  rf_phi.ShowAnalysis(state, AnalysisResult::kBootstrapped);
  const ModelPicture polar_picture(chart), rf_phi_picture(rf_phi);
  const PanelPicture panels({&polar_picture, &rf_phi_picture});
  ChartRenderOptions o = PictureOptions();
  o.figure_style = true;
  const QImage image = panels.Image(QSize(800, 300), o);
  // One row of the shared legend (every entry of both plots, once), the
  // strip of the labels, then the panels, each its plot without a legend.
  const QtTextMeasure measure;
  const int legend = kChartMargin +
                     measure.Metrics(TextFace::kFigureSmall).height +
                     2 * kLegendPadding;
  const int top =
      legend + measure.Metrics(TextFace::kFigure).height + 2 * kChartMargin;
  ChartRenderOptions alone = o;
  alone.legend = LegendPlacement::kNone;
  // (The smoothed halos of the labels may round a few edge pixels apart.)
  EXPECT_LE(
      DifferingPixels(image.copy(0, top, 400, 300 - top),
                      polar_picture.Image(QSize(400, 300 - top), alone), 0),
      3);
  EXPECT_EQ(
      DifferingPixels(image.copy(400, top, 400, 300 - top),
                      rf_phi_picture.Image(QSize(400, 300 - top), alone), 0),
      0);
  auto dark = [&](int left, int right, int from, int to) {
    int n = 0;
    for (int y = from; y < to; ++y) {
      for (int x = left; x < right; ++x) n += qGray(image.pixel(x, y)) < 128;
    }
    return n;
  };
  // The labels at each panel's left; the legend's titles across the top.
  EXPECT_GT(dark(0, 30, legend, top), 10);
  EXPECT_GT(dark(400, 430, legend, top), 10);
  EXPECT_GT(dark(0, 400, 0, legend), 100);
  EXPECT_GT(dark(400, 800, 0, legend), 100);
  EXPECT_EQ(panels.Title(),
            "(a) " + polar_picture.Title() + ", (b) " + rf_phi_picture.Title());
  // What a panel leaves out is said with its label.
  o.fit_figure = true;
  o.legend = LegendPlacement::kInside;
  const std::vector<std::string> notes = panels.Notes(QSize(242, 121), o);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.front().substr(0, 4), "(a) ");
  // The shared legend is left out where it would leave the panels too
  // small.
  o.legend = LegendPlacement::kOutside;
  EXPECT_EQ(panels.Notes(QSize(242, 50), o).front(),
            "The legend is left out: above the panels it would leave them too "
            "small.");
}

TEST(FigureSettingsFile, KeysValuesAndRefusals) {
  FigureSettings s;
  const Status ok = ParseFigureSettings(
      "# figures for the Glen Coe samples\n"
      "figure-size = 85x60.5\n"
      "\n"
      "dpi=600\r\n"
      "  figure-style = yes\n"
      "palette = colour-blind\n"
      "caption = yes\n"
      "cloud = outline\n"
      "legend = inside\n"
      "font-size = 9.5\n"
      "line-width = 0.25",
      s);
  ASSERT_TRUE(ok.ok()) << ok.message();
  EXPECT_EQ(s.width_mm, 85);
  EXPECT_EQ(s.height_mm, 60.5);
  EXPECT_EQ(s.dpi, 600);
  EXPECT_TRUE(s.figure_style);
  EXPECT_EQ(s.palette, ChartPalette::kColourBlind);
  EXPECT_TRUE(s.caption);
  EXPECT_EQ(s.cloud, CloudDrawing::kOutline);
  EXPECT_EQ(s.legend, LegendPlacement::kInside);
  EXPECT_EQ(s.print, (PrintSizes{9.5, 3, 0.25}));
  // What the settings write reads back the same.
  FigureSettings back;
  ASSERT_TRUE(ParseFigureSettings(FigureSettingsText(s), back).ok());
  EXPECT_EQ(back, s);

  const std::pair<const char*, const char*> refused[] = {
      {"dpi = 300\ncolour = red\n",
       "line 2: unknown setting \"colour\" (the settings are figure-size, dpi, "
       "figure-style, palette, caption, cloud, legend, projection, font-size, "
       "marker-size and line-width)"},
      {"\n\ndpi = 3OO\n", "line 3: dpi needs a whole number from 96 to 1200"},
      {"dpi = 95", "line 1: dpi needs a whole number from 96 to 1200"},
      {"marker-size = 0.4",
       "line 1: marker-size needs a size in points from 0.5 to 20"},
      {"font-size = 8pt",
       "line 1: font-size needs a size in points from 6 to 24"},
      {"dpi = 1201", "line 1: dpi needs a whole number from 96 to 1200"},
      {"figure-size = 20x60",
       "line 1: figure-size needs WIDTHxHEIGHT in millimetres, each from 32 to "
       "1000 (for example 85x60)"},
      {"figure-size = 85x-60",
       "line 1: figure-size needs WIDTHxHEIGHT in millimetres, each from 32 to "
       "1000 (for example 85x60)"},
      {"figure-size = 1e2x60",
       "line 1: figure-size needs WIDTHxHEIGHT in millimetres, each from 32 to "
       "1000 (for example 85x60)"},
      {"caption = true", "line 1: caption needs yes or no"},
      {"palette = grey", "line 1: palette needs standard or colour-blind"},
      {"cloud = hull", "line 1: cloud needs below, above or outline"},
      {"legend = left", "line 1: legend needs outside, inside or none"},
      {"dpi 300", "line 1: \"dpi 300\" is not a setting: key = value"},
  };
  for (const auto& [text, message] : refused) {
    FigureSettings t = s;
    const Status r = ParseFigureSettings(text, t);
    EXPECT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.message(), message);
    EXPECT_EQ(t, s) << "a refused file changes nothing: " << text;
  }
  // A file names itself in its refusals.
  QTemporaryDir dir;
  const QString path = dir.filePath("figure.txt");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("dpi = 300\ncloud = hull\n");
  }
  FigureSettings t;
  EXPECT_EQ(
      ReadSettingsFile(path, t).message(),
      path.toStdString() + ": line 2: cloud needs below, above or outline");
  EXPECT_EQ(ReadSettingsFile(dir.filePath("none.txt"), t).code(),
            StatusCode::kCannotOpen);
}

// What a settings file may hold besides settings: a byte-order mark is
// skipped, UTF-16 is named, terminal controls never reach a message, and a
// pipe is refused without waiting for a writer (the dialog's Load
// Settings... reads through the same function).
TEST(FigureSettingsFile, EncodingsControlsAndPipes) {
  FigureSettings s;
  ASSERT_TRUE(ParseFigureSettings("\xEF\xBB\xBF"
                                  "dpi = 600\n",
                                  s)
                  .ok());
  EXPECT_EQ(s.dpi, 600);
  ASSERT_TRUE(ParseFigureSettings("dpi = 0000000300", s).ok());
  EXPECT_EQ(s.dpi, 300);
  ASSERT_TRUE(ParseFigureSettings("figure-size = 0000000000085x60", s).ok());
  EXPECT_EQ(s.width_mm, 85);
  const std::pair<std::string, std::string> refused[] = {
      {std::string("\xFF\xFE"
                   "d\0p\0i\0",
                   9),
       "the file is UTF-16 text: a settings file is UTF-8"},
      {std::string("d\0p\0i\0", 6),
       "the file is UTF-16 text: a settings file is UTF-8"},
      {"dpi = 300\n\x1B[2J\x1B]0;title\x07",
       "line 2: \"?[2J?]0;title?\" is not a setting: key = value"},
      {"\xC2\x9B"
       "31m = 1",
       "line 1: unknown setting \"?31m\" (the settings are figure-size, dpi, "
       "figure-style, palette, caption, cloud, legend, projection, font-size, "
       "marker-size and line-width)"},
  };
  for (const auto& [text, message] : refused) {
    EXPECT_EQ(ParseFigureSettings(text, s).message(), message);
  }
  QTemporaryDir dir;
  const QString fifo = dir.filePath("fifo");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  EXPECT_EQ(ReadSettingsFile(fifo, s).message(),
            "Cannot read \"" + fifo.toStdString() + "\": Not a regular file");
  EXPECT_EQ(
      ReadSettingsFile(dir.path(), s).message(),
      "Cannot read \"" + dir.path().toStdString() + "\": Not a regular file");
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The saved pictures as third-party readers draw them. Each test needs a
// reader installed and is skipped where it is missing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "chart/chart_geometry.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "render/chart_render.h"
#include "render/picture_export.h"
#include "render/plot_render.h"
#include "support/analysed_chart.h"
#include "support/image_compare.h"

namespace orvane {
namespace {

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

using testing_support::AnalysedChart;
const std::vector<testing_support::Ellipse>& kData =
    testing_support::kSixMarkers;

// Inkscape's picture of `picture`, at the picture's own pixel size.
QImage InkscapeRender(const QString& picture, const QString& png) {
  const std::string cmd = "inkscape '" + picture.toStdString() +
                          "' --export-type=png --export-dpi=96 "
                          "--export-background=white --export-filename='" +
                          png.toStdString() + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return QImage();
  return QImage(png).convertToFormat(QImage::Format_RGB32);
}

// LibreOffice's picture of `picture`: the page it converts to holds the
// picture at its natural size, centred; the part of the page where our
// raster of `size` matches best (within a few pixels of the centre) is
// returned.
QImage LibreOfficeRender(const QString& picture, const QString& out_dir,
                         const QImage& ours) {
  // One profile for the suite's conversions: making one takes seconds.
  static QTemporaryDir profile;
  const std::string cmd = "timeout 240 soffice -env:UserInstallation=file://" +
                          profile.path().toStdString() +
                          " --headless --convert-to png --outdir '" +
                          out_dir.toStdString() + "' '" +
                          picture.toStdString() + "' >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) return QImage();
  const QString base = QFileInfo(picture).completeBaseName();
  const QImage page = QImage(out_dir + "/" + base + ".png")
                          .convertToFormat(QImage::Format_RGB32);
  if (page.isNull()) return QImage();
  const int x0 = (page.width() - ours.width()) / 2;
  const int y0 = (page.height() - ours.height()) / 2;
  QImage best;
  int best_differing = -1;
  for (int dy = -3; dy <= 3; ++dy) {
    for (int dx = -3; dx <= 3; ++dx) {
      const QImage crop =
          page.copy(x0 + dx, y0 + dy, ours.width(), ours.height());
      const int d = testing_support::DifferingPixels(ours, crop, 76);
      if (best_differing < 0 || d < best_differing) {
        best_differing = d;
        best = crop;
      }
    }
  }
  return best;
}

bool Installed(const char* program) {
  const std::string cmd =
      std::string("command -v ") + program + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// A reader's picture of the saved file, at our raster's size; null when
// the reader failed.
QImage ReaderRender(const std::string& reader, const QString& picture,
                    const QString& dir, const QImage& ours) {
  if (reader == "inkscape") {
    return InkscapeRender(picture, picture + ".inkscape.png");
  }
  QDir().mkpath(dir + "/lo");
  return LibreOfficeRender(picture, dir + "/lo", ours);
}

// Both readers, each where it is installed; a missing one is named.
std::vector<std::string> InstalledReaders() {
  std::vector<std::string> readers;
  for (const char* reader : {"inkscape", "soffice"}) {
    if (Installed(reader)) {
      readers.push_back(reader);
    } else {
      std::printf("%s is not installed: its checks are skipped\n", reader);
    }
  }
  return readers;
}

// Each installed reader with each vector format: the metafile, then the SVG.
std::vector<std::pair<std::string, const char*>> ReadersAndFormats(
    const std::vector<std::string>& readers) {
  std::vector<std::pair<std::string, const char*>> out;
  for (const char* ext : {"emf", "svg"}) {
    for (const std::string& reader : readers) out.emplace_back(reader, ext);
  }
  return out;
}

// Pixels whose colour differs by more than 30 % of the full range.
constexpr int kThirtyPercent = 76;

// Overlapping translucent markers and the optimal-strain cross must blend
// in each reader, in the metafile and in the SVG, as on the screen: at most 1 %
// of the pixels may differ by more than 30 % (text smoothing and the odd edge
// pixel), and the cross shows the screen's colour. At the design size and at
// sizes whose width and height in millimetres are not whole, which readers that
// scale by the header's rounded millimetres draw shifted.
TEST(PictureReaders, VectorPicturesBlendMarkersAsTheScreenDoes) {
  const auto readers = InstalledReaders();
  if (readers.empty()) {
    GTEST_SKIP() << "neither Inkscape nor LibreOffice is installed";
  }
  // Markers piled on each other: every blend of every pair shows.
  const std::vector<testing_support::Ellipse> crowded = {
      {3, 2, 30},    {3.1f, 2, 31}, {3.2f, 2, 30}, {4, 2, 45},
      {4.1f, 2, 46}, {5, 1, 40},    {5.2f, 1, 41}, {6, 2, 35},
      {2, 1, 38},    {2.1f, 1, 39}, {2.5, 1, -60}, {2.6f, 1, -61}};
  for (const QSize size : {kDesignSize, QSize(641, 363)}) {
    for (const auto* data : {&kData, &crowded}) {
      AnalysisState state;
      EqualAreaChart chart = AnalysedChart(*data, &state);
      // With a marker chosen in the grid: rings around translucent discs.
      if (data == &crowded) chart.Highlight(state, 3);
      const QImage ours = RenderChartImage(chart, size, PictureOptions());
      QTemporaryDir dir;
      // ORVANE_KEEP_PICTURES=1 keeps the pictures and the readers' renders.
      dir.setAutoRemove(std::getenv("ORVANE_KEEP_PICTURES") == nullptr);
      ours.save(dir.filePath("ours.png"));
      const ChartLayout layout = LayOutChart(chart, size, PictureOptions());
      const PolarPoint& optimum = chart.optimal.Points().at(0);
      const Pixel cross = PlacePoint(layout, chart.RadialMaximum(),
                                     optimum.angle, optimum.value);
      for (const auto& [reader, ext] : ReadersAndFormats(readers)) {
        const QString picture = dir.filePath(QString("c.") + ext);
        if (!QFileInfo::exists(picture)) {
          ASSERT_TRUE(SaveChartPictureFile(chart, size, picture).ok());
        }
        const QImage theirs = ReaderRender(reader, picture, dir.path(), ours);
        ASSERT_EQ(theirs.size(), size) << reader << " " << ext;
        const int differing =
            testing_support::DifferingPixels(ours, theirs, kThirtyPercent);
        const double percent =
            100.0 * differing / (ours.width() * ours.height());
        std::printf(
            "%s %s, %dx%d, %zu markers: %.2f %% of pixels differ by > 30 %% "
            "(%s)\n",
            reader.c_str(), ext, size.width(), size.height(), data->size(),
            percent, qPrintable(dir.path()));
        // The circles and lines of a picture are true geometry, which the
        // readers smooth where the screen draws whole pixels, and
        // LibreOffice draws an SVG on a page of whole pixels, a pixel larger
        // than the picture, and so slightly scaled: its lines land a pixel
        // off here and there.
        const double limit = 2.0;
        EXPECT_LE(percent, limit)
            << reader << " " << ext << ", " << data->size() << " markers";
        // The middle of the cross, over markers of other series.
        EXPECT_LE(
            testing_support::ColourDistance(ours.pixel(cross.x, cross.y),
                                            theirs.pixel(cross.x, cross.y)),
            12)
            << reader << " " << ext << ": the cross is "
            << QColor(theirs.pixel(cross.x, cross.y)).name().toStdString()
            << ", on the screen "
            << QColor(ours.pixel(cross.x, cross.y)).name().toStdString();
      }
    }
  }
}

// Readers that lay the legend out with a wider face than ours run the
// longest title out of the legend box: in each reader, for the metafile and
// the SVG, no text ink lies right of the box.
TEST(PictureReaders, LegendTextStaysInsideTheLegendBox) {
  const auto readers = InstalledReaders();
  if (readers.empty())
    GTEST_SKIP() << "neither Inkscape nor LibreOffice is installed";
  const EqualAreaChart chart = AnalysedChart(kData);
  const QImage ours = RenderChartImage(chart, kDesignSize);
  const PixelRect box = MeasureLegend(chart, kDesignSize.width()).layout.box;
  ASSERT_GT(box.width, 0);
  for (const char* ext : {"emf", "svg"}) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QString("c.") + ext);
    ASSERT_TRUE(SaveChartPictureFile(chart, kDesignSize, picture).ok());
    for (const std::string& reader : readers) {
      const QImage theirs = ReaderRender(reader, picture, dir.path(), ours);
      ASSERT_EQ(theirs.size(), kDesignSize) << reader << " " << ext;
      // The rightmost dark pixel in the rows of the legend.
      int rightmost = -1, ours_rightmost = -1;
      for (int y = box.top; y < box.top + box.height; ++y) {
        for (int x = box.left; x < theirs.width(); ++x) {
          if (qGray(theirs.pixel(x, y)) < 100)
            rightmost = std::max(rightmost, x);
          if (qGray(ours.pixel(x, y)) < 100) {
            ours_rightmost = std::max(ours_rightmost, x);
          }
        }
      }
      std::printf("%s %s: legend text ends at x = %d (ours %d, box %d..%d)\n",
                  reader.c_str(), ext, rightmost, ours_rightmost, box.left,
                  box.left + box.width - 1);
      EXPECT_GE(rightmost, box.left) << reader << " " << ext << ": no text";
      EXPECT_LT(rightmost, box.left + box.width - 1) << reader << " " << ext;
      // The same face: the text ends within a pixel or two of ours.
      EXPECT_LE(std::abs(rightmost - ours_rightmost), 4)
          << reader << " " << ext;
    }
  }
}

// A reader that is not ours: Inkscape draws the metafile's GDI records; its
// picture must look like the raster of the same chart.
TEST(MetafileReader, InkscapeDrawsWhatTheScreenShows) {
  if (std::system("command -v inkscape >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Inkscape is not installed";
  }
  QTemporaryDir dir;
  const EqualAreaChart chart = AnalysedChart(kData);
  const QString emf = dir.filePath("c.emf"), png = dir.filePath("c.png");
  ASSERT_TRUE(SaveChartPictureFile(chart, kDesignSize, emf).ok());
  const QImage theirs = InkscapeRender(emf, png);
  ASSERT_EQ(theirs.size(), kDesignSize);
  const QImage ours = RenderChartImage(chart, kDesignSize, PictureOptions());
  const int differing = testing_support::DifferingPixels(ours, theirs, 80);
  // Text is laid out and smoothed by each reader: a few pixels differ, no
  // more.
  EXPECT_LT(differing, ours.width() * ours.height() / 50);
}

// A cloud of more points than vector pictures draw as shapes: Inkscape
// shows the image of it, in the metafile and in the SVG, where the screen
// shows the cloud.
TEST(MetafileReader, InkscapeDrawsALargeCloudWhereTheScreenShowsIt) {
  if (std::system("command -v inkscape >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Inkscape is not installed";
  }
  EqualAreaChart chart;
  chart.StartUp();
  std::uint32_t state = 99;
  for (std::size_t i = 0; i < 2 * kPictureLayerThreshold; ++i) {
    state = state * 1664525u + 1013904223u;
    const double a = (state >> 8) / double(1 << 24);
    state = state * 1664525u + 1013904223u;
    const double b = (state >> 8) / double(1 << 24);
    chart.measured.AddPolar(20 + 40 * a, 1.2 + 1.2 * b);
    chart.retrodeformed.AddPolar(-60 + 40 * b, 0.5 + a);
  }
  const QImage ours = RenderChartImage(chart, kDesignSize, PictureOptions());
  QTemporaryDir dir;
  for (const char* ext : {"emf", "svg"}) {
    const QString picture = dir.filePath(QString("c.") + ext);
    const QString png = dir.filePath(QString(ext) + ".png");
    ASSERT_TRUE(SaveChartPictureFile(chart, kDesignSize, picture).ok());
    const QImage theirs = InkscapeRender(picture, png);
    ASSERT_EQ(theirs.size(), kDesignSize);
    int clouded = 0;
    for (int y = 0; y < ours.height(); ++y) {
      for (int x = 0; x < ours.width(); ++x) {
        const QRgb a = ours.pixel(x, y);
        clouded += qBlue(a) > 150 && qRed(a) < 60;  // the measured blue
      }
    }
    const int differing = testing_support::DifferingPixels(ours, theirs, 80);
    EXPECT_GT(clouded, 5000) << ext;
    EXPECT_LT(differing, ours.width() * ours.height() / 50) << ext;
  }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// The Rf/phi plot in each reader, in the metafile and the SVG: the axes,
// their tick labels and titles are where our raster has them, and the
// picture as a whole is ours but for the odd pixel of a line.
TEST(PictureReaders, RfPhiPlotAxesAndLabelsAsTheScreenShows) {
  const auto readers = InstalledReaders();
  if (readers.empty()) {
    GTEST_SKIP() << "neither Inkscape nor LibreOffice is installed";
  }
  AnalysisState s = testing_support::StateOf(kData);
  const AnalysisResult result = RunAnalysis(s);
  RfPhiPlot plot;
  plot.ShowAnalysis(s, result);
  const ModelPicture picture(plot);
  const QImage ours = picture.Image(kDesignSize, PictureOptions());
  const RfPhiLayout l = LayOutRfPhiPlot(
      plot, {kDesignSize.width(), kDesignSize.height(), PictureOptions()},
      QtTextMeasure());
  const QFontMetrics fm(LegendFont());
  // The boxes where text is drawn: the titles and the tick labels.
  std::vector<QRect> text;
  const int title =
      fm.horizontalAdvance(QString::fromStdString(PhiAxisTitle()));
  text.emplace_back(l.phi_title_x - title / 2,
                    l.phi_title_baseline - fm.ascent(), title, fm.ascent());
  text.emplace_back(l.rf_title_x, l.rf_title_baseline - fm.ascent(),
                    fm.horizontalAdvance(QString::fromStdString(RfAxisTitle())),
                    fm.ascent());
  for (const double phi : {-90.0, -30.0, 30.0, 90.0}) {
    const int x = static_cast<int>(std::lround(PhiToX(l, phi)));
    text.emplace_back(x - 8, l.plot.top + l.plot.height + kTickLength + 2, 17,
                      fm.ascent());
  }
  auto ink = [](const QImage& image, const QRect& r) {
    int dark = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      for (int x = r.left(); x <= r.right(); ++x) {
        dark += qGray(image.pixel(x, y)) < 110;
      }
    }
    return dark;
  };
  for (const QRect& r : text) ASSERT_GT(ink(ours, r), 3);
  QTemporaryDir dir;
  for (const auto& [reader, ext] : ReadersAndFormats(readers)) {
    const QString file = dir.filePath(QString("rf.") + ext);
    if (!QFileInfo::exists(file)) {
      ASSERT_TRUE(SaveChartPictureFile(picture, kDesignSize, file).ok());
    }
    const QImage theirs = ReaderRender(reader, file, dir.path(), ours);
    ASSERT_EQ(theirs.size(), kDesignSize) << reader << " " << ext;
    for (const QRect& r : text) {
      EXPECT_GT(ink(theirs, r), ink(ours, r) / 3)
          << reader << " " << ext << " text at " << r.x() << "," << r.y();
    }
    // The frame's left side, dark in every reader (a reader that
    // smooths lines spreads it over the pixels beside it).
    int frame = 255;
    for (int dx = -1; dx <= 1; ++dx) {
      frame =
          std::min(frame, qGray(theirs.pixel(l.plot.left + dx,
                                             l.plot.top + l.plot.height / 2)));
    }
    EXPECT_LT(frame, 160) << reader << " " << ext;
    const double percent =
        100.0 * testing_support::DifferingPixels(ours, theirs, kThirtyPercent) /
        (ours.width() * ours.height());
    std::printf("%s %s Rf/phi plot: %.2f %% of pixels differ by > 30 %%\n",
                reader.c_str(), ext, percent);
    // The curves are one-pixel lines whose staircase each reader draws in
    // its own way.
    EXPECT_LE(percent, 3.0) << reader << " " << ext;
  }
}

}  // namespace
}  // namespace orvane

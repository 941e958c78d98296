// The saved pictures as third-party readers draw them. Each test needs a
// reader installed and is skipped where it is missing.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <string>

#include "chart/chart_geometry.h"
#include "core/analysis.h"
#include "image_compare.h"
#include "render/chart_render.h"
#include "render/picture_export.h"
#include "test_chart.h"

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
  // Text is laid out and smoothed by each reader, and translucent markers
  // are blended with white in the metafile: a few pixels differ, no more.
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

// SPDX-License-Identifier: MIT
// The Elliott chart as drawn: its note, its iso-R labels and circles at
// ln R, and the projection as a figure setting.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>

#include "core/analysis.h"
#include "core/double_paths.h"
#include "render/chart_render.h"
#include "render/figure_export.h"
#include "render/picture_export.h"
#include "support/analysed_chart.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::kSixMarkers;
using testing_support::StateOf;

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

// The chart of `data` after an Open, in `projection`.
EqualAreaChart ChartOf(const std::vector<testing_support::Ellipse>& data,
                       ChartProjection projection) {
  AnalysisState s = StateOf(data);
  const AnalysisResult r = RunAnalysis(s);
  EqualAreaChart chart;
  chart.SetProjection(projection);
  chart.StartUp();
  chart.ShowAnalysis(s, r);
  return chart;
}

// Pixels other than white within `box`.
int InkIn(const QImage& image, const QRect& box) {
  int ink = 0;
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFFu) ++ink;
    }
  }
  return ink;
}

QByteArray PictureBytes(const EqualAreaChart& chart, PictureFormat format,
                        const ChartRenderOptions& options = PictureOptions()) {
  QBuffer buffer;
  buffer.open(QIODevice::ReadWrite);
  EXPECT_TRUE(
      WriteChartPicture(chart, kDesignSize, format, buffer, options).ok());
  return buffer.data();
}

TEST(ProjectionNote, OnlyTheElliottChartCarriesOne) {
  EXPECT_EQ(ProjectionNote(ChartProjection::kEqualArea), QString());
  EXPECT_EQ(ProjectionNote(ChartProjection::kElliott), "Elliott projection");
  const EqualAreaChart equal_area =
      ChartOf(kSixMarkers, ChartProjection::kEqualArea);
  const EqualAreaChart elliott =
      ChartOf(kSixMarkers, ChartProjection::kElliott);
  for (const bool figure : {false, true}) {
    ChartRenderOptions options = PictureOptions();
    options.figure_style = figure;
    const ChartLayout l = LayOutChart(elliott, kDesignSize, options);
    // The note's corner: the lower left of the plotting area, as wide as
    // the note and a line high.
    const QFontMetrics fm(figure ? FigureTextFont() : LegendFont());
    const QRect corner(l.plot.left, l.plot.top + l.plot.height - fm.height(),
                       fm.horizontalAdvance("Elliott projection"), fm.height());
    EXPECT_EQ(InkIn(RenderChartImage(equal_area, kDesignSize, options), corner),
              0);
    EXPECT_GT(InkIn(RenderChartImage(elliott, kDesignSize, options), corner),
              20);
  }
  // Vector pictures carry it as text.
  const QByteArray svg = PictureBytes(elliott, PictureFormat::kSvg);
  EXPECT_TRUE(svg.contains("Elliott projection"));
  EXPECT_FALSE(
      PictureBytes(equal_area, PictureFormat::kSvg).contains("Elliott"));
  const QString note = "Elliott projection";
  const QByteArray utf16(reinterpret_cast<const char*>(note.utf16()),
                         note.size() * 2);
  EXPECT_TRUE(PictureBytes(elliott, PictureFormat::kEmf).contains(utf16));
}

TEST(ProjectionRender, CirclesAndLabelsAtLnR) {
  // Largest R 5: circles R = 2 .. 5 at ln R.
  const EqualAreaChart chart = ChartOf(kSixMarkers, ChartProjection::kElliott);
  ChartRenderOptions options = PictureOptions();
  options.figure_style = true;
  const QImage image = RenderChartImage(chart, kDesignSize, options);
  const ChartLayout l = LayOutChart(chart, kDesignSize, options);
  const double maximum = chart.RadialMaximum();
  for (const int r : chart.IsoRatios()) {
    const double rho = RhoOfRatio(static_cast<float>(r));
    const Pixel left = PlacePoint(l, maximum, 180.0, rho);
    EXPECT_EQ(image.pixel(left.x, left.y) & 0xFFFFFF, 0x808080u) << r;
  }
  const std::vector<IsoRatioLabel> labels = IsoRatioLabels(chart, l);
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels[0].text, "R = 2");
  for (const IsoRatioLabel& label : labels) {
    const Pixel at = PlacePoint(l, maximum, 0.0,
                                RhoOfRatio(static_cast<float>(label.ratio)));
    EXPECT_EQ(label.box.left(), at.x + 2) << label.ratio;
  }
}

TEST(ProjectionRender, CirclesThinnedByTheirDrawnSpacing) {
  // Largest R 60: in the Elliott projection the circles beyond R = 10 or
  // so lie closer than the spacing and are thinned by it.
  const EqualAreaChart chart =
      ChartOf({{60, 1, 10}, {2, 1, 20}, {3, 1, 30}}, ChartProjection::kElliott);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  const std::vector<bool> drawn = DrawnIsoRatioCircles(chart, l);
  EXPECT_EQ(drawn, ThinIsoRatioCircles(chart.IsoRatios(),
                                       l.radius / chart.RadialMaximum(),
                                       ChartProjection::kElliott));
  EXPECT_NE(drawn, ThinIsoRatioCircles(chart.IsoRatios(),
                                       l.radius / chart.RadialMaximum()));
}

TEST(ProjectionSetting, ReadWrittenAndRefused) {
  FigureSettings s;
  EXPECT_FALSE(s.projection);
  // Without a projection the text is as it always was.
  EXPECT_EQ(FigureSettingsText(s).find("projection"), std::string::npos);
  ASSERT_TRUE(ParseFigureSettings("projection = elliott\n", s).ok());
  EXPECT_EQ(s.projection, ChartProjection::kElliott);
  EXPECT_NE(FigureSettingsText(s).find("projection = elliott\n"),
            std::string::npos);
  FigureSettings back;
  ASSERT_TRUE(ParseFigureSettings(FigureSettingsText(s), back).ok());
  EXPECT_EQ(back, s);
  ASSERT_TRUE(SetFigureSetting("projection", "equal-area", s).ok());
  EXPECT_EQ(s.projection, ChartProjection::kEqualArea);
  const Status refused = ParseFigureSettings("dpi = 150\nprojection = ea\n", s);
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(refused.message(),
            "line 2: projection needs equal-area or elliott");
  EXPECT_EQ(s.projection, ChartProjection::kEqualArea);  // left as it was
  EXPECT_EQ(s.dpi, 300);
}

}  // namespace
}  // namespace orvane

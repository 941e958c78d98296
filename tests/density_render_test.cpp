// SPDX-License-Identifier: MIT
// Density contours as drawn: the grey bands under the markers of the polar
// chart, on the screen and in pictures.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart/density_contours.h"
#include "chart/rf_phi_plot.h"
#include "render/chart_render.h"
#include "render/density_render.h"
#include "render/figure_export.h"
#include "render/plot_render.h"
#include "support/analysed_chart.h"

namespace orvane {
namespace {

using testing_support::AnalysedChart;

const QSize kDesignSize(kDesignChartWidth, kDesignChartHeight);

// n ellipses of R = 1.5 .. 3 about phi = 30 degrees.
std::vector<testing_support::Ellipse> Markers(int n) {
  std::vector<testing_support::Ellipse> data;
  for (int i = 0; i < n; ++i) {
    data.push_back({static_cast<float>(1.5 + 1.5 * ((i * 37) % 100) / 100.0), 1,
                    static_cast<float>(10 + 40 * ((i * 61) % 100) / 100.0)});
  }
  return data;
}

int Grey(QRgb c) {
  return qRed(c);
}

TEST(DensityBandColours, LightToDarkGreys) {
  for (int i = 0; i < 9; ++i) {
    const QColor c = DensityBandColour(i, 9);
    EXPECT_EQ(c.red(), c.green());
    EXPECT_EQ(c.red(), c.blue());
    if (i > 0) {
      EXPECT_LT(c.red(), DensityBandColour(i - 1, 9).red());
    }
  }
  EXPECT_EQ(DensityBandColour(0, 9).red(), 240);
  EXPECT_EQ(DensityBandColour(8, 9).red(), 158);
  EXPECT_EQ(DensityBandColour(0, 1).red(), 240);
}

TEST(DensityBandPath, RingsThroughTheMapping) {
  ContourBand band;
  band.rings = {{{0, 0}, {2, 0}, {2, 1}, {0, 1}}, {{5, 5}, {6, 5}}};
  const QPainterPath path = DensityBandPath(
      band, [](const PlotPoint& p) { return QPointF(10 + 10 * p.x, -p.y); });
  // The ring of two points is left out.
  EXPECT_EQ(path.boundingRect(), QRectF(10, -1, 20, 1));
  EXPECT_EQ(path.fillRule(), Qt::WindingFill);
}

TEST(RfPhiContours, DrawnThroughThePlotsMapping) {
  // The Rf/phi plot: phi -90..90 across 360 pixels, ln Rf 0..2 up 200; the
  // darkest band lies where the data are, phi about 30 and R about 2.2.
  AnalysisState state;
  AnalysedChart(Markers(200), &state);
  DensityContours c;
  ASSERT_TRUE(ComputeRfPhiContours(state, 0.0, 2.0, ContourSettings{}, c));
  QImage image(360, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    DrawDensityBands(painter, c, [](const PlotPoint& p) {
      return QPointF((p.x + 90) * 2, 200 - p.y * 100);
    });
  }
  int darkest = 255, x_dark = 0, y_dark = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (Grey(image.pixel(x, y)) < darkest) {
        darkest = Grey(image.pixel(x, y));
        x_dark = x;
        y_dark = y;
      }
    }
  }
  EXPECT_EQ(darkest, DensityBandColour(8, 9).red());
  EXPECT_NEAR(x_dark / 2.0 - 90, 30, 15);
  EXPECT_NEAR(std::exp((200 - y_dark) / 100.0), 2.2, 0.6);
  // The corners, far from every datum, stay white.
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(image.pixel(359, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(ChartContours, GreyUnderTheMarkersWhiteWithout) {
  AnalysisState state;
  EqualAreaChart chart = AnalysedChart(Markers(40), &state);
  const QImage plain = RenderChartImage(chart, kDesignSize);
  chart.density_contours =
      ChartDensityContours(chart, state, ContourSettings{});
  ASSERT_NE(chart.density_contours, nullptr);
  ASSERT_EQ(chart.density_contours->bands.size(), 9u);
  const QImage contoured = RenderChartImage(chart, kDesignSize);
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  const double m = chart.RadialMaximum();
  // Near the middle of the data the darkest greys; far from them, on the
  // other side of the centre, white as before.
  const Pixel near_peak =
      PlacePoint(l, m, 60.0, static_cast<double>(ZetaOfR(2.2f)) + 0.05);
  const Pixel far = PlacePoint(l, m, 240.0, 0.8 * m);
  int darkest = 255;
  for (int dy = -6; dy <= 6; ++dy) {
    for (int dx = -6; dx <= 6; ++dx) {
      const QRgb c = contoured.pixel(near_peak.x + dx, near_peak.y + dy);
      if (qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) {
        darkest = std::min(darkest, Grey(c));
      }
    }
  }
  EXPECT_LE(darkest, 175);
  EXPECT_EQ(contoured.pixel(far.x, far.y) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(plain.pixel(far.x, far.y) & 0xFFFFFF, 0xFFFFFFu);
  // The series are drawn over the bands: the grey circle of R = 2 runs
  // through them unchanged.
  const Pixel circle = PlacePoint(l, m, 76.0, ZetaOfR(2.0f));
  EXPECT_EQ(contoured.pixel(circle.x, circle.y) & 0xFFFFFF, 0x808080u);
  EXPECT_NE(contoured.pixel(circle.x + 3, circle.y + 3),
            plain.pixel(circle.x + 3, circle.y + 3));
  // The note of k at the bottom left, in dark grey.
  bool note = false;
  for (int y = l.plot.top + l.plot.height - 14; y < l.plot.top + l.plot.height;
       ++y) {
    for (int x = l.plot.left; x < l.plot.left + 60; ++x) {
      note = note || Grey(contoured.pixel(x, y)) < 0x80;
    }
  }
  EXPECT_TRUE(note);
  // An empty set of contours draws nothing but what the chart drew before.
  chart.density_contours = std::make_shared<DensityContours>();
  EXPECT_EQ(RenderChartImage(chart, kDesignSize), plain);
}

// An Elliott chart notes its projection at the bottom left: the note of the
// contours goes above it, so that neither covers the other.
// A figure keys its greys to the density: on both plots a swatch of each
// band, lightest first, between the lowest and the highest level, inside
// the plot's frame and over the data on the Rf/phi plot; the screen has
// only the note.
TEST(ChartContours, FiguresKeyTheGreysToTheDensity) {
  AnalysisState state;
  EqualAreaChart chart = AnalysedChart(Markers(200), &state);
  chart.density_contours =
      ChartDensityContours(chart, state, ContourSettings{});
  RfPhiPlot rf_phi;
  rf_phi.ShowAnalysis(state, AnalysisResult::kBootstrapped);
  rf_phi.density_contours =
      RfPhiDensityContours(rf_phi, state, ContourSettings{});
  FigureSettings s;
  s.width_mm = 85;
  s.height_mm = 60;
  s.figure_style = true;
  const ChartRenderOptions figure =
      FigureRenderOptions(s, PictureFormat::kSvg, {});
  for (const PlotSource* plot :
       std::initializer_list<const PlotSource*>{&chart, &rf_phi}) {
    const DensityContours& c =
        plot == &chart ? *chart.density_contours : *rf_phi.density_contours;
    const std::string low = ConcentrationText(c.bands.front().level, ".");
    const std::string high = ConcentrationText(c.bands.back().level, ".");
    auto key_of = [&](const PlotModel& model) {
      const SwatchLayer* key = nullptr;
      bool levels = false;
      for (const PlotLayer& layer : model.layers) {
        if (const auto* t = std::get_if<TextLayer>(&layer)) {
          levels = levels || (t->items.size() == 2 && t->items[0].text == low &&
                              t->items[1].text == high);
        }
        if (const auto* k = std::get_if<SwatchLayer>(&layer);
            k != nullptr && k->swatches.size() == c.bands.size()) {
          key = k;
        }
      }
      return levels ? key : nullptr;
    };
    const PlotModel screen = ModelOf(*plot, kDesignSize, PictureOptions());
    EXPECT_EQ(key_of(screen), nullptr);
    const PlotModel model =
        ModelOf(*plot, FigurePixelSize(s, PictureFormat::kSvg), figure);
    const SwatchLayer* key = key_of(model);
    ASSERT_NE(key, nullptr) << (plot == &chart ? "chart" : "rf-phi");
    const PlotRect frame = model.mapping.Frame();
    for (std::size_t i = 0; i < key->swatches.size(); ++i) {
      const PixelRect& box = key->swatches[i].box;
      EXPECT_GE(box.left, frame.left);
      EXPECT_LE(box.left + box.width, frame.right + 1);
      EXPECT_EQ(key->swatches[i].fill,
                DensityBandGrey(static_cast<int>(i),
                                static_cast<int>(key->swatches.size())));
    }
    if (plot == &rf_phi) {
      // Over the data: after every marker layer, on white.
      const auto at = std::find_if(model.layers.begin(), model.layers.end(),
                                   [key](const PlotLayer& l) {
                                     return std::get_if<SwatchLayer>(&l) == key;
                                   });
      EXPECT_TRUE(std::none_of(at, model.layers.end(), [](const PlotLayer& l) {
        return std::holds_alternative<MarkerLayer>(l);
      }));
    }
  }
}

TEST(ChartContours, NoteAboveTheProjectionsNote) {
  AnalysisState state;
  EqualAreaChart chart = AnalysedChart(Markers(40), &state);
  chart = chart.InProjection(ChartProjection::kElliott, state,
                             AnalysisResult::kBootstrapped);
  const QImage plain = RenderChartImage(chart, kDesignSize);
  chart.density_contours =
      ChartDensityContours(chart, state, ContourSettings{});
  ASSERT_NE(chart.density_contours, nullptr);
  const QImage contoured = RenderChartImage(chart, kDesignSize);
  // The projection's note: what the chart without contours draws in the
  // corner of the plotting area, outside the disc.
  const ChartLayout l = LayOutChart(chart, kDesignSize);
  int note_pixels = 0, covered = 0;
  for (int y = l.plot.top + l.plot.height - 16; y < l.plot.top + l.plot.height;
       ++y) {
    for (int x = l.plot.left; x < l.plot.left + 120; ++x) {
      if ((plain.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) continue;
      ++note_pixels;
      if (contoured.pixel(x, y) != plain.pixel(x, y)) ++covered;
    }
  }
  EXPECT_GT(note_pixels, 20);
  EXPECT_EQ(covered, 0);
}

TEST(ChartContours, OpaquePictureLayerKeepsTheBandsBeneath) {
  // Above kPictureLayerThreshold markers a metafile carries the measured
  // series as an opaque image of the chart beneath it and the series: the
  // bands must be in that image, as on the screen.
  AnalysisState state;
  EqualAreaChart chart = AnalysedChart(
      Markers(static_cast<int>(kPictureLayerThreshold) + 1), &state);
  chart.density_contours =
      ChartDensityContours(chart, state, ContourSettings{});
  ASSERT_NE(chart.density_contours, nullptr);
  const QImage screen = RenderChartImage(chart, kDesignSize);
  QImage picture(kDesignSize, QImage::Format_RGB32);
  picture.fill(Qt::white);
  {
    QPainter painter(&picture);
    RenderChartPicture(painter, chart, kDesignSize, PictureLayer::kOpaque);
  }
  // The picture's markers are blended a little differently from the
  // screen's, but no pixel that the screen shows grey may be white.
  int grey = 0, white_instead = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const QRgb s = screen.pixel(x, y) & 0xFFFFFF;
      if (s == (DensityBandColour(0, 9).rgb() & 0xFFFFFF)) ++grey;
      if (s != 0xFFFFFF && (picture.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) {
        ++white_instead;
      }
    }
  }
  EXPECT_GT(grey, 1000);
  EXPECT_EQ(white_instead, 0);
}

}  // namespace
}  // namespace orvane

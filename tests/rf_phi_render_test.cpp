// SPDX-License-Identifier: MIT
// The Rf/phi plot as drawn: its frame, axes, markers and curves at the
// places the plot model gives, and the same plot in every picture format.
#include "chart/rf_phi_plot.h"
#include "render/plot_render.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetrics>
#include <QImage>
#include <QTemporaryDir>

#include "chart/density_contours.h"
#include "core/analysis.h"
#include "render/figure_export.h"
#include "render/picture_export.h"
#include "support/image_compare.h"
#include "support/test_data.h"

namespace orvane {
namespace {

const QSize kSize(640, 362);

RfPhiPlot AnalysedPlot(const std::vector<testing_support::Ellipse>& data,
                       AnalysisState* out = nullptr) {
  AnalysisState s = testing_support::StateOf(data);
  const AnalysisResult r = RunAnalysis(s);
  RfPhiPlot plot;
  plot.ShowAnalysis(s, r);
  if (out) *out = s;
  return plot;
}

const std::vector<testing_support::Ellipse> kData = {
    {3, 2, 30}, {4, 2, 45}, {5, 1, 40}, {6, 2, 35}, {2, 1, 38}, {2.5, 1, -60}};

QImage Draw(const RfPhiPlot& plot, QSize size = kSize,
            const ChartRenderOptions& options = PictureOptions()) {
  return ModelPicture(plot).Image(size, options);
}

bool Dark(QRgb c) {
  return qGray(c) < 110;
}

// Whether any pixel of the rectangle is dark: text or lines drawn there.
bool InkIn(const QImage& image, const QRect& r) {
  for (int y = std::max(0, r.top());
       y <= std::min(image.height() - 1, r.bottom()); ++y) {
    for (int x = std::max(0, r.left());
         x <= std::min(image.width() - 1, r.right()); ++x) {
      if (Dark(image.pixel(x, y))) return true;
    }
  }
  return false;
}

TEST(RfPhiRender, FrameAxesAndTitlesWhereTheLayoutPutsThem) {
  const RfPhiPlot plot = AnalysedPlot(kData);
  const QImage image = Draw(plot);
  const RfPhiLayout l = LayOutRfPhiPlot(
      plot, {kSize.width(), kSize.height(), PictureOptions()}, QtTextMeasure());
  const PixelRect& f = l.plot;
  ASSERT_GT(f.width, 300);
  // The frame: black at the middle of each side.
  EXPECT_EQ(image.pixel(f.left, f.top + f.height / 3), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(f.left + f.width, f.top + f.height / 3), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(f.left + f.width / 5, f.top), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(f.left + f.width / 5, f.top + f.height), qRgb(0, 0, 0));
  // Ticks below the frame at phi = -90, 0 and 90, labels under them.
  const int bottom = f.top + f.height;
  for (const double phi : {-90.0, 0.0, 90.0}) {
    const int x = static_cast<int>(std::lround(PhiToX(l, phi)));
    EXPECT_TRUE(Dark(image.pixel(x, bottom + kTickLength))) << phi;
    EXPECT_TRUE(InkIn(image, QRect(x - 8, bottom + kTickLength + 2, 17, 12)))
        << phi;
  }
  // The Rf labels left of the frame, at 1 and at the maximum.
  const RfAxis axis = plot.Axis();
  for (const double r : {1.0, axis.maximum}) {
    const int y = static_cast<int>(std::lround(RfToY(l, axis, r)));
    EXPECT_TRUE(Dark(image.pixel(f.left - kTickLength, y))) << r;
    EXPECT_TRUE(InkIn(image, QRect(f.left - 30, y - 5, 24, 11))) << r;
  }
  // Both axis titles: the phi title centred under the labels, "Rf" at the
  // left.
  const QFontMetrics fm(LegendFont());
  const int title_width =
      fm.horizontalAdvance(QString::fromStdString(PhiAxisTitle()));
  EXPECT_TRUE(InkIn(image, QRect(l.phi_title_x - title_width / 2,
                                 l.phi_title_baseline - fm.ascent(),
                                 title_width, fm.ascent())));
  EXPECT_FALSE(
      InkIn(image, QRect(l.phi_title_x + title_width / 2 + 2,
                         l.phi_title_baseline - fm.ascent(), 20, fm.ascent())));
  EXPECT_TRUE(InkIn(
      image, QRect(l.rf_title_x, l.rf_title_baseline - fm.ascent(),
                   fm.horizontalAdvance(QString::fromStdString(RfAxisTitle())),
                   fm.ascent())));
  // The legend at the top right, in the tooltip colour.
  const LegendLayer legend = *ModelOf(plot, kSize, {}).Legend();
  ASSERT_EQ(legend.items.size(), 4u);
  EXPECT_EQ(image.pixel(legend.layout.box.left + 2, legend.layout.box.top + 2),
            qRgb(0xFF, 0xFF, 0xE1));
  EXPECT_GT(legend.layout.box.left, f.left + f.width);
}

TEST(RfPhiRender, MarkersAndCurvesLieAtTheirShapes) {
  RfPhiPlot plot = AnalysedPlot(kData);
  plot.SetShowRetrodeformed(false);
  plot.SetShowThetaCurves(false);
  for (const RfScale scale : {RfScale::kLogarithmic, RfScale::kLinear}) {
    plot.SetScale(scale);
    const QImage image = Draw(plot);
    const RfPhiLayout l =
        LayOutRfPhiPlot(plot, {kSize.width(), kSize.height(), PictureOptions()},
                        QtTextMeasure());
    const RfAxis axis = plot.Axis();
    // A hollow square's outline 3 pixels left of each measured shape.
    for (const RfPhiPoint& p : plot.measured.Points()) {
      const Pixel at = PlaceShape(l, axis, p);
      const QRgb edge = image.pixel(at.x - 3, at.y);
      EXPECT_GT(qBlue(edge), qRed(edge) + 60) << p.ratio << " " << p.phi;
    }
    // The red cross at the strain.
    const Pixel cross = PlaceShape(l, axis, plot.optimal.Points()[0]);
    const QRgb c = image.pixel(cross.x, cross.y);
    EXPECT_GT(qRed(c), qGreen(c) + 80);
  }
  // A curve: grey on its path, where no marker lies.
  plot.SetShowThetaCurves(true);
  plot.SetScale(RfScale::kLogarithmic);
  plot.measured.SetActive(false);
  plot.optimal.SetActive(false);
  const QImage image = Draw(plot);
  const RfPhiLayout l = LayOutRfPhiPlot(
      plot, {kSize.width(), kSize.height(), PictureOptions()}, QtTextMeasure());
  const RfAxis axis = plot.Axis();
  const ThetaCurve& curve = plot.ThetaCurves().at(3);  // Ri = 3
  int grey = 0, tried = 0;
  for (const auto& piece : curve.pieces) {
    for (std::size_t i = 0; i < piece.size(); i += 5) {
      if (static_cast<double>(piece[i].ratio) > axis.maximum) continue;
      const Pixel at = PlaceShape(l, axis, piece[i]);
      if (at.x <= l.plot.left || at.x >= l.plot.left + l.plot.width) continue;
      ++tried;
      grey += qGray(image.pixel(at.x, at.y)) < 160;
    }
  }
  ASSERT_GT(tried, 5);
  EXPECT_EQ(grey, tried);
}

TEST(RfPhiRender, FigureLegendListsWhatIsDrawn) {
  RfPhiPlot plot = AnalysedPlot(kData);
  ChartRenderOptions figure = PictureOptions();
  figure.figure_style = true;
  plot.SetShowRetrodeformed(false);
  auto legend = [&plot](const ChartRenderOptions& options) {
    return *ModelOf(plot, kSize, options).Legend();
  };
  std::vector<int> ids;
  for (const LegendItem& item : legend(figure).items) ids.push_back(item.id);
  EXPECT_EQ(ids,
            (std::vector<int>{static_cast<int>(RfPhiEntry::kMeasured),
                              static_cast<int>(RfPhiEntry::kOptimal),
                              static_cast<int>(RfPhiEntry::kThetaCurves)}));
  plot.SetThetaCurveRatios({});
  EXPECT_EQ(legend(figure).items.size(), 2u);
  // The screen lists all four with their check boxes.
  const LegendLayer screen = legend({});
  ASSERT_EQ(screen.items.size(), 4u);
  EXPECT_FALSE(screen.items[0].checked);
  const LegendEntryLayout& row = screen.layout.entries[0];
  ModelScreen on_screen(plot);
  EXPECT_EQ(on_screen.LegendEntryAt(kSize, row.check_box.left + 2,
                                    row.check_box.top + 2),
            0);
  EXPECT_EQ(on_screen.LegendEntryAt(kSize, 5, 5), -1);
  // A click on the entry shows the pre-strain markers.
  on_screen.ToggleLegendEntry(kSize, 0);
  EXPECT_TRUE(plot.retrodeformed.Active());
}

// The density of the data in greys under the markers and over the white
// of the frame, with its note; empty contours change nothing.
TEST(RfPhiRender, DensityContoursUnderTheMarkers) {
  AnalysisState state;
  RfPhiPlot plot = AnalysedPlot(kData, &state);
  const QImage plain = Draw(plot);
  plot.density_contours = RfPhiDensityContours(plot, state, ContourSettings{});
  ASSERT_NE(plot.density_contours, nullptr);
  ASSERT_FALSE(plot.density_contours->bands.empty());
  const QImage contoured = Draw(plot);
  int greyed = 0, other = 0;
  for (int y = 0; y < plain.height(); ++y) {
    for (int x = 0; x < plain.width(); ++x) {
      const QRgb a = plain.pixel(x, y), b = contoured.pixel(x, y);
      if (a == b) continue;
      const bool grey_on_white = (a & 0xFFFFFF) == 0xFFFFFF &&
                                 qRed(b) == qGreen(b) && qGreen(b) == qBlue(b);
      ++(grey_on_white ? greyed : other);
    }
  }
  EXPECT_GT(greyed, 2000);
  // The few others are the markers' antialiased edges over the grey.
  EXPECT_LT(other, greyed / 4);
  plot.density_contours = std::make_shared<DensityContours>();
  EXPECT_EQ(Draw(plot), plain);
}

TEST(RfPhiRender, EmptyPlotStillHasItsAxes) {
  const RfPhiPlot plot;
  const QImage image = Draw(plot);
  const RfPhiLayout l = LayOutRfPhiPlot(
      plot, {kSize.width(), kSize.height(), PictureOptions()}, QtTextMeasure());
  EXPECT_EQ(image.pixel(l.plot.left, l.plot.top + 10), qRgb(0, 0, 0));
  EXPECT_EQ(plot.Axis().maximum, 2);
}

TEST(RfPhiRender, LargeSeriesOnTheScreenAsOneCachedLayer) {
  std::vector<testing_support::Ellipse> many;
  for (int i = 0; i < 5000; ++i) {
    many.push_back({1.2f + static_cast<float>(i % 97) * 0.03f, 1,
                    -89.0f + static_cast<float>(i % 179)});
  }
  const RfPhiPlot plot = AnalysedPlot(many);
  PlotRenderCache cache;
  QImage cached(kSize, QImage::Format_RGB32);
  for (int round = 0; round < 2; ++round) {
    cached.fill(Qt::white);
    QPainter painter(&cached);
    RenderPlot(painter, ModelOf(plot, kSize, {}), &cache);
  }
  EXPECT_EQ(cache.RebuiltLayers(), 2);  // pre- and post-strain, once each
  // Without a cache the layers are drawn afresh to the same picture.
  QImage fresh(kSize, QImage::Format_RGB32);
  fresh.fill(Qt::white);
  {
    QPainter painter(&fresh);
    RenderPlot(painter, ModelOf(plot, kSize, {}));
  }
  EXPECT_EQ(testing_support::DifferingPixels(cached, fresh, 0), 0);
}

TEST(RfPhiPictures, EveryFormatDrawsThePlot) {
  const RfPhiPlot plot = AnalysedPlot(kData);
  const ModelPicture picture(plot);
  const QImage ours = Draw(plot);
  QTemporaryDir dir;
  for (const char* ext : {"png", "bmp", "svg", "pdf", "emf"}) {
    const QString path = dir.filePath(QString("rf.") + ext);
    ASSERT_TRUE(SaveChartPictureFile(picture, kSize, path).ok()) << ext;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GT(bytes.size(), 1000) << ext;
    const std::string e = ext;
    if (e == "png" || e == "bmp") {
      QImage read(path);
      ASSERT_EQ(read.size(), kSize) << ext;
      EXPECT_EQ(testing_support::DifferingPixels(
                    read.convertToFormat(QImage::Format_RGB32), ours, 0),
                0)
          << ext;
    } else if (e == "svg") {
      EXPECT_TRUE(bytes.contains("Orvane Rf/phi plot"));
      EXPECT_TRUE(bytes.contains("Long-axis orientation"));
      EXPECT_TRUE(bytes.contains(">Rf<") || bytes.contains("Rf"));
    } else if (e == "pdf") {
      EXPECT_TRUE(bytes.startsWith("%PDF"));
    } else {
      EXPECT_EQ(bytes.mid(40, 4), QByteArray(" EMF"));
    }
  }
  // A figure too: the same through the figure export.
  FigureSettings settings;
  settings.dpi = 192;
  settings.figure_style = true;
  const QString figure = dir.filePath("figure.png");
  ASSERT_TRUE(SaveFigureFile(picture, settings, "N = 6", figure).ok());
  EXPECT_EQ(QImage(figure).size(),
            FigurePixelSize(settings, PictureFormat::kPng));
}

TEST(RfPhiPictures, ManyMarkersGoIntoVectorPicturesAsImages) {
  std::vector<testing_support::Ellipse> many;
  for (int i = 0; i < 120000; ++i) {
    many.push_back({1.2f + static_cast<float>(i % 97) * 0.03f, 1,
                    -89.0f + static_cast<float>(i % 179)});
  }
  RfPhiPlot plot = AnalysedPlot(many);
  plot.SetShowRetrodeformed(false);
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  ASSERT_TRUE(WriteChartPicture(ModelPicture(plot), kSize, PictureFormat::kSvg,
                                svg, PictureOptions())
                  .ok());
  // Shapes for 1.2 x 10^5 markers would take megabytes.
  EXPECT_LT(svg.data().size(), 2'000'000);
  QBuffer emf;
  emf.open(QIODevice::ReadWrite);
  ASSERT_TRUE(WriteChartPicture(ModelPicture(plot), kSize, PictureFormat::kEmf,
                                emf, PictureOptions())
                  .ok());
  EXPECT_LT(emf.data().size(), 4'000'000);
}

}  // namespace
}  // namespace orvane

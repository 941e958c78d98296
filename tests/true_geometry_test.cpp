// SPDX-License-Identifier: MIT
// The plots' one mapping from data to pixels, exact and snapped, and the
// true geometry of vector pictures: smooth circles and curves, cut at the
// plot's frame, at places that scale with the plot.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QRegularExpression>
#include <cmath>

#include "chart/plot_mapping.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "render/picture_export.h"
#include "render/plot_render.h"
#include "support/test_data.h"

namespace orvane {
namespace {

const QSize kSize(640, 362);

ChartLayout PolarLayout(int scale) {
  ChartLayout l;
  l.width = 640 * scale;
  l.height = 362 * scale;
  l.plot = {4 * scale, 4 * scale, 400 * scale, 354 * scale};
  l.cx = 204 * scale;
  l.cy = 181 * scale;
  l.radius = 170 * scale;
  return l;
}

RfPhiLayout RfPhiLayoutAt(int scale) {
  RfPhiLayout l;
  l.width = 640 * scale;
  l.height = 362 * scale;
  l.plot = {40 * scale, 10 * scale, 360 * scale, 300 * scale};
  return l;
}

// Every mapping: the exact place lies within half a pixel of the centre of
// the pixel the screen snaps to, and at twice the pixels a unit (a finer
// device) the places lie twice as far from the origin of the layout.
TEST(PlotMappings, ExactPlacesRoundToTheScreensPixelsAndScaleWithTheDevice) {
  RfAxis axis = MakeRfAxis(4.2, RfScale::kLogarithmic);
  const std::vector<PlotMapping> once = {
      PlotMapping::Polar(PolarLayout(1), 3.0),
      PlotMapping::RfPhi(RfPhiLayoutAt(1), axis)};
  const std::vector<PlotMapping> twice = {
      PlotMapping::Polar(PolarLayout(2), 3.0),
      PlotMapping::RfPhi(RfPhiLayoutAt(2), axis)};
  for (std::size_t m = 0; m < once.size(); ++m) {
    for (int k = 0; k < 500; ++k) {
      const double a = m == 0 ? k * 0.731 - 180 : k * 0.359 - 89.7;
      const double b = m == 0 ? k * 0.0057 : 1 + k * 0.0061;
      const PlotPosition exact = once[m].Exact(a, b);
      const Pixel pixel = once[m].Snapped(a, b);
      EXPECT_LE(std::abs(exact.x - (pixel.x + 0.5)), 0.5 + 1e-6) << m << k;
      EXPECT_LE(std::abs(exact.y - (pixel.y + 0.5)), 0.5 + 1e-6) << m << k;
      // Pixel centres of the finer device: 2 (x - 1/2) + 1/2.
      const PlotPosition fine = twice[m].Exact(a, b);
      EXPECT_NEAR(fine.x, 2 * exact.x - 0.5, 1e-6) << m << k;
      EXPECT_NEAR(fine.y, 2 * exact.y - 0.5, 1e-6) << m << k;
    }
  }
  EXPECT_NEAR(once[0].Centre().x, 204.5, 1e-12);
  EXPECT_NEAR(once[0].PixelsPerUnit() * 3.0, 170, 1e-12);
}

TEST(PlotMappings, PolylinesAreCutAtTheFrame) {
  const PlotRect frame{0, 0, 10, 10};
  // In, out through the top, back in, and out for good through the right.
  const auto pieces =
      ClipPolyline({{2, 5}, {4, -5}, {6, 5}, {20, 5}, {30, 5}}, frame);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0], (std::vector<PlotPosition>{{2, 5}, {3, 0}}));
  EXPECT_EQ(pieces[1], (std::vector<PlotPosition>{{5, 0}, {6, 5}, {10, 5}}));
  // Wholly outside, along an edge's outside, or broken by a non-number.
  EXPECT_TRUE(ClipPolyline({{-5, -1}, {15, -1}}, frame).empty());
  EXPECT_TRUE(ClipPolyline({{11, 2}, {20, 30}}, frame).empty());
  const auto broken =
      ClipPolyline({{1, 1}, {2, 2}, {NAN, 3}, {4, 4}, {5, 5}}, frame);
  ASSERT_EQ(broken.size(), 2u);
  EXPECT_EQ(broken[1], (std::vector<PlotPosition>{{4, 4}, {5, 5}}));
}

// The numbers of every `points` list and circle of an SVG, moved by the
// translation of the group they are in; only of groups stroked in `stroke`
// where one is given.
struct SvgGeometry {
  std::vector<PlotPosition> polyline_points;
  std::vector<std::pair<PlotPosition, double>> circles;
};

SvgGeometry GeometryOf(const QByteArray& svg, const QString& stroke = {}) {
  SvgGeometry g;
  const QString text = QString::fromUtf8(svg);
  static const QRegularExpression group(
      R"re(<g [^>]*transform="matrix\(1,0,0,1,([-0-9.e]+),([-0-9.e]+)\)"[^>]*>(.*?)</g>)re",
      QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression points(R"re(points="([^"]*)")re");
  static const QRegularExpression circle(
      R"re(<circle cx="([-0-9.e]+)" cy="([-0-9.e]+)" r="([-0-9.e]+)")re");
  for (auto gm = group.globalMatch(text); gm.hasNext();) {
    const auto m = gm.next();
    if (!stroke.isEmpty() &&
        !m.captured(0).section('>', 0, 0).contains("stroke=\"" + stroke)) {
      continue;
    }
    const double dx = m.captured(1).toDouble();
    const double dy = m.captured(2).toDouble();
    const QString body = m.captured(3);
    for (auto pm = points.globalMatch(body); pm.hasNext();) {
      const QStringList pairs =
          pm.next().captured(1).split(' ', Qt::SkipEmptyParts);
      for (const QString& pair : pairs) {
        const QStringList xy = pair.split(',');
        g.polyline_points.push_back(
            {xy[0].toDouble() + dx, xy[1].toDouble() + dy});
      }
    }
    for (auto cm = circle.globalMatch(body); cm.hasNext();) {
      const auto c = cm.next();
      g.circles.push_back(
          {{c.captured(1).toDouble() + dx, c.captured(2).toDouble() + dy},
           c.captured(3).toDouble()});
    }
  }
  return g;
}

QByteArray Svg(const PlotPicture& picture) {
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  EXPECT_TRUE(WriteChartPicture(picture, kSize, PictureFormat::kSvg, out,
                                PictureOptions())
                  .ok());
  return out.data();
}

bool Whole(double v) {
  return std::abs(v - std::round(v)) < 1e-9;
}

// Weak strain, so that the theta-curves of the larger initial ratios run
// beyond the top of the frame.
const std::vector<testing_support::Ellipse> kWeak = {
    {2, 1.1f, 30},    {1.9f, 1.2f, 35}, {1.5f, 1.2f, 20}, {1.6f, 1.1f, 40},
    {1.4f, 1.1f, 25}, {1.8f, 1.3f, 28}, {1.3f, 1.1f, 33}};

TEST(VectorPictures, CirclesAreTrueAndNothingIsDrawnOutsideTheFrame) {
  AnalysisState state = testing_support::StateOf(kWeak);
  const AnalysisResult result = RunAnalysis(state);

  EqualAreaChart chart;
  chart.ShowAnalysis(state, result);
  const SvgGeometry polar = GeometryOf(Svg(ModelPicture(chart)));
  const ChartLayout layout = LayOutChart(chart, kSize, PictureOptions());
  // The disc and one circle per iso-R ratio, about the disc's centre,
  // between the pixels of the screen.
  ASSERT_EQ(polar.circles.size(), 1 + chart.IsoRatios().size());
  for (const auto& [centre, r] : polar.circles) {
    EXPECT_FALSE(Whole(centre.x));
    EXPECT_NEAR(centre.x, layout.cx + 0.5, 1e-9);
    EXPECT_NEAR(centre.y, layout.cy + 0.5, 1e-9);
    EXPECT_LE(r, layout.radius);
  }

  RfPhiPlot plot;
  plot.ShowAnalysis(state, result);
  // The theta-curves, in their colour.
  const SvgGeometry rf_phi = GeometryOf(
      Svg(ModelPicture(plot)), ToQColor(ThetaCurveStyle().line_color).name());
  const PlotRect frame =
      PlotMapping::RfPhi(
          LayOutRfPhiPlot(plot,
                          {kSize.width(), kSize.height(), PictureOptions()},
                          QtTextMeasure()),
          plot.Axis())
          .Frame();
  ASSERT_FALSE(rf_phi.polyline_points.empty());
  // The legend's sample of the curves lies beside the frame.
  const PixelRect legend =
      ModelOf(plot, kSize, PictureOptions()).Legend()->layout.box;
  bool on_top_edge = false, fractional = false;
  for (const PlotPosition& p : rf_phi.polyline_points) {
    if (p.x >= legend.left && p.y <= legend.top + legend.height) continue;
    EXPECT_TRUE(frame.Contains(p)) << p.x << "," << p.y;
    on_top_edge = on_top_edge || std::abs(p.y - frame.top) < 1e-3;
    fractional = fractional || !Whole(p.x) || !Whole(p.y);
  }
  EXPECT_TRUE(on_top_edge) << "no curve was cut at the top of the frame";
  EXPECT_TRUE(fractional);
}

// A plot type of the tests' own, made of a cartesian mapping and styled
// layers and nothing else: the frame, a line running out of it, markers,
// and a legend entry that hides them.
class ScatterPlot final : public PlotSource {
 public:
  static constexpr Rgb kLine = 0x00A000;
  static constexpr int kLegendId = 7;
  bool shown = true;
  std::vector<PlotPosition> points = {{2, 3}, {5, 10}, {8, 40}};

  PlotModel Model(const PlotCanvas& canvas,
                  const TextMeasure& measure) const override {
    PlotModel m;
    m.scale = ValidScale(canvas.options.scale);
    const Pixel own = OwnSize(canvas.width, canvas.height, m.scale);
    m.width = own.x;
    m.height = own.y;
    m.mapping = PlotMapping::Cartesian({40, 20, own.x - 160, own.y - 60},
                                       {0, 10, false}, {1, 100, true});
    LineLayer frame;
    frame.closed = true;
    frame.lines = {
        {{0, 1, 0, 0}, {10, 1, 0, 0}, {10, 100, 0, 0}, {0, 100, 0, 0}}};
    LineLayer diagonal;
    diagonal.colour = kLine;
    diagonal.width = 2;
    diagonal.raster = LineLayer::Raster::kSmoothWhenScaled;
    diagonal.clip = LineLayer::Clip::kAlways;
    diagonal.lines = {{{-5, 0.1, 0, 0}, {15, 1000, 0, 0}}};
    m.layers = {frame, diagonal};
    if (shown) {
      MarkerLayer dots;
      dots.style = Style();
      dots.source = this;
      PlaceMarkers(dots, points, m.mapping, [](const PlotPosition& p) {
        return std::pair<double, double>(p.x, p.y);
      });
      m.layers.push_back(dots);
    }
    const FaceMetrics fm = measure.Metrics(TextFace::kScreen);
    LegendLayer legend;
    legend.items = {{Style(), shown, kLegendId}};
    legend.layout =
        LayOutLegend(own.x, {measure.Width(TextFace::kScreen, Style().title)},
                     fm.height, fm.ascent);
    m.layers.push_back(legend);
    return m;
  }
  void ToggleLegendEntry(int id) override {
    if (id == kLegendId) shown = !shown;
  }
  std::string Title() const override { return "Scatter"; }

  static SeriesStyle Style() {
    SeriesStyle style;
    style.title = "Grains";
    style.marker = MarkerStyle::kSquare;
    style.half_width = style.half_height = 3;
    style.color = 0xFF0000;
    style.fill = 0xFF0000;
    return style;
  }
};

bool IsLine(QRgb c) {
  return qGreen(c) > qRed(c) + 60 && qGreen(c) > qBlue(c) + 60;
}

// The one render path draws a plot it has never seen: markers on their
// pixels at any scale, the line cut at the frame on a raster and in SVG,
// and a click on its legend entry hides the markers.
TEST(PlotModels, ANewPlotIsAMappingAndStyledLayers) {
  ScatterPlot plot;
  for (const int scale : {1, 2}) {
    ChartRenderOptions options = PictureOptions();
    options.scale = scale;
    const QImage image =
        ModelPicture(plot).Image(QSize(400 * scale, 300 * scale), options);
    const PlotModel model = ModelOf(plot, image.size(), options);
    for (const PlotPosition& p : plot.points) {
      const Pixel at = model.mapping.Snapped(p.x, p.y);
      EXPECT_EQ(image.pixel(at.x * scale + scale / 2, at.y * scale) & 0xFFFFFF,
                0xFF0000u)
          << scale;
    }
    const QRect frame(40 * scale, 20 * scale, 241 * scale, 241 * scale);
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        if (IsLine(image.pixel(x, y)))
          ++(frame.contains(x, y) ? inside : outside);
      }
    }
    EXPECT_GT(inside, 150 * scale) << scale;
    EXPECT_EQ(outside, 0) << scale;
  }
  const SvgGeometry svg =
      GeometryOf(Svg(ModelPicture(plot)), ToQColor(ScatterPlot::kLine).name());
  const PlotRect frame = ModelOf(plot, kSize, PictureOptions()).mapping.Frame();
  ASSERT_EQ(svg.polyline_points.size(), 2u);
  for (const PlotPosition& p : svg.polyline_points) {
    EXPECT_TRUE(frame.Contains(p)) << p.x << "," << p.y;
  }

  ModelScreen screen(plot);
  const LegendEntryLayout row =
      ModelOf(plot, kSize, {}).Legend()->layout.entries.at(0);
  ASSERT_EQ(screen.LegendEntryAt(kSize, row.check_box.left + 1,
                                 row.check_box.top + 1),
            0);
  screen.ToggleLegendEntry(kSize, 0);
  EXPECT_FALSE(plot.shown);
  const QImage hidden = ModelPicture(plot).Image(kSize, PictureOptions());
  const Pixel at = ModelOf(plot, kSize, PictureOptions())
                       .mapping.Snapped(plot.points[1].x, plot.points[1].y);
  EXPECT_NE(hidden.pixel(at.x, at.y) & 0xFFFFFF, 0xFF0000u);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The strain ellipsoid's plots: the Flinn plot's ratios, limits and k = 1
// line, the Hsu plot's sector, the axes on the equal-area net with their
// cones, the legends' toggles, empty and failed results, and pictures of
// each drawn through the render layer. The results are filled by hand.
#include "chart/ellipsoid_plots.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <memory>

#include "render/figure_export.h"
#include "render/picture_export.h"
#include "render/plot_render.h"

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
const QSize kSize(640, 362);

// An ellipsoid of stretches x >= y >= z, its k, nu and eps_s by their
// definitions, X level to the north, Y level to the east, Z vertical.
Ellipsoid Shape(double x, double y, double z) {
  Ellipsoid e;
  e.x = x, e.y = y, e.z = z;
  const double lx = std::log(x), ly = std::log(y), lz = std::log(z);
  e.k = (x / y - 1) / (y / z - 1);
  if (lx != lz) e.nu = (2 * ly - lx - lz) / (lx - lz);
  e.eps_s = std::sqrt((lx - ly) * (lx - ly) + (ly - lz) * (ly - lz) +
                      (lz - lx) * (lz - lx)) /
            std::sqrt(3.0);
  e.axes[0].vector = {0, 1, 0};
  e.axes[1].vector = {1, 0, 0};
  e.axes[2].vector = {0, 0, -1};
  return e;
}

// X/Y = 2, Y/Z = 3 at constant volume, with 300 resamples about it (Y/Z
// 2.6 to 3.4, X/Y 1.8 to 2.2, their axes turned a little) and two far
// outliers of X/Y = 40, and 95 % limits.
EllipsoidResult Prolate() {
  const double y = std::cbrt(1.5);
  EllipsoidResult r;
  r.estimate = Shape(2 * y, y, y / 3);
  for (int i = 0; i < 302; ++i) {
    const double yz = i < 300 ? 2.6 + 0.8 * i / 299 : 3;
    const double xy = i < 300 ? 1.8 + 0.4 * ((i * 7) % 300) / 299 : 40;
    Ellipsoid e = Shape(xy * yz, yz, 1);
    const double t = 0.05 * std::sin(i);
    e.axes[0].vector = {std::sin(t), std::cos(t), -0.05};
    e.axes[2].vector = {0.05, t, -1};
    r.cloud.push_back(e);
  }
  r.has_limits = true;
  r.xy = {1.9, 2.15};
  r.yz = {2.7, HUGE_VAL};
  r.cones = {10, 20, 15};
  return r;
}

std::vector<const MarkerLayer*> MarkersOf(const PlotModel& model) {
  std::vector<const MarkerLayer*> markers;
  for (const PlotLayer& layer : model.layers) {
    if (const auto* m = std::get_if<MarkerLayer>(&layer)) markers.push_back(m);
  }
  return markers;
}

// The one marker of colour `colour`.
const MarkerLayer* MarkerOf(const PlotModel& model, Rgb colour) {
  for (const MarkerLayer* m : MarkersOf(model)) {
    if (m->count == 1 && m->style.color == colour) return m;
  }
  return nullptr;
}

// The data's lines: neither frames nor the grey grid and reference line.
std::vector<const LineLayer*> DataLinesOf(const PlotModel& model) {
  std::vector<const LineLayer*> lines;
  for (const PlotLayer& layer : model.layers) {
    const auto* l = std::get_if<LineLayer>(&layer);
    if (l && !l->frame && l->colour != 0xE6E6E6 && l->colour != 0x808080) {
      lines.push_back(l);
    }
  }
  return lines;
}

const TextItem* TextOf(const PlotModel& model, const std::string& text) {
  for (const PlotLayer& layer : model.layers) {
    if (const auto* t = std::get_if<TextLayer>(&layer)) {
      for (const TextItem& item : t->items) {
        if (item.text == text) return &item;
      }
    }
  }
  return nullptr;
}

void ExpectAt(PlotPosition p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-9);
  EXPECT_NEAR(p.y, y, 1e-9);
}

TEST(FlinnPlot, RatiosLimitsAndKOneLieWhereTheyBelong) {
  FlinnPlot plot;
  plot.ShowEllipsoid(Prolate());
  // The frame holds the estimate and 99 % of the cloud, not the outliers.
  EXPECT_EQ(plot.Axis().maximum, 4);
  EXPECT_EQ(plot.Cloud().framed, 300u);
  const PlotModel model = ModelOf(plot, kSize, PictureOptions());
  const PlotRect f = model.mapping.Frame();
  EXPECT_DOUBLE_EQ(f.right - f.left, f.bottom - f.top);
  const double per_unit = (f.right - f.left) / 3;
  const MarkerLayer* estimate = MarkerOf(
      model, FlinnStyle(FlinnEntry::kEstimate, ChartPalette::kStandard).color);
  ASSERT_NE(estimate, nullptr);
  ExpectAt(estimate->place(0), f.left + 2 * per_unit, f.bottom - per_unit);
  // k = 1 runs corner to corner.
  for (const PlotLayer& layer : model.layers) {
    const auto* l = std::get_if<LineLayer>(&layer);
    if (!l || l->colour != 0x808080) continue;
    ASSERT_EQ(l->lines.size(), 1u);
    ExpectAt(model.mapping.Exact(l->lines[0][0].a, l->lines[0][0].b), f.left,
             f.bottom);
    ExpectAt(model.mapping.Exact(l->lines[0][1].a, l->lines[0][1].b), f.right,
             f.top);
  }
  ASSERT_NE(TextOf(model, "k = 1"), nullptr);
  // The cross: Y/Z from 2.7 to the frame (the limit is infinite, no cap
  // there), X/Y from 1.9 to 2.15 with both caps.
  const std::vector<const LineLayer*> lines = DataLinesOf(model);
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0]->lines.size(), 5u);
  const auto& across = lines[0]->lines[0];
  EXPECT_EQ(across[0].a, 2.7);
  EXPECT_EQ(across[1].a, 4);
  EXPECT_EQ(across[0].b, 2);
  for (const MarkerLayer* m : MarkersOf(model)) {
    for (std::size_t i = 0; i < m->count; ++i) {
      EXPECT_TRUE(f.Contains(m->place(i))) << i;
    }
  }
  // The legend hides the cloud, and lists the limits only where there are
  // some.
  ModelScreen screen(plot);
  screen.ToggleLegendEntry(kSize, 0);
  EXPECT_FALSE(plot.Shown(FlinnEntry::kCloud));
  EXPECT_EQ(MarkersOf(ModelOf(plot, kSize, PictureOptions())).size(), 1u);
  EllipsoidResult no_limits = Prolate();
  no_limits.has_limits = false;
  plot.ShowEllipsoid(no_limits);
  std::vector<int> ids;
  const PlotModel listed = ModelOf(plot, kSize, PictureOptions());
  for (const LegendItem& item : listed.Legend()->items) {
    ids.push_back(item.id);
  }
  EXPECT_EQ(ids, (std::vector<int>{0, 1}));
  plot.SetDecimalSeparator(",");
  EXPECT_EQ(plot.Axis().ticks[1].label, "1,5");
}

TEST(HsuPlot, NuTurnsAboutTheApexAndEpsSIsTheDistanceFromIt) {
  const double root3 = std::sqrt(3.0);
  EXPECT_NEAR(HsuPlace(1, 2).first, 1, 1e-12);  // flattening at the right
  EXPECT_NEAR(HsuPlace(1, 2).second, root3, 1e-12);
  EXPECT_NEAR(HsuPlace(-1, 2).first, -1, 1e-12);
  EXPECT_EQ(HsuPlace(0, 0.7), PlanePoint(0, 0.7));
  EXPECT_EQ(HsuPlace(5, 1), HsuPlace(1, 1));
  for (const double wanted :
       {std::nan(""), -1.0, 0.0, 0.3, 0.52, 1.3, 7.0, 1e300}) {
    const HsuAxis axis = MakeHsuAxis(wanted);
    EXPECT_TRUE(axis.arcs.size() >= 3 && axis.arcs.size() <= 5) << wanted;
    EXPECT_EQ(axis.arcs.back().value, axis.extent) << wanted;
    const double least =
        std::isnan(wanted) ? 0.5 : std::clamp(wanted, 0.5, 1e6);
    EXPECT_GE(axis.extent, 1.05 * least) << wanted;
  }
  const HsuAxis comma = MakeHsuAxis(1.3, ",");
  EXPECT_EQ(comma.extent, 1.5);
  EXPECT_EQ(comma.arcs[0].label, "0,5");

  // Uniaxial flattening lies on the right edge, 30 degrees from the
  // vertical; a prolate resample left of the apex.
  const double a = std::exp(0.4);
  EllipsoidResult r;
  r.estimate = Shape(a, a, 1 / (a * a));
  ASSERT_NEAR(*r.estimate.nu, 1, 1e-12);
  r.cloud = {Shape(a * a, 1 / a, 1 / a), Shape(1, 1, 1)};
  HsuPlot plot;
  plot.ShowEllipsoid(r);
  EXPECT_EQ(plot.Axis().extent, 1.5);
  const PlotModel model = ModelOf(plot, kSize, PictureOptions());
  const PlotRect f = model.mapping.Frame();
  const PlotPosition apex = model.mapping.Exact(0, 0);
  ExpectAt(apex, (f.left + f.right) / 2, f.bottom);
  const double per_unit = (f.right - f.left) / 1.5;
  const MarkerLayer* estimate = MarkerOf(
      model, HsuStyle(HsuEntry::kEstimate, ChartPalette::kStandard).color);
  ASSERT_NE(estimate, nullptr);
  const PlotPosition p = estimate->place(0);
  EXPECT_NEAR(std::atan2(p.x - apex.x, apex.y - p.y) * 180 / kPi, 30, 1e-9);
  EXPECT_NEAR(std::hypot(p.x - apex.x, p.y - apex.y),
              r.estimate.eps_s * per_unit, 1e-9);
  const MarkerLayer* cloud = MarkersOf(model).front();
  ASSERT_EQ(cloud->count, 2u);
  EXPECT_LT(cloud->place(0).x, apex.x - 10);  // constriction
  ExpectAt(cloud->place(1), apex.x, apex.y);  // no strain
  // The sides named where their edges are.
  EXPECT_GT(TextOf(model, "flattening")->x, apex.x);
  EXPECT_LT(TextOf(model,
                   "\xCE\xBD = \xE2\x88\x92"
                   "1")
                ->x,
            apex.x);
  EXPECT_LT(TextOf(model, "constriction")->x, apex.x);
  EXPECT_GT(TextOf(model, "1.5")->x, apex.x);
}

// The angle, degrees, between the line of a place on the net and `axis`.
double AngleTo(PlanePoint p, const Vector3& axis) {
  const double r2 = p.first * p.first + p.second * p.second;
  const double z = r2 - 1;  // the inverse of r = sqrt(1 + z)
  const double h = r2 > 0 ? std::sqrt((1 - z * z) / r2) : 0;
  const double dot =
      h * p.first * axis[0] + h * p.second * axis[1] + z * axis[2];
  return std::acos(std::min(1.0, std::abs(dot))) * 180 / kPi;
}

TEST(AxesPlot, TheNetPlacesAxesAndCutsConesAtThePrimitive) {
  auto place = [](const Vector3& v) { return *EqualAreaPlace(v); };
  EXPECT_EQ(place({0, 0, -1}), PlanePoint(0, 0));
  EXPECT_EQ(place({0, 0, 3}), PlanePoint(0, 0));  // either sense
  EXPECT_EQ(place({0, 1, 0}), PlanePoint(0, 1));  // north, up
  const double r45 = std::sqrt(2.0) * std::sin(22.5 * kPi / 180);
  EXPECT_NEAR(place({1, 0, -1}).first, r45, 1e-12);  // east, plunging 45
  EXPECT_NEAR(place({1, 0, 1}).first, -r45, 1e-12);  // its lower end: west
  EXPECT_FALSE(EqualAreaPlace({0, 0, 0}));
  EXPECT_FALSE(EqualAreaPlace({std::nan(""), 0, 1}));

  // A cone about a vertical axis is one closed ring; about a near-level
  // one it is cut into a piece on either side of the net, each ending on
  // the primitive, every vertex 20 degrees from the axis.
  const auto ring = ConeOutline({0, 0, -1}, 10, 90);
  ASSERT_EQ(ring.size(), 1u);
  EXPECT_EQ(ring[0].front(), ring[0].back());
  const Vector3 level = {std::cos(5 * kPi / 180), 0, -std::sin(5 * kPi / 180)};
  const auto cut = ConeOutline(level, 20, 90);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_LT(std::min(cut[0][1].first, cut[1][1].first), 0);
  EXPECT_GT(std::max(cut[0][1].first, cut[1][1].first), 0);
  for (const auto& piece : cut) {
    for (const PlanePoint& end : {piece.front(), piece.back()}) {
      EXPECT_NEAR(std::hypot(end.first, end.second), 1, 1e-12);
      EXPECT_NEAR(AngleTo(end, level), 20, 0.05);
    }
    for (std::size_t i = 1; i + 1 < piece.size(); ++i) {
      EXPECT_LE(std::hypot(piece[i].first, piece[i].second), 1 + 1e-12);
      EXPECT_NEAR(AngleTo(piece[i], level), 20, 1e-9);
    }
  }
  EXPECT_TRUE(ConeOutline(level, std::nan(""), 90).empty());

  AxesPlot plot;
  plot.ShowEllipsoid(Prolate());
  const PlotModel model = ModelOf(plot, kSize, PictureOptions());
  const PlotRect f = model.mapping.Frame();
  auto marker = [&](AxesEntry e) {
    return MarkerOf(model, AxesStyle(e, ChartPalette::kStandard).color);
  };
  ExpectAt(marker(AxesEntry::kZ)->place(0), (f.left + f.right) / 2,
           (f.top + f.bottom) / 2);
  ExpectAt(marker(AxesEntry::kX)->place(0), (f.left + f.right) / 2, f.top);
  ExpectAt(marker(AxesEntry::kY)->place(0), f.right, (f.top + f.bottom) / 2);
  EXPECT_EQ(MarkersOf(model).size(), 6u);  // three axes, three clouds
  EXPECT_EQ(DataLinesOf(model).size(), 3u);
  EXPECT_EQ(plot.Cone(1).size(), 2u);  // about the level Y axis
  ASSERT_NE(TextOf(model, "N"), nullptr);
  // X's entry takes its marker, resamples and cone; the resamples' entry
  // the others' dots.
  plot.ToggleLegendEntry(static_cast<int>(AxesEntry::kX));
  PlotModel less = ModelOf(plot, kSize, PictureOptions());
  EXPECT_EQ(MarkersOf(less).size(), 4u);
  EXPECT_EQ(DataLinesOf(less).size(), 2u);
  plot.ToggleLegendEntry(static_cast<int>(AxesEntry::kResamples));
  less = ModelOf(plot, kSize, PictureOptions());
  EXPECT_EQ(MarkersOf(less).size(), 2u);
  ChartRenderOptions figure = PictureOptions();
  figure.figure_style = true;
  std::vector<int> ids;
  const PlotModel drawn = ModelOf(plot, kSize, figure);
  for (const LegendItem& item : drawn.Legend()->items) {
    ids.push_back(item.id);
  }
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 3}));
}

// Each plot with a result, and its estimate's colour.
struct PlotUnderTest {
  std::unique_ptr<PlotSource> plot;
  std::function<void(const EllipsoidResult&)> show;
  Rgb estimate;
};
std::vector<PlotUnderTest> EveryPlot() {
  std::vector<PlotUnderTest> plots;
  auto flinn = std::make_unique<FlinnPlot>();
  auto hsu = std::make_unique<HsuPlot>();
  auto axes = std::make_unique<AxesPlot>();
  auto* f = flinn.get();
  auto* h = hsu.get();
  auto* a = axes.get();
  plots.push_back({std::move(flinn),
                   [f](const EllipsoidResult& r) { f->ShowEllipsoid(r); },
                   0xFF0000});
  plots.push_back({std::move(hsu),
                   [h](const EllipsoidResult& r) { h->ShowEllipsoid(r); },
                   0xFF0000});
  plots.push_back({std::move(axes),
                   [a](const EllipsoidResult& r) { a->ShowEllipsoid(r); },
                   0x0000FF});  // Z at the centre
  return plots;
}

TEST(EllipsoidPlots, EmptyFailedAndNonsenseResultsDrawTheFrameOnly) {
  EllipsoidResult failed = Prolate();
  failed.status = Status(StatusCode::kInvalidSettings, "too few sections");
  EllipsoidResult nonsense = Prolate();
  nonsense.estimate = Shape(std::nan(""), 1, 0);
  nonsense.estimate.axes = {};
  nonsense.cloud.assign(1, nonsense.estimate);
  for (PlotUnderTest& s : EveryPlot()) {
    auto expect_empty = [&s](const char* what) {
      const PlotModel model = ModelOf(*s.plot, kSize, PictureOptions());
      EXPECT_TRUE(MarkersOf(model).empty()) << s.plot->Title() << what;
      EXPECT_TRUE(DataLinesOf(model).empty()) << s.plot->Title() << what;
      for (const QSize size : {kSize, QSize(120, 120), QSize(3, 2)}) {
        EXPECT_FALSE(
            ModelPicture(*s.plot).Image(size, PictureOptions()).isNull());
      }
    };
    expect_empty(": never shown");
    s.show(Prolate());
    s.show(failed);
    expect_empty(": failed");
    s.show(nonsense);
    expect_empty(": not finite");
  }
}

TEST(EllipsoidPictures, EachPlotIsDrawnAndSavedWithItsEstimate) {
  QTemporaryDir dir;
  for (PlotUnderTest& s : EveryPlot()) {
    s.show(Prolate());
    const ModelPicture picture(*s.plot);
    const QString png = dir.filePath("plot.png"),
                  svg = dir.filePath("plot.svg");
    ASSERT_TRUE(SaveChartPictureFile(picture, kSize, png).ok());
    const QImage image(png);
    ASSERT_EQ(image.size(), kSize);
    const PlotModel model = ModelOf(*s.plot, kSize, PictureOptions());
    const MarkerLayer* estimate = MarkerOf(model, s.estimate);
    ASSERT_NE(estimate, nullptr) << s.plot->Title();
    const Pixel at = estimate->pixel(0);
    EXPECT_EQ(image.pixel(at.x, at.y) & 0xFFFFFF, s.estimate)
        << s.plot->Title();
    ASSERT_TRUE(SaveChartPictureFile(picture, kSize, svg).ok());
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(s.plot->Title().c_str()));
    // A column figure in print sizes with a caption, in either palette.
    FigureSettings settings;
    settings.width_mm = 85;
    settings.height_mm = 70;
    settings.figure_style = true;
    settings.caption = true;
    settings.palette = ChartPalette::kColourBlind;
    settings.print = {9, 3, 0.6};
    std::vector<std::string> notes;
    EXPECT_TRUE(
        SaveFigureFile(picture, settings, "3 sections", png, &notes).ok());
    settings.legend = LegendPlacement::kInside;
    EXPECT_TRUE(SaveFigureFile(picture, settings, "3 sections", svg).ok());
  }
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The Fry plot: equal scales, the fitted vacancy and the hyperbolic mean's
// ellipse where the estimates put them, the legend's toggles, a figure in
// print sizes, and plots with nothing or nonsense to show.
#include "chart/fry_plot.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "render/figure_export.h"
#include "render/picture_export.h"
#include "render/plot_render.h"

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
const QSize kSize(640, 362);

// The Fry plot of 900 centres on a jittered unit grid, strained by R at
// phi, every pair within 2.5 of each other both ways, normalised by the
// sum of two radii of 0.4; the estimate at R and phi, its semi-minor axis
// the normalised least spacing.
CentreStrainResult StrainedCentres(double ratio, double phi) {
  std::uint32_t seed = 12345;
  auto jitter = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return 0.25 * ((seed >> 8) / 16777216.0 - 0.5);
  };
  const double c = std::cos(phi * kPi / 180), s = std::sin(phi * kPi / 180);
  const double along = std::sqrt(ratio), across = 1 / std::sqrt(ratio);
  std::vector<std::pair<double, double>> centres;
  for (int i = 0; i < 30; ++i) {
    for (int j = 0; j < 30; ++j) {
      const double x = i + jitter(), y = j + jitter();
      const double u = (x * c + y * s) * along, v = (y * c - x * s) * across;
      centres.emplace_back(u * c - v * s, u * s + v * c);
    }
  }
  CentreStrainResult r;
  for (const auto& [xi, yi] : centres) {
    for (const auto& [xj, yj] : centres) {
      const double dx = (xj - xi) / 0.8, dy = (yj - yi) / 0.8;
      if ((dx != 0 || dy != 0) && std::hypot(dx, dy) < 2.5 / 0.8) {
        r.points.push_back(static_cast<float>(dx));
        r.points.push_back(static_cast<float>(dy));
      }
    }
  }
  r.estimate = {ratio, phi, 0.95 * along, 0.95 * across};
  r.outcome = CentreLimitsOutcome::kLimits;
  for (int k = 0; k < 20; ++k) {
    r.kept.push_back({ratio * (1 + 0.01 * (k % 5)), phi - 4 + 0.4 * k, 1, 1});
  }
  return r;
}

QImage Draw(const FryPlot& plot, QSize size = kSize,
            const ChartRenderOptions& options = PictureOptions()) {
  return ModelPicture(plot).Image(size, options);
}

const LineLayer* LineOf(const PlotModel& model, FryEntry entry) {
  for (const PlotLayer& layer : model.layers) {
    const auto* line = std::get_if<LineLayer>(&layer);
    if (line &&
        line->colour == FryStyle(entry, ChartPalette::kStandard).color &&
        !line->frame) {
      return line;
    }
  }
  return nullptr;
}

// The farthest and the nearest vertex of a line from the origin, in
// pixels, and the direction of the farthest (degrees counter-clockwise
// from +x, on the page, in (-90, 90]).
struct Reach {
  double far = 0, near = HUGE_VAL, direction = 0;
};
Reach ReachOf(const PlotModel& model, const LineLayer& line) {
  const PlotPosition o = model.mapping.Exact(0, 0);
  Reach r;
  for (const auto& piece : line.lines) {
    for (const PlotVertex& v : piece) {
      const PlotPosition p = model.mapping.Exact(v.a, v.b);
      const double d = std::hypot(p.x - o.x, p.y - o.y);
      if (d > r.far) {
        r.far = d;
        r.direction =
            std::remainder(std::atan2(o.y - p.y, p.x - o.x) * 180 / kPi, 180.0);
      }
      r.near = std::min(r.near, d);
    }
  }
  return r;
}

TEST(FryPlot, EqualScalesMakeACircleOfDataACircleOfPixels) {
  CentreStrainResult circle;
  for (int i = 0; i < 720; ++i) {
    circle.points.push_back(static_cast<float>(std::cos(i * kPi / 360)));
    circle.points.push_back(static_cast<float>(std::sin(i * kPi / 360)));
  }
  circle.points.insert(circle.points.begin(), {1.4f, 0});  // beyond the frame
  circle.estimate = {1, 0, 0.5, 0.5};
  FryPlot plot;
  plot.ShowCentres(circle, 1, 0, false);
  EXPECT_EQ(plot.PointCount(), 721u);
  EXPECT_EQ(plot.FramedCount(), 720u);  // the markers drawn
  plot.SetShown(FryEntry::kFitted, false);
  plot.SetShowGrid(false);
  const FryAxis axis = plot.Axis();
  EXPECT_EQ(axis.extent, 1.25);  // 2.5 semi-major axes, at a step of 0.5
  EXPECT_EQ(axis.ticks.front().value, -1.25);
  EXPECT_EQ(axis.ticks[1].label,
            "\xE2\x88\x92"
            "1");
  for (const QSize size : {kSize, QSize(300, 700), QSize(900, 300)}) {
    const PlotModel model = ModelOf(plot, size, PictureOptions());
    const PlotRect f = model.mapping.Frame();
    EXPECT_EQ(f.right - f.left, f.bottom - f.top);
    const PlotPosition o = model.mapping.Exact(0, 0);
    EXPECT_DOUBLE_EQ(o.x, (f.left + f.right) / 2);
    EXPECT_DOUBLE_EQ(o.y, (f.top + f.bottom) / 2);
    // On the drawing: the dark pixels inside the frame span a square.
    const QImage image = Draw(plot, size);
    int left = size.width(), right = -1, top = size.height(), bottom = -1;
    for (int y = static_cast<int>(f.top) + 2; y < f.bottom - 2; ++y) {
      for (int x = static_cast<int>(f.left) + 2; x < f.right - 2; ++x) {
        if (qGray(image.pixel(x, y)) > 200) continue;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    // Nothing right of the frame, where the point beyond it would lie.
    for (int x = static_cast<int>(f.right) + 3;
         x < std::min<double>(size.width(), f.right + 0.1 * (f.right - f.left));
         ++x) {
      EXPECT_GT(qGray(image.pixel(x, static_cast<int>(o.y))), 200) << x;
    }
    const double across = (f.right - f.left) / axis.extent;  // 2 units
    EXPECT_NEAR(right - left, across, 3.5) << size.width();
    EXPECT_NEAR(bottom - top, across, 3.5) << size.width();
  }
  // Axes of any reach, never degenerate: two to five labels either side.
  EXPECT_EQ(MakeFryAxis(0.3, ",").ticks[4].label,
            "\xE2\x88\x92"
            "0,1");
  EXPECT_EQ(MakeFryAxis(7e4).extent, 7e4);
  for (const double wanted :
       {0.0, -1.0, std::nan(""), HUGE_VAL, 1e300, 1e-300, 7e4, 0.3, 1.9999}) {
    const FryAxis a = MakeFryAxis(wanted);
    EXPECT_TRUE(std::isfinite(a.extent) && a.extent > 0) << wanted;
    const std::size_t labels =
        std::count_if(a.ticks.begin(), a.ticks.end(),
                      [](const AxisTick& t) { return !t.label.empty(); });
    EXPECT_TRUE(labels >= 5 && labels <= 11) << wanted;
    EXPECT_EQ(a.ticks[a.ticks.size() / 2].label, "0") << wanted;
    EXPECT_LE(a.ticks.back().value, a.extent) << wanted;
  }
}

TEST(FryPlot, EllipsesLieAtTheEstimatesTheHyperbolicOneAtTheFittedArea) {
  FryPlot plot;
  plot.ShowCentres(StrainedCentres(3, 30), 2, -40, true);
  EXPECT_DOUBLE_EQ(plot.Fitted().semi_major / plot.Fitted().semi_minor, 3);
  const CentreEstimate& h = plot.Hyperbolic();
  EXPECT_NEAR(h.semi_major / h.semi_minor, 2, 1e-12);
  EXPECT_NEAR(h.semi_major * h.semi_minor,
              plot.Fitted().semi_major * plot.Fitted().semi_minor, 1e-12);
  // Every point in view: they end before 2.5 semi-major axes.
  EXPECT_EQ(plot.FramedCount(), plot.PointCount());
  const PlotModel model = ModelOf(plot, kSize, PictureOptions());
  const double per_unit =
      model.mapping.Exact(1, 0).x - model.mapping.Exact(0, 0).x;
  const Reach fitted = ReachOf(model, *LineOf(model, FryEntry::kFitted));
  EXPECT_NEAR(fitted.far, plot.Fitted().semi_major * per_unit, 1e-6);
  EXPECT_NEAR(fitted.near, plot.Fitted().semi_minor * per_unit, 0.05);
  EXPECT_NEAR(fitted.direction, 30, 1e-6);
  // Dashed: its vertices reach the ellipse's ends within a gap.
  const LineLayer& dashed = *LineOf(model, FryEntry::kHyperbolic);
  EXPECT_GT(dashed.lines.size(), 20u);
  const Reach hyperbolic = ReachOf(model, dashed);
  EXPECT_NEAR(hyperbolic.far / hyperbolic.near, 2, 0.04);
  EXPECT_NEAR(hyperbolic.far * hyperbolic.near, fitted.far * fitted.near,
              0.02 * fitted.far * fitted.near);
  EXPECT_NEAR(hyperbolic.direction, -40, 3);
  // The bootstrap range lies about the fitted ellipse.
  const Reach range = ReachOf(model, *LineOf(model, FryEntry::kBootstrap));
  EXPECT_GT(range.far, fitted.far);
  EXPECT_LT(range.near, fitted.near);
  // Drawn: no point in the vacancy, the fitted ellipse red at its long
  // axis.
  const QImage image = Draw(plot);
  const PlotPosition o = model.mapping.Exact(0, 0);
  const int clear = static_cast<int>(fitted.near * 0.7);
  for (int dy = -clear; dy <= clear; ++dy) {
    for (int dx = -clear; dx <= clear; ++dx) {
      if (dx * dx + dy * dy > clear * clear) continue;
      ASSERT_GT(qGray(image.pixel(static_cast<int>(o.x) + dx,
                                  static_cast<int>(o.y) + dy)),
                200)
          << dx << " " << dy;
    }
  }
  const double t = 30 * kPi / 180;
  const QRgb end =
      image.pixel(static_cast<int>(o.x + fitted.far * std::cos(t)),
                  static_cast<int>(o.y - fitted.far * std::sin(t)));
  EXPECT_GT(qRed(end), qGreen(end) + 100);
}

TEST(FryPlot, TheLegendTogglesWhatItListsAFigureListsWhatIsDrawn) {
  FryPlot plot;
  plot.ShowCentres(StrainedCentres(2, 10), 2.2f, 15, true);
  auto ids = [&plot](const ChartRenderOptions& options) {
    std::vector<int> listed;
    const PlotModel model = ModelOf(plot, kSize, options);
    for (const LegendItem& item : model.Legend()->items) {
      listed.push_back(item.id);
    }
    return listed;
  };
  EXPECT_EQ(ids(PictureOptions()), (std::vector<int>{0, 1, 2, 3}));
  ModelScreen screen(plot);
  screen.ToggleLegendEntry(kSize, 1);  // the fitted vacancy
  EXPECT_FALSE(plot.Shown(FryEntry::kFitted));
  PlotModel model = ModelOf(plot, kSize, PictureOptions());
  EXPECT_EQ(LineOf(model, FryEntry::kFitted), nullptr);
  EXPECT_NE(LineOf(model, FryEntry::kHyperbolic), nullptr);
  EXPECT_FALSE(model.Legend()->items[1].checked);
  const LegendEntryLayout& row = model.Legend()->layout.entries[0];
  EXPECT_EQ(screen.LegendEntryAt(kSize, row.check_box.left + 2,
                                 row.check_box.top + 2),
            0);
  screen.ToggleLegendEntry(kSize, 0);  // the points
  model = ModelOf(plot, kSize, PictureOptions());
  EXPECT_TRUE(std::none_of(model.layers.begin(), model.layers.end(),
                           [](const PlotLayer& layer) {
                             return std::holds_alternative<MarkerLayer>(layer);
                           }));
  ChartRenderOptions figure = PictureOptions();
  figure.figure_style = true;
  EXPECT_EQ(ids(figure), (std::vector<int>{2, 3}));
  // Without the hyperbolic mean the screen lists no entry for it.
  plot.ShowCentres(StrainedCentres(2, 10), 2.2f, 15, false);
  EXPECT_EQ(ids(PictureOptions()), (std::vector<int>{0, 1, 3}));
}

TEST(FryPictures, AColumnFigureInPrintSizes) {
  FryPlot plot;
  plot.ShowCentres(StrainedCentres(2.5, 35), 2.2f, 28, true);
  FigureSettings settings;
  settings.width_mm = 85;
  settings.height_mm = 60;
  settings.figure_style = true;
  settings.caption = true;
  settings.palette = ChartPalette::kColourBlind;
  settings.print = {9, 2, 0.6};
  const ModelPicture picture(plot);
  QTemporaryDir dir;
  const QString svg = dir.filePath("fry.svg"), png = dir.filePath("fry.png");
  std::vector<std::string> notes;
  ASSERT_TRUE(SaveFigureFile(picture, settings, "N = 900", svg, &notes).ok());
  EXPECT_TRUE(notes.empty());
  QFile file(svg);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const QSize size = FigurePixelSize(settings, PictureFormat::kSvg);
  const std::string box = "viewBox=\"0 0 " + std::to_string(size.width()) +
                          " " + std::to_string(size.height()) + "\"";
  for (const std::string& text :
       {std::string("Orvane Fry plot"), std::string(">Normalised "),
        std::string(">Hyperbolic mean<"), std::string(">N = 900<"), box}) {
    EXPECT_TRUE(bytes.contains(text.c_str())) << text;
  }
  settings.dpi = 600;
  ASSERT_TRUE(SaveFigureFile(picture, settings, "N = 900", png).ok());
  EXPECT_EQ(QImage(png).size(), FigurePixelSize(settings, PictureFormat::kPng));
  // The sizes in points: each curve its style's share of the line width
  // (the grid one), the frame half as wide again, the faces at 9 and 8
  // points, the points' dots in proportion to the data's markers.
  const ChartRenderOptions options =
      FigureRenderOptions(settings, PictureFormat::kSvg, "N = 900");
  const PlotModel model = ModelOf(plot, size, options);
  const double per_point = kPixelsPerPoint * options.unit;
  EXPECT_DOUBLE_EQ(model.faces.figure, 9 * per_point);
  EXPECT_DOUBLE_EQ(model.faces.figure_small, 8 * per_point);
  int curves = 0;
  for (const PlotLayer& layer : model.layers) {
    if (const auto* line = std::get_if<LineLayer>(&layer)) {
      double share = line->frame ? 1.5 : 1;
      for (const FryEntry e :
           {FryEntry::kFitted, FryEntry::kHyperbolic, FryEntry::kBootstrap}) {
        const SeriesStyle style = FryStyle(e, settings.palette);
        if (!line->frame && line->colour == style.color) {
          share = style.line_width;
          ++curves;
        }
      }
      EXPECT_DOUBLE_EQ(line->width, share * 0.6 * per_point) << line->colour;
    } else if (const auto* m = std::get_if<MarkerLayer>(&layer)) {
      EXPECT_DOUBLE_EQ(m->style.marker_scale, 2 * per_point / 7);
    }
  }
  EXPECT_EQ(curves, 3);
}

TEST(FryPlot, EmptyFailedAndDegenerateEstimatesDrawWithoutFailing) {
  constexpr float kNan = std::numeric_limits<float>::quiet_NaN();
  constexpr float kInf = std::numeric_limits<float>::infinity();
  std::vector<CentreStrainResult> cases(6);
  cases[1] = StrainedCentres(2, 0);
  cases[1].status = Status(StatusCode::kReadError, "too few centres");
  cases[2] = StrainedCentres(2, 0);
  cases[2].estimate = {std::nan(""), 0, 0, 0};
  cases[2].kept = {{std::nan(""), 1, 1, 1}, {HUGE_VAL, 0, 1, 1}};
  cases[3].points = {0, 0, 0, 0, kNan, 1, kInf, -kInf, 1};  // odd count
  cases[3].estimate = {1e300, 45, 1e300, 1e-300};
  cases[4].points = {0.5f, 0.5f, -0.5f, -0.5f};
  cases[4].estimate = {1, 0, HUGE_VAL, 1};
  cases[5].points = {1, 0, -1, 0};
  cases[5].estimate = {1, 0, 1, 1};
  cases[5].method = CentreMethod::kFry;
  for (std::size_t i = 0; i <= cases.size(); ++i) {
    FryPlot plot;  // the last never shown
    if (i < cases.size()) plot.ShowCentres(cases[i], kNan, 10, true);
    EXPECT_TRUE(std::isfinite(plot.Axis().extent) && plot.Axis().extent > 0);
    for (const QSize size : {kSize, QSize(120, 120), QSize(3, 2)}) {
      EXPECT_FALSE(Draw(plot, size).isNull()) << i;
    }
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    EXPECT_TRUE(WriteChartPicture(ModelPicture(plot), QSize(120, 120),
                                  PictureFormat::kSvg, svg, PictureOptions())
                    .ok())
        << i;
  }
  FryPlot failed;
  failed.ShowCentres(cases[1], 2, 0, true);
  EXPECT_EQ(failed.PointCount(), 0u);
  EXPECT_FALSE(failed.HasFitted());
  FryPlot nan;
  nan.ShowCentres(cases[2], 2, 0, true);
  EXPECT_GT(nan.PointCount(), 1000u);
  EXPECT_FALSE(nan.HasFitted() || nan.HasHyperbolic());
  EXPECT_TRUE(nan.BootstrapOuter().empty());
  // A ratio below one is the same ellipse turned by 90 degrees.
  FryPlot turned;
  turned.ShowCentres(cases[4], 0.5f, 10, true);
  EXPECT_FALSE(turned.HasFitted());
  turned.ShowCentres(cases[5], 0.5f, 10, true);
  EXPECT_DOUBLE_EQ(turned.Hyperbolic().ratio, 2);
  EXPECT_DOUBLE_EQ(turned.Hyperbolic().phi, -80);
  EXPECT_EQ(FryAxisTitle(turned.Normalised(), true), "\xCE\x94y");
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "chart/density_contours.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "chart/equal_area_chart.h"

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Twice the signed area: positive counter-clockwise.
double SignedArea(const ContourRing& ring) {
  double a = 0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const PlotPoint& p = ring[i];
    const PlotPoint& q = ring[(i + 1) % ring.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2;
}

double BandArea(const ContourBand& band) {
  double a = 0;
  for (const ContourRing& r : band.rings) a += SignedArea(r);
  return a;
}

DensityGrid Grid(int columns, int rows, double value) {
  DensityGrid g;
  g.columns = columns;
  g.rows = rows;
  g.values.assign(static_cast<std::size_t>(columns) * rows, value);
  return g;
}

void Set(DensityGrid& g, int i, int j, double v) {
  g.values[static_cast<std::size_t>(j) * g.columns + i] = v;
}

TEST(MarchingSquares, PlateauHoleAndSaddle) {
  // All nodes above: the grid's outline, counter-clockwise.
  DensityGrid g = Grid(5, 5, 1.0);
  std::vector<ContourRing> rings = RegionAtLeast(g, 0.5);
  ASSERT_EQ(rings.size(), 1u);
  EXPECT_DOUBLE_EQ(SignedArea(rings[0]), 16.0);
  // A low node in the middle: a hole, the diamond through the midpoints of
  // its four sides, clockwise.
  Set(g, 2, 2, 0.0);
  rings = RegionAtLeast(g, 0.5);
  ASSERT_EQ(rings.size(), 2u);
  double total = 0, hole = 0;
  for (const ContourRing& r : rings) {
    total += SignedArea(r);
    hole = std::min(hole, SignedArea(r));
  }
  EXPECT_DOUBLE_EQ(hole, -0.5);
  EXPECT_DOUBLE_EQ(total, 15.5);
  // All below, or a level above every node: nothing.
  EXPECT_TRUE(RegionAtLeast(Grid(4, 4, 0.0), 0.5).empty());
  EXPECT_TRUE(RegionAtLeast(g, 2.0).empty());
  // A saddle joins the high corners: one ring, the square less two
  // corner triangles of area 1/8 each.
  DensityGrid s = Grid(2, 2, 0.0);
  Set(s, 0, 0, 1.0);
  Set(s, 1, 1, 1.0);
  rings = RegionAtLeast(s, 0.5);
  ASSERT_EQ(rings.size(), 1u);
  EXPECT_DOUBLE_EQ(SignedArea(rings[0]), 0.75);
  // A node that is no number counts as below.
  DensityGrid n = Grid(3, 3, 1.0);
  Set(n, 1, 1, std::nan(""));
  EXPECT_EQ(RegionAtLeast(n, 0.5).size(), 2u);
}

TEST(MarchingSquares, ConeGivesCircles) {
  // v = 1 - r on a fine grid: the region v >= level is the disc of radius
  // 1 - level, to within the interpolation's error.
  DensityGrid g = Grid(81, 81, 0.0);
  g.left = g.bottom = -2;
  g.step_x = g.step_y = 0.05;
  for (int j = 0; j < g.rows; ++j) {
    for (int i = 0; i < g.columns; ++i) {
      const PlotPoint p = g.Node(i, j);
      Set(g, i, j, 1 - std::hypot(p.x, p.y));
    }
  }
  for (const double level : {0.2, 0.5, 0.9}) {
    const std::vector<ContourRing> rings = RegionAtLeast(g, level);
    ASSERT_EQ(rings.size(), 1u);
    for (const PlotPoint& p : rings[0]) {
      EXPECT_NEAR(std::hypot(p.x, p.y), 1 - level, 2e-3);
    }
    EXPECT_NEAR(SignedArea(rings[0]), kPi * (1 - level) * (1 - level), 0.01);
  }
}

TEST(MarchingSquares, ClipToConvexPolygon) {
  const ContourRing square = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const ContourRing right_half = {{0, -5}, {5, -5}, {5, 5}, {0, 5}};
  EXPECT_DOUBLE_EQ(SignedArea(ClipToConvex(square, right_half)), 2.0);
  const ContourRing far = {{10, 10}, {11, 10}, {11, 11}};
  EXPECT_TRUE(ClipToConvex(far, right_half).empty());
  // A hole (clockwise) stays a hole.
  const ContourRing hole = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  EXPECT_DOUBLE_EQ(SignedArea(ClipToConvex(hole, right_half)), -2.0);
}

TEST(ContourLevels, EqualStepsBelowThePeak) {
  const std::vector<double> levels = EqualStepLevels(2.0, 4);
  EXPECT_EQ(levels, (std::vector<double>{0.5, 1.0, 1.5}));
  EXPECT_TRUE(EqualStepLevels(0.0, 10).empty());
  EXPECT_TRUE(EqualStepLevels(std::nan(""), 10).empty());
  EXPECT_TRUE(EqualStepLevels(1.0, 1).empty());
}

// Markers about R = 2, phi = 30 degrees, the same on every platform.
AnalysisState Analysed(int n, double rho0 = std::log(2.0)) {
  AnalysisState state;
  state.count = n;
  state.measured.assign(static_cast<std::size_t>(n) + 1, MarkerRecord{});
  state.retrodeformed.assign(static_cast<std::size_t>(n) + 1, MarkerRecord{});
  std::mt19937 gen(5);
  auto uniform = [&gen] {
    return (static_cast<double>(gen()) + 0.5) / 4294967296.0;
  };
  for (int i = 1; i <= n; ++i) {
    MarkerRecord& m = state.measured[static_cast<std::size_t>(i)];
    m.rho = static_cast<float>(rho0 + 0.6 * (uniform() - 0.5));
    m.psi = static_cast<float>(2 * 30 * kPi / 180 + 1.5 * (uniform() - 0.5));
    m.vector = HyperbolicVector(m.rho, m.psi);
    MarkerRecord& r = state.retrodeformed[static_cast<std::size_t>(i)];
    r.rho = 0.3f * m.rho;
    r.psi = -m.psi;
    r.vector = HyperbolicVector(r.rho, r.psi);
  }
  return state;
}

TEST(DiscContours, IntegrateToTheCountOverTheDisc) {
  // The equal-area disc keeps hyperbolic area: the density at the nodes
  // times the cells' area is N, and the bands, filled one over the other,
  // hold N to within a step of the levels.
  for (const int n : {40, 2000, 30000}) {
    const AnalysisState state = Analysed(n);
    DensityContours c;
    ContourSettings settings;
    settings.steps = 20;
    ASSERT_TRUE(ComputeDiscContours(state, 5.0, ChartProjection::kEqualArea,
                                    settings, c));
    EXPECT_EQ(c.count, n);
    EXPECT_NEAR(c.concentration, 40 / std::cbrt(n), 1e-9);
    const double cell = c.grid.step_x * c.grid.step_y;
    double mass = 0;
    for (const double d : c.grid.values) mass += d * cell;
    EXPECT_NEAR(mass, n, 5e-3 * n) << n;
    ASSERT_EQ(c.bands.size(), 19u);
    const double step = c.peak / 20;
    double below = 0;  // the staircase under the density
    double previous = kPi * 25;
    for (const ContourBand& band : c.bands) {
      const double area = BandArea(band);
      EXPECT_LE(area, previous + 1e-9);  // nested, shrinking
      previous = area;
      below += step * area;
    }
    EXPECT_LE(below, n * 1.005) << n;
    EXPECT_GE(below + step * BandArea(c.bands[0]), n * 0.995) << n;
    // Every vertex on or inside the disc.
    for (const ContourBand& band : c.bands) {
      for (const ContourRing& r : band.rings) {
        for (const PlotPoint& p : r) {
          EXPECT_LE(std::hypot(p.x, p.y), 5.0 + 1e-9);
        }
      }
    }
  }
}

TEST(DiscContours, OneMarkerGivesCirclesAboutIt) {
  // The region exp(k (1 - cosh d)) >= f is the hyperbolic disc
  // cosh d <= 1 - ln(f) / k about the marker; at the origin it is the
  // plot's circle of radius 2 sinh(d / 2), or d itself in the log-ratio
  // projection.
  AnalysisState state = Analysed(1, 0.0);
  state.measured[1].vector = {1, 0, 0};
  ContourSettings settings;
  settings.concentration = 2;
  settings.steps = 4;
  settings.cells = 200;
  for (const ChartProjection projection :
       {ChartProjection::kEqualArea, ChartProjection::kElliott}) {
    DensityContours c;
    ASSERT_TRUE(ComputeDiscContours(state, 3.0, projection, settings, c));
    ASSERT_EQ(c.bands.size(), 3u);
    EXPECT_NEAR(c.peak, 2 / (2 * kPi), 1e-9);
    for (int i = 0; i < 3; ++i) {
      const double d = std::acosh(1 - std::log((i + 1) / 4.0) / 2);
      const double radius =
          projection == ChartProjection::kEqualArea ? 2 * std::sinh(d / 2) : d;
      ASSERT_EQ(c.bands[i].rings.size(), 1u);
      for (const PlotPoint& p : c.bands[i].rings[0]) {
        EXPECT_NEAR(std::hypot(p.x, p.y), radius, 0.01) << i;
      }
    }
  }
}

TEST(DiscContours, FewDataOnAWideDiscGetAFinerGrid) {
  // A marker at R = 2 beside one at R = 1000: the disc reaches zeta = 32,
  // where 128 cells would be four kernel widths each and miss the bump at
  // R = 2 (k = 40 / 2^(1/3)).
  AnalysisState state = Analysed(2);
  state.measured[1].vector = HyperbolicVector(std::log(2.0f), 0.7f);
  state.measured[2].vector = HyperbolicVector(std::log(1000.0f), 0.35f);
  DensityContours c;
  ASSERT_TRUE(ComputeDiscContours(state,
                                  static_cast<double>(ZetaOfR(1000)) + 0.5,
                                  ChartProjection::kEqualArea, {}, c));
  EXPECT_EQ(c.settings.cells, 512);
  EXPECT_GT(c.peak, 0.5 * c.concentration / (2 * kPi));
  ASSERT_FALSE(c.bands.empty());
  const double zeta = ZetaOfR(2), x = zeta * std::cos(0.7),
               y = zeta * std::sin(0.7);
  bool around = false;
  for (const ContourRing& r : c.bands.front().rings) {
    for (const PlotPoint& p : r) {
      around = around || std::hypot(p.x - x, p.y - y) < 0.5;
    }
  }
  EXPECT_TRUE(around);
  // Many data keep the grid asked for.
  ASSERT_TRUE(ComputeDiscContours(Analysed(3000), 3.0,
                                  ChartProjection::kEqualArea, {}, c));
  EXPECT_EQ(c.settings.cells, kDefaultContourCells);
}

TEST(DiscContours, PreStrainDataCancelAndNoData) {
  const AnalysisState state = Analysed(500);
  ContourSettings settings;
  settings.data = DensityData::kRetrodeformed;
  DensityContours pre, post;
  ASSERT_TRUE(ComputeDiscContours(state, 3.0, ChartProjection::kEqualArea,
                                  settings, pre));
  ASSERT_TRUE(
      ComputeDiscContours(state, 3.0, ChartProjection::kEqualArea, {}, post));
  EXPECT_GT(pre.peak, post.peak);  // the pre-strain data lie closer together
  // A cancelled computation leaves what was there.
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(ComputeDiscContours(state, 3.0, ChartProjection::kEqualArea, {},
                                   pre, &cancel));
  EXPECT_EQ(pre.settings.data, DensityData::kRetrodeformed);
  // No data: no bands, and nothing that is not a number.
  DensityContours none;
  ASSERT_TRUE(ComputeDiscContours(AnalysisState(), 3.0,
                                  ChartProjection::kEqualArea, {}, none));
  EXPECT_EQ(none.count, 0);
  EXPECT_TRUE(none.bands.empty());
  // Steps out of range are brought into it.
  settings.steps = 1000;
  ASSERT_TRUE(ComputeDiscContours(state, std::nan(""),
                                  ChartProjection::kEqualArea, settings, pre));
  EXPECT_EQ(pre.bands.size(), static_cast<std::size_t>(kMaxContourSteps - 1));
}

TEST(RfPhiContours, IntegrateToTheCountOverThePlot) {
  // On (phi, ln R) the hyperbolic area element is sinh(rho) drho dpsi with
  // psi = 2 phi: the trapezoid sum of the nodes is N. Phi runs round the
  // whole circle of psi, so the data near phi = +-90 are not cut.
  const AnalysisState state = Analysed(3000);
  DensityContours c;
  ASSERT_TRUE(ComputeRfPhiContours(state, 0.0, 4.0, {}, c));
  const DensityGrid& g = c.grid;
  EXPECT_EQ(g.left, -90);
  EXPECT_EQ(g.Node(g.columns - 1, 0).x, 90);
  double mass = 0;
  for (int j = 0; j < g.rows; ++j) {
    for (int i = 0; i < g.columns; ++i) {
      const double wi = i == 0 || i == g.columns - 1 ? 0.5 : 1.0;
      const double wj = j == 0 || j == g.rows - 1 ? 0.5 : 1.0;
      const double rho = g.Node(i, j).y;
      mass += wi * wj * g.At(i, j) * std::sinh(rho) * g.step_y * 2 * g.step_x *
              kPi / 180;
    }
  }
  EXPECT_NEAR(mass, 3000, 0.005 * 3000);
  ASSERT_EQ(c.bands.size(), 9u);
  // The highest band lies about the data: phi near 30, R near 2.
  double x = 0, y = 0, n = 0;
  for (const ContourRing& r : c.bands.back().rings) {
    for (const PlotPoint& p : r) {
      x += p.x;
      y += p.y;
      ++n;
    }
  }
  EXPECT_NEAR(x / n, 30, 10);
  EXPECT_NEAR(y / n, std::log(2.0), 0.2);
}

TEST(DiscContours, ChartHoldsNoneUnlessGiven) {
  EqualAreaChart chart;
  chart.StartUp();
  EXPECT_EQ(chart.density_contours, nullptr);
  chart.density_contours = std::make_shared<DensityContours>();
  EXPECT_EQ(chart.WithoutData().density_contours, nullptr);
}

// The note's k: the two decimals of before wherever they give three
// significant digits, more below 1, so that no allowed k reads "0.00".
TEST(ConcentrationNote, ThreeSignificantDigitsAtLeastTwoDecimals) {
  const std::pair<double, const char*> cases[] = {
      {1000, "1000.00"},       {23.39, "23.39"},
      {5.976, "5.98"},         {2.5, "2.50"},
      {0.4, "0.400"},          {0.09996, "0.1000"},
      {0.0123456, "0.0123"},   {kMinContourConcentration, "0.000100"},
      {0.00456789, "0.00457"},
  };
  for (const auto& [k, text] : cases) {
    EXPECT_EQ(ConcentrationText(k, "."), text) << k;
  }
  EXPECT_EQ(ConcentrationText(0.004, ","), "0,00400");
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "chart/equal_area_chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "chart/chart_geometry.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "core/strain.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::StateOf;

// A layout with a disc of radius 200 centred at (300, 250).
ChartLayout Disc() {
  ChartLayout l;
  l.width = 800;
  l.height = 500;
  l.cx = 300;
  l.cy = 250;
  l.radius = 200;
  return l;
}

double Radius(const PolarSeries& circle) {
  return circle.Points()[0].value;
}

TEST(IsoRcircles, StartUpChart) {
  EqualAreaChart chart;
  chart.StartUp();
  ASSERT_EQ(chart.IsoRatioCircleCount(), 3);
  EXPECT_EQ(chart.RadialMaximum(), 3.0);
  // R = 2, 3, 4 at 23.6 %, 38.5 % and 50 % of the disc radius.
  EXPECT_NEAR(Radius(*chart.IsoRatioCircles()[0]) / 3.0, 0.236, 5e-4);
  EXPECT_NEAR(Radius(*chart.IsoRatioCircles()[1]) / 3.0, 0.385, 5e-4);
  EXPECT_EQ(Radius(*chart.IsoRatioCircles()[2]) / 3.0, 0.5);
  for (const auto& c : chart.IsoRatioCircles()) {
    EXPECT_FALSE(c->Style().show_in_legend);
    EXPECT_EQ(c->Style().line_color, 0x808080u);
    EXPECT_EQ(c->Style().marker, MarkerStyle::kNone);
  }
  EXPECT_FALSE(chart.measured_highlight.Active());
  EXPECT_FALSE(chart.retrodeformed_highlight.Active());
  EXPECT_TRUE(chart.bootstrap.Active());
  EXPECT_EQ(chart.measured.Count(), 0u);
}

TEST(IsoRcircles, OutermostCarriesTheRadius) {
  EqualAreaChart chart;
  chart.CreateIsoRatioCircles(4.0f);
  const auto& inner = chart.IsoRatioCircles()[0]->Points();
  ASSERT_EQ(inner.size(), 181u);
  EXPECT_EQ(inner.front().angle, 0.0);
  EXPECT_EQ(inner.back().angle, 360.0);
  const auto& outer = chart.IsoRatioCircles()[2]->Points();
  ASSERT_EQ(outer.size(), 183u);
  // (0, zeta) then the radius to the centre and back, then on round.
  EXPECT_EQ(outer[0].value, 1.5);
  EXPECT_EQ(outer[1].angle, 0.0);
  EXPECT_EQ(outer[1].value, 0.0);
  EXPECT_EQ(outer[2].value, 1.5);
  EXPECT_EQ(outer[3].angle, 2.0);
}

TEST(IsoRcircles, CountFollowsTheLargestRatio) {
  EqualAreaChart chart;
  const std::pair<float, int> cases[] = {{4.0f, 3}, {4.01f, 4}, {1.5f, 1},
                                         {1.0f, 0}, {0.0f, 0},  {2.0f, 1}};
  for (const auto& [rmax, count] : cases) {
    chart.CreateIsoRatioCircles(rmax);
    EXPECT_EQ(chart.IsoRatioCircleCount(), count) << rmax;
  }
  chart.CreateIsoRatioCircles(4.01f);
  EXPECT_EQ(chart.IsoRatioCircles().back()->Count(), 183u);  // R = 5 has it
  EXPECT_EQ(chart.IsoRatioCircles()[2]->Count(), 181u);
  EXPECT_EQ(Radius(*chart.IsoRatioCircles().back()), ZetaOfR(5.0f));
}

TEST(IsoRcircles, BoundedForHugeAndNonFiniteRatios) {
  EqualAreaChart chart;
  const auto t0 = std::chrono::steady_clock::now();
  chart.CreateIsoRatioCircles(1e6f);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  // The whole ratios up to 101, then 200, 500 and the loader's limit 1000.
  EXPECT_EQ(chart.IsoRatioCircleCount(), kMaxIsoRatioCircles + 3);
  EXPECT_EQ(chart.IsoRatios()[kMaxIsoRatioCircles - 1], 101);
  EXPECT_EQ(chart.IsoRatios()[kMaxIsoRatioCircles], 200);
  EXPECT_EQ(Radius(*chart.IsoRatioCircles().back()), ZetaOfR(1000.0f));
  EXPECT_EQ(chart.IsoRatioCircles().back()->Count(), 183u);
  chart.CreateIsoRatioCircles(std::numeric_limits<float>::infinity());
  EXPECT_EQ(chart.IsoRatioCircleCount(), 0);
  chart.CreateIsoRatioCircles(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(chart.IsoRatioCircleCount(), 0);
  chart.CreateIsoRatioCircles(3e38f);
  EXPECT_EQ(chart.IsoRatioCircleCount(), kMaxIsoRatioCircles + 3);
}

TEST(Placement, AnglesAndValues) {
  const ChartLayout l = Disc();
  EXPECT_EQ(PlacePoint(l, 2.0, 0.0, 1.0), (Pixel{400, 250}));    // right
  EXPECT_EQ(PlacePoint(l, 2.0, 90.0, 1.0), (Pixel{300, 150}));   // above
  EXPECT_EQ(PlacePoint(l, 2.0, 180.0, 1.0), (Pixel{200, 250}));  // left
  EXPECT_EQ(PlacePoint(l, 2.0, 45.0, 2.0), (Pixel{441, 109}));
  EXPECT_EQ(PlacePoint(l, 2.0, 30.0, 0.0), (Pixel{300, 250}));
  EXPECT_EQ(PlacePoint(l, 2.0, 30.0, -1.0), (Pixel{300, 250}));
  // Beyond the maximum: outside the disc at the same scale, not clamped.
  EXPECT_EQ(PlacePoint(l, 2.0, 0.0, 3.0), (Pixel{600, 250}));
}

// The short path gives the library's pixel wherever it answers, over the
// chart's angles (in the steps of the plot angles and at random), radii from
// a pixel to far outside large discs, and discs of many sizes; it answers
// for nearly every point.
TEST(Placement, ShortPathGivesTheLibrarysPixel) {
  std::uint32_t x = 11;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / 16777216.0;
  };
  // On the disc of ten million pixels an error of the short sine or cosine
  // that the guard does not cover would move pixels; the guard itself
  // refuses many of them there.
  long answered = 0, asked = 0;
  for (int radius : {7, 150, 333, 1000, 4096, 10000000}) {
    ChartLayout l;
    l.cx = 17 + radius;
    l.cy = 9 + radius;
    l.radius = radius;
    for (int i = 0; i < 40000; ++i) {
      const double angle =
          i % 2 == 0 ? -180 + 0.009 * (i / 2) : -180 + 540 * next();
      // Far outside the disc too, as far as pixels stay within int.
      const double value =
          i % 7 == 0 && radius <= 4096 ? 200 * next() : 3 * next();
      const double maximum = 0.5 + 4 * next();
      Pixel fast;
      const bool counted = radius <= 4096;
      asked += counted;
      if (PlacePointShort(l, maximum, angle, value, fast)) {
        answered += counted;
        ASSERT_EQ(fast, PlacePointLibm(l, maximum, angle, value))
            << "angle " << angle << ", value " << value << ", maximum "
            << maximum << ", disc " << radius;
      }
      ASSERT_EQ(PlacePoint(l, maximum, angle, value),
                PlacePointLibm(l, maximum, angle, value));
    }
  }
  EXPECT_GT(answered, asked - asked / 10000);
}

// Half pixels, which the short path cannot be sure of, and angles and
// radii beyond its range go to the library: lround takes halves away from
// zero.
TEST(Placement, HalfPixelsAndOutOfRangeGoToTheLibrary) {
  ChartLayout l;
  l.cx = 300;
  l.cy = 250;
  l.radius = 100;
  Pixel unused;
  for (double angle : {0.0, 90.0, 180.0, 270.0, -90.0}) {
    EXPECT_FALSE(PlacePointShort(l, 2.0, angle, 0.21, unused)) << angle;
  }
  EXPECT_EQ(PlacePoint(l, 2.0, 0.0, 0.21), (Pixel{311, 250}));    // 10.5
  EXPECT_EQ(PlacePoint(l, 2.0, 180.0, 0.21), (Pixel{289, 250}));  // -10.5
  EXPECT_EQ(PlacePoint(l, 2.0, 90.0, 0.21), (Pixel{300, 239}));
  EXPECT_FALSE(PlacePointShort(l, 2.0, 720.0, 1.0, unused));
  EXPECT_EQ(PlacePoint(l, 2.0, 720.0, 1.0), (Pixel{350, 250}));
  EXPECT_FALSE(PlacePointShort(l, 2.0, 30.0, 1e10, unused));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(PlacePointShort(l, 2.0, nan, 1.0, unused));
  EXPECT_FALSE(PlacePointShort(l, 2.0, 30.0, nan, unused));
  EXPECT_TRUE(PlacePointShort(l, 2.0, 30.0, 1.0, unused));
  EXPECT_EQ(unused, PlacePointLibm(l, 2.0, 30.0, 1.0));
}

TEST(Placement, EllipseOrientations) {
  // phi = 0 to the right, 45 degrees straight above, 90 to the left.
  AnalysisState s = StateOf({{3, 1, 0}, {3, 1, 45}, {3, 1, 90}});
  RunAnalysis(s);
  EqualAreaChart chart;
  chart.PlotMeasured(s);
  const ChartLayout l = Disc();
  std::vector<Pixel> px;
  for (int i = 1; i <= 3; ++i) {
    const MarkerRecord& d = s.measured[static_cast<std::size_t>(i)];
    px.push_back(
        PlacePoint(l, chart.RadialMaximum(), PlotAngle(d.psi), d.zeta));
  }
  EXPECT_GT(px[0].x, l.cx);
  EXPECT_EQ(px[0].y, l.cy);
  EXPECT_EQ(px[1].x, l.cx);
  EXPECT_LT(px[1].y, l.cy);
  EXPECT_LT(px[2].x, l.cx);
  EXPECT_EQ(px[2].y, l.cy);
}

TEST(RadialScale, LargestMeasuredRatioOfFour) {
  AnalysisState s = StateOf({{4, 1, 10}, {2, 1, 30}, {3, 1, 20}});
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, RunAnalysis(s));
  EXPECT_EQ(chart.RadialMaximum(), 2.0);
  // The R = 4 circle at three quarters of the disc radius.
  EXPECT_EQ(Radius(*chart.IsoRatioCircles()[2]) / chart.RadialMaximum(), 0.75);
}

TEST(PointOrder, SortedByAngleEqualAnglesInOrderOfAddition) {
  PolarSeries s(MeasuredStyle());
  s.AddPolar(10, 1);
  s.AddPolar(5, 2);
  s.AddPolar(10, 3);
  s.AddPolar(-20, 4);
  const auto& p = s.Points();
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].value, 4);
  EXPECT_EQ(p[1].value, 2);
  EXPECT_EQ(p[2].value, 1);
  EXPECT_EQ(p[3].value, 3);
  const auto rev = s.Revision();
  s.SetActive(false);
  EXPECT_EQ(s.Revision(), rev);  // a legend check changes no drawing
  s.Clear();
  EXPECT_NE(s.Revision(), rev);
}

// The points in the order of a stable sort by angle.
std::vector<PolarPoint> StablySorted(std::vector<PolarPoint> points) {
  std::stable_sort(points.begin(), points.end(),
                   [](const PolarPoint& a, const PolarPoint& b) {
                     return a.angle < b.angle;
                   });
  return points;
}

void ExpectSameOrder(const std::vector<PolarPoint>& a,
                     const std::vector<PolarPoint>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    // Bitwise, so that 0 and -0 count as the different points they are.
    ASSERT_EQ(std::memcmp(&a[i], &b[i], sizeof(PolarPoint)), 0) << i;
  }
}

// Large series are sorted by radix; the order is that of the stable sort,
// among ties (0 and -0 are one angle), signs, magnitudes from subnormal to
// infinite, and at sizes around the one where the radix sort takes over.
TEST(PointOrder, RadixSortKeepsTheStableOrder) {
  std::uint32_t x = 5;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return x;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const double specials[] = {0.0,    -0.0, 5e-324, -5e-324, 1e-300,
                             -1e300, inf,  -inf,   180.0,   -180.0};
  for (std::size_t n : {4095u, 4096u, 4097u, 60000u}) {
    std::vector<PolarPoint> points;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t r = next();
      double angle;
      if (r % 5 == 0) {
        angle = specials[(r >> 8) % 10];
      } else if (r % 5 == 1) {
        angle = static_cast<double>(static_cast<int>(r >> 20) % 37) - 18;
      } else {
        angle = (static_cast<double>(r >> 4) / 268435456.0 - 0.5) * 360;
      }
      points.push_back({angle, static_cast<double>(i)});  // value: arrival
    }
    std::vector<PolarPoint> sorted = points;
    SortByAngle(sorted);
    ExpectSameOrder(sorted, StablySorted(points));
  }
  // All on one angle: every pass is left out and nothing moves.
  std::vector<PolarPoint> same(5000, PolarPoint{12.5, 0});
  for (std::size_t i = 0; i < same.size(); ++i) same[i].value = double(i);
  std::vector<PolarPoint> sorted = same;
  SortByAngle(sorted);
  ExpectSameOrder(sorted, same);
  // A NaN leaves the order to the stable sort, as before.
  std::vector<PolarPoint> with_nan = same;
  with_nan[17].angle = std::numeric_limits<double>::quiet_NaN();
  with_nan[4000].angle = -3;
  sorted = with_nan;
  SortByAngle(sorted);
  ExpectSameOrder(sorted, StablySorted(with_nan));
}

// Points added in one step are ordered as points added one by one.
TEST(PointOrder, PointsAddedTogetherAsOneByOne) {
  const std::vector<PolarPoint> first = {{10, 1}, {5, 2}, {10, 3}};
  const std::vector<PolarPoint> more = {{-20, 4}, {10, 5}};
  PolarSeries together(MeasuredStyle()), one_by_one(MeasuredStyle());
  together.AddPolar(std::vector<PolarPoint>(first));
  const auto rev = together.Revision();
  together.AddPolar(std::vector<PolarPoint>(more));
  EXPECT_NE(together.Revision(), rev);
  together.AddPolar(std::vector<PolarPoint>{});
  for (const auto* list : {&first, &more}) {
    for (const PolarPoint& p : *list) one_by_one.AddPolar(p.angle, p.value);
  }
  ExpectSameOrder(together.Points(), one_by_one.Points());
  // A point below the last one held makes the series sort again.
  PolarSeries ascending(MeasuredStyle());
  ascending.AddPolar(std::vector<PolarPoint>{{1, 1}, {2, 2}});
  ascending.AddPolar(std::vector<PolarPoint>{{1.5, 3}});
  EXPECT_EQ(ascending.Points()[1].value, 3);
}

// From 100,000 data both plots compute their points on two threads; every
// datum of either data set still gets its own point, in both projections.
TEST(LargeData, BothPlotsHoldEveryDatum) {
  std::vector<testing_support::Ellipse> data;
  const int n = kPointsInParallelFrom + 1;  // halves of unequal size
  for (int i = 0; i < n; ++i) {
    data.push_back({1.2f + 0.001f * static_cast<float>(i % 3001), 1,
                    static_cast<float>(i % 1799) * 0.1f - 90});
  }
  AnalysisState s = StateOf(data);
  const AnalysisResult result = RunAnalysis(s);
  for (ChartProjection projection :
       {ChartProjection::kEqualArea, ChartProjection::kElliott}) {
    EqualAreaChart chart;
    chart.StartUp();
    chart = chart.InProjection(projection, s, result);
    PolarSeries post(MeasuredStyle()), pre(RetrodeformedStyle());
    for (int i = 1; i <= n; ++i) {
      const MarkerRecord& m = s.measured[static_cast<std::size_t>(i)];
      const MarkerRecord& r = s.retrodeformed[static_cast<std::size_t>(i)];
      post.AddPolar(PlotAngle(m.psi), MarkerRadius(projection, m.rho, m.zeta));
      pre.AddPolar(PlotAngle(r.psi), MarkerRadius(projection, r.rho, r.zeta));
    }
    ExpectSameOrder(chart.measured.Points(), post.Points());
    ExpectSameOrder(chart.retrodeformed.Points(), pre.Points());
  }
  RfPhiPlot plot;
  plot.ShowAnalysis(s, result);
  ASSERT_EQ(plot.measured.Count(), static_cast<std::size_t>(n));
  ASSERT_EQ(plot.retrodeformed.Count(), static_cast<std::size_t>(n));
  for (int i : {1, 2, n / 2, n / 2 + 1, n / 2 + 2, n - 1, n}) {
    plot.Highlight(s, i);
    const auto at = static_cast<std::size_t>(i - 1);
    EXPECT_EQ(plot.measured.Points()[at].ratio,
              plot.measured_highlight.Points()[0].ratio);
    EXPECT_EQ(plot.measured.Points()[at].phi,
              plot.measured_highlight.Points()[0].phi);
    EXPECT_EQ(plot.retrodeformed.Points()[at].ratio,
              plot.retrodeformed_highlight.Points()[0].ratio);
    EXPECT_EQ(plot.retrodeformed.Points()[at].phi,
              plot.retrodeformed_highlight.Points()[0].phi);
  }
}

std::vector<testing_support::Ellipse> SixData() {
  return {{3, 2, 30}, {4, 2, 45}, {5, 1, 40},
          {6, 2, 35}, {2, 1, 38}, {3, 1, 32}};
}

TEST(OpenSequence, SeriesAfterAnAnalysis) {
  AnalysisState s = StateOf(SixData());
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, RunAnalysis(s));
  EXPECT_EQ(chart.measured.Count(), 6u);
  EXPECT_EQ(chart.retrodeformed.Count(), 6u);
  ASSERT_EQ(chart.optimal.Count(), 1u);
  EXPECT_TRUE(chart.optimal.Style().line_visible);
  EXPECT_EQ(chart.bootstrap.Count(), 190u);
  EXPECT_EQ(chart.IsoRatioCircleCount(),
            static_cast<int>(std::ceil(MaxAxialRatio(s))) - 1);
  // Opening again never accumulates circles.
  for (int k = 0; k < 5; ++k) {
    chart.ShowAnalysis(s, RunAnalysis(s));
    EXPECT_EQ(chart.SeriesList().size(),
              6u + static_cast<std::size_t>(chart.IsoRatioCircleCount()));
  }
}

TEST(OpenSequence, NoLeftoversFromAnEarlierFile) {
  AnalysisState s = StateOf(SixData());
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, RunAnalysis(s));
  ASSERT_EQ(chart.bootstrap.Count(), 190u);
  chart.bootstrap.SetActive(false);
  // Fewer than five data: no cloud of the earlier file stays.
  AnalysisState few = StateOf({{3, 2, 30}, {4, 2, 45}});
  chart.ShowAnalysis(few, RunAnalysis(few));
  EXPECT_EQ(chart.bootstrap.Count(), 0u);
  EXPECT_FALSE(chart.bootstrap.Active());  // the user's check stays
  chart.ShowAnalysis(s, RunAnalysis(s));
  EXPECT_TRUE(chart.bootstrap.Active());  // a new cloud shows again
  // No data: the start-up chart.
  AnalysisState none;
  chart.ShowAnalysis(none, RunAnalysis(none));
  EXPECT_EQ(chart.measured.Count(), 0u);
  EXPECT_EQ(chart.optimal.Count(), 0u);
  EXPECT_EQ(chart.IsoRatioCircleCount(), 3);
  EXPECT_EQ(chart.RadialMaximum(), 3.0);
}

TEST(OpenSequence, UserChecksPersist) {
  AnalysisState s = StateOf(SixData());
  EqualAreaChart chart;
  chart.StartUp();
  chart.measured.SetActive(false);
  chart.ShowAnalysis(s, RunAnalysis(s));
  EXPECT_FALSE(chart.measured.Active());
}

TEST(Highlight, BothPointsOfADatum) {
  AnalysisState s = StateOf(SixData());
  RunAnalysis(s);
  EqualAreaChart chart;
  chart.StartUp();
  chart.Highlight(s, 2);
  ASSERT_EQ(chart.measured_highlight.Count(), 1u);
  EXPECT_TRUE(chart.measured_highlight.Active());
  EXPECT_EQ(chart.measured_highlight.Points()[0].value, s.measured[2].zeta);
  EXPECT_EQ(chart.retrodeformed_highlight.Points()[0].angle,
            PlotAngle(s.retrodeformed[2].psi));
  chart.Highlight(s, 3);
  EXPECT_EQ(chart.measured_highlight.Count(), 1u);  // replaced, not added
  chart.HideHighlight();
  EXPECT_FALSE(chart.measured_highlight.Active());
  EXPECT_EQ(chart.measured_highlight.Count(), 1u);  // the points stay
}

TEST(Disc, FirstActiveSeriesPaintsIt) {
  EqualAreaChart chart;
  chart.StartUp();
  EXPECT_EQ(chart.DiscSeries(), &chart.bootstrap);
  EXPECT_EQ(chart.DiscSeries()->Style().circle_background, 0xFFFFFFu);
  EXPECT_FALSE(chart.DiscSeries()->Style().circle_outline);
  chart.bootstrap.SetActive(false);
  EXPECT_EQ(chart.DiscSeries(), &chart.retrodeformed);
  EXPECT_TRUE(chart.DiscSeries()->Style().circle_outline);
}

TEST(Layout, DiscCentredInThePlottingArea) {
  LegendLayout legend = LayOutLegend(640, {100, 50, 60, 80}, 13, 10);
  EXPECT_EQ(legend.entries.size(), 4u);
  EXPECT_EQ(legend.box.top, kLegendTop);
  EXPECT_LE(legend.box.left + legend.box.width + kLegendShadow, 640);
  for (std::size_t i = 1; i < legend.entries.size(); ++i) {
    EXPECT_GT(legend.entries[i].check_box.top,
              legend.entries[i - 1].check_box.top);
  }
  constexpr int kGridColumn = 221;  // the window's data grid
  const ChartLayout l = LayOutChart(640, 362, legend, kGridColumn);
  EXPECT_EQ(l.cx, l.plot.left + l.plot.width / 2);
  EXPECT_EQ(l.cy, l.plot.top + l.plot.height / 2);
  EXPECT_EQ(l.radius, std::min(l.plot.width, l.plot.height) / 2);
  // The disc stays clear of the legend column.
  EXPECT_LE(l.cx + l.radius, 640 - kGridColumn);
  EXPECT_GT(l.radius, 150);
}

}  // namespace
}  // namespace orvane

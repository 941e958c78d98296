// SPDX-License-Identifier: MIT
// The polar chart in the Elliott projection: every radius it plots is rho =
// ln R of the analysis' records, and the equal-area chart stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "chart/chart_projection.h"
#include "chart/equal_area_chart.h"
#include "core/analysis.h"
#include "core/double_paths.h"
#include "core/strain.h"
#include "support/analysed_chart.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::AnalysedChart;
using testing_support::kSixMarkers;
using testing_support::StateOf;

// The (angle, value) pairs of a series, in its point order.
std::vector<std::pair<double, double>> PointsOf(const PolarSeries& s) {
  std::vector<std::pair<double, double>> out;
  for (const PolarPoint& p : s.Points()) out.emplace_back(p.angle, p.value);
  return out;
}

// The points a series should hold: (angle, radius) of records 1..count.
std::vector<std::pair<double, double>> Expected(
    const std::vector<MarkerRecord>& records, std::int32_t count,
    bool elliott) {
  std::vector<std::pair<double, double>> out;
  for (std::int32_t i = 1; i <= count; ++i) {
    const MarkerRecord& d = records[static_cast<std::size_t>(i)];
    out.emplace_back(PlotAngle(d.psi), elliott ? d.rho : d.zeta);
  }
  std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    return a.first < b.first;
  });
  return out;
}

EqualAreaChart ElliottChart(const std::vector<testing_support::Ellipse>& data,
                            AnalysisState& state) {
  state = StateOf(data);
  const AnalysisResult r = RunAnalysis(state);
  EqualAreaChart chart;
  chart.SetProjection(ChartProjection::kElliott);
  chart.StartUp();
  chart.ShowAnalysis(state, r);
  return chart;
}

TEST(ChartProjection, RadiusAndRhoArePairs) {
  // ln 4 in the equal-area projection is sqrt 4 - 1 / sqrt 4.
  EXPECT_NEAR(RadiusOfRho(ChartProjection::kEqualArea, std::log(4.0)), 1.5,
              1e-15);
  EXPECT_EQ(RadiusOfRho(ChartProjection::kElliott, 1.25), 1.25);
  for (const double rho : {1e-9, 0.01, 0.5, 1.0, 3.0, 6.9}) {
    for (const ChartProjection p :
         {ChartProjection::kEqualArea, ChartProjection::kElliott}) {
      EXPECT_NEAR(RhoOfRadius(p, RadiusOfRho(p, rho)), rho, 1e-14 * rho) << rho;
    }
    // The two agree near the origin and part further out.
    EXPECT_GE(RadiusOfRho(ChartProjection::kEqualArea, rho), rho);
  }
  for (const ChartProjection p :
       {ChartProjection::kEqualArea, ChartProjection::kElliott}) {
    EXPECT_EQ(RadiusOfRho(p, 0.0), 0.0);
    EXPECT_EQ(RadiusOfRho(p, -1.0), 0.0);
    EXPECT_EQ(RhoOfRadius(p, -1.0), 0.0);
    EXPECT_EQ(RhoOfRadius(p, std::nan("")), 0.0);
    EXPECT_EQ(ProjectionOfKey(ProjectionKey(p)), p);
  }
  EXPECT_EQ(ProjectionKey(ChartProjection::kEqualArea),
            std::string("equal-area"));
  EXPECT_EQ(ProjectionKey(ChartProjection::kElliott), std::string("elliott"));
  EXPECT_FALSE(ProjectionOfKey("Elliott"));
  EXPECT_FALSE(ProjectionOfKey(""));
  EXPECT_FALSE(ProjectionOfKey("equal area"));
}

TEST(ChartProjection, ElliottPlotsRhoEverywhere) {
  AnalysisState s;
  const EqualAreaChart chart = ElliottChart(kSixMarkers, s);
  ASSERT_FALSE(s.kept.empty());
  EXPECT_EQ(PointsOf(chart.measured), Expected(s.measured, s.count, true));
  EXPECT_EQ(PointsOf(chart.retrodeformed),
            Expected(s.retrodeformed, s.count, true));
  ASSERT_EQ(chart.optimal.Count(), 1u);
  EXPECT_EQ(chart.optimal.Points()[0].value, s.strain.rho);
  EXPECT_EQ(chart.optimal.Points()[0].angle, PlotAngle(s.strain.psi));
  EXPECT_TRUE(chart.optimal.Style().line_visible);
  // The cloud: the kept solutions at their rho, the angles as plotted.
  ASSERT_EQ(chart.bootstrap.Count(), static_cast<std::size_t>(kBootstrapKept));
  std::vector<std::pair<double, double>> cloud;
  for (std::size_t k = 0; k < s.kept.size(); ++k) {
    cloud.emplace_back(PlotAngle(s.kept[k].psi), s.kept[k].rho);
  }
  std::stable_sort(
      cloud.begin(), cloud.end(),
      [](const auto& a, const auto& b) { return a.first < b.first; });
  EXPECT_EQ(PointsOf(chart.bootstrap), cloud);
  // Circles R = 2 .. ceil(Rmax) at ln R, the outermost with the radius.
  ASSERT_EQ(chart.IsoRatioCircleCount(),
            static_cast<int>(std::ceil(s.largest_ratio)) - 1);
  for (int k = 0; k < chart.IsoRatioCircleCount(); ++k) {
    const float r = static_cast<float>(chart.IsoRatios()[k]);
    EXPECT_EQ(chart.IsoRatioCircles()[k]->Points()[0].value,
              static_cast<double>(RhoOfRatio(r)));
  }
  const auto& outer = chart.IsoRatioCircles().back()->Points();
  ASSERT_EQ(outer.size(), 183u);
  EXPECT_EQ(outer[1].value, 0.0);
  EXPECT_EQ(outer[2].value, outer[0].value);
  // The disc reaches ln of the largest measured R (5) plus 0.5.
  EXPECT_EQ(
      chart.RadialMaximum(),
      static_cast<double>(static_cast<long double>(RhoOfRatio(5.0f)) + 0.5L));
}

TEST(ChartProjection, RadialMaximumFollowsTheLargestMeasuredRatio) {
  // R = 4 at the largest: ln 4 + 0.5, so the R = 4 circle lies at 73.5 %
  // of the disc radius (75 % in the equal-area projection).
  AnalysisState s;
  const EqualAreaChart chart =
      ElliottChart({{4, 1, 10}, {2, 1, 20}, {3, 1, 0}}, s);
  EXPECT_NEAR(chart.RadialMaximum(), std::log(4.0) + 0.5, 1e-7);
  EXPECT_EQ(RadialMaximumFor(ChartProjection::kEqualArea, 4.0f), 2.0);
  // A pre-strain point beyond the maximum is not clamped.
  for (const PolarPoint& p : chart.retrodeformed.Points()) {
    EXPECT_GE(p.value, 0.0);
  }
}

// The equal-area chart places the cloud and scales the disc exactly as the
// analysis did when it held them: the zeta of each kept solution's
// single-precision rho at psi x 180/pi formed with the double constant, and
// the zeta of the largest measured R plus 0.5, both in extended precision.
TEST(ChartProjection, EqualAreaCloudAndScaleAreTheAnalysisFigures) {
  AnalysisState s = StateOf(kSixMarkers);
  const AnalysisResult result = RunAnalysis(s);
  ASSERT_FALSE(s.kept.empty());
  EqualAreaChart chart;
  chart.StartUp();
  chart.ShowAnalysis(s, result);
  std::vector<PolarPoint> cloud;
  for (const BootstrapSolution& b : s.kept) {
    const double angle = static_cast<double>(static_cast<long double>(b.psi) *
                                             57.29577951308232L);
    const float zeta = ZetaOfRho(b.rho);
    cloud.push_back({angle, zeta});
  }
  std::stable_sort(cloud.begin(), cloud.end(),
                   [](const PolarPoint& a, const PolarPoint& b) {
                     return a.angle < b.angle;
                   });
  const std::vector<PolarPoint>& plotted = chart.bootstrap.Points();
  ASSERT_EQ(plotted.size(), cloud.size());
  for (std::size_t k = 0; k < cloud.size(); ++k) {
    EXPECT_EQ(std::memcmp(&plotted[k], &cloud[k], sizeof(PolarPoint)), 0) << k;
  }
  const double radial_maximum = static_cast<double>(
      static_cast<long double>(ZetaOfR(MaxMeasuredRatio(s))) + 0.5L);
  EXPECT_EQ(chart.RadialMaximum(), radial_maximum);
  // Retrodeformed markers further out than the measured ones, as a rerun
  // on the data held finds them, leave the disc as it is.
  AnalysisState crossed = StateOf({{3, 1, 0}, {3, 1, 0}, {3, 1, 90}});
  chart.ShowAnalysis(crossed, RunAnalysis(crossed));
  ASSERT_GT(crossed.largest_ratio, 3.0f);
  chart.ShowAnalysis(crossed, RunAnalysis(crossed));
  EXPECT_EQ(
      chart.RadialMaximum(),
      static_cast<double>(static_cast<long double>(ZetaOfR(3.0f)) + 0.5L));
}

TEST(ChartProjection, StartUpAndNoDataCharts) {
  EqualAreaChart chart;
  chart.SetProjection(ChartProjection::kElliott);
  chart.StartUp();
  // The start-up scale 0 .. 3 of both projections: ln 2, ln 3 and ln 4 at
  // 23 %, 37 % and 46 % of the disc radius.
  EXPECT_EQ(chart.RadialMaximum(), kInitialRadialMaximum);
  ASSERT_EQ(chart.IsoRatioCircleCount(), 3);
  EXPECT_NEAR(chart.IsoRatioCircles()[0]->Points()[0].value, std::log(2.0),
              1e-7);
  EXPECT_NEAR(chart.IsoRatioCircles()[2]->Points()[0].value, std::log(4.0),
              1e-7);
  // No data: the start-up chart in the projection.
  const EqualAreaChart none = chart.InProjection(
      ChartProjection::kElliott, AnalysisState(), AnalysisResult::kNoData);
  EXPECT_EQ(none.IsoRatioCircleCount(), 3);
  EXPECT_EQ(none.measured.Count(), 0u);
  EXPECT_EQ(none.RadialMaximum(), kInitialRadialMaximum);
}

TEST(ChartProjection, SwitchingBackGivesTheEqualAreaChartExactly) {
  AnalysisState s;
  const EqualAreaChart original = AnalysedChart(kSixMarkers, &s);
  const AnalysisResult r = AnalysisResult::kBootstrapped;
  const EqualAreaChart elliott =
      original.InProjection(ChartProjection::kElliott, s, r);
  EXPECT_EQ(elliott.Projection(), ChartProjection::kElliott);
  EXPECT_NE(PointsOf(elliott.measured), PointsOf(original.measured));
  const EqualAreaChart back =
      elliott.InProjection(ChartProjection::kEqualArea, s, r);
  const auto a = original.SeriesList();
  const auto b = back.SeriesList();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == &original.measured_highlight ||
        a[i] == &original.retrodeformed_highlight) {
      continue;  // no datum highlighted: their points are not replotted
    }
    EXPECT_EQ(PointsOf(*a[i]), PointsOf(*b[i])) << i;
    EXPECT_EQ(a[i]->Active(), b[i]->Active()) << i;
  }
  EXPECT_EQ(back.RadialMaximum(), original.RadialMaximum());
  EXPECT_EQ(back.IsoRatios(), original.IsoRatios());
  // The equal-area chart plots the analysis' zeta itself.
  EXPECT_EQ(PointsOf(original.measured), Expected(s.measured, s.count, false));
}

TEST(ChartProjection, SwitchingKeepsChecksAndHighlight) {
  AnalysisState s;
  EqualAreaChart chart = AnalysedChart(kSixMarkers, &s);
  const AnalysisResult r = AnalysisResult::kBootstrapped;
  chart.bootstrap.SetActive(false);  // the user unchecked the cloud
  chart.measured.SetActive(false);
  chart.Highlight(s, 3);
  EqualAreaChart elliott = chart.InProjection(ChartProjection::kElliott, s, r);
  EXPECT_FALSE(elliott.bootstrap.Active());
  EXPECT_FALSE(elliott.measured.Active());
  EXPECT_TRUE(elliott.retrodeformed.Active());
  EXPECT_EQ(elliott.HighlightedDatum(), 3);
  ASSERT_TRUE(elliott.measured_highlight.Active());
  EXPECT_EQ(elliott.measured_highlight.Points()[0].value, s.measured[3].rho);
  EXPECT_EQ(elliott.retrodeformed_highlight.Points()[0].value,
            s.retrodeformed[3].rho);
  EXPECT_EQ(elliott.measured_highlight.Count(), 1u);
  // A hidden highlight stays hidden, but follows the projection.
  elliott.HideHighlight();
  const EqualAreaChart back =
      elliott.InProjection(ChartProjection::kEqualArea, s, r);
  EXPECT_FALSE(back.measured_highlight.Active());
  EXPECT_FALSE(back.retrodeformed_highlight.Active());
  EXPECT_EQ(back.measured_highlight.Points()[0].value, s.measured[3].zeta);
  // The next Open's chart keeps the projection.
  EXPECT_EQ(elliott.WithoutData().Projection(), ChartProjection::kElliott);
}

TEST(ChartProjection, CirclesThinByTheirElliottSpacing) {
  // Whole R from 2 to 30. At 40 pixels a unit, ln(R + 1) - ln R falls
  // below 4 pixels beyond R = 9, while the equal-area spacing
  // 1 / (2 sqrt R) x 40 stays above 4 pixels up to R = 25.
  std::vector<int> ratios;
  for (int r = 2; r <= 30; ++r) ratios.push_back(r);
  const std::vector<bool> elliott =
      ThinIsoRatioCircles(ratios, 40.0, ChartProjection::kElliott);
  const std::vector<bool> equal_area = ThinIsoRatioCircles(ratios, 40.0);
  EXPECT_EQ(equal_area,
            ThinIsoRatioCircles(ratios, 40.0, ChartProjection::kEqualArea));
  auto kept = [&](const std::vector<bool>& flags) {
    std::vector<int> out;
    for (std::size_t i = 0; i < flags.size(); ++i) {
      if (flags[i]) out.push_back(ratios[i]);
    }
    return out;
  };
  EXPECT_EQ(kept(elliott),
            (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30}));
  EXPECT_GT(kept(equal_area).size(), 20u);
}

}  // namespace
}  // namespace orvane

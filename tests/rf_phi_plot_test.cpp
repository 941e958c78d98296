// SPDX-License-Identifier: MIT
#include "chart/rf_phi_plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/analysis.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::StateOf;

std::vector<std::string> Labels(const RfAxis& axis) {
  std::vector<std::string> labels;
  for (const AxisTick& t : axis.ticks) {
    if (!t.label.empty()) labels.push_back(t.label);
  }
  return labels;
}

TEST(RfAxis, LogarithmicMaximaAndTicks) {
  const RfAxis small = MakeRfAxis(4.0, RfScale::kLogarithmic);
  EXPECT_EQ(small.maximum, 5);
  EXPECT_EQ(Labels(small),
            (std::vector<std::string>{"1", "1.5", "2", "3", "5"}));
  // Unlabelled ticks at the other whole ratios.
  EXPECT_EQ(small.ticks.size(), 6u);  // 1 1.5 2 3 4 5, none past 5
  const RfAxis large = MakeRfAxis(40.0, RfScale::kLogarithmic);
  EXPECT_EQ(large.maximum, 50);
  EXPECT_EQ(Labels(large),
            (std::vector<std::string>{"1", "2", "5", "10", "20", "50"}));
  // At least 5 % of room above the largest ratio.
  EXPECT_EQ(MakeRfAxis(4.9, RfScale::kLogarithmic).maximum, 10);
  EXPECT_EQ(MakeRfAxis(1000, RfScale::kLogarithmic).maximum, 2000);
  for (const double bad : {0.0, 1.0, -3.0, std::nan(""), HUGE_VAL}) {
    EXPECT_EQ(MakeRfAxis(bad, RfScale::kLogarithmic).maximum, 2) << bad;
  }
}

TEST(RfAxis, LinearMaximaAndTicks) {
  const RfAxis a = MakeRfAxis(4.0, RfScale::kLinear);
  EXPECT_EQ(a.maximum, 5);
  EXPECT_EQ(Labels(a), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  const RfAxis b = MakeRfAxis(1.7, RfScale::kLinear, ",");
  EXPECT_EQ(b.maximum, 2);
  EXPECT_EQ(Labels(b),
            (std::vector<std::string>{"1", "1,2", "1,4", "1,6", "1,8", "2"}));
  const RfAxis c = MakeRfAxis(230, RfScale::kLinear);
  EXPECT_EQ(c.maximum, 250);
  EXPECT_EQ(Labels(c),
            (std::vector<std::string>{"1", "50", "100", "150", "200", "250"}));
}

TEST(RfPhiLayout, MapsTheAxesOntoTheFrame) {
  LegendLayout legend = LayOutLegend(640, {60, 60}, 13, 10, true);
  const RfPhiLayout l = LayOutRfPhiPlot(640, 362, legend, PlotTextMetrics{});
  EXPECT_GT(l.plot.width, 300);
  EXPECT_GT(l.plot.height, 250);
  // The frame lies left of the legend and inside the picture.
  EXPECT_LT(l.plot.left + l.plot.width, legend.box.left);
  EXPECT_GT(l.plot.left, kChartMargin + 13);
  EXPECT_LT(l.plot.top + l.plot.height, l.phi_title_baseline - 13);
  EXPECT_EQ(PhiToX(l, -90), l.plot.left);
  EXPECT_EQ(PhiToX(l, 90), l.plot.left + l.plot.width);
  EXPECT_EQ(PhiToX(l, 0), l.plot.left + l.plot.width / 2.0);
  const RfAxis log = MakeRfAxis(8, RfScale::kLogarithmic);  // 1 .. 10
  EXPECT_EQ(RfToY(l, log, 1), l.plot.top + l.plot.height);
  EXPECT_DOUBLE_EQ(RfToY(l, log, 10), l.plot.top);
  EXPECT_NEAR(RfToY(l, log, std::sqrt(10.0)), l.plot.top + l.plot.height / 2.0,
              1e-9);
  const RfAxis lin = MakeRfAxis(4, RfScale::kLinear);  // 1 .. 5
  EXPECT_DOUBLE_EQ(RfToY(l, lin, 3), l.plot.top + l.plot.height / 2.0);
  // Far outside stays finite.
  EXPECT_GT(RfToY(l, log, 0), l.plot.top + l.plot.height);
  EXPECT_LT(RfToY(l, log, 1e300), l.plot.top);
  EXPECT_EQ(PlaceShape(l, log, {10, 90}),
            (Pixel{l.plot.left + l.plot.width, l.plot.top}));
}

// The plot's mapping places every shape on PlaceShape's pixel, its exact
// place within half a pixel of that pixel's centre, off the frame too.
TEST(RfPhiLayout, TheMappingPlacesShapesAsPlaceShape) {
  const RfPhiLayout l = LayOutRfPhiPlot(
      640, 362, LayOutLegend(640, {60}, 13, 10), PlotTextMetrics{});
  std::vector<RfPhiPoint> shapes;
  for (int i = 0; i < 20000; ++i) {
    shapes.push_back({1.0f + static_cast<float>(i % 1000) * 0.0137f,
                      -90.0f + static_cast<float>(i % 1801) * 0.1f});
  }
  shapes.push_back({0.0f, 45.0f});
  shapes.push_back({1e30f, -90.0f});
  shapes.push_back({0.5f, 89.99f});
  for (const RfScale scale : {RfScale::kLogarithmic, RfScale::kLinear}) {
    const RfAxis axis = MakeRfAxis(11, scale);
    const PlotMapping mapping = PlotMapping::RfPhi(l, axis);
    for (const RfPhiPoint& p : shapes) {
      const Pixel at = mapping.Snapped(p.phi, p.ratio);
      ASSERT_EQ(at, PlaceShape(l, axis, p)) << p.ratio << " " << p.phi;
      const PlotPosition exact = mapping.Exact(p.phi, p.ratio);
      ASSERT_LE(std::abs(exact.x - (at.x + 0.5)), 0.5);
      ASSERT_LE(std::abs(exact.y - (at.y + 0.5)), 0.5);
    }
  }
}

TEST(RfPhiLayout, NarrowPictureGoesBelowTheLegend) {
  const LegendLayout legend = LayOutLegend(200, {90, 90}, 13, 10, true);
  const RfPhiLayout l = LayOutRfPhiPlot(200, 600, legend, PlotTextMetrics{});
  EXPECT_GT(l.plot.top, legend.box.top + legend.box.height);
  EXPECT_GT(l.plot.width, 100);
}

TEST(RfPhiPlot, ShowsAnAnalysisAndItsCurves) {
  AnalysisState s = StateOf({{3, 1, 135}, {2, 1, 20}, {4, 1, -95}, {3, 1, 40}});
  RunAnalysis(s);
  RfPhiPlot plot;
  plot.ShowAnalysis(s, AnalysisResult::kFewerThanFive);
  ASSERT_EQ(plot.measured.Count(), 4u);
  // Orientations are shown in (-90, 90].
  EXPECT_FLOAT_EQ(plot.measured.Points()[0].phi, -45.0f);
  EXPECT_FLOAT_EQ(plot.measured.Points()[2].phi, 85.0f);
  EXPECT_EQ(plot.measured.Points()[0].ratio, 3.0f);
  ASSERT_EQ(plot.retrodeformed.Count(), 4u);
  EXPECT_EQ(plot.retrodeformed.Points()[3].ratio, s.retrodeformed[4].ratio);
  ASSERT_EQ(plot.optimal.Count(), 1u);
  EXPECT_EQ(plot.optimal.Points()[0].ratio, s.strain.ratio);
  ASSERT_EQ(plot.ThetaCurves().size(), 5u);
  EXPECT_EQ(plot.ThetaCurves()[2].initial_ratio, 2.0f);

  plot.SetThetaCurveRatios({1.0f, 7.0f});
  ASSERT_EQ(plot.ThetaCurves().size(), 2u);
  EXPECT_EQ(plot.ThetaCurves()[0].pieces.size(), 1u);

  // The axis fits what is shown.
  const double largest = plot.LargestShownRatio();
  EXPECT_GE(largest, 4.0);
  plot.SetShowRetrodeformed(false);
  EXPECT_EQ(plot.LargestShownRatio(), 4.0);
  EXPECT_EQ(plot.Axis().maximum, 5);

  EXPECT_FALSE(plot.measured_highlight.Active());
  plot.Highlight(s, 1);
  ASSERT_TRUE(plot.measured_highlight.Active());
  EXPECT_EQ(plot.measured_highlight.Points().at(0), (RfPhiPoint{3.0f, -45.0f}));
  EXPECT_EQ(plot.retrodeformed_highlight.Points().at(0).ratio,
            s.retrodeformed[1].ratio);
  plot.Highlight(s, 5);  // no such datum: nothing changes
  EXPECT_EQ(plot.measured_highlight.Points().at(0).ratio, 3.0f);
  plot.ShowAnalysis(s, AnalysisResult::kFewerThanFive);
  EXPECT_FALSE(plot.measured_highlight.Active());
  EXPECT_FALSE(plot.retrodeformed_highlight.Active());

  plot.ShowAnalysis(AnalysisState(), AnalysisResult::kNoData);
  EXPECT_EQ(plot.measured.Count(), 0u);
  EXPECT_TRUE(plot.ThetaCurves().empty());
  EXPECT_FALSE(plot.HasStrain());
  plot.SetThetaCurveRatios({2.0f});
  EXPECT_TRUE(plot.ThetaCurves().empty());  // no strain, no curves
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "core/strain.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::Ellipse;
using testing_support::StateOf;

AnalysisState Analysed(const std::vector<Ellipse>& data,
                       Report* out = nullptr) {
  AnalysisState s = StateOf(data);
  Report report;
  WriteAnalysisReport(s, RunAnalysis(s), report, ".");
  if (out) *out = report;
  return s;
}

TEST(OptimalStrain, SingleEllipseIsItsOwnStrain) {
  const AnalysisState s = Analysed({{3, 1, 20}});
  EXPECT_NEAR(s.strain.ratio, 3.0f, 1e-5f);
  EXPECT_NEAR(s.strain.phi, 20.0f, 1e-4f);
  EXPECT_EQ(s.strain.major, 0.0f);
  EXPECT_EQ(s.strain.minor, 0.0f);
  // Undoing the strain turns the ellipse into a circle.
  EXPECT_NEAR(s.retrodeformed[1].ratio, 1.0f, 1e-5f);
  EXPECT_NEAR(s.retrodeformed[1].zeta, 0.0f, 1e-5f);
  EXPECT_EQ(s.retrodeformed[1].major, 0.0f);
}

TEST(OptimalStrain, PerpendicularPairCancels) {
  const AnalysisState s = Analysed({{2, 1, 10}, {2, 1, 100}});
  EXPECT_NEAR(s.strain.ratio, 1.0f, 1e-5f);
  EXPECT_NEAR(s.strain.zeta, 0.0f, 1e-5f);
}

TEST(OptimalStrain, OrientationsStraddlingNinetyAverageNearNinety) {
  const AnalysisState s = Analysed({{2, 1, 89}, {2, 1, -89}});
  EXPECT_NEAR(std::fabs(s.strain.phi), 90.0f, 1e-3f);
  EXPECT_GT(s.strain.ratio, 1.9f);
}

TEST(OptimalStrain, RecoversTheStrainOfSymmetricMarkers) {
  // Markers of ratio 1.8 in orientations symmetric about 0 (a set whose
  // vector mean is the origin), deformed by a known strain: the analysis
  // must return that strain and retrodeform every marker back to R = 1.8.
  const float rho_s = std::log(2.5f);
  const float psi_s = static_cast<float>(2 * 35.0L * kRadPerDeg);
  AnalysisState strain;
  strain.strain.rho = rho_s;
  strain.strain.psi = psi_s;
  BuildStrainMatrices(strain);

  std::vector<Ellipse> data;
  for (int k = 0; k < 12; ++k) {
    const float psi = static_cast<float>(k * 30 * kRadPerDeg);
    MarkerRecord p;
    p.vector =
        MatVec(strain.pre_to_post, HyperbolicVector(std::log(1.8f), psi));
    DeriveFromVector(p);
    data.push_back({p.ratio, 1.0f, p.phi});
  }
  const AnalysisState s = Analysed(data);
  EXPECT_NEAR(s.strain.ratio, 2.5f, 1e-4f);
  EXPECT_NEAR(s.strain.phi, 35.0f, 1e-3f);
  for (int i = 1; i <= s.count; ++i)
    EXPECT_NEAR(s.retrodeformed[i].ratio, 1.8f, 1e-4f) << i;
}

TEST(OptimalStrain, DataOfOneStrainFromCirclesCollapse) {
  const AnalysisState s = Analysed({{4, 1, 30}, {4, 1, 30}, {4, 1, 30}});
  for (int i = 1; i <= 3; ++i)
    EXPECT_NEAR(s.retrodeformed[i].ratio, 1.0f, 1e-5f);
}

TEST(StrainMatrices, InverseAndDeterminant) {
  const AnalysisState s = Analysed({{3, 2, 30}, {4, 2, 45}, {5, 1, -10}});
  EXPECT_NEAR(MatDet(s.pre_to_post), 1.0f, 1e-5f);
  const MinkowskiMatrix p = MatMul(s.pre_to_post, s.post_to_pre);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(p[i][j], i == j, 1e-6f);
  }
  // The strain maps the origin onto the optimal strain.
  const MinkowskiVector o = MatVec(s.pre_to_post, {1, 0, 0});
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(o[c], s.strain.vector[c], 1e-6f);
}

TEST(StrainReport, BlockLayout) {
  Report report;
  Analysed({{3, 2, 30}, {4, 2, 45}, {5, 1, -10}}, &report);
  const std::vector<std::string> expected = {
      "",
      "*** Optimal Strain ***",
      "  R_s    = 1.739",
      "  phi_s  = 3.357",
      "  rho_s  = 0.553",
      "  zeta_s = 0.560",
      "  psi_s  = 6.714",
  };
  EXPECT_EQ(report.Lines(), expected);
}

TEST(MaxRatio, OverBothDatasets) {
  AnalysisState s = StateOf({{3, 1, 0}, {2, 1, 0}});
  EXPECT_EQ(MaxAxialRatio(s), 3.0f);
  s.retrodeformed[2].ratio = 7.5f;
  EXPECT_EQ(MaxAxialRatio(s), 7.5f);
  EXPECT_EQ(MaxAxialRatio(StateOf({})), 0.0f);
}

TEST(Analysis, NoDataComputesNothing) {
  AnalysisState s;
  EXPECT_EQ(RunAnalysis(s), AnalysisResult::kNoData);
  Report report;
  WriteAnalysisReport(s, AnalysisResult::kNoData, report, ".");
  EXPECT_TRUE(report.Lines().empty());
  EXPECT_EQ(s.outcome, ConfidenceOutcome::kNotRun);
}

TEST(Analysis, LargestRatioCoversBothDatasets) {
  AnalysisState s = StateOf({{4, 1, 0}, {2, 1, 60}});
  EXPECT_EQ(RunAnalysis(s), AnalysisResult::kFewerThanFive);
  EXPECT_EQ(s.largest_ratio, MaxAxialRatio(s));
}

TEST(Analysis, WarnsOfAccuracyAboveRatiosOfOneHundred) {
  AnalysisState at_limit = StateOf({{100, 1, 30}, {90, 1, 31}});
  RunAnalysis(at_limit);
  EXPECT_TRUE(AnalysisWarnings(at_limit, ".").empty());
  AnalysisState above = StateOf({{100.5f, 1, 30}, {90, 1, 31}});
  RunAnalysis(above);
  EXPECT_EQ(AnalysisWarnings(above, "."),
            std::vector<std::string>{
                "Axial ratios up to 100.50: above 100 the single-precision "
                "storage of the analysis can put R_s and its limits off by up "
                "to 0.2 %."});
  AnalysisState large = StateOf({{999, 1, 30}, {998, 1, 30.2f}});
  RunAnalysis(large);
  const auto warnings = AnalysisWarnings(large, ",");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("up to 999,00:"), std::string::npos);
  EXPECT_NE(warnings[0].find("up to 2,5 %"), std::string::npos);
  // No data, no warning.
  EXPECT_TRUE(AnalysisWarnings(AnalysisState(), ".").empty());
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "core/bootstrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/double_paths.h"
#include "core/strain.h"
#include "support/resample_definition.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::Ellipse;
using testing_support::ExpectSolutionsFollowTheDefinition;
using testing_support::StateOf;

TEST(Generator, FirstStatesFromSeedOne) {
  RandomGenerator g;
  EXPECT_EQ(g.State(), 0u);
  g.Seed(1);
  EXPECT_EQ(g.Next(), 134775814u);
  EXPECT_EQ(g.Next(), 3698175007u);
  EXPECT_EQ(g.Next(), 870078620u);
}

TEST(Generator, IndexIsTheExactCeiling) {
  // ceil(u * n) with u = s / 2^32, evaluated exactly in extended precision.
  for (std::uint32_t n : {1u, 5u, 7u, 1000u, 21474836u, 2147483647u}) {
    RandomGenerator g, h;
    g.Seed(12345);
    h.Seed(12345);
    for (int k = 0; k < 2000; ++k) {
      const long double u = h.Next() / 4294967296.0L;
      const auto expected = static_cast<std::uint32_t>(std::ceil(u * n));
      ASSERT_EQ(g.NextIndex(n), expected) << n;
    }
  }
  // Only the state 0 gives the index 0: it follows the state -1/a mod 2^32.
  std::uint32_t inverse = 1;  // of the multiplier, mod 2^32 (Newton)
  for (int k = 0; k < 5; ++k) inverse *= 2u - 134775813u * inverse;
  ASSERT_EQ(inverse * 134775813u, 1u);
  RandomGenerator before_zero;
  before_zero.Seed(0xFFFFFFFFu * inverse);
  EXPECT_EQ(before_zero.NextIndex(10), 0u);
  EXPECT_EQ(before_zero.State(), 0u);
  EXPECT_EQ(before_zero.NextIndex(10), 1u);
}

// The resamples whose draws are a permutation of 1..n.
std::vector<int> PermutationResamples(std::uint32_t n) {
  RandomGenerator g;
  g.Seed(1);
  std::vector<int> found;
  for (int k = 1; k <= kBootstrapResamples; ++k) {
    std::vector<std::uint32_t> draws(n);
    for (auto& d : draws) d = g.NextIndex(n);
    std::sort(draws.begin(), draws.end());
    std::vector<std::uint32_t> all(n);
    std::iota(all.begin(), all.end(), 1u);
    if (draws == all) found.push_back(k);
  }
  return found;
}

TEST(Resamples, PermutationsOfTheData) {
  const std::vector<int> five = PermutationResamples(5);
  EXPECT_EQ(five.size(), 13u);
  for (int k : {40, 41, 43}) {
    EXPECT_NE(std::find(five.begin(), five.end(), k), five.end()) << k;
  }
  EXPECT_EQ(PermutationResamples(6).size(), 4u);
  EXPECT_EQ(PermutationResamples(7).size(), 2u);
  EXPECT_EQ(PermutationResamples(8).size(), 2u);
  for (std::uint32_t n = 9; n <= 12; ++n) {
    EXPECT_TRUE(PermutationResamples(n).empty()) << n;
  }
}

AnalysisState Analysed(const std::vector<Ellipse>& data, Report& report) {
  AnalysisState s = StateOf(data);
  WriteAnalysisReport(s, RunAnalysis(s), report, ".");
  return s;
}

const std::vector<Ellipse> kFive = {
    {2.1f, 1, 12}, {1.7f, 1, 40}, {3.2f, 1, 25}, {1.4f, 1, -5}, {2.6f, 1, 33}};

TEST(Resamples, PermutationReproducesTheOptimalStrain) {
  Report report;
  const AnalysisState s = Analysed(kFive, report);
  for (int k : PermutationResamples(5)) {
    EXPECT_EQ(s.solutions[k].vector, s.strain.vector) << k;
    // Its distance is that of the strain to itself: 0, or a rounding
    // error of the arcosh argument above 1.
    EXPECT_EQ(s.solutions[k].distance,
              HyperbolicDistance(s.strain.vector, s.strain.vector))
        << k;
  }
  // Such solutions sort to the front.
  ASSERT_EQ(s.kept.size(), 190u);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(s.kept[i].vector, s.strain.vector);
  EXPECT_NE(s.kept[13].vector, s.strain.vector);
}

TEST(Resamples, StoredVectorsEqualTheResampleEvaluation) {
  Report report;
  const AnalysisState s = Analysed(kFive, report);
  for (int i = 1; i <= s.count; ++i) {
    EXPECT_EQ(s.measured[i].vector,
              HyperbolicVector(s.measured[i].rho, s.measured[i].psi));
  }
  for (int k = 1; k <= kBootstrapResamples; ++k) {
    EXPECT_EQ(s.solutions[k].rho, 0.0f);
    EXPECT_EQ(s.solutions[k].psi, 0.0f);
    EXPECT_EQ(s.solutions[k].distance,
              HyperbolicDistance(s.solutions[k].vector, s.strain.vector));
  }
}

// The analysis' solutions, and those of a bootstrap with the points laid
// out either way in memory, are the definition's.
void ExpectEveryLayoutFollowsTheDefinition(const AnalysisState& analysed) {
  ExpectSolutionsFollowTheDefinition(analysed);
  for (GatherLayout layout : {GatherLayout::kPacked, GatherLayout::kLined}) {
    AnalysisState s = analysed;
    s.solutions.assign(s.solutions.size(), {});
    ASSERT_TRUE(RunBootstrap(s, nullptr, layout));
    ExpectSolutionsFollowTheDefinition(s);
  }
}

// 150,000 ratios up to 1000 in every orientation, some on the axes (where
// components are tiny and the sums round): the analysis shares its stages
// among threads, and every figure must be that of a serial evaluation.
TEST(Resamples, ParallelRunEqualsTheSerialEvaluation) {
  std::vector<Ellipse> data;
  std::uint32_t x = 7;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / 16777216.0;
  };
  for (int i = 0; i < 150000; ++i) {
    const double ratio = i % 3 == 0 ? 1 + 999 * next() * next() : 1 + next();
    double phi = 180 * next() - 90;
    if (i % 5 == 0) phi = 45.0 * (i % 9) - 180;  // on and between the axes
    data.push_back({static_cast<float>(ratio), 1, static_cast<float>(phi)});
  }
  Report report;
  const AnalysisState s = Analysed(data, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kLimits);
  for (int i = 1; i <= s.count; ++i) {
    const MarkerRecord& m = s.measured[i];
    ASSERT_EQ(m.rho,
              static_cast<float>(std::log(static_cast<long double>(m.ratio))))
        << i;
    ASSERT_EQ(m.vector, HyperbolicVectorExtended(m.rho, m.psi)) << i;
    const MarkerRecord& r = s.retrodeformed[i];
    const MinkowskiVector pre = MatVec(s.post_to_pre, m.vector);
    ASSERT_EQ(r.vector, pre) << i;
    const PolarCoordinates polar = VectorToPolarExtended(pre);
    ASSERT_EQ(r.rho, polar.rho) << i;
    ASSERT_EQ(r.psi, polar.psi) << i;
    ASSERT_EQ(r.zeta, ZetaOfRhoExtended(polar.rho)) << i;
    ASSERT_EQ(r.ratio, RatioOfRhoExtended(polar.rho)) << i;
  }
  ExpectEveryLayoutFollowsTheDefinition(s);
}

// Fewer data than the draws fetched ahead, and counts around them.
TEST(Resamples, SmallDataFollowTheDefinition) {
  for (int n : {5, 6, 7, 8, 9, 16, 17, 23, 24, 25, 26, 100}) {
    std::vector<Ellipse> data;
    for (int i = 0; i < n; ++i) {
      data.push_back({1.1f + 0.37f * static_cast<float>(i % 7), 1,
                      static_cast<float>(i * 29 % 180) - 90});
    }
    Report report;
    ExpectEveryLayoutFollowsTheDefinition(Analysed(data, report));
  }
}

std::vector<std::string> Tail(const Report& r, std::size_t from) {
  return {r.Lines().begin() + static_cast<std::ptrdiff_t>(from),
          r.Lines().end()};
}

TEST(Confidence, FiveCirclesAreTheNullStrain) {
  Report report;
  const AnalysisState s = Analysed(
      {{1, 1, 0}, {2, 2, 10}, {3, 3, 20}, {1, 1, 30}, {5, 5, 40}}, report);
  EXPECT_EQ(s.strain.zeta, 0.0f);
  EXPECT_EQ(s.outcome, ConfidenceOutcome::kNullStrain);
  // The optimal-strain block (7 lines after the data) and then one line.
  EXPECT_EQ(Tail(report, 7), (std::vector<std::string>{"Null strain."}));
  EXPECT_TRUE(s.kept.empty());
  EXPECT_EQ(LimitsSummary(s, "."), "");
}

class FourCirclesAndAnEllipse : public ::testing::TestWithParam<int> {};

TEST_P(FourCirclesAndAnEllipse, OrientationRangeIsTheWholeCircle) {
  std::vector<Ellipse> data(5, Ellipse{1.5f, 1.5f, 0});
  data[static_cast<std::size_t>(GetParam())] = {3.0f, 1.0f, 30.0f};
  Report report;
  const AnalysisState s = Analysed(data, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kLimits);

  int at_origin = 0;
  for (int k = 1; k <= kBootstrapResamples; ++k) {
    at_origin += s.solutions[k].vector == MinkowskiVector{1, 0, 0};
  }
  EXPECT_GE(at_origin, 60);
  EXPECT_LE(at_origin, 68);
  int kept_at_origin = 0;
  for (const auto& b : s.kept) kept_at_origin += b.rho == 0;
  EXPECT_GE(kept_at_origin, 50);

  // The optimal-strain block (7 lines), then the confidence block.
  const auto& lines = report.Lines();
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[12], "  phi_s = 30.000 +180.000/-180.000");
  EXPECT_EQ(lines[13], "      min = -150.000");
  EXPECT_EQ(lines[14], "      max = 210.000");
}

INSTANTIATE_TEST_SUITE_P(EllipseInEveryPlace, FourCirclesAndAnEllipse,
                         ::testing::Values(0, 1, 2, 3, 4));

// Parses the number after `marker` in `line`.
double After(const std::string& line, const std::string& marker) {
  return std::stod(line.substr(line.find(marker) + marker.size()));
}

TEST(Confidence, LimitsAreConsistent) {
  std::vector<Ellipse> data;
  for (int i = 0; i < 40; ++i) {
    data.push_back({2.0f + 0.05f * static_cast<float>(i % 7), 1.0f,
                    20.0f + 3.0f * static_cast<float>((i * 5) % 11)});
  }
  Report report;
  const AnalysisState s = Analysed(data, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kLimits);
  const auto& l = report.Lines();
  ASSERT_EQ(l.size(), 15u);
  EXPECT_EQ(l[7], "");
  EXPECT_EQ(l[8], "** 95% Confidence Limits **");
  const double r_s = After(l[9], "R_s = ");
  EXPECT_NEAR(r_s + After(l[9], " +"), After(l[11], "max = "), 0.0011);
  EXPECT_NEAR(r_s - After(l[9], "/-"), After(l[10], "min = "), 0.0011);
  const double phi_s = After(l[12], "phi_s = ");
  EXPECT_NEAR(phi_s + After(l[12], " +"), After(l[14], "max = "), 0.0011);
  EXPECT_NEAR(phi_s + After(l[12], "/"), After(l[13], "min = "), 0.0011);
  EXPECT_EQ(LimitsSummary(s, "."), l[9] + "  " + l[12]);
  EXPECT_NE(LimitsSummary(s, ".").find("    phi_s"), std::string::npos);

  // The 190 nearest, nearest first.
  ASSERT_EQ(s.kept.size(), 190u);
  EXPECT_TRUE(std::is_sorted(
      s.kept.begin(), s.kept.end(),
      [](const auto& a, const auto& b) { return a.distance < b.distance; }));

  // A second run on the same data gives the same figures.
  Report again;
  const AnalysisState t = Analysed(data, again);
  EXPECT_EQ(again.Lines(), report.Lines());
  EXPECT_EQ(LimitsSummary(t, "."), LimitsSummary(s, "."));
}

TEST(Confidence, RegionAroundTheOriginWritesNoLimits) {
  // Nearly isotropic markers: a weak optimal strain whose bootstrap cloud
  // lies on all sides of the origin.
  std::vector<Ellipse> data;
  for (int i = 0; i < 24; ++i) {
    data.push_back(
        {2.0f + (i == 0 ? 0.2f : 0.0f), 1.0f, 7.5f * static_cast<float>(i)});
  }
  Report report;
  const AnalysisState s = Analysed(data, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kSurroundsOrigin);
  EXPECT_EQ(
      Tail(report, 7),
      (std::vector<std::string>{"Confidence region surrounds the origin."}));
  EXPECT_EQ(s.kept.size(), 190u);
  EXPECT_EQ(LimitsSummary(s, "."), "");
}

TEST(Sort, AscendingByDistance) {
  std::vector<BootstrapSolution> list;
  RandomGenerator g;
  g.Seed(7);
  for (int i = 0; i < 200; ++i) {
    BootstrapSolution b;
    b.distance = static_cast<float>(g.Next() % 50) / 10.0f;
    b.rho = static_cast<float>(i);
    list.push_back(b);
  }
  SortByDistance(list);
  EXPECT_TRUE(std::is_sorted(
      list.begin(), list.end(),
      [](const auto& a, const auto& b) { return a.distance < b.distance; }));
}

TEST(Sort, EqualDistancesFollowThePartition) {
  // Two equal keys: the partition swaps them (it stops on keys equal to the
  // pivot), so the list sort is not stable.
  std::vector<BootstrapSolution> two(2);
  two[0].distance = two[1].distance = 1.0f;
  two[0].rho = 1;
  two[1].rho = 2;
  SortByDistance(two);
  EXPECT_EQ(two[0].rho, 2);
  EXPECT_EQ(two[1].rho, 1);

  std::vector<BootstrapSolution> three(3);
  const float d[] = {2, 1, 2};
  for (int i = 0; i < 3; ++i) {
    three[i].distance = d[i];
    three[i].rho = static_cast<float>(i);
  }
  SortByDistance(three);
  EXPECT_EQ(three[0].rho, 1);
  EXPECT_EQ(three[1].rho, 2);
  EXPECT_EQ(three[2].rho, 0);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The estimators beside the hyperbolic vector mean, on small sets whose
// figures are known by hand, and the chi-square test of theta on sets built
// uniform and not.
#include "core/methods.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/hyperbolic.h"
#include "core/report.h"
#include "support/test_data.h"

// This suite's allocations: with a limit set, any larger request fails as
// a full memory would. (GCC takes the free() of memory from this
// replacement new for a mismatch.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
std::size_t g_largest_allocation = 0;  // 0: no limit

void* operator new(std::size_t size) {
  if (g_largest_allocation != 0 && size > g_largest_allocation) {
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace orvane {
namespace {

using testing_support::Ellipse;
using testing_support::StateOf;

// A state of markers with ratios `ratio` and orientations `phi`, and
// retrodeformed orientations `theta` (all zero when not given).
AnalysisState Markers(const std::vector<float>& ratio,
                      const std::vector<float>& phi,
                      const std::vector<float>& theta = {}) {
  std::vector<Ellipse> data;
  for (std::size_t i = 0; i < ratio.size(); ++i) {
    data.push_back({ratio[i], 1.0f, phi[i]});
  }
  AnalysisState s = StateOf(data);
  for (std::size_t i = 0; i < theta.size(); ++i) {
    s.retrodeformed[i + 1].phi = theta[i];
  }
  return s;
}

// n markers of ratio 2 whose theta are `theta`.
AnalysisState WithTheta(const std::vector<float>& theta) {
  return Markers(std::vector<float>(theta.size(), 2.0f),
                 std::vector<float>(theta.size(), 0.0f), theta);
}

TEST(Methods, AxialMeanOfPhiDoublesTheAngles) {
  MethodsSummary m = ComputeMethods(Markers({2, 2, 2}, {10, 20, 30}));
  ASSERT_TRUE(m.axial_defined);
  EXPECT_NEAR(m.axial_phi, 20.0f, 1e-5f);
  // |sum| = 1 + 2 cos 20 degrees, over 3.
  EXPECT_NEAR(m.axial_resultant_length, (1 + 2 * std::cos(20 * M_PI / 180)) / 3,
              1e-6);
  // Orientations either side of +-90 average to 90, not to 0.
  m = ComputeMethods(Markers({2, 2}, {89, -89}));
  ASSERT_TRUE(m.axial_defined);
  EXPECT_NEAR(std::fabs(m.axial_phi), 90.0f, 1e-4f);
  // phi given beyond a half turn is the same axis.
  m = ComputeMethods(Markers({2, 2}, {1030, -50}));
  EXPECT_NEAR(m.axial_phi, -50.0f, 1e-4f);
  EXPECT_NEAR(m.axial_resultant_length, 1.0f, 1e-6f);
  // Axes at right angles cancel: no direction.
  m = ComputeMethods(Markers({2, 3}, {0, 90}));
  EXPECT_FALSE(m.axial_defined);
  EXPECT_LT(m.axial_resultant_length, 1e-9f);
}

TEST(Methods, SineAndCosineOfDegrees) {
  // Whole quarter turns are exact.
  for (const int q :
       {-720, -450, -360, -270, -180, -90, 0, 90, 180, 270, 360, 450, 1080}) {
    const SineCosine sc = SineCosineOfDegrees(q);
    const int k = ((q / 90) % 4 + 4) % 4;
    EXPECT_EQ(sc.sine, (k == 1) - (k == 3)) << q;
    EXPECT_EQ(sc.cosine, (k == 0) - (k == 2)) << q;
  }
  EXPECT_EQ(SineCosineOfDegrees(30).sine, 0.5L);
  // Elsewhere within a few units of the last place of the library's
  // extended functions (whose own reduction of large angles is inexact).
  for (float deg = -720; deg <= 720; deg += 0.37f) {
    const long double x = static_cast<long double>(deg) * kRadPerDeg;
    const SineCosine sc = SineCosineOfDegrees(deg);
    EXPECT_LE(std::fabs(sc.sine - std::sin(x)), 1e-18L) << deg;
    EXPECT_LE(std::fabs(sc.cosine - std::cos(x)), 1e-18L) << deg;
  }
  EXPECT_TRUE(std::isnan(SineCosineOfDegrees(NAN).sine));
}

TEST(Methods, HarmonicMeanOfRf) {
  const MethodsSummary m = ComputeMethods(Markers({1, 2, 4}, {0, 0, 0}));
  EXPECT_FLOAT_EQ(m.harmonic_ratio, 12.0f / 7.0f);  // 3 / (1 + 1/2 + 1/4)
  EXPECT_FLOAT_EQ(m.ratio_min, 1.0f);
  EXPECT_FLOAT_EQ(m.ratio_max, 4.0f);
}

TEST(Methods, FluctuationIsTheSmallestArcHoldingEveryPhi) {
  EXPECT_FLOAT_EQ(Fluctuation({}), 0.0f);
  EXPECT_FLOAT_EQ(Fluctuation({33}), 0.0f);
  EXPECT_FLOAT_EQ(Fluctuation({12, 12, 12}), 0.0f);
  EXPECT_FLOAT_EQ(Fluctuation({10, 20, 50}), 40.0f);
  // Modulo 180: across +-90, and 170 is -10.
  EXPECT_FLOAT_EQ(Fluctuation({85, -85}), 10.0f);
  EXPECT_FLOAT_EQ(Fluctuation({170, 10}), 20.0f);
  EXPECT_FLOAT_EQ(Fluctuation({-50, 1030}), 0.0f);
  EXPECT_FLOAT_EQ(Fluctuation({90, -90, 270}), 0.0f);
  // Three axes 60 degrees apart leave gaps of 60: F = 120.
  EXPECT_FLOAT_EQ(Fluctuation({0, 60, 120}), 120.0f);
  EXPECT_FLOAT_EQ(Fluctuation({0, 90}), 90.0f);
}

TEST(Methods, RamsayFromTheExtremeRatios) {
  // F = 40 < 90: R_s = sqrt(4 * 1.21) = 2.2, R_i = sqrt(4 / 1.21) = 2/1.1.
  MethodsSummary m = ComputeMethods(Markers({4, 1.5f, 1.21f}, {10, 20, 50}));
  EXPECT_FLOAT_EQ(m.fluctuation, 40.0f);
  EXPECT_TRUE(m.fluctuation_below_90);
  EXPECT_FLOAT_EQ(m.ramsay_strain_ratio, 2.2f);
  EXPECT_FLOAT_EQ(m.ramsay_initial_ratio, 2.0f / 1.1f);
  // F = 120: the formulas exchange.
  m = ComputeMethods(Markers({4, 1.5f, 1.21f}, {0, 60, 120}));
  EXPECT_FLOAT_EQ(m.fluctuation, 120.0f);
  EXPECT_FALSE(m.fluctuation_below_90);
  EXPECT_FLOAT_EQ(m.ramsay_strain_ratio, 2.0f / 1.1f);
  EXPECT_FLOAT_EQ(m.ramsay_initial_ratio, 2.2f);
  // F of exactly 90 is not below 90.
  m = ComputeMethods(Markers({4, 1}, {0, 90}));
  EXPECT_FLOAT_EQ(m.fluctuation, 90.0f);
  EXPECT_FLOAT_EQ(m.ramsay_strain_ratio, 2.0f);
  // One marker: F = 0, R_s is its ratio and R_i is 1.
  m = ComputeMethods(Markers({3}, {25}));
  EXPECT_FLOAT_EQ(m.fluctuation, 0.0f);
  EXPECT_FLOAT_EQ(m.ramsay_strain_ratio, 3.0f);
  EXPECT_FLOAT_EQ(m.ramsay_initial_ratio, 1.0f);
}

TEST(Methods, ChiSquareCriticalValuesAndTheGammaFunction) {
  // EXPECT_NEAR compares in double: the long double values are rounded.
  auto critical = [](int df) {
    return static_cast<double>(ChiSquareCritical95(df));
  };
  EXPECT_NEAR(critical(1), 3.841459, 5e-7);
  EXPECT_NEAR(critical(2), 5.991465, 5e-7);
  EXPECT_NEAR(critical(17), 27.587112, 5e-7);
  EXPECT_NEAR(critical(5), 11.070498, 5e-7);
  EXPECT_NEAR(critical(100), 124.342113, 5e-6);
  // df 2: P(1, x/2) = 1 - e^(-x/2), so the point is -2 ln 0.05 exactly.
  EXPECT_NEAR(critical(2), static_cast<double>(-2 * std::log(0.05L)), 1e-15);
  // P(1, x) = 1 - e^-x on both sides of the series' range.
  for (const long double x : {0.5L, 2.5L, 10.0L}) {
    EXPECT_NEAR(static_cast<double>(RegularisedLowerGamma(1, x, 0)),
                static_cast<double>(1 - std::exp(-x)), 1e-17);
  }
  EXPECT_EQ(RegularisedLowerGamma(3, 0, std::log(2.0L)), 0);
}

TEST(Methods, ChiSquareOfThetaOnUniformAndClusteredSets) {
  // 180 theta, one at the middle of each degree: ten in each of the 18
  // classes, chi-square 0.
  std::vector<float> theta;
  for (int i = 0; i < 180; ++i) theta.push_back(-89.5f + static_cast<float>(i));
  UniformityTest u = ComputeMethods(WithTheta(theta)).uniformity;
  ASSERT_TRUE(u.made());
  EXPECT_EQ(u.classes, 18);
  EXPECT_EQ(u.degrees_of_freedom, 17);
  EXPECT_FLOAT_EQ(u.chi_square, 0.0f);
  EXPECT_NEAR(u.critical_value, 27.587112f, 1e-5f);
  EXPECT_TRUE(u.uniform);

  // All 180 within one class: (180 - 10)^2 / 10 + 17 * 10 = 3060.
  std::vector<float> clustered(180, 4.5f);
  u = ComputeMethods(WithTheta(clustered)).uniformity;
  EXPECT_FLOAT_EQ(u.chi_square, 3060.0f);
  EXPECT_FALSE(u.uniform);

  // Ten data: two classes expecting five each; 8 and 2 give
  // chi-square 3.6 <= 3.841 (uniform), 9 and 1 give 6.4 (not).
  u = ComputeMethods(WithTheta({-45, -45, 1, 2, 3, 4, 5, 6, 7, 8})).uniformity;
  EXPECT_EQ(u.classes, 2);
  EXPECT_EQ(u.degrees_of_freedom, 1);
  EXPECT_FLOAT_EQ(u.chi_square, 3.6f);
  EXPECT_TRUE(u.uniform);
  u = ComputeMethods(WithTheta({-45, 1, 2, 3, 4, 5, 6, 7, 8, 9})).uniformity;
  EXPECT_FLOAT_EQ(u.chi_square, 6.4f);
  EXPECT_FALSE(u.uniform);
}

// Theta is measured from the strain's long axis: turning every marker of a
// sample by the same angle turns the strain and the retrodeformed markers
// with it, and leaves chi-square and its verdict as they were. 252 markers
// of whole-degree orientations, turned by whole degrees, so that the turned
// data are exact.
TEST(Methods, ChiSquareOfThetaTurnsWithTheSample) {
  std::uint32_t x = 11;
  auto next = [&x] {
    x = x * 1664525u + 1013904223u;
    return (x >> 8) / 16777216.0;
  };
  std::vector<float> ratio, phi;
  for (int i = 0; i < 252; ++i) {
    ratio.push_back(static_cast<float>(1.2 + 2.0 * next()));
    // Clustered about 25 degrees, as a strained sample's are.
    phi.push_back(static_cast<float>(std::lround(25 + 60 * (next() - 0.5))));
  }
  auto chi_square_turned = [&](int angle) {
    std::vector<float> turned;
    for (const float p : phi) {
      float t = p + static_cast<float>(angle);
      while (t > 90) t -= 180;
      while (t <= -90) t += 180;
      turned.push_back(t);
    }
    AnalysisState s = Markers(ratio, turned);
    RunAnalysis(s);
    return ComputeMethods(s).uniformity;
  };
  const UniformityTest unturned = chi_square_turned(0);
  ASSERT_TRUE(unturned.made());
  for (int angle : {1, 3, 7, 10, 45, 90, -64, 179}) {
    const UniformityTest u = chi_square_turned(angle);
    EXPECT_EQ(u.chi_square, unturned.chi_square) << angle;
    EXPECT_EQ(u.classes, unturned.classes) << angle;
    EXPECT_EQ(u.uniform, unturned.uniform) << angle;
  }
}

TEST(Methods, ThetaClassesAndTooFewData) {
  // A theta on a bound falls into the class above it; 90 is -90. With 36
  // data: 7 classes of 180/7 degrees, 36/7 expected in each.
  std::vector<float> theta(36, 0.0f);
  theta[0] = 90;   // class 0, with -90
  theta[1] = -90;  // class 0
  theta[2] = -64;  // class 1, from -64.29
  const UniformityTest u = ComputeMethods(WithTheta(theta)).uniformity;
  EXPECT_EQ(u.classes, 7);
  // Classes 0, 1 and 3 hold 2, 1 and 33 (theta 0 lies in the middle one).
  const long double e = 36.0L / 7;
  const long double chi = ((2 - e) * (2 - e) + (1 - e) * (1 - e) +
                           (33 - e) * (33 - e) + 4 * e * e) /
                          e;
  EXPECT_FLOAT_EQ(u.chi_square, static_cast<float>(chi));
  // On 10 degree classes the bound -80 itself belongs to class 1: ten at
  // -80, five at -85 and 75 at 5 give 5, 10 and 75 in classes 0, 1 and 9
  // (chi-square (25 + 25 + 4900 + 15 * 25) / 5 = 1060), not 15 and 0
  // (1080).
  std::vector<float> bounds(10, -80.0f);
  bounds.resize(15, -85.0f);
  bounds.resize(90, 5.0f);
  EXPECT_FLOAT_EQ(ComputeMethods(WithTheta(bounds)).uniformity.chi_square,
                  1060.0f);

  for (const int n : {1, 4, 9}) {
    const MethodsSummary m = ComputeMethods(WithTheta(std::vector<float>(n)));
    EXPECT_FALSE(m.uniformity.made()) << n;
    EXPECT_EQ(m.uniformity.omission, UniformityOmission::kTooFewData);
  }
  EXPECT_EQ(ComputeMethods(AnalysisState{}).count, 0);
}

TEST(Methods, HyperbolicMeanIsTheReportsOptimalStrain) {
  AnalysisState s = Markers({3, 2, 5, 3, 2, 3}, {30, 45, 40, 35, 38, 32});
  const AnalysisResult result = RunAnalysis(s);
  ASSERT_EQ(result, AnalysisResult::kBootstrapped);
  Report report;
  WriteAnalysisReport(s, result, report, ".");
  const MethodsSummary m = ComputeMethods(s);
  EXPECT_EQ(m.count, 6);
  EXPECT_EQ(m.hyperbolic_ratio, s.strain.ratio);
  EXPECT_EQ(m.hyperbolic_phi, s.strain.phi);
  const std::vector<MethodsRow> rows = MethodsTable(m, ".");
  ASSERT_FALSE(rows.empty());
  // "  R_s    = 2.xyz" in the report, the same digits in the table.
  EXPECT_EQ("  R_s    = " + rows[0].value, report.Lines()[2]);
  EXPECT_EQ("  phi_s  = " + rows[1].value, report.Lines()[3]);
}

TEST(Methods, LackOfMemoryIsAStatus) {
  AnalysisState s = Markers(std::vector<float>(100000, 2.0f),
                            std::vector<float>(100000, 30.0f));
  g_largest_allocation = 100000;  // below the orientations' 400 000 bytes
  const MethodsSummary m = ComputeMethods(s);
  g_largest_allocation = 0;
  EXPECT_EQ(m.status.code(), StatusCode::kOutOfMemory);
  EXPECT_EQ(m.status.message(),
            "Not enough memory for the estimators of 100000 data.");
  EXPECT_EQ(m.count, 0);
  EXPECT_TRUE(MethodsTable(m, ".").empty());
  EXPECT_TRUE(ComputeMethods(s).status.ok());
}

TEST(MethodsTable, RowsTextAndSeparator) {
  MethodsSummary m = ComputeMethods(Markers({4, 1.5f, 1.21f}, {10, 20, 50}));
  std::vector<MethodsRow> rows = MethodsTable(m, ",");
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[5].method, "Ramsay, R_s");
  EXPECT_EQ(rows[5].value, "2,200");
  EXPECT_EQ(rows[5].notes,
            "sqrt(Rf max * Rf min); Rf max = 4,000, Rf min = 1,210");
  EXPECT_EQ(rows[4].value, "40,000");
  EXPECT_EQ(rows[10].value, "not tested");
  // The expected count of the chi-square test, to a tenth.
  rows =
      MethodsTable(ComputeMethods(WithTheta(std::vector<float>(1000003))), ",");
  EXPECT_EQ(rows[7].notes,
            "18 classes of 10,000 degrees, 55555,7 expected in each");
  for (const MethodsRow& r : rows) {
    EXPECT_FALSE(r.tooltip.empty()) << r.method;
  }
  EXPECT_NE(rows[3].tooltip.find("Lisle (1977)"), std::string::npos);

  const std::vector<std::string> lines = MethodsTableLines(rows);
  ASSERT_EQ(lines.size(), 3 + rows.size());
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "*** Other Estimators ***");
  EXPECT_EQ(lines[2].rfind("  Method ", 0), 0u);
  // The values begin in one column.
  const std::size_t column = lines[2].find("Value");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(lines[3 + i].compare(column, rows[i].value.size(), rows[i].value),
              0)
        << lines[3 + i];
    EXPECT_NE(lines[3 + i].back(), ' ');
  }
  EXPECT_TRUE(MethodsTable(MethodsSummary{}, ".").empty());
  EXPECT_TRUE(MethodsTableLines({}).empty());
}

}  // namespace
}  // namespace orvane

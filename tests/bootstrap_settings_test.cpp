// SPDX-License-Identifier: MIT
// The bootstrap with other counts of resamples and other seeds: the
// resamples by their definition, the kept share, the limits of the
// settings, and how the report names settings that are not the defaults.
#include "core/bootstrap_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/analysis_report.h"
#include "core/bootstrap.h"
#include "core/strain.h"
#include "support/resample_definition.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using testing_support::Ellipse;
using testing_support::ExpectSolutionsFollowTheDefinition;
using testing_support::StateOf;

TEST(BootstrapSettings, KeptShareIsNinetyFivePercentRoundedDown) {
  EXPECT_EQ(KeptResamples(200), 190);
  EXPECT_EQ(KeptResamples(20), 19);
  EXPECT_EQ(KeptResamples(21), 19);   // 19.95
  EXPECT_EQ(KeptResamples(101), 95);  // 95.95
  EXPECT_EQ(KeptResamples(500), 475);
  EXPECT_EQ(KeptResamples(100000), 95000);
  EXPECT_EQ(KeptResamples(1), 1);  // never none
  EXPECT_TRUE(BootstrapSettings{}.IsDefault());
  EXPECT_FALSE((BootstrapSettings{200, 0}).IsDefault());
  EXPECT_FALSE((BootstrapSettings{201, 1}).IsDefault());
}

TEST(BootstrapSettings, DigitsOnlyWithinTheLimits) {
  int resamples = 7;
  for (const char* bad : {"", "19", "100001", "+200", "-200", " 200", "200 ",
                          "2e2", "0x20", "99999999999999999999"}) {
    EXPECT_FALSE(ParseResamples(bad, resamples)) << bad;
    EXPECT_EQ(resamples, 7) << bad;
  }
  ASSERT_TRUE(ParseResamples("20", resamples));
  EXPECT_EQ(resamples, 20);
  ASSERT_TRUE(ParseResamples("0100000", resamples));
  EXPECT_EQ(resamples, 100000);

  std::uint32_t seed = 7;
  for (const char* bad : {"", "-1", "+1", "4294967296", "1.0", "1 ", "seed"}) {
    EXPECT_FALSE(ParseSeed(bad, seed)) << bad;
    EXPECT_EQ(seed, 7u) << bad;
  }
  ASSERT_TRUE(ParseSeed("0", seed));
  EXPECT_EQ(seed, 0u);
  ASSERT_TRUE(ParseSeed("4294967295", seed));
  EXPECT_EQ(seed, 4294967295u);

  EXPECT_TRUE(CheckBootstrapSettings({20, 0}).ok());
  EXPECT_TRUE(CheckBootstrapSettings({100000, 4294967295u}).ok());
  const Status refused = CheckBootstrapSettings({10, 1});
  EXPECT_EQ(refused.code(), StatusCode::kInvalidSettings);
  EXPECT_EQ(refused.message(),
            "The bootstrap needs a whole number of resamples from 20 to "
            "100000 (default 200); 10 was asked for.");
  EXPECT_FALSE(CheckBootstrapSettings({100001, 1}).ok());
}

// Markers of mixed shapes and orientations.
std::vector<Ellipse> Mixed(int n) {
  std::vector<Ellipse> data;
  for (int i = 0; i < n; ++i) {
    data.push_back({1.3f + 0.41f * static_cast<float>(i % 9), 1,
                    static_cast<float>(i * 37 % 100) - 10});
  }
  return data;
}

AnalysisState Analysed(const std::vector<Ellipse>& data,
                       const BootstrapSettings& settings, Report& report) {
  AnalysisState s = StateOf(data);
  s.bootstrap = settings;
  WriteAnalysisReport(s, RunAnalysis(s), report, ".");
  return s;
}

TEST(BootstrapSettings, ResamplesFollowTheDefinitionForAnySettings) {
  for (const BootstrapSettings settings :
       {BootstrapSettings{20, 0}, BootstrapSettings{37, 12345},
        BootstrapSettings{203, 4294967295u}, BootstrapSettings{1000, 7}}) {
    for (int n : {5, 9, 64}) {
      Report report;
      const AnalysisState s = Analysed(Mixed(n), settings, report);
      ExpectSolutionsFollowTheDefinition(s);
      if (s.outcome != ConfidenceOutcome::kNullStrain) {
        EXPECT_EQ(s.kept.size(),
                  static_cast<std::size_t>(KeptResamples(settings.resamples)));
      }
    }
  }
}

// 150 resamples of 30000 data: enough draws for the resamples to be shared
// among threads, in groups of 8, 4 and 1, which must not change a bit.
TEST(BootstrapSettings, SharedResamplesEqualTheSerialEvaluation) {
  Report report;
  const AnalysisState s = Analysed(Mixed(30000), {150, 99}, report);
  ExpectSolutionsFollowTheDefinition(s);
}

TEST(BootstrapSettings, StateZeroDrawsTheLastDatum) {
  // The seed whose first draw is the state 0 (index 0): -1/a mod 2^32.
  std::uint32_t inverse = 1;  // of the multiplier, mod 2^32 (Newton)
  for (int k = 0; k < 5; ++k) inverse *= 2u - kGeneratorMultiplier * inverse;
  const std::uint32_t seed = 0xFFFFFFFFu * inverse;
  RandomGenerator g;
  g.Seed(seed);
  ASSERT_EQ(g.NextIndex(6), 0u);

  // Five circles and one ellipse last: a draw of the empty slot 0 (a circle)
  // in place of datum 6 would change the first resample.
  std::vector<Ellipse> data(5, Ellipse{2, 2, 0});
  data.push_back({4, 1, 30});
  Report report;
  const AnalysisState s = Analysed(data, {20, seed}, report);
  ExpectSolutionsFollowTheDefinition(s);
  EXPECT_NE(s.solutions[1].vector, (MinkowskiVector{1, 0, 0}));
}

TEST(BootstrapSettings, SettingsFollowEachRun) {
  const std::vector<Ellipse> data = Mixed(12);
  AnalysisState s = StateOf(data);
  Report first;
  WriteAnalysisReport(s, RunAnalysis(s), first, ".");
  const std::vector<BootstrapSolution> defaults = s.solutions;
  s.bootstrap = {500, 3};
  Report other;
  WriteAnalysisReport(s, RunAnalysis(s), other, ".");
  EXPECT_EQ(s.solutions.size(), 501u);
  EXPECT_EQ(s.kept.size(), 475u);
  s.bootstrap = {};
  Report again;
  WriteAnalysisReport(s, RunAnalysis(s), again, ".");
  ASSERT_EQ(s.solutions.size(), 201u);
  for (std::size_t k = 1; k <= 200; ++k) {
    EXPECT_EQ(s.solutions[k].vector, defaults[k].vector) << k;
  }
  EXPECT_EQ(again.Lines(), first.Lines());
}

TEST(BootstrapSettings, OtherSettingsAreNamedBesideTheLimits) {
  const std::vector<Ellipse> data = Mixed(40);
  Report defaults;
  const AnalysisState d = Analysed(data, {}, defaults);
  ASSERT_EQ(d.outcome, ConfidenceOutcome::kLimits);
  ASSERT_EQ(defaults.Lines().size(), 15u);
  EXPECT_EQ(LimitsSummary(d, ".").find("resamples"), std::string::npos);

  Report report;
  const AnalysisState s = Analysed(data, {500, 7}, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kLimits);
  const std::vector<std::string>& l = report.Lines();
  ASSERT_EQ(l.size(), 16u);
  EXPECT_EQ(l[8], "** 95% Confidence Limits **");
  EXPECT_EQ(l[9], "  (500 resamples, seed 7)");
  EXPECT_EQ(l[10].rfind("  R_s = ", 0), 0u);
  EXPECT_EQ(LimitsSummary(s, "."),
            l[10] + "  " + l[13] + "  (500 resamples, seed 7)");
  // Only the seed differs: both are still named.
  Report seeded;
  const AnalysisState t = Analysed(data, {200, 2}, seeded);
  EXPECT_EQ(seeded.Lines()[9], "  (200 resamples, seed 2)");
  EXPECT_NE(LimitsSummary(t, ".").substr(0, LimitsSummary(t, ".").find("  (")),
            LimitsSummary(d, "."));

  // The null strain does not depend on the bootstrap: nothing to name.
  Report circles;
  Analysed({{1, 1, 0}, {2, 2, 10}, {3, 3, 20}, {1, 1, 30}, {5, 5, 40}},
           {500, 7}, circles);
  EXPECT_EQ(circles.Lines().back(), "Null strain.");
}

TEST(BootstrapSettings, RegionAroundTheOriginNamesTheSettings) {
  std::vector<Ellipse> data;
  for (int i = 0; i < 24; ++i) {
    data.push_back(
        {2.0f + (i == 0 ? 0.2f : 0.0f), 1.0f, 7.5f * static_cast<float>(i)});
  }
  Report report;
  const AnalysisState s = Analysed(data, {400, 1}, report);
  ASSERT_EQ(s.outcome, ConfidenceOutcome::kSurroundsOrigin);
  const std::vector<std::string>& l = report.Lines();
  ASSERT_EQ(l.size(), 9u);
  EXPECT_EQ(l[7], "Confidence region surrounds the origin.");
  EXPECT_EQ(l[8], "  (400 resamples, seed 1)");
  EXPECT_EQ(s.kept.size(), 380u);
}

TEST(BootstrapSettings, DrawsBeyondTheGeneratorsPeriodAreWarnedOf) {
  // The warning reads only the count and the settings.
  AnalysisState s;
  s.count = 21474836;  // 200 x 21474836 = 4294967200 draws: within
  EXPECT_TRUE(AnalysisWarnings(s, ".").empty());
  s.count = 21474837;
  ASSERT_EQ(AnalysisWarnings(s, ".").size(), 1u);
  s.count = 50000;
  s.bootstrap = {100000, 1};
  const std::vector<std::string> w = AnalysisWarnings(s, ".");
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0],
            "The 100000 resamples of 50000 data take more draws than the "
            "generator's period of 4294967296: later resamples repeat the "
            "draws of earlier ones.");
  s.count = 4;  // no bootstrap
  EXPECT_TRUE(AnalysisWarnings(s, ".").empty());
}

}  // namespace
}  // namespace orvane

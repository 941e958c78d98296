// SPDX-License-Identifier: MIT
#include "core/centre_strain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

#include "core/parallel.h"
#include "support/centre_data.h"

namespace orvane {
namespace {

using testing_support::CentresOf;
using testing_support::DiscState;
using testing_support::HardCoreDiscs;

constexpr double kPi = 3.14159265358979323846;

CentreSettings SettingsFor(CentreMethod method) {
  CentreSettings s;
  s.method = method;
  return s;
}

// Every figure of a result is a number: no failure shows as NaN.
void ExpectFinite(const CentreStrainResult& r) {
  for (const double v :
       {r.estimate.ratio, r.estimate.phi, r.estimate.semi_major,
        r.estimate.semi_minor, r.ratio_min, r.ratio_max, r.phi_min, r.phi_max,
        r.selection_factor}) {
    EXPECT_TRUE(std::isfinite(v));
  }
  for (const float v : r.points) ASSERT_TRUE(std::isfinite(v));
}

// The difference of two orientations on the circle of 180 degrees.
double AxialDifference(double a, double b) {
  return std::remainder(a - b, 180.0);
}

TEST(CentreMethods, NamesRoundTripAndTitlesCiteTheirSources) {
  for (const CentreMethod m :
       {CentreMethod::kFry, CentreMethod::kNormalised, CentreMethod::kEnhanced,
        CentreMethod::kDelaunay}) {
    CentreMethod read = CentreMethod::kFry;
    if (m == CentreMethod::kFry) read = CentreMethod::kDelaunay;
    ASSERT_TRUE(ParseCentreMethod(CentreMethodName(m), read));
    EXPECT_EQ(read, m);
  }
  CentreMethod unchanged = CentreMethod::kEnhanced;
  for (const char* bad : {"", "Fry", "normalized", "delaunay "}) {
    EXPECT_FALSE(ParseCentreMethod(bad, unchanged)) << bad;
    EXPECT_EQ(unchanged, CentreMethod::kEnhanced);
  }
  EXPECT_STREQ(CentreMethodTitle(CentreMethod::kEnhanced),
               "Enhanced normalised Fry (Erslev & Ge 1990)");
  EXPECT_STREQ(CentreMethodTitle(CentreMethod::kDelaunay),
               "Delaunay nearest neighbours (Mulchrone 2003)");
}

TEST(CentreMethods, DataTakeRadiiFromAreasElseFromBothAxes) {
  const auto discs = HardCoreDiscs(20, 2, 30);
  AnalysisState state = DiscState(discs);
  CentreData d = CentreDataOf(state);
  ASSERT_EQ(d.Count(), 20u);
  ASSERT_EQ(d.radius.size(), 20u);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_EQ(d.x[i], discs.x[i]);
    EXPECT_EQ(d.y[i], discs.y[i]);
    EXPECT_NEAR(d.radius[i], discs.radius[i], 1e-12);
  }
  // Without areas, sqrt(major x minor) / 2: the same circle of equal area.
  state.places.area.clear();
  d = CentreDataOf(state);
  ASSERT_EQ(d.radius.size(), 20u);
  EXPECT_NEAR(d.radius[7], discs.radius[7], 1e-6);
  // A datum without its minor axis: no sizes at all.
  state.measured[3].minor = 0;
  EXPECT_TRUE(CentreDataOf(state).radius.empty());
  state.places.x.clear();
  state.places.y.clear();
  EXPECT_TRUE(CentreDataOf(state).x.empty());
}

// Data the methods refuse, with the beginning of the message that says why
// and the datum it names.
struct Refusal {
  const char* what;
  CentreData data;
  CentreMethod method;
  StatusCode code;
  std::string message;
  int datum;
  int neighbours = 12;
};

std::vector<Refusal> Refusals() {
  const CentreData good = CentresOf(HardCoreDiscs(40, 1, 0));
  std::vector<Refusal> list;
  list.push_back({"no centres", CentreData{}, CentreMethod::kFry,
                  StatusCode::kReadError,
                  "The data give no centres of the markers (X and Y).", 0});
  CentreData few = good;
  few.x.resize(9);
  few.y.resize(9);
  few.radius.resize(9);
  list.push_back({"nine centres", few, CentreMethod::kFry,
                  StatusCode::kInvalidSettings, "Fewer than 10 centres:", 0});
  CentreData no_sizes = good;
  no_sizes.radius.clear();
  for (const CentreMethod m :
       {CentreMethod::kNormalised, CentreMethod::kEnhanced,
        CentreMethod::kDelaunay}) {
    list.push_back({"no sizes", no_sizes, m, StatusCode::kInvalidSettings,
                    "The data give no sizes of the markers:", 0});
  }
  CentreData nan_centre = good;
  nan_centre.y[11] = std::nan("");
  list.push_back({"NaN centre", nan_centre, CentreMethod::kFry,
                  StatusCode::kReadError, "The centre of datum 12", 12});
  CentreData zero_size = good;
  zero_size.radius[4] = 0;
  list.push_back({"zero size", zero_size, CentreMethod::kNormalised,
                  StatusCode::kReadError, "The size of datum 5", 5});
  CentreData line = good;
  for (std::size_t i = 0; i < line.Count(); ++i) {
    line.x[i] = 0.1 * static_cast<double>(i) + 1e6;
    line.y[i] = 0.3 * line.x[i] - 7;
  }
  for (const CentreMethod m : {CentreMethod::kFry, CentreMethod::kDelaunay}) {
    list.push_back({"collinear", line, m, StatusCode::kInvalidSettings,
                    "The centres lie on one line:", 0});
  }
  CentreData one_place = good;
  std::fill(one_place.x.begin(), one_place.x.end(), 3.0);
  std::fill(one_place.y.begin(), one_place.y.end(), 4.0);
  list.push_back({"coinciding", one_place, CentreMethod::kNormalised,
                  StatusCode::kInvalidSettings,
                  "The centres lie on one line:", 0});
  // Two far rows of five, each centre paired with its nearest neighbour in
  // its row: the plot's points lie in two directions, too few to outline a
  // vacancy.
  CentreData rows = good;
  rows.x.resize(10);
  rows.y.resize(10);
  rows.radius.resize(10);
  for (std::size_t i = 0; i < 10; ++i) {
    rows.x[i] = static_cast<double>(i % 5);
    rows.y[i] = i < 5 ? 0.0 : 1000.0;
  }
  list.push_back({"no vacancy", rows, CentreMethod::kFry,
                  StatusCode::kInvalidSettings,
                  "The vacancy of the Fry plot could not be fitted", 0, 1});
  return list;
}

TEST(CentreMethods, RefusedDataSayWhyWithoutFigures) {
  for (const Refusal& r : Refusals()) {
    SCOPED_TRACE(r.what);
    CentreSettings s = SettingsFor(r.method);
    s.neighbours = r.neighbours;
    const CentreStrainResult result = AnalyseCentres(r.data, s);
    ASSERT_FALSE(result.status.ok());
    EXPECT_EQ(result.status.code(), r.code);
    EXPECT_EQ(result.status.message().rfind(r.message, 0), 0u)
        << result.status.message();
    EXPECT_EQ(result.status.datum(), r.datum);
    EXPECT_EQ(result.method, r.method);
    EXPECT_EQ(result.pairs, 0);
    EXPECT_TRUE(result.points.empty());
    EXPECT_EQ(result.outcome, CentreLimitsOutcome::kNotRun);
    ExpectFinite(result);
  }
}

TEST(CentreMethods, SettingsOutsideTheirLimitsAreRefused) {
  const CentreData data = CentresOf(HardCoreDiscs(40, 1, 0));
  auto refused = [&](const CentreSettings& s) {
    const CentreStrainResult r = AnalyseCentres(data, s);
    return !r.status.ok() && r.status.code() == StatusCode::kInvalidSettings;
  };
  CentreSettings s;
  s.neighbours = 0;
  EXPECT_TRUE(refused(s));
  s = {};
  s.wedges = kMinWedges - 1;
  EXPECT_TRUE(refused(s));
  s = {};
  s.selection_factor = -1;
  EXPECT_TRUE(refused(s));
  s = {};
  s.bootstrap.resamples = kMinBootstrapResamples - 1;
  EXPECT_TRUE(refused(s));
  EXPECT_TRUE(CheckCentreSettings(CentreSettings{}).ok());
}

TEST(CentreMethods, CoincidingCentresAreLeftOutWithAWarning) {
  CentreData data = CentresOf(HardCoreDiscs(300, 2, 30));
  // Datum 17 on datum 5, and 40 and 41 on datum 30: four pairs.
  data.x[16] = data.x[4];
  data.y[16] = data.y[4];
  for (const std::size_t i : {39u, 40u}) {
    data.x[i] = data.x[29];
    data.y[i] = data.y[29];
  }
  for (const CentreMethod m :
       {CentreMethod::kNormalised, CentreMethod::kDelaunay}) {
    CentreSettings s = SettingsFor(m);
    s.bootstrap.resamples = kMinBootstrapResamples;
    const CentreStrainResult r = AnalyseCentres(data, s);
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].rfind("Data 5 and 17 and 3 more pairs", 0), 0u)
        << r.warnings[0];
    EXPECT_NE(r.warnings[0].find("those 4 pairs were left out"),
              std::string::npos);
    ExpectFinite(r);
    for (std::size_t k = 0; k + 1 < r.points.size(); k += 2) {
      ASSERT_FALSE(r.points[k] == 0 && r.points[k + 1] == 0);
    }
    EXPECT_NEAR(r.estimate.ratio, 2, 0.3);
  }
}

// The hard-core discs strained by R = 2 at 30 degrees: each method finds
// the strain, and its limits hold it.
TEST(CentreStrain, StrainedDiscsGiveTheirStrainWithinTheLimits) {
  const CentreData data = CentresOf(HardCoreDiscs(2000, 2, 30));
  for (const CentreMethod m :
       {CentreMethod::kNormalised, CentreMethod::kEnhanced,
        CentreMethod::kDelaunay}) {
    SCOPED_TRACE(CentreMethodName(m));
    const CentreStrainResult r = AnalyseCentres(data, SettingsFor(m));
    ASSERT_TRUE(r.status.ok()) << r.status.message();
    ExpectFinite(r);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_NEAR(r.estimate.ratio, 2, 0.1);
    EXPECT_NEAR(AxialDifference(r.estimate.phi, 30), 0, 3);
    EXPECT_NEAR(r.estimate.semi_major / r.estimate.semi_minor, r.estimate.ratio,
                1e-9);
    ASSERT_EQ(r.outcome, CentreLimitsOutcome::kLimits);
    EXPECT_LE(r.ratio_min, 2);
    EXPECT_GE(r.ratio_max, 2);
    EXPECT_LE(r.phi_min, 30);
    EXPECT_GE(r.phi_max, 30);
    EXPECT_LE(r.ratio_min, r.estimate.ratio);
    EXPECT_GE(r.ratio_max, r.estimate.ratio);
    ASSERT_EQ(r.kept.size(), 190u);
    // Nearest first.
    double last = 0;
    for (const CentreEstimate& k : r.kept) {
      const double d =
          StrainDistance(k.ratio, k.phi, r.estimate.ratio, r.estimate.phi);
      EXPECT_GE(d, last);
      last = d;
    }
    // Each pair's vector and its opposite.
    ASSERT_EQ(r.points.size(), 4 * static_cast<std::size_t>(r.pairs));
    for (std::size_t k = 0; k < r.points.size(); k += 4) {
      ASSERT_EQ(r.points[k + 2], -r.points[k]);
      ASSERT_EQ(r.points[k + 3], -r.points[k + 1]);
    }
    if (m == CentreMethod::kNormalised) {
      // Normalised: no pair of hard-core discs lies inside the strain
      // ellipse of area pi (their distance is at least r_i + r_j before
      // the strain).
      const double t = 30 * kPi / 180;
      for (std::size_t k = 0; k < r.points.size(); k += 2) {
        const double x = r.points[k], y = r.points[k + 1];
        const double u = std::cos(t) * x + std::sin(t) * y;
        const double v = -std::sin(t) * x + std::cos(t) * y;
        ASSERT_GE(u * u / 2 + v * v * 2, 1 - 1e-5);
      }
      // The vacancy's innermost points lie on that ellipse.
      EXPECT_NEAR(r.estimate.semi_major, std::sqrt(2.0), 0.05);
    } else {
      EXPECT_GT(r.selection_factor, 0);
    }
  }
  // Plain Fry: the vacancy blurs with the markers' sizes, but the strain
  // shows.
  const CentreStrainResult fry =
      AnalyseCentres(data, SettingsFor(CentreMethod::kFry));
  ASSERT_TRUE(fry.status.ok());
  EXPECT_NEAR(fry.estimate.ratio, 2, 0.5);
  EXPECT_NEAR(AxialDifference(fry.estimate.phi, 30), 0, 10);
}

TEST(CentreStrain, UnstrainedDiscsGiveNoStrain) {
  const CentreData data = CentresOf(HardCoreDiscs(2000, 1, 0, 3));
  for (const CentreMethod m :
       {CentreMethod::kNormalised, CentreMethod::kDelaunay}) {
    SCOPED_TRACE(CentreMethodName(m));
    const CentreStrainResult r = AnalyseCentres(data, SettingsFor(m));
    ASSERT_TRUE(r.status.ok());
    EXPECT_NEAR(r.estimate.ratio, 1, 0.1);
    EXPECT_GE(r.estimate.ratio, 1);
    EXPECT_EQ(r.outcome, CentreLimitsOutcome::kSurroundsOrigin);
    EXPECT_GE(r.ratio_min, 1);
    EXPECT_GT(r.ratio_max, r.ratio_min);
    EXPECT_LT(r.ratio_max, 1.1);
  }
}

TEST(CentreStrain, SelectionFactorsBoundThePairsKept) {
  const CentreData data = CentresOf(HardCoreDiscs(1000, 2, -50));
  const CentreStrainResult all =
      AnalyseCentres(data, SettingsFor(CentreMethod::kNormalised));
  CentreSettings s = SettingsFor(CentreMethod::kEnhanced);
  const CentreStrainResult chosen = AnalyseCentres(data, s);
  ASSERT_TRUE(chosen.status.ok());
  EXPECT_LT(chosen.pairs, all.pairs);
  // The window never reaches into the vacancy.
  EXPECT_GT(chosen.selection_factor, all.estimate.semi_major);
  EXPECT_NEAR(chosen.estimate.ratio, 2, 0.1);
  EXPECT_NEAR(AxialDifference(chosen.estimate.phi, -50), 0, 3);
  s.selection_factor = 1.5 * all.estimate.semi_major;
  const CentreStrainResult given = AnalyseCentres(data, s);
  ASSERT_TRUE(given.status.ok());
  EXPECT_EQ(given.selection_factor, s.selection_factor);
  for (std::size_t k = 0; k < given.points.size(); k += 2) {
    ASSERT_LE(std::hypot(given.points[k], given.points[k + 1]),
              s.selection_factor * (1 + 1e-6));
  }
  // The Delaunay method's factor bounds the edges' lengths in the frame
  // retrodeformed by its estimate (keeping the area).
  s = SettingsFor(CentreMethod::kDelaunay);
  s.selection_factor = 1.3;
  const CentreStrainResult edges = AnalyseCentres(data, s);
  ASSERT_TRUE(edges.status.ok());
  EXPECT_EQ(edges.selection_factor, 1.3);
  EXPECT_NEAR(edges.estimate.ratio, 2, 0.1);
  const double t = edges.estimate.phi * kPi / 180;
  const double ratio = edges.estimate.ratio;
  double longest = 0;
  for (std::size_t k = 0; k < edges.points.size(); k += 2) {
    const double x = edges.points[k], y = edges.points[k + 1];
    const double u = std::cos(t) * x + std::sin(t) * y;
    const double v = -std::sin(t) * x + std::cos(t) * y;
    longest = std::max(longest, std::sqrt(u * u / ratio + v * v * ratio));
  }
  EXPECT_LE(longest, 1.3 * (1 + 1e-6));
  EXPECT_GT(longest, 1.25);
}

void ExpectSameLimits(const CentreStrainResult& a,
                      const CentreStrainResult& b) {
  EXPECT_EQ(a.estimate.ratio, b.estimate.ratio);
  EXPECT_EQ(a.estimate.phi, b.estimate.phi);
  EXPECT_EQ(a.outcome, b.outcome);
  EXPECT_EQ(a.ratio_min, b.ratio_min);
  EXPECT_EQ(a.ratio_max, b.ratio_max);
  EXPECT_EQ(a.phi_min, b.phi_min);
  EXPECT_EQ(a.phi_max, b.phi_max);
  ASSERT_EQ(a.kept.size(), b.kept.size());
  for (std::size_t k = 0; k < a.kept.size(); ++k) {
    ASSERT_EQ(a.kept[k].ratio, b.kept[k].ratio) << k;
    ASSERT_EQ(a.kept[k].phi, b.kept[k].phi) << k;
  }
}

// The bootstrap's results depend on the data and the seed alone: not on
// the threads, nor on whether the resamples' fits scan the candidates near
// the vacancy or every pair.
TEST(CentreStrain, BootstrapDependsOnTheSeedAlone) {
  const CentreData data = CentresOf(HardCoreDiscs(2000, 2.5, 70, 2));
  for (const CentreMethod m : {CentreMethod::kFry, CentreMethod::kNormalised,
                               CentreMethod::kDelaunay}) {
    SCOPED_TRACE(CentreMethodName(m));
    CentreSettings s = SettingsFor(m);
    s.bootstrap.resamples = 100;
    const CentreStrainResult shared = AnalyseCentres(data, s);
    ASSERT_EQ(shared.outcome, CentreLimitsOutcome::kLimits);
    {
      const ThreadLimitForTesting one_thread(0);
      ExpectSameLimits(AnalyseCentres(data, s), shared);
    }
    if (m != CentreMethod::kDelaunay) {
      for (const auto mode : {CentreScanForTesting::kEveryPair,
                              CentreScanForTesting::kFewCandidates}) {
        const CentreScanForTesting scan(mode);
        ExpectSameLimits(AnalyseCentres(data, s), shared);
      }
    }
    CentreSettings other = s;
    other.bootstrap.seed = 2;
    const CentreStrainResult reseeded = AnalyseCentres(data, other);
    EXPECT_EQ(reseeded.estimate.ratio, shared.estimate.ratio);
    EXPECT_NE(reseeded.ratio_max, shared.ratio_max);
  }
}

TEST(CentreStrain, CancelledBootstrapLeavesTheEstimate) {
  const CentreData data = CentresOf(HardCoreDiscs(500, 2, 30));
  const std::atomic<bool> cancel{true};
  const CentreStrainResult r =
      AnalyseCentres(data, SettingsFor(CentreMethod::kNormalised), &cancel);
  ASSERT_TRUE(r.status.ok());
  EXPECT_NEAR(r.estimate.ratio, 2, 0.2);
  EXPECT_EQ(r.outcome, CentreLimitsOutcome::kNotRun);
  EXPECT_TRUE(r.kept.empty());
}

TEST(StrainDistance, IsTheHyperbolicDistanceOfLnRAndTwicePhi) {
  EXPECT_EQ(StrainDistance(2, 30, 2, 30), 0);
  EXPECT_NEAR(StrainDistance(2, 30, 2, -150), 0, 1e-12);  // phi mod 180
  EXPECT_NEAR(StrainDistance(1.5, 10, 3, 10), std::log(2.0), 1e-12);
  // Through R = 1: the two radii add.
  EXPECT_NEAR(StrainDistance(2, 0, 3, 90), std::log(6.0), 1e-12);
  const double r1 = std::log(1.7), r2 = std::log(2.6);
  const double cosh_d = std::cosh(r1) * std::cosh(r2) -
                        std::sinh(r1) * std::sinh(r2) * std::cos(2 * 0.5);
  EXPECT_NEAR(StrainDistance(1.7, 20, 2.6, 20 + 0.5 * 90 / (kPi / 2)),
              std::acosh(cosh_d), 1e-12);
  EXPECT_EQ(StrainDistance(1.7, 20, 2.6, 50), StrainDistance(2.6, 50, 1.7, 20));
  // A tiny distance keeps its digits.
  const double near = 2 * (1 + 1e-12);
  EXPECT_NEAR(StrainDistance(2, 30, near, 30), std::log1p(near / 2 - 1), 1e-24);
}

}  // namespace
}  // namespace orvane

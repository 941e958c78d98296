// SPDX-License-Identifier: MIT
#include "core/ellipsoid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/hyperbolic.h"
#include "core/number_format.h"
#include "support/study_data.h"
#include "support/test_data.h"

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180;

double Dot(const Vector3& a, const Vector3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
          a[0] * b[1] - a[1] * b[0]};
}
Vector3 Combine(double p, const Vector3& a, double q, const Vector3& b) {
  return {p * a[0] + q * b[0], p * a[1] + q * b[1], p * a[2] + q * b[2]};
}
// Radians between two axes, either sense.
double AxisAngle(const Vector3& a, const Vector3& b) {
  const Vector3 c = Cross(a, b);
  return std::atan2(std::sqrt(Dot(c, c)), std::fabs(Dot(a, b)));
}
void ExpectVector(const Vector3& got, const Vector3& want, double tolerance) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << i;
}
// The unit vector of a line given by its trend and plunge.
Vector3 LineOf(double trend, double plunge) {
  return {std::sin(trend * kRad) * std::cos(plunge * kRad),
          std::cos(trend * kRad) * std::cos(plunge * kRad),
          -std::sin(plunge * kRad)};
}

// X : Y : Z as given, X trending 030 and plunging 20, Y 25 degrees from
// level in the plane normal to X.
testing_support::KnownEllipsoid Known(double x, double y, double z) {
  return {.x = x, .y = y, .z = z, .x_trend = 30, .x_plunge = 20, .y_rake = 25};
}

SectionOrientation ByVector(Vector3 normal, Vector3 reference) {
  return {.normal = normal, .reference = reference};
}
SectionOrientation ByStrike(double strike, double dip, double rake) {
  return {
      .geological = true, .strike = strike, .dip = dip, .reference_rake = rake};
}
bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const std::vector<SectionOrientation> kFivePlanes = {
    ByVector({0, 0, 1}, {1, 0, 0}), ByStrike(120, 60, 30), ByStrike(10, 90, 45),
    ByVector({1, 0.2, -0.3}, {0.3, 0, 1}), ByStrike(250, 35, -20)};

std::vector<SectionShape> Sections(const testing_support::KnownEllipsoid& e,
                                   std::size_t count) {
  std::vector<SectionShape> sections;
  for (std::size_t i = 0; i < count; ++i) {
    SectionPlane plane;
    EXPECT_TRUE(PlaneOf(kFivePlanes[i], plane).ok());
    sections.push_back(testing_support::CutEllipsoid(e.Form(), plane));
  }
  return sections;
}

TEST(PlaneOf, GivesBothFormsAsOneRightHandedFrame) {
  SectionPlane flat;
  ASSERT_TRUE(PlaneOf(ByStrike(0, 0, 0), flat).ok());
  ExpectVector(flat.normal, {0, 0, 1}, 1e-15);
  ExpectVector(flat.reference, {0, 1, 0}, 1e-15);
  ExpectVector(flat.Across(), {-1, 0, 0}, 1e-15);

  // A vertical plane is seen from the side its dip direction (east here)
  // points to, as the upper side of a plane dipping ever more steeply.
  SectionPlane vertical, steep;
  ASSERT_TRUE(PlaneOf(ByStrike(0, 90, 90), vertical).ok());
  ExpectVector(vertical.normal, {1, 0, 0}, 1e-15);
  ExpectVector(vertical.reference, {0, 0, -1}, 1e-15);
  ASSERT_TRUE(PlaneOf(ByStrike(0, 89.999, 90), steep).ok());
  ExpectVector(steep.normal, vertical.normal, 1e-4);

  // Strike 30, dip 40: the upward pole leans towards the dip direction 120
  // (as a line, it points down to 300, 50); the reference pitches 20
  // degrees from the strike down-dip.
  const Vector3 pole = Combine(-1, LineOf(300, 50), 0, {});
  const Vector3 reference = Combine(std::cos(20 * kRad), LineOf(30, 0),
                                    std::sin(20 * kRad), LineOf(120, 40));
  SectionPlane geological, given;
  ASSERT_TRUE(PlaneOf(ByStrike(30, 40, 20), geological).ok());
  // The vector form takes any lengths, and a reference off the plane by
  // less than half a degree (here 0.3) is projected into it.
  const Vector3 tilted = Combine(2, reference, 2 * std::tan(0.3 * kRad), pole);
  ASSERT_TRUE(PlaneOf(ByVector(Combine(5, pole, 0, pole), tilted), given).ok());
  for (const SectionPlane& p : {geological, given}) {
    ExpectVector(p.normal, pole, 1e-14);
    ExpectVector(p.reference, reference, 1e-14);
    ExpectVector(p.Across(), Cross(pole, reference), 1e-14);
  }
}

TEST(PlaneOf, RefusesWhatIsNoPlaneWithTheReason) {
  const struct {
    SectionOrientation orientation;
    const char* message;
  } cases[] = {
      {ByVector({0, 0, 1}, {1, 0, 0.1}),
       "the reference (1, 0, 0.1) is not in the section's plane (it is 5.71 "
       "degrees off it)"},
      {ByVector({0, 0, 0}, {1, 0, 0}),
       "the normal (0, 0, 0) is zero and gives no direction"},
      {ByVector({0, 0, 1}, {NAN, 0, 0}),
       "the reference (nan, 0, 0) is not a finite vector"},
      {ByStrike(10, 91, 0), "the dip 91 is outside 0 to 90 degrees"},
      {ByStrike(INFINITY, 10, 0), "the strike inf is not a finite angle"},
  };
  for (const auto& c : cases) {
    SectionPlane plane;
    const Status status = PlaneOf(c.orientation, plane);
    EXPECT_EQ(status.code(), StatusCode::kInvalidSettings);
    EXPECT_EQ(status.message(), c.message);
  }
}

// Sections cut exactly from a known ellipsoid give it back, from three
// planes and from five, whatever the planes' references.
TEST(FitEllipsoid, RecoversTheEllipsoidItsSectionsWereCutFrom) {
  const testing_support::KnownEllipsoid truth = Known(2, 1.2, 1 / 2.4);
  const double ln_x = std::log(2), ln_y = std::log(1.2),
               ln_z = std::log(1 / 2.4);
  for (const std::size_t count : {std::size_t{3}, std::size_t{5}}) {
    SCOPED_TRACE(count);
    const std::vector<SectionShape> sections = Sections(truth, count);
    Ellipsoid fit;
    ASSERT_TRUE(FitEllipsoid(sections, fit).ok());
    EXPECT_NEAR(fit.x / 2, 1, 1e-9);
    EXPECT_NEAR(fit.y / 1.2, 1, 1e-9);
    EXPECT_NEAR(fit.z * 2.4, 1, 1e-9);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_LT(AxisAngle(fit.axes[i].vector, truth.Axes()[i]), 1e-6) << i;
      EXPECT_LE(fit.axes[i].vector[2], 0);
    }
    EXPECT_NEAR(fit.axes[0].trend, 30, 1e-6);
    EXPECT_NEAR(fit.axes[0].plunge, 20, 1e-6);
    // The axes' angles say where their vectors point.
    for (const EllipsoidAxis& axis : fit.axes) {
      ExpectVector(axis.vector, LineOf(axis.trend, axis.plunge), 1e-12);
    }
    EXPECT_LT(fit.incompatibility, 1e-12);
    EXPECT_NEAR(fit.k, (2 / 1.2 - 1) / (1.2 * 2.4 - 1), 1e-9);
    ASSERT_TRUE(fit.nu.has_value());
    EXPECT_NEAR(*fit.nu, (2 * ln_y - ln_x - ln_z) / (ln_x - ln_z), 1e-9);
    EXPECT_NEAR(fit.eps_s,
                std::sqrt((std::pow(ln_x - ln_y, 2) + std::pow(ln_y - ln_z, 2) +
                           std::pow(ln_z - ln_x, 2)) /
                          3),
                1e-9);
    const Matrix3& a = fit.tensor;
    EXPECT_NEAR(a[0][0] + a[1][1] + a[2][2], 3, 1e-12);
  }
  // Y = Z: k is infinite, nu -1.
  const double r = 1 / std::sqrt(2.0);
  Ellipsoid prolate;
  ASSERT_TRUE(FitEllipsoid(Sections(Known(2, r, r), 4), prolate).ok());
  EXPECT_TRUE(std::isinf(prolate.k));
  EXPECT_NEAR(prolate.nu.value_or(0), -1, 1e-9);
}

// sum |P^T A P - lambda S|^2 over the sections (Frobenius norms), and in
// `size` the sum of |lambda S|^2.
double Misfit(std::span<const SectionShape> sections, const Matrix3& a,
              const std::vector<double>& scales, double& size) {
  double misfit = 0;
  size = 0;
  for (std::size_t k = 0; k < sections.size(); ++k) {
    const SectionShape& s = sections[k];
    const Vector3 u[2] = {s.plane.reference, s.plane.Across()};
    const double c = std::cos(s.phi * kRad), n = std::sin(s.phi * kRad);
    const double r = s.ratio,
                 shape[3] = {c * c / r + n * n * r, c * n * (1 / r - r),
                             n * n / r + c * c * r};
    const int rows[3] = {0, 0, 1}, cols[3] = {0, 1, 1};
    for (int e = 0; e < 3; ++e) {
      double form = 0;
      for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
          form += u[rows[e]][i] * a[i][j] * u[cols[e]][j];
        }
      }
      const double weight = e == 1 ? 2 : 1, fitted = scales[k] * shape[e];
      misfit += weight * (form - fitted) * (form - fitted);
      size += weight * fitted * fitted;
    }
  }
  return misfit;
}

// Inconsistent sections still fit, and the fit is the least-squares one:
// no change of the form (at trace 3) or of a scale lowers the misfit.
TEST(FitEllipsoid, FitsInconsistentSectionsByLeastSquares) {
  std::vector<SectionShape> sections = Sections(Known(2, 1.2, 1 / 2.4), 5);
  sections[3].phi += 10;
  sections[1].ratio *= 1.2;
  Ellipsoid fit;
  ASSERT_TRUE(FitEllipsoid(sections, fit).ok());
  double size = 0;
  const double least = Misfit(sections, fit.tensor, fit.scales, size);
  EXPECT_NEAR(fit.incompatibility, std::sqrt(least / size), 1e-12);
  EXPECT_GT(fit.incompatibility, 0.01);
  EXPECT_LT(fit.incompatibility, 0.5);
  const double step = 1e-3;
  for (int d = 0; d < 11; ++d) {
    double misfits[2];
    for (const int sign : {0, 1}) {
      Matrix3 a = fit.tensor;
      std::vector<double> scales = fit.scales;
      const double h = sign == 0 ? step : -step;
      const std::size_t i = static_cast<std::size_t>(d % 3),
                        j = static_cast<std::size_t>((d + 1) % 3);
      if (d < 3) {  // along the diagonal, trace kept
        a[i][i] += h;
        a[j][j] -= h;
      } else if (d < 6) {
        a[i][j] += h;
        a[j][i] += h;
      } else {
        scales[static_cast<std::size_t>(d - 6)] += h;
      }
      double unused = 0;
      misfits[sign] = Misfit(sections, a, scales, unused);
    }
    const double curvature = misfits[0] + misfits[1] - 2 * least;
    EXPECT_GT(curvature, 0) << d;
    EXPECT_LT(std::fabs(misfits[0] - misfits[1]), 1e-6 * curvature) << d;
  }
}

TEST(FitEllipsoid, RefusesSectionsThatFixNoEllipsoid) {
  const testing_support::KnownEllipsoid truth = Known(2, 1.2, 1 / 2.4);
  Ellipsoid fit;
  const std::vector<SectionShape> two = Sections(truth, 2);
  Status status = FitEllipsoid(two, fit);
  EXPECT_EQ(status.code(), StatusCode::kInvalidSettings);
  EXPECT_EQ(status.message(),
            "at least three sections are needed for the ellipsoid; the study "
            "has 2");

  // Three planes through the line of trend 120, plunge 30.
  const Vector3 line = LineOf(120, 30);
  const Vector3 level = LineOf(30, 0);
  const Vector3 steep = Cross(line, level);
  std::vector<SectionShape> fan;
  for (const double turn : {0.0, 50.0, 110.0}) {
    SectionPlane plane;
    ASSERT_TRUE(PlaneOf(ByVector(Combine(std::cos(turn * kRad), level,
                                         std::sin(turn * kRad), steep),
                                 line),
                        plane)
                    .ok());
    fan.push_back(testing_support::CutEllipsoid(truth.Form(), plane));
  }
  status = FitEllipsoid(fan, fit);
  EXPECT_EQ(status.code(), StatusCode::kInvalidSettings);
  EXPECT_EQ(status.message(),
            "the sections' planes all contain one line (trend 120.0, plunge "
            "30.0), so they do not fix an ellipsoid");

  // Elliptical sections of a hyperboloid (x^2 + y^2 - z^2 / 2 = 1): the
  // quadric that fits them is no ellipsoid.
  const Matrix3 hyperboloid = {{{1, 0, 0}, {0, 1, 0}, {0, 0, -0.5}}};
  std::vector<SectionShape> saddle;
  for (const double strike : {0.0, 120.0, 240.0}) {
    SectionPlane plane;
    ASSERT_TRUE(PlaneOf(ByStrike(strike, 30, 10), plane).ok());
    saddle.push_back(testing_support::CutEllipsoid(hyperboloid, plane));
    ASSERT_TRUE(std::isfinite(saddle.back().ratio));
  }
  status = FitEllipsoid(saddle, fit);
  EXPECT_EQ(status.code(), StatusCode::kInvalidSettings);
  EXPECT_EQ(status.message().rfind("no ellipsoid fits the sections: ", 0), 0u)
      << status.message();

  // A section without a strain ellipse is named.
  std::vector<SectionShape> bad = Sections(truth, 3);
  bad[1].ratio = NAN;
  status = FitEllipsoid(bad, fit);
  EXPECT_EQ(status.datum(), 2);
  EXPECT_EQ(status.message(),
            "section 2 has no strain ellipse (R = nan, phi = " +
                std::string(FormatShortestDouble(bad[1].phi).view()) + ")");
}

// Resamples of the exact sections with noise in R and phi.
std::vector<std::vector<SectionShape>> NoisyResamples(
    const std::vector<SectionShape>& sections, int count, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> normal(0, 1);
  std::vector<std::vector<SectionShape>> resamples(
      static_cast<std::size_t>(count), sections);
  for (std::vector<SectionShape>& resample : resamples) {
    for (SectionShape& s : resample) {
      s.ratio *= std::exp(0.03 * normal(engine));
      s.phi += 1.5 * normal(engine);
    }
  }
  return resamples;
}

TEST(AnalyseEllipsoid, LimitsOfNoisyResamplesHoldTheTruth) {
  const std::vector<SectionShape> sections =
      Sections(Known(2, 1.2, 1 / 2.4), 5);
  const auto resamples = NoisyResamples(sections, 200, 7);
  const EllipsoidResult r = AnalyseEllipsoid(sections, resamples);
  ASSERT_TRUE(r.status.ok());
  ASSERT_TRUE(r.has_limits);
  EXPECT_EQ(r.resamples, 200);
  EXPECT_EQ(r.failed, 0);
  EXPECT_EQ(r.cloud.size(), 200u);
  EXPECT_TRUE(r.warnings.empty());
  const Ellipsoid& e = r.estimate;
  const auto within = [](const Interval& i, double v) {
    return i.low < v && v < i.high;
  };
  EXPECT_TRUE(within(r.xy, e.x / e.y));
  EXPECT_TRUE(within(r.yz, e.y / e.z));
  EXPECT_TRUE(within(r.k, e.k));
  EXPECT_TRUE(within(r.nu, *e.nu));
  EXPECT_TRUE(within(r.eps_s, e.eps_s));
  for (const double cone : r.cones) {
    EXPECT_GT(cone, 0.1);
    EXPECT_LT(cone, 30);
  }
  // 190 of 200 kept: five left out below and five above.
  std::vector<double> xy;
  for (const Ellipsoid& f : r.cloud) xy.push_back(f.x / f.y);
  std::sort(xy.begin(), xy.end());
  EXPECT_EQ(r.xy.low, xy[5]);
  EXPECT_EQ(r.xy.high, xy[194]);
}

TEST(AnalyseEllipsoid, LeavesOutResamplesNoEllipsoidFits) {
  const std::vector<SectionShape> sections =
      Sections(Known(2, 1.2, 1 / 2.4), 5);
  auto resamples = NoisyResamples(sections, 200, 7);
  for (const std::size_t i : {3u, 50u, 199u}) resamples[i][0].ratio = -1;
  EllipsoidResult r = AnalyseEllipsoid(sections, resamples);
  EXPECT_TRUE(r.has_limits);
  EXPECT_EQ(r.failed, 3);
  EXPECT_EQ(r.cloud.size(), 197u);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0],
            "3 of 200 resamples could not be fitted (no ellipsoid fits their "
            "sections): the limits are those of the other 197.");

  // More failures than the 5 % the limits leave out: no limits.
  for (std::size_t i = 100; i < 108; ++i) resamples[i][1].ratio = NAN;
  r = AnalyseEllipsoid(sections, resamples);
  EXPECT_FALSE(r.has_limits);
  EXPECT_EQ(r.failed, 11);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings[0],
            "11 of 200 resamples could not be fitted (no ellipsoid fits their "
            "sections): too many for 95 % limits.");

  r = AnalyseEllipsoid(sections, {}, "Section B has fewer than five data.");
  EXPECT_TRUE(r.status.ok());
  EXPECT_FALSE(r.has_limits);
  EXPECT_EQ(r.warnings,
            std::vector<std::string>{"Section B has fewer than five data."});
}

TEST(SectionInputs, ComeFromTheAnalysisAndItsBootstrap) {
  AnalysisState state = testing_support::StateOf(testing_support::kSixMarkers);
  state.bootstrap.resamples = 50;
  ASSERT_EQ(RunAnalysis(state), AnalysisResult::kBootstrapped);
  const SectionPlane plane;
  const SectionShape shape = ShapeOfStrain(plane, state);
  EXPECT_EQ(shape.ratio, static_cast<double>(state.strain.ratio));
  EXPECT_EQ(shape.phi, static_cast<double>(state.strain.phi));
  const std::vector<SectionShape> shapes = ShapesOfResamples(plane, state);
  ASSERT_EQ(shapes.size(), 50u);
  // Each shape is its resample's mean as a point of the hyperbolic plane.
  for (std::size_t k = 0; k < shapes.size(); ++k) {
    const float rho = static_cast<float>(std::log(shapes[k].ratio));
    const float psi = static_cast<float>(2 * shapes[k].phi * kRad);
    const MinkowskiVector point = HyperbolicVector(rho, psi);
    for (std::size_t c = 0; c < 3; ++c) {
      EXPECT_NEAR(point[c], state.solutions[k + 1].vector[c], 2e-5f) << k;
    }
  }

  AnalysisState few = testing_support::StateOf({{3, 2, 30}, {4, 2, 45}});
  ASSERT_EQ(RunAnalysis(few), AnalysisResult::kFewerThanFive);
  EXPECT_TRUE(ShapesOfResamples(plane, few).empty());

  // Each section draws from its own stretch of the stream: 2^28 draws on
  // per section.
  EXPECT_EQ(SectionSeed(7, 0), 7u);
  EXPECT_NE(SectionSeed(7, 1), 7u);
  EXPECT_EQ(SectionSeed(SectionSeed(7, 1), 2), SectionSeed(7, 3));
}

TEST(EllipsoidReport, WritesTheShapeAxesAndLimits) {
  const std::vector<SectionShape> sections =
      Sections(Known(2, 1.2, 1 / 2.4), 5);
  const EllipsoidResult r =
      AnalyseEllipsoid(sections, NoisyResamples(sections, 200, 7));
  const std::vector<std::string> lines = EllipsoidReportLines(r, ",");
  const auto has = [&lines](const std::string& l) {
    return Contains(lines, l);
  };
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "*** Strain Ellipsoid ***");
  EXPECT_TRUE(has("  Sections = 5"));
  EXPECT_TRUE(has("  X      = 2,000"));
  EXPECT_TRUE(has("  Y/Z    = 2,880"));
  EXPECT_TRUE(has("  X axis: trend = 30,0, plunge = 20,0"));
  EXPECT_TRUE(has("  k      = 0,355 (Flinn)"));
  EXPECT_TRUE(has("  Incompatibility = 0,0000"));
  EXPECT_TRUE(
      has("** 95% Confidence Limits (200 resamples of each section) **"));
  EXPECT_TRUE(has("  X/Y: min = " + FormatLimit(r.xy.low, ",") +
                  ", max = " + FormatLimit(r.xy.high, ",")));

  // Words where a number has no meaning.
  EllipsoidResult sphere = AnalyseEllipsoid(Sections(Known(1, 1, 1), 3), {});
  const std::vector<std::string> round = EllipsoidReportLines(sphere, ".");
  EXPECT_TRUE(Contains(round, "  k      = infinite (Flinn)"));
  EXPECT_TRUE(Contains(round, "  nu     = undefined (no strain) (Lode)"));
  EXPECT_EQ(round.back(), "  Not computed.");

  EllipsoidResult refused;
  refused.status = Status(StatusCode::kInvalidSettings, "no ellipsoid fits");
  EXPECT_EQ(EllipsoidReportLines(refused, "."),
            (std::vector<std::string>{"", "*** Strain Ellipsoid ***",
                                      "  No ellipsoid: no ellipsoid fits"}));
}

}  // namespace
}  // namespace orvane

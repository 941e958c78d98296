// SPDX-License-Identifier: MIT
#include "core/theta_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/analysis.h"
#include "core/strain.h"
#include "support/test_data.h"

namespace orvane {
namespace {

using LD = long double;
using testing_support::Ellipse;
using testing_support::StateOf;

AnalysisState StrainOf(float ratio, float phi_degrees) {
  AnalysisState s;
  s.strain.rho = std::log(ratio);
  s.strain.psi = static_cast<float>(2 * phi_degrees * kRadPerDeg);
  BuildStrainMatrices(s);
  return s;
}

// The ellipse of ratio ri at theta, strained by a pure shear of ratio rs
// along phi_s, worked out independently of the hyperboloid: the shape
// tensor A = Q(theta) diag(ri, 1/ri) Q(theta)^T goes to F A F^T with
// F = Q(phi_s) diag(sqrt rs, 1/sqrt rs) Q(phi_s)^T, whose eigenvalues are
// Rf and 1/Rf.
RfPhiPoint TensorStrained(LD ri, LD theta_degrees, LD rs, LD phi_s_degrees) {
  auto rotated = [](LD l1, LD l2, LD angle, LD m[2][2]) {
    const LD c = std::cos(angle * kRadPerDeg), s = std::sin(angle * kRadPerDeg);
    m[0][0] = c * c * l1 + s * s * l2;
    m[1][1] = s * s * l1 + c * c * l2;
    m[0][1] = m[1][0] = c * s * (l1 - l2);
  };
  LD a[2][2], f[2][2], fa[2][2], b[2][2];
  rotated(ri, 1 / ri, theta_degrees, a);
  rotated(std::sqrt(rs), 1 / std::sqrt(rs), phi_s_degrees, f);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      fa[i][j] = f[i][0] * a[0][j] + f[i][1] * a[1][j];
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      b[i][j] = fa[i][0] * f[j][0] + fa[i][1] * f[j][1];
  const LD half_trace = (b[0][0] + b[1][1]) / 2;
  const LD d = std::sqrt((b[0][0] - b[1][1]) * (b[0][0] - b[1][1]) / 4 +
                         b[0][1] * b[0][1]);
  const LD phi = std::atan2(2 * b[0][1], b[0][0] - b[1][1]) / 2 * kDegPerRad;
  return {static_cast<float>(half_trace + d), static_cast<float>(phi)};
}

// The shortest distance from p to the curve's points, in degrees of phi
// and in ln R (both small near the curve), the phi difference taken round
// the plot's edge.
double DistanceToCurve(const ThetaCurve& curve, const RfPhiPoint& p) {
  double best = std::numeric_limits<double>::infinity();
  for (const auto& piece : curve.pieces) {
    for (const RfPhiPoint& q : piece) {
      double dphi =
          std::fabs(static_cast<double>(q.phi) - static_cast<double>(p.phi));
      dphi = std::min(dphi, 180 - dphi);
      best = std::min(best, dphi + static_cast<double>(
                                       std::fabs(std::log(q.ratio / p.ratio))));
    }
  }
  return best;
}

TEST(ThetaCurve, CircleGivesTheSinglePointOfTheStrain) {
  const AnalysisState s = StrainOf(2.5f, 35.0f);
  const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, 1.0f);
  ASSERT_EQ(curve.pieces.size(), 1u);
  ASSERT_EQ(curve.pieces[0].size(), 1u);
  EXPECT_NEAR(curve.pieces[0][0].ratio, 2.5f, 1e-5f);
  EXPECT_NEAR(curve.pieces[0][0].phi, 35.0f, 1e-4f);
}

TEST(ThetaCurve, WithoutStrainEveryShapeKeepsItsRatio) {
  AnalysisState s;
  s.pre_to_post = MatIdentity();
  const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, 2.0f);
  // phi = theta wraps from +90 to -90 once, half way.
  ASSERT_EQ(curve.pieces.size(), 2u);
  EXPECT_NEAR(curve.pieces[0].back().phi, 90.0f, 1e-2f);
  EXPECT_NEAR(curve.pieces[1].front().phi, -90.0f, 1e-2f);
  for (const auto& piece : curve.pieces) {
    for (const RfPhiPoint& p : piece) EXPECT_NEAR(p.ratio, 2.0f, 1e-5f);
  }
}

TEST(ThetaCurve, PiecesNeverJumpAcrossThePlot) {
  for (const float rs : {1.3f, 2.0f, 5.0f}) {
    for (const float phi : {-89.5f, -30.0f, 0.0f, 60.0f, 90.0f}) {
      const AnalysisState s = StrainOf(rs, phi);
      for (const float ri : DefaultThetaCurveRatios()) {
        // Ri = Rs passes through the circle, where phi turns at once.
        if (ri == rs) continue;
        const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, ri);
        for (const auto& piece : curve.pieces) {
          for (std::size_t i = 1; i < piece.size(); ++i) {
            ASSERT_LT(std::fabs(piece[i].phi - piece[i - 1].phi), 5.0f)
                << "Rs " << rs << " phi " << phi << " Ri " << ri;
          }
        }
        // A curve enclosing the origin (Ri > Rs) wraps once; one that does
        // not (Ri < Rs) is a closed loop in one piece, unless the strain
        // lies at the edge.
        if (ri > rs) {
          EXPECT_EQ(curve.pieces.size(), 2u) << rs << " " << phi << " " << ri;
        } else if (ri < rs && std::fabs(phi) < 60) {
          EXPECT_EQ(curve.pieces.size(), 1u) << rs << " " << phi << " " << ri;
        }
      }
    }
  }
}

TEST(ThetaCurve, AgreesWithTheStrainedShapeTensors) {
  const AnalysisState s = StrainOf(2.2f, -25.0f);
  for (int t = 0; t < 180; t += 7) {
    const RfPhiPoint got = StrainedShape(s.pre_to_post, 3.0f, t);
    const RfPhiPoint want = TensorStrained(3, t, 2.2L, -25);
    EXPECT_NEAR(got.ratio, want.ratio, 2e-5f * want.ratio) << t;
    const float dphi = std::fabs(got.phi - want.phi);
    EXPECT_LT(std::min(dphi, 180 - dphi), 2e-3f) << t;
  }
}

TEST(ThetaCurve, StrainedMarkersOfOneRatioLieOnItsCurve) {
  // Identical ellipses of ratio 2 in every orientation (their vector mean
  // is the origin), strained by a known strain: the analysis recovers the
  // strain, and every marker lies on the curve of Ri = 2.
  std::vector<Ellipse> data;
  for (int t = 0; t < 180; t += 5) {
    const RfPhiPoint p = TensorStrained(2, t, 1.8L, 30);
    data.push_back({p.ratio, 1.0f, p.phi});
  }
  AnalysisState s = StateOf(data);
  RunAnalysis(s);
  ASSERT_NEAR(s.strain.ratio, 1.8f, 1e-4f);
  ASSERT_NEAR(s.strain.phi, 30.0f, 1e-3f);
  const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, 2.0f);
  for (const Ellipse& e : data) {
    EXPECT_LT(DistanceToCurve(curve, {e.major, e.phi}), 2e-3) << e.phi;
  }
  // The curve of another ratio passes by them.
  const ThetaCurve other = ComputeThetaCurve(s.pre_to_post, 2.5f);
  for (const Ellipse& e : data) {
    EXPECT_GT(DistanceToCurve(other, {e.major, e.phi}), 0.05) << e.phi;
  }
}

TEST(ThetaCurve, ShapesBeyondSinglePrecisionBreakTheLine) {
  const AnalysisState s = StrainOf(1e30f, 0.0f);
  const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, 1000.0f);
  for (const auto& piece : curve.pieces) {
    for (const RfPhiPoint& p : piece) {
      EXPECT_TRUE(std::isfinite(p.ratio) && std::isfinite(p.phi));
    }
  }
}

TEST(ThetaCurveRatios, ReadsListsAndRefusesBadEntries) {
  std::vector<float> r;
  ASSERT_TRUE(ParseThetaCurveRatios("1.25, 1.5, 2, 3, 5", r).ok());
  EXPECT_EQ(r, DefaultThetaCurveRatios());
  ASSERT_TRUE(ParseThetaCurveRatios(" 1;4\t1000 ", r).ok());
  EXPECT_EQ(r, (std::vector<float>{1, 4, 1000}));
  ASSERT_TRUE(ParseThetaCurveRatios("", r).ok());
  EXPECT_TRUE(r.empty());

  r = {2};
  const Status word = ParseThetaCurveRatios("1.5, two", r);
  EXPECT_FALSE(word.ok());
  EXPECT_NE(word.message().find("\"two\" is not a number"), std::string::npos);
  EXPECT_EQ(r, std::vector<float>{2});  // left as it was
  EXPECT_NE(
      ParseThetaCurveRatios("0.5", r).message().find("\"0.5\" is out of range"),
      std::string::npos);
  EXPECT_FALSE(ParseThetaCurveRatios("1.5.2", r).ok());
  EXPECT_FALSE(ParseThetaCurveRatios("2 inf", r).ok());
  EXPECT_FALSE(ParseThetaCurveRatios("nan", r).ok());
  EXPECT_FALSE(ParseThetaCurveRatios("1001", r).ok());
  EXPECT_FALSE(ParseThetaCurveRatios("1.5x", r).ok());
  std::string many;
  for (int i = 0; i <= kMaxThetaCurves; ++i) many += "2 ";
  EXPECT_FALSE(ParseThetaCurveRatios(many, r).ok());

  EXPECT_EQ(ThetaCurveRatiosText(DefaultThetaCurveRatios()),
            "1.25, 1.5, 2, 3, 5");
}

// With a decimal comma, a comma within a number is its separator and the
// items are separated by semicolons or blanks; what could be read two ways
// is refused rather than guessed, and the list is written so.
TEST(ThetaCurveRatios, DecimalCommaLists) {
  std::vector<float> r;
  ASSERT_TRUE(ParseThetaCurveRatios("1,25; 1,5;2 3\t5", r, ",").ok());
  EXPECT_EQ(r, DefaultThetaCurveRatios());
  ASSERT_TRUE(ParseThetaCurveRatios("1.5; 2,5", r, ",").ok());
  EXPECT_EQ(r, (std::vector<float>{1.5f, 2.5f}));
  for (const char* ambiguous :
       {"1,5,2", "1, 2, 3", "1,5;,2", "1.000,5", ",5"}) {
    r = {7};
    const Status s = ParseThetaCurveRatios(ambiguous, r, ",");
    EXPECT_FALSE(s.ok()) << ambiguous;
    EXPECT_EQ(r, std::vector<float>{7}) << ambiguous;
  }
  EXPECT_NE(ParseThetaCurveRatios("1,5,2", r, ",")
                .message()
                .find("\"1,5,2\" is ambiguous: with a decimal comma, separate "
                      "the initial ratios by semicolons or blanks, such as "
                      "1,25; 1,5; 2; 3; 5"),
            std::string::npos);
  EXPECT_NE(
      ParseThetaCurveRatios("1,5;;2", r, ",").message().find("empty item"),
      std::string::npos);
  EXPECT_EQ(ThetaCurveRatiosText(DefaultThetaCurveRatios(), ","),
            "1,25; 1,5; 2; 3; 5");
  // The full stop's lists are read as before.
  ASSERT_TRUE(ParseThetaCurveRatios("1,5", r).ok());
  EXPECT_EQ(r, (std::vector<float>{1, 5}));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

TEST(ThetaCurve, StrainedCirclesLieOnTheCurveOfRatioOne) {
  // Identical circles strained by a known strain all become the strain
  // ellipse: the analysis finds it, and the curve of Ri = 1 is that point.
  std::vector<testing_support::Ellipse> data;
  const RfPhiPoint strained = TensorStrained(1, 0, 2.4L, -50);
  for (int i = 0; i < 6; ++i) data.push_back({strained.ratio, 1, strained.phi});
  AnalysisState s = testing_support::StateOf(data);
  RunAnalysis(s);
  const ThetaCurve curve = ComputeThetaCurve(s.pre_to_post, 1.0f);
  ASSERT_EQ(curve.pieces.size(), 1u);
  ASSERT_EQ(curve.pieces[0].size(), 1u);
  for (const auto& e : data) {
    EXPECT_LT(DistanceToCurve(curve, {e.major, e.phi}), 1e-4) << e.phi;
  }
  EXPECT_NEAR(curve.pieces[0][0].ratio, 2.4f, 1e-5f);
  EXPECT_NEAR(curve.pieces[0][0].phi, -50.0f, 1e-3f);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "core/hyperbolic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvane {
namespace {

constexpr float kPi = 3.14159265358979f;

TEST(HyperbolicFunctions, TinyArgumentsAreExact) {
  EXPECT_EQ(ExtCosh(1e-17L), 1.0L);
  EXPECT_EQ(ExtSinh(-1e-17L), 0.0L);
  EXPECT_EQ(ExtSinh(1e-16L), 0.0L);
  EXPECT_NE(ExtSinh(1e-15L), 0.0L);
  EXPECT_NEAR(static_cast<double>(ExtSinh(1.0L)), std::sinh(1.0), 1e-15);
  EXPECT_NEAR(static_cast<double>(ExtCosh(2.0L)), std::cosh(2.0), 1e-15);
}

TEST(HyperbolicFunctions, InverseFunctions) {
  EXPECT_EQ(ExtArcCosh(1.0L), 0.0L);
  // Rounding can push the argument just below 1: the distance is 0, not NaN.
  EXPECT_EQ(ExtArcCosh(0.9999999L), 0.0L);
  EXPECT_NEAR(static_cast<double>(ExtArcCosh(std::cosh(1.5L))), 1.5, 1e-15);
  EXPECT_NEAR(static_cast<double>(ExtArcSinh(std::sinh(0.7L))), 0.7, 1e-15);
  EXPECT_EQ(ExtArcSinh(0.0L), 0.0L);
}

TEST(EllipseVector, CircleIsTheOrigin) {
  const MinkowskiVector x = HyperbolicVector(0.0f, 0.0f);
  EXPECT_EQ(x, (MinkowskiVector{1.0f, 0.0f, 0.0f}));
  const PolarCoordinates p = VectorToPolar(x);
  EXPECT_EQ(p.rho, 0.0f);
  EXPECT_EQ(p.psi, 0.0f);
  EXPECT_EQ(ZetaOfR(1.0f), 0.0f);
  EXPECT_EQ(ZetaOfRho(0.0f), 0.0f);
}

TEST(EllipseVector, NinetyDegreesPointsBackwards) {
  const float rho = std::log(3.0f);
  const float psi = static_cast<float>(90.0L * 2 * kRadPerDeg);
  const MinkowskiVector x = HyperbolicVector(rho, psi);
  EXPECT_NEAR(x[0], std::cosh(rho), 1e-6);
  EXPECT_NEAR(x[1], -std::sinh(rho), 1e-6);
  EXPECT_NEAR(x[2], 0.0f, 1e-6);
  const PolarCoordinates back = VectorToPolar(x);
  EXPECT_NEAR(std::fabs(back.psi), kPi, 1e-6);
  EXPECT_NEAR(back.rho, rho, 1e-6);
}

TEST(EllipseVector, FortyFiveDegreesWithRatioE) {
  const float rho = std::log(static_cast<float>(std::exp(1.0)));
  const float psi = static_cast<float>(45.0L * 2 * kRadPerDeg);
  const MinkowskiVector x = HyperbolicVector(rho, psi);
  EXPECT_NEAR(rho, 1.0f, 1e-7);
  EXPECT_NEAR(x[0], std::cosh(1.0), 1e-6);
  EXPECT_NEAR(x[2], std::sinh(1.0), 1e-6);
  // cos of the single-precision pi/2 is not 0: the middle component is tiny
  // but not exactly zero.
  EXPECT_NE(x[1], 0.0f);
  EXPECT_NEAR(x[1], 0.0f, 1e-7);
  EXPECT_NEAR(ZetaOfRho(rho), 2 * std::sinh(0.5), 1e-6);
}

TEST(EllipseVector, ZetaOfRatioAndOfRho) {
  EXPECT_EQ(ZetaOfR(4.0f), 1.5f);
  EXPECT_NEAR(ZetaOfRho(std::log(4.0f)), 1.5f, 2e-7);
  EXPECT_EQ(ZetaOfR(2.0f),
            static_cast<float>(std::sqrt(2.0L) - 1 / std::sqrt(2.0L)));
}

TEST(EllipseVector, PolarRoundTripStaysOnTheHyperboloid) {
  for (float rho : {0.01f, 0.3f, 1.0f, 2.5f, 6.9f}) {
    for (float psi : {-3.1f, -1.0f, 0.0f, 0.5f, 2.0f, 3.14f}) {
      const MinkowskiVector x = HyperbolicVector(rho, psi);
      EXPECT_NEAR(LorentzNorm(x), 1.0f, 2e-3f * x[0] * x[0]);
      const PolarCoordinates p = VectorToPolar(x);
      EXPECT_NEAR(p.rho, rho, 1e-6f * (1 + rho));
      EXPECT_NEAR(p.psi, psi, 1e-5f);
    }
  }
}

TEST(EllipseVector, DistanceToItselfIsNearlyZero) {
  // The argument -<x, x> is 1 only up to the rounding of x to single: below
  // 1 the distance is 0 (never NaN), above it a rounding error that grows
  // with x0 (arcosh(1 + 2^-23) = 4.9e-4 is its smallest step).
  for (float rho = 0.0f; rho < 7.0f; rho += 0.37f) {
    for (float psi = -3.0f; psi < 3.1f; psi += 0.71f) {
      const MinkowskiVector x = HyperbolicVector(rho, psi);
      const float d = HyperbolicDistance(x, x);
      EXPECT_GE(d, 0.0f) << rho << " " << psi;
      EXPECT_LE(d, 2.5e-3f * x[0]) << rho << " " << psi;
    }
  }
  EXPECT_EQ(HyperbolicDistance({1, 0, 0}, {1, 0, 0}), 0.0f);
  const MinkowskiVector o = HyperbolicVector(0, 0);
  const MinkowskiVector p = HyperbolicVector(1.25f, 0.4f);
  EXPECT_NEAR(HyperbolicDistance(o, p), 1.25f, 1e-6f);
}

TEST(EllipseVector, NotTimeLikeHasNormZero) {
  EXPECT_EQ(LorentzNorm({0.0f, 1.0f, 0.0f}), 0.0f);
  EXPECT_EQ(LorentzNorm({2.0f, 0.0f, 0.0f}), 2.0f);
}

TEST(PlaneVectors, LengthUnitAndCross) {
  const PlaneVectorLength l = PlaneLength({3.0f, 4.0f});
  EXPECT_EQ(l.length, 5.0f);
  EXPECT_EQ(l.unit, (PlaneVector{0.6f, 0.8f}));
  const PlaneVectorLength z = PlaneLength({0.0f, 0.0f});
  EXPECT_EQ(z.length, 0.0f);
  EXPECT_EQ(z.unit, (PlaneVector{0.0f, 0.0f}));
  EXPECT_EQ(PlaneCross({1, 0}, {0, 1}), 1.0f);
  EXPECT_EQ(PlaneCross({0, 1}, {1, 0}), -1.0f);
}

MinkowskiMatrix Boost(float rho, float psi) {
  MinkowskiMatrix r = MatIdentity(), b = MatIdentity(), u = MatIdentity();
  r[1][1] = u[1][1] = std::cos(psi);
  r[2][2] = u[2][2] = std::cos(psi);
  r[2][1] = u[1][2] = std::sin(psi);
  r[1][2] = u[2][1] = -std::sin(psi);
  b[0][0] = b[1][1] = std::cosh(rho);
  b[0][1] = b[1][0] = std::sinh(rho);
  return MatMul(MatMul(r, b), u);
}

TEST(Matrices, IdentityIsNeutral) {
  const MinkowskiMatrix id = MatIdentity();
  EXPECT_EQ(MatInverse(id), id);
  const MinkowskiMatrix m = Boost(0.8f, 1.1f);
  EXPECT_EQ(MatMul(m, id), m);
  EXPECT_EQ(MatMul(id, m), m);
  const MinkowskiVector v = {1.5f, -0.25f, 2.0f};
  EXPECT_EQ(MatVec(id, v), v);
  EXPECT_EQ(MatZero(), MinkowskiMatrix{});
  EXPECT_EQ(MatDet(id), 1.0f);
}

TEST(Matrices, SarrusAndInverse) {
  const MinkowskiMatrix m = {{{3, 1, 1}, {1, 1, 0}, {1, 0, 1}}};
  EXPECT_EQ(MatDet(m), 1.0f);
  const MinkowskiMatrix expected = {{{1, -1, -1}, {-1, 2, 1}, {-1, 1, 2}}};
  EXPECT_EQ(MatInverse(m), expected);
  const MinkowskiMatrix n = {{{2, 0, 1}, {1, 3, 2}, {1, 1, 1}}};
  EXPECT_EQ(MatDet(n), 0.0f);
  // Not symmetric: the transposition of the cofactors matters.
  const MinkowskiMatrix a = {{{1, 2, 0}, {0, 1, 0}, {0, 0, 1}}};
  EXPECT_EQ(MatInverse(a),
            (MinkowskiMatrix{{{1, -2, 0}, {0, 1, 0}, {0, 0, 1}}}));
}

TEST(Matrices, LorentzBoostHasUnitDeterminantAndInverse) {
  const MinkowskiMatrix q = Boost(1.7f, -0.6f);
  EXPECT_NEAR(MatDet(q), 1.0f, 1e-4f);
  const MinkowskiMatrix p = MatMul(q, MatInverse(q));
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(p[i][j], i == j ? 1.0f : 0.0f, 1e-5f);
    }
  }
  // The boost moves the origin to the point (rho, psi).
  const PolarCoordinates moved = VectorToPolar(MatVec(q, {1, 0, 0}));
  EXPECT_NEAR(moved.rho, 1.7f, 1e-5f);
  EXPECT_NEAR(moved.psi, -0.6f, 1e-5f);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The double-precision paths of the per-datum functions must give the
// extended formulas' singles bit for bit: near a rounding boundary they must
// hand over to the extended formula, and everywhere else agree with it.
#include "core/double_paths.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "core/hyperbolic.h"

namespace orvane {
namespace {

using LD = long double;

std::uint32_t Bits(float f) {
  return std::bit_cast<std::uint32_t>(f);
}

// The distance of x from the nearest midpoint between two singles, relative
// to |x|.
double MidpointDistance(LD x) {
  const float f = static_cast<float>(x);
  const std::uint32_t b = Bits(f);
  const LD up = (static_cast<LD>(f) + std::bit_cast<float>(b + 1)) / 2;
  const LD down = (static_cast<LD>(f) + std::bit_cast<float>(b - 1)) / 2;
  return static_cast<double>(std::fmin(std::fabs(x - up), std::fabs(x - down)) /
                             std::fabs(x));
}

TEST(RoundsToSameSingle, MidpointsWithinTheRadiusAreRefused) {
  // 1 + 2^-24 is the midpoint between 1 and the next single.
  const double mid = 1.0 + 0x1p-24;
  EXPECT_FALSE(RoundsToSameSingle(mid, 0));
  EXPECT_FALSE(RoundsToSameSingle(mid - 0x1p-45, 0x1p-44));
  EXPECT_TRUE(RoundsToSameSingle(mid - 0x1p-45, 0x1p-46));
  EXPECT_FALSE(RoundsToSameSingle(mid + 0x1p-45, 0x1p-44));
  EXPECT_TRUE(RoundsToSameSingle(mid + 0x1p-45, 0x1p-46));
  // Below a power of two the singles are twice as dense: the midpoint under
  // 1 is 1 - 2^-25, not 1 - 2^-24.
  const double below = 1.0 - 0x1p-25;
  EXPECT_FALSE(RoundsToSameSingle(below + 0x1p-45, 0x1p-44));
  EXPECT_TRUE(RoundsToSameSingle(below + 0x1p-45, 0x1p-46));
  EXPECT_TRUE(RoundsToSameSingle(1.0 - 0x1p-24 - 0x1p-30, 0x1p-40));
  // The same on the negative side.
  EXPECT_FALSE(RoundsToSameSingle(-mid + 0x1p-45, 0x1p-44));
  EXPECT_TRUE(RoundsToSameSingle(-mid + 0x1p-45, 0x1p-46));
  // Values the callers leave to the extended formulas.
  EXPECT_FALSE(RoundsToSameSingle(0.0, 0));
  EXPECT_FALSE(RoundsToSameSingle(-0.0, 0));
  EXPECT_FALSE(RoundsToSameSingle(1e-35, 1e-60));
  EXPECT_FALSE(RoundsToSameSingle(1e35, 1.0));
  EXPECT_FALSE(RoundsToSameSingle(INFINITY, 0));
  EXPECT_FALSE(RoundsToSameSingle(NAN, 0));
}

// Inputs whose extended results lie within 2e-15 (relative) of a midpoint
// between singles, found by a search over the data range: the double path
// cannot decide them and must hand over.
TEST(DoublePaths, NearMidpointsTheExtendedFormulaDecides) {
  struct VectorCase {
    float rho, psi;
    int component;
  };
  for (const VectorCase& c : {VectorCase{0x1.9b144ep+2f, -0x1.8ea376p+2f, 2},
                              VectorCase{0x1.f0754p-1f, -0x1.2bc344p+3f, 2},
                              VectorCase{0x1.a7cb3ap+2f, 0x1.4cd8a4p+1f, 1},
                              VectorCase{0x1.54268ep+2f, -0x1.1d72e2p+2f, 1},
                              VectorCase{0x1.deeeap-11f, 1.0f, 0},
                              VectorCase{0x1.0f876cp-10f, -2.0f, 0}}) {
    const LD sh = ExtSinh(c.rho);
    const LD x[3] = {ExtCosh(c.rho), sh * std::cos(static_cast<LD>(c.psi)),
                     sh * std::sin(static_cast<LD>(c.psi))};
    ASSERT_LT(MidpointDistance(x[c.component]), 2e-15) << c.rho;
    MinkowskiVector v;
    EXPECT_FALSE(HyperbolicVectorInDouble(c.rho, c.psi, v)) << c.rho;
    EXPECT_EQ(HyperbolicVector(c.rho, c.psi),
              HyperbolicVectorExtended(c.rho, c.psi));
  }
  float out;
  // 2 sinh(rho / 2) of the first lies exactly on a midpoint.
  for (float rho : {0x1.250bfep-10f, 0x1.6d543ep-8f}) {
    ASSERT_LT(MidpointDistance(2 * ExtSinh(static_cast<LD>(rho) / 2)), 2e-15);
    EXPECT_FALSE(ZetaOfRhoInDouble(rho, out)) << rho;
    EXPECT_EQ(Bits(ZetaOfRho(rho)), Bits(ZetaOfRhoExtended(rho)));
  }
  EXPECT_EQ(MidpointDistance(2 * ExtSinh(static_cast<LD>(0x1.250bfep-10f) / 2)),
            0.0);
  for (float rho : {0x1.036492p+1f, 0x1.62b666p+1f}) {
    ASSERT_LT(MidpointDistance(std::exp(static_cast<LD>(rho))), 2e-15);
    EXPECT_FALSE(RatioOfRhoInDouble(rho, out)) << rho;
    EXPECT_EQ(Bits(RatioOfRho(rho)), Bits(RatioOfRhoExtended(rho)));
  }
  const float ratio = 0x1.2f1fd6p+3f;
  ASSERT_LT(MidpointDistance(std::log(static_cast<LD>(ratio))), 2e-15);
  EXPECT_FALSE(RhoOfRatioInDouble(ratio, out));
  EXPECT_EQ(Bits(RhoOfRatio(ratio)), Bits(RhoOfRatioExtended(ratio)));
  // atan2 of two vectors, and arsinh of a vector along x1.
  for (const MinkowskiVector& v :
       {MinkowskiVector{1, -0x1.616274p+7f, 0x1.cbacfcp+6f},
        MinkowskiVector{1, 0x1.47bb6p+8f, -0x1.7143fep+7f}}) {
    ASSERT_LT(MidpointDistance(std::atan2(static_cast<LD>(v[2]), v[1])), 2e-15);
    EXPECT_FALSE(PolarPsiInDouble(v, out));
    const PolarCoordinates fast = VectorToPolar(v);
    const PolarCoordinates ext = VectorToPolarExtended(v);
    EXPECT_EQ(Bits(fast.psi), Bits(ext.psi));
    EXPECT_EQ(Bits(fast.rho), Bits(ext.rho));
  }
  for (float x1 : {0x1.d67764p+6f, 0x1.13a07ap-7f}) {
    const MinkowskiVector along = {1, x1, 0};
    ASSERT_LT(MidpointDistance(ExtArcSinh(along[1])), 2e-15);
    EXPECT_FALSE(PolarRhoInDouble(along, out));
    EXPECT_EQ(Bits(VectorToPolar(along).rho),
              Bits(VectorToPolarExtended(along).rho));
  }
}

TEST(DoublePaths, CirclesAndOutOfRangeArguments) {
  // A circle's vector: exact ones and zeros, signed as the extended formula
  // signs them (0 x cos psi is -0 where cos psi < 0).
  for (float psi : {0.0f, -0.0f, 1.0f, -1.0f, 3.0f, -3.0f, 3.1415927f}) {
    MinkowskiVector v;
    ASSERT_TRUE(HyperbolicVectorInDouble(0.0f, psi, v)) << psi;
    const MinkowskiVector e = HyperbolicVectorExtended(0.0f, psi);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Bits(v[c]), Bits(e[c])) << psi;
  }
  float out;
  ASSERT_TRUE(RhoOfRatioInDouble(1.0f, out));
  EXPECT_EQ(Bits(out), Bits(RhoOfRatioExtended(1.0f)));
  // Tiny, huge and non-finite arguments go to the extended formulas.
  MinkowskiVector v;
  EXPECT_FALSE(HyperbolicVectorInDouble(1e-17f, 1.0f, v));
  EXPECT_FALSE(HyperbolicVectorInDouble(70.0f, 1.0f, v));
  EXPECT_FALSE(HyperbolicVectorInDouble(1.0f, NAN, v));
  EXPECT_FALSE(ZetaOfRhoInDouble(0.0f, out));
  EXPECT_FALSE(RatioOfRhoInDouble(100.0f, out));
  EXPECT_FALSE(RhoOfRatioInDouble(0.0f, out));
  EXPECT_FALSE(PolarRhoInDouble({1, 0, 0}, out));
  EXPECT_FALSE(PolarPsiInDouble({1, 1, 0}, out));  // atan2 = 0
  for (float rho : {1e-17f, 70.0f, -0.0f}) {
    EXPECT_EQ(HyperbolicVector(rho, 1.0f), HyperbolicVectorExtended(rho, 1.0f));
    EXPECT_EQ(Bits(ZetaOfRho(rho)), Bits(ZetaOfRhoExtended(rho)));
  }
  EXPECT_EQ(Bits(RatioOfRho(100.0f)), Bits(RatioOfRhoExtended(100.0f)));
  EXPECT_EQ(VectorToPolar({1, 0, 0}).psi, 0.0f);
  EXPECT_EQ(Bits(VectorToPolar({1, -2, -0.0f}).psi),
            Bits(VectorToPolarExtended({1, -2, -0.0f}).psi));
}

// Random arguments over the range of the data (ratios up to 1000 and
// beyond, every orientation, tiny components near the axes): each function
// equals its extended formula bit for bit, and the double path decides
// nearly all of them (but for the tiny rho, where sinh cancels).
TEST(DoublePaths, RandomSweepsMatchTheExtendedFormulas) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  constexpr int kCases = 1000000;
  int decided = 0;
  int ordinary = 0;
  for (int i = 0; i < kCases; ++i) {
    // ln R for R up to 1000, now and then up to e^12, now and then tiny.
    double rho = unit(random) * 6.91;
    if (i % 16 == 1) rho = unit(random) * 12;
    if (i % 16 == 2) rho = std::ldexp(unit(random), -static_cast<int>(i % 30));
    // Orientations of +-360 degrees, or exactly a whole number of degrees
    // (on the axes the components are tiny).
    double phi = (unit(random) * 2 - 1) * 360;
    if (i % 4 == 3) phi = std::round(phi);
    const float r = static_cast<float>(rho);
    const float psi = static_cast<float>(phi * 2 * kRadPerDeg);
    MinkowskiVector v;
    if (i % 16 != 2) {
      ++ordinary;
      if (HyperbolicVectorInDouble(r, psi, v)) ++decided;
    }
    const MinkowskiVector fast = HyperbolicVector(r, psi);
    const MinkowskiVector ext = HyperbolicVectorExtended(r, psi);
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(Bits(fast[c]), Bits(ext[c])) << r << " " << psi << " " << c;
    }
    ASSERT_EQ(Bits(ZetaOfRho(r)), Bits(ZetaOfRhoExtended(r))) << r;
    ASSERT_EQ(Bits(RatioOfRho(r)), Bits(RatioOfRhoExtended(r))) << r;
    const float ratio = static_cast<float>(std::exp(rho));
    ASSERT_EQ(Bits(RhoOfRatio(ratio)), Bits(RhoOfRatioExtended(ratio)))
        << ratio;
    // A point off the hyperboloid, as a retrodeformation leaves it.
    const MinkowskiVector w = {fast[0], fast[1] * 1.0001f, fast[2]};
    const PolarCoordinates pf = VectorToPolar(w);
    const PolarCoordinates pe = VectorToPolarExtended(w);
    ASSERT_EQ(Bits(pf.rho), Bits(pe.rho)) << w[1] << " " << w[2];
    ASSERT_EQ(Bits(pf.psi), Bits(pe.psi)) << w[1] << " " << w[2];
  }
  EXPECT_GT(decided, ordinary - ordinary / 1000);
}

// Every single ratio of a slice of the range, as DeriveMeasured meets them.
TEST(DoublePaths, EveryRatioNearOneAndNearTheLimit) {
  int decided = 0;
  int count = 0;
  for (float lo : {1.0f, 999.0f}) {
    float r = lo;
    for (int k = 0; k < 300000; ++k, r = std::nextafter(r, 2000.0f)) {
      float out;
      if (RhoOfRatioInDouble(r, out)) ++decided;
      ++count;
      ASSERT_EQ(Bits(RhoOfRatio(r)), Bits(RhoOfRatioExtended(r))) << r;
      const float rho = RhoOfRatio(r);
      ASSERT_EQ(Bits(ZetaOfRho(rho)), Bits(ZetaOfRhoExtended(rho))) << rho;
    }
  }
  EXPECT_GT(decided, count - count / 100);
}

}  // namespace
}  // namespace orvane

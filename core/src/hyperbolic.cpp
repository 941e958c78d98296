// SPDX-License-Identifier: MIT
#include "core/hyperbolic.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "core/double_paths.h"

namespace orvane {
namespace {

using LD = long double;

// Rounds an extended result to the single-precision storage format.
inline float Single(LD v) {
  return static_cast<float>(v);
}

// Error bounds of the double paths.
//
// Notation: u = 2^-53 and U = 2^-64 are the unit roundoffs of double and
// long double: each basic operation (+ - * / sqrt) returns the exact result
// times (1 + e) with |e| <= u (or U); squares of singles, halving and
// doubling are exact. A library function within m ulp of the true value has
// a relative error at most 2 m u (or 2 m U), since an ulp is at most twice
// the unit roundoff relative to the value. glibc's manual lists the largest
// known errors of its functions on x86_64: for exp, log, sin, cos, sincos
// and atan2 in double they are at most 1 ulp, and a few ulp at most for the
// long double versions. We allow m = 4 for every call, so a = 8 u (double)
// and A = 8 U (extended) per call. Whichever variant of a double function
// the library picks for the processor, a result within these bounds gives
// the same single, so the figures do not depend on the machine. The
// extended terms weigh little (U = u / 2048): the margins below would hold
// with extended errors a thousand times larger.
//
// Each path computes a double result d with |d - F| <= Ed and bounds the
// extended formula's result X (before it is rounded to single) by
// |X - F| <= Ex, F being the exact value; the radius passed to
// RoundsToSameSingle covers Ed + Ex, written in terms of the double
// intermediates (which differ from the exact ones by relative errors below
// 12 u), with a margin that also absorbs the rounding of the radius itself.
// Since U = u / 2048, the extended terms only add to the slack.
//
// cosh x = (e^x + e^-x) / 2, with C = cosh x, S = sinh x:
//   the double sum of two values with relative errors a, plus its rounding:
//   |ch - C| <= (a + 2u) C = 10 u C; extended 10 U C. Radius 12 u ch.
// sinh x = (e^x - e^-x) / 2: the two exponentials' absolute errors add up
//   regardless of cancellation: |sh - S| <= a C (1 + u) + u |S|.
// sinh x * cos y (and sin y), with c = cos y within a relative a:
//   |sh c - S cos y| <= |cos y| (a C + (a + 2u) |S|) (1 + 3a)
//   <= |cos y| (8 C + 10 |S|) u (1 + 3a); with |S| <= C, both paths
//   together stay below 18.1 u |cos y| C. Radius 20 u |c| ch.
// 2 sinh(rho / 2) = e^h - e^-h, h = rho / 2 exact: twice the sinh bound,
//   2 (a C + 2u |S|) with C = cosh h, below 18.1 u C for both paths.
//   Radius 20 u ch.
// e^rho: a relative, 8 u + 8 U in all. Radius 9 u d.
// ln R: the result's relative a, 8 u + 8 U. Radius 9 u |d|.
// atan2(v2, v1) of singles (exact arguments): relative a. Radius 9 u |d|.
// arsinh(r), r = sqrt(v1^2 + v2^2), as ln(y + sqrt(y^2 + 1)) with y = r as
//   evaluated: y is r within a relative 1.5 u (one rounded sum of exact
//   squares, one rounded square root), which moves arsinh by at most
//   1.5 u y / sqrt(1 + y^2) <= 1.5 u; y^2 + 1 and its square root carry a
//   relative 2 u, their sum with y 3 u, which the logarithm turns into an
//   absolute 3 u; the logarithm itself adds a relative a = 8 u. Together
//   4.5 u + 8 u |rho| for each path. Radius 5 u + 9 u |d|.
constexpr double kU = 0x1p-53;

}  // namespace

bool RoundsToSameSingle(double a, double radius) {
  const float f = static_cast<float>(a);
  const float magnitude = std::fabs(f);
  if (!(magnitude >= 0x1p-100f && magnitude <= 0x1p100f)) return false;
  // The midpoints between f and its two neighbours are exact in double, and
  // so are their differences from a, which lies within one single ulp of
  // them (Sterbenz). Every value strictly between the midpoints rounds to f.
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
  const double next = std::bit_cast<float>(bits + 1);
  const double previous = std::bit_cast<float>(bits - 1);
  const double upper = (static_cast<double>(f) + next) / 2;
  const double lower = (static_cast<double>(f) + previous) / 2;
  return std::fabs(a - upper) > radius && std::fabs(a - lower) > radius;
}

LD ExtCosh(LD x) {
  if (std::fabs(x) <= 1e-16L) return 1.0L;
  return (std::exp(x) + std::exp(-x)) / 2;
}

LD ExtSinh(LD x) {
  if (std::fabs(x) <= 1e-16L) return 0.0L;
  return (std::exp(x) - std::exp(-x)) / 2;
}

LD ExtArcCosh(LD y) {
  // Nearly coinciding points can give an argument a rounding error below 1;
  // their distance is 0. (The comparison is also false for NaN, which then
  // propagates rather than being hidden.)
  if (y < 1.0L) return 0.0L;
  return std::log(y + (y + 1.0L) * std::sqrt((y - 1.0L) / (y + 1.0L)));
}

LD ExtArcSinh(LD y) {
  return std::log(y + std::sqrt(y * y + 1.0L));
}

float MinkowskiProduct(const MinkowskiVector& p, const MinkowskiVector& q) {
  LD s = -(static_cast<LD>(p[0]) * q[0]);
  s += static_cast<LD>(p[1]) * q[1];
  s += static_cast<LD>(p[2]) * q[2];
  return Single(s);
}

float LorentzNorm(const MinkowskiVector& v) {
  const LD arg = -static_cast<LD>(MinkowskiProduct(v, v));
  if (!(arg > 0)) return 0.0f;
  return Single(std::sqrt(arg));
}

float HyperbolicDistance(const MinkowskiVector& p, const MinkowskiVector& q) {
  return Single(ExtArcCosh(-static_cast<LD>(MinkowskiProduct(p, q))));
}

MinkowskiVector HyperbolicVectorExtended(float rho, float psi) {
  const LD sh = ExtSinh(rho);
  return {Single(ExtCosh(rho)), Single(sh * std::cos(static_cast<LD>(psi))),
          Single(sh * std::sin(static_cast<LD>(psi)))};
}

bool HyperbolicVectorInDouble(float rho, float psi, MinkowskiVector& out) {
  const double x = rho;
  const double y = psi;
  if (x == 0) {
    // A circle: sinh is exactly 0 and cosh exactly 1; the zeros take the
    // signs of cos psi and sin psi, which are never zero for a nonzero
    // single psi (and sin(+-0) = +-0 exactly), so both paths agree on them.
    if (!(std::fabs(y) <= 100)) return false;
    out = {1.0f, static_cast<float>(0.0 * std::cos(y)),
           static_cast<float>(0.0 * std::sin(y))};
    return true;
  }
  // Tiny arguments take the exact branch of ExtSinh and ExtCosh; large ones
  // would overflow the single anyway.
  if (!(std::fabs(x) > 1e-15 && std::fabs(x) < 64)) return false;
  const double e1 = std::exp(x);
  const double e2 = std::exp(-x);
  const double ch = (e1 + e2) / 2;
  const double sh = (e1 - e2) / 2;
  const double c = std::cos(y);
  const double s = std::sin(y);
  const double v1 = sh * c;
  const double v2 = sh * s;
  if (!RoundsToSameSingle(ch, 12 * kU * ch) ||
      !RoundsToSameSingle(v1, 20 * kU * std::fabs(c) * ch) ||
      !RoundsToSameSingle(v2, 20 * kU * std::fabs(s) * ch)) {
    return false;
  }
  out = {static_cast<float>(ch), static_cast<float>(v1),
         static_cast<float>(v2)};
  return true;
}

MinkowskiVector HyperbolicVector(float rho, float psi) {
  MinkowskiVector v;
  if (HyperbolicVectorInDouble(rho, psi, v)) return v;
  return HyperbolicVectorExtended(rho, psi);
}

PolarCoordinates VectorToPolarExtended(const MinkowskiVector& v) {
  const LD v1 = v[1];
  const LD v2 = v[2];
  const LD r = std::sqrt(v1 * v1 + v2 * v2);
  return {Single(ExtArcSinh(r)), Single(std::atan2(v2, v1))};
}

bool PolarRhoInDouble(const MinkowskiVector& v, float& rho) {
  const double v1 = v[1];
  const double v2 = v[2];
  const double y = std::sqrt(v1 * v1 + v2 * v2);
  if (!(y < 0x1p60)) return false;  // y^2 + 1 stays finite; NaN falls back
  const double d = std::log(y + std::sqrt(y * y + 1.0));
  if (!RoundsToSameSingle(d, 5 * kU + 9 * kU * std::fabs(d))) return false;
  rho = static_cast<float>(d);
  return true;
}

bool PolarPsiInDouble(const MinkowskiVector& v, float& psi) {
  const double d = std::atan2(static_cast<double>(v[2]), v[1]);
  if (!RoundsToSameSingle(d, 9 * kU * std::fabs(d))) return false;
  psi = static_cast<float>(d);
  return true;
}

PolarCoordinates VectorToPolar(const MinkowskiVector& v) {
  PolarCoordinates p;
  if (PolarRhoInDouble(v, p.rho) && PolarPsiInDouble(v, p.psi)) return p;
  return VectorToPolarExtended(v);
}

float ZetaOfRhoExtended(float rho) {
  return Single(2 * ExtSinh(static_cast<LD>(rho) / 2));
}

bool ZetaOfRhoInDouble(float rho, float& zeta) {
  const double h = static_cast<double>(rho) / 2;
  if (!(std::fabs(h) > 1e-15 && std::fabs(h) < 64)) return false;
  const double e1 = std::exp(h);
  const double e2 = std::exp(-h);
  const double d = e1 - e2;
  const double ch = (e1 + e2) / 2;
  if (!RoundsToSameSingle(d, 20 * kU * ch)) return false;
  zeta = static_cast<float>(d);
  return true;
}

float ZetaOfRho(float rho) {
  float zeta;
  if (ZetaOfRhoInDouble(rho, zeta)) return zeta;
  return ZetaOfRhoExtended(rho);
}

float RatioOfRhoExtended(float rho) {
  return Single(std::exp(static_cast<LD>(rho)));
}

bool RatioOfRhoInDouble(float rho, float& ratio) {
  const double x = rho;
  if (!(std::fabs(x) < 64)) return false;
  const double d = std::exp(x);
  if (!RoundsToSameSingle(d, 9 * kU * d)) return false;
  ratio = static_cast<float>(d);
  return true;
}

float RatioOfRho(float rho) {
  float ratio;
  if (RatioOfRhoInDouble(rho, ratio)) return ratio;
  return RatioOfRhoExtended(rho);
}

float RhoOfRatioExtended(float ratio) {
  return Single(std::log(static_cast<LD>(ratio)));
}

bool RhoOfRatioInDouble(float ratio, float& rho) {
  if (ratio == 1.0f) {  // ln 1 is exactly +0 in both precisions
    rho = 0.0f;
    return true;
  }
  if (!(ratio > 0)) return false;
  const double d = std::log(static_cast<double>(ratio));
  if (!RoundsToSameSingle(d, 9 * kU * std::fabs(d))) return false;
  rho = static_cast<float>(d);
  return true;
}

float RhoOfRatio(float ratio) {
  float rho;
  if (RhoOfRatioInDouble(ratio, rho)) return rho;
  return RhoOfRatioExtended(ratio);
}

float ZetaOfR(float R) {
  const LD root = std::sqrt(static_cast<LD>(R));
  return Single(root - 1 / root);
}

PlaneVectorLength PlaneLength(const PlaneVector& u) {
  const LD u0 = u[0];
  const LD u1 = u[1];
  PlaneVectorLength out;
  out.length = Single(std::sqrt(u0 * u0 + u1 * u1));
  if (out.length != 0) {
    out.unit = {Single(u0 / out.length), Single(u1 / out.length)};
  }
  return out;
}

float PlaneCross(const PlaneVector& u, const PlaneVector& w) {
  return Single(static_cast<LD>(u[0]) * w[1] - static_cast<LD>(u[1]) * w[0]);
}

MinkowskiMatrix MatZero() {
  return {};
}

MinkowskiMatrix MatIdentity() {
  MinkowskiMatrix m{};
  for (int i = 0; i < 3; ++i) m[i][i] = 1.0f;
  return m;
}

MinkowskiMatrix MatMul(const MinkowskiMatrix& P, const MinkowskiMatrix& Q) {
  MinkowskiMatrix out{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 3; ++k) {
        sum = Single(sum + static_cast<LD>(P[i][k]) * Q[k][j]);
      }
      out[i][j] = sum;
    }
  }
  return out;
}

MinkowskiVector MatVec(const MinkowskiMatrix& M, const MinkowskiVector& v) {
  MinkowskiVector out{};
  for (int i = 0; i < 3; ++i) {
    float sum = 0.0f;
    for (int j = 0; j < 3; ++j) {
      sum = Single(sum + static_cast<LD>(M[i][j]) * v[j]);
    }
    out[i] = sum;
  }
  return out;
}

float MatDet(const MinkowskiMatrix& M) {
  auto triple = [](float a, float b, float c) {
    return static_cast<LD>(a) * b * c;
  };
  LD det = triple(M[0][0], M[1][1], M[2][2]);
  det += triple(M[0][2], M[2][1], M[1][0]);
  det += triple(M[2][0], M[0][1], M[1][2]);
  det -= triple(M[2][0], M[1][1], M[0][2]);
  det -= triple(M[0][0], M[2][1], M[1][2]);
  det -= triple(M[2][2], M[1][0], M[0][1]);
  return Single(det);
}

MinkowskiMatrix MatInverse(const MinkowskiMatrix& M) {
  // a b - c d of four elements, rounded once.
  auto cof = [](float a, float b, float c, float d) {
    return Single(static_cast<LD>(a) * b - static_cast<LD>(c) * d);
  };
  // out[i][j] is the cofactor of M[j][i]: the adjugate, already transposed.
  MinkowskiMatrix out;
  out[0][0] = cof(M[1][1], M[2][2], M[1][2], M[2][1]);
  out[0][1] = cof(M[2][1], M[0][2], M[2][2], M[0][1]);
  out[0][2] = cof(M[0][1], M[1][2], M[0][2], M[1][1]);
  out[1][0] = cof(M[1][2], M[2][0], M[1][0], M[2][2]);
  out[1][1] = cof(M[2][2], M[0][0], M[2][0], M[0][2]);
  out[1][2] = cof(M[0][2], M[1][0], M[0][0], M[1][2]);
  out[2][0] = cof(M[1][0], M[2][1], M[1][1], M[2][0]);
  out[2][1] = cof(M[2][0], M[0][1], M[2][1], M[0][0]);
  out[2][2] = cof(M[0][0], M[1][1], M[0][1], M[1][0]);
  const LD det = MatDet(M);
  for (auto& row : out) {
    for (float& e : row) e = Single(e / det);
  }
  return out;
}

}  // namespace orvane

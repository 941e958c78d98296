#include "core/hyperbolic.h"

#include <cmath>

namespace orvane {
namespace {

using LD = long double;

// Rounds an extended result to the single-precision storage format.
inline float Single(LD v) {
  return static_cast<float>(v);
}

}  // namespace

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

MinkowskiVector HyperbolicVector(float rho, float psi) {
  const LD sh = ExtSinh(rho);
  return {Single(ExtCosh(rho)), Single(sh * std::cos(static_cast<LD>(psi))),
          Single(sh * std::sin(static_cast<LD>(psi)))};
}

PolarCoordinates VectorToPolar(const MinkowskiVector& v) {
  const LD v1 = v[1];
  const LD v2 = v[2];
  const LD r = std::sqrt(v1 * v1 + v2 * v2);
  return {Single(ExtArcSinh(r)), Single(std::atan2(v2, v1))};
}

float ZetaOfRho(float rho) {
  return Single(2 * ExtSinh(static_cast<LD>(rho) / 2));
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

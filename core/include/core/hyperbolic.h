// SPDX-License-Identifier: MIT
// Ellipses as points of the hyperbolic plane.
//
// An ellipse of axial ratio R and major-axis orientation phi is the point at
// hyperbolic distance rho = ln R from the origin, in the direction
// psi = 2 phi, on the upper sheet of the unit hyperboloid
// -x0^2 + x1^2 + x2^2 = -1 of Minkowski space.
//
// Precision contract, shared by every routine here: stored quantities are
// single-precision floats; every formula is evaluated in x87 extended
// precision (long double, 64-bit mantissa) and rounded to single once, where
// its result is returned or written into a vector, matrix or record.
// Intermediate values inside one operation stay extended. The per-datum
// functions first try a faster double-precision evaluation and keep it only
// where it provably rounds to the same single (core/double_paths.h), so
// their results are those of the extended formulas.
#ifndef ORVANE_CORE_HYPERBOLIC_H_
#define ORVANE_CORE_HYPERBOLIC_H_

#include <array>

namespace orvane {

// A point (or a sum of points) in Minkowski space. Index 0 is time-like:
// polar coordinates (rho, psi) give (cosh rho, sinh rho cos psi,
// sinh rho sin psi).
using MinkowskiVector = std::array<float, 3>;

// A 3 x 3 matrix indexed [row][column]; it acts on column vectors.
using MinkowskiMatrix = std::array<std::array<float, 3>, 3>;

// A vector of the plot plane (the equal-area projection).
using PlaneVector = std::array<float, 2>;

// One strain marker (an ellipse), or one strain (then major and minor stay
// zero).
struct MarkerRecord {
  float major = 0;           // major axis as read, file unit
  float minor = 0;           // minor axis as read, file unit
  float ratio = 0;           // axial ratio R = major / minor
  float phi = 0;             // orientation of the major axis, degrees
  float rho = 0;             // ln R, the natural strain
  float zeta = 0;            // 2 sinh(rho / 2), the equal-area plot radius
  float psi = 0;             // 2 phi, radians
  MinkowskiVector vector{};  // the point on the hyperboloid
};

// pi / 180 and 180 / pi, held in extended precision.
inline constexpr long double kRadPerDeg = 0.017453292519943295769L;
inline constexpr long double kDegPerRad = 57.295779513082320877L;

// Hyperbolic functions of the analysis, evaluated in extended precision.
// cosh and sinh are (e^x +- e^-x) / 2, except that |x| <= 1e-16 gives exactly
// 1 and 0. arcosh(y) = ln(y + (y + 1) sqrt((y - 1) / (y + 1))); an argument
// below 1 (two coinciding points, off by rounding) gives 0.
// arsinh(y) = ln(y + sqrt(y^2 + 1)).
long double ExtCosh(long double x);
long double ExtSinh(long double x);
long double ExtArcCosh(long double y);
long double ExtArcSinh(long double y);

// -p0 q0 + p1 q1 + p2 q2, summed left to right, rounded to single.
float MinkowskiProduct(const MinkowskiVector& p, const MinkowskiVector& q);

// sqrt(-<v, v>) of the single-precision product. A vector that is not
// time-like (product >= 0, never the case for sums of points on the upper
// sheet) has norm 0.
float LorentzNorm(const MinkowskiVector& v);

// arcosh(-<p, q>) of the single-precision product; 0 when rounding makes the
// argument fall below 1.
float HyperbolicDistance(const MinkowskiVector& p, const MinkowskiVector& q);

// The point with polar coordinates (rho, psi); psi in radians. The products
// sinh rho * cos psi and sinh rho * sin psi are rounded once.
MinkowskiVector HyperbolicVector(float rho, float psi);

struct PolarCoordinates {
  float rho = 0;
  float psi = 0;  // radians, in (-pi, pi]
};

// rho = arsinh(sqrt(v1^2 + v2^2)) with the square root kept extended;
// psi = atan2(v2, v1). Only the space-like components are read.
PolarCoordinates VectorToPolar(const MinkowskiVector& v);

// 2 sinh(rho / 2).
float ZetaOfRho(float rho);

// sqrt(R) - 1 / sqrt(R), the difference rounded once.
float ZetaOfR(float R);

struct PlaneVectorLength {
  float length = 0;
  PlaneVector unit{};  // u / length, or (0, 0) when the length is 0
};

// The single-precision length of u and u divided by that single length.
PlaneVectorLength PlaneLength(const PlaneVector& u);

// u0 w1 - u1 w0: the sine of the angle from u to w for unit vectors,
// positive counter-clockwise.
float PlaneCross(const PlaneVector& u, const PlaneVector& w);

MinkowskiMatrix MatZero();
MinkowskiMatrix MatIdentity();

// P Q; every partial sum of each element is stored in single precision.
MinkowskiMatrix MatMul(const MinkowskiMatrix& P, const MinkowskiMatrix& Q);

// M v; every partial sum is stored in single precision.
MinkowskiVector MatVec(const MinkowskiMatrix& M, const MinkowskiVector& v);

// The determinant by the rule of Sarrus: six triple products taken left to
// right in extended precision, added in a fixed order, rounded once.
float MatDet(const MinkowskiMatrix& M);

// Adjugate over determinant: each cofactor is rounded to single, then
// divided by the single determinant. The result for a singular matrix is
// not meaningful (Lorentz matrices have determinant 1).
MinkowskiMatrix MatInverse(const MinkowskiMatrix& M);

}  // namespace orvane

#endif  // ORVANE_CORE_HYPERBOLIC_H_

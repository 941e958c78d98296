// SPDX-License-Identifier: MIT
// Double-precision evaluations of the per-datum formulas, several times
// faster than the extended-precision ones. Each comes with a rigorous bound
// on its distance from the extended result (hyperbolic.cpp derives them)
// and is used only when every value within that bound rounds to the same
// single; otherwise the extended formula is evaluated. The results are
// therefore those of the extended formulas, bit for bit. The functions of
// hyperbolic.h and strain.h take these paths themselves; they are declared
// here so that each path and its fallback can be checked on its own.
#ifndef ORVANE_CORE_DOUBLE_PATHS_H_
#define ORVANE_CORE_DOUBLE_PATHS_H_

#include "core/hyperbolic.h"

namespace orvane {

// True when every real number within `radius` of `a` rounds to the same
// single as `a` does. False for NaN, infinities, zero and magnitudes outside
// [2^-100, 2^100], which the callers leave to the extended formulas.
bool RoundsToSameSingle(double a, double radius);

// The components of HyperbolicVector(rho, psi) from double arithmetic, into
// `out`; false (leaving `out` of no use) when one of them is not certain.
bool HyperbolicVectorInDouble(float rho, float psi, MinkowskiVector& out);
// HyperbolicVector as the extended formula gives it.
MinkowskiVector HyperbolicVectorExtended(float rho, float psi);

// Single(arsinh(sqrt(v1^2 + v2^2))) and Single(atan2(v2, v1)) of
// VectorToPolar; false when not certain.
bool PolarRhoInDouble(const MinkowskiVector& v, float& rho);
bool PolarPsiInDouble(const MinkowskiVector& v, float& psi);
PolarCoordinates VectorToPolarExtended(const MinkowskiVector& v);

// ZetaOfRho (2 sinh(rho / 2)) and the ratio e^rho of a point; false when
// not certain.
bool ZetaOfRhoInDouble(float rho, float& zeta);
float ZetaOfRhoExtended(float rho);
bool RatioOfRhoInDouble(float rho, float& ratio);
// Single(e^rho) in extended precision.
float RatioOfRho(float rho);
float RatioOfRhoExtended(float rho);

// Single(ln R) of DeriveMeasured; false when not certain.
bool RhoOfRatioInDouble(float ratio, float& rho);
// Single(ln R), from the double path where it is certain.
float RhoOfRatio(float ratio);
float RhoOfRatioExtended(float ratio);

}  // namespace orvane

#endif  // ORVANE_CORE_DOUBLE_PATHS_H_

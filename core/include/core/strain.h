// SPDX-License-Identifier: MIT
// The optimal strain (the hyperbolic vector mean of the measured ellipses),
// its Lorentz transformation, and the retrodeformation of every ellipse.
#ifndef ORVANE_CORE_STRAIN_H_
#define ORVANE_CORE_STRAIN_H_

#include <array>

#include "core/analysis_state.h"

namespace orvane {

// Fills rho = ln R, psi = phi x 2 x pi/180 and zeta = ZetaOfR(R) of
// measured[1..count] from the ratio and phi the loader set.
void DeriveMeasured(AnalysisState& state);

// Sets measured[1..count].vector = HyperbolicVector(rho, psi).
void SetMeasuredVectors(AnalysisState& state);

// Derives rho, psi (VectorToPolar), zeta (ZetaOfRho), R = e^rho and
// phi = psi / 2 x 180/pi (degrees, in (-90, 90]) of a point from its vector.
void DeriveFromVector(MarkerRecord& point);

// Double-precision sums of vectors: each addition is done in extended
// precision and stored back as a double.
using VectorSum = std::array<double, 3>;
inline void AddToSum(VectorSum& sum, const MinkowskiVector& v) {
  for (int c = 0; c < 3; ++c) {
    sum[c] = static_cast<double>(static_cast<long double>(sum[c]) + v[c]);
  }
}

// The sum normalised back onto the hyperboloid: the double sums divided by
// the Lorentz norm of the sum rounded to single, each quotient rounded to
// single.
MinkowskiVector NormalisedMean(const VectorSum& sum);

// The optimal strain (state.strain) as the mean of measured[1..count].vector,
// with its rho, psi, zeta, R and phi (DeriveFromVector). REQUIRES: count >= 1.
void ComputeOptimalStrain(AnalysisState& state);

// pre_to_post = rotation(+psi) . boost(rho) . rotation(-psi) from strain.psi
// and strain.rho; post_to_pre its numerical inverse.
void BuildStrainMatrices(AnalysisState& state);

// retrodeformed[i] = post_to_pre applied to measured[i], for i = 1..count.
void Retrodeform(AnalysisState& state);

// The largest R over measured[1..count] and retrodeformed[1..count], from 0.
float MaxAxialRatio(const AnalysisState& state);

// The largest R over measured[1..count], from 0: MaxAxialRatio while the
// retrodeformed records are all zero.
float MaxMeasuredRatio(const AnalysisState& state);

}  // namespace orvane

#endif  // ORVANE_CORE_STRAIN_H_

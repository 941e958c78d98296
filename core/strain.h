// The optimal strain (the hyperbolic vector mean of the measured ellipses),
// its Lorentz transformation, and the retrodeformation of every ellipse.
#ifndef ORVANE_CORE_STRAIN_H_
#define ORVANE_CORE_STRAIN_H_

#include <array>
#include <string_view>

#include "core/analysis_state.h"
#include "core/report.h"

namespace orvane {

// Fills rh = ln R, ps = ph x 2 x pi/180 and zt = ZetaOfR(R) of
// DatF[1..Ndat] from the R and ph the loader set.
void DeriveMeasured(AnalysisState& state);

// Sets DatF[1..Ndat].x = HyperbolicVector(rh, ps).
void SetMeasuredVectors(AnalysisState& state);

// Derives rh, ps (VectorToPolar), zt (ZetaOfRho), R = e^rh and
// ph = ps / 2 x 180/pi (degrees, in (-90, 90]) of a point from its vector x.
void DeriveFromVector(Tdata& point);

// Double-precision sums of vectors: each addition is done in extended
// precision and stored back as a double.
using VectorSum = std::array<double, 3>;
inline void AddToSum(VectorSum& sum, const Thyperbolic_vector& v) {
  for (int c = 0; c < 3; ++c) {
    sum[c] = static_cast<double>(static_cast<long double>(sum[c]) + v[c]);
  }
}

// The sum normalised back onto the hyperboloid: the double sums divided by
// the Lorentz norm of the sum rounded to single, each quotient rounded to
// single.
Thyperbolic_vector NormalisedMean(const VectorSum& sum);

// Dats from the mean of DatF[1..Ndat].x, and the optimal-strain block
// appended to the report (numbers in fixed(6, 3) with `sep`).
// REQUIRES: Ndat >= 1.
void ComputeOptimalStrain(AnalysisState& state, Report& report,
                          std::string_view sep);

// Q_I2F = rotation(+psi) . boost(rho) . rotation(-psi) from Dats.ps and
// Dats.rh; Q_F2I its numerical inverse.
void BuildStrainMatrices(AnalysisState& state);

// DatI[i] = Q_F2I applied to DatF[i], for i = 1..Ndat.
void Retrodeform(AnalysisState& state);

// The largest R over DatF[1..Ndat] and DatI[1..Ndat], from 0.
float MaxAxialRatio(const AnalysisState& state);

}  // namespace orvane

#endif  // ORVANE_CORE_STRAIN_H_

#include "core/strain.h"

#include <cmath>

#include "core/number_format.h"
#include "core/parallel.h"

namespace orvane {
namespace {
using LD = long double;
}  // namespace

void DeriveMeasured(AnalysisState& state) {
  ParallelFor(1, state.Ndat + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      Tdata& d = state.DatF[static_cast<size_t>(i)];
      d.rh = static_cast<float>(std::log(static_cast<LD>(d.R)));
      d.ps = static_cast<float>(static_cast<LD>(d.ph) * 2 * kRadPerDeg);
      d.zt = ZetaOfR(d.R);
    }
  });
}

void SetMeasuredVectors(AnalysisState& state) {
  ParallelFor(1, state.Ndat + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      Tdata& d = state.DatF[static_cast<size_t>(i)];
      d.x = HyperbolicVector(d.rh, d.ps);
    }
  });
}

void DeriveFromVector(Tdata& p) {
  const Tpolar polar = VectorToPolar(p.x);
  p.rh = polar.rho;
  p.ps = polar.psi;
  p.zt = ZetaOfRho(p.rh);
  p.R = static_cast<float>(std::exp(static_cast<LD>(p.rh)));
  p.ph = static_cast<float>(static_cast<LD>(p.ps) / 2 * kDegPerRad);
}

Thyperbolic_vector NormalisedMean(const VectorSum& sum) {
  const Thyperbolic_vector rounded = {static_cast<float>(sum[0]),
                                      static_cast<float>(sum[1]),
                                      static_cast<float>(sum[2])};
  const LD n = LorentzNorm(rounded);
  return {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
          static_cast<float>(sum[2] / n)};
}

void ComputeOptimalStrain(AnalysisState& state, Report& report,
                          std::string_view sep) {
  VectorSum sum{};
  for (std::int32_t i = 1; i <= state.Ndat; ++i) {
    AddToSum(sum, state.DatF[static_cast<size_t>(i)].x);
  }
  Tdata& s = state.Dats;
  s.x = NormalisedMean(sum);
  DeriveFromVector(s);

  report.Append("");
  report.Append("*** Optimal Strain ***");
  report.Append("  R_s    = " + FormatStrain(s.R, sep));
  report.Append("  phi_s  = " + FormatStrain(s.ph, sep));
  report.Append("  rho_s  = " + FormatStrain(s.rh, sep));
  report.Append("  zeta_s = " + FormatStrain(s.zt, sep));
  // psi in degrees straight from ps, kept extended (not the rounded ph x 2).
  report.Append("  psi_s  = " +
                FormatStrain(static_cast<LD>(s.ps) * kDegPerRad, sep));
}

void BuildStrainMatrices(AnalysisState& state) {
  const LD psi = state.Dats.ps;
  const LD rho = state.Dats.rh;
  const float c = static_cast<float>(std::cos(psi));
  const float sn = static_cast<float>(std::sin(psi));
  const float ch = static_cast<float>(ExtCosh(rho));
  const float sh = static_cast<float>(ExtSinh(rho));

  Thyperbolic_matrix rotate = MatIdentity();  // by +psi in the x1 x2 plane
  rotate[1][1] = c;
  rotate[1][2] = -sn;
  rotate[2][1] = sn;
  rotate[2][2] = c;
  Thyperbolic_matrix boost = MatIdentity();  // by rho along x1
  boost[0][0] = ch;
  boost[0][1] = sh;
  boost[1][0] = sh;
  boost[1][1] = ch;
  Thyperbolic_matrix unrotate = MatIdentity();  // by -psi
  unrotate[1][1] = c;
  unrotate[1][2] = sn;
  unrotate[2][1] = -sn;
  unrotate[2][2] = c;

  state.Q_I2F = MatMul(MatMul(rotate, boost), unrotate);
  state.Q_F2I = MatInverse(state.Q_I2F);
}

void Retrodeform(AnalysisState& state) {
  ParallelFor(1, state.Ndat + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      const size_t k = static_cast<size_t>(i);
      Tdata& pre = state.DatI[k];
      pre.x = MatVec(state.Q_F2I, state.DatF[k].x);
      DeriveFromVector(pre);
    }
  });
}

float MaxAxialRatio(const AnalysisState& state) {
  float m = 0.0f;
  for (std::int32_t i = 1; i <= state.Ndat; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (!(m > state.DatF[k].R)) m = state.DatF[k].R;
    if (!(m > state.DatI[k].R)) m = state.DatI[k].R;
  }
  return m;
}

}  // namespace orvane

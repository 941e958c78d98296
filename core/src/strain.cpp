// SPDX-License-Identifier: MIT
#include "core/strain.h"

#include <cmath>

#include "core/double_paths.h"
#include "core/parallel.h"

namespace orvane {
namespace {
using LD = long double;
}  // namespace

void DeriveMeasured(AnalysisState& state) {
  ParallelFor(1, state.count + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      MarkerRecord& d = state.measured[static_cast<size_t>(i)];
      d.rho = RhoOfRatio(d.ratio);
      d.psi = static_cast<float>(static_cast<LD>(d.phi) * 2 * kRadPerDeg);
      d.zeta = ZetaOfR(d.ratio);
    }
  });
}

void SetMeasuredVectors(AnalysisState& state) {
  ParallelFor(1, state.count + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      MarkerRecord& d = state.measured[static_cast<size_t>(i)];
      d.vector = HyperbolicVector(d.rho, d.psi);
    }
  });
}

void DeriveFromVector(MarkerRecord& p) {
  const PolarCoordinates polar = VectorToPolar(p.vector);
  p.rho = polar.rho;
  p.psi = polar.psi;
  p.zeta = ZetaOfRho(p.rho);
  p.ratio = RatioOfRho(p.rho);
  p.phi = static_cast<float>(static_cast<LD>(p.psi) / 2 * kDegPerRad);
}

MinkowskiVector NormalisedMean(const VectorSum& sum) {
  const MinkowskiVector rounded = {static_cast<float>(sum[0]),
                                   static_cast<float>(sum[1]),
                                   static_cast<float>(sum[2])};
  const LD n = LorentzNorm(rounded);
  return {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
          static_cast<float>(sum[2] / n)};
}

void ComputeOptimalStrain(AnalysisState& state) {
  VectorSum sum{};
  for (std::int32_t i = 1; i <= state.count; ++i) {
    AddToSum(sum, state.measured[static_cast<size_t>(i)].vector);
  }
  MarkerRecord& s = state.strain;
  s.vector = NormalisedMean(sum);
  DeriveFromVector(s);
}

void BuildStrainMatrices(AnalysisState& state) {
  const LD psi = state.strain.psi;
  const LD rho = state.strain.rho;
  const float c = static_cast<float>(std::cos(psi));
  const float sn = static_cast<float>(std::sin(psi));
  const float ch = static_cast<float>(ExtCosh(rho));
  const float sh = static_cast<float>(ExtSinh(rho));

  MinkowskiMatrix rotate = MatIdentity();  // by +psi in the x1 x2 plane
  rotate[1][1] = c;
  rotate[1][2] = -sn;
  rotate[2][1] = sn;
  rotate[2][2] = c;
  MinkowskiMatrix boost = MatIdentity();  // by rho along x1
  boost[0][0] = ch;
  boost[0][1] = sh;
  boost[1][0] = sh;
  boost[1][1] = ch;
  MinkowskiMatrix unrotate = MatIdentity();  // by -psi
  unrotate[1][1] = c;
  unrotate[1][2] = sn;
  unrotate[2][1] = -sn;
  unrotate[2][2] = c;

  state.pre_to_post = MatMul(MatMul(rotate, boost), unrotate);
  state.post_to_pre = MatInverse(state.pre_to_post);
}

void Retrodeform(AnalysisState& state) {
  ParallelFor(1, state.count + 1, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t i = first; i < last; ++i) {
      const size_t k = static_cast<size_t>(i);
      MarkerRecord& pre = state.retrodeformed[k];
      pre.vector = MatVec(state.post_to_pre, state.measured[k].vector);
      DeriveFromVector(pre);
    }
  });
}

float MaxAxialRatio(const AnalysisState& state) {
  float m = 0.0f;
  for (std::int32_t i = 1; i <= state.count; ++i) {
    const size_t k = static_cast<size_t>(i);
    if (!(m > state.measured[k].ratio)) m = state.measured[k].ratio;
    if (!(m > state.retrodeformed[k].ratio)) m = state.retrodeformed[k].ratio;
  }
  return m;
}

float MaxMeasuredRatio(const AnalysisState& state) {
  float m = 0.0f;
  for (std::int32_t i = 1; i <= state.count; ++i) {
    const float r = state.measured[static_cast<size_t>(i)].ratio;
    if (!(m > r)) m = r;
  }
  return m;
}

}  // namespace orvane

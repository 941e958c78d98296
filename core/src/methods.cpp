#include "core/methods.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "core/hyperbolic.h"
#include "core/number_format.h"

namespace orvane {
namespace {

using LD = long double;

constexpr LD kPi = 3.14159265358979323846264338327950288L;
// Below this mean resultant length the doubled angles cancel: their sums
// are rounding noise and give no direction.
constexpr LD kLeastResultantLength = 1e-9L;
// Classes of theta at most, and the least count each must expect.
constexpr int kMostClasses = 18;
constexpr int kLeastExpected = 5;
constexpr LD kConfidence = 0.95L;

// phi reduced exactly to [-90, 90): fmod is exact, and so is the shift by
// 180 of a value between 90 and 180 in magnitude (the difference of two
// floats within a factor of two of each other).
float ReducedOrientation(float phi) {
  float r = std::fmod(phi, 180.0f);
  if (r >= 90.0f) {
    r -= 180.0f;
  } else if (r < -90.0f) {
    r += 180.0f;
  }
  return r;
}

// ln Gamma(df / 2), from ln Gamma(1) = 0 or ln Gamma(1/2) = ln sqrt(pi) by
// Gamma(v + 1) = v Gamma(v): exact to rounding and free of the global sign
// that lgamma writes.
LD LogGammaOfHalf(int df) {
  const LD a = static_cast<LD>(df) / 2;
  LD v = df % 2 == 0 ? 1.0L : 0.5L;
  LD lg = df % 2 == 0 ? 0.0L : 0.5L * std::log(kPi);
  for (; v < a; v += 1) lg += std::log(v);
  return lg;
}

// The class of theta (degrees, in [-90, 90)) among k equal classes:
// class j holds -90 + j 180/k <= theta < -90 + (j + 1) 180/k. The estimate
// by division is corrected by exact comparisons, theta k against the
// integer bounds 180 j - 90 k, so that a theta on a bound always falls into
// the class above it.
int ClassOf(float theta, int k) {
  const LD t = theta;
  int j = static_cast<int>(std::floor((t + 90) * k / 180));
  j = std::clamp(j, 0, k - 1);
  const LD tk = t * k;  // exact: 24 bits times at most 5
  while (j > 0 && tk < static_cast<LD>(180 * j - 90 * k)) --j;
  while (j < k - 1 && tk >= static_cast<LD>(180 * (j + 1) - 90 * k)) ++j;
  return j;
}

UniformityTest TestUniformity(const AnalysisState& state) {
  UniformityTest test;
  const std::int64_t n = state.count;
  const int k = n >= static_cast<std::int64_t>(kMostClasses) * kLeastExpected
                    ? kMostClasses
                    : static_cast<int>(n / kLeastExpected);
  if (k < 2) return test;
  std::vector<std::int64_t> observed(static_cast<std::size_t>(k), 0);
  for (std::int64_t i = 1; i <= n; ++i) {
    float theta = state.retrodeformed[static_cast<std::size_t>(i)].phi;
    if (!std::isfinite(theta)) {
      test.omission = UniformityOmission::kThetaNotFinite;
      return test;
    }
    // Stored in (-90, 90]; the classes cover [-90, 90).
    if (theta >= 90.0f) theta = ReducedOrientation(theta);
    ++observed[static_cast<std::size_t>(ClassOf(theta, k))];
  }
  const LD expected = static_cast<LD>(n) / k;
  LD chi = 0;
  for (const std::int64_t o : observed) {
    const LD d = static_cast<LD>(o) - expected;
    chi += d * d / expected;
  }
  const LD critical = ChiSquareCritical95(k - 1);
  test.omission = UniformityOmission::kNone;
  test.classes = k;
  test.degrees_of_freedom = k - 1;
  test.chi_square = static_cast<float>(chi);
  test.critical_value = static_cast<float>(critical);
  test.uniform = chi <= critical;
  return test;
}

}  // namespace

long double RegularisedLowerGamma(long double a, long double x,
                                  long double log_gamma_a) {
  if (!(x > 0)) return 0;
  constexpr LD kEps = std::numeric_limits<LD>::epsilon();
  constexpr LD kTiny = std::numeric_limits<LD>::min() / kEps;
  constexpr int kMostTerms = 10000;
  const LD front = std::exp(-x + a * std::log(x) - log_gamma_a);
  if (x < a + 1) {
    // P = e^-x x^a / Gamma(a) * sum x^n / (a (a + 1) ... (a + n)).
    LD term = 1 / a, sum = term, ap = a;
    for (int i = 0; i < kMostTerms; ++i) {
      ap += 1;
      term *= x / ap;
      sum += term;
      if (std::fabs(term) < std::fabs(sum) * kEps) break;
    }
    return sum * front;
  }
  // Q = 1 - P by its continued fraction, evaluated by Lentz's method.
  LD b = x + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;
  for (int i = 1; i <= kMostTerms; ++i) {
    const LD an = -i * (i - a);
    b += 2;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const LD step = d * c;
    h *= step;
    if (std::fabs(step - 1) < kEps) break;
  }
  return 1 - front * h;
}

long double ChiSquareCritical95(int df) {
  if (df < 1) return 0;
  const LD a = static_cast<LD>(df) / 2;
  const LD lg = LogGammaOfHalf(df);
  auto p = [&](LD x) { return RegularisedLowerGamma(a, x / 2, lg); };
  LD lo = 0, hi = std::max<LD>(4, 2 * df);
  while (p(hi) < kConfidence) {
    lo = hi;
    hi *= 2;
  }
  // P rises monotonically in x: halve the bracket until it holds no
  // extended-precision number between its ends.
  for (int i = 0; i < 256; ++i) {
    const LD mid = lo + (hi - lo) / 2;
    if (!(mid > lo && mid < hi)) break;
    if (p(mid) < kConfidence) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return lo + (hi - lo) / 2;
}

namespace {

// The fluctuation in extended precision, so that F < 90 is decided before
// F is rounded to a single.
LD ExtendedFluctuation(std::vector<float> r) {
  // Reduced in place; orientations that are not numbers hold no place.
  std::size_t kept = 0;
  for (const float p : r) {
    if (std::isfinite(p)) r[kept++] = ReducedOrientation(p);
  }
  r.resize(kept);
  if (r.size() < 2) return 0;
  std::sort(r.begin(), r.end());
  // The arc that holds every phi is the circle less its largest gap.
  LD largest = static_cast<LD>(r.front()) + 180 - static_cast<LD>(r.back());
  for (std::size_t i = 1; i < r.size(); ++i) {
    largest =
        std::max(largest, static_cast<LD>(r[i]) - static_cast<LD>(r[i - 1]));
  }
  return 180 - largest;
}

}  // namespace

float Fluctuation(const std::vector<float>& phi) {
  return static_cast<float>(ExtendedFluctuation(phi));
}

MethodsSummary ComputeMethods(const AnalysisState& state) {
  MethodsSummary m;
  if (state.count <= 0) return m;
  const std::int32_t n = state.count;
  m.count = n;
  m.hyperbolic_ratio = state.strain.ratio;
  m.hyperbolic_phi = state.strain.phi;

  LD sum_sin = 0, sum_cos = 0, sum_inverse = 0;
  float ratio_min = std::numeric_limits<float>::infinity();
  float ratio_max = -std::numeric_limits<float>::infinity();
  std::vector<float> phi;
  phi.reserve(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= n; ++i) {
    const MarkerRecord& d = state.measured[static_cast<std::size_t>(i)];
    // 2 phi reduced modulo 360 before the conversion, so that a phi given
    // as, say, 1030 degrees loses nothing to the reduction of its radians.
    const LD twice = std::fmod(2 * static_cast<LD>(d.phi), 360.0L) * kRadPerDeg;
    sum_sin += std::sin(twice);
    sum_cos += std::cos(twice);
    sum_inverse += 1 / static_cast<LD>(d.ratio);
    ratio_min = std::min(ratio_min, d.ratio);
    ratio_max = std::max(ratio_max, d.ratio);
    phi.push_back(d.phi);
  }

  const LD length = std::sqrt(sum_sin * sum_sin + sum_cos * sum_cos) / n;
  m.axial_resultant_length = static_cast<float>(length);
  m.axial_defined = length >= kLeastResultantLength;
  if (m.axial_defined) {
    m.axial_phi =
        static_cast<float>(std::atan2(sum_sin, sum_cos) / 2 * kDegPerRad);
  }
  m.harmonic_ratio = static_cast<float>(static_cast<LD>(n) / sum_inverse);

  m.ratio_min = ratio_min;
  m.ratio_max = ratio_max;
  const LD fluctuation = ExtendedFluctuation(std::move(phi));
  m.fluctuation = static_cast<float>(fluctuation);
  const LD product = std::sqrt(static_cast<LD>(ratio_max) * ratio_min);
  const LD quotient = std::sqrt(static_cast<LD>(ratio_max) / ratio_min);
  const bool narrow = fluctuation < 90;
  m.fluctuation_below_90 = narrow;
  m.ramsay_strain_ratio = static_cast<float>(narrow ? product : quotient);
  m.ramsay_initial_ratio = static_cast<float>(narrow ? quotient : product);

  m.uniformity = TestUniformity(state);
  return m;
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "core/methods.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
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

// 1/n! for n = 0..kTerms - 1, formed at compile time in extended
// precision.
constexpr int kTerms = 21;
struct InverseFactorials {
  LD value[kTerms];
  constexpr InverseFactorials() : value{} {
    value[0] = 1;
    for (int n = 1; n < kTerms; ++n) value[n] = value[n - 1] / n;
  }
};
constexpr InverseFactorials kInverseFactorial;

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
// the class above it. Theta is the difference of two singles, which long
// double holds exactly, and so does its product with k.
int ClassOf(LD t, int k) {
  // Not negative, so truncation is the floor.
  int j = static_cast<int>((t + 90) * k / 180);
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
  // Theta is measured from the long axis of the strain, as the theta-curves
  // are: the classes turn with the data, so that a rotation of the whole
  // sample leaves the counts as they were.
  // (A null strain has no long axis: its phi, 0, measures from x.)
  const LD strain_phi =
      std::isfinite(state.strain.phi) ? state.strain.phi : 0.0f;
  for (std::int64_t i = 1; i <= n; ++i) {
    const float phi = state.retrodeformed[static_cast<std::size_t>(i)].phi;
    if (!std::isfinite(phi)) {
      test.omission = UniformityOmission::kThetaNotFinite;
      return test;
    }
    // Into [-90, 90), by whole turns of 180 degrees (exact).
    LD theta = static_cast<LD>(phi) - strain_phi;
    while (theta < -90) theta += 180;
    while (theta >= 90) theta -= 180;
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

SineCosine SineCosineOfDegrees(long double degrees) {
  if (!std::isfinite(degrees)) {
    const LD nan = std::numeric_limits<LD>::quiet_NaN();
    return {nan, nan};
  }
  // Exact reduction in degrees: fmod is exact, and so is the subtraction of
  // the nearest multiple of 90 (the result is smaller than both terms and
  // a multiple of their finer unit).
  const LD d = std::fabs(degrees) < 360 ? degrees : std::fmod(degrees, 360.0L);
  // The nearest quarter turn, half away from zero: |d / 90| < 4.
  const int quadrants = static_cast<int>(d / 90 + (d < 0 ? -0.5L : 0.5L));
  const LD r = d - 90 * quadrants;  // [-45, 45]
  const LD x = r * kRadPerDeg;
  const LD x2 = x * x;
  // Taylor series, |x| <= pi/4: the first omitted terms, x^21/21! and
  // x^22/22!, are below 1e-22.
  LD sin_sum = 0, cos_sum = 0;
  for (int n = kTerms - 2; n >= 1; n -= 2) {
    const LD sign = (n / 2) % 2 == 0 ? 1 : -1;
    sin_sum = sin_sum * x2 + sign * kInverseFactorial.value[n];
  }
  for (int n = kTerms - 1; n >= 0; n -= 2) {
    const LD sign = (n / 2) % 2 == 0 ? 1 : -1;
    cos_sum = cos_sum * x2 + sign * kInverseFactorial.value[n];
  }
  const LD sine = x * sin_sum, cosine = cos_sum;
  // Back through the quarter turns removed.
  switch ((quadrants + 4) % 4) {
    case 1:
      return {cosine, -sine};
    case 2:
      return {-sine, -cosine};
    case 3:
      return {-cosine, sine};
    default:
      return {sine, cosine};
  }
}

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

// The orientations of the markers, reduced to [-90, 90) and kept as keys
// whose unsigned order is their numeric order, for a radix sort: three
// passes over the data, where a comparison sort of ten million takes ten
// times as long.
class OrientationKeys {
 public:
  explicit OrientationKeys(std::size_t reserve) { keys_.reserve(reserve); }
  // Orientations that are not numbers hold no place.
  void Add(float phi) {
    if (!std::isfinite(phi)) return;
    const float r = ReducedOrientation(phi);
    std::uint32_t u;
    std::memcpy(&u, &r, sizeof u);
    // Negative values: every bit flipped; others: the sign bit set.
    keys_.push_back(u ^ ((u & 0x80000000u) != 0 ? 0xFFFFFFFFu : 0x80000000u));
  }
  // The fluctuation: 180 less the largest gap between neighbours on the
  // circle of 180 degrees, in extended precision, so that F < 90 is
  // decided before F is rounded to a single.
  LD Fluctuation() {
    const std::size_t n = keys_.size();
    if (n < 2) return 0;
    Sort();
    LD largest = Value(0) + 180 - Value(n - 1);
    LD previous = Value(0);
    for (std::size_t i = 1; i < n; ++i) {
      const LD v = Value(i);
      largest = std::max(largest, v - previous);
      previous = v;
    }
    return 180 - largest;
  }

 private:
  static constexpr int kPasses = 3;
  static constexpr int kBits = 11;
  static constexpr std::uint32_t kBuckets = 1u << kBits;

  LD Value(std::size_t i) const {
    std::uint32_t u = keys_[i];
    u ^= (u & 0x80000000u) != 0 ? 0x80000000u : 0xFFFFFFFFu;
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
  }

  void Sort() {
    const std::size_t n = keys_.size();
    std::vector<std::size_t> counts(kPasses * kBuckets, 0);
    for (const std::uint32_t u : keys_) {
      for (int p = 0; p < kPasses; ++p) {
        ++counts[p * kBuckets + ((u >> (p * kBits)) & (kBuckets - 1))];
      }
    }
    // Left uninitialised: every place is written by the first pass.
    std::unique_ptr<std::uint32_t[]> other(new std::uint32_t[n]);
    std::uint32_t* from = keys_.data();
    std::uint32_t* to = other.get();
    for (int p = 0; p < kPasses; ++p) {
      std::size_t* c = &counts[p * kBuckets];
      std::size_t start = 0;
      for (std::uint32_t b = 0; b < kBuckets; ++b) {
        const std::size_t count = c[b];
        c[b] = start;
        start += count;
      }
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t u = from[i];
        to[c[(u >> (p * kBits)) & (kBuckets - 1)]++] = u;
      }
      std::swap(from, to);
    }
    // An odd number of passes ends in the other buffer.
    if (from != keys_.data()) std::memcpy(keys_.data(), from, n * sizeof *from);
  }

  std::vector<std::uint32_t> keys_;
};

}  // namespace

float Fluctuation(const std::vector<float>& phi) {
  OrientationKeys keys(phi.size());
  for (const float p : phi) keys.Add(p);
  return static_cast<float>(keys.Fluctuation());
}

namespace {

// The summary of ComputeMethods; allocation failures are thrown.
MethodsSummary SummaryOf(const AnalysisState& state) {
  MethodsSummary m;
  if (state.count <= 0) return m;
  const std::int32_t n = state.count;
  m.count = n;
  m.hyperbolic_ratio = state.strain.ratio;
  m.hyperbolic_phi = state.strain.phi;

  LD sum_sin = 0, sum_cos = 0, sum_inverse = 0;
  float ratio_min = std::numeric_limits<float>::infinity();
  float ratio_max = -std::numeric_limits<float>::infinity();
  OrientationKeys orientations(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= n; ++i) {
    const MarkerRecord& d = state.measured[static_cast<std::size_t>(i)];
    const SineCosine twice = SineCosineOfDegrees(2 * static_cast<LD>(d.phi));
    sum_sin += twice.sine;
    sum_cos += twice.cosine;
    sum_inverse += 1 / static_cast<LD>(d.ratio);
    ratio_min = std::min(ratio_min, d.ratio);
    ratio_max = std::max(ratio_max, d.ratio);
    orientations.Add(d.phi);
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
  const LD fluctuation = orientations.Fluctuation();
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

}  // namespace

MethodsSummary ComputeMethods(const AnalysisState& state) {
  try {
    return SummaryOf(state);
  } catch (const std::bad_alloc&) {
    MethodsSummary none;
    none.status = Status(StatusCode::kOutOfMemory,
                         "Not enough memory for the estimators of " +
                             std::to_string(state.count) + " data.");
    return none;
  }
}

}  // namespace orvane

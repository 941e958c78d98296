// SPDX-License-Identifier: MIT
#include "core/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <sys/mman.h>

#include "core/parallel.h"
#include "core/strain.h"

namespace orvane {
namespace {

using LD = long double;

// Up to this many draws (200 resamples of 20000 data) a bootstrap runs on
// the calling thread: threads would cost more than they save.
constexpr std::uint64_t kSerialBootstrapDraws = 4'000'000;

// The count of resamples of `settings`, within the limits (the front ends
// refuse others before an analysis starts).
int BootstrapResampleCount(const BootstrapSettings& settings) {
  return std::clamp(settings.resamples, kMinBootstrapResamples,
                    kMaxBootstrapResamples);
}

int CompareDistance(float a, float b) {
  if (a < b) return -1;
  if (a > b) return 1;
  return 0;
}

void QuickSort(std::vector<BootstrapSolution>& list, int l, int r) {
  int i;
  do {
    i = l;
    int j = r;
    const float pivot = list[static_cast<size_t>((l + r) >> 1)].distance;
    do {
      while (CompareDistance(list[static_cast<size_t>(i)].distance, pivot) <
             0) {
        ++i;
      }
      while (CompareDistance(list[static_cast<size_t>(j)].distance, pivot) >
             0) {
        --j;
      }
      if (i <= j) {
        if (i != j) {
          std::swap(list[static_cast<size_t>(i)], list[static_cast<size_t>(j)]);
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(list, l, j);
    l = i;
  } while (i < r);
}

// Replaces a running minimum when the new value is not larger, a maximum
// when it is not smaller.
void UpdateMin(float& m, float v) {
  if (!(v > m)) m = v;
}
void UpdateMax(float& m, float v) {
  if (!(v < m)) m = v;
}

}  // namespace

void RandomGenerator::Skip(std::uint64_t steps) {
  // The draw is the affine map s -> m s + c; applying it k times is again
  // affine, and maps compose by squaring.
  std::uint32_t mul = 1, add = 0;                  // the accumulated map
  std::uint32_t m = kGeneratorMultiplier, c = 1u;  // the map for 2^bit draws
  for (; steps > 0; steps >>= 1) {
    if (steps & 1) {
      mul *= m;
      add = add * m + c;
    }
    c = c * m + c;
    m *= m;
  }
  state_ = state_ * mul + add;
}

namespace {

// Up to this many points (36 MB) the gathered points lie packed, 12 bytes
// apart, and are fetched a few draws ahead; larger arrays outgrow the
// caches that a machine shares out to one program, and then the points
// lie five to a cache line and are fetched twice (see ResampleMeans).
constexpr std::size_t kPackedPointsUpTo = 3'000'000;

// Points one after the other: the densest layout, and the cheapest address;
// a point can straddle two cache lines, so both of its ends are fetched.
struct PackedLayout {
  static constexpr bool kLined = false;
  static std::size_t Floats(std::size_t count) { return 3 * count; }
  static std::size_t Offset(std::uint32_t i) { return std::size_t{3} * i; }
};

// Points five to a 64-byte cache line (60 bytes of points and 4 of
// padding), so that no point straddles two lines and each draw costs one.
struct LinedLayout {
  static constexpr bool kLined = true;
  static std::size_t Floats(std::size_t count) { return (count + 4) / 5 * 16; }
  static std::size_t Offset(std::uint32_t i) {
    return std::size_t{16} * (i / 5) + std::size_t{3} * (i % 5);
  }
};

// The gathered points, in the layout their count calls for, on 2 MB pages
// where the system grants them: the random draws of a large data set then
// miss the TLB far less often.
class PointArray {
 public:
  PointArray(std::size_t count, GatherLayout layout)
      : lined_(layout == GatherLayout::kLined ||
               (layout == GatherLayout::kBySize && count > kPackedPointsUpTo)) {
    const std::size_t floats =
        lined_ ? LinedLayout::Floats(count) : PackedLayout::Floats(count);
    const std::size_t bytes = floats * sizeof(float);
    if (bytes >= kHugePage) {
      mapped_ = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      void* p = mmap(nullptr, mapped_ + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p != MAP_FAILED) {
        base_ = p;
        const auto a = reinterpret_cast<std::uintptr_t>(p);
        const std::uintptr_t aligned = (a + kHugePage - 1) & ~(kHugePage - 1);
        data_ = reinterpret_cast<float*>(aligned);
        madvise(data_, mapped_, MADV_HUGEPAGE);  // a hint; refusal is fine
        return;
      }
      mapped_ = 0;
    }
    // Whole cache lines, so that the lined layout's lines are lines.
    heap_.resize((floats + 15) / 16);  // throws std::bad_alloc as vectors do
    data_ = heap_.data()->floats;
  }
  ~PointArray() {
    if (base_ != nullptr) munmap(base_, mapped_ + kHugePage);
  }
  PointArray(const PointArray&) = delete;
  PointArray& operator=(const PointArray&) = delete;

  bool lined() const { return lined_; }
  const float* data() const { return data_; }
  void Set(std::uint32_t i, const MinkowskiVector& v) {
    float* p =
        data_ + (lined_ ? LinedLayout::Offset(i) : PackedLayout::Offset(i));
    for (int c = 0; c < 3; ++c) p[c] = v[c];
  }

 private:
  struct alignas(64) CacheLine {
    float floats[16];
  };
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;
  bool lined_ = false;
  std::size_t mapped_ = 0;
  void* base_ = nullptr;
  float* data_ = nullptr;
  std::vector<CacheLine> heap_;
};

// Asks for the point at p: into the first level (near) or the outer cache.
// Always inlined: as a call it would have no effect the compiler must keep.
template <class Layout>
[[gnu::always_inline]] inline void Fetch(const float* p, bool near) {
  if (near) {
    __builtin_prefetch(p, 0, 3);
    if (!Layout::kLined) {
      __builtin_prefetch(reinterpret_cast<const char*>(p) +
                         sizeof(MinkowskiVector) - 1);
    }
  } else {
    __builtin_prefetch(p, 0, 2);
  }
}

// The means of G consecutive resamples k0 .. k0 + G - 1 (1-based), drawn
// side by side: resample k takes the (k-1) n + 1 .. k n draws of the stream
// seeded with `seed` and sums its points in draw order, so each mean is exactly
// what it would be alone; interleaving only keeps more memory loads in
// flight. The points' addresses are known ahead of their use, so each is
// fetched a few draws early; in the lined layout it is fetched far ahead
// into the outer cache as well, whose queue holds many more misses than the
// first level's.
template <class Layout, int G>
void ResampleMeans(const float* points, std::uint32_t n, std::uint32_t seed,
                   int k0, BootstrapSolution* out) {
  constexpr std::uint32_t kNear = 8;  // draws ahead, into the first level
  constexpr std::uint32_t kFar = Layout::kLined ? 24 : kNear;
  constexpr std::uint32_t kRing = 32;  // a power of two above kFar
  static_assert(kNear <= kFar && kFar < kRing);
  RandomGenerator lookahead[G];
  const float* ring[G][kRing];
  VectorSum sum[G];
  for (int g = 0; g < G; ++g) {
    lookahead[g].Seed(seed);
    lookahead[g].Skip(static_cast<std::uint64_t>(k0 + g - 1) * n);
    for (std::uint32_t j = 0; j < kFar && j < n; ++j) {
      ring[g][j] = points + Layout::Offset(lookahead[g].NextIndex(n));
      Fetch<Layout>(ring[g][j], j < kNear);
    }
    sum[g] = VectorSum{};
  }
  for (std::uint32_t j = 0; j < n; ++j) {
    const std::uint32_t slot = j % kRing;
    const bool refill = j + kFar < n;
    const bool near = Layout::kLined && j + kNear < n;
    for (int g = 0; g < G; ++g) {
      const float* p = ring[g][slot];
      if (refill) {
        const float* next = points + Layout::Offset(lookahead[g].NextIndex(n));
        ring[g][(j + kFar) % kRing] = next;
        Fetch<Layout>(next, !Layout::kLined);
      }
      if (near) Fetch<Layout>(ring[g][(j + kNear) % kRing], true);
      AddToSum(sum[g], MinkowskiVector{p[0], p[1], p[2]});
    }
  }
  for (int g = 0; g < G; ++g) out[g].vector = NormalisedMean(sum[g]);
}

// Resamples k .. k + G - 1 in the points' layout.
template <int G>
void ResampleMeans(const PointArray& points, std::uint32_t n,
                   std::uint32_t seed, int k, BootstrapSolution* out) {
  if (points.lined()) {
    ResampleMeans<LinedLayout, G>(points.data(), n, seed, k, out);
  } else {
    ResampleMeans<PackedLayout, G>(points.data(), n, seed, k, out);
  }
}

}  // namespace

bool RunBootstrap(AnalysisState& state, const std::atomic<bool>* cancel,
                  GatherLayout layout) {
  const std::uint32_t n = static_cast<std::uint32_t>(state.count);
  const int resamples = BootstrapResampleCount(state.bootstrap);
  const std::uint32_t seed = state.bootstrap.seed;
  if (state.solutions.size() != static_cast<std::size_t>(resamples) + 1) {
    state.solutions.assign(static_cast<std::size_t>(resamples) + 1, {});
  }
  // The resamples need HyperbolicVector(measured[i].rho, measured[i].psi),
  // which is exactly measured[i].vector as the analysis set it; the vectors are
  // gathered into one compact array so that random draws stay in cache longer.
  // Slot 0 serves the state 0, whose index ceil(0 x n / 2^32) is 0: it holds
  // datum n, as if the state 0 stood for 2^32 (u = 1), which gives every
  // datum its equal share of the 2^32 states. The stream seeded with 1
  // reaches the state 0 only at draw 4294967295, beyond 200 resamples of
  // any file up to 21474836 data; other seeds and counts can reach it early.
  PointArray points(static_cast<std::size_t>(n) + 1, layout);
  points.Set(0, state.measured[n].vector);
  for (std::uint32_t i = 1; i <= n; ++i) {
    points.Set(i, state.measured[i].vector);
  }

  // Resamples are independent once each knows where its draws start, so
  // large runs share them out among the processor's cores; small ones stay
  // on this thread.
  const std::uint64_t draws = static_cast<std::uint64_t>(resamples) * n;
  const std::int64_t per_thread = draws < kSerialBootstrapDraws ? resamples : 1;
  ParallelFor(
      1, resamples + 1,
      [&](std::int64_t first, std::int64_t last) {
        std::int64_t k = first;
        while (k < last) {
          if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            return;
          }
          BootstrapSolution* b = &state.solutions[static_cast<std::size_t>(k)];
          const int at = static_cast<int>(k);
          int done = 1;
          if (last - k >= 8) {
            ResampleMeans<8>(points, n, seed, at, b);
            done = 8;
          } else if (last - k >= 4) {
            ResampleMeans<4>(points, n, seed, at, b);
            done = 4;
          } else {
            ResampleMeans<1>(points, n, seed, at, b);
          }
          for (int g = 0; g < done; ++g) {
            b[g].distance =
                HyperbolicDistance(b[g].vector, state.strain.vector);
          }
          k += done;
        }
      },
      per_thread);
  return cancel == nullptr || !cancel->load();
}

void SortByDistance(std::vector<BootstrapSolution>& list) {
  if (list.size() > 1) QuickSort(list, 0, static_cast<int>(list.size()) - 1);
}

void ComputeConfidenceLimits(AnalysisState& state) {
  const MarkerRecord& s = state.strain;
  state.kept.clear();
  state.limits = ConfidenceLimits{};

  // The optimal strain's position in the plot and its direction.
  const PlaneVector p0 = {
      static_cast<float>(s.zeta * std::cos(static_cast<LD>(s.psi))),
      static_cast<float>(s.zeta * std::sin(static_cast<LD>(s.psi)))};
  const PlaneVectorLength l0 = PlaneLength(p0);
  if (l0.length == 0) {
    state.outcome = ConfidenceOutcome::kNullStrain;
    return;
  }

  const float big = 1e21f;
  float x_min = big, x_max = -big, y_min = big, y_max = -big;
  float rho_min = big, rho_max = -big, dev_min = big, dev_max = -big;

  // The solutions ordered by their distance to the optimal strain.
  const int resamples = std::min(BootstrapResampleCount(state.bootstrap),
                                 static_cast<int>(state.solutions.size()) - 1);
  const int kept = std::min(KeptResamples(resamples), resamples);
  std::vector<BootstrapSolution> by_distance;
  by_distance.reserve(static_cast<std::size_t>(resamples));
  for (int k = 1; k <= resamples; ++k) {
    const BootstrapSolution& from = state.solutions[static_cast<size_t>(k)];
    BootstrapSolution b;
    b.vector = from.vector;
    const PolarCoordinates polar = VectorToPolar(b.vector);
    b.rho = polar.rho;
    b.psi = polar.psi;
    b.distance = HyperbolicDistance(from.vector, s.vector);
    by_distance.push_back(b);
  }
  SortByDistance(by_distance);

  state.kept.assign(by_distance.begin(), by_distance.begin() + kept);
  for (const BootstrapSolution& b : state.kept) {
    const float rho = b.rho;
    const float psi = b.psi;
    const float zeta = ZetaOfRho(rho);

    const PlaneVector p = {
        static_cast<float>(std::cos(static_cast<LD>(psi)) * zeta),
        static_cast<float>(std::sin(static_cast<LD>(psi)) * zeta)};
    const PlaneVectorLength l = PlaneLength(p);
    float dev;  // deviation of the orientation from phi_s, degrees
    if (l.length == 0) {
      dev = 180.0f;
    } else {
      // A cross product of two unit vectors can exceed 1 by rounding.
      const LD sine =
          std::clamp(static_cast<LD>(PlaneCross(l0.unit, l.unit)), -1.0L, 1.0L);
      dev = static_cast<float>(std::asin(sine) * kDegPerRad / 2);
    }
    UpdateMin(x_min, p[0]);
    UpdateMax(x_max, p[0]);
    UpdateMin(y_min, p[1]);
    UpdateMax(y_max, p[1]);
    UpdateMin(rho_min, rho);
    UpdateMax(rho_max, rho);
    UpdateMin(dev_min, dev);
    UpdateMax(dev_max, dev);
    // A solution at the origin has no orientation: the range is all of it.
    if (dev == 180.0f) dev_min = -180.0f;
  }

  if (static_cast<LD>(x_min) * x_max < 0 &&
      static_cast<LD>(y_min) * y_max < 0) {
    state.outcome = ConfidenceOutcome::kSurroundsOrigin;
    return;
  }

  const LD phi_s = s.phi;
  state.limits.ratio_min = std::exp(static_cast<LD>(rho_min));
  state.limits.ratio_max = std::exp(static_cast<LD>(rho_max));
  state.limits.phi_min = phi_s + dev_min;
  state.limits.phi_max = phi_s + dev_max;
  state.limits.phi_deviation_min = dev_min;
  state.limits.phi_deviation_max = dev_max;
  state.outcome = ConfidenceOutcome::kLimits;
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "core/density.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

#include "core/parallel.h"

namespace orvane {
namespace {

constexpr double kTwoPi = 6.283185307179586476925;

// Kernels below exp(-60) of their peak add nothing a contour could show.
constexpr double kSmallestExponent = -60.0;

// Nodes are handed out, checked for cancellation and counted for the
// progress in groups of this many.
constexpr std::int64_t kNodeGroup = 64;

// The most cells of the binning lattice (empty ones included).
constexpr std::int64_t kMostCells = std::int64_t{1} << 22;

// The kernels to be summed at each node: a point and its weight, the point
// premultiplied by k.
struct Sources {
  std::vector<double> k0, k1, k2, weight;
  void Add(const HyperboloidPoint& p, double k, double w) {
    k0.push_back(k * p[0]);
    k1.push_back(k * p[1]);
    k2.push_back(k * p[2]);
    weight.push_back(w);
  }
  std::size_t Size() const { return weight.size(); }
};

bool Finite(const MinkowskiVector& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

HyperboloidPoint ToDouble(const MinkowskiVector& v) {
  return {static_cast<double>(v[0]), static_cast<double>(v[1]),
          static_cast<double>(v[2])};
}

// The point's place on the equal-area plane: radius 2 sinh(rho / 2), which
// is |(x1, x2)| / cosh(rho / 2) = |(x1, x2)| sqrt(2 / (1 + x0)).
std::array<double, 2> EqualAreaPlace(const HyperboloidPoint& p) {
  const double f = std::sqrt(2.0 / (1.0 + std::max(p[0], 1.0)));
  return {p[1] * f, p[2] * f};
}

// The square cells of the binning, `side` wide, over the data's extent.
struct Lattice {
  double left = 0, bottom = 0, side = 1;
  std::int64_t columns = 1, rows = 1;
};

Lattice LatticeOver(double left, double right, double bottom, double top,
                    double side) {
  Lattice l;
  l.left = left;
  l.bottom = bottom;
  l.side = side;
  while (true) {
    l.columns = static_cast<std::int64_t>((right - left) / l.side) + 1;
    l.rows = static_cast<std::int64_t>((top - bottom) / l.side) + 1;
    if (l.columns * l.rows <= kMostCells) return l;
    l.side *= 2;
  }
}

// Data per thread in the passes over the data.
constexpr std::int64_t kDataPerThread = 200000;

// The data gathered into bins of the equal-area plane: each bin's kernel
// sits at the centroid of its data (their vector sum brought back onto the
// hyperboloid) with the bin's count as weight, which keeps the total mass.
// Returns the error bound of DensityResult. `finite` flags the data that
// count.
double BinnedSources(std::span<const MarkerRecord> markers,
                     const std::vector<std::uint8_t>& finite, double k,
                     const DensityOptions& options, Sources& sources,
                     std::int64_t& bins) {
  const auto n = static_cast<std::int64_t>(markers.size());
  // The data's extent on the plane; minima and maxima do not depend on the
  // order in which the threads' shares are merged.
  double left = std::numeric_limits<double>::infinity(), right = -left;
  double bottom = left, top = -left;
  std::mutex merge;
  ParallelFor(
      0, n,
      [&](std::int64_t first, std::int64_t last) {
        double l = std::numeric_limits<double>::infinity(), r = -l, b = l,
               t = -l;
        for (std::int64_t i = first; i < last; ++i) {
          if (!finite[static_cast<std::size_t>(i)]) continue;
          const auto q = EqualAreaPlace(
              ToDouble(markers[static_cast<std::size_t>(i)].vector));
          l = std::min(l, q[0]);
          r = std::max(r, q[0]);
          b = std::min(b, q[1]);
          t = std::max(t, q[1]);
        }
        const std::lock_guard<std::mutex> lock(merge);
        left = std::min(left, l);
        right = std::max(right, r);
        bottom = std::min(bottom, b);
        top = std::max(top, t);
      },
      kDataPerThread);
  const double share = options.bin_share > 0 && std::isfinite(options.bin_share)
                           ? options.bin_share
                           : 1.0 / 16;
  const Lattice fine =
      LatticeOver(left, right, bottom, top, share / std::sqrt(k));
  // Each datum's cell of the fine lattice (-1: left out).
  std::vector<std::int32_t> cell(static_cast<std::size_t>(n));
  ParallelFor(
      0, n,
      [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t i = first; i < last; ++i) {
          const auto u = static_cast<std::size_t>(i);
          if (!finite[u]) {
            cell[u] = -1;
            continue;
          }
          const auto q = EqualAreaPlace(ToDouble(markers[u].vector));
          const auto x = std::clamp<std::int64_t>(
              static_cast<std::int64_t>((q[0] - fine.left) / fine.side), 0,
              fine.columns - 1);
          const auto y = std::clamp<std::int64_t>(
              static_cast<std::int64_t>((q[1] - fine.bottom) / fine.side), 0,
              fine.rows - 1);
          cell[u] = static_cast<std::int32_t>(y * fine.columns + x);
        }
      },
      kDataPerThread);
  std::vector<std::int32_t> occupied(
      static_cast<std::size_t>(fine.columns * fine.rows), 0);
  for (const std::int32_t c : cell) {
    if (c >= 0) occupied[static_cast<std::size_t>(c)] = 1;
  }
  // Coarser bins, by merging 2^shift x 2^shift fine cells, while too many
  // hold data.
  int shift = 0;
  std::vector<std::int32_t> slot;
  std::int64_t filled = 0;
  while (true) {
    const std::int64_t columns = ((fine.columns - 1) >> shift) + 1;
    const std::int64_t rows = ((fine.rows - 1) >> shift) + 1;
    slot.assign(static_cast<std::size_t>(columns * rows), -1);
    filled = 0;
    for (std::int64_t c = 0; c < fine.columns * fine.rows; ++c) {
      if (!occupied[static_cast<std::size_t>(c)]) continue;
      const std::int64_t coarse = ((c / fine.columns) >> shift) * columns +
                                  ((c % fine.columns) >> shift);
      std::int32_t& s = slot[static_cast<std::size_t>(coarse)];
      if (s < 0) {
        s = 0;
        ++filled;
      }
    }
    if (filled <= std::max<std::int64_t>(1, options.bin_budget) ||
        (columns == 1 && rows == 1)) {
      // Bins in the order of their cells, so that the sums at the nodes
      // run in an order fixed by the data alone.
      std::int32_t next = 0;
      for (std::int32_t& s : slot) {
        if (s == 0) s = next++;
      }
      for (std::int32_t& c : cell) {
        if (c < 0) continue;
        const std::int64_t coarse = ((c / fine.columns) >> shift) * columns +
                                    ((c % fine.columns) >> shift);
        c = slot[static_cast<std::size_t>(coarse)];
      }
      break;
    }
    ++shift;
  }
  occupied = {};
  slot = {};
  std::vector<HyperboloidPoint> sum(static_cast<std::size_t>(filled),
                                    HyperboloidPoint{0, 0, 0});
  std::vector<double> count(static_cast<std::size_t>(filled), 0.0);
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int32_t b = cell[static_cast<std::size_t>(i)];
    if (b < 0) continue;
    const MinkowskiVector& v = markers[static_cast<std::size_t>(i)].vector;
    HyperboloidPoint& s = sum[static_cast<std::size_t>(b)];
    s[0] += static_cast<double>(v[0]);
    s[1] += static_cast<double>(v[1]);
    s[2] += static_cast<double>(v[2]);
    count[static_cast<std::size_t>(b)] += 1;
  }
  std::vector<HyperboloidPoint> centroid(sum.size());
  for (std::size_t b = 0; b < sum.size(); ++b) {
    const HyperboloidPoint& s = sum[b];
    const double norm2 = s[0] * s[0] - s[1] * s[1] - s[2] * s[2];
    const double norm = norm2 > 0 ? std::sqrt(norm2) : count[b];
    centroid[b] = {s[0] / norm, s[1] / norm, s[2] / norm};
  }
  // The farthest datum of each bin from its centroid, as cosh of the
  // distance.
  std::vector<double> farthest(sum.size(), 1.0);
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int32_t b = cell[static_cast<std::size_t>(i)];
    if (b < 0) continue;
    const HyperboloidPoint& c = centroid[static_cast<std::size_t>(b)];
    const MinkowskiVector& x = markers[static_cast<std::size_t>(i)].vector;
    const double cosh_d = c[0] * static_cast<double>(x[0]) -
                          c[1] * static_cast<double>(x[1]) -
                          c[2] * static_cast<double>(x[2]);
    double& f = farthest[static_cast<std::size_t>(b)];
    f = std::max(f, cosh_d);
  }
  double moved = 0;
  for (std::size_t b = 0; b < sum.size(); ++b) {
    sources.Add(centroid[b], k, count[b]);
    moved += count[b] * std::acosh(std::max(1.0, farthest[b]));
  }
  bins = filled;
  return k / kTwoPi * KernelLipschitz(k) * moved;
}

}  // namespace

HyperboloidPoint HyperboloidPointAt(double rho, double psi) {
  const double s = std::sinh(rho);
  return {std::cosh(rho), s * std::cos(psi), s * std::sin(psi)};
}

double DefaultConcentration(std::int64_t count) {
  return 40.0 /
         std::cbrt(static_cast<double>(std::max<std::int64_t>(1, count)));
}

double KernelLipschitz(double k) {
  // d/dd of exp(k (1 - cosh d)) is -k sinh d exp(k (1 - cosh d)); its
  // extreme lies where k sinh^2 d = cosh d, at
  // cosh d = (1 + sqrt(1 + 4 k^2)) / (2 k).
  const double u = (1.0 + std::sqrt(1.0 + 4.0 * k * k)) / (2.0 * k);
  return k * std::sqrt(u * u - 1.0) * std::exp(k * (1.0 - u));
}

DensityResult HyperbolicDensity(std::span<const HyperboloidPoint> nodes,
                                std::span<const MarkerRecord> markers,
                                const DensityOptions& options,
                                const std::atomic<bool>* cancel,
                                const DensityProgress& progress) {
  DensityResult result;
  std::vector<std::uint8_t> finite(markers.size());
  for (std::size_t i = 0; i < markers.size(); ++i) {
    finite[i] = Finite(markers[i].vector) ? 1 : 0;
    result.count += finite[i];
  }
  const double k =
      options.concentration > 0 && std::isfinite(options.concentration)
          ? options.concentration
          : DefaultConcentration(result.count);
  result.concentration = k;
  result.density.assign(nodes.size(), 0.0);

  Sources sources;
  if (result.count > options.exact_limit) {
    result.error_bound =
        BinnedSources(markers, finite, k, options, sources, result.bins);
  } else {
    for (std::size_t i = 0; i < markers.size(); ++i) {
      if (finite[i]) sources.Add(ToDouble(markers[i].vector), k, 1.0);
    }
  }
  finite = {};

  const std::int64_t total = static_cast<std::int64_t>(nodes.size());
  const std::size_t n = sources.Size();
  const double* k0 = sources.k0.data();
  const double* k1 = sources.k1.data();
  const double* k2 = sources.k2.data();
  const double* w = sources.weight.data();
  const double scale = k / kTwoPi;
  std::atomic<std::int64_t> done{0};
  std::atomic<bool> stopped{false};
  auto body = [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t g = first; g < last; g += kNodeGroup) {
      if ((cancel != nullptr && cancel->load(std::memory_order_relaxed)) ||
          stopped.load(std::memory_order_relaxed)) {
        stopped.store(true, std::memory_order_relaxed);
        return;
      }
      const std::int64_t end = std::min(last, g + kNodeGroup);
      for (std::int64_t i = g; i < end; ++i) {
        const HyperboloidPoint& h = nodes[static_cast<std::size_t>(i)];
        double sum = 0;
        for (std::size_t s = 0; s < n; ++s) {
          // k (1 - cosh d); rounding may lift it a little above 0.
          const double e =
              std::min(0.0, k + h[1] * k1[s] + h[2] * k2[s] - h[0] * k0[s]);
          if (e > kSmallestExponent) sum += w[s] * std::exp(e);
        }
        result.density[static_cast<std::size_t>(i)] = scale * sum;
      }
      const std::int64_t now = done.fetch_add(end - g) + (end - g);
      if (progress) {
        progress(static_cast<double>(now) / static_cast<double>(total));
      }
    }
  };
  // Each node costs one kernel per source: a few hundred nodes a thread
  // are worth it.
  const std::int64_t per_thread = std::max<std::int64_t>(
      kNodeGroup, 2'000'000 / std::max<std::int64_t>(1, n));
  ParallelFor(0, total, body, per_thread);
  result.completed = !stopped.load();
  return result;
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
// The density of strain markers on the hyperbolic plane, for contouring.
//
// At a point h of the plane the density is a sum of one kernel per datum x,
// exp(k (1 - cosh d)) with d the hyperbolic distance from h to x, so that
// cosh d = -<h, x> = h0 x0 - h1 x1 - h2 x2 and the kernel is
// exp(k (1 + h1 x1 + h2 x2 - h0 x0)). One kernel integrates over the plane
// to 2 pi / k (the integral of exp(k (1 - cosh r)) 2 pi sinh r dr), so the
// density given here,
//
//   D(h) = (k / 2 pi) sum_x exp(k (1 - cosh d(h, x))),
//
// is in data per unit of hyperbolic area and integrates to N over the whole
// plane. The equal-area chart's plane keeps hyperbolic area, so D is also
// the number of data per unit area of that chart.
//
// The contours are pictures, not published figures: the sums are formed in
// double precision, but always in the same order, so the result does not
// depend on the number of threads.
#ifndef ORVANE_CORE_DENSITY_H_
#define ORVANE_CORE_DENSITY_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/hyperbolic.h"

namespace orvane {

// A point of the hyperboloid (or a sum of points) in double precision,
// index 0 time-like as in MinkowskiVector.
using HyperboloidPoint = std::array<double, 3>;

// The point at distance rho from the origin in the direction psi (radians).
HyperboloidPoint HyperboloidPointAt(double rho, double psi);

// k = 40 / N^(1/3), the default concentration of the kernel: wide for many
// data, narrow for few. N < 1 is taken as 1.
double DefaultConcentration(std::int64_t count);

// The largest slope of the kernel exp(k (1 - cosh d)) as a function of d:
// moving a datum by a distance s changes its kernel anywhere by at most
// this times s.
double KernelLipschitz(double k);

struct DensityOptions {
  // The kernel's concentration k; 0 (or anything not positive and finite)
  // takes DefaultConcentration of the number of data.
  double concentration = 0;
  // Up to this many data every datum's kernel is summed at every node.
  // Above it the data are first gathered into bins of the equal-area
  // plane and each bin's kernel, at the bin's centroid and weighted by its
  // count, is summed instead (see DensityResult::error_bound).
  std::int64_t exact_limit = 4096;
  // The side of a bin as a share of the kernel's width 1 / sqrt(k), on the
  // equal-area plane ...
  double bin_share = 1.0 / 16;
  // ... made coarser, by doubling, while more than this many bins hold
  // data: the work is nodes x bins.
  std::int64_t bin_budget = 8192;
};

// Called with the share of the nodes done, 0 to 1, from any of the threads
// of the computation (so it must be safe to call from several at once).
using DensityProgress = std::function<void(double fraction)>;

struct DensityResult {
  // False when the cancel flag stopped the work: `density` is incomplete.
  bool completed = false;
  double concentration = 0;  // the k used
  std::int64_t count = 0;    // the data summed (those with finite vectors)
  // Number of bins summed, or 0 when every datum was summed by itself.
  std::int64_t bins = 0;
  // A bound on the difference between `density` and the exact sum over
  // every datum, at every node, in the units of `density`: the kernel's
  // Lipschitz constant times the distance of each datum from its bin's
  // centroid, summed over the data (0 for the exact sum). The true error is
  // far smaller, as the first-order terms cancel about each centroid.
  double error_bound = 0;
  // D at each node, in data per unit hyperbolic area.
  std::vector<double> density;
};

// The density of `markers` (their `vector` fields) at `nodes`. Markers
// whose vectors are not finite are left out. Nodes are shared among
// threads; each node's value is summed in a fixed order. `cancel` is
// polled between groups of nodes. Allocation failures are thrown as
// std::bad_alloc.
DensityResult HyperbolicDensity(std::span<const HyperboloidPoint> nodes,
                                std::span<const MarkerRecord> markers,
                                const DensityOptions& options = {},
                                const std::atomic<bool>* cancel = nullptr,
                                const DensityProgress& progress = {});

}  // namespace orvane

#endif  // ORVANE_CORE_DENSITY_H_

// SPDX-License-Identifier: MIT
#include "core/density.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;

MarkerRecord Marker(double rho, double psi) {
  MarkerRecord m;
  m.rho = static_cast<float>(rho);
  m.psi = static_cast<float>(psi);
  m.vector = HyperbolicVector(m.rho, m.psi);
  return m;
}

// A cloud of markers about R = 2.5, phi = 20 degrees, with a second,
// smaller one across the origin; the same cloud on every platform.
std::vector<MarkerRecord> Cloud(int n, std::uint32_t seed = 7) {
  std::mt19937 gen(seed);
  auto uniform = [&gen] {
    return (static_cast<double>(gen()) + 0.5) / 4294967296.0;
  };
  std::vector<MarkerRecord> data;
  for (int i = 0; i < n; ++i) {
    const bool second = i % 5 == 0;
    const double rho = (second ? 0.4 : std::log(2.5)) + 0.5 * uniform();
    const double psi =
        (second ? -2.0 : 2 * 20 * kPi / 180) + 1.2 * (uniform() - 0.5);
    data.push_back(Marker(rho, psi));
  }
  return data;
}

// Nodes of a square lattice of side `cell` on the equal-area plane, inside
// the disc of radius `zeta_max`.
std::vector<HyperboloidPoint> PlaneNodes(double zeta_max, double cell) {
  std::vector<HyperboloidPoint> nodes;
  const int half = static_cast<int>(zeta_max / cell);
  for (int j = -half; j <= half; ++j) {
    for (int i = -half; i <= half; ++i) {
      const double u = i * cell, v = j * cell;
      const double zeta = std::hypot(u, v);
      if (zeta > zeta_max) continue;
      nodes.push_back(
          HyperboloidPointAt(2 * std::asinh(zeta / 2), std::atan2(v, u)));
    }
  }
  return nodes;
}

TEST(DensityKernel, DefaultConcentrationAndSlope) {
  EXPECT_DOUBLE_EQ(DefaultConcentration(1000), 4.0);
  EXPECT_NEAR(DefaultConcentration(1'000'000), 0.4, 1e-12);
  EXPECT_DOUBLE_EQ(DefaultConcentration(0), 40.0);
  // The slope found numerically.
  for (const double k : {0.4, 4.0, 40.0}) {
    double steepest = 0;
    for (double d = 1e-4; d < 8; d += 1e-4) {
      steepest = std::max(steepest,
                          k * std::sinh(d) * std::exp(k * (1 - std::cosh(d))));
    }
    EXPECT_NEAR(KernelLipschitz(k), steepest, 1e-6 * steepest) << k;
  }
}

TEST(Density, IntegratesToTheCountOverTheEqualAreaPlane) {
  // The equal-area plane keeps hyperbolic area: density times cell area,
  // summed over the lattice, is the number of data.
  for (const int n : {1, 60, 800}) {
    const std::vector<MarkerRecord> data = Cloud(n);
    const double cell = 0.02;
    const std::vector<HyperboloidPoint> nodes = PlaneNodes(6.0, cell);
    const DensityResult r = HyperbolicDensity(nodes, data);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.count, n);
    EXPECT_EQ(r.bins, 0);
    double mass = 0;
    for (const double d : r.density) mass += d * cell * cell;
    EXPECT_NEAR(mass, n, 2e-3 * n) << n;
  }
}

TEST(Density, PeakOfOneDatumAndDistanceFromIt) {
  const std::vector<MarkerRecord> one = {Marker(0.0, 0.0)};
  DensityOptions options;
  options.concentration = 3;
  const std::vector<HyperboloidPoint> nodes = {HyperboloidPointAt(0, 0),
                                               HyperboloidPointAt(0.5, 1.0)};
  const DensityResult r = HyperbolicDensity(nodes, one, options);
  EXPECT_DOUBLE_EQ(r.concentration, 3);
  EXPECT_NEAR(r.density[0], 3 / (2 * kPi), 1e-12);
  EXPECT_NEAR(r.density[1], 3 / (2 * kPi) * std::exp(3 * (1 - std::cosh(0.5))),
              1e-12);
}

TEST(Density, BinnedSumStaysWithinItsBoundOfTheExactSum) {
  for (const int n : {20000, 100000}) {
    const std::vector<MarkerRecord> data = Cloud(n, 11);
    const std::vector<HyperboloidPoint> nodes = PlaneNodes(4.0, 0.1);
    DensityOptions exact_options;
    exact_options.exact_limit = n;
    const DensityResult exact = HyperbolicDensity(nodes, data, exact_options);
    const DensityResult binned = HyperbolicDensity(nodes, data);
    ASSERT_GT(binned.bins, 0);
    EXPECT_LT(binned.bins, n / 2);
    EXPECT_EQ(exact.error_bound, 0);
    double peak = 0, worst = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      peak = std::max(peak, exact.density[i]);
      const double diff = std::abs(binned.density[i] - exact.density[i]);
      worst = std::max(worst, diff);
      ASSERT_LE(diff, binned.error_bound) << i;
    }
    // The centroids make the error second order: far inside the bound,
    // and far below a contour step.
    EXPECT_LT(worst, 1e-3 * peak) << n;
    EXPECT_LT(binned.error_bound, 0.1 * peak) << n;
  }
}

TEST(Density, EachNodeIsSummedAloneInAFixedOrder) {
  // Whatever the threads, a node's value is that of the node by itself.
  const std::vector<MarkerRecord> data = Cloud(50000, 3);
  const std::vector<HyperboloidPoint> nodes = PlaneNodes(3.0, 0.05);
  const DensityResult all = HyperbolicDensity(nodes, data);
  for (const std::size_t i :
       {std::size_t{0}, nodes.size() / 3, nodes.size() - 1}) {
    const HyperboloidPoint one[] = {nodes[i]};
    EXPECT_EQ(HyperbolicDensity(one, data).density[0], all.density[i]);
  }
  EXPECT_EQ(HyperbolicDensity(nodes, data).density, all.density);
}

TEST(Density, RotatingDataAndNodesTogetherChangesNothing) {
  std::vector<MarkerRecord> data = Cloud(200);
  const std::vector<HyperboloidPoint> nodes = PlaneNodes(3.0, 0.25);
  const DensityResult before = HyperbolicDensity(nodes, data);
  const double turn = 0.7;
  for (MarkerRecord& m : data) {
    m = Marker(m.rho, static_cast<double>(m.psi) + turn);
  }
  std::vector<HyperboloidPoint> turned;
  for (const HyperboloidPoint& h : nodes) {
    const double rho = std::acosh(h[0]);
    turned.push_back(HyperboloidPointAt(rho, std::atan2(h[2], h[1]) + turn));
  }
  const DensityResult after = HyperbolicDensity(turned, data);
  double peak = 0;
  for (const double d : before.density) peak = std::max(peak, d);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_NEAR(after.density[i], before.density[i], 1e-5 * peak);
  }
}

TEST(Density, DegenerateInput) {
  const std::vector<HyperboloidPoint> nodes = PlaneNodes(1.0, 0.5);
  // No data: zero everywhere.
  const DensityResult none = HyperbolicDensity(nodes, {});
  EXPECT_TRUE(none.completed);
  for (const double d : none.density) EXPECT_EQ(d, 0);
  // A datum whose vector is not finite is left out, not summed as NaN.
  std::vector<MarkerRecord> data = Cloud(10);
  data[4].vector[0] = std::numeric_limits<float>::infinity();
  data[5].vector[1] = std::numeric_limits<float>::quiet_NaN();
  const DensityResult r = HyperbolicDensity(nodes, data);
  EXPECT_EQ(r.count, 8);
  for (const double d : r.density) EXPECT_TRUE(std::isfinite(d));
  // A concentration that is no number takes the default.
  DensityOptions options;
  options.concentration = std::numeric_limits<double>::quiet_NaN();
  EXPECT_DOUBLE_EQ(HyperbolicDensity(nodes, data, options).concentration,
                   DefaultConcentration(8));
  // Every datum in one place: one bin, the exact sum.
  std::vector<MarkerRecord> same(10000, Marker(0.5, 0.5));
  const DensityResult binned = HyperbolicDensity(nodes, same);
  EXPECT_EQ(binned.bins, 1);
  EXPECT_LT(binned.error_bound, 1e-3);
}

TEST(Density, CancelStopsAndProgressReachesTheEnd) {
  const std::vector<MarkerRecord> data = Cloud(100);
  const std::vector<HyperboloidPoint> nodes = PlaneNodes(3.0, 0.05);
  std::atomic<bool> cancel{true};
  EXPECT_FALSE(HyperbolicDensity(nodes, data, {}, &cancel).completed);
  std::atomic<double> last{0};
  std::atomic<int> calls{0};
  const DensityResult r =
      HyperbolicDensity(nodes, data, {}, nullptr, [&](double f) {
        ++calls;
        double seen = last.load();
        while (f > seen && !last.compare_exchange_weak(seen, f)) {
        }
      });
  EXPECT_TRUE(r.completed);
  EXPECT_GT(calls.load(), 1);
  EXPECT_DOUBLE_EQ(last.load(), 1.0);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "support/centre_data.h"

#include <charconv>
#include <cmath>
#include <numbers>
#include <random>

#include "core/analysis.h"

namespace orvane::testing_support {
namespace {

// The shortest text of a double, with a full stop.
std::string Text(double v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

}  // namespace

StrainedDiscs HardCoreDiscs(int count, double ratio, double phi,
                            std::uint32_t seed) {
  std::mt19937 generator(seed);
  auto uniform = [&generator] {
    return static_cast<double>(generator()) / 4294967296.0;
  };
  std::vector<double> radii(static_cast<std::size_t>(count));
  double area = 0;
  for (double& r : radii) {
    r = 0.5 + uniform();
    area += std::numbers::pi * r * r;
  }
  const double side = std::sqrt(area / 0.45);
  // A grid of cells as wide as the largest diameter: a new disc can only
  // overlap discs in its own cell and the eight around it.
  const double cell = 3.0;
  const int cells = static_cast<int>(side / cell) + 1;
  std::vector<std::vector<int>> grid(static_cast<std::size_t>(cells * cells));
  StrainedDiscs d;
  d.ratio = ratio;
  d.phi = phi;
  for (const double r : radii) {
    for (int attempt = 0; attempt < 100000; ++attempt) {
      const double x = uniform() * side;
      const double y = uniform() * side;
      const int cx = static_cast<int>(x / cell);
      const int cy = static_cast<int>(y / cell);
      bool free = true;
      for (int gy = std::max(0, cy - 1);
           free && gy <= std::min(cells - 1, cy + 1); ++gy) {
        for (int gx = std::max(0, cx - 1);
             free && gx <= std::min(cells - 1, cx + 1); ++gx) {
          for (const int j : grid[static_cast<std::size_t>(gy * cells + gx)]) {
            const double dx = d.x[static_cast<std::size_t>(j)] - x;
            const double dy = d.y[static_cast<std::size_t>(j)] - y;
            const double reach = d.radius[static_cast<std::size_t>(j)] + r;
            if (dx * dx + dy * dy < reach * reach) {
              free = false;
              break;
            }
          }
        }
      }
      if (!free) continue;
      grid[static_cast<std::size_t>(cy * cells + cx)].push_back(
          static_cast<int>(d.x.size()));
      d.x.push_back(x);
      d.y.push_back(y);
      d.radius.push_back(r);
      break;
    }
  }
  // The strain: stretch sqrt(R) along phi, 1 / sqrt(R) across it.
  const double t = phi * std::numbers::pi / 180;
  const double c = std::cos(t), s = std::sin(t);
  const double along = std::sqrt(ratio), across = 1 / std::sqrt(ratio);
  for (std::size_t i = 0; i < d.x.size(); ++i) {
    const double u = c * d.x[i] + s * d.y[i];
    const double v = -s * d.x[i] + c * d.y[i];
    d.x[i] = c * along * u - s * across * v;
    d.y[i] = s * along * u + c * across * v;
  }
  return d;
}

CentreData CentresOf(const StrainedDiscs& discs) {
  return {discs.x, discs.y, discs.radius};
}

std::string DiscTable(const StrainedDiscs& d) {
  std::string text = "major,minor,angle,X,Y,Area\n";
  const double along = std::sqrt(d.ratio), across = 1 / std::sqrt(d.ratio);
  for (std::size_t i = 0; i < d.x.size(); ++i) {
    const double r = d.radius[i];
    text += Text(2 * r * along) + "," + Text(2 * r * across) + "," +
            Text(d.phi) + "," + Text(d.x[i]) + "," + Text(d.y[i]) + "," +
            Text(std::numbers::pi * r * r) + "\n";
  }
  return text;
}

AnalysisState DiscState(const StrainedDiscs& d) {
  AnalysisState state;
  const std::size_t n = d.x.size();
  state.count = static_cast<std::int32_t>(n);
  state.measured.assign(n + 1, MarkerRecord{});
  state.retrodeformed.assign(n + 1, MarkerRecord{});
  state.places.x.assign(n + 1, 0);
  state.places.y.assign(n + 1, 0);
  state.places.area.assign(n + 1, 0);
  const double along = std::sqrt(d.ratio), across = 1 / std::sqrt(d.ratio);
  for (std::size_t i = 0; i < n; ++i) {
    MarkerRecord& m = state.measured[i + 1];
    m.major = static_cast<float>(2 * d.radius[i] * along);
    m.minor = static_cast<float>(2 * d.radius[i] * across);
    m.ratio = m.major / m.minor;
    m.phi = static_cast<float>(d.phi);
    state.places.x[i + 1] = d.x[i];
    state.places.y[i + 1] = d.y[i];
    state.places.area[i + 1] = std::numbers::pi * d.radius[i] * d.radius[i];
  }
  RunAnalysis(state);
  return state;
}

}  // namespace orvane::testing_support

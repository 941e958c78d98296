// SPDX-License-Identifier: MIT
#include "chart/density_contours.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <unordered_map>

#include "chart/equal_area_chart.h"
#include "chart/rf_phi_plot.h"
#include "core/number_format.h"

namespace orvane {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The disc as the polygon the bands are clipped to: at this many corners
// its sides lie within a hundredth of a pixel of the circle on any screen.
constexpr int kDiscCorners = 720;

// A point of the grid that a ring passes through: a node, or the crossing
// on the side between two neighbouring nodes. Keys are exact, so rings are
// joined without comparing coordinates.
class GridKeys {
 public:
  explicit GridKeys(const DensityGrid& g)
      : columns_(g.columns),
        nodes_(static_cast<std::int64_t>(g.columns) * g.rows),
        across_(static_cast<std::int64_t>(g.columns - 1) * g.rows) {}
  std::int64_t Node(int i, int j) const {
    return static_cast<std::int64_t>(j) * columns_ + i;
  }
  // The side from (i, j) to (i + 1, j).
  std::int64_t Across(int i, int j) const {
    return nodes_ + static_cast<std::int64_t>(j) * (columns_ - 1) + i;
  }
  // The side from (i, j) to (i, j + 1).
  std::int64_t Up(int i, int j) const {
    return nodes_ + across_ + static_cast<std::int64_t>(j) * columns_ + i;
  }

 private:
  std::int64_t columns_, nodes_, across_;
};

struct Vertex {
  std::int64_t key = 0;
  PlotPoint point;
  bool crossing = false;
  int side = 0;  // the cell side it lies on or begins (0 bottom .. 3 left)
};

// Where the level crosses the side from node p to node q, computed from
// the lower key's end so that both cells of a side agree.
PlotPoint Crossing(PlotPoint p, double vp, PlotPoint q, double vq,
                   double level) {
  const double t = (level - vp) / (vq - vp);
  return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

// The share of the data held by `state` that the density is of.
std::span<const MarkerRecord> DataOf(const AnalysisState& state,
                                     DensityData which) {
  const std::vector<MarkerRecord>& all = which == DensityData::kRetrodeformed
                                             ? state.retrodeformed
                                             : state.measured;
  if (all.size() < 2 || state.count <= 0) return {};
  const std::size_t n =
      std::min(all.size() - 1, static_cast<std::size_t>(state.count));
  return std::span<const MarkerRecord>(all).subspan(1, n);
}

int ValidCells(int cells) {
  return std::clamp(cells, 8, 1024);
}

// Kernels narrower than this many cells are sampled too coarsely to show.
constexpr double kCellsPerKernelWidth = 3;
// The most cells a finer grid may have each way, and the most kernel
// evaluations it may cost.
constexpr int kMostFineCells = 512;
constexpr double kMostEvaluations = 4e7;

// The cells each way for a plot `span` kernel widths of 1 at the
// concentration k across: the settings' count, or more where the kernel of
// few data is narrow against the cells (a few markers at R = 2 beside one
// at R = 1000 on a disc that reaches it), as long as it stays cheap.
int CellsFor(const ContourSettings& settings, const AnalysisState& state,
             double span) {
  const int asked = ValidCells(settings.cells);
  const auto n = static_cast<std::int64_t>(DataOf(state, settings.data).size());
  const double k =
      settings.concentration > 0 && std::isfinite(settings.concentration)
          ? settings.concentration
          : DefaultConcentration(n);
  const double wanted = std::ceil(span * std::sqrt(k) * kCellsPerKernelWidth);
  if (!(wanted > asked)) return asked;
  const double sources = static_cast<double>(std::min<std::int64_t>(
      std::max<std::int64_t>(n, 1), DensityOptions{}.bin_budget));
  const double affordable = std::sqrt(kMostEvaluations / sources);
  const double cells = std::min({wanted, affordable, double{kMostFineCells}});
  return std::max(asked, static_cast<int>(cells));
}

// The density at the grid's nodes where `node_at` gives a point (others
// stay 0), the levels, and the bands clipped by `clip` (when not empty).
// `inside` tells which nodes count for the peak.
template <typename NodeAt, typename Inside>
bool Contour(const AnalysisState& state, DensityGrid& grid,
             const ContourSettings& settings, const ContourRing& clip,
             NodeAt node_at, Inside inside, DensityContours& out,
             const std::atomic<bool>* cancel, const DensityProgress& progress) {
  std::vector<HyperboloidPoint> nodes;
  std::vector<std::size_t> index;
  for (int j = 0; j < grid.rows; ++j) {
    for (int i = 0; i < grid.columns; ++i) {
      HyperboloidPoint h;
      if (node_at(grid.Node(i, j), h)) {
        nodes.push_back(h);
        index.push_back(static_cast<std::size_t>(j) * grid.columns + i);
      }
    }
  }
  DensityOptions options;
  options.concentration = settings.concentration;
  const DensityResult density = HyperbolicDensity(
      nodes, DataOf(state, settings.data), options, cancel, progress);
  if (!density.completed) return false;
  grid.values.assign(static_cast<std::size_t>(grid.columns) * grid.rows, 0.0);
  for (std::size_t n = 0; n < index.size(); ++n) {
    grid.values[index[n]] =
        std::isfinite(density.density[n]) ? density.density[n] : 0.0;
  }
  DensityContours c;
  c.settings = settings;
  c.settings.steps =
      std::clamp(settings.steps, kMinContourSteps, kMaxContourSteps);
  c.settings.cells = grid.columns - 1;
  c.concentration = density.concentration;
  c.count = density.count;
  c.error_bound = density.error_bound;
  for (int j = 0; j < grid.rows; ++j) {
    for (int i = 0; i < grid.columns; ++i) {
      if (inside(grid.Node(i, j))) c.peak = std::max(c.peak, grid.At(i, j));
    }
  }
  for (const double level : EqualStepLevels(c.peak, c.settings.steps)) {
    ContourBand band;
    band.level = level;
    for (ContourRing& ring : RegionAtLeast(grid, level)) {
      if (!clip.empty()) ring = ClipToConvex(ring, clip);
      if (ring.size() >= 3) band.rings.push_back(std::move(ring));
    }
    c.bands.push_back(std::move(band));
  }
  c.grid = std::move(grid);
  out = std::move(c);
  return true;
}

}  // namespace

std::vector<ContourRing> RegionAtLeast(const DensityGrid& grid, double level) {
  std::vector<ContourRing> rings;
  if (grid.columns < 2 || grid.rows < 2 ||
      grid.values.size() < static_cast<std::size_t>(grid.columns) * grid.rows) {
    return rings;
  }
  const GridKeys keys(grid);
  // The boundary of the region as directed pieces, the region on their
  // left: each key begins exactly one piece.
  std::unordered_map<std::int64_t, std::pair<std::int64_t, PlotPoint>> next;
  auto in = [&](int i, int j) { return grid.At(i, j) >= level; };
  for (int j = 0; j + 1 < grid.rows; ++j) {
    for (int i = 0; i + 1 < grid.columns; ++i) {
      // The corners counter-clockwise, and the key of the side each begins.
      const int ci[4] = {i, i + 1, i + 1, i};
      const int cj[4] = {j, j, j + 1, j + 1};
      const std::int64_t side_key[4] = {keys.Across(i, j), keys.Up(i + 1, j),
                                        keys.Across(i, j + 1), keys.Up(i, j)};
      const bool outer[4] = {j == 0, i + 2 == grid.columns, j + 2 == grid.rows,
                             i == 0};
      bool all_in = true, any_in = false;
      for (int k = 0; k < 4; ++k) {
        const bool corner_in = in(ci[k], cj[k]);
        all_in = all_in && corner_in;
        any_in = any_in || corner_in;
      }
      if (!any_in) continue;
      if (all_in && !outer[0] && !outer[1] && !outer[2] && !outer[3]) continue;
      Vertex walk[8];
      int count = 0;
      for (int k = 0; k < 4; ++k) {
        const int l = (k + 1) % 4;
        const bool here = in(ci[k], cj[k]);
        if (here) {
          walk[count++] = {keys.Node(ci[k], cj[k]), grid.Node(ci[k], cj[k]),
                           false, k};
        }
        if (here != in(ci[l], cj[l])) {
          // From the side's lower-left end, whichever way the walk runs.
          const bool forward = k < 2;
          const int a = forward ? k : l, b = forward ? l : k;
          walk[count++] = {
              side_key[k],
              Crossing(grid.Node(ci[a], cj[a]), grid.At(ci[a], cj[a]),
                       grid.Node(ci[b], cj[b]), grid.At(ci[b], cj[b]), level),
              true, k};
        }
      }
      for (int n = 0; n < count; ++n) {
        const Vertex& from = walk[n];
        const Vertex& to = walk[(n + 1) % count];
        // Two crossings in a row are a piece of the contour; anything else
        // runs along a side of the cell, which is the region's boundary
        // only on the grid's edge (inside, the neighbour's piece cancels
        // it).
        if ((from.crossing && to.crossing) || outer[from.side]) {
          next[from.key] = {to.key, to.point};
        }
      }
    }
  }
  while (!next.empty()) {
    auto it = next.begin();
    const std::int64_t start = it->first;
    ContourRing ring;
    std::int64_t key = start;
    while (true) {
      const auto step = next.find(key);
      if (step == next.end()) break;  // cannot happen on a closed boundary
      ring.push_back(step->second.second);
      key = step->second.first;
      next.erase(step);
      if (key == start) break;
    }
    if (ring.size() >= 3) {
      // The ring began with the point its first piece leads to: put the
      // start's point first for a ring that reads in order.
      std::rotate(ring.begin(), ring.end() - 1, ring.end());
      rings.push_back(std::move(ring));
    }
  }
  return rings;
}

ContourRing ClipToConvex(const ContourRing& ring, const ContourRing& convex) {
  ContourRing out = ring;
  const std::size_t n = convex.size();
  for (std::size_t e = 0; e < n && !out.empty(); ++e) {
    const PlotPoint a = convex[e];
    const PlotPoint b = convex[(e + 1) % n];
    auto side = [&](PlotPoint p) {
      return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    };
    ContourRing in;
    in.reserve(out.size() + 4);
    for (std::size_t v = 0; v < out.size(); ++v) {
      const PlotPoint p = out[v];
      const PlotPoint q = out[(v + 1) % out.size()];
      const double sp = side(p), sq = side(q);
      if (sp >= 0) in.push_back(p);
      if ((sp >= 0) != (sq >= 0)) {
        const double t = sp / (sp - sq);
        in.push_back({p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)});
      }
    }
    out = std::move(in);
  }
  return out;
}

std::string ConcentrationText(double k, std::string_view sep) {
  // Two decimals down to 1, then one more for each power of ten below it
  // (0.1 .. 1 has 3, 0.01 .. 0.1 has 4, ...): three significant digits.
  // The bounds 1 / 10^n are the nearest doubles to 1e-n, as a k typed as
  // 1e-4 is.
  int decimals = 2;
  for (double power = 1; decimals < 18 && k > 0 && k < 1 / power; power *= 10) {
    ++decimals;
  }
  return FormatFixed(k, 5, decimals, sep);
}

std::vector<double> EqualStepLevels(double peak, int steps) {
  std::vector<double> levels;
  if (!(peak > 0) || !std::isfinite(peak) || steps < 2) return levels;
  for (int i = 1; i < steps; ++i) levels.push_back(peak * i / steps);
  return levels;
}

DensityGrid DiscGrid(double radial_maximum, int cells) {
  cells = ValidCells(cells);
  DensityGrid g;
  g.columns = g.rows = cells + 1;
  g.step_x = g.step_y = 2 * radial_maximum / cells;
  g.left = g.bottom = -radial_maximum;
  return g;
}

bool ComputeDiscContours(const AnalysisState& state, double radial_maximum,
                         ChartProjection projection,
                         const ContourSettings& settings, DensityContours& out,
                         const std::atomic<bool>* cancel,
                         const DensityProgress& progress) {
  if (!(radial_maximum > 0) || !std::isfinite(radial_maximum)) {
    radial_maximum = 1;
  }
  // Near the centre a unit of the plot is a unit of hyperbolic distance in
  // either projection.
  DensityGrid grid =
      DiscGrid(radial_maximum, CellsFor(settings, state, 2 * radial_maximum));
  // Nodes of cells that reach into the disc; those farther out are only
  // cut away.
  const double reach = radial_maximum + 1.5 * grid.step_x;
  ContourRing disc;
  for (int c = 0; c < kDiscCorners; ++c) {
    const double t = 2 * kPi * c / kDiscCorners;
    disc.push_back(
        {radial_maximum * std::cos(t), radial_maximum * std::sin(t)});
  }
  return Contour(
      state, grid, settings, disc,
      [&](PlotPoint p, HyperboloidPoint& h) {
        const double r = std::hypot(p.x, p.y);
        if (r > reach) return false;
        h = HyperboloidPointAt(RhoOfRadius(projection, r),
                               std::atan2(p.y, p.x));
        return true;
      },
      [&](PlotPoint p) { return std::hypot(p.x, p.y) <= radial_maximum; }, out,
      cancel, progress);
}

std::shared_ptr<const DensityContours> ChartDensityContours(
    const EqualAreaChart& chart, const AnalysisState& state,
    const ContourSettings& settings, const std::atomic<bool>* cancel,
    const DensityProgress& progress) {
  auto contours = std::make_shared<DensityContours>();
  if (!ComputeDiscContours(state, chart.RadialMaximum(), chart.Projection(),
                           settings, *contours, cancel, progress)) {
    return nullptr;
  }
  return contours;
}

DensityGrid RfPhiGrid(double ln_ratio_bottom, double ln_ratio_top, int cells) {
  cells = ValidCells(cells);
  DensityGrid g;
  g.columns = g.rows = cells + 1;
  g.left = -90;
  g.step_x = 180.0 / cells;
  g.bottom = ln_ratio_bottom;
  g.step_y = (ln_ratio_top - ln_ratio_bottom) / cells;
  return g;
}

bool ComputeRfPhiContours(const AnalysisState& state, double ln_ratio_bottom,
                          double ln_ratio_top, const ContourSettings& settings,
                          DensityContours& out, const std::atomic<bool>* cancel,
                          const DensityProgress& progress) {
  if (!std::isfinite(ln_ratio_bottom) || ln_ratio_bottom < 0) {
    ln_ratio_bottom = 0;
  }
  if (!std::isfinite(ln_ratio_top) || !(ln_ratio_top > ln_ratio_bottom)) {
    ln_ratio_top = ln_ratio_bottom + 1;
  }
  // Across, phi's 180 degrees are psi's full turn, 2 pi sinh(rho) long at
  // rho; a turn at rho = 1 sets the cells.
  DensityGrid grid = RfPhiGrid(ln_ratio_bottom, ln_ratio_top,
                               CellsFor(settings, state,
                                        std::max(ln_ratio_top - ln_ratio_bottom,
                                                 2 * kPi * std::sinh(1.0))));
  return Contour(
      state, grid, settings, {},
      [](PlotPoint p, HyperboloidPoint& h) {
        h = HyperboloidPointAt(p.y, 2 * p.x * kPi / 180);
        return true;
      },
      [](PlotPoint) { return true; }, out, cancel, progress);
}

std::shared_ptr<const DensityContours> RfPhiDensityContours(
    const RfPhiPlot& plot, const AnalysisState& state,
    const ContourSettings& settings, const std::atomic<bool>* cancel,
    const DensityProgress& progress) {
  const double top =
      std::max(plot.Axis().maximum, static_cast<double>(state.largest_ratio));
  auto contours = std::make_shared<DensityContours>();
  if (!ComputeRfPhiContours(state, 0.0, std::log(top), settings, *contours,
                            cancel, progress)) {
    return nullptr;
  }
  return contours;
}

std::string DensityNoteText(const DensityContours& contours,
                            std::string_view sep) {
  return "Density contours, k = " +
         ConcentrationText(contours.concentration, sep);
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
// The strain from the spacing of the markers' centres: the Fry plot and its
// normalised and enhanced forms with the vacancy fitted objectively, the
// Delaunay nearest-neighbour method, and their bootstrap over the markers.
#include "core/centre_strain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "centre_delaunay.h"
#include "core/bootstrap.h"
#include "core/parallel.h"

namespace orvane {
namespace {

using LD = long double;

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The passes of the vacancy fit: it has settled when R changes by less than
// this share and phi by less than this angle (degrees) from one pass to the
// next, or when a pass picks the innermost points of the pass before; it
// stops after kMostPasses in any case (the innermost points can alternate
// between two sets).
constexpr double kSettledRatio = 1e-6;
constexpr double kSettledPhi = 1e-4;
constexpr int kMostPasses = 20;

// Fewer wedges holding a point than this outline no vacancy: with the
// plot's symmetry, six wedges give three independent directions for the
// three coefficients of the ellipse.
constexpr int kFewestWedges = 6;

// The enhanced method's windows to choose among when the settings leave it
// to the data: these multiples of the semi-major axis of the vacancy fitted
// to every pair (see ChooseWindow).
constexpr std::array<double, 4> kWindowFactors = {1.25, 1.5, 2.0, 3.0};

// The Delaunay method's selection factors, as multiples of the median
// normalised edge length in the retrodeformed frame of the current fit;
// infinity keeps every edge (see ChooseSelectionFactor).
constexpr std::array<double, 8> kEdgeFactors = {0.8,  0.9, 1.0, 1.1,
                                                1.25, 1.5, 2.0, kInfinity};
// A selection factor that keeps fewer edges than this share of them, or
// than kFewestEdges, is not considered.
constexpr double kLeastEdgeShare = 0.2;
constexpr std::int64_t kFewestEdges = 12;
// The triangulations, each of the centres retrodeformed by the fit to the
// one before, at most.
constexpr int kMostTriangulations = 8;
// The passes of the cut in the retrodeformed frame, at most.
constexpr int kMostCutPasses = 30;
// The Levenberg-Marquardt iterations of one fit, at most.
constexpr int kMostFitIterations = 100;

// The bootstrap of a Fry method scans first, in each wedge, this many of
// the points nearest the origin in the data's frame (for the first pass)
// or in the circular frame of the estimate's vacancy (the later ones); see
// Candidates.
constexpr std::int64_t kCandidatesPerWedge = 64;

// The most pairs whose points the plot gets: beyond, an even sample of
// them (the plot is dense long before; 10^7 markers would otherwise give
// it a gigabyte of points).
constexpr std::size_t kMostPlotPairs = std::size_t{1} << 21;

// The full-data scans share out blocks of this many pairs.
constexpr std::size_t kScanBlock = std::size_t{1} << 15;

// How the resamples' vacancy fits scan (CentreScanForTesting): 0 as they
// do, 1 every pair, 2 with few candidates.
std::atomic<int> scan_for_testing{0};
constexpr std::int64_t kFewCandidatesForTesting = 2;

// An angle in degrees brought into (-90, 90], the range of an orientation.
double AxialAngle(double degrees) {
  double d = std::fmod(degrees, 180.0);
  if (d <= -90) d += 180;
  if (d > 90) d -= 180;
  return d == 0 ? 0.0 : d;  // no negative zero
}

// ---------------------------------------------------------------------
// The centred conic A x^2 + 2 B x y + C y^2, 1 on the fitted ellipse.

struct Conic {
  double a = 1, b = 0, c = 1;
  double Of(double x, double y) const {
    return a * x * x + 2 * b * x * y + c * y * y;
  }
  LD Det() const { return static_cast<LD>(a) * c - static_cast<LD>(b) * b; }
  bool PositiveDefinite() const {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && a > 0 &&
           c > 0 && Det() > 0;
  }
};

// The ellipse of a positive-definite conic: R = sqrt(lambda_max /
// lambda_min) of [[A, B], [B, C]], the long axis along the eigenvector of
// the smaller eigenvalue, the semi-axes 1 / sqrt(lambda). False for a conic
// that is no ellipse.
bool EllipseOf(const Conic& q, CentreEstimate& e) {
  if (!q.PositiveDefinite()) return false;
  const LD a = q.a, b = q.b, c = q.c;
  const LD mean = (a + c) / 2;
  const LD half = std::hypot((a - c) / 2, b);
  const LD large = mean + half;      // across the long axis
  const LD small = q.Det() / large;  // along it, without cancellation
  if (!(small > 0) || !std::isfinite(large)) return false;
  e.ratio = std::max(1.0, static_cast<double>(std::sqrt(large / small)));
  e.phi = half == 0 ? 0.0
                    : AxialAngle(static_cast<double>(std::atan2(-2 * b, c - a) /
                                                     2 * kDegPerRad));
  e.semi_major = static_cast<double>(1 / std::sqrt(small));
  e.semi_minor = static_cast<double>(1 / std::sqrt(large));
  return std::isfinite(e.ratio) && std::isfinite(e.semi_major) &&
         e.semi_minor > 0;
}

// The strain of a conic as the point (ln R cos 2 phi, ln R sin 2 phi).
std::array<LD, 2> StrainPoint(const Conic& q) {
  const LD a = q.a, b = q.b, c = q.c;
  const LD mean = (a + c) / 2;
  const LD half = std::hypot((a - c) / 2, b);
  // ln R = artanh(half / mean); the direction is that of (C - A, -2 B).
  const LD scale = half > 0 ? std::atanh(half / mean) / half : 1 / mean;
  return {scale * (c - a) / 2, -scale * b};
}

// Whether two successive estimates agree to the settling tolerances.
bool Settled(const CentreEstimate& a, const CentreEstimate& b) {
  return std::fabs(a.ratio - b.ratio) <= kSettledRatio * b.ratio &&
         std::fabs(AxialAngle(a.phi - b.phi)) <= kSettledPhi;
}

// Solves m x = r for 3 x 3 m by elimination with partial pivoting. False
// when m is singular to working precision.
bool Solve3(std::array<std::array<LD, 3>, 3> m, std::array<LD, 3> r,
            std::array<LD, 3>& x) {
  LD largest = 0;
  for (const auto& row : m) {
    for (const LD v : row) largest = std::max(largest, std::fabs(v));
  }
  if (!(largest > 0) || !std::isfinite(largest)) return false;
  for (int k = 0; k < 3; ++k) {
    int pivot = k;
    for (int i = k + 1; i < 3; ++i) {
      if (std::fabs(m[i][k]) > std::fabs(m[pivot][k])) pivot = i;
    }
    if (!(std::fabs(m[pivot][k]) > 1e-13L * largest)) return false;
    std::swap(m[k], m[pivot]);
    std::swap(r[k], r[pivot]);
    for (int i = k + 1; i < 3; ++i) {
      const LD f = m[i][k] / m[k][k];
      for (int j = k; j < 3; ++j) m[i][j] -= f * m[k][j];
      r[i] -= f * r[k];
    }
  }
  for (int k = 2; k >= 0; --k) {
    LD s = r[k];
    for (int j = k + 1; j < 3; ++j) s -= m[k][j] * x[j];
    x[k] = s / m[k][k];
  }
  return std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]);
}

// Least squares of rows (u, v, w) . (A, B, C) = t with weights: the normal
// equations, summed in the order the rows come.
class ConicLeastSquares {
 public:
  void Add(LD u, LD v, LD w, LD t, LD weight = 1) {
    const std::array<LD, 3> row = {u, v, w};
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m_[i][j] += weight * row[i] * row[j];
      r_[i] += weight * row[i] * t;
    }
  }
  bool Solve(Conic& q) const {
    std::array<LD, 3> x{};
    if (!Solve3(m_, r_, x)) return false;
    q = {static_cast<double>(x[0]), static_cast<double>(x[1]),
         static_cast<double>(x[2])};
    return q.PositiveDefinite();
  }

 private:
  std::array<std::array<LD, 3>, 3> m_{};
  std::array<LD, 3> r_{};
};

// ---------------------------------------------------------------------
// The markers' sites: the distinct centres, and which data coincide.

struct Sites {
  std::vector<double> x, y;               // the distinct centres
  std::vector<std::int32_t> start;        // data of site s: members[start[s]..]
  std::vector<std::int32_t> members;      // by site, ascending within a site
  std::int64_t coinciding_pairs = 0;      // pairs of data with one centre
  std::int32_t first_i = 0, first_j = 0;  // the first such pair (from 0)
};

Sites SitesOf(const CentreData& data) {
  const std::size_t n = data.Count();
  std::vector<std::int32_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<std::int32_t>(i);
  std::sort(order.begin(), order.end(), [&](std::int32_t p, std::int32_t q) {
    const auto a = static_cast<std::size_t>(p), b = static_cast<std::size_t>(q);
    if (data.x[a] != data.x[b]) return data.x[a] < data.x[b];
    if (data.y[a] != data.y[b]) return data.y[a] < data.y[b];
    return p < q;
  });
  Sites s;
  s.members.reserve(n);
  std::int32_t first_i = std::numeric_limits<std::int32_t>::max();
  for (std::size_t k = 0; k < n;) {
    std::size_t end = k + 1;
    const auto at = static_cast<std::size_t>(order[k]);
    while (end < n &&
           data.x[static_cast<std::size_t>(order[end])] == data.x[at] &&
           data.y[static_cast<std::size_t>(order[end])] == data.y[at]) {
      ++end;
    }
    s.x.push_back(data.x[at]);
    s.y.push_back(data.y[at]);
    s.start.push_back(static_cast<std::int32_t>(s.members.size()));
    for (std::size_t j = k; j < end; ++j) {
      s.members.push_back(order[j]);
    }
    const auto m = static_cast<std::int64_t>(end - k);
    s.coinciding_pairs += m * (m - 1) / 2;
    // The group's data are ascending: its first pair is its first two.
    if (m > 1 && order[k] < first_i) {
      first_i = order[k];
      s.first_i = order[k];
      s.first_j = order[k + 1];
    }
    k = end;
  }
  s.start.push_back(static_cast<std::int32_t>(s.members.size()));
  return s;
}

// Whether the centres lie on one line: the spread across their principal
// axis is below a billionth of the spread along it (which takes in the
// rounding of centres on a sloping line).
bool OnOneLine(const CentreData& data) {
  const std::size_t n = data.Count();
  LD mx = 0, my = 0;
  for (std::size_t i = 0; i < n; ++i) {
    mx += data.x[i];
    my += data.y[i];
  }
  mx /= static_cast<LD>(n);
  my /= static_cast<LD>(n);
  LD sxx = 0, sxy = 0, syy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const LD dx = data.x[i] - mx, dy = data.y[i] - my;
    sxx += dx * dx;
    sxy += dx * dy;
    syy += dy * dy;
  }
  const LD mean = (sxx + syy) / 2;
  const LD half = std::hypot((sxx - syy) / 2, sxy);
  const LD large = mean + half;
  if (!(large > 0)) return true;
  const LD small = (sxx * syy - sxy * sxy) / large;
  return !(small > 1e-18L * large);
}

const char* MethodInWords(CentreMethod method) {
  switch (method) {
    case CentreMethod::kFry:
      return "the Fry method";
    case CentreMethod::kNormalised:
      return "the normalised Fry method";
    case CentreMethod::kEnhanced:
      return "the enhanced normalised Fry method";
    case CentreMethod::kDelaunay:
      return "the Delaunay method";
  }
  return "the method";
}

Status DataFault(std::string message, std::size_t datum = 0) {
  return Status(StatusCode::kReadError, std::move(message),
                static_cast<std::int32_t>(datum));
}

Status MethodFault(std::string message) {
  return Status(StatusCode::kInvalidSettings, std::move(message));
}

// Ok, or why `method` cannot run on `data`; `sites` set when ok.
Status CheckData(const CentreData& data, CentreMethod method, Sites& sites) {
  if (data.x.empty() || data.y.empty()) {
    return DataFault("The data give no centres of the markers (X and Y).");
  }
  const std::size_t n = data.Count();
  if (data.y.size() != n) {
    return DataFault("The data give " + std::to_string(n) + " X but " +
                     std::to_string(data.y.size()) +
                     " Y of the markers' centres.");
  }
  if (n < static_cast<std::size_t>(kMinCentres)) {
    return MethodFault("Fewer than " + std::to_string(kMinCentres) +
                       " centres: the data give " + std::to_string(n) +
                       ", and the strain of their spacing needs at least " +
                       std::to_string(kMinCentres) + ".");
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(data.x[i]) || !std::isfinite(data.y[i])) {
      return DataFault("The centre of datum " + std::to_string(i + 1) +
                           " is not a finite number.",
                       i + 1);
    }
  }
  if (method != CentreMethod::kFry) {
    if (data.radius.empty()) {
      return MethodFault(
          std::string("The data give no sizes of the markers: ") +
          MethodInWords(method) +
          " needs the areas or the axes (the plain Fry method does not).");
    }
    if (data.radius.size() != n) {
      return DataFault("The data give " + std::to_string(n) + " centres but " +
                       std::to_string(data.radius.size()) +
                       " sizes of the markers.");
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (!(data.radius[i] > 0) || !std::isfinite(data.radius[i])) {
        return DataFault("The size of datum " + std::to_string(i + 1) +
                             " is not a positive finite number.",
                         i + 1);
      }
    }
  }
  sites = SitesOf(data);
  if (sites.x.size() == 1) {
    return MethodFault(
        "The centres lie on one line: they all coincide, and their spacing "
        "gives no strain.");
  }
  if (OnOneLine(data)) {
    return MethodFault(
        "The centres lie on one line: their spacing gives no strain.");
  }
  return Status();
}

std::string CoincidingWarning(const Sites& s) {
  const std::string pair = "Data " + std::to_string(s.first_i + 1) + " and " +
                           std::to_string(s.first_j + 1);
  if (s.coinciding_pairs == 1) {
    return pair + " have the same centre: their pair was left out.";
  }
  return pair + " and " + std::to_string(s.coinciding_pairs - 1) +
         " more pairs of data have the same centres: those " +
         std::to_string(s.coinciding_pairs) + " pairs were left out.";
}

// ---------------------------------------------------------------------
// The nearest neighbours of each centre, from a k-d tree.

class KdTree {
 public:
  // Built on the data in their order, the points then laid out in the
  // tree's order, so that a search reads neighbouring memory.
  KdTree(const std::vector<double>& x, const std::vector<double>& y)
      : order_(x.size()), axis_(x.size(), 0) {
    for (std::size_t i = 0; i < order_.size(); ++i) {
      order_[i] = static_cast<std::int32_t>(i);
    }
    Build(x, y, 0, order_.size());
    x_.resize(x.size());
    y_.resize(y.size());
    for (std::size_t m = 0; m < order_.size(); ++m) {
      x_[m] = x[static_cast<std::size_t>(order_[m])];
      y_[m] = y[static_cast<std::size_t>(order_[m])];
    }
  }

  std::size_t Size() const { return order_.size(); }
  // The datum at place m of the tree's order.
  std::int32_t Datum(std::size_t m) const { return order_[m]; }

  // The k nearest data to the datum at place m (nearest first, equal
  // distances by number) among those whose centre differs from its own.
  void Nearest(std::size_t m, std::size_t k,
               std::vector<std::pair<double, std::int32_t>>& heap) const {
    heap.clear();
    if (k == 0) return;
    Search(0, order_.size(), x_[m], y_[m], k, heap);
    std::sort_heap(heap.begin(), heap.end());
  }

 private:
  static constexpr std::size_t kLeaf = 8;

  void Build(const std::vector<double>& x, const std::vector<double>& y,
             std::size_t lo, std::size_t hi) {
    if (hi - lo <= kLeaf) return;
    double x0 = kInfinity, x1 = -kInfinity, y0 = kInfinity, y1 = -kInfinity;
    for (std::size_t k = lo; k < hi; ++k) {
      const auto i = static_cast<std::size_t>(order_[k]);
      x0 = std::min(x0, x[i]);
      x1 = std::max(x1, x[i]);
      y0 = std::min(y0, y[i]);
      y1 = std::max(y1, y[i]);
    }
    const std::uint8_t axis = y1 - y0 > x1 - x0 ? 1 : 0;
    const std::vector<double>& c = axis == 0 ? x : y;
    const std::size_t mid = lo + (hi - lo) / 2;
    std::nth_element(order_.begin() + static_cast<std::ptrdiff_t>(lo),
                     order_.begin() + static_cast<std::ptrdiff_t>(mid),
                     order_.begin() + static_cast<std::ptrdiff_t>(hi),
                     [&c](std::int32_t p, std::int32_t q) {
                       const double a = c[static_cast<std::size_t>(p)];
                       const double b = c[static_cast<std::size_t>(q)];
                       return a < b || (a == b && p < q);
                     });
    axis_[mid] = axis;
    Build(x, y, lo, mid);
    Build(x, y, mid + 1, hi);
  }

  void Offer(std::size_t m, double px, double py, std::size_t k,
             std::vector<std::pair<double, std::int32_t>>& heap) const {
    const double dx = x_[m] - px;
    const double dy = y_[m] - py;
    if (dx == 0 && dy == 0) return;  // itself, or a coinciding centre
    const std::pair<double, std::int32_t> entry(dx * dx + dy * dy, order_[m]);
    if (heap.size() < k) {
      heap.push_back(entry);
      std::push_heap(heap.begin(), heap.end());
    } else if (entry < heap.front()) {
      std::pop_heap(heap.begin(), heap.end());
      heap.back() = entry;
      std::push_heap(heap.begin(), heap.end());
    }
  }

  void Search(std::size_t lo, std::size_t hi, double px, double py,
              std::size_t k,
              std::vector<std::pair<double, std::int32_t>>& heap) const {
    if (hi - lo <= kLeaf) {
      for (std::size_t m = lo; m < hi; ++m) Offer(m, px, py, k, heap);
      return;
    }
    const std::size_t mid = lo + (hi - lo) / 2;
    Offer(mid, px, py, k, heap);
    const double diff = axis_[mid] == 0 ? px - x_[mid] : py - y_[mid];
    const bool left_first = diff < 0;
    if (left_first) {
      Search(lo, mid, px, py, k, heap);
    } else {
      Search(mid + 1, hi, px, py, k, heap);
    }
    // The far side holds points at least |diff| away; equal distances are
    // visited for the ties of numbers.
    if (heap.size() < k || diff * diff <= heap.front().first) {
      if (left_first) {
        Search(mid + 1, hi, px, py, k, heap);
      } else {
        Search(lo, mid, px, py, k, heap);
      }
    }
  }

  std::vector<std::int32_t> order_;  // the data in the tree's order
  std::vector<std::uint8_t> axis_;   // the split's axis at each median
  std::vector<double> x_, y_;        // the centres in the tree's order
};

// The pairs of the plot: each unordered pair of data (first < second) once,
// with the vector from the first's centre to the second's, divided by the
// sum of their radii for the normalised methods.
struct PairList {
  std::vector<std::int32_t> first, second;
  std::vector<double> dx, dy;
  std::size_t Size() const { return first.size(); }
  void Add(std::int32_t i, std::int32_t j, double x, double y) {
    first.push_back(i);
    second.push_back(j);
    dx.push_back(x);
    dy.push_back(y);
  }
};

// The pairs of each centre with its k nearest neighbours.
PairList NeighbourPairs(const CentreData& data, int neighbours,
                        bool normalised) {
  const std::size_t n = data.Count();
  const std::size_t k = std::min(static_cast<std::size_t>(neighbours), n - 1);
  const KdTree tree(data.x, data.y);
  std::vector<std::int32_t> near(n * k, -1);
  ParallelFor(
      0, static_cast<std::int64_t>(n),
      [&](std::int64_t first, std::int64_t last) {
        std::vector<std::pair<double, std::int32_t>> heap;
        heap.reserve(k);
        // In the tree's order, so that successive searches read the same
        // parts of the tree.
        for (auto m = static_cast<std::size_t>(first);
             m < static_cast<std::size_t>(last); ++m) {
          tree.Nearest(m, k, heap);
          const auto i = static_cast<std::size_t>(tree.Datum(m));
          for (std::size_t j = 0; j < heap.size(); ++j) {
            near[i * k + j] = heap[j].second;
          }
        }
      },
      20000);
  PairList pairs;
  pairs.first.reserve(n * k);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t m = 0; m < k; ++m) {
      const std::int32_t j = near[i * k + m];
      if (j < 0) break;
      const auto uj = static_cast<std::size_t>(j);
      if (uj < i) {
        // Taken from j's list already when i is among j's neighbours.
        const auto* list = &near[uj * k];
        if (std::find(list, list + k, static_cast<std::int32_t>(i)) !=
            list + k) {
          continue;
        }
      }
      const std::size_t a = std::min(i, uj), b = std::max(i, uj);
      double x = data.x[b] - data.x[a];
      double y = data.y[b] - data.y[a];
      if (normalised) {
        const double sum = data.radius[a] + data.radius[b];
        x /= sum;
        y /= sum;
      }
      pairs.Add(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b), x,
                y);
    }
  }
  return pairs;
}

// The pairs of `all` that `keep` keeps, in their order.
template <class Keep>
PairList Subset(const PairList& all, const Keep& keep) {
  PairList s;
  for (std::size_t p = 0; p < all.Size(); ++p) {
    if (keep(p)) s.Add(all.first[p], all.second[p], all.dx[p], all.dy[p]);
  }
  return s;
}

// ---------------------------------------------------------------------
// The objective vacancy fit.

// The wedge of a point of the plot in the frame where a conic is a circle:
// the point is mapped by a multiple of the conic's symmetric square root,
// Q + sqrt(det Q) I, which undoes the strain without a rotation.
class WedgeFrame {
 public:
  WedgeFrame(const Conic& q, int wedges)
      : m11_(q.a + std::sqrt(static_cast<double>(q.Det()))),
        m12_(q.b),
        m22_(q.c + std::sqrt(static_cast<double>(q.Det()))),
        scale_(wedges / (2 * kPi)),
        wedges_(wedges) {}

  // The wedges of (x, y) and of its opposite.
  std::pair<int, int> Of(double x, double y) const {
    const double u = m11_ * x + m12_ * y;
    const double v = m12_ * x + m22_ * y;
    return {Index(std::atan2(v, u)), Index(std::atan2(-v, -u))};
  }

 private:
  int Index(double angle) const {
    // atan2 lies in [-pi, pi]: the sum is never negative.
    return std::min(static_cast<int>((angle + kPi) * scale_), wedges_ - 1);
  }
  double m11_, m12_, m22_, scale_;
  int wedges_;
};

// The innermost point of a wedge: the least q, equal ones by the point's
// number (2 p for pair p's vector, 2 p + 1 for its opposite); -1 for none.
struct Innermost {
  double q = kInfinity;
  std::int64_t point = -1;
};

inline void Offer(Innermost& m, double q, std::int64_t point) {
  if (q < m.q || (q == m.q && point < m.point)) {
    m.q = q;
    m.point = point;
  }
}

// Offers pair p's two points to the wedges of `frame`.
inline void OfferPair(const PairList& pairs, std::size_t p, const Conic& q,
                      const WedgeFrame& frame, Innermost* inner) {
  const double x = pairs.dx[p], y = pairs.dy[p];
  const double value = q.Of(x, y);
  const auto [w, opposite] = frame.Of(x, y);
  const auto point = static_cast<std::int64_t>(2 * p);
  Offer(inner[w], value, point);
  Offer(inner[opposite], value, point + 1);
}

struct Vacancy {
  bool ok = false;
  Conic conic;
  CentreEstimate estimate;
  int filled = 0;    // wedges that held a point in the last pass
  double error = 0;  // standard error of the relative radial residuals
};

// The vacancy fit: `scan(frame, pass, inner)` fills the innermost point of
// each wedge of the frame where `frame` is a circle (pass 0: the data's own
// frame, Conic{}); the ellipse is fitted to them and the wedges realigned to
// it until it settles.
template <class Scan>
Vacancy FitVacancy(const PairList& pairs, int wedges, const Scan& scan) {
  Vacancy v;
  std::vector<Innermost> inner(static_cast<std::size_t>(wedges));
  std::vector<std::int64_t> points, previous;
  Conic frame;
  CentreEstimate estimate;
  for (int pass = 0; pass < kMostPasses; ++pass) {
    std::fill(inner.begin(), inner.end(), Innermost{});
    scan(frame, pass, inner.data());
    points.clear();
    for (const Innermost& m : inner) {
      if (m.point >= 0) points.push_back(m.point);
    }
    if (pass > 0 && points == previous) break;  // the same fit again
    if (points.size() < static_cast<std::size_t>(kFewestWedges)) return v;
    ConicLeastSquares fit;
    for (const std::int64_t point : points) {
      const auto p = static_cast<std::size_t>(point / 2);
      const LD x = pairs.dx[p], y = pairs.dy[p];
      fit.Add(x * x, 2 * x * y, y * y, 1);
    }
    Conic next;
    CentreEstimate e;
    if (!fit.Solve(next) || !EllipseOf(next, e)) return v;
    const bool settled = pass > 0 && Settled(e, estimate);
    frame = next;
    estimate = e;
    previous.swap(points);
    if (settled) break;
  }
  v.ok = true;
  v.conic = frame;
  v.estimate = estimate;
  v.filled = static_cast<int>(previous.size());
  LD sum = 0;
  for (const std::int64_t point : previous) {
    const auto p = static_cast<std::size_t>(point / 2);
    const LD r = std::sqrt(static_cast<LD>(frame.Of(pairs.dx[p], pairs.dy[p])));
    sum += (r - 1) * (r - 1);
  }
  v.error = static_cast<double>(std::sqrt(
      sum / static_cast<LD>(std::max<std::size_t>(1, previous.size() - 3))));
  return v;
}

// The vacancy of every pair, the scans shared among the threads in blocks
// whose innermost points are merged.
Vacancy FitAllPairs(const PairList& pairs, int wedges) {
  const std::size_t size = pairs.Size();
  const std::size_t blocks = (size + kScanBlock - 1) / kScanBlock;
  const auto w = static_cast<std::size_t>(wedges);
  std::vector<Innermost> per_block(blocks * w);
  auto scan = [&](const Conic& frame, int, Innermost* inner) {
    std::fill(per_block.begin(), per_block.end(), Innermost{});
    const WedgeFrame wedge(frame, wedges);
    ParallelFor(
        0, static_cast<std::int64_t>(blocks),
        [&](std::int64_t b0, std::int64_t b1) {
          for (auto b = static_cast<std::size_t>(b0);
               b < static_cast<std::size_t>(b1); ++b) {
            Innermost* out = &per_block[b * w];
            const std::size_t end = std::min(size, (b + 1) * kScanBlock);
            for (std::size_t p = b * kScanBlock; p < end; ++p) {
              OfferPair(pairs, p, frame, wedge, out);
            }
          }
        },
        4);
    for (std::size_t b = 0; b < blocks; ++b) {
      for (std::size_t k = 0; k < w; ++k) {
        const Innermost& m = per_block[b * w + k];
        if (m.point >= 0) Offer(inner[k], m.q, m.point);
      }
    }
  };
  return FitVacancy(pairs, wedges, scan);
}

// The enhanced method's window, when the settings leave it to the data:
// the vacancy is fitted to the pairs within each of kWindowFactors times
// the semi-major axis of the vacancy of every pair, and the window whose
// fit has the least error (the standard error of the innermost points'
// relative radial residuals) is taken, the narrower of equal ones. A window
// that empties a wedge the full plot fills (one that cuts into the vacancy)
// is not considered. Windows that leave the vacancy's rim whole give the
// same fit, so the rule keeps the narrowest such window: the plot then
// shows the rim of nearest neighbours and drops the distant pairs that blur
// it, which is the enhancement's purpose.
double ChooseWindow(const PairList& all, const Vacancy& full, int wedges) {
  double best = 0, best_error = kInfinity;
  for (const double f : kWindowFactors) {
    const double window = f * full.estimate.semi_major;
    const double window2 = window * window;
    const PairList inside = Subset(all, [&](std::size_t p) {
      return all.dx[p] * all.dx[p] + all.dy[p] * all.dy[p] <= window2;
    });
    const Vacancy v = FitAllPairs(inside, wedges);
    if (!v.ok || v.filled < full.filled) continue;
    if (v.error < best_error) {
      best = window;
      best_error = v.error;
    }
  }
  return best > 0 ? best : kWindowFactors.back() * full.estimate.semi_major;
}

// The least ratio q(p) / q0(p) over all directions p: the smaller root of
// det(q - mu q0) = 0.
LD LeastRatio(const Conic& q, const Conic& q0) {
  const LD d0 = q0.Det(), d = q.Det();
  const LD t = static_cast<LD>(q.a) * q0.c + static_cast<LD>(q.c) * q0.a -
               2 * static_cast<LD>(q.b) * q0.b;
  const LD root = std::sqrt(std::max<LD>(0, t * t - 4 * d0 * d));
  return 2 * d / (t + root);
}

// The pairs a resample's fits scan first, found in the frame of a conic q0
// (the data's own frame for the first pass, the estimate's vacancy for the
// later ones): in each wedge of that frame, the kCandidatesPerWedge points
// of least q0 (those with q0 up to the wedge's threshold). A point that is
// no candidate has q0 above its wedge's threshold, so above the largest
// threshold T; in a frame q it has q > mu T, mu the least ratio q / q0 over
// all directions. The innermost candidate of a wedge below that bound (in
// q0's own frame, below the wedge's threshold) is the innermost point of
// all.
struct Candidates {
  Conic q0;
  double threshold = kInfinity;         // the largest of the wedges'
  std::vector<double> wedge_threshold;  // by wedge of q0's frame
  std::vector<std::int32_t> pairs;      // ascending
  bool all = true;                      // every pair is a candidate
};

Candidates CandidatesOf(const PairList& pairs, const Conic& q0, int wedges) {
  Candidates c;
  c.q0 = q0;
  const std::size_t size = pairs.Size();
  std::vector<std::uint16_t> wedge(2 * size);
  std::vector<double> q(size);
  const WedgeFrame frame(q0, wedges);
  ParallelFor(
      0, static_cast<std::int64_t>(size),
      [&](std::int64_t first, std::int64_t last) {
        for (auto p = static_cast<std::size_t>(first);
             p < static_cast<std::size_t>(last); ++p) {
          const auto [w, opposite] = frame.Of(pairs.dx[p], pairs.dy[p]);
          wedge[2 * p] = static_cast<std::uint16_t>(w);
          wedge[2 * p + 1] = static_cast<std::uint16_t>(opposite);
          q[p] = q0.Of(pairs.dx[p], pairs.dy[p]);
        }
      },
      100000);
  std::vector<std::vector<double>> by_wedge(static_cast<std::size_t>(wedges));
  for (std::size_t p = 0; p < 2 * size; ++p) {
    by_wedge[wedge[p]].push_back(q[p / 2]);
  }
  const auto k = static_cast<std::size_t>(scan_for_testing.load() == 2
                                              ? kFewCandidatesForTesting
                                              : kCandidatesPerWedge);
  c.wedge_threshold.assign(by_wedge.size(), kInfinity);
  double largest = 0;
  for (std::size_t w = 0; w < by_wedge.size(); ++w) {
    std::vector<double>& values = by_wedge[w];
    if (values.size() <= k) return c;  // every pair is a candidate
    std::nth_element(values.begin(),
                     values.begin() + static_cast<std::ptrdiff_t>(k - 1),
                     values.end());
    c.wedge_threshold[w] = values[k - 1];
    largest = std::max(largest, values[k - 1]);
  }
  c.threshold = largest;
  c.all = false;
  for (std::size_t p = 0; p < size; ++p) {
    if (q[p] <= c.wedge_threshold[wedge[2 * p]] ||
        q[p] <= c.wedge_threshold[wedge[2 * p + 1]]) {
      c.pairs.push_back(static_cast<std::int32_t>(p));
    }
  }
  if (c.pairs.size() == size) c.all = true;
  return c;
}

// Whether the innermost candidates are the innermost points of all, in the
// wedges of `frame`.
bool Proven(const Candidates& c, const Conic& frame, const Innermost* inner,
            int wedges) {
  if (frame.a == c.q0.a && frame.b == c.q0.b && frame.c == c.q0.c) {
    // The candidates' own frame: the same wedges and the same q.
    for (int w = 0; w < wedges; ++w) {
      if (inner[w].point < 0 ||
          !(inner[w].q <= c.wedge_threshold[static_cast<std::size_t>(w)])) {
        return false;
      }
    }
    return true;
  }
  // The margin covers the rounding of q, q0 and mu.
  const LD bound = LeastRatio(frame, c.q0) * c.threshold * (1 - 1e-9L);
  for (int w = 0; w < wedges; ++w) {
    if (inner[w].point < 0 || !(inner[w].q < bound)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------
// The Delaunay edges and their ellipse.

// Each edge's normalised vector (c_j - c_i) / (r_i + r_j), its length d and
// direction (cos, sin).
struct EdgeList {
  std::vector<std::int32_t> first, second;
  std::vector<double> vx, vy, d, cos, sin;
  std::size_t Size() const { return first.size(); }
};

// The edges of the Delaunay triangulation of the sites retrodeformed by
// `frame` (mapped by the area-keeping symmetric root of the conic, which
// makes its ellipse a circle), as pairs of data with their vectors in the
// data's frame.
EdgeList DelaunayEdgeList(const CentreData& data, const Sites& sites,
                          const Conic& frame, int& dimension) {
  centre_internal::SiteEdges t;
  if (frame.a == 1 && frame.b == 0 && frame.c == 1) {
    t = centre_internal::DelaunayEdges(sites.x, sites.y);
  } else {
    const double root = std::sqrt(static_cast<double>(frame.Det()));
    const double scale =
        1 / (std::sqrt(frame.a + frame.c + 2 * root) * std::sqrt(root));
    const double m11 = (frame.a + root) * scale, m12 = frame.b * scale,
                 m22 = (frame.c + root) * scale;
    std::vector<double> x(sites.x.size()), y(sites.y.size());
    for (std::size_t k = 0; k < x.size(); ++k) {
      x[k] = m11 * sites.x[k] + m12 * sites.y[k];
      y[k] = m12 * sites.x[k] + m22 * sites.y[k];
    }
    t = centre_internal::DelaunayEdges(x, y);
  }
  dimension = t.dimension;
  EdgeList e;
  for (const auto& [s, u] : t.edges) {
    const auto s0 = static_cast<std::size_t>(s),
               u0 = static_cast<std::size_t>(u);
    for (auto a = sites.start[s0]; a < sites.start[s0 + 1]; ++a) {
      for (auto b = sites.start[u0]; b < sites.start[u0 + 1]; ++b) {
        auto i = static_cast<std::size_t>(
            sites.members[static_cast<std::size_t>(a)]);
        auto j = static_cast<std::size_t>(
            sites.members[static_cast<std::size_t>(b)]);
        if (i > j) std::swap(i, j);
        const double sum = data.radius[i] + data.radius[j];
        const double x = (data.x[j] - data.x[i]) / sum;
        const double y = (data.y[j] - data.y[i]) / sum;
        const double d = std::hypot(x, y);
        e.first.push_back(static_cast<std::int32_t>(i));
        e.second.push_back(static_cast<std::int32_t>(j));
        e.vx.push_back(x);
        e.vy.push_back(y);
        e.d.push_back(d);
        e.cos.push_back(x / d);
        e.sin.push_back(y / d);
      }
    }
  }
  return e;
}

// Which edges a fit uses, and their weights (the products of the two
// markers' multiplicities in a resample; 1 for the data).
struct EdgeUse {
  std::vector<std::int32_t> edges;
  std::vector<double> weight;
  LD total = 0;
  void Clear() {
    edges.clear();
    weight.clear();
    total = 0;
  }
  void Add(std::size_t e, double w) {
    edges.push_back(static_cast<std::int32_t>(e));
    weight.push_back(w);
    total += w;
  }
};

struct EdgeFit {
  bool ok = false;
  Conic conic;
  double cost = 0;                            // sum of w (d - r)^2
  std::array<std::array<LD, 3>, 3> normal{};  // J' W J at the solution
};

// The sum of squares at q, and its Gauss-Newton normal equations. False
// where q is no ellipse along some edge. Double precision, always summed in
// the edges' order.
bool EdgeNormal(const EdgeList& e, const EdgeUse& use, const Conic& q,
                double& cost, std::array<std::array<LD, 3>, 3>& jtj,
                std::array<LD, 3>& jtf) {
  double sum = 0;
  double m00 = 0, m01 = 0, m02 = 0, m11 = 0, m12 = 0, m22 = 0;
  double f0 = 0, f1 = 0, f2 = 0;
  for (std::size_t k = 0; k < use.edges.size(); ++k) {
    const auto i = static_cast<std::size_t>(use.edges[k]);
    const double c = e.cos[i], s = e.sin[i], w = use.weight[k];
    const double value = q.Of(c, s);
    if (!(value > 0)) return false;
    const double r = 1 / std::sqrt(value);
    const double f = e.d[i] - r;
    // d f / d(A, B, C) = r^3 / 2 (c^2, 2 c s, s^2).
    const double g = r * r * r / 2;
    const double j0 = g * c * c, j1 = g * 2 * c * s, j2 = g * s * s;
    const double wj0 = w * j0, wj1 = w * j1, wj2 = w * j2;
    m00 += wj0 * j0;
    m01 += wj0 * j1;
    m02 += wj0 * j2;
    m11 += wj1 * j1;
    m12 += wj1 * j2;
    m22 += wj2 * j2;
    f0 += wj0 * f;
    f1 += wj1 * f;
    f2 += wj2 * f;
    sum += w * f * f;
  }
  cost = sum;
  jtj = {{{m00, m01, m02}, {m01, m11, m12}, {m02, m12, m22}}};
  jtf = {f0, f1, f2};
  return std::isfinite(sum);
}

// The least-squares fit of r(alpha) = 1 / sqrt(A cos^2 + 2 B cos sin +
// C sin^2), the polar equation of the centred ellipse, to the edges' (alpha,
// d), by Levenberg-Marquardt: from the linear fit of 1 / d^2 to the same
// form, or from `start` when given.
EdgeFit FitEdges(const EdgeList& e, const EdgeUse& use, const Conic* start) {
  EdgeFit fit;
  if (use.total <= 3) return fit;
  Conic q;
  if (start != nullptr) {
    q = *start;
  } else {
    ConicLeastSquares linear;
    for (std::size_t k = 0; k < use.edges.size(); ++k) {
      const auto i = static_cast<std::size_t>(use.edges[k]);
      const LD c = e.cos[i], s = e.sin[i], d = e.d[i];
      linear.Add(c * c, 2 * c * s, s * s, 1 / (d * d), use.weight[k]);
    }
    if (!linear.Solve(q)) {
      // No ellipse from the linear fit: the circle of the mean 1 / d^2.
      LD sum = 0;
      for (std::size_t k = 0; k < use.edges.size(); ++k) {
        const LD d = e.d[static_cast<std::size_t>(use.edges[k])];
        sum += use.weight[k] / (d * d);
      }
      const auto mean = static_cast<double>(sum / use.total);
      q = {mean, 0, mean};
    }
  }
  double cost = 0;
  std::array<std::array<LD, 3>, 3> jtj{};
  std::array<LD, 3> jtf{};
  if (!q.PositiveDefinite() || !EdgeNormal(e, use, q, cost, jtj, jtf)) {
    return fit;
  }
  LD lambda = 1e-3L;
  for (int iteration = 0; iteration < kMostFitIterations; ++iteration) {
    std::array<std::array<LD, 3>, 3> damped = jtj;
    for (int a = 0; a < 3; ++a) damped[a][a] *= 1 + lambda;
    std::array<LD, 3> step{};
    const std::array<LD, 3> rhs = {-jtf[0], -jtf[1], -jtf[2]};
    bool accepted = false;
    if (Solve3(damped, rhs, step)) {
      const Conic trial = {static_cast<double>(q.a + step[0]),
                           static_cast<double>(q.b + step[1]),
                           static_cast<double>(q.c + step[2])};
      double trial_cost = 0;
      std::array<std::array<LD, 3>, 3> trial_jtj{};
      std::array<LD, 3> trial_jtf{};
      if (trial.PositiveDefinite() &&
          EdgeNormal(e, use, trial, trial_cost, trial_jtj, trial_jtf) &&
          trial_cost <= cost) {
        const double gain = cost - trial_cost;
        const LD size =
            std::fabs(step[0]) + std::fabs(step[1]) + std::fabs(step[2]);
        const double scale = std::fabs(q.a) + std::fabs(q.c);
        q = trial;
        cost = trial_cost;
        jtj = trial_jtj;
        jtf = trial_jtf;
        lambda = std::max(lambda / 10, 1e-9L);
        accepted = true;
        // Settled far below what R and phi are reported to.
        if (gain <= 1e-12 * cost || size <= 1e-10L * scale) break;
      }
    }
    if (!accepted) {
      lambda *= 10;
      if (lambda > 1e9L) break;  // no step lowers the sum: a minimum
    }
  }
  fit.ok = true;
  fit.conic = q;
  fit.cost = cost;
  fit.normal = jtj;
  return fit;
}

// The standard error of the fitted strain: the covariance of (A, B, C),
// s^2 (J' W J)^-1 with s^2 the residuals' variance, carried to the strain's
// point (ln R cos 2 phi, ln R sin 2 phi); the root of the sum of the two
// variances, in units of ln R. Infinity where it cannot be found.
double StrainError(const EdgeFit& fit, LD total) {
  if (!(total > 3)) return kInfinity;
  const LD variance = fit.cost / (total - 3);
  std::array<std::array<LD, 3>, 3> inverse{};
  for (int k = 0; k < 3; ++k) {
    std::array<LD, 3> unit{};
    unit[k] = 1;
    std::array<LD, 3> column{};
    if (!Solve3(fit.normal, unit, column)) return kInfinity;
    for (int i = 0; i < 3; ++i) inverse[i][k] = column[i];
  }
  // The gradients by central differences.
  const Conic& q = fit.conic;
  const double h = 1e-6 * (std::fabs(q.a) + std::fabs(q.c));
  std::array<std::array<LD, 3>, 2> gradient{};
  for (int k = 0; k < 3; ++k) {
    Conic up = q, down = q;
    double* u = k == 0 ? &up.a : k == 1 ? &up.b : &up.c;
    double* d = k == 0 ? &down.a : k == 1 ? &down.b : &down.c;
    *u += h;
    *d -= h;
    if (!up.PositiveDefinite() || !down.PositiveDefinite()) return kInfinity;
    const LD width = static_cast<LD>(*u) - *d;
    const std::array<LD, 2> pu = StrainPoint(up), pd = StrainPoint(down);
    for (int c = 0; c < 2; ++c) gradient[c][k] = (pu[c] - pd[c]) / width;
  }
  LD sum = 0;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        sum += gradient[c][i] * inverse[i][j] * gradient[c][j];
      }
    }
  }
  const LD error = std::sqrt(std::max<LD>(0, variance * sum));
  return std::isfinite(error) ? static_cast<double>(error) : kInfinity;
}

// An edge's normalised length in the retrodeformed frame of q, the frame
// where q's ellipse is a circle of the same area: d sqrt(q(cos, sin)) /
// det(q)^(1/4).
inline double RetrodeformedLength(const EdgeList& e, std::size_t i,
                                  const Conic& q, double fourth_root_det) {
  return e.d[i] * std::sqrt(q.Of(e.cos[i], e.sin[i])) / fourth_root_det;
}

double FourthRootDet(const Conic& q) {
  return std::sqrt(std::sqrt(static_cast<double>(q.Det())));
}

// The fit of the edges among `all` (with their weights) whose retrodeformed
// length is at most `factor`: cut in the frame of `from`, fitted (from the
// frame's conic), cut again in the frame of that fit, and so on until the
// edges kept stay the same or the fit settles. An infinite factor keeps
// every edge.
EdgeFit FitWithCut(const EdgeList& e, const EdgeUse& all, const Conic& from,
                   double factor, EdgeUse& kept) {
  if (!std::isfinite(factor)) {
    kept = all;
    return FitEdges(e, all, &from);
  }
  EdgeFit fit;
  Conic frame = from;
  CentreEstimate last;
  std::vector<std::int32_t> previous;
  for (int pass = 0; pass < kMostCutPasses; ++pass) {
    // The retrodeformed length squared against the factor squared.
    const double limit = factor * FourthRootDet(frame);
    const double limit2 = limit * limit;
    kept.Clear();
    for (std::size_t k = 0; k < all.edges.size(); ++k) {
      const auto i = static_cast<std::size_t>(all.edges[k]);
      if (e.d[i] * e.d[i] * frame.Of(e.cos[i], e.sin[i]) <= limit2) {
        kept.Add(i, all.weight[k]);
      }
    }
    if (pass > 0 && kept.edges == previous) break;
    const EdgeFit next = FitEdges(e, kept, &frame);
    CentreEstimate estimate;
    if (!next.ok || !EllipseOf(next.conic, estimate)) return EdgeFit{};
    const bool settled = pass > 0 && Settled(estimate, last);
    fit = next;
    frame = next.conic;
    last = estimate;
    previous.assign(kept.edges.begin(), kept.edges.end());
    if (settled) break;
  }
  return fit;
}

// The selection factor of the Delaunay method (Mulchrone 2003): edges whose
// normalised length exceeds it are taken for no neighbours and dropped.
// The cut is made in the retrodeformed frame of the current fit, so that it
// truncates every direction alike, and repeated with each new fit. Each of
// kEdgeFactors times the median retrodeformed length of the edges in the
// frame of `from` is tried (a factor keeping fewer than kLeastEdgeShare of
// the edges, or kFewestEdges, is not); the factor whose fit gives the
// strain the least standard error (StrainError) is taken, the smaller of
// equal ones. On hard-core markers that is mostly the smallest factor
// tried: the edges between nearly touching markers give the tightest fit,
// and their Delaunay edges do not depend on the frame. The factor is in
// normalised units (infinity: no cut).
struct FactorChoice {
  double factor = kInfinity;
  EdgeFit fit;
  EdgeUse kept;
};

FactorChoice ChooseSelectionFactor(const EdgeList& e, const EdgeUse& all,
                                   const Conic& from) {
  const double root = FourthRootDet(from);
  std::vector<double> lengths(all.edges.size());
  for (std::size_t k = 0; k < all.edges.size(); ++k) {
    lengths[k] = RetrodeformedLength(e, static_cast<std::size_t>(all.edges[k]),
                                     from, root);
  }
  const std::size_t middle = lengths.size() / 2;
  std::nth_element(lengths.begin(),
                   lengths.begin() + static_cast<std::ptrdiff_t>(middle),
                   lengths.end());
  const double median = lengths[middle];
  const auto fewest = std::max<std::int64_t>(
      kFewestEdges, static_cast<std::int64_t>(std::ceil(
                        kLeastEdgeShare * static_cast<double>(e.Size()))));
  // The factors are tried side by side where the edges are many.
  std::array<FactorChoice, kEdgeFactors.size()> tried;
  std::array<double, kEdgeFactors.size()> error{};
  ParallelFor(
      0, static_cast<std::int64_t>(tried.size()),
      [&](std::int64_t first, std::int64_t last) {
        for (auto k = static_cast<std::size_t>(first);
             k < static_cast<std::size_t>(last); ++k) {
          FactorChoice& t = tried[k];
          t.factor = kEdgeFactors[k] * median;
          t.fit = FitWithCut(e, all, from, t.factor, t.kept);
          error[k] = t.fit.ok && static_cast<std::int64_t>(
                                     t.kept.edges.size()) >= fewest
                         ? StrainError(t.fit, t.kept.total)
                         : kInfinity;
        }
      },
      all.edges.size() >= 20000 ? 1 : static_cast<std::int64_t>(tried.size()));
  std::size_t best = tried.size() - 1;  // no cut
  for (std::size_t k = 0; k < tried.size(); ++k) {
    if (error[k] < error[best] || (error[k] == error[best] && k < best)) {
      best = k;
    }
  }
  return std::move(tried[best]);
}

// ---------------------------------------------------------------------
// The methods, each able to estimate from the data and from a resample.

// The draws of resample k (from 1): the stream seeded with the seed, draws
// (k - 1) n + 1 .. k n, a draw of index 0 (the generator's state 0) taking
// datum n. `count` gets how often each datum (from 0) was drawn.
void DrawResample(std::uint32_t n, std::uint32_t seed, int k,
                  std::vector<std::int32_t>& count) {
  std::fill(count.begin(), count.end(), 0);
  RandomGenerator generator;
  generator.Seed(seed);
  generator.Skip(static_cast<std::uint64_t>(k - 1) * n);
  for (std::uint32_t j = 0; j < n; ++j) {
    std::uint32_t index = generator.NextIndex(n);
    if (index == 0) index = n;
    ++count[index - 1];
  }
}

class Method {
 public:
  virtual ~Method() = default;
  // The estimate of the resample whose multiplicities are `count`; false
  // when the resample gives none.
  virtual bool Resample(const std::vector<std::int32_t>& count,
                        CentreEstimate& estimate) const = 0;
  // The work of one resample, in pairs or edges, to share the resamples.
  virtual std::int64_t Work() const = 0;
};

class FryMethod : public Method {
 public:
  // The candidates of the first pass (the data's frame) and of the later
  // ones (the frame of the data's vacancy, q0), found once.
  FryMethod(PairList pairs, const Conic& q0, int wedges)
      : pairs_(std::move(pairs)),
        first_(CandidatesOf(pairs_, Conic{}, wedges)),
        later_(CandidatesOf(pairs_, q0, wedges)),
        wedges_(wedges) {}

  // The resample's pairs are those of the data whose both markers were
  // drawn: the neighbours are searched once, on every marker. The innermost
  // point of each wedge is searched among the candidates first, and among
  // all the drawn pairs only where the candidates' cannot be proven the
  // innermost of all: the fit is the same either way.
  bool Resample(const std::vector<std::int32_t>& count,
                CentreEstimate& estimate) const override {
    auto drawn = [&](std::size_t p) {
      return count[static_cast<std::size_t>(pairs_.first[p])] > 0 &&
             count[static_cast<std::size_t>(pairs_.second[p])] > 0;
    };
    const std::size_t size = pairs_.Size();
    const bool full = scan_for_testing.load(std::memory_order_relaxed) == 1;
    auto scan = [&](const Conic& frame, int pass, Innermost* inner) {
      const WedgeFrame wedge(frame, wedges_);
      const Candidates& c = pass == 0 ? first_ : later_;
      if (!full && !c.all) {
        for (const std::int32_t k : c.pairs) {
          const auto p = static_cast<std::size_t>(k);
          if (drawn(p)) OfferPair(pairs_, p, frame, wedge, inner);
        }
        if (Proven(c, frame, inner, wedges_)) return;
        std::fill(inner, inner + wedges_, Innermost{});
      }
      for (std::size_t p = 0; p < size; ++p) {
        if (drawn(p)) OfferPair(pairs_, p, frame, wedge, inner);
      }
    };
    const Vacancy v = FitVacancy(pairs_, wedges_, scan);
    if (!v.ok) return false;
    estimate = v.estimate;
    return true;
  }

  std::int64_t Work() const override {
    return static_cast<std::int64_t>(first_.pairs.size() + later_.pairs.size());
  }

 private:
  PairList pairs_;
  Candidates first_, later_;
  int wedges_;
};

class DelaunayMethod : public Method {
 public:
  DelaunayMethod(const EdgeList& edges, const Conic& estimate, double factor)
      : edges_(edges), estimate_(estimate), factor_(factor) {}

  // The resample's edges are those of the data's last triangulation whose
  // both markers were drawn, weighted by the product of their draws: a
  // triangulation of the drawn markers alone would join markers that are
  // no neighbours across the gaps of those not drawn, and lengthen every
  // edge. Its fit is made as the data's, the first cut in the frame of the
  // data's estimate (where the resample's lies near), at the data's
  // selection factor.
  bool Resample(const std::vector<std::int32_t>& count,
                CentreEstimate& estimate) const override {
    EdgeUse all;
    for (std::size_t i = 0; i < edges_.Size(); ++i) {
      const std::int32_t a = count[static_cast<std::size_t>(edges_.first[i])];
      const std::int32_t b = count[static_cast<std::size_t>(edges_.second[i])];
      if (a > 0 && b > 0) all.Add(i, static_cast<double>(a) * b);
    }
    EdgeUse kept;
    const EdgeFit fit = FitWithCut(edges_, all, estimate_, factor_, kept);
    return fit.ok && EllipseOf(fit.conic, estimate);
  }

  std::int64_t Work() const override {
    return 20 * static_cast<std::int64_t>(edges_.Size());
  }

 private:
  const EdgeList& edges_;
  Conic estimate_;
  double factor_;
};

// ---------------------------------------------------------------------
// The bootstrap.

struct Solution {
  CentreEstimate estimate;
  double distance = kInfinity;  // infinity: the resample gave no strain
  int resample = 0;
};

// Whether the points (ln R cos 2 phi, ln R sin 2 phi) of the kept solutions
// surround the origin (R = 1): one of them lies on it, or no half-plane
// through it holds them all (no gap between their directions of half a
// turn or more).
bool SurroundOrigin(const std::vector<CentreEstimate>& kept) {
  std::vector<double> angles;
  angles.reserve(kept.size());
  for (const CentreEstimate& k : kept) {
    if (k.ratio == 1) return true;
    angles.push_back(2 * k.phi);
  }
  std::sort(angles.begin(), angles.end());
  double gap = angles.front() + 360 - angles.back();
  for (std::size_t i = 1; i < angles.size(); ++i) {
    gap = std::max(gap, angles[i] - angles[i - 1]);
  }
  return gap <= 180;
}

void RunCentreBootstrap(const Method& method, std::size_t n,
                        const CentreSettings& settings,
                        const std::atomic<bool>* cancel,
                        CentreStrainResult& result) {
  const int resamples = settings.bootstrap.resamples;
  std::vector<Solution> solutions(static_cast<std::size_t>(resamples));
  const auto count = static_cast<std::uint32_t>(n);
  const std::uint32_t seed = settings.bootstrap.seed;
  const CentreEstimate& e = result.estimate;
  // The resamples are shared among threads once a thread's share comes to
  // some 400 000 pairs (or edges, or draws).
  const std::int64_t per_resample =
      method.Work() + static_cast<std::int64_t>(n);
  const std::int64_t per_thread = std::max<std::int64_t>(
      1, 400'000 / std::max<std::int64_t>(1, per_resample));
  std::atomic<bool> stopped{false};
  ParallelFor(
      0, resamples,
      [&](std::int64_t first, std::int64_t last) {
        std::vector<std::int32_t> drawn(n);
        for (std::int64_t k = first; k < last; ++k) {
          if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            stopped.store(true);
            return;
          }
          Solution& s = solutions[static_cast<std::size_t>(k)];
          s.resample = static_cast<int>(k + 1);
          DrawResample(count, seed, s.resample, drawn);
          if (method.Resample(drawn, s.estimate)) {
            s.distance = StrainDistance(s.estimate.ratio, s.estimate.phi,
                                        e.ratio, e.phi);
          }
        }
      },
      per_thread);
  if (stopped.load() || (cancel != nullptr && cancel->load())) return;

  std::sort(solutions.begin(), solutions.end(),
            [](const Solution& a, const Solution& b) {
              if (a.distance != b.distance) return a.distance < b.distance;
              return a.resample < b.resample;
            });
  const int kept = KeptResamples(resamples);
  int failed = 0;
  for (const Solution& s : solutions) {
    if (!std::isfinite(s.distance)) ++failed;
  }
  if (failed > 0) {
    result.warnings.push_back(
        std::to_string(failed) + " of the " + std::to_string(resamples) +
        " resamples gave no strain" +
        (failed > resamples - kept
             ? ": too few of the rest for the confidence limits."
             : " and were counted the farthest from the estimate."));
    if (failed > resamples - kept) return;
  }
  result.kept.clear();
  double ratio_min = kInfinity, ratio_max = 0;
  double deviation_min = kInfinity, deviation_max = -kInfinity;
  for (int k = 0; k < kept; ++k) {
    const CentreEstimate& s = solutions[static_cast<std::size_t>(k)].estimate;
    result.kept.push_back(s);
    ratio_min = std::min(ratio_min, s.ratio);
    ratio_max = std::max(ratio_max, s.ratio);
    const double deviation = AxialAngle(s.phi - e.phi);
    deviation_min = std::min(deviation_min, deviation);
    deviation_max = std::max(deviation_max, deviation);
  }
  result.ratio_min = ratio_min;
  result.ratio_max = ratio_max;
  if (SurroundOrigin(result.kept)) {
    result.outcome = CentreLimitsOutcome::kSurroundsOrigin;
    result.phi_min = e.phi - 90;
    result.phi_max = e.phi + 90;
  } else {
    result.outcome = CentreLimitsOutcome::kLimits;
    result.phi_min = e.phi + deviation_min;
    result.phi_max = e.phi + deviation_max;
  }
}

void AppendPoint(std::vector<float>& points, double x, double y) {
  points.push_back(static_cast<float>(x));
  points.push_back(static_cast<float>(y));
  points.push_back(static_cast<float>(-x));
  points.push_back(static_cast<float>(-y));
}

// The plot's points of `count` pairs, `vector(p)` giving pair p's: every
// pair up to kMostPlotPairs, else an even sample of that many.
template <typename Vector>
std::vector<float> PlotPoints(std::size_t count, const Vector& vector) {
  const std::size_t step = (count + kMostPlotPairs - 1) / kMostPlotPairs;
  std::vector<float> points;
  points.reserve(4 * ((count + step - 1) / std::max<std::size_t>(step, 1)));
  for (std::size_t p = 0; p < count; p += std::max<std::size_t>(step, 1)) {
    const auto [x, y] = vector(p);
    AppendPoint(points, x, y);
  }
  return points;
}

Status NoVacancy(std::int64_t pairs, std::string within = "") {
  return MethodFault("The vacancy of the Fry plot could not be fitted" +
                     within + ": the innermost points of its " +
                     std::to_string(pairs) +
                     " pairs outline no ellipse about the origin.");
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

// The Fry methods: the estimate, the plot, and the method for resamples.
std::unique_ptr<Method> AnalyseFry(const CentreData& data,
                                   const CentreSettings& settings,
                                   CentreStrainResult& result) {
  const bool normalised = settings.method != CentreMethod::kFry;
  PairList pairs = NeighbourPairs(data, settings.neighbours, normalised);
  const bool enhanced = settings.method == CentreMethod::kEnhanced;
  const bool given = enhanced && settings.selection_factor > 0;
  Vacancy v;
  if (!given) {
    v = FitAllPairs(pairs, settings.wedges);
    if (!v.ok) {
      result.status = NoVacancy(static_cast<std::int64_t>(pairs.Size()));
      return nullptr;
    }
  }
  if (enhanced) {
    const double window = given ? settings.selection_factor
                                : ChooseWindow(pairs, v, settings.wedges);
    const double window2 = window * window;
    pairs = Subset(pairs, [&](std::size_t p) {
      return pairs.dx[p] * pairs.dx[p] + pairs.dy[p] * pairs.dy[p] <= window2;
    });
    v = FitAllPairs(pairs, settings.wedges);
    if (!v.ok) {
      result.status =
          NoVacancy(static_cast<std::int64_t>(pairs.Size()),
                    " within the selection factor " + Number(window));
      return nullptr;
    }
    result.selection_factor = window;
  }
  result.estimate = v.estimate;
  result.pairs = static_cast<std::int64_t>(pairs.Size());
  result.points = PlotPoints(pairs.Size(), [&pairs](std::size_t p) {
    return std::pair(pairs.dx[p], pairs.dy[p]);
  });
  return std::make_unique<FryMethod>(std::move(pairs), v.conic,
                                     settings.wedges);
}

// The Delaunay method: its estimate and plot; its edges for the resamples
// into `edges`.
std::unique_ptr<Method> AnalyseDelaunay(const CentreData& data,
                                        const Sites& sites, double given_factor,
                                        EdgeList& edges,
                                        CentreStrainResult& result) {
  // The Delaunay triangulation keeps its edges under a similarity, not
  // under a strain: the triangulation of the strained centres joins fewer
  // of the neighbours along the stretch, which shortens the fitted ellipse
  // there. Each round therefore triangulates the centres retrodeformed by
  // the fit of the round before (the first, the centres as they are), until
  // the edges or the fit settle; the fit itself is made in the data's frame.
  Conic frame;
  EdgeFit fit;
  EdgeUse kept;
  double factor = kInfinity;
  const Status no_fit = MethodFault(
      "The lengths of the Delaunay edges could not be fitted by an ellipse "
      "about the origin.");
  for (int round = 0; round < kMostTriangulations; ++round) {
    int dimension = 0;
    EdgeList next = DelaunayEdgeList(data, sites, frame, dimension);
    if (dimension < 2) {
      result.status = MethodFault(
          "The centres lie on one line: their triangulation has no "
          "triangle.");
      return nullptr;
    }
    if (round > 0 && next.first == edges.first && next.second == edges.second) {
      break;  // the same edges give the same fit
    }
    edges = std::move(next);
    EdgeUse all;
    for (std::size_t i = 0; i < edges.Size(); ++i) all.Add(i, 1);
    Conic from = frame;
    if (round == 0) {
      const EdgeFit uncut = FitEdges(edges, all, nullptr);
      if (!uncut.ok) {
        result.status = no_fit;
        return nullptr;
      }
      from = uncut.conic;
    }
    if (given_factor > 0) {
      factor = given_factor;
      fit = FitWithCut(edges, all, from, factor, kept);
    } else {
      FactorChoice choice = ChooseSelectionFactor(edges, all, from);
      factor = choice.factor;
      fit = choice.fit;
      kept = std::move(choice.kept);
    }
    CentreEstimate e;
    if (!fit.ok || !EllipseOf(fit.conic, e)) {
      result.status = no_fit;
      return nullptr;
    }
    const bool settled = round > 0 && Settled(e, result.estimate);
    result.estimate = e;
    frame = fit.conic;
    if (settled) break;
  }
  result.selection_factor = factor;
  if (!std::isfinite(factor)) {
    // No cut: recorded as the longest retrodeformed edge, which it keeps.
    const double root = FourthRootDet(fit.conic);
    result.selection_factor = 0;
    for (std::size_t i = 0; i < edges.Size(); ++i) {
      result.selection_factor =
          std::max(result.selection_factor,
                   RetrodeformedLength(edges, i, fit.conic, root));
    }
  }
  result.pairs = static_cast<std::int64_t>(kept.edges.size());
  result.points = PlotPoints(kept.edges.size(), [&edges, &kept](std::size_t p) {
    const auto k = static_cast<std::size_t>(kept.edges[p]);
    return std::pair(edges.vx[k], edges.vy[k]);
  });
  return std::make_unique<DelaunayMethod>(edges, fit.conic, factor);
}

}  // namespace

const char* CentreMethodName(CentreMethod method) {
  switch (method) {
    case CentreMethod::kFry:
      return "fry";
    case CentreMethod::kNormalised:
      return "normalised";
    case CentreMethod::kEnhanced:
      return "enhanced";
    case CentreMethod::kDelaunay:
      return "delaunay";
  }
  return "normalised";
}

bool ParseCentreMethod(std::string_view name, CentreMethod& method) {
  for (const CentreMethod m :
       {CentreMethod::kFry, CentreMethod::kNormalised, CentreMethod::kEnhanced,
        CentreMethod::kDelaunay}) {
    if (name == CentreMethodName(m)) {
      method = m;
      return true;
    }
  }
  return false;
}

const char* CentreMethodTitle(CentreMethod method) {
  switch (method) {
    case CentreMethod::kFry:
      return "Fry (Fry 1979)";
    case CentreMethod::kNormalised:
      return "Normalised Fry (Erslev 1988)";
    case CentreMethod::kEnhanced:
      return "Enhanced normalised Fry (Erslev & Ge 1990)";
    case CentreMethod::kDelaunay:
      return "Delaunay nearest neighbours (Mulchrone 2003)";
  }
  return "Normalised Fry (Erslev 1988)";
}

CentreData CentreDataOf(const AnalysisState& state) {
  CentreData data;
  const MarkerPlaces& places = state.places;
  if (!places.HasCentroids() || state.count <= 0 || places.y.empty()) {
    return data;
  }
  const std::size_t n = std::min({static_cast<std::size_t>(state.count),
                                  places.x.size() - 1, places.y.size() - 1});
  data.x.assign(places.x.begin() + 1,
                places.x.begin() + static_cast<std::ptrdiff_t>(n + 1));
  data.y.assign(places.y.begin() + 1,
                places.y.begin() + static_cast<std::ptrdiff_t>(n + 1));
  if (places.area.size() > n) {
    data.radius.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      // A negative area keeps its sign, so that the check names its datum.
      const double a = places.area[i + 1];
      data.radius[i] = std::copysign(std::sqrt(std::fabs(a) / kPi), a);
    }
  } else if (state.measured.size() > n) {
    bool all = true;
    for (std::size_t i = 1; i <= n && all; ++i) {
      const MarkerRecord& m = state.measured[i];
      all = m.major > 0 && m.minor > 0 && std::isfinite(m.major) &&
            std::isfinite(m.minor);
    }
    if (all) {
      data.radius.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        const MarkerRecord& m = state.measured[i + 1];
        data.radius[i] = std::sqrt(static_cast<double>(m.major) *
                                   static_cast<double>(m.minor)) /
                         2;
      }
    }
  }
  return data;
}

double StrainDistance(double ratio1, double phi1, double ratio2, double phi2) {
  if (!(ratio1 > 0) || !(ratio2 > 0) || !std::isfinite(ratio1) ||
      !std::isfinite(ratio2) || !std::isfinite(phi1) || !std::isfinite(phi2)) {
    return kInfinity;
  }
  // cosh d = cosh r1 cosh r2 - sinh r1 sinh r2 cos(2 phi1 - 2 phi2), written
  // as sinh^2(d / 2) = sinh^2((r1 - r2) / 2) + sinh r1 sinh r2 sin^2(phi1 -
  // phi2), which keeps small distances exact.
  const LD r1 = std::log(static_cast<LD>(ratio1));
  const LD r2 = std::log(static_cast<LD>(ratio2));
  const LD half = std::sinh((r1 - r2) / 2);
  const LD turn = std::sin((static_cast<LD>(phi1) - phi2) * kRadPerDeg);
  const LD s = half * half + std::sinh(r1) * std::sinh(r2) * turn * turn;
  return static_cast<double>(2 * std::asinh(std::sqrt(std::max<LD>(0, s))));
}

Status CheckCentreSettings(const CentreSettings& settings) {
  if (settings.neighbours < kMinNeighbours ||
      settings.neighbours > kMaxNeighbours) {
    return MethodFault(
        "The Fry plot needs from " + std::to_string(kMinNeighbours) + " to " +
        std::to_string(kMaxNeighbours) + " neighbours of each centre; " +
        std::to_string(settings.neighbours) + " was asked for.");
  }
  if (settings.wedges < kMinWedges || settings.wedges > kMaxWedges) {
    return MethodFault("The vacancy fit needs from " +
                       std::to_string(kMinWedges) + " to " +
                       std::to_string(kMaxWedges) + " wedges; " +
                       std::to_string(settings.wedges) + " was asked for.");
  }
  if (!(settings.selection_factor >= 0) ||
      !std::isfinite(settings.selection_factor)) {
    return MethodFault(
        "The selection factor must be a positive number, or 0 to choose it "
        "from the data.");
  }
  return CheckBootstrapSettings(settings.bootstrap);
}

CentreStrainResult AnalyseCentres(const CentreData& data,
                                  const CentreSettings& settings,
                                  const std::atomic<bool>* cancel) {
  CentreStrainResult result;
  result.method = settings.method;
  result.bootstrap = settings.bootstrap;
  result.status = CheckCentreSettings(settings);
  if (!result.status.ok()) return result;
  Sites sites;
  result.status = CheckData(data, settings.method, sites);
  if (!result.status.ok()) return result;
  if (sites.coinciding_pairs > 0) {
    result.warnings.push_back(CoincidingWarning(sites));
  }
  EdgeList edges;
  const std::unique_ptr<Method> method =
      settings.method == CentreMethod::kDelaunay
          ? AnalyseDelaunay(data, sites, settings.selection_factor, edges,
                            result)
          : AnalyseFry(data, settings, result);
  if (!result.status.ok()) {
    CentreStrainResult refused;
    refused.status = result.status;
    refused.method = result.method;
    refused.bootstrap = result.bootstrap;
    refused.warnings = std::move(result.warnings);
    return refused;
  }
  RunCentreBootstrap(*method, data.Count(), settings, cancel, result);
  return result;
}

CentreScanForTesting::CentreScanForTesting(Mode mode) {
  scan_for_testing.store(mode == kEveryPair ? 1 : 2);
}

CentreScanForTesting::~CentreScanForTesting() {
  scan_for_testing.store(0);
}

}  // namespace orvane

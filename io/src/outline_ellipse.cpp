// SPDX-License-Identifier: MIT
#include "io/outline_ellipse.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace orvane {
namespace {

using Real = long double;

// The sums of a ring's terms about the origin (ox, oy), as the vertices
// give them (a clockwise ring gives them negated).
struct RingSums {
  Real twice_area = 0;
  Real x = 0, y = 0;
  Real xx = 0, yy = 0, xy = 0;

  void Add(const RingSums& o, Real sign) {
    twice_area += sign * o.twice_area;
    x += sign * o.x;
    y += sign * o.y;
    xx += sign * o.xx;
    yy += sign * o.yy;
    xy += sign * o.xy;
  }
};

RingSums SumsOf(const OutlineRing& ring, Real ox, Real oy) {
  RingSums s;
  const std::size_t n = ring.size();
  for (std::size_t k = 0; k < n; ++k) {
    const OutlinePoint& p = ring[k];
    const OutlinePoint& q = ring[(k + 1) % n];
    const Real x0 = p.x - ox, y0 = p.y - oy;
    const Real x1 = q.x - ox, y1 = q.y - oy;
    const Real c = x0 * y1 - x1 * y0;
    s.twice_area += c;
    s.x += (x0 + x1) * c;
    s.y += (y0 + y1) * c;
    s.xx += (x0 * x0 + x0 * x1 + x1 * x1) * c;
    s.yy += (y0 * y0 + y0 * y1 + y1 * y1) * c;
    s.xy += (x0 * y1 + 2 * x0 * y0 + 2 * x1 * y1 + x1 * y0) * c;
  }
  return s;
}

// The ring without repeated neighbours (nor a last vertex repeating the
// first).
OutlineRing WithoutRepeats(const OutlineRing& ring) {
  OutlineRing out;
  out.reserve(ring.size());
  for (const OutlinePoint& p : ring) {
    if (out.empty() || !(out.back() == p)) out.push_back(p);
  }
  while (out.size() > 1 && out.back() == out.front()) out.pop_back();
  return out;
}

std::size_t DistinctVertices(OutlineRing ring) {
  std::sort(ring.begin(), ring.end(), [](OutlinePoint a, OutlinePoint b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });
  return static_cast<std::size_t>(std::unique(ring.begin(), ring.end()) -
                                  ring.begin());
}

// The sign of the turn o -> a -> b: > 0 counter-clockwise, 0 on a line.
int Turn(OutlinePoint o, OutlinePoint a, OutlinePoint b) {
  const Real v = static_cast<Real>(a.x - o.x) * (b.y - o.y) -
                 static_cast<Real>(a.y - o.y) * (b.x - o.x);
  return (v > 0) - (v < 0);
}

// Whether p, known to lie on the line through a and b, lies on the segment.
bool Within(OutlinePoint a, OutlinePoint b, OutlinePoint p) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
         std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
}

bool SegmentsMeet(OutlinePoint a, OutlinePoint b, OutlinePoint c,
                  OutlinePoint d) {
  const int d1 = Turn(c, d, a), d2 = Turn(c, d, b);
  const int d3 = Turn(a, b, c), d4 = Turn(a, b, d);
  if (d1 * d2 < 0 && d3 * d4 < 0) return true;
  return (d1 == 0 && Within(c, d, a)) || (d2 == 0 && Within(c, d, b)) ||
         (d3 == 0 && Within(a, b, c)) || (d4 == 0 && Within(a, b, d));
}

struct Segment {
  OutlinePoint a, b;
  std::size_t ring = 0;
  std::size_t index = 0;  // in its ring
  std::size_t ring_size = 0;
  double left() const { return std::min(a.x, b.x); }
  double right() const { return std::max(a.x, b.x); }
};

bool Neighbours(const Segment& s, const Segment& t) {
  if (s.ring != t.ring) return false;
  const std::size_t n = s.ring_size;
  return (s.index + 1) % n == t.index || (t.index + 1) % n == s.index;
}

// Whether any two edges of the rings meet other than where neighbours
// share their vertex, or a ring turns straight back on itself. The edges
// are taken in order of their left ends, and each is tried only against
// those that start before it ends.
bool SelfIntersecting(const std::vector<OutlineRing>& rings) {
  std::vector<Segment> segments;
  for (std::size_t r = 0; r < rings.size(); ++r) {
    const OutlineRing& ring = rings[r];
    const std::size_t n = ring.size();
    for (std::size_t k = 0; k < n; ++k) {
      const OutlinePoint& prev = ring[(k + n - 1) % n];
      const OutlinePoint& p = ring[k];
      const OutlinePoint& next = ring[(k + 1) % n];
      // A spike: the ring goes out and comes straight back.
      if (n > 2 && Turn(prev, p, next) == 0 &&
          static_cast<Real>(p.x - prev.x) * (next.x - p.x) +
                  static_cast<Real>(p.y - prev.y) * (next.y - p.y) <
              0) {
        return true;
      }
      segments.push_back({p, next, r, k, n});
    }
  }
  std::sort(
      segments.begin(), segments.end(),
      [](const Segment& s, const Segment& t) { return s.left() < t.left(); });
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const double top = std::max(s.a.y, s.b.y), bottom = std::min(s.a.y, s.b.y);
    for (std::size_t j = i + 1;
         j < segments.size() && segments[j].left() <= s.right(); ++j) {
      const Segment& t = segments[j];
      if (std::min(t.a.y, t.b.y) > top || std::max(t.a.y, t.b.y) < bottom) {
        continue;
      }
      if (Neighbours(s, t)) continue;
      if (SegmentsMeet(s.a, s.b, t.a, t.b)) return true;
    }
  }
  return false;
}

bool Finite(const OutlineRing& ring) {
  return std::all_of(ring.begin(), ring.end(), [](const OutlinePoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
  });
}

}  // namespace

std::string OutlineFaultText(OutlineFault fault) {
  switch (fault) {
    case OutlineFault::kNone:
      return {};
    case OutlineFault::kTooFewVertices:
      return "fewer than 3 distinct vertices";
    case OutlineFault::kZeroArea:
      return "no area";
    case OutlineFault::kSelfIntersecting:
      return "self-intersecting";
    case OutlineFault::kNotFinite:
      return "a coordinate is not a number";
  }
  return {};
}

OutlineFault CheckOutline(const GrainOutline& outline, RegionMoments* moments) {
  if (!Finite(outline.outer) ||
      !std::all_of(outline.holes.begin(), outline.holes.end(), Finite)) {
    return OutlineFault::kNotFinite;
  }
  std::vector<OutlineRing> rings = {WithoutRepeats(outline.outer)};
  if (DistinctVertices(rings[0]) < 3) return OutlineFault::kTooFewVertices;
  for (const OutlineRing& hole : outline.holes) {
    OutlineRing h = WithoutRepeats(hole);
    // A hole of no area takes nothing away.
    if (DistinctVertices(h) >= 3) rings.push_back(std::move(h));
  }
  // No area: none against the extent of the outline, to the precision of
  // the coordinates.
  const RegionMoments m = MomentsOf(outline);
  double left = rings[0][0].x, right = left;
  double low = rings[0][0].y, high = low;
  for (const OutlinePoint& p : rings[0]) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    low = std::min(low, p.y);
    high = std::max(high, p.y);
  }
  const double extent = std::max(right - left, high - low);
  if (!(m.area > 1e-12 * extent * extent)) return OutlineFault::kZeroArea;
  if (SelfIntersecting(rings)) return OutlineFault::kSelfIntersecting;
  if (moments != nullptr) *moments = m;
  return OutlineFault::kNone;
}

RegionMoments MomentsOf(const GrainOutline& outline) {
  const OutlineRing& outer = outline.outer;
  Real ox = 0, oy = 0;
  for (const OutlinePoint& p : outer) {
    ox += p.x;
    oy += p.y;
  }
  if (!outer.empty()) {
    ox /= static_cast<Real>(outer.size());
    oy /= static_cast<Real>(outer.size());
  }
  // The outer ring counter-clockwise, each hole clockwise, whatever order
  // their vertices come in.
  RingSums total;
  const RingSums o = SumsOf(outer, ox, oy);
  total.Add(o, o.twice_area < 0 ? -1 : 1);
  for (const OutlineRing& hole : outline.holes) {
    const RingSums h = SumsOf(hole, ox, oy);
    total.Add(h, h.twice_area < 0 ? 1 : -1);
  }
  RegionMoments m;
  const Real area = total.twice_area / 2;
  if (area == 0) return m;
  const Real x0 = total.x / (6 * area), y0 = total.y / (6 * area);
  m.area = static_cast<double>(area);
  m.cx = static_cast<double>(ox + x0);
  m.cy = static_cast<double>(oy + y0);
  m.mu_xx = static_cast<double>(total.xx / 12 / area - x0 * x0);
  m.mu_yy = static_cast<double>(total.yy / 12 / area - y0 * y0);
  m.mu_xy = static_cast<double>(total.xy / 24 / area - x0 * y0);
  return m;
}

GrainEllipse EllipseOfMoments(const RegionMoments& m) {
  const double mean = (m.mu_xx + m.mu_yy) / 2;
  // A product moment below what double coordinates can tell from none
  // (the residue of the sums' rounding, as for a rectangle along the axes)
  // is none, so that such a grain lies at 0 degrees rather than at 1e-19.
  const double mu_xy =
      std::abs(m.mu_xy) <= 1e-15 * (m.mu_xx + m.mu_yy) ? 0.0 : m.mu_xy;
  const double spread = std::hypot((m.mu_xx - m.mu_yy) / 2, mu_xy);
  GrainEllipse e;
  e.cx = m.cx;
  e.cy = m.cy;
  e.area = m.area;
  e.major = 4 * std::sqrt(std::max(mean + spread, 0.0));
  e.minor = 4 * std::sqrt(std::max(mean - spread, 0.0));
  constexpr double kDegreesPerRadian = 57.295779513082320876798;
  e.angle = 0.5 * std::atan2(2 * mu_xy, m.mu_xx - m.mu_yy) * kDegreesPerRadian;
  // atan2 of -0 gives -180 degrees: the same axis as 90.
  if (e.angle <= -90) e.angle += 180;
  return e;
}

}  // namespace orvane

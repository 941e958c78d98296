// SPDX-License-Identifier: MIT
#include "chart/plot_mapping.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace orvane {

double PhiToX(const RfPhiLayout& layout, double phi) {
  return layout.plot.left + (phi + 90) / 180 * layout.plot.width;
}

namespace {

// Where Rf lies on the frame `plot`: `top` is the axis' maximum as the
// scale measures it (its logarithm, or its excess over 1).
double RfY(const PixelRect& plot, bool log, double top, double ratio) {
  double t;
  if (log) {
    t = ratio > 0 ? std::log(ratio) / top : -1;
  } else {
    t = (ratio - 1) / top;
  }
  // Far off the plot stays far off, without overflowing a pixel.
  t = std::clamp(t, -100.0, 100.0);
  if (!std::isfinite(t)) t = -100;
  return plot.top + plot.height - t * plot.height;
}

double RfTop(const RfAxis& axis) {
  return axis.scale == RfScale::kLogarithmic ? std::log(axis.maximum)
                                             : axis.maximum - 1;
}

// The mapping of RfToY with the axis' own logarithm taken once.
class RfMapping {
 public:
  RfMapping(const RfPhiLayout& layout, const RfAxis& axis)
      : layout_(layout),
        log_(axis.scale == RfScale::kLogarithmic),
        top_(RfTop(axis)) {}
  double Y(double ratio) const { return RfY(layout_.plot, log_, top_, ratio); }
  Pixel Place(const RfPhiPoint& shape) const {
    return {static_cast<int>(std::lround(PhiToX(layout_, shape.phi))),
            static_cast<int>(std::lround(Y(shape.ratio)))};
  }

 private:
  const RfPhiLayout& layout_;
  bool log_;
  double top_;
};

}  // namespace

double RfToY(const RfPhiLayout& layout, const RfAxis& axis, double ratio) {
  return RfMapping(layout, axis).Y(ratio);
}

Pixel PlaceShape(const RfPhiLayout& layout, const RfAxis& axis,
                 const RfPhiPoint& shape) {
  return RfMapping(layout, axis).Place(shape);
}

PlotMapping PlotMapping::Polar(const ChartLayout& layout, double maximum) {
  PlotMapping m;
  m.kind_ = Kind::kPolar;
  m.polar_ = layout;
  m.maximum_ = maximum;
  m.cx_ = layout.cx;
  m.cy_ = layout.cy;
  m.per_unit_ = maximum > 0 ? layout.radius / maximum : 0.0;
  const PixelRect& p = layout.plot;
  m.frame_ = {static_cast<double>(p.left), static_cast<double>(p.top),
              static_cast<double>(p.left + p.width),
              static_cast<double>(p.top + p.height)};
  return m;
}

PlotMapping PlotMapping::RfPhi(const RfPhiLayout& layout, const RfAxis& axis) {
  PlotMapping m;
  m.kind_ = Kind::kRfPhi;
  m.rf_phi_ = layout;
  m.rf_log_ = axis.scale == RfScale::kLogarithmic;
  m.rf_top_ = RfTop(axis);
  const PixelRect& f = layout.plot;
  // The frame's lines cover the pixels of its left and top edges and those
  // one past its width and height; their centres bound the data.
  m.frame_ = {f.left + 0.5, f.top + 0.5, f.left + f.width + 0.5,
              f.top + f.height + 0.5};
  return m;
}

PlotMapping PlotMapping::Cartesian(const PixelRect& plot, const AxisRange& x,
                                   const AxisRange& y) {
  PlotMapping m;
  m.kind_ = Kind::kCartesian;
  m.plot_ = plot;
  m.x_ = x;
  m.y_ = y;
  m.frame_ = {plot.left + 0.5, plot.top + 0.5, plot.left + plot.width + 0.5,
              plot.top + plot.height + 0.5};
  return m;
}

namespace {

// How far across the axis' range the value lies: 0 at its start, 1 at its
// end; far off stays far off, without overflowing a pixel.
double RangeFraction(const AxisRange& range, double v) {
  double t = range.logarithmic
                 ? std::log(v / range.from) / std::log(range.to / range.from)
                 : (v - range.from) / (range.to - range.from);
  t = std::clamp(t, -100.0, 100.0);
  if (!std::isfinite(t)) t = -100;
  return t;
}

}  // namespace

double PlotMapping::CartesianX(double a) const {
  return plot_.left + RangeFraction(x_, a) * plot_.width;
}

double PlotMapping::CartesianY(double b) const {
  return plot_.top + plot_.height - RangeFraction(y_, b) * plot_.height;
}

PlotPosition PlotMapping::Exact(double a, double b) const {
  if (kind_ == Kind::kCartesian) {
    return {CartesianX(a) + 0.5, CartesianY(b) + 0.5};
  }
  if (kind_ == Kind::kPolar) {
    // As PlacePoint, unrounded.
    const double r = b <= 0 ? 0.0 : b / maximum_ * polar_.radius;
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    const double t = a * kRadiansPerDegree;
    return {cx_ + r * std::cos(t) + 0.5, cy_ - r * std::sin(t) + 0.5};
  }
  return {PhiToX(rf_phi_, a) + 0.5,
          RfY(rf_phi_.plot, rf_log_, rf_top_, b) + 0.5};
}

Pixel PlotMapping::Snapped(double a, double b) const {
  if (kind_ == Kind::kPolar) return PlacePoint(polar_, maximum_, a, b);
  if (kind_ == Kind::kCartesian) {
    return {static_cast<int>(std::lround(CartesianX(a))),
            static_cast<int>(std::lround(CartesianY(b)))};
  }
  // As PlaceShape, without narrowing the place to a shape's floats.
  return {
      static_cast<int>(std::lround(PhiToX(rf_phi_, a))),
      static_cast<int>(std::lround(RfY(rf_phi_.plot, rf_log_, rf_top_, b)))};
}

namespace {

// The part of the segment p-q within the frame, as the parameters t0 <= t1
// along it (Liang and Barsky); false when none of it is.
bool ClipSegment(PlotPosition p, PlotPosition q, const PlotRect& f, double& t0,
                 double& t1) {
  t0 = 0;
  t1 = 1;
  const double dx = q.x - p.x;
  const double dy = q.y - p.y;
  const double edges[4][2] = {{-dx, p.x - f.left},
                              {dx, f.right - p.x},
                              {-dy, p.y - f.top},
                              {dy, f.bottom - p.y}};
  for (const auto& [towards, room] : edges) {
    if (towards == 0) {
      if (room < 0) return false;  // parallel to this edge, outside it
      continue;
    }
    const double t = room / towards;
    if (towards < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  return true;
}

PlotPosition Along(PlotPosition p, PlotPosition q, double t) {
  if (t <= 0) return p;
  if (t >= 1) return q;
  return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

}  // namespace

std::vector<std::vector<PlotPosition>> ClipPolyline(
    const std::vector<PlotPosition>& line, const PlotRect& frame) {
  std::vector<std::vector<PlotPosition>> pieces;
  std::vector<PlotPosition> piece;
  auto close_piece = [&] {
    if (piece.size() >= 2) pieces.push_back(std::move(piece));
    piece.clear();
  };
  for (std::size_t k = 1; k < line.size(); ++k) {
    const PlotPosition p = line[k - 1];
    const PlotPosition q = line[k];
    double t0, t1;
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(q.x) ||
        !std::isfinite(q.y) || !ClipSegment(p, q, frame, t0, t1)) {
      close_piece();
      continue;
    }
    const PlotPosition from = Along(p, q, t0);
    if (piece.empty() || t0 > 0) {
      close_piece();
      piece.push_back(from);
    }
    piece.push_back(Along(p, q, t1));
    if (t1 < 1) close_piece();
  }
  close_piece();
  return pieces;
}

std::vector<PlotPosition> ExactConvexHull(std::vector<PlotPosition> points) {
  std::sort(points.begin(), points.end(), [](PlotPosition a, PlotPosition b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  });
  points.erase(std::unique(points.begin(), points.end()), points.end());
  if (points.size() < 3) return points;
  // Andrew's monotone chain, with y pointing up for the turn (the plot's
  // y grows downwards), so that the corners go counter-clockwise.
  auto cross = [](PlotPosition o, PlotPosition a, PlotPosition b) {
    return (a.x - o.x) * (o.y - b.y) - (o.y - a.y) * (b.x - o.x);
  };
  std::vector<PlotPosition> hull(2 * points.size());
  std::size_t k = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    while (k >= 2 && cross(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  for (std::size_t i = points.size() - 1, t = k + 1; i > 0; --i) {
    while (k >= t && cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) --k;
    hull[k++] = points[i - 1];
  }
  hull.resize(k - 1);
  return hull;
}

std::vector<Pixel> PixelHull(std::vector<Pixel> points) {
  std::vector<PlotPosition> exact;
  exact.reserve(points.size());
  for (const Pixel& p : points) exact.push_back({1.0 * p.x, 1.0 * p.y});
  std::vector<Pixel> hull;
  for (const PlotPosition& p : ExactConvexHull(std::move(exact))) {
    hull.push_back({static_cast<int>(p.x), static_cast<int>(p.y)});
  }
  // Start from the lowest (largest y), leftmost corner.
  auto less = [](Pixel a, Pixel b) {
    return a.y > b.y || (a.y == b.y && a.x < b.x);
  };
  std::rotate(hull.begin(), std::min_element(hull.begin(), hull.end(), less),
              hull.end());
  return hull;
}

}  // namespace orvane

#include "chart/plot_mapping.h"

#include <algorithm>
#include <cmath>

namespace orvane {

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
  m.axis_ = axis;
  const PixelRect& f = layout.plot;
  // The frame's lines cover the pixels of its left and top edges and those
  // one past its width and height; their centres bound the data.
  m.frame_ = {f.left + 0.5, f.top + 0.5, f.left + f.width + 0.5,
              f.top + f.height + 0.5};
  return m;
}

PlotPosition PlotMapping::Exact(double a, double b) const {
  if (kind_ == Kind::kPolar) {
    // As PlacePoint, unrounded.
    const double r = b <= 0 ? 0.0 : b / maximum_ * polar_.radius;
    constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
    const double t = a * kRadiansPerDegree;
    return {cx_ + r * std::cos(t) + 0.5, cy_ - r * std::sin(t) + 0.5};
  }
  return {PhiToX(rf_phi_, a) + 0.5, RfToY(rf_phi_, axis_, b) + 0.5};
}

Pixel PlotMapping::Snapped(double a, double b) const {
  if (kind_ == Kind::kPolar) return PlacePoint(polar_, maximum_, a, b);
  RfPhiPoint shape;
  shape.phi = static_cast<float>(a);
  shape.ratio = static_cast<float>(b);
  return PlaceShape(rf_phi_, axis_, shape);
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

}  // namespace orvane

#include "chart/polar_series.h"

#include <algorithm>
#include <atomic>

namespace orvane {

std::uint64_t PolarSeries::NextRevision() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

void PolarSeries::AddPolar(double angle, double value) {
  // Appending and sorting stably on first use gives the order of inserting
  // each point after those of equal or smaller angle, without a quadratic
  // cost for large data sets.
  if (sorted_ && !points_.empty() && angle < points_.back().angle) {
    sorted_ = false;
  }
  points_.push_back({angle, value});
  revision_ = NextRevision();
}

void PolarSeries::Clear() {
  points_.clear();
  sorted_ = true;
  revision_ = NextRevision();
}

const std::vector<PolarPoint>& PolarSeries::Points() const {
  if (!sorted_) {
    std::stable_sort(points_.begin(), points_.end(),
                     [](const PolarPoint& a, const PolarPoint& b) {
                       return a.angle < b.angle;
                     });
    sorted_ = true;
  }
  return points_;
}

void PolarSeries::SetActive(bool on) {
  active_ = on;
}

}  // namespace orvane

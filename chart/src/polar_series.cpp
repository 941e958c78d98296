// SPDX-License-Identifier: MIT
#include "chart/polar_series.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

namespace orvane {

std::uint64_t NextSeriesRevision() {
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
  revision_ = NextSeriesRevision();
}

void PolarSeries::AddPolar(std::vector<PolarPoint>&& points) {
  if (points.empty()) return;
  const std::size_t first = points_.size();
  if (points_.empty()) {
    points_ = std::move(points);
  } else {
    points_.insert(points_.end(), points.begin(), points.end());
  }
  auto before = [](const PolarPoint& a, const PolarPoint& b) {
    return a.angle < b.angle;
  };
  // Sorted still when no point is below its predecessor, counting the last
  // point held before these.
  const auto from =
      points_.begin() + static_cast<std::ptrdiff_t>(first > 0 ? first - 1 : 0);
  if (sorted_ && !std::is_sorted(from, points_.end(), before)) sorted_ = false;
  revision_ = NextSeriesRevision();
}

void PolarSeries::Clear() {
  points_.clear();
  sorted_ = true;
  revision_ = NextSeriesRevision();
}

namespace {

// From this many points a series is put in order by a radix sort.
constexpr std::size_t kRadixSortFrom = 4096;

// An unsigned key of an angle that orders as the angles do: equal angles
// (0 and -0 among them) have equal keys. REQUIRES: angle is not NaN.
std::uint64_t AngleKey(double angle) {
  if (angle == 0) angle = 0.0;  // -0 is 0
  const auto bits = std::bit_cast<std::uint64_t>(angle);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// Sorts the points by angle, ascending, keeping points of equal angle in
// the order they had: a least-significant-digit radix sort of the angle
// keys in six passes of 11 bits (passes in which every point has the same
// digit are left out). Points in this order are exactly what a stable sort
// by `angle <` gives. False, with the points as they were, when an angle
// is NaN (which that comparison does not order) or no buffer can be had.
bool RadixSortByAngle(std::vector<PolarPoint>& points) {
  constexpr int kBits = 11;
  constexpr int kPasses = 6;  // 66 bits cover the key's 64
  constexpr std::size_t kBuckets = std::size_t{1} << kBits;
  const std::size_t n = points.size();
  std::vector<std::array<std::size_t, kBuckets>> counts(kPasses);
  for (const PolarPoint& p : points) {
    if (std::isnan(p.angle)) return false;
    const std::uint64_t key = AngleKey(p.angle);
    for (int pass = 0; pass < kPasses; ++pass) {
      ++counts[pass][(key >> (pass * kBits)) & (kBuckets - 1)];
    }
  }
  std::vector<PolarPoint> buffer;
  try {
    buffer.resize(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  PolarPoint* from = points.data();
  PolarPoint* to = buffer.data();
  for (int pass = 0; pass < kPasses; ++pass) {
    std::array<std::size_t, kBuckets>& count = counts[pass];
    const int shift = pass * kBits;
    const std::size_t first_digit =
        (AngleKey(from[0].angle) >> shift) & (kBuckets - 1);
    if (count[first_digit] == n) continue;  // one digit: nothing moves
    std::size_t at = 0;
    for (std::size_t& c : count) {
      const std::size_t here = c;
      c = at;
      at += here;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t digit =
          (AngleKey(from[i].angle) >> shift) & (kBuckets - 1);
      to[count[digit]++] = from[i];
    }
    std::swap(from, to);
  }
  if (from != points.data()) {
    std::memcpy(points.data(), from, n * sizeof(PolarPoint));
  }
  return true;
}

}  // namespace

void SortByAngle(std::vector<PolarPoint>& points) {
  if (points.size() >= kRadixSortFrom && RadixSortByAngle(points)) return;
  std::stable_sort(points.begin(), points.end(),
                   [](const PolarPoint& a, const PolarPoint& b) {
                     return a.angle < b.angle;
                   });
}

const std::vector<PolarPoint>& PolarSeries::Points() const {
  if (!sorted_) {
    SortByAngle(points_);
    sorted_ = true;
  }
  return points_;
}

void PolarSeries::SetActive(bool on) {
  active_ = on;
}

}  // namespace orvane

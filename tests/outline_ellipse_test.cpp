// SPDX-License-Identifier: MIT
// The ellipse of a grain's outline: the moments of exact ellipses, of shapes
// with closed forms, of far-off and reversed outlines, of strained outlines,
// and the outlines refused.
#include "io/outline_ellipse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace orvane {
namespace {

constexpr double kPi = std::numbers::pi;

// An ellipse of full axes a, b, its long axis at `angle` degrees, about
// (cx, cy), as a polygon of n vertices.
OutlineRing EllipseRing(double a, double b, double angle, double cx, double cy,
                        int n) {
  OutlineRing ring;
  const double t = angle * kPi / 180;
  for (int k = 0; k < n; ++k) {
    const double s = 2 * kPi * k / n;
    const double x = a / 2 * std::cos(s), y = b / 2 * std::sin(s);
    ring.push_back({cx + x * std::cos(t) - y * std::sin(t),
                    cy + x * std::sin(t) + y * std::cos(t)});
  }
  return ring;
}

GrainEllipse EllipseOf(const GrainOutline& outline) {
  EXPECT_EQ(CheckOutline(outline), OutlineFault::kNone);
  return EllipseOfMoments(MomentsOf(outline));
}

void ExpectMoments(const RegionMoments& m, double area, double cx, double cy,
                   double xx, double yy, double xy) {
  const double scale = std::max({std::abs(xx), std::abs(yy), 1e-300});
  EXPECT_NEAR(m.area, area, 1e-12 * area);
  EXPECT_NEAR(m.cx, cx, 1e-12 * std::sqrt(area));
  EXPECT_NEAR(m.cy, cy, 1e-12 * std::sqrt(area));
  EXPECT_NEAR(m.mu_xx, xx, 1e-11 * scale);
  EXPECT_NEAR(m.mu_yy, yy, 1e-11 * scale);
  EXPECT_NEAR(m.mu_xy, xy, 1e-11 * scale);
}

// Polygons of exact ellipses give their axes and orientation back, in
// either vertex order and wherever they lie, map coordinates of 10^6
// included.
TEST(OutlineEllipse, ExactEllipsesComeBack) {
  for (const double angle : {0.0, 17.5, 45.0, 89.0, 90.0, -30.0, -89.5}) {
    for (const double far : {0.0, 1e6, -3e7}) {
      GrainOutline outline{EllipseRing(12, 5, angle, far + 3, far - 2, 20000),
                           {}};
      const GrainEllipse e = EllipseOf(outline);
      EXPECT_NEAR(e.major, 12, 12e-6) << angle << " " << far;
      EXPECT_NEAR(e.minor, 5, 5e-6) << angle << " " << far;
      EXPECT_NEAR(e.angle, angle, 1e-6) << angle << " " << far;
      EXPECT_NEAR(e.cx, far + 3, 1e-6 * std::max(1.0, std::abs(far)));
      std::reverse(outline.outer.begin(), outline.outer.end());
      const GrainEllipse back = EllipseOf(outline);
      EXPECT_NEAR(back.major, e.major, 1e-12 * e.major);
      EXPECT_NEAR(back.angle, e.angle, 1e-9);
    }
  }
}

// A rectangle, an L and a triangle have moments in closed form, unchanged
// by a shift of 10^6 in both directions and by their vertex order; a hole
// takes its own moments away.
TEST(OutlineEllipse, ClosedFormsShiftsOrderAndHoles) {
  const double w = 6, h = 2;
  const OutlineRing rectangle = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  // The L: [0,4]x[0,1] and [0,1]x[1,3], by the parallel-axis rule.
  const OutlineRing l_shape = {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}};
  const double a1 = 4, a2 = 2, area = a1 + a2;
  const double cx = (a1 * 2 + a2 * 0.5) / area, cy = (a1 * 0.5 + a2 * 2) / area;
  const double l_xx = (a1 * (16.0 / 12 + (2 - cx) * (2 - cx)) +
                       a2 * (1.0 / 12 + (0.5 - cx) * (0.5 - cx))) /
                      area;
  const double l_yy = (a1 * (1.0 / 12 + (0.5 - cy) * (0.5 - cy)) +
                       a2 * (4.0 / 12 + (2 - cy) * (2 - cy))) /
                      area;
  const double l_xy =
      (a1 * (2 - cx) * (0.5 - cy) + a2 * (0.5 - cx) * (2 - cy)) / area;
  // A triangle's central moments are (1/12) sum (v - c)(v - c)^T.
  const OutlineRing triangle = {{0, 0}, {5, 1}, {2, 4}};
  const double tx = 7.0 / 3, ty = 5.0 / 3;
  double t_xx = 0, t_yy = 0, t_xy = 0;
  for (const OutlinePoint& p : triangle) {
    t_xx += (p.x - tx) * (p.x - tx) / 12;
    t_yy += (p.y - ty) * (p.y - ty) / 12;
    t_xy += (p.x - tx) * (p.y - ty) / 12;
  }
  for (const double shift : {0.0, 1e6}) {
    for (const bool reversed : {false, true}) {
      auto moved = [&](OutlineRing ring) {
        for (OutlinePoint& p : ring) p = {p.x + shift, p.y + shift};
        if (reversed) std::reverse(ring.begin(), ring.end());
        return GrainOutline{ring, {}};
      };
      ExpectMoments(MomentsOf(moved(rectangle)), w * h, w / 2 + shift,
                    h / 2 + shift, w * w / 12, h * h / 12, 0);
      ExpectMoments(MomentsOf(moved(l_shape)), area, cx + shift, cy + shift,
                    l_xx, l_yy, l_xy);
      ExpectMoments(MomentsOf(moved(triangle)), 9, tx + shift, ty + shift, t_xx,
                    t_yy, t_xy);
    }
  }
  // A square of side 4 less a centred square hole of side 2, the hole in
  // either order.
  for (const bool reversed : {false, true}) {
    OutlineRing hole = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
    if (reversed) std::reverse(hole.begin(), hole.end());
    const GrainOutline ring{{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {hole}};
    ASSERT_EQ(CheckOutline(ring), OutlineFault::kNone);
    const double mu = (256.0 - 16.0) / 12 / 12;
    ExpectMoments(MomentsOf(ring), 12, 2, 2, mu, mu, 0);
  }
  // The rectangle's ellipse: the full axes 4 sqrt(w^2 / 12), along x.
  const GrainEllipse e = EllipseOf({rectangle, {}});
  EXPECT_NEAR(e.major, 4 * w / std::sqrt(12.0), 1e-12);
  EXPECT_NEAR(e.minor, 4 * h / std::sqrt(12.0), 1e-12);
  EXPECT_EQ(e.angle, 0);
}

// An irregular outline strained by F gives the moments F S F^T of the
// unstrained one, and the area det F times its own.
TEST(OutlineEllipse, StrainedOutlinesGiveTheStrainedMoments) {
  std::mt19937 random(17);
  std::uniform_real_distribution<double> radius(2.0, 5.0);
  OutlineRing star;
  for (int k = 0; k < 37; ++k) {
    const double s = 2 * kPi * k / 37;
    const double r = radius(random);
    star.push_back({100 + r * std::cos(s), -40 + r * std::sin(s)});
  }
  const double f[2][2] = {{1.7, 0.6}, {-0.2, 0.8}};
  OutlineRing strained;
  for (const OutlinePoint& p : star) {
    strained.push_back(
        {f[0][0] * p.x + f[0][1] * p.y, f[1][0] * p.x + f[1][1] * p.y});
  }
  const RegionMoments s = MomentsOf({star, {}});
  const RegionMoments t = MomentsOf({strained, {}});
  ASSERT_EQ(CheckOutline({strained, {}}), OutlineFault::kNone);
  const double S[2][2] = {{s.mu_xx, s.mu_xy}, {s.mu_xy, s.mu_yy}};
  double expected[2][2] = {};
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 2; ++j) {
      for (int k = 0; k < 2; ++k) {
        for (int l = 0; l < 2; ++l)
          expected[i][j] += f[i][k] * S[k][l] * f[j][l];
      }
    }
  }
  const double det = f[0][0] * f[1][1] - f[0][1] * f[1][0];
  ExpectMoments(t, s.area * det, f[0][0] * s.cx + f[0][1] * s.cy,
                f[1][0] * s.cx + f[1][1] * s.cy, expected[0][0], expected[1][1],
                expected[0][1]);
}

TEST(OutlineEllipse, OutlinesThatBoundNoRegionAreRefused) {
  const struct {
    GrainOutline outline;
    OutlineFault fault;
  } cases[] = {
      {{{{0, 0}, {1, 1}}, {}}, OutlineFault::kTooFewVertices},
      {{{{0, 0}, {1, 1}, {1, 1}, {0, 0}}, {}}, OutlineFault::kTooFewVertices},
      {{{{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {}}, OutlineFault::kZeroArea},
      // A bow tie, a ring through one of its own vertices, and a spike.
      {{{{0, 0}, {4, 4}, {4, 0}, {0, 2}}, {}}, OutlineFault::kSelfIntersecting},
      {{{{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}}, {}},
       OutlineFault::kSelfIntersecting},
      {{{{0, 0}, {4, 0}, {6, 0}, {4, 0}, {4, 4}}, {}},
       OutlineFault::kSelfIntersecting},
      // A hole across the outer ring.
      {{{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{{3, 1}, {5, 1}, {5, 2}, {3, 2}}}},
       OutlineFault::kSelfIntersecting},
      {{{{0, 0}, {NAN, 0}, {1, 1}}, {}}, OutlineFault::kNotFinite},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckOutline(c.outline), c.fault)
        << OutlineFaultText(c.fault) << " " << c.outline.outer.size();
  }
  // A closing vertex that repeats the first, and repeated neighbours, are
  // no fault.
  EXPECT_EQ(CheckOutline({{{0, 0}, {2, 0}, {2, 0}, {2, 1}, {0, 0}}, {}}),
            OutlineFault::kNone);
}

}  // namespace
}  // namespace orvane

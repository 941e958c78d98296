// SPDX-License-Identifier: MIT
#include "support/study_data.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>

namespace orvane::testing_support {
namespace {

constexpr double kRad = std::numbers::pi / 180;

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
          a[0] * b[1] - a[1] * b[0]};
}

Vector3 Unit(const Vector3& v) {
  const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {v[0] / n, v[1] / n, v[2] / n};
}

double Dot(const Vector3& a, const Vector3& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vector3 Apply(const Matrix3& m, const Vector3& v) {
  return {Dot(m[0], v), Dot(m[1], v), Dot(m[2], v)};
}

}  // namespace

std::array<Vector3, 3> KnownEllipsoid::Axes() const {
  const Vector3 ex = {std::sin(x_trend * kRad) * std::cos(x_plunge * kRad),
                      std::cos(x_trend * kRad) * std::cos(x_plunge * kRad),
                      -std::sin(x_plunge * kRad)};
  const Vector3 level = Unit(Cross(ex, {0, 0, 1}));
  const Vector3 steep = Cross(ex, level);
  Vector3 ey;
  for (int i = 0; i < 3; ++i) {
    ey[i] =
        std::cos(y_rake * kRad) * level[i] + std::sin(y_rake * kRad) * steep[i];
  }
  return {ex, ey, Cross(ex, ey)};
}

Matrix3 KnownEllipsoid::Form() const {
  const std::array<Vector3, 3> axes = Axes();
  const double stretch[3] = {x, y, z};
  Matrix3 a{};
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        a[i][j] += axes[k][i] * axes[k][j] / (stretch[k] * stretch[k]);
      }
    }
  }
  return a;
}

SectionShape CutEllipsoid(const Matrix3& form, const SectionPlane& plane) {
  const Vector3 u = plane.reference;
  const Vector3 v = Cross(plane.normal, plane.reference);
  const double q11 = Dot(u, Apply(form, u));
  const double q12 = Dot(u, Apply(form, v));
  const double q22 = Dot(v, Apply(form, v));
  const double mean = (q11 + q22) / 2;
  const double radius = std::hypot((q11 - q22) / 2, q12);
  SectionShape shape;
  shape.plane = plane;
  shape.ratio = std::sqrt((mean + radius) / (mean - radius));
  // The long axis lies along the smaller eigenvalue's vector.
  double phi = std::atan2(-2 * q12, q22 - q11) / 2 / kRad;
  if (phi <= -90) phi += 180;
  if (phi > 90) phi -= 180;
  shape.phi = phi;
  return shape;
}

std::string SectionFile(const SectionShape& shape, int copies) {
  char line[96];
  std::snprintf(line, sizeof line, "%.9g 1 %.9g\n", shape.ratio, shape.phi);
  std::string text;
  for (int i = 0; i < copies; ++i) text += line;
  return text;
}

SectionPlane ExpectedPlane(const SectionOrientation& o) {
  SectionPlane plane;
  if (!o.geological) {
    plane.normal = Unit(o.normal);
    plane.reference = Unit(o.reference);
    return plane;
  }
  // Seen from above: the normal is the upward pole; the reference turns
  // from the strike towards the dip by its rake.
  const double s = o.strike * kRad, d = o.dip * kRad,
               r = o.reference_rake * kRad;
  const Vector3 strike = {std::sin(s), std::cos(s), 0};
  const Vector3 down_dip = {std::cos(s) * std::cos(d),
                            -std::sin(s) * std::cos(d), -std::sin(d)};
  plane.normal = {std::cos(s) * std::sin(d), -std::sin(s) * std::sin(d),
                  std::cos(d)};
  for (int i = 0; i < 3; ++i) {
    plane.reference[i] = std::cos(r) * strike[i] + std::sin(r) * down_dip[i];
  }
  return plane;
}

std::vector<TestPlane> TestPlanes() {
  auto vectors = [](Vector3 n, Vector3 r, const char* json) {
    TestPlane p;
    p.orientation.normal = n;
    p.orientation.reference = r;
    p.json = json;
    return p;
  };
  auto geological = [](double strike, double dip, double rake,
                       const char* json) {
    TestPlane p;
    p.orientation.geological = true;
    p.orientation.strike = strike;
    p.orientation.dip = dip;
    p.orientation.reference_rake = rake;
    p.json = json;
    return p;
  };
  return {
      vectors({1, 0, 0}, {0, 1, 0},
              "\"normal\": [1, 0, 0], \"reference\": [0, 1, 0]"),
      vectors({0, 1, 0}, {1, 0, 0},
              "\"normal\": [0, 1, 0], \"reference\": [1, 0, 0]"),
      vectors({0, 0, 1}, {1, 0, 0},
              "\"normal\": [0, 0, 1], \"reference\": [1, 0, 0]"),
      geological(120, 60, 0,
                 "\"strike\": 120, \"dip\": 60, \"reference_rake\": 0"),
      geological(30, 45, 40,
                 "\"strike\": 30, \"dip\": 45, \"reference_rake\": 40"),
  };
}

std::filesystem::path WriteExactStudy(const std::filesystem::path& folder,
                                      const std::vector<TestPlane>& planes,
                                      const KnownEllipsoid& ellipsoid) {
  const Matrix3 form = ellipsoid.Form();
  std::string study = "{\"name\": \"known\", \"sections\": [\n";
  for (std::size_t i = 0; i < planes.size(); ++i) {
    const SectionPlane plane = ExpectedPlane(planes[i].orientation);
    const std::string n = std::to_string(i + 1);
    std::ofstream(folder / ("s" + n + ".txt"))
        << SectionFile(CutEllipsoid(form, plane));
    study += std::string(i > 0 ? ",\n" : "") + "  {\"name\": \"S" + n +
             "\", \"source\": \"s" + n + ".txt\", " + planes[i].json + "}";
  }
  study += "\n]}\n";
  const std::filesystem::path path = folder / "study.json";
  std::ofstream(path) << study;
  return path;
}

}  // namespace orvane::testing_support

// SPDX-License-Identifier: MIT
// The strain ellipsoid fitted to sections, and its bootstrap limits.
//
// Each section k gives the plane basis P_k = (u1, u2) and the normalised
// shape tensor S_k = Rot(phi) diag(1/R, R) Rot(phi)^T of its strain
// ellipse. The ellipsoid x^T A x = 1 cuts the plane in u^T (P^T A P) u = 1,
// which must be a multiple of S_k: P_k^T A P_k = lambda_k S_k. The three
// distinct entries of each such 2 x 2 equation are linear in the six
// entries of A and in lambda_k; tr A = 3 fixes the scale that the
// equations leave free. The system is solved by linear least squares
// (the off-diagonal equation weighted by sqrt 2, so that the sum of squares
// is the squared Frobenius norm of the misfit), in extended precision by a
// one-sided Jacobi singular value decomposition, which also tells when the
// sections do not determine A.
#include "core/ellipsoid.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <utility>

#include "core/bootstrap.h"
#include "core/bootstrap_settings.h"
#include "core/hyperbolic.h"
#include "core/number_format.h"
#include "core/parallel.h"

namespace orvane {
namespace {

using LD = long double;
using Vec3L = std::array<LD, 3>;
using Mat3L = std::array<Vec3L, 3>;

// A reference may lie this far off its section's plane (degrees) and is
// then projected into it; further off it is taken for a mistake.
constexpr double kReferenceSlack = 0.5;
// Planes whose normals all lie within about half a degree of one plane
// share a line and leave the ellipsoid's section along it undetermined.
constexpr double kSpanSlack = 0.5;
// How far a SectionPlane's vectors may be off unit length and off a right
// angle (PlaneOf gives them to rounding).
constexpr double kPlaneTolerance = 1e-6;
// Relative size below which a logarithmic difference of stretches counts
// as none (rounding of a sphere or a uniaxial shape).
constexpr LD kEqualStretches = 1e-12L;
// The least singular value of the system relative to the largest for which
// the sections still determine the ellipsoid.
constexpr LD kRankTolerance = 1e-12L;
// How far (degrees) a grain's axes may be off perpendicular: a fitted
// ellipsoid's axes are printed to a few digits.
constexpr double kGrainAxesSlack = 1.0;
// A resample fits in some tens of microseconds: only a large bootstrap is
// worth sharing among threads.
constexpr std::int64_t kResamplesPerThread = 500;

Vec3L ToLong(const Vector3& v) {
  return {v[0], v[1], v[2]};
}

LD Dot(const Vec3L& a, const Vec3L& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec3L Cross(const Vec3L& a, const Vec3L& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
          a[0] * b[1] - a[1] * b[0]};
}

Vec3L Scaled(const Vec3L& a, LD f) {
  return {a[0] * f, a[1] * f, a[2] * f};
}

// The unit vector along a (REQUIRES: a finite, not zero).
Vec3L Unit(const Vec3L& a) {
  return Scaled(a, 1 / std::sqrt(Dot(a, a)));
}

Vector3 ToDouble(const Vec3L& v) {
  return {static_cast<double>(v[0]), static_cast<double>(v[1]),
          static_cast<double>(v[2])};
}

// Eigenvalues ascending, vectors[i] the unit eigenvector of values[i].
struct SymmetricEigen {
  Vec3L values{};
  std::array<Vec3L, 3> vectors{};
};

// The cyclic Jacobi method: rotations annihilate the off-diagonal entries
// in turn until they are below the precision of the diagonal.
SymmetricEigen EigenOf(Mat3L a) {
  Mat3L v{};
  for (int i = 0; i < 3; ++i) v[i][i] = 1;
  for (int sweep = 0; sweep < 60; ++sweep) {
    const LD off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
    const LD diagonal =
        a[0][0] * a[0][0] + a[1][1] * a[1][1] + a[2][2] * a[2][2];
    if (off <= diagonal * LDBL_EPSILON * LDBL_EPSILON * 1e-4L) break;
    for (int p = 0; p < 2; ++p) {
      for (int q = p + 1; q < 3; ++q) {
        if (a[p][q] == 0) continue;
        const LD theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const LD t = (theta >= 0 ? 1 : -1) /
                     (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const LD c = 1 / std::sqrt(t * t + 1);
        const LD s = t * c;
        for (int k = 0; k < 3; ++k) {
          const LD kp = a[k][p], kq = a[k][q];
          a[k][p] = c * kp - s * kq;
          a[k][q] = s * kp + c * kq;
        }
        for (int k = 0; k < 3; ++k) {
          const LD pk = a[p][k], qk = a[q][k];
          a[p][k] = c * pk - s * qk;
          a[q][k] = s * pk + c * qk;
        }
        for (int k = 0; k < 3; ++k) {
          const LD kp = v[k][p], kq = v[k][q];
          v[k][p] = c * kp - s * kq;
          v[k][q] = s * kp + c * kq;
        }
      }
    }
  }
  std::array<int, 3> order{0, 1, 2};
  std::sort(order.begin(), order.end(),
            [&a](int i, int j) { return a[i][i] < a[j][j]; });
  SymmetricEigen e;
  for (int i = 0; i < 3; ++i) {
    const int j = order[static_cast<std::size_t>(i)];
    e.values[i] = a[j][j];
    e.vectors[i] = Unit({v[0][j], v[1][j], v[2][j]});
  }
  return e;
}

double Degrees(LD radians) {
  return static_cast<double>(radians * kDegPerRad);
}

// A line as an axis: the unit vector pointing down, a level one pointing
// into the half-circle of trends from 0 up to 180 degrees.
EllipsoidAxis AxisOf(Vec3L v) {
  v = Unit(v);
  if (std::fabs(v[2]) <= 1e-12L) {
    v[2] = 0;
    v = Unit(v);
    if (v[0] < 0 || (v[0] == 0 && v[1] < 0)) v = Scaled(v, -1);
  } else if (v[2] > 0) {
    v = Scaled(v, -1);
  }
  EllipsoidAxis axis;
  axis.vector = ToDouble(v);
  double trend = Degrees(std::atan2(v[0], v[1])) + 0.0;
  if (trend < 0) trend += 360;
  if (trend >= 360) trend = 0;
  axis.trend = trend;
  axis.plunge =
      std::max(0.0, Degrees(std::asin(std::clamp(-v[2], -1.0L, 1.0L))));
  return axis;
}

// "(1, 0, 0.2)": a vector as given, for messages.
std::string VectorText(const Vector3& v) {
  std::string text = "(";
  for (int i = 0; i < 3; ++i) {
    if (i > 0) text += ", ";
    if (std::isfinite(v[i])) {
      text += FormatShortestDouble(v[i]).view();
    } else {
      text += std::isnan(v[i]) ? "nan" : (v[i] > 0 ? "inf" : "-inf");
    }
  }
  return text + ")";
}

std::string NumberText(double v) {
  if (!std::isfinite(v))
    return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
  return std::string(FormatShortestDouble(v).view());
}

// An angle for messages, with one decimal.
std::string AngleText(double degrees) {
  return FormatFixed(degrees, 5, 1, ".");
}

Status Refused(std::string message, std::int32_t section = 0) {
  return Status(StatusCode::kInvalidSettings, std::move(message), section);
}

// Checks a given vector and makes it a unit vector.
Status UnitVectorOf(const Vector3& given, const char* what, Vec3L& unit) {
  if (!std::isfinite(given[0]) || !std::isfinite(given[1]) ||
      !std::isfinite(given[2])) {
    return Refused(std::string("the ") + what + " " + VectorText(given) +
                   " is not a finite vector");
  }
  const Vec3L v = ToLong(given);
  const LD length = std::sqrt(Dot(v, v));
  if (!(length > 0) || !std::isfinite(length)) {
    return Refused(std::string("the ") + what + " " + VectorText(given) +
                   (length > 0 ? " is too long to be a direction"
                               : " is zero and gives no direction"));
  }
  unit = Scaled(v, 1 / length);
  return {};
}

Status CheckAngle(double value, const char* what) {
  if (std::isfinite(value)) return {};
  return Refused(std::string("the ") + what + " " + NumberText(value) +
                 " is not a finite angle");
}

// The entries 11, 12 and 22 of a symmetric 2 x 2 tensor in a section's
// plane, as (row, column) of its basis.
constexpr std::array<std::pair<int, int>, 3> kEntries = {
    std::pair{0, 0}, std::pair{0, 1}, std::pair{1, 1}};

// The section's basis P: phi = 0 and phi = 90 degrees.
std::array<Vec3L, 2> BasisOf(const SectionPlane& plane) {
  return {ToLong(plane.reference), ToLong(plane.Across())};
}

// The normalised shape tensor of a section's ellipse in its plane:
// Rot(phi) diag(1/R, R) Rot(phi)^T, as its entries 11, 12 and 22.
std::array<LD, 3> ShapeTensor(double ratio, double phi) {
  const LD angle = static_cast<LD>(phi) * kRadPerDeg;
  const LD c = std::cos(angle), s = std::sin(angle);
  const LD r = ratio;
  return {c * c / r + s * s * r, c * s * (1 / r - r), s * s / r + c * c * r};
}

// Minimises |M x - b| for M of `rows` >= `cols` rows, held column by
// column. False when the columns are dependent (the least singular value
// below kRankTolerance times the largest): the solution is then not
// determined.
bool SolveLeastSquares(std::vector<std::vector<LD>> columns,
                       const std::vector<LD>& b, std::vector<LD>& x) {
  const std::size_t cols = columns.size();
  std::vector<std::vector<LD>> v(cols, std::vector<LD>(cols, 0));
  for (std::size_t j = 0; j < cols; ++j) v[j][j] = 1;
  // One-sided Jacobi (Hestenes): rotate pairs of columns until all are
  // orthogonal; then M V = U Sigma, the columns' norms the singular values.
  auto dot = [](const std::vector<LD>& p, const std::vector<LD>& q) {
    LD sum = 0;
    for (std::size_t i = 0; i < p.size(); ++i) sum += p[i] * q[i];
    return sum;
  };
  for (int sweep = 0; sweep < 80; ++sweep) {
    bool rotated = false;
    for (std::size_t p = 0; p + 1 < cols; ++p) {
      for (std::size_t q = p + 1; q < cols; ++q) {
        const LD alpha = dot(columns[p], columns[p]);
        const LD beta = dot(columns[q], columns[q]);
        const LD gamma = dot(columns[p], columns[q]);
        if (gamma == 0 ||
            std::fabs(gamma) <= LDBL_EPSILON * std::sqrt(alpha * beta)) {
          continue;
        }
        rotated = true;
        const LD zeta = (beta - alpha) / (2 * gamma);
        const LD t = (zeta >= 0 ? 1 : -1) /
                     (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
        const LD c = 1 / std::sqrt(1 + t * t);
        const LD s = c * t;
        for (std::vector<std::vector<LD>>* m : {&columns, &v}) {
          std::vector<LD>& cp = (*m)[p];
          std::vector<LD>& cq = (*m)[q];
          for (std::size_t i = 0; i < cp.size(); ++i) {
            const LD a = cp[i], d = cq[i];
            cp[i] = c * a - s * d;
            cq[i] = s * a + c * d;
          }
        }
      }
    }
    if (!rotated) break;
  }
  std::vector<LD> squares(cols);
  LD largest = 0;
  for (std::size_t j = 0; j < cols; ++j) {
    squares[j] = dot(columns[j], columns[j]);
    largest = std::max(largest, squares[j]);
  }
  x.assign(cols, 0);
  for (std::size_t j = 0; j < cols; ++j) {
    if (!(squares[j] > largest * kRankTolerance * kRankTolerance)) {
      return false;
    }
    // x = V Sigma^-1 U^T b, with U's column j = column j / sigma_j.
    const LD coefficient = dot(columns[j], b) / squares[j];
    for (std::size_t i = 0; i < cols; ++i) x[i] += v[j][i] * coefficient;
  }
  return true;
}

// Whether a SectionPlane holds a pair of perpendicular unit vectors.
bool IsFrame(const SectionPlane& plane) {
  const Vec3L n = ToLong(plane.normal), r = ToLong(plane.reference);
  for (const LD c : {n[0], n[1], n[2], r[0], r[1], r[2]}) {
    if (!std::isfinite(c)) return false;
  }
  return std::fabs(Dot(n, n) - 1) <= kPlaneTolerance &&
         std::fabs(Dot(r, r) - 1) <= kPlaneTolerance &&
         std::fabs(Dot(n, r)) <= kPlaneTolerance;
}

std::string SectionText(std::size_t k) {
  return "section " + std::to_string(k + 1);
}

// The shape of the ellipsoid from the eigenvalues of its form, ascending:
// the stretches are proportional to their inverse square roots.
void SetShape(const SymmetricEigen& e, Ellipsoid& fit) {
  const LD ln_x = -std::log(e.values[0]) / 2;
  const LD ln_y = -std::log(e.values[1]) / 2;
  const LD ln_z = -std::log(e.values[2]) / 2;
  const LD mean = (ln_x + ln_y + ln_z) / 3;
  fit.x = static_cast<double>(std::exp(ln_x - mean));
  fit.y = static_cast<double>(std::exp(ln_y - mean));
  fit.z = static_cast<double>(std::exp(ln_z - mean));
  const LD xy = ln_x - ln_y, yz = ln_y - ln_z, xz = ln_x - ln_z;
  fit.k = yz <= kEqualStretches
              ? std::numeric_limits<double>::infinity()
              : static_cast<double>(std::expm1(xy) / std::expm1(yz));
  fit.nu.reset();
  if (xz >= kEqualStretches) {
    fit.nu = static_cast<double>((yz - xy) / xz);
  }
  fit.eps_s = static_cast<double>(std::sqrt(xy * xy + yz * yz + xz * xz) /
                                  std::sqrt(3.0L));
  for (int i = 0; i < 3; ++i) {
    fit.axes[static_cast<std::size_t>(i)] = AxisOf(e.vectors[i]);
  }
}

// The 95 % interval of `values` (sorted here): as many of the left-out
// values below as above, one more above when their count is odd.
Interval CentralInterval(std::vector<double>& values) {
  std::sort(values.begin(), values.end());
  const int n = static_cast<int>(values.size());
  const int kept = std::min(KeptResamples(n), n);
  const int below = (n - kept) / 2;
  return {values[static_cast<std::size_t>(below)],
          values[static_cast<std::size_t>(below + kept - 1)]};
}

// The angle in degrees between two axes (unit vectors, either sense).
double AxisAngle(const Vector3& a, const Vector3& b) {
  const Vec3L p = ToLong(a), q = ToLong(b);
  const Vec3L c = Cross(p, q);
  return Degrees(std::atan2(std::sqrt(Dot(c, c)), std::fabs(Dot(p, q))));
}

constexpr const char* kOrdinals[] = {"first", "second", "third"};
constexpr const char* kGrainAxes[] = {
    "grain's first axis", "grain's second axis", "grain's third axis"};

}  // namespace

Vector3 SectionPlane::Across() const {
  return ToDouble(Cross(ToLong(normal), ToLong(reference)));
}

Status PlaneOf(const SectionOrientation& o, SectionPlane& plane) {
  Vec3L normal, reference;
  if (o.geological) {
    for (const auto& [value, what] :
         {std::pair{o.strike, "strike"}, std::pair{o.dip, "dip"},
          std::pair{o.reference_rake, "reference's rake"}}) {
      if (Status s = CheckAngle(value, what); !s.ok()) return s;
    }
    if (o.dip < 0 || o.dip > 90) {
      return Refused("the dip " + NumberText(o.dip) +
                     " is outside 0 to 90 degrees");
    }
    const LD strike = static_cast<LD>(o.strike) * kRadPerDeg;
    const LD dip = static_cast<LD>(o.dip) * kRadPerDeg;
    const LD rake = static_cast<LD>(o.reference_rake) * kRadPerDeg;
    // x east, y north: the strike's horizontal line and the line of
    // steepest descent, towards the dip direction 90 degrees clockwise of
    // the strike.
    const Vec3L along = {std::sin(strike), std::cos(strike), 0};
    const Vec3L down = {std::cos(strike) * std::cos(dip),
                        -std::sin(strike) * std::cos(dip), -std::sin(dip)};
    // The upward pole: its vertical component is cos(dip), and it leans
    // towards the dip direction; a vertical plane's is its limit, level,
    // towards the dip direction, so that the frame turns continuously as
    // the dip steepens to 90 degrees.
    normal = Cross(down, along);
    reference = Unit({std::cos(rake) * along[0] + std::sin(rake) * down[0],
                      std::cos(rake) * along[1] + std::sin(rake) * down[1],
                      std::cos(rake) * along[2] + std::sin(rake) * down[2]});
    normal = Unit(normal);
  } else {
    if (Status s = UnitVectorOf(o.normal, "normal", normal); !s.ok()) return s;
    if (Status s = UnitVectorOf(o.reference, "reference", reference); !s.ok()) {
      return s;
    }
    const LD off =
        Degrees(std::asin(std::min(1.0L, std::fabs(Dot(normal, reference)))));
    if (off > kReferenceSlack) {
      return Refused("the reference " + VectorText(o.reference) +
                     " is not in the section's plane (it is " +
                     FormatFixed(off, 5, 2, ".") + " degrees off it)");
    }
    const LD along = Dot(normal, reference);
    reference = Unit({reference[0] - along * normal[0],
                      reference[1] - along * normal[1],
                      reference[2] - along * normal[2]});
  }
  plane.normal = ToDouble(normal);
  plane.reference = ToDouble(reference);
  return {};
}

Status CutGrain(const GrainEllipsoid& grain, const SectionPlane& plane,
                double& major, double& minor, double& phi) {
  if (!IsFrame(plane)) {
    return Refused(
        "the section's plane is not given by two perpendicular unit vectors");
  }
  std::array<Vec3L, 3> unit{};
  for (std::size_t i = 0; i < 3; ++i) {
    const double r = grain.radii[i];
    if (!std::isfinite(r) || !(r > 0)) {
      return Refused(std::string("the grain's ") + kOrdinals[i] + " radius " +
                     NumberText(r) + " is not a positive number");
    }
    if (Status s = UnitVectorOf(grain.axes[i], kGrainAxes[i], unit[i]);
        !s.ok()) {
      return s;
    }
  }
  // Two axes whose angle's |cos| is above sin(slack) are more than the
  // slack off a right angle.
  static const LD max_cos = std::sin(kGrainAxesSlack * kRadPerDeg);
  for (std::size_t i = 0; i < 2; ++i) {
    for (std::size_t j = i + 1; j < 3; ++j) {
      const LD cosine = Dot(unit[i], unit[j]);
      if (std::fabs(cosine) > max_cos) {
        const Vec3L c = Cross(unit[i], unit[j]);
        const double apart = Degrees(std::atan2(std::sqrt(Dot(c, c)), cosine));
        return Refused(std::string("the grain's ") + kOrdinals[i] + " and " +
                       kOrdinals[j] + " axes are " +
                       FormatFixed(apart, 5, 2, ".") +
                       " degrees apart, not perpendicular (within 1 degree)");
      }
    }
  }
  Mat3L a{};
  for (std::size_t k = 0; k < 3; ++k) {
    const LD r = grain.radii[k];
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) {
        a[i][j] += unit[k][i] * unit[k][j] / (r * r);
      }
    }
  }
  const std::array<Vec3L, 2> u = BasisOf(plane);
  std::array<LD, 3> s{};  // P^T A P: 11, 12, 22
  for (std::size_t e = 0; e < 3; ++e) {
    const Vec3L& p = u[static_cast<std::size_t>(kEntries[e].first)];
    const Vec3L& q = u[static_cast<std::size_t>(kEntries[e].second)];
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) s[e] += p[i] * a[i][j] * q[j];
    }
  }
  const LD mean = (s[0] + s[2]) / 2;
  const LD radius = std::hypot((s[0] - s[2]) / 2, s[1]);
  const LD longest = mean - radius;  // the long axis' inverse square
  const LD shortest = mean + radius;
  if (!(longest > 0)) {
    return Refused("the grain's section is too elongated to be measured");
  }
  major = static_cast<double>(2 / std::sqrt(longest));
  minor = static_cast<double>(2 / std::sqrt(shortest));
  // The long axis is the direction in which the form is least.
  double angle = Degrees(std::atan2(-2 * s[1], s[2] - s[0]) / 2) + 0.0;
  if (angle <= -90) angle += 180;
  phi = angle;
  return {};
}

Status FitEllipsoid(std::span<const SectionShape> sections, Ellipsoid& fit) {
  const std::size_t n = sections.size();
  if (n < 3) {
    return Refused(
        "at least three sections are needed for the ellipsoid; the study "
        "has " +
        std::to_string(n));
  }
  for (std::size_t k = 0; k < n; ++k) {
    const SectionShape& s = sections[k];
    const auto datum = static_cast<std::int32_t>(k + 1);
    if (!IsFrame(s.plane)) {
      return Refused(SectionText(k) +
                         "'s plane is not given by two perpendicular unit "
                         "vectors",
                     datum);
    }
    if (!std::isfinite(s.ratio) || !(s.ratio > 0) || !std::isfinite(s.phi)) {
      return Refused(SectionText(k) +
                         " has no strain ellipse (R = " + NumberText(s.ratio) +
                         ", phi = " + NumberText(s.phi) + ")",
                     datum);
    }
  }

  // The planes fix an ellipsoid only when their normals span space: planes
  // that all contain one line leave its length free.
  Mat3L spread{};
  for (const SectionShape& s : sections) {
    const Vec3L normal = ToLong(s.plane.normal);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        spread[i][j] += normal[i] * normal[j] / static_cast<LD>(n);
      }
    }
  }
  const SymmetricEigen span = EigenOf(spread);
  const LD least = std::sin(kSpanSlack * kRadPerDeg);
  if (span.values[0] < least * least) {
    const EllipsoidAxis line = AxisOf(span.vectors[0]);
    return Refused("the sections' planes all contain one line (trend " +
                   AngleText(line.trend) + ", plunge " +
                   AngleText(line.plunge) +
                   "), so they do not fix an ellipsoid");
  }

  // Unknowns a11, a22, a12, a13, a23, lambda_1 .. lambda_n; a33 = 3 - a11
  // - a22. Rows 11, 12 (weighted sqrt 2) and 22 of each section.
  const std::size_t rows = 3 * n, cols = 5 + n;
  std::vector<std::vector<LD>> columns(cols, std::vector<LD>(rows, 0));
  std::vector<LD> rhs(rows, 0);
  std::vector<std::array<LD, 3>> shapes(n);
  const LD root2 = std::sqrt(2.0L);
  for (std::size_t k = 0; k < n; ++k) {
    const std::array<Vec3L, 2> u = BasisOf(sections[k].plane);
    shapes[k] = ShapeTensor(sections[k].ratio, sections[k].phi);
    for (std::size_t e = 0; e < 3; ++e) {
      const Vec3L& p = u[static_cast<std::size_t>(kEntries[e].first)];
      const Vec3L& q = u[static_cast<std::size_t>(kEntries[e].second)];
      const LD w = e == 1 ? root2 : 1;
      const std::size_t row = 3 * k + e;
      columns[0][row] = w * (p[0] * q[0] - p[2] * q[2]);
      columns[1][row] = w * (p[1] * q[1] - p[2] * q[2]);
      columns[2][row] = w * (p[0] * q[1] + p[1] * q[0]);
      columns[3][row] = w * (p[0] * q[2] + p[2] * q[0]);
      columns[4][row] = w * (p[1] * q[2] + p[2] * q[1]);
      columns[5 + k][row] = -w * shapes[k][e];
      rhs[row] = -w * 3 * p[2] * q[2];
    }
  }
  std::vector<LD> x;
  if (!SolveLeastSquares(std::move(columns), rhs, x)) {
    return Refused("the sections' planes do not fix an ellipsoid");
  }

  Mat3L a{};
  a[0][0] = x[0];
  a[1][1] = x[1];
  a[2][2] = 3 - x[0] - x[1];
  a[0][1] = a[1][0] = x[2];
  a[0][2] = a[2][0] = x[3];
  a[1][2] = a[2][1] = x[4];

  // The misfit of each section's ellipse, in the Frobenius norm.
  LD misfit = 0, size = 0;
  fit.scales.assign(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    const std::array<Vec3L, 2> u = BasisOf(sections[k].plane);
    const LD lambda = x[5 + k];
    fit.scales[k] = static_cast<double>(lambda);
    std::array<LD, 3> section{};  // P^T A P: 11, 12, 22
    for (std::size_t e = 0; e < 3; ++e) {
      const Vec3L& p = u[static_cast<std::size_t>(kEntries[e].first)];
      const Vec3L& q = u[static_cast<std::size_t>(kEntries[e].second)];
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) section[e] += p[i] * a[i][j] * q[j];
      }
      const LD weight = e == 1 ? 2 : 1;
      const LD d = section[e] - lambda * shapes[k][e];
      misfit += weight * d * d;
      size += weight * lambda * shapes[k][e] * lambda * shapes[k][e];
    }
  }
  fit.incompatibility = size > 0 ? static_cast<double>(std::sqrt(misfit / size))
                                 : std::numeric_limits<double>::infinity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      fit.tensor[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] =
          static_cast<double>(a[i][j]);
    }
  }

  for (std::size_t k = 0; k < n; ++k) {
    if (!(fit.scales[k] > 0)) {
      return Refused(
          "no ellipsoid fits the sections: the best fit does not "
          "match " +
              SectionText(k) + "'s ellipse at all (it takes a scale of " +
              FormatFixed(fit.scales[k], 6, 4, ".") + ")",
          static_cast<std::int32_t>(k + 1));
    }
  }
  const SymmetricEigen e = EigenOf(a);
  if (!(e.values[0] > e.values[2] * kRankTolerance)) {
    return Refused(
        "no ellipsoid fits the sections: the quadric that fits them best "
        "is not an ellipsoid (its form is not positive definite)");
  }
  SetShape(e, fit);
  return {};
}

SectionShape ShapeOfStrain(const SectionPlane& plane,
                           const AnalysisState& state) {
  SectionShape shape;
  shape.plane = plane;
  shape.ratio = static_cast<double>(state.strain.ratio);
  shape.phi = static_cast<double>(state.strain.phi);
  return shape;
}

std::vector<SectionShape> ShapesOfResamples(const SectionPlane& plane,
                                            const AnalysisState& state) {
  std::vector<SectionShape> shapes;
  if (state.count < 5 || state.outcome == ConfidenceOutcome::kNotRun ||
      state.solutions.empty()) {
    return shapes;
  }
  // The bootstrap takes a count outside the limits as the nearest limit.
  const int drawn = std::clamp(state.bootstrap.resamples,
                               kMinBootstrapResamples, kMaxBootstrapResamples);
  const int count =
      std::min(drawn, static_cast<int>(state.solutions.size()) - 1);
  shapes.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int k = 1; k <= count; ++k) {
    const PolarCoordinates polar =
        VectorToPolar(state.solutions[static_cast<std::size_t>(k)].vector);
    SectionShape shape;
    shape.plane = plane;
    shape.ratio = static_cast<double>(std::exp(static_cast<LD>(polar.rho)));
    shape.phi =
        static_cast<double>(static_cast<LD>(polar.psi) * kDegPerRad / 2);
    shapes.push_back(shape);
  }
  return shapes;
}

std::uint32_t SectionSeed(std::uint32_t seed, int index) {
  RandomGenerator generator;
  generator.Seed(seed);
  generator.Skip((std::uint64_t{1} << 28) *
                 static_cast<std::uint64_t>(std::max(index, 0)));
  return generator.State();
}

EllipsoidResult AnalyseEllipsoid(
    std::span<const SectionShape> sections,
    const std::vector<std::vector<SectionShape>>& resamples,
    const std::string& why_no_limits) {
  EllipsoidResult result;
  result.resamples = static_cast<std::int32_t>(resamples.size());
  result.status = FitEllipsoid(sections, result.estimate);
  if (!result.status.ok()) return result;
  if (resamples.empty()) {
    if (!why_no_limits.empty()) result.warnings.push_back(why_no_limits);
    return result;
  }

  // Each resample is fitted alone into its own slot, so that the cloud is
  // the same whatever the number of threads.
  const std::size_t m = resamples.size();
  std::vector<Ellipsoid> fits(m);
  std::vector<char> fitted(m, 0);
  ParallelFor(
      0, static_cast<std::int64_t>(m),
      [&](std::int64_t first, std::int64_t last) {
        for (std::int64_t i = first; i < last; ++i) {
          const auto at = static_cast<std::size_t>(i);
          if (resamples[at].size() != sections.size()) continue;
          fitted[at] = FitEllipsoid(resamples[at], fits[at]).ok() ? 1 : 0;
        }
      },
      kResamplesPerThread);
  for (std::size_t i = 0; i < m; ++i) {
    if (fitted[i]) result.cloud.push_back(std::move(fits[i]));
  }
  const int count = static_cast<int>(result.cloud.size());
  result.failed = static_cast<std::int32_t>(m) - count;

  // The limits leave out the 5 % of the resamples on the outside; when more
  // than that could not be fitted, the lost ones might all lie on one side
  // and the limits would claim more than they know.
  const int resample_count = static_cast<int>(m);
  const int allowed = resample_count - KeptResamples(resample_count);
  if (result.failed > 0) {
    result.warnings.push_back(
        std::to_string(result.failed) + " of " + std::to_string(m) +
        " resamples could not be fitted (no ellipsoid fits their sections)" +
        (result.failed > allowed ? ": too many for 95 % limits."
                                 : ": the limits are those of the other " +
                                       std::to_string(count) + "."));
  }
  if (result.failed > allowed) return result;
  if (count < kMinBootstrapResamples) {
    result.warnings.push_back(
        "Only " + std::to_string(count) +
        " resamples were fitted: 95 % limits need at least " +
        std::to_string(kMinBootstrapResamples) + ".");
    return result;
  }

  std::vector<double> xy, yz, k, nu, eps_s;
  for (const Ellipsoid& e : result.cloud) {
    xy.push_back(e.x / e.y);
    yz.push_back(e.y / e.z);
    k.push_back(e.k);
    if (e.nu) nu.push_back(*e.nu);
    eps_s.push_back(e.eps_s);
  }
  result.xy = CentralInterval(xy);
  result.yz = CentralInterval(yz);
  result.k = CentralInterval(k);
  result.eps_s = CentralInterval(eps_s);
  if (nu.empty()) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    result.nu = {none, none};
  } else {
    result.nu = CentralInterval(nu);
  }
  const int kept = std::min(KeptResamples(count), count);
  for (std::size_t i = 0; i < 3; ++i) {
    std::vector<double> angles;
    angles.reserve(result.cloud.size());
    for (const Ellipsoid& e : result.cloud) {
      angles.push_back(
          AxisAngle(e.axes[i].vector, result.estimate.axes[i].vector));
    }
    std::sort(angles.begin(), angles.end());
    result.cones[i] = angles[static_cast<std::size_t>(kept - 1)];
  }
  result.has_limits = true;
  return result;
}

}  // namespace orvane

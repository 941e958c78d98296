// SPDX-License-Identifier: MIT
// The strain ellipsoid in the report: its shape, axes and fit, then the
// bootstrap limits of the shape and the cones of its axes.
#include <cmath>
#include <string>

#include "core/ellipsoid.h"
#include "core/number_format.h"

namespace orvane {
namespace {

// An orientation, one decimal, as a compass reads.
std::string Angle(double degrees, std::string_view sep) {
  return FormatFixed(degrees, 5, 1, sep);
}

// Flinn's k, infinite for a uniaxial prolate shape (Y = Z).
std::string KText(double k, std::string_view sep, bool limit) {
  if (std::isinf(k)) return "infinite";
  return limit ? FormatLimit(k, sep) : FormatStrain(k, sep);
}

std::string NuText(double nu, std::string_view sep, bool limit) {
  if (std::isnan(nu)) return "undefined (no strain)";
  return limit ? FormatLimit(nu, sep) : FormatStrain(nu, sep);
}

std::string Range(const std::string& low, const std::string& high) {
  return "min = " + low + ", max = " + high;
}

}  // namespace

std::vector<std::string> EllipsoidReportLines(const EllipsoidResult& r,
                                              std::string_view sep) {
  auto f = [sep](long double v) { return FormatStrain(v, sep); };
  auto l = [sep](long double v) { return FormatLimit(v, sep); };
  std::vector<std::string> lines;
  lines.emplace_back();
  lines.emplace_back("*** Strain Ellipsoid ***");
  if (!r.status.ok()) {
    lines.push_back("  No ellipsoid: " + r.status.message());
    return lines;
  }
  const Ellipsoid& e = r.estimate;
  lines.push_back("  Sections = " + std::to_string(e.scales.size()));
  lines.push_back("  X      = " + f(e.x));
  lines.push_back("  Y      = " + f(e.y));
  lines.push_back("  Z      = " + f(e.z));
  lines.push_back("  X/Y    = " + f(e.x / e.y));
  lines.push_back("  Y/Z    = " + f(e.y / e.z));
  lines.push_back("  X/Z    = " + f(e.x / e.z));
  constexpr const char* kAxisNames[] = {"X", "Y", "Z"};
  for (std::size_t i = 0; i < 3; ++i) {
    lines.push_back(std::string("  ") + kAxisNames[i] +
                    " axis: trend = " + Angle(e.axes[i].trend, sep) +
                    ", plunge = " + Angle(e.axes[i].plunge, sep));
  }
  lines.push_back("  k      = " + KText(e.k, sep, false) + " (Flinn)");
  lines.push_back("  nu     = " +
                  (e.nu ? NuText(*e.nu, sep, false)
                        : std::string("undefined (no strain)")) +
                  " (Lode)");
  lines.push_back("  eps_s  = " + f(e.eps_s) + " (octahedral shear strain)");
  lines.push_back("  Incompatibility = " +
                  FormatFixed(e.incompatibility, 6, 4, sep));

  lines.emplace_back();
  std::string heading = "** 95% Confidence Limits";
  if (r.resamples > 0) {
    heading +=
        " (" + std::to_string(r.resamples) + " resamples of each section";
    if (r.failed > 0) {
      heading += ", " + std::to_string(r.resamples - r.failed) + " fitted";
    }
    heading += ")";
  }
  lines.push_back(heading + " **");
  if (!r.has_limits) {
    lines.emplace_back("  Not computed.");
  } else {
    lines.push_back("  X/Y: " + Range(l(r.xy.low), l(r.xy.high)));
    lines.push_back("  Y/Z: " + Range(l(r.yz.low), l(r.yz.high)));
    lines.push_back(
        "  k: " + Range(KText(r.k.low, sep, true), KText(r.k.high, sep, true)));
    if (std::isnan(r.nu.low)) {
      lines.emplace_back("  nu: undefined (no strain)");
    } else {
      lines.push_back("  nu: " + Range(NuText(r.nu.low, sep, true),
                                       NuText(r.nu.high, sep, true)));
    }
    lines.push_back("  eps_s: " + Range(l(r.eps_s.low), l(r.eps_s.high)));
    lines.push_back("  Cones of the axes (semi-angle, degrees): X = " +
                    Angle(r.cones[0], sep) + ", Y = " + Angle(r.cones[1], sep) +
                    ", Z = " + Angle(r.cones[2], sep));
  }
  for (const std::string& w : r.warnings) lines.push_back("  Warning: " + w);
  return lines;
}

}  // namespace orvane

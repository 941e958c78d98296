// SPDX-License-Identifier: MIT
#include "cli/methods_json.h"

#include <string>

#include "cli/json_report.h"
#include "core/centre_report.h"

namespace orvane::cli {
namespace {

void Figure(BufferedOutput& out, const char* key, float v) {
  WriteJsonKey(out, key);
  WriteJsonFloat(out, v);
}

}  // namespace

void WriteJsonMethods(BufferedOutput& out, const MethodsSummary& m) {
  out.Put('{');
  WriteJsonKey(out, "R_s", true);
  WriteJsonFloat(out, m.hyperbolic_ratio);
  Figure(out, "phi_s", m.hyperbolic_phi);
  WriteJsonKey(out, "axial_phi");
  if (m.axial_defined) {
    WriteJsonFloat(out, m.axial_phi);
  } else {
    out.Put("null");
  }
  Figure(out, "axial_length", m.axial_resultant_length);
  Figure(out, "harmonic_R", m.harmonic_ratio);
  Figure(out, "Rf_max", m.ratio_max);
  Figure(out, "Rf_min", m.ratio_min);
  Figure(out, "F", m.fluctuation);
  WriteJsonKey(out, "F_below_90");
  out.Put(m.fluctuation_below_90 ? "true" : "false");
  Figure(out, "ramsay_R_s", m.ramsay_strain_ratio);
  Figure(out, "ramsay_R_i", m.ramsay_initial_ratio);

  const UniformityTest& u = m.uniformity;
  WriteJsonKey(out, "uniformity");
  out.Put('{');
  WriteJsonKey(out, "classes", true);
  out.Put(u.made() ? std::to_string(u.classes) : "null");
  WriteJsonKey(out, "df");
  out.Put(u.made() ? std::to_string(u.degrees_of_freedom) : "null");
  WriteJsonKey(out, "chi2");
  if (u.made()) {
    WriteJsonFloat(out, u.chi_square);
  } else {
    out.Put("null");
  }
  WriteJsonKey(out, "critical");
  if (u.made()) {
    WriteJsonFloat(out, u.critical_value);
  } else {
    out.Put("null");
  }
  WriteJsonKey(out, "result");
  WriteJsonString(out, UniformityResult(u));
  WriteJsonKey(out, "reason");
  WriteJsonString(out, UniformityOmissionText(u.omission));
  out.Put("}}");
}

void WriteJsonCentreStrain(BufferedOutput& out, const CentreStrainResult& r) {
  const bool estimated = r.status.ok();
  auto figure = [&out](const char* key, bool present, double v) {
    WriteJsonKey(out, key);
    if (present) {
      WriteJsonFloat(out, static_cast<float>(v));
    } else {
      out.Put("null");
    }
  };
  out.Put('{');
  WriteJsonKey(out, "method", true);
  WriteJsonString(out, CentreMethodName(r.method));
  const bool ratio_limits =
      estimated && r.outcome != CentreLimitsOutcome::kNotRun;
  const bool phi_limits =
      estimated && r.outcome == CentreLimitsOutcome::kLimits;
  figure("R", estimated, r.estimate.ratio);
  figure("phi", estimated, r.estimate.phi);
  figure("R_min", ratio_limits, r.ratio_min);
  figure("R_max", ratio_limits, r.ratio_max);
  figure("phi_min", phi_limits, r.phi_min);
  figure("phi_max", phi_limits, r.phi_max);
  WriteJsonKey(out, "pairs");
  out.Put(estimated ? std::to_string(r.pairs) : "null");
  WriteJsonKey(out, "resamples");
  out.Put(std::to_string(r.bootstrap.resamples));
  WriteJsonKey(out, "seed");
  out.Put(std::to_string(r.bootstrap.seed));
  WriteJsonKey(out, "outcome");
  WriteJsonString(out, CentreOutcomeName(r));
  if (estimated && r.selection_factor > 0) {
    figure("selection_factor", true, r.selection_factor);
  }
  WriteJsonWarnings(out, r.warnings);
  if (!estimated) {
    WriteJsonKey(out, "error");
    WriteJsonString(out, r.status.message());
  }
  out.Put('}');
}

}  // namespace orvane::cli

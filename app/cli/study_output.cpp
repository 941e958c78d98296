// SPDX-License-Identifier: MIT
#include "cli/study_output.h"

#include <charconv>
#include <cmath>
#include <string>

#include "cli/json_report.h"
#include "core/analysis.h"

namespace orvane::cli {
namespace {

// The shortest decimal that reads back to `v`; null if not finite. The
// ellipsoid is fitted in double precision, so its figures keep it.
void WriteJsonDouble(BufferedOutput& out, double v) {
  if (!std::isfinite(v)) {
    out.Put("null");
    return;
  }
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  out.Put(std::string_view(text, end - text));
}

void WriteVector(BufferedOutput& out, const Vector3& v) {
  out.Put('[');
  for (int i = 0; i < 3; ++i) {
    if (i > 0) out.Put(',');
    WriteJsonDouble(out, v[i]);
  }
  out.Put(']');
}

void WriteInterval(BufferedOutput& out, const char* key, const Interval& i) {
  WriteJsonKey(out, key);
  out.Put('[');
  WriteJsonDouble(out, i.low);
  out.Put(',');
  WriteJsonDouble(out, i.high);
  out.Put(']');
}

}  // namespace

std::vector<std::string> StudyReportLines(const StudyResult& result,
                                          std::string_view sep) {
  std::vector<std::string> lines;
  const std::size_t count = result.sections.size();
  for (std::size_t i = 0; i < count; ++i) {
    const SectionResult& section = result.sections[i];
    lines.push_back("##### Section " + std::to_string(i + 1) + " of " +
                    std::to_string(count) + ": " + section.name);
    if (!section.status.ok()) {
      lines.push_back(section.status.message());
    } else {
      for (const std::string& line : section.report.Lines()) {
        lines.push_back(line);
      }
    }
    lines.emplace_back();
  }
  for (std::string& line : EllipsoidReportLines(result.ellipsoid, sep)) {
    lines.push_back(std::move(line));
  }
  return lines;
}

void WriteJsonEllipsoid(BufferedOutput& out, const EllipsoidResult& r) {
  out.Put('{');
  if (!r.status.ok()) {
    WriteJsonKey(out, "error", true);
    WriteJsonString(out, r.status.message());
    out.Put('}');
    return;
  }
  const Ellipsoid& e = r.estimate;
  WriteJsonKey(out, "X", true);
  WriteJsonDouble(out, e.x);
  WriteJsonKey(out, "Y");
  WriteJsonDouble(out, e.y);
  WriteJsonKey(out, "Z");
  WriteJsonDouble(out, e.z);
  WriteJsonKey(out, "axes");
  out.Put('[');
  for (int i = 0; i < 3; ++i) {
    if (i > 0) out.Put(',');
    out.Put('{');
    WriteJsonKey(out, "vector", true);
    WriteVector(out, e.axes[i].vector);
    WriteJsonKey(out, "trend");
    WriteJsonDouble(out, e.axes[i].trend);
    WriteJsonKey(out, "plunge");
    WriteJsonDouble(out, e.axes[i].plunge);
    out.Put('}');
  }
  out.Put(']');
  WriteJsonKey(out, "k");
  WriteJsonDouble(out, e.k);
  WriteJsonKey(out, "nu");
  if (e.nu) {
    WriteJsonDouble(out, *e.nu);
  } else {
    out.Put("null");
  }
  WriteJsonKey(out, "eps_s");
  WriteJsonDouble(out, e.eps_s);
  WriteJsonKey(out, "incompatibility");
  WriteJsonDouble(out, e.incompatibility);
  WriteJsonKey(out, "sections");
  out.Put(std::to_string(e.scales.size()));
  WriteJsonKey(out, "resamples");
  out.Put(std::to_string(r.resamples));
  WriteJsonKey(out, "failed");
  out.Put(std::to_string(r.failed));
  WriteJsonKey(out, "limits");
  if (r.has_limits) {
    out.Put('{');
    WriteJsonKey(out, "X/Y", true);
    out.Put('[');
    WriteJsonDouble(out, r.xy.low);
    out.Put(',');
    WriteJsonDouble(out, r.xy.high);
    out.Put(']');
    WriteInterval(out, "Y/Z", r.yz);
    WriteInterval(out, "k", r.k);
    WriteInterval(out, "nu", r.nu);
    WriteInterval(out, "eps_s", r.eps_s);
    WriteJsonKey(out, "cones");
    WriteVector(out, r.cones);
    out.Put('}');
  } else {
    out.Put("null");
  }
  WriteJsonWarnings(out, r.warnings);
  out.Put('}');
}

void WriteJsonStudy(BufferedOutput& out, std::string_view file,
                    const Study& study, const StudyResult& result,
                    std::string_view sep) {
  out.Put('{');
  WriteJsonKey(out, "study", true);
  WriteJsonString(out, file);
  WriteJsonKey(out, "name");
  WriteJsonString(out, study.name);
  WriteJsonKey(out, "sections");
  out.Put('[');
  for (std::size_t i = 0; i < result.sections.size(); ++i) {
    const SectionResult& section = result.sections[i];
    if (i > 0) out.Put(',');
    out.Put('{');
    WriteJsonKey(out, "name", true);
    WriteJsonString(out, section.name);
    WriteJsonKey(out, "normal");
    WriteVector(out, section.plane.normal);
    WriteJsonKey(out, "reference");
    WriteVector(out, section.plane.reference);
    WriteJsonKey(out, "result");
    if (!section.status.ok()) {
      WriteJsonError(out, section.path, section.status.message());
    } else {
      WriteJsonResult(out, section.path, section.state, section.opened.analysis,
                      section.report, sep,
                      AnalysisWarnings(section.state, sep));
    }
    out.Put('}');
  }
  out.Put(']');
  WriteJsonKey(out, "ellipsoid");
  WriteJsonEllipsoid(out, result.ellipsoid);
  out.Put('}');
}

}  // namespace orvane::cli

#include "cli/json_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvane::cli {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) {
    return static_cast<unsigned char>(s[k]);
  };
  const unsigned c = byte(i);
  std::size_t len;
  unsigned min;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  unsigned cp = c & (0xFF >> (len + 1));
  for (std::size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendVector(std::string& out, const MinkowskiVector& x) {
  out += '[';
  for (int c = 0; c < 3; ++c) {
    if (c) out += ',';
    AppendJsonFloat(out, x[static_cast<std::size_t>(c)]);
  }
  out += ']';
}

void AppendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

void AppendField(std::string& out, const char* key, float v) {
  AppendKey(out, key);
  AppendJsonFloat(out, v);
  out += ',';
}

// {"R","ph","rh","ps","zt","x"}, the fields of a derived point.
void AppendPoint(std::string& out, const MarkerRecord& d) {
  out += '{';
  AppendField(out, "R", d.ratio);
  AppendField(out, "ph", d.phi);
  AppendField(out, "rh", d.rho);
  AppendField(out, "ps", d.psi);
  AppendField(out, "zt", d.zeta);
  AppendKey(out, "x");
  AppendVector(out, d.vector);
  out += '}';
}

void AppendMatrix(std::string& out, const MinkowskiMatrix& m) {
  out += '[';
  for (std::size_t r = 0; r < 3; ++r) {
    if (r) out += ',';
    AppendVector(out, m[r]);
  }
  out += ']';
}

const char* OutcomeName(ConfidenceOutcome o) {
  switch (o) {
    case ConfidenceOutcome::kLimits:
      return "limits";
    case ConfidenceOutcome::kNullStrain:
      return "null strain";
    case ConfidenceOutcome::kSurroundsOrigin:
      return "surrounds origin";
    case ConfidenceOutcome::kNotRun:
      break;
  }
  return "not run";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else if (const std::size_t len = Utf8Length(text, i); len > 0) {
      out.append(text.substr(i, len));
      i += len;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
    }
  }
  out += '"';
}

void AppendJsonFloat(std::string& out, float v) {
  if (!std::isfinite(v)) {
    out += "null";
    return;
  }
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

std::string JsonError(std::string_view file, std::string_view message) {
  std::string out = "{\"file\":";
  AppendJsonString(out, file);
  out += ",\"error\":";
  AppendJsonString(out, message);
  out += '}';
  return out;
}

std::string JsonResult(std::string_view file, const AnalysisState& state,
                       AnalysisResult result, const Report& report) {
  std::string out;
  out.reserve(256 + static_cast<std::size_t>(state.count) * 260);
  out += "{\"file\":";
  AppendJsonString(out, file);
  out += ",\"ndat\":";
  out += std::to_string(state.count);

  out += ",\"data\":[";
  for (std::int32_t i = 1; i <= state.count; ++i) {
    const MarkerRecord& d = state.measured[static_cast<std::size_t>(i)];
    if (i > 1) out += ',';
    out += '{';
    AppendField(out, "a", d.major);
    AppendField(out, "b", d.minor);
    AppendField(out, "ph", d.phi);
    AppendField(out, "R", d.ratio);
    AppendField(out, "rh", d.rho);
    AppendField(out, "ps", d.psi);
    AppendField(out, "zt", d.zeta);
    AppendKey(out, "x");
    AppendVector(out, d.vector);
    out += '}';
  }
  out += "],\"pre\":[";
  for (std::int32_t i = 1; i <= state.count; ++i) {
    if (i > 1) out += ',';
    AppendPoint(out, state.retrodeformed[static_cast<std::size_t>(i)]);
  }
  out += "],\"strain\":";
  AppendPoint(out, state.strain);
  out += ",\"Q_I2F\":";
  AppendMatrix(out, state.pre_to_post);
  out += ",\"Q_F2I\":";
  AppendMatrix(out, state.post_to_pre);

  out += ",\"bootstrap\":";
  if (result != AnalysisResult::kBootstrapped) {
    out += "null";
  } else {
    out += "{\"solutions\":[";
    for (int k = 1; k <= kBootstrapResamples; ++k) {
      const BootstrapSolution& b = state.solutions[static_cast<std::size_t>(k)];
      if (k > 1) out += ',';
      out += "{\"x\":";
      AppendVector(out, b.vector);
      out += ",\"dist\":";
      AppendJsonFloat(out, b.distance);
      out += '}';
    }
    out += "],\"outcome\":";
    AppendJsonString(out, OutcomeName(state.outcome));
    out += ",\"kept\":[";
    bool first = true;
    for (const BootstrapSolution& b : state.kept) {
      if (!first) out += ',';
      first = false;
      out += '{';
      AppendField(out, "rh", b.rho);
      AppendField(out, "ps", b.psi);
      AppendKey(out, "dist");
      AppendJsonFloat(out, b.distance);
      out += '}';
    }
    out += "]}";
  }

  out += ",\"report\":[";
  bool first = true;
  for (const std::string& line : report.Lines()) {
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, line);
  }
  out += "],\"status\":[";
  AppendJsonString(out, "N : " + std::to_string(state.count));
  out += ',';
  AppendJsonString(out, state.limits_summary);
  out += "]}";
  return out;
}

}  // namespace orvane::cli

#include "cli/json_report.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

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

// The longest shortest decimal of a single is 15 bytes ("-1.17549435e-38").
constexpr std::size_t kMaxFloatBytes = 24;

// Writes a record of known greatest length straight into the output's
// buffer, with no test of the room left for each piece.
class InPlace {
 public:
  InPlace(BufferedOutput& out, std::size_t most)
      : out_(out), p_(out.Reserve(most)) {}
  InPlace(const InPlace&) = delete;
  InPlace& operator=(const InPlace&) = delete;
  ~InPlace() { out_.Commit(p_); }

  template <std::size_t N>
  void Text(const char (&text)[N]) {
    std::memcpy(p_, text, N - 1);
    p_ += N - 1;
  }
  void Char(char c) { *p_++ = c; }
  void Float(float v) {
    if (!std::isfinite(v)) {
      Text("null");
    } else {
      p_ = std::to_chars(p_, p_ + kMaxFloatBytes, v).ptr;
    }
  }
  void Vector(const MinkowskiVector& x) {
    Char('[');
    Float(x[0]);
    Char(',');
    Float(x[1]);
    Char(',');
    Float(x[2]);
    Char(']');
  }

 private:
  BufferedOutput& out_;
  char* p_;
};

// The room a record of `floats` values and `text` other bytes needs.
constexpr std::size_t RecordBytes(std::size_t floats, std::size_t text) {
  return floats * kMaxFloatBytes + text;
}

void AppendVector(BufferedOutput& out, const MinkowskiVector& x) {
  out.Put('[');
  for (int c = 0; c < 3; ++c) {
    if (c) out.Put(',');
    WriteJsonFloat(out, x[static_cast<std::size_t>(c)]);
  }
  out.Put(']');
}

void AppendKey(BufferedOutput& out, const char* key) {
  out.Put('"');
  out.Put(key);
  out.Put("\":");
}

void AppendField(BufferedOutput& out, const char* key, float v) {
  AppendKey(out, key);
  WriteJsonFloat(out, v);
  out.Put(',');
}

// {"R","ph","rh","ps","zt","x"}, the fields of a derived point, after a
// comma when `comma`.
void AppendPoint(BufferedOutput& out, const MarkerRecord& d,
                 bool comma = false) {
  InPlace w(out, RecordBytes(8, 64));
  if (comma) w.Char(',');
  w.Text("{\"R\":");
  w.Float(d.ratio);
  w.Text(",\"ph\":");
  w.Float(d.phi);
  w.Text(",\"rh\":");
  w.Float(d.rho);
  w.Text(",\"ps\":");
  w.Float(d.psi);
  w.Text(",\"zt\":");
  w.Float(d.zeta);
  w.Text(",\"x\":");
  w.Vector(d.vector);
  w.Char('}');
}

// {"a","b","ph","R","rh","ps","zt","x"}, the fields of a measured datum,
// after a comma when `comma`.
void AppendDatum(BufferedOutput& out, const MarkerRecord& d, bool comma) {
  InPlace w(out, RecordBytes(10, 80));
  if (comma) w.Char(',');
  w.Text("{\"a\":");
  w.Float(d.major);
  w.Text(",\"b\":");
  w.Float(d.minor);
  w.Text(",\"ph\":");
  w.Float(d.phi);
  w.Text(",\"R\":");
  w.Float(d.ratio);
  w.Text(",\"rh\":");
  w.Float(d.rho);
  w.Text(",\"ps\":");
  w.Float(d.psi);
  w.Text(",\"zt\":");
  w.Float(d.zeta);
  w.Text(",\"x\":");
  w.Vector(d.vector);
  w.Char('}');
}

void AppendMatrix(BufferedOutput& out, const MinkowskiMatrix& m) {
  out.Put('[');
  for (std::size_t r = 0; r < 3; ++r) {
    if (r) out.Put(',');
    AppendVector(out, m[r]);
  }
  out.Put(']');
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

void WriteJsonString(BufferedOutput& out, std::string_view text) {
  out.Put('"');
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out.Put('\\');
      out.Put(static_cast<char>(c));
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out.Put(buf);
      ++i;
    } else if (c < 0x80) {
      out.Put(static_cast<char>(c));
      ++i;
    } else if (const std::size_t len = Utf8Length(text, i); len > 0) {
      out.Put(text.substr(i, len));
      i += len;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out.Put(buf);
      ++i;
    }
  }
  out.Put('"');
}

void WriteJsonFloat(BufferedOutput& out, float v) {
  InPlace(out, kMaxFloatBytes).Float(v);
}

void WriteJsonError(BufferedOutput& out, std::string_view file,
                    std::string_view message) {
  out.Put("{\"file\":");
  WriteJsonString(out, file);
  out.Put(",\"error\":");
  WriteJsonString(out, message);
  out.Put('}');
}

void WriteJsonResult(BufferedOutput& out, std::string_view file,
                     const AnalysisState& state, AnalysisResult result,
                     const Report& report,
                     const std::vector<std::string>& warnings) {
  out.Put("{\"file\":");
  WriteJsonString(out, file);
  out.Put(",\"ndat\":");
  out.Put(std::to_string(state.count));

  out.Put(",\"data\":[");
  for (std::int32_t i = 1; i <= state.count; ++i) {
    AppendDatum(out, state.measured[static_cast<std::size_t>(i)], i > 1);
  }
  out.Put("],\"pre\":[");
  for (std::int32_t i = 1; i <= state.count; ++i) {
    AppendPoint(out, state.retrodeformed[static_cast<std::size_t>(i)], i > 1);
  }
  out.Put("],\"strain\":");
  AppendPoint(out, state.strain);
  out.Put(",\"Q_I2F\":");
  AppendMatrix(out, state.pre_to_post);
  out.Put(",\"Q_F2I\":");
  AppendMatrix(out, state.post_to_pre);

  out.Put(",\"bootstrap\":");
  if (result != AnalysisResult::kBootstrapped) {
    out.Put("null");
  } else {
    out.Put("{\"solutions\":[");
    for (int k = 1; k <= kBootstrapResamples; ++k) {
      const BootstrapSolution& b = state.solutions[static_cast<std::size_t>(k)];
      if (k > 1) out.Put(',');
      out.Put("{\"x\":");
      AppendVector(out, b.vector);
      out.Put(",\"dist\":");
      WriteJsonFloat(out, b.distance);
      out.Put('}');
    }
    out.Put("],\"outcome\":");
    WriteJsonString(out, OutcomeName(state.outcome));
    out.Put(",\"kept\":[");
    bool first = true;
    for (const BootstrapSolution& b : state.kept) {
      if (!first) out.Put(',');
      first = false;
      out.Put('{');
      AppendField(out, "rh", b.rho);
      AppendField(out, "ps", b.psi);
      AppendKey(out, "dist");
      WriteJsonFloat(out, b.distance);
      out.Put('}');
    }
    out.Put("]}");
  }

  out.Put(",\"report\":[");
  bool first = true;
  for (const std::string& line : report.Lines()) {
    if (!first) out.Put(',');
    first = false;
    WriteJsonString(out, line);
  }
  out.Put("],\"status\":[");
  WriteJsonString(out, "N : " + std::to_string(state.count));
  out.Put(',');
  WriteJsonString(out, state.limits_summary);
  out.Put(']');
  if (!warnings.empty()) {
    out.Put(",\"warnings\":[");
    for (std::size_t i = 0; i < warnings.size(); ++i) {
      if (i > 0) out.Put(',');
      WriteJsonString(out, warnings[i]);
    }
    out.Put(']');
  }
  out.Put('}');
}

}  // namespace orvane::cli

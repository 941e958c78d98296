// SPDX-License-Identifier: MIT
#include "cli/json_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "cli/methods_json.h"
#include "core/analysis_report.h"
#include "core/parallel.h"
#include "core/utf8_text.h"

namespace orvane::cli {
namespace {

// The longest shortest decimal of a single is 15 bytes ("-1.17549435e-38").
constexpr std::size_t kMaxFloatBytes = 24;

// Writes text of known greatest length from `p` on, with no test of the
// room left for each piece.
class RecordWriter {
 public:
  explicit RecordWriter(char* p) : p_(p) {}
  char* end() const { return p_; }

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
  // A double (a centroid, an area), the shortest decimal that reads back
  // to it; a double needs at most kMaxFloatBytes too.
  void Double(double v) {
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
  char* p_;
};

// The room a record of `floats` values and `text` other bytes needs.
constexpr std::size_t RecordBytes(std::size_t floats, std::size_t text) {
  return floats * kMaxFloatBytes + text;
}

// {"R","ph","rh","ps","zt","x"}, the fields of a derived point, after a
// comma when `comma`; at most kPointBytes.
constexpr std::size_t kPointBytes = RecordBytes(8, 64);
char* FormatPoint(char* p, const MarkerRecord& d, bool comma) {
  RecordWriter w(p);
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
  return w.end();
}

// {"a","b","ph","R","rh","ps","zt","x"}, the fields of a measured datum,
// and "centroid" and "area" where the data give datum i's, after a comma
// when `comma`; at most kDatumBytes.
constexpr std::size_t kDatumBytes = RecordBytes(13, 110);
char* FormatDatum(char* p, const MarkerRecord& d, const MarkerPlaces& places,
                  std::size_t i, bool comma) {
  RecordWriter w(p);
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
  if (places.HasCentroids()) {
    w.Text(",\"centroid\":[");
    w.Double(places.x[i]);
    w.Char(',');
    w.Double(places.y[i]);
    w.Char(']');
  }
  if (places.HasAreas()) {
    w.Text(",\"area\":");
    w.Double(places.area[i]);
  }
  w.Char('}');
  return w.end();
}

// Records per batch when two threads share the formatting.
constexpr std::size_t kBatchRecords = 8192;

// Writes records 1..count, comma-separated, each by `format(p, i)` (record
// i from p on, after a comma when i > 1) in at most `most` bytes. Large arrays
// are formatted in pairs of batches, the second of each pair on a helper
// thread, and written in order: the text is the same, and takes at most two
// batches beside the output's buffer. Should the batches not be had, the
// records are written one by one; should the thread not be had, this thread
// formats both batches.
template <typename Format>
void AppendRecords(BufferedOutput& out, std::int32_t count, Format format,
                   std::size_t most) {
  const auto n = static_cast<std::size_t>(count);
  auto serial = [&](std::size_t first) {
    for (std::size_t i = first; i <= n; ++i) {
      out.Commit(format(out.Reserve(most), i));
    }
  };
  if (ThreadsFor(static_cast<std::int64_t>(n),
                 static_cast<std::int64_t>(kBatchRecords)) < 2) {
    return serial(1);
  }
  std::unique_ptr<char[]> batch[2];
  try {
    batch[0].reset(new char[kBatchRecords * most]);
    batch[1].reset(new char[kBatchRecords * most]);
  } catch (const std::bad_alloc&) {
    return serial(1);
  }
  auto format_batch = [&](char* p, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
      p = format(p, i);
    }
    return p;
  };
  for (std::size_t first = 1; first <= n; first += 2 * kBatchRecords) {
    const std::size_t middle = std::min(first + kBatchRecords, n + 1);
    const std::size_t last = std::min(middle + kBatchRecords, n + 1);
    char* first_end = batch[0].get();
    char* second_end = batch[1].get();
    RunSideBySide(
        true, [&] { first_end = format_batch(batch[0].get(), first, middle); },
        [&] { second_end = format_batch(batch[1].get(), middle, last); });
    out.Put(std::string_view(
        batch[0].get(), static_cast<std::size_t>(first_end - batch[0].get())));
    out.Put(std::string_view(
        batch[1].get(), static_cast<std::size_t>(second_end - batch[1].get())));
  }
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

void AppendPoint(BufferedOutput& out, const MarkerRecord& d) {
  out.Commit(FormatPoint(out.Reserve(kPointBytes), d, false));
}

void AppendMatrix(BufferedOutput& out, const MinkowskiMatrix& m) {
  out.Put('[');
  for (std::size_t r = 0; r < 3; ++r) {
    if (r) out.Put(',');
    AppendVector(out, m[r]);
  }
  out.Put(']');
}

}  // namespace

void WriteJsonString(BufferedOutput& out, std::string_view text) {
  // A name that is not UTF-8 keeps its bytes as "\\xff" (JSON for \xff),
  // so that the JSON stays UTF-8 and still tells the file.
  if (!IsValidUtf8(text)) {
    WriteJsonString(out, EscapeInvalidUtf8(text));
    return;
  }
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
    } else {
      // ASCII, or a whole well-formed sequence.
      const std::size_t len = c < 0x80 ? 1 : Utf8SequenceLength(text, i);
      out.Put(text.substr(i, len));
      i += len;
    }
  }
  out.Put('"');
}

void WriteJsonWarnings(BufferedOutput& out,
                       const std::vector<std::string>& warnings) {
  if (warnings.empty()) return;
  out.Put(",\"warnings\":[");
  for (std::size_t i = 0; i < warnings.size(); ++i) {
    if (i > 0) out.Put(',');
    WriteJsonString(out, warnings[i]);
  }
  out.Put(']');
}

void WriteJsonKey(BufferedOutput& out, const char* key, bool first) {
  if (!first) out.Put(',');
  out.Put('"');
  out.Put(key);
  out.Put("\":");
}

void WriteJsonFloat(BufferedOutput& out, float v) {
  RecordWriter w(out.Reserve(kMaxFloatBytes));
  w.Float(v);
  out.Commit(w.end());
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
                     const Report& report, std::string_view sep,
                     const std::vector<std::string>& warnings,
                     const MethodsSummary* methods,
                     const CentreStrainResult* centres) {
  out.Put("{\"file\":");
  WriteJsonString(out, file);
  out.Put(",\"ndat\":");
  out.Put(std::to_string(state.count));

  out.Put(",\"data\":[");
  AppendRecords(
      out, state.count,
      [&state](char* p, std::size_t i) {
        return FormatDatum(p, state.measured[i], state.places, i, i > 1);
      },
      kDatumBytes);
  out.Put("],\"pre\":[");
  AppendRecords(
      out, state.count,
      [&state](char* p, std::size_t i) {
        return FormatPoint(p, state.retrodeformed[i], i > 1);
      },
      kPointBytes);
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
    const int resamples = static_cast<int>(state.solutions.size()) - 1;
    for (int k = 1; k <= resamples; ++k) {
      const BootstrapSolution& b = state.solutions[static_cast<std::size_t>(k)];
      if (k > 1) out.Put(',');
      out.Put("{\"x\":");
      AppendVector(out, b.vector);
      out.Put(",\"dist\":");
      WriteJsonFloat(out, b.distance);
      out.Put('}');
    }
    out.Put("],\"outcome\":");
    WriteJsonString(out, ConfidenceOutcomeName(state.outcome));
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
    out.Put(']');
    if (!state.bootstrap.IsDefault()) {
      out.Put(",\"resamples\":" + std::to_string(state.bootstrap.resamples) +
              ",\"seed\":" + std::to_string(state.bootstrap.seed));
    }
    out.Put('}');
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
  WriteJsonString(out, LimitsSummary(state, sep));
  out.Put(']');
  WriteJsonWarnings(out, warnings);
  if (methods != nullptr) {
    out.Put(",\"methods\":");
    WriteJsonMethods(out, *methods);
  }
  if (centres != nullptr) {
    out.Put(",\"centre_strain\":");
    WriteJsonCentreStrain(out, *centres);
  }
  out.Put('}');
}

}  // namespace orvane::cli

// SPDX-License-Identifier: MIT
#include "io/results_csv.h"

#include <cmath>
#include <cstring>

#include "core/centre_report.h"
#include "core/number_format.h"
#include "core/utf8_text.h"

namespace orvane {
namespace {

void AppendNumber(std::string& line, float v) {
  line.append(FormatShortest(v).view());
}

// A limit as the single nearest to the extended value of the report.
void AppendLimit(std::string& line, long double v) {
  AppendNumber(line, static_cast<float>(v));
}

// The figures after the file's name: N, R_s, phi_s, the four limits and the
// outcome, each preceded by `before`.
template <typename Before>
void AppendFigures(std::string& line, const AnalysisState& state,
                   Before before) {
  before("N");
  line.append(std::to_string(state.count));
  before("R_s");
  AppendNumber(line, state.strain.ratio);
  before("phi_s");
  AppendNumber(line, state.strain.phi);
  const bool limits = state.outcome == ConfidenceOutcome::kLimits;
  before("R_min");
  if (limits) AppendLimit(line, state.limits.ratio_min);
  before("R_max");
  if (limits) AppendLimit(line, state.limits.ratio_max);
  before("phi_min");
  if (limits) AppendLimit(line, state.limits.phi_min);
  before("phi_max");
  if (limits) AppendLimit(line, state.limits.phi_max);
  before("outcome");
  line.append(ConfidenceOutcomeName(state.outcome));
}

// The bootstrap settings when they are not the defaults and the figures
// depend on them, else empty.
std::string SettingsNote(const AnalysisState& state) {
  const bool drawn = state.outcome == ConfidenceOutcome::kLimits ||
                     state.outcome == ConfidenceOutcome::kSurroundsOrigin;
  if (!drawn || state.bootstrap.IsDefault()) return {};
  return BootstrapSettingsText(state.bootstrap);
}

}  // namespace

void AppendCsvField(std::string& line, std::string_view text) {
  // A file name that is not UTF-8 is written as the JSON writes it.
  if (!IsValidUtf8(text)) {
    AppendCsvField(line, EscapeInvalidUtf8(text));
    return;
  }
  // A '#' anywhere is quoted too: readers told that '#' starts a comment
  // (pandas' comment="#", R's comment.char) cut an unquoted field there,
  // and with it the row's figures.
  if (text.find_first_of(",\"\r\n#") == std::string_view::npos) {
    line.append(text);
    return;
  }
  line.push_back('"');
  for (const char c : text) {
    if (c == '"') line.push_back('"');
    line.push_back(c);
  }
  line.push_back('"');
}

std::string SummaryCsvRow(std::string_view file, const AnalysisState& state,
                          std::string_view message) {
  std::string line;
  AppendCsvField(line, file);
  AppendFigures(line, state, [&line](const char*) { line.push_back(','); });
  line.push_back(',');
  if (const std::string note = SettingsNote(state); !note.empty()) {
    AppendCsvField(line,
                   message.empty() ? note : note + "; " + std::string(message));
  } else {
    AppendCsvField(line, message);
  }
  line.push_back('\n');
  return line;
}

std::string RefusedCsvRow(std::string_view file, std::string_view message) {
  std::string line;
  AppendCsvField(line, file);
  line.append(",,,,,,,,");
  line.append(kRefusedOutcome);
  line.push_back(',');
  AppendCsvField(line, message);
  line.push_back('\n');
  return line;
}

std::string CentreCsvFields(const CentreStrainResult* r) {
  std::string line;
  if (r == nullptr) {
    line.append(",,,,,,,,,");
    line.append(kRefusedOutcome);
    line.push_back(',');
    return line;
  }
  auto figure = [&line](double v) {
    line.push_back(',');
    line.append(FormatShortest(static_cast<float>(v)).view());
  };
  auto empty = [&line](int fields) { line.append(fields, ','); };
  line.push_back(',');
  line.append(CentreMethodName(r->method));
  const bool estimated = r->status.ok();
  if (estimated) {
    figure(r->estimate.ratio);
    figure(r->estimate.phi);
  } else {
    empty(2);
  }
  if (estimated && r->outcome != CentreLimitsOutcome::kNotRun) {
    figure(r->ratio_min);
    figure(r->ratio_max);
  } else {
    empty(2);
  }
  if (estimated && r->outcome == CentreLimitsOutcome::kLimits) {
    figure(r->phi_min);
    figure(r->phi_max);
  } else {
    empty(2);
  }
  line.push_back(',');
  if (estimated) line.append(std::to_string(r->pairs));
  line.push_back(',');
  line.append(CentreOutcomeName(*r));
  line.push_back(',');
  std::string message = estimated ? "" : r->status.message();
  for (const std::string& w : r->warnings) {
    message += (message.empty() ? "" : "; ") + w;
  }
  AppendCsvField(line, message);
  return line;
}

bool WriteResultsCsv(std::string_view file, const AnalysisState& state,
                     const TextSink& sink, std::size_t piece_size) {
  std::string piece = "# file,";
  AppendCsvField(piece, file);
  AppendFigures(piece, state, [&piece](const char* name) {
    piece.append("\n# ");
    piece.append(name);
    piece.push_back(',');
  });
  piece.push_back('\n');
  if (!SettingsNote(state).empty()) {
    piece.append("# resamples," + std::to_string(state.bootstrap.resamples) +
                 "\n# seed," + std::to_string(state.bootstrap.seed) + "\n");
  }
  const MarkerPlaces& places = state.places;
  if (places.Empty()) {
    piece.append(kDataCsvHeader);
  } else {
    // The header without its line end, then the columns the data give.
    piece.append(kDataCsvHeader, std::strlen(kDataCsvHeader) - 1);
    if (places.HasCentroids()) piece.append(",x,y");
    if (places.HasAreas()) piece.append(",area");
    piece.push_back('\n');
  }
  piece.reserve(piece_size + 256);
  for (std::int32_t i = 1; i <= state.count; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    const MarkerRecord& d = state.measured[slot];
    const MarkerRecord& pre = state.retrodeformed[slot];
    piece.append(std::to_string(i));
    for (const float v :
         {d.major, d.minor, d.phi, d.ratio, pre.ratio, pre.phi}) {
      piece.push_back(',');
      AppendNumber(piece, v);
    }
    if (places.HasCentroids()) {
      for (const double v : {places.x[slot], places.y[slot]}) {
        piece.push_back(',');
        piece.append(FormatShortestDouble(v).view());
      }
    }
    if (places.HasAreas()) {
      piece.push_back(',');
      piece.append(FormatShortestDouble(places.area[slot]).view());
    }
    piece.push_back('\n');
    if (piece.size() >= piece_size) {
      if (!sink(piece)) return false;
      piece.clear();
    }
  }
  return piece.empty() || sink(piece);
}

std::string StudyCsvRow(std::string_view file, std::string_view name,
                        std::size_t sections, const EllipsoidResult& result,
                        std::string_view message) {
  std::string line;
  AppendCsvField(line, file);
  line.push_back(',');
  AppendCsvField(line, name);
  line.push_back(',');
  line.append(std::to_string(sections));
  auto figure = [&line](bool present, double v) {
    line.push_back(',');
    if (present && std::isfinite(v)) {
      line.append(FormatShortest(static_cast<float>(v)).view());
    }
  };
  const bool fitted = result.status.ok();
  const Ellipsoid& e = result.estimate;
  figure(fitted, e.x);
  figure(fitted, e.y);
  figure(fitted, e.z);
  figure(fitted, e.x / e.y);
  figure(fitted, e.y / e.z);
  for (const EllipsoidAxis& axis : e.axes) {
    figure(fitted, axis.trend);
    figure(fitted, axis.plunge);
  }
  figure(fitted, e.k);
  figure(fitted && e.nu.has_value(), e.nu.value_or(0));
  figure(fitted, e.eps_s);
  figure(fitted, e.incompatibility);
  const bool limits = fitted && result.has_limits;
  for (const Interval* i :
       {&result.xy, &result.yz, &result.k, &result.nu, &result.eps_s}) {
    figure(limits, i->low);
    figure(limits, i->high);
  }
  for (double cone : result.cones) figure(limits, cone);
  line.push_back(',');
  if (fitted) line.append(std::to_string(result.resamples));
  line.push_back(',');
  std::string text(message);
  if (!fitted && text.empty()) text = result.status.message();
  for (const std::string& w : result.warnings) {
    if (!text.empty()) text += "; ";
    text += w;
  }
  AppendCsvField(line, text);
  line.push_back('\n');
  return line;
}

}  // namespace orvane

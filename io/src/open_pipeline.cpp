// SPDX-License-Identifier: MIT
#include "io/open_pipeline.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <numeric>
#include <system_error>
#include <utility>
#include <vector>

#include "core/analysis_report.h"
#include "core/number_format.h"

namespace orvane {
namespace {

constexpr const char* kMessageNoData = "No data.";
constexpr const char* kMessageFewerThanFive = "Number of data < 5";

}  // namespace

void OpenFrontEnd::RunStage(OpenStage, StageProgress&,
                            const std::function<void()>& work) {
  work();
}

std::string FullPathOfFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  if (ec) return path;
  const fs::path normal = absolute.lexically_normal();
  if (fs::equivalent(normal, absolute, ec) && !ec) return normal.string();
  const fs::path canonical = fs::canonical(absolute, ec);
  return ec ? absolute.string() : canonical.string();
}

std::string OpenFrontEnd::ReportName(const std::string& path) {
  return path;
}

Status OpenFrontEnd::Load(const std::string& path, LoadedData& data,
                          const ReadProgress& progress) {
  return ReadDataFile(path, data, progress);
}

void OpenFrontEnd::Prepare(const AnalysisState&, const OpenResult&) {}

void OpenFrontEnd::OnRefused(const Status&) {}

void OpenFrontEnd::OnCommitted(const AnalysisState&) {}

void OpenFrontEnd::OnAnalysed(const AnalysisState&, const Report&,
                              const OpenResult&) {}

BootstrapSettings OpenFrontEnd::Bootstrap() {
  return BootstrapSettings{};
}

void CommitLoadedData(AnalysisState& state, LoadedData&& data) {
  state.count = data.count;
  state.measured = std::move(data.measured);
  state.places = std::move(data.places);
  state.reading_warnings = std::move(data.warnings);
  state.retrodeformed.assign(state.measured.size(), MarkerRecord{});
}

void WriteDataBlock(Report& report, const std::string& path, std::int32_t count,
                    const MarkerPlaces& places, std::string_view sep) {
  report.Clear();
  report.Append("*** Data ***");
  report.Append("  file = " + path);
  report.Append("  N    = " + std::to_string(count));
  if (count <= 0) return;
  // The least and largest of values[1..count], and their sum.
  auto range = [&](const std::vector<double>& values, const char* name,
                   bool total) {
    if (values.size() <= static_cast<std::size_t>(count)) return;
    const auto first = values.begin() + 1;
    const auto last = first + count;
    const auto [low, high] = std::minmax_element(first, last);
    std::string line = std::string("  ") + name + " = " +
                       FormatPlace(*low, sep) + " .. " +
                       FormatPlace(*high, sep);
    if (total) {
      line += ", total " +
              FormatPlace(
                  static_cast<double>(std::accumulate(first, last, 0.0L)), sep);
    }
    report.Append(line);
  };
  range(places.x, "x   ", false);
  range(places.y, "y   ", false);
  range(places.area, "area", true);
}

namespace {

// The results a rerun replaces, held whole to be put back when it does not
// finish: the state but for its data, which the rerun analyses again and
// keeps (moved aside for the copy, so that they are never copied).
class HeldResults {
 public:
  explicit HeldResults(AnalysisState& s) {
    Data data = TakeData(s);
    try {
      held_ = s;
    } catch (...) {
      PutData(s, std::move(data));
      throw;
    }
    PutData(s, std::move(data));
  }
  void PutBack(AnalysisState& s) {
    PutData(held_, TakeData(s));
    s = std::move(held_);
  }

 private:
  struct Data {
    std::vector<MarkerRecord> measured;
    std::vector<MarkerRecord> retrodeformed;
    MarkerPlaces places;
  };
  static Data TakeData(AnalysisState& s) {
    Data data{std::move(s.measured), std::move(s.retrodeformed),
              std::move(s.places)};
    s.measured.clear();
    s.retrodeformed.clear();
    s.places = MarkerPlaces();
    return data;
  }
  static void PutData(AnalysisState& s, Data&& data) {
    s.measured = std::move(data.measured);
    s.retrodeformed = std::move(data.retrodeformed);
    s.places = std::move(data.places);
  }

  AnalysisState held_;
};

Status OutOfMemory(std::int32_t count) {
  return Refusal(StatusCode::kOutOfMemory, count);
}

const Status& Cancelled() {
  static const Status cancelled(StatusCode::kCancelled, "Cancelled.");
  return cancelled;
}

}  // namespace

OpenResult RunOpen(OpenFrontEnd& front_end, AnalysisState& state,
                   Report& report, std::string& file_name,
                   std::string_view separator) {
  OpenResult result;
  auto refuse = [&](Status status) {
    result.status = std::move(status);
    front_end.OnRefused(result.status);
    return result;
  };

  const BootstrapSettings bootstrap = front_end.Bootstrap();
  if (Status checked = CheckBootstrapSettings(bootstrap); !checked.ok()) {
    return refuse(std::move(checked));
  }

  // A chosen file is analysed in a state of its own, which replaces the one
  // held only when everything has succeeded; a rerun works on the state
  // held and keeps its results to put back.
  AnalysisState fresh;
  AnalysisState* target = &state;
  std::optional<HeldResults> held;
  if (std::optional<std::string> chosen = front_end.ChooseFile()) {
    result.chosen = true;
    const std::string path = std::move(*chosen);
    file_name = front_end.ReportName(path);
    LoadedData data;
    StageProgress reading;
    front_end.RunStage(OpenStage::kRead, reading, [&] {
      result.status = front_end.Load(
          path, data, [&reading](std::uint64_t done, std::uint64_t total) {
            if (total > 0) {
              reading.SetFraction(static_cast<double>(done) /
                                  static_cast<double>(total));
            }
            return !reading.Cancelled();
          });
    });
    if (reading.Cancelled()) return refuse(Cancelled());
    if (!result.status.ok()) return refuse(result.status);
    const std::int32_t count = data.count;
    try {
      CommitLoadedData(fresh, std::move(data));
    } catch (const std::bad_alloc&) {
      return refuse(OutOfMemory(count));
    }
    target = &fresh;
  } else {
    try {
      held.emplace(state);
    } catch (const std::bad_alloc&) {
      return refuse(OutOfMemory(state.count));
    }
  }
  target->bootstrap = bootstrap;

  Report next_report;
  StageProgress analysing;
  bool out_of_memory = false;
  front_end.RunStage(OpenStage::kAnalyse, analysing, [&] {
    try {
      WriteDataBlock(next_report, file_name, target->count, target->places,
                     separator);
      result.analysis = RunAnalysis(*target, &analysing.Flag());
      WriteAnalysisReport(*target, result.analysis, next_report, separator);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
  });
  if (!out_of_memory && result.analysis != AnalysisResult::kCancelled &&
      !analysing.Cancelled()) {
    try {
      front_end.Prepare(*target, result);
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
  }
  if (out_of_memory || result.analysis == AnalysisResult::kCancelled ||
      analysing.Cancelled()) {
    if (held) held->PutBack(state);
    return refuse(out_of_memory ? OutOfMemory(target->count) : Cancelled());
  }

  if (result.chosen) state = std::move(fresh);
  report = std::move(next_report);
  if (result.chosen) front_end.OnCommitted(state);
  front_end.OnAnalysed(state, report, result);
  return result;
}

std::string AnalysisNotice(const OpenResult& result) {
  if (!result.status.ok()) return "";
  if (result.analysis == AnalysisResult::kNoData && result.chosen) {
    return kMessageNoData;
  }
  if (result.analysis == AnalysisResult::kFewerThanFive) {
    return kMessageFewerThanFive;
  }
  return "";
}

}  // namespace orvane

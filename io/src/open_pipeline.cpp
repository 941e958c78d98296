#include "io/open_pipeline.h"

#include <utility>

namespace orvane {
namespace {

constexpr const char* kMessageNoData = "No data.";
constexpr const char* kMessageFewerThanFive = "Number of data < 5";

}  // namespace

std::string OpenFrontEnd::ReportName(const std::string& path) {
  return path;
}

void OpenFrontEnd::RunStage(OpenStage, const std::function<void()>& work) {
  work();
}

void OpenFrontEnd::OnRefused(const Status&) {}

void OpenFrontEnd::OnCommitted(const AnalysisState&) {}

void OpenFrontEnd::OnAnalysed(const AnalysisState&, const Report&,
                              const OpenResult&) {}

void CommitLoadedData(AnalysisState& state, LoadedData&& data) {
  state.count = data.count;
  state.measured = std::move(data.measured);
  state.retrodeformed.assign(state.measured.size(), MarkerRecord{});
}

void WriteDataBlock(Report& report, const std::string& path,
                    std::int32_t count) {
  report.Clear();
  report.Append("*** Data ***");
  report.Append("  file = " + path);
  report.Append("  N    = " + std::to_string(count));
}

OpenResult RunOpen(OpenFrontEnd& front_end, AnalysisState& state,
                   Report& report, std::string& file_name,
                   std::string_view separator) {
  OpenResult result;
  if (std::optional<std::string> chosen = front_end.ChooseFile()) {
    result.chosen = true;
    file_name = front_end.ReportName(*chosen);
    // Nothing visible changes until both passes have accepted the file.
    LoadedData data;
    front_end.RunStage(OpenStage::kRead,
                       [&] { result.status = ReadDataFile(*chosen, data); });
    if (!result.status.ok()) {
      front_end.OnRefused(result.status);
      return result;
    }
    CommitLoadedData(state, std::move(data));
    front_end.OnCommitted(state);
  }
  // The analysis writes only the derived fields of the data, never the
  // values read from the file, so a front end may show those meanwhile.
  front_end.RunStage(OpenStage::kAnalyse, [&] {
    WriteDataBlock(report, file_name, state.count);
    result.analysis = RunAnalysis(state, report, separator);
  });
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

#include "io/open_data.h"

#include <utility>

namespace orvane {

void CommitLoadedData(AnalysisState& state, LoadedData&& data) {
  state.Ndat = data.Ndat;
  state.DatF = std::move(data.DatF);
  state.DatI.assign(state.DatF.size(), Tdata{});
}

void WriteDataBlock(Report& report, const std::string& path,
                    std::int32_t ndat) {
  report.Clear();
  report.Append("*** Data ***");
  report.Append("  file = " + path);
  report.Append("  N    = " + std::to_string(ndat));
}

std::string CountStatus(std::int32_t ndat) {
  return "N : " + std::to_string(ndat);
}

std::string DataCaption(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string name =
      slash == std::string::npos ? path : path.substr(slash + 1);
  return "Orvane  [ " + name + " ]";
}

OpenOutcome OpenDataFile(AnalysisState& state, Report& report,
                         const std::string& path, std::string_view sep) {
  LoadResult loaded = ReadDataFile(path);
  OpenOutcome outcome;
  if (!loaded.ok) {
    outcome.error = std::move(loaded.error);
    return outcome;
  }
  CommitLoadedData(state, std::move(loaded.data));
  return RerunOnHeldData(state, report, path, sep);
}

OpenOutcome RerunOnHeldData(AnalysisState& state, Report& report,
                            const std::string& path, std::string_view sep) {
  OpenOutcome outcome;
  outcome.loaded = true;
  WriteDataBlock(report, path, state.Ndat);
  outcome.analysis = RunAnalysis(state, report, sep);
  return outcome;
}

}  // namespace orvane

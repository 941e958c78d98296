// The Open command's pipeline, shared by the window and the command-line
// tool: choose a data file, read it (both passes), commit its data to the
// analysis state, analyse them, and report. The order of the stages and what
// each does to the analysis state and the report are fixed here; a front end
// says how a file is chosen, where long stages run and how each outcome is
// shown. A stage added here reaches both programs.
#ifndef ORVANE_IO_OPEN_PIPELINE_H_
#define ORVANE_IO_OPEN_PIPELINE_H_

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/analysis.h"
#include "core/analysis_state.h"
#include "core/report.h"
#include "core/status.h"
#include "io/data_file.h"

namespace orvane {

// The stages that may take long on large files.
enum class OpenStage {
  kRead,     // both passes over the file
  kAnalyse,  // the data block and the analysis
};

// What one Open ended with.
struct OpenResult {
  // A file was chosen; false when the choice was cancelled and the analysis
  // ran again on the data held.
  bool chosen = false;
  // Not ok: the chosen file was refused and nothing has changed.
  Status status;
  // When the status is ok: how far the analysis went.
  AnalysisResult analysis = AnalysisResult::kNoData;
};

// How a program takes part in an Open. Every hook but ChooseFile has a
// default that does nothing special.
class OpenFrontEnd {
 public:
  virtual ~OpenFrontEnd() = default;
  // The path of the chosen file, opened as it is, or nothing when the user
  // cancelled.
  virtual std::optional<std::string> ChooseFile() = 0;
  // The name the report gives the chosen file: its path itself unless a
  // front end says otherwise (the command-line tool opens a path as the
  // user typed it and names it by its full path).
  virtual std::string ReportName(const std::string& path);
  // Runs a long stage to its end before returning (the window puts large
  // files on a worker thread behind a progress indication).
  virtual void RunStage(OpenStage stage, const std::function<void()>& work);
  // The chosen file was refused; the state and the report are unchanged.
  virtual void OnRefused(const Status& status);
  // The new data have replaced those held (the grid, the count of data).
  virtual void OnCommitted(const AnalysisState& state);
  // The analysis has run; the report holds the data block and the results.
  virtual void OnAnalysed(const AnalysisState& state, const Report& report,
                          const OpenResult& result);
};

// Runs one Open. `file_name` is the current file name: replaced by the
// report name of the chosen file, or kept when the choice is cancelled
// (before any choice it is the preset name). A chosen file is read and, once
// accepted, replaces the data held; a cancelled choice keeps them. Then the
// report's data block is written for `file_name` and the analysis runs, with
// `separator` as the report's decimal separator. A refused file changes
// nothing.
OpenResult RunOpen(OpenFrontEnd& front_end, AnalysisState& state,
                   Report& report, std::string& file_name,
                   std::string_view separator);

// The notice an Open ends with, or empty: "No data." after a chosen file
// that held none, "Number of data < 5" when the bootstrap did not run.
std::string AnalysisNotice(const OpenResult& result);

// Replaces count, measured and retrodeformed (fresh, zeroed, count + 1
// records) by the loaded data.
void CommitLoadedData(AnalysisState& state, LoadedData&& data);

// Clears the report and writes its data block: "*** Data ***", the file's
// full path and the number of data.
void WriteDataBlock(Report& report, const std::string& path,
                    std::int32_t count);

}  // namespace orvane

#endif  // ORVANE_IO_OPEN_PIPELINE_H_

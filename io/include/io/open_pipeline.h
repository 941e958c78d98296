// SPDX-License-Identifier: MIT
// The Open command's pipeline, shared by the window and the command-line
// tool: choose a data file, read it, commit its data to the
// analysis state, analyse them, and report. The order of the stages and what
// each does to the analysis state and the report are fixed here; a front end
// says how a file is chosen, where long stages run and how each outcome is
// shown. A stage added here reaches both programs.
#ifndef ORVANE_IO_OPEN_PIPELINE_H_
#define ORVANE_IO_OPEN_PIPELINE_H_

#include <atomic>
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
  kRead,     // the reading of the file
  kAnalyse,  // the data block and the analysis
};

// Progress and cancellation of a long stage, shared between the thread that
// runs the stage and the front end that shows it.
class StageProgress {
 public:
  // The share done, 0 to 1, or below 0 while it is not known.
  double Fraction() const { return fraction_.load(std::memory_order_relaxed); }
  void SetFraction(double f) { fraction_.store(f, std::memory_order_relaxed); }
  // Asks the stage to stop; it ends soon after, and the Open changes nothing.
  void Cancel() { cancelled_.store(true); }
  bool Cancelled() const { return cancelled_.load(); }
  const CancelFlag& Flag() const { return cancelled_; }

 private:
  std::atomic<double> fraction_{-1.0};
  CancelFlag cancelled_{false};
};

// What one Open ended with.
struct OpenResult {
  // A file was chosen; false when the choice was cancelled and the analysis
  // ran again on the data held.
  bool chosen = false;
  // Not ok: the chosen file was refused, the memory ran out, or the user
  // cancelled (kCancelled); nothing of the state or the report has changed.
  Status status;
  // When the status is ok: how far the analysis went.
  AnalysisResult analysis = AnalysisResult::kNoData;
};

// How a program takes part in an Open. Every hook but ChooseFile has a
// default that does nothing special.

// The full path of the file that `path` names, for a report: its absolute,
// lexically normal form where that names the same file (as a file dialog
// gives it), else its canonical path. Dropping "link/.." without the system
// would name another file when "link" leads elsewhere: the system follows
// the link before the "..". Where neither can be had, the absolute path.
std::string FullPathOfFile(const std::string& path);

class OpenFrontEnd {
 public:
  virtual ~OpenFrontEnd() = default;
  // The path of the chosen file, opened as it is, or nothing when the user
  // cancelled.
  virtual std::optional<std::string> ChooseFile() = 0;
  // The name the report gives the chosen file: its path itself unless a
  // front end says otherwise (the command-line tool opens a path as the
  // user typed it and names it by FullPathOfFile).
  virtual std::string ReportName(const std::string& path);
  // Reads the chosen file into `data` (the read stage's work): the data
  // file loader, unless the front end reads another kind of file, as the
  // table import does.
  virtual Status Load(const std::string& path, LoadedData& data,
                      const ReadProgress& progress);
  // Runs a long stage to its end before returning (the window puts large
  // files on a worker thread behind a progress indication, whose Cancel
  // button calls progress.Cancel()). The default runs it at once.
  virtual void RunStage(OpenStage stage, StageProgress& progress,
                        const std::function<void()>& work);
  // Allocates what showing the analysed data needs (the window's chart
  // series), before anything is committed: a std::bad_alloc thrown here
  // ends the Open with "Not enough memory for n data." and no change.
  virtual void Prepare(const AnalysisState& next, const OpenResult& result);
  // The Open ended with no change: the chosen file was refused, the memory
  // ran out, or the user cancelled a stage (kCancelled).
  virtual void OnRefused(const Status& status);
  // The new data have replaced those held (the grid, the count of data).
  virtual void OnCommitted(const AnalysisState& state);
  // The analysis has run; the report holds the data block and the results.
  virtual void OnAnalysed(const AnalysisState& state, const Report& report,
                          const OpenResult& result);
  // How the bootstrap of this Open draws: the defaults unless the front end
  // says otherwise. Settings outside their limits refuse the Open before a
  // file is chosen.
  virtual BootstrapSettings Bootstrap();
};

// Runs one Open. `file_name` is the current file name: replaced by the
// report name of the chosen file, or kept when the choice is cancelled (before
// any choice it is the preset name). A chosen file is read and analysed, and
// only once every stage has succeeded do its data, results and report replace
// those held; a cancelled choice analyses the data held again. The report's
// data block names `file_name`; `separator` is the report's decimal separator.
// A refused file, a lack of memory or a cancelled stage changes nothing.
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
// full path and the number of data; then, for data that give them, where
// the markers lie and how large they are, each as its least and largest
// value ("  x    = 12.5 .. 980.1", "  y    = ...", and "  area = 2.1 ..
// 40.5, total 350.2"), in the decimal separator `sep`.
void WriteDataBlock(Report& report, const std::string& path, std::int32_t count,
                    const MarkerPlaces& places = {},
                    std::string_view sep = ".");

}  // namespace orvane

#endif  // ORVANE_IO_OPEN_PIPELINE_H_

// SPDX-License-Identifier: MIT
// The window's part in the Open pipeline, and what the window and its
// Open steps share. Internal to the window layer.
#ifndef ORVANE_WINDOW_OPEN_STEPS_H_
#define ORVANE_WINDOW_OPEN_STEPS_H_

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "chart/equal_area_chart.h"
#include "io/open_pipeline.h"
#include "window/grain_import_dialog.h"
#include "window/main_window.h"

namespace orvane {

// The title of the window and of its message boxes.
inline constexpr const char* kTitle = "Orvane";
// Plotting the chart needs about this much per datum.
inline constexpr qint64 kChartBytesPerDatum = 24;

// Puts the points of every series of the chart in order, the pre-strain
// data beside the others on a thread of their own where one is to be had.
void SortChartPoints(const EqualAreaChart& chart);

// The window's part in the Open pipeline: the dialog (or a file given at
// start), the progress indication for large files, and what each outcome
// shows.
class MainWindow::OpenSteps : public OpenFrontEnd {
 public:
  OpenSteps(MainWindow& window, const QString* preset)
      : window_(window), preset_(preset) {}
  // A measurement table, read with `layout`; the open dialog is left as it
  // is.
  OpenSteps(MainWindow& window, const QString& table, const TableLayout& layout)
      : window_(window), preset_(nullptr), imported_(table), layout_(&layout) {}
  // A file of grains (outlines or a label image), read as `grains` says.
  OpenSteps(MainWindow& window, const QString& file, const GrainImport& grains)
      : window_(window), preset_(nullptr), imported_(file), grains_(&grains) {}

  // The data held, analysed again with no dialog.
  struct Rerun {};
  OpenSteps(MainWindow& window, Rerun)
      : window_(window), preset_(nullptr), rerun_(true) {}

  std::optional<std::string> ChooseFile() override;

  std::string ReportName(const std::string&) override;

  Status Load(const std::string& path, LoadedData& data,
              const ReadProgress& progress) override;

  void RunStage(OpenStage stage, StageProgress& progress,
                const std::function<void()>& work) override;

  void RunStageWork(OpenStage stage, StageProgress& progress,
                    const std::function<void()>& work);

  // The chart of the new results is built before anything is committed, so
  // that a lack of memory leaves the chart shown as it was. Large data are
  // plotted, and their points put in order, on the worker: the window
  // keeps painting meanwhile.
  void Prepare(const AnalysisState& next, const OpenResult& result) override;

  void OnRefused(const Status& status) override;

  BootstrapSettings Bootstrap() override { return window_.bootstrap_settings_; }

  void OnCommitted(const AnalysisState& state) override;

  void OnAnalysed(const AnalysisState& state, const Report&,
                  const OpenResult& result) override;

 private:
  // The file read: the table or grains imported, or the data file opened;
  // without a
  // choice (a rerun, a cancelled Open) the source of the data held, or
  // before any data the name the open dialog offers.
  QString Chosen() const;

  // The chart built by Prepare replaces the one shown.
  void ShowPreparedChart();

  MainWindow& window_;
  const QString* preset_;
  // The table or the file of grains imported, read with `layout_` or
  // `grains_`.
  QString imported_;
  const TableLayout* layout_ = nullptr;
  const GrainImport* grains_ = nullptr;
  bool rerun_ = false;
  bool chose_ = false;  // a file was chosen (not a rerun or a cancel)
  std::optional<EqualAreaChart> prepared_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_OPEN_STEPS_H_

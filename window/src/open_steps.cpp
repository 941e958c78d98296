// SPDX-License-Identifier: MIT
#include "open_steps.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <new>

#include "core/analysis_report.h"
#include "core/parallel.h"
#include "io/table_import.h"
#include "timing_log.h"
#include "window/bootstrap_dialog.h"
#include "window/centres_page.h"
#include "window/chart_widget.h"
#include "window/data_grid.h"
#include "window/density_toggle.h"
#include "window/rf_phi_page.h"

namespace orvane {
namespace {

// The fewest points of the pre-strain data worth sorting on a thread of
// their own, beside the other series.
constexpr std::int64_t kSortedPointsPerThread = 20000;
// The analysis needs about this much work per datum as reading a file does
// per byte.
constexpr qint64 kAnalysisBytesPerDatum = 24;

// The caption for a data file: "Orvane  [ name ]", the name without its
// folder.
QString DataCaption(const QString& path) {
  return QString("Orvane  [ %1 ]").arg(QFileInfo(path).fileName());
}

}  // namespace

void SortChartPoints(const EqualAreaChart& chart) {
  const auto points = static_cast<std::int64_t>(chart.retrodeformed.Count());
  RunSideBySide(
      ThreadsFor(points, kSortedPointsPerThread) > 1,
      [&chart] {
        for (const PolarSeries* s : chart.SeriesList()) {
          if (s != &chart.retrodeformed) s->Points();
        }
      },
      [&chart] {
        try {
          chart.retrodeformed.Points();
        } catch (const std::bad_alloc&) {
          // Sorted in place then, below, with no buffer.
        }
      });
  chart.retrodeformed.Points();
}

std::optional<std::string> MainWindow::OpenSteps::ChooseFile() {
  if (rerun_) return std::nullopt;
  if (layout_ != nullptr || grains_ != nullptr) {
    chose_ = true;
    return imported_.toStdString();
  }
  if (preset_ != nullptr) {
    // The file is opened by the name given, so that "link/../x.txt"
    // reads what it names; the report and the dialog show its full path.
    const QString& given = *preset_;
    const QString opened =
        QDir::isAbsolutePath(given) ? given : QDir::currentPath() + '/' + given;
    window_.open_file_name_ = QFileInfo(given).absoluteFilePath();
    window_.open_dialog_->setDirectory(
        QFileInfo(window_.open_file_name_).absolutePath());
    window_.open_dialog_->selectFile(
        QFileInfo(window_.open_file_name_).fileName());
    chose_ = true;
    return opened.toStdString();
  }
  QFileDialog* dialog = window_.open_dialog_;
  if (dialog->exec() != QDialog::Accepted ||
      dialog->selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  window_.open_file_name_ = dialog->selectedFiles().first();
  chose_ = true;
  return window_.open_file_name_.toStdString();
}

std::string MainWindow::OpenSteps::ReportName(const std::string&) {
  return FullPathOfFile(Chosen().toStdString());
}

Status MainWindow::OpenSteps::Load(const std::string& path, LoadedData& data,
                                   const ReadProgress& progress) {
  if (grains_ != nullptr) return LoadGrains(path, *grains_, data);
  if (layout_ == nullptr) return OpenFrontEnd::Load(path, data, progress);
  return ImportTable(path, *layout_, data, progress);
}

void MainWindow::OpenSteps::RunStage(OpenStage stage, StageProgress& progress,
                                     const std::function<void()>& work) {
  TimingMark(stage == OpenStage::kRead ? "read: start" : "analysis: start");
  RunStageWork(stage, progress, work);
  TimingMark(stage == OpenStage::kRead ? "read: done" : "analysis: done");
}

void MainWindow::OpenSteps::RunStageWork(OpenStage stage,
                                         StageProgress& progress,
                                         const std::function<void()>& work) {
  if (stage == OpenStage::kRead) {
    window_.RunWork(work, QFileInfo(Chosen()).size(), "Reading the data…",
                    &progress);
  } else {
    // The bootstrap's share grows with the count of its resamples.
    const qint64 resamples = window_.bootstrap_settings_.resamples;
    window_.RunWork(work,
                    static_cast<qint64>(window_.state_.count) *
                        kAnalysisBytesPerDatum *
                        std::max<qint64>(1, resamples / kBootstrapResamples),
                    "Analysing the data…", &progress);
  }
}

void MainWindow::OpenSteps::Prepare(const AnalysisState& next,
                                    const OpenResult& result) {
  TimingMark("chart: build");
  prepared_.emplace(window_.chart_->Chart().WithoutData());
  bool out_of_memory = false;
  window_.RunWork(
      [&] {
        try {
          prepared_->ShowAnalysis(next, result.analysis);
          TimingMark("chart: plotted");
          SortChartPoints(*prepared_);
          TimingMark("chart: sorted");
        } catch (const std::bad_alloc&) {
          out_of_memory = true;
        }
      },
      static_cast<qint64>(next.count) * kChartBytesPerDatum,
      "Analysing the data…");
  if (!out_of_memory) window_.density_contours_->Apply(*prepared_, next);
  if (out_of_memory) {
    prepared_.reset();
    throw std::bad_alloc();
  }
  TimingMark("chart: built");
}

void MainWindow::OpenSteps::OnRefused(const Status& status) {
  // A cancelled stage needs no message: the user asked for it.
  if (status.code() == StatusCode::kCancelled) return;
  window_.ShowError(QString::fromStdString(status.message()));
}

void MainWindow::OpenSteps::OnCommitted(const AnalysisState& state) {
  TimingMark("grid: fill");
  window_.source_ = {Chosen(), FullPathOfFile(Chosen().toStdString())};
  window_.count_panel_->setText(QString("N : %1").arg(state.count));
  DataGrid& grid = *window_.grid_;
  grid.Model().SetData(&state.measured, state.count, window_.DecimalSeparator(),
                       &state.places);
  grid.Model().SetRowCount(state.count + 1);
  // The chart changes with the grid, before any event is handled: the
  // new grid never shows beside the old chart.
  ShowPreparedChart();
  // Finding the widest cells reads every datum once: a tenth of a second
  // for ten million, so large data go to the worker as the reading did.
  DataGridModel::WidestTexts widest;
  window_.RunWork([&] { widest = grid.Model().WidestCells(); },
                  static_cast<qint64>(state.count) * sizeof(MarkerRecord),
                  "Reading the data…");
  grid.FitToData(widest);
  TimingMark("grid: filled");
}

void MainWindow::OpenSteps::OnAnalysed(const AnalysisState& state,
                                       const Report&,
                                       const OpenResult& result) {
  window_.ShowReport();
  TimingMark("report shown");
  ShowPreparedChart();
  window_.rf_phi_page_->ShowAnalysis(state, result.analysis);
  TimingMark("rfphi shown");
  window_.ShowRfPhiContours();
  window_.analysis_result_ = result.analysis;
  window_.setWindowTitle(DataCaption(Chosen()));
  window_.limits_panel_->setText(QString::fromStdString(
      LimitsSummary(state, window_.DecimalSeparator().toStdString())));
  TimingMark("methods");
  window_.ShowMethods(state);
  TimingMark("methods shown");
  // The centres' analysis runs beside the window, which goes on meanwhile.
  window_.centres_page_->Analyse(state);
  const std::string notice = AnalysisNotice(result);
  if (!notice.empty()) window_.ShowMessage(QString::fromStdString(notice));
  for (const std::string& warning :
       AnalysisWarnings(state, window_.DecimalSeparator().toStdString())) {
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QString::fromStdString(warning), QMessageBox::Ok, &window_);
    box.exec();
  }
}

QString MainWindow::OpenSteps::Chosen() const {
  if (!chose_) {
    return window_.source_.path.isEmpty() ? window_.open_file_name_
                                          : window_.source_.path;
  }
  return layout_ != nullptr || grains_ != nullptr ? imported_
                                                  : window_.open_file_name_;
}

void MainWindow::OpenSteps::ShowPreparedChart() {
  if (!prepared_) return;
  EqualAreaChart& chart = window_.chart_->Chart();
  chart = std::move(*prepared_);
  prepared_.reset();
  chart.HideHighlight();
  window_.chart_->ChartChanged();
}

}  // namespace orvane

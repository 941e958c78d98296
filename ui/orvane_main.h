// TFormMain, the main window: the menu, the chart with the data grid, the
// report and the status bar. It owns the analysis state and runs the Open
// pipeline through the shared loader and analysis code; this class only
// asks, shows and saves.
#ifndef ORVANE_UI_ORVANE_MAIN_H_
#define ORVANE_UI_ORVANE_MAIN_H_

#include <QMainWindow>
#include <functional>

#include "core/analysis_state.h"
#include "core/report.h"
#include "io/open_data.h"
#include "ui/chart_widget.h"
#include "ui/data_grid.h"

class QAction;
class QFileDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QTabWidget;

namespace orvane {

class TForm1;

class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // The About box that Help > Version shows (created after this window).
  void SetAboutBox(TForm1* about) { about_ = about; }

  // The components, by their names.
  QMenu* MenuFile = nullptr;
  QMenu* MenuEdit = nullptr;
  QMenu* MenuHelp = nullptr;
  QAction* MenuOpen = nullptr;
  QAction* MenuSaveChart = nullptr;
  QAction* MenuExit = nullptr;
  QAction* MenuVersion = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel0 = nullptr;
  QLabel* StatusPanel1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheetPlot = nullptr;
  QWidget* TabSheetValues = nullptr;
  ChartWidget* Chart1 = nullptr;
  DataGrid* StringGrid1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QFileDialog* OpenDialog1 = nullptr;
  QFileDialog* SavePictureDialog1 = nullptr;

  const AnalysisState& State() const { return state_; }
  const Report& ReportLines() const { return report_; }
  // The open dialog's current file name (the last chosen, or the preset).
  QString OpenFileName() const { return open_file_name_; }
  // The folder of the bundled examples, where the open dialog starts.
  static QString ExamplesFolder();

 public slots:
  void MenuOpenClick();
  void MenuSaveChartClick();
  void MenuExitClick();
  void MenuVersionClick();
  void Chart1MouseUp(Qt::MouseButton button, QPoint position);
  void Chart1MouseMove();
  void Chart1Resize(QSize size);
  void StringGrid1MouseDown(Qt::MouseButton button, QPoint grid_point);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void BuildMenu();
  void BuildStatusBar();
  void BuildPages();
  // Shows a message in a modal information box with an OK button.
  void ShowMessage(const QString& text);
  // Runs `work` to its end; large data go to a worker thread behind a
  // modal progress indication, so the window keeps painting.
  void RunWork(const std::function<void()>& work, qint64 size_hint,
               const QString& what);
  void ShowReport();
  void SaveChartPicture();
  void HighlightDatum(QPoint grid_point);
  QString DecimalSeparator() const;

  AnalysisState state_;
  Report report_;
  QString open_file_name_;
  QString save_file_name_;
  TForm1* about_ = nullptr;
  bool sized_ = false;
};

}  // namespace orvane

#endif  // ORVANE_UI_ORVANE_MAIN_H_

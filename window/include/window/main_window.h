// SPDX-License-Identifier: MIT
// The main window: the menu, the chart with the data grid over it, the
// report and the status bar. It owns the analysis state and runs the Open
// pipeline through the shared loader and analysis code; this class only
// asks, shows and saves. Tests find its widgets by their object names
// ("chart", "dataGrid", "report", "pages", "statusCount", "statusLimits",
// "openDialog", "importDialog", "outlinesDialog", "labelImageDialog",
// "saveDialog", "resultsDialog",
// "reportDialog", the menus "fileMenu", "recentMenu", "editMenu", "viewMenu",
// "analysisMenu", "helpMenu", the tabs "methodsPage", "centresPage" and
// "studyPage" (the tab "Study", added when the first study is opened), the
// study's dialogs "studyOpenDialog" and "studySaveDialog",
// and the actions "openAction", "importTableAction", "importOutlinesAction",
// "importLabelImageAction", "copyAction" (Edit > Copy),
// "preStrainColumnsAction" (View > Pre-Strain Columns),
// "newStudyAction", "openStudyAction",
// "saveStudyAction", "saveStudyAsAction", "saveChartAction",
// "exportFigureAction", "exportResultsAction", "saveReportAction",
// "clearRecentAction", "exitAction", "manualAction" (Help > Manual, F1:
// the manual viewer "manualViewer"), "versionAction", "aboutQtAction",
// "bootstrapSettingsAction"; the figure dialog "figureDialog", the
// bootstrap dialog "bootstrapDialog"; View > Projection "projectionMenu"
// with "equalAreaProjectionAction" and "elliottProjectionAction", and
// "densityContoursAction"); the context menu of the plots "plotMenu" with
// "plotSaveChartAction", "plotExportFigureAction" and "plotCopyAction".
// The window's size and place, its tab and its splitters are kept between
// sessions.
#ifndef ORVANE_WINDOW_MAIN_WINDOW_H_
#define ORVANE_WINDOW_MAIN_WINDOW_H_

#include <QMainWindow>
#include <QString>
#include <functional>

#include "chart/chart_projection.h"
#include "core/analysis_state.h"
#include "core/report.h"
#include "core/status.h"
#include "io/table_import.h"
#include "render/figure_export.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QLabel;
class QMenu;
class QSplitter;
class QPlainTextEdit;
class QTabWidget;
class QWidget;

namespace orvane {

class AboutBox;
class StageProgress;
class CentresPage;
class ChartWidget;
class DataGrid;
class MethodsPage;
class PlotSource;
class ProjectionMenu;
class DensityContoursToggle;
class RfPhiPage;
class StudyPage;
enum class GrainSource;
struct GrainImport;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The About box that Help > Version shows (created after this window).
  void SetAboutBox(AboutBox* about) { about_ = about; }

  const AnalysisState& State() const { return state_; }
  const Report& ReportLines() const { return report_; }
  // The open dialog's current file name (the last chosen, or the preset).
  QString OpenFileName() const { return open_file_name_; }
  // The folder of the bundled examples, where the open dialog starts:
  // share/orvane/examples beside the program's folder, both where it is
  // installed and in a build folder.
  static QString ExamplesFolder();

 public slots:
  // File > Open: the open dialog, then the Open pipeline; a cancelled
  // dialog analyses the data held again.
  void onOpen();
  // Opens `path` as if it had been chosen in the open dialog (the file a
  // desktop passes to the program at start).
  void openFile(const QString& path);
  // File > Import Table...: the file dialog for a measurement table, then
  // the import dialog, then the Open pipeline with the table import as its
  // load stage; a cancelled dialog changes nothing.
  void onImportTable();
  // The import dialog for the table `path`, as if it had been chosen.
  void importTable(const QString& path);
  // File > Import Outlines... and File > Import Label Image...: the file
  // dialog, then the grain import dialog (a preview of the grains and the
  // options of the reading), then the Open pipeline reading the grains; a
  // cancelled dialog changes nothing. The file joins the recent files with
  // its options, and opening it from there imports it the same way.
  void onImportOutlines();
  void onImportLabelImage();
  // The grain import dialog for `path`, as if it had been chosen.
  void importGrains(const QString& path, GrainSource source);
  // File > New Study: an empty study in the tab "Study", shown, to which
  // sections are added there.
  void onNewStudy();
  // File > Open Study...: the file dialog for a study file, then the study
  // in the tab "Study", shown, and its analysis; a file refused is named in
  // a message box and the study held stays.
  void onOpenStudy();
  // Opens the study file `path` as if it had been chosen in the dialog.
  void openStudy(const QString& path);
  // File > Save Study: the study held written to its file (replaced whole);
  // a study never saved asks for a name as Save Study As... does. A failed
  // write is shown in a message box, and the study stays modified.
  void onSaveStudy();
  // File > Save Study As...: the same to a file chosen in a save dialog.
  void onSaveStudyAs();
  // Opens section `index` (from 0) of the study held as an Open of its
  // source would, with the bootstrap stream of its place in the study
  // (SectionSeed of the window's seed), and shows the chart's tab.
  void showStudySection(int index);
  // File > Save Chart, and Save Chart... of a plot's context menu. The
  // dialog offers the data file's name with the extension of the format
  // last saved (kept between sessions; EMF at first), in the folder last
  // chosen in it, at first the data file's.
  void onSaveChart();
  // Puts the plot of the tab shown (the Rf/phi plot on its tab, the Fry
  // plot on its tab where it shows, the study's plot shown on its tab,
  // else the chart) on the clipboard as an image at its size on the
  // screen, drawn as Save Chart draws it. A plot too small for a picture,
  // or no memory for the image, is told in a warning box instead.
  void copyChart();
  // Edit > Copy (Ctrl+C), by where the focus is: the grid's selected rows
  // (DataGrid::CopySelectedRows) when the grid has the focus and a datum
  // is selected, the report's selected text (all of it when none is
  // selected) on the report's tab, the rows of the Methods table on its
  // tab, else the plot as copyChart() copies it.
  void onCopy();
  // File > Export Results...: the results as CSV (io/results_csv.h).
  void onExportResults();
  // File > Save Report...: the report's text as shown, each line ended by a
  // line feed.
  void onSaveReport();
  // File > Recent Files > an entry: opens it, or takes a file that no
  // longer exists off the list with a message.
  void onOpenRecent(const QString& path);
  // File > Export Figure...: the figure dialog, whose settings are kept
  // for the next figure.
  void onExportFigure();
  // Analysis > Bootstrap Settings...: the count of resamples and the seed;
  // OK keeps them and analyses the data held again with them.
  void onBootstrapSettings();
  void onExit();
  // Help > Version: shows the About box, without making it modal.
  void onShowVersion();
  // The chart was resized: the grid is placed and its rows counted anew
  // (as many as fill it, and at least one for each datum).
  void onChartResized(QSize size);
  // View > Projection: the chart replotted in `projection` from the
  // analysis held (the analysis is not run again).
  void onProjectionChosen(ChartProjection projection);

 protected:
  // Keeps the window's size and place, its tab and its splitters for the
  // next session.
  void closeEvent(QCloseEvent* event) override;
  // A data file dropped on the window opens as if chosen in the dialog; a
  // CSV or TSV table goes to the table import (importTable).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private slots:
  void onChartMouseReleased(Qt::MouseButton button, QPoint position);
  void onGridPressed(Qt::MouseButton button, QPoint grid_point);
  void onGridCurrentRowChanged(int row);

 private:
  class OpenSteps;
  class SectionSteps;

  void BuildMenu();
  // The Rf/phi plot's density contours, as the View menu asks.
  void ShowRfPhiContours();
  void BuildStatusBar();
  void BuildPages();
  void BuildDialogs();
  // The context menu of every plot: Save Chart..., Export Figure... and
  // Copy, for the plot of the tab shown.
  void BuildPlotMenu();
  // Pops the plots' context menu up at `global` on the screen.
  void ShowPlotMenu(QPoint global);
  // The plot of the tab shown, as Save Chart and Copy take it: the Rf/phi
  // plot on its tab, the Fry plot on its tab where it shows, the study's
  // plot shown on its tab, else the equal-area chart (`chart`), with its
  // size on the screen.
  struct ShownPlot {
    const PlotSource* source;
    QSize size;
    bool chart;
  };
  ShownPlot PlotShown() const;
  // Puts the chart's points in order, so that a worker drawing it and the
  // window's repaints meanwhile only read them; returns how many there are.
  qint64 SortChartPointsForWorker() const;
  // The open and import dialogs start next in the folder of `file`, just
  // opened or imported; the next session's open dialog too.
  void FollowFolderOf(const QString& file);
  // The splitters of the tabs, in an order that does not change between
  // sessions: the study's first, then the others'.
  QList<QSplitter*> Splitters() const;
  // The window's size and place, tab and splitters as the last session
  // left them; a first start keeps the default size.
  void RestoreWindowState();
  void SaveWindowState() const;
  void StartUp();
  // The Open pipeline; `preset` is a file chosen without the dialog.
  void RunOpenCommand(const QString* preset);
  // The Open pipeline's analysis of the data held, with no dialog.
  void RerunAnalysis();
  // The Open pipeline reading the table `path` with `layout`.
  void RunImportCommand(const QString& path, const TableLayout& layout);
  // The Open pipeline reading the grains of `path` as `how` says.
  void RunGrainImportCommand(const QString& path, const GrainImport& how);
  // Shows a message in a modal information box with an OK button.
  void ShowMessage(const QString& text);
  // Shows why something failed (a file missing or refused, a write that
  // failed, no memory) in a modal warning box with an OK button.
  void ShowError(const QString& text);
  // The report's selected text, or all of it, on the clipboard.
  void CopyReport();
  // Enables Edit > Copy where there is something to copy.
  void UpdateCopyAction();
  // View > Pre-Strain Columns: the grid shows the pre-strain ratio and
  // orientation of each datum beside the measured ones, or not, its
  // columns fitted anew.
  void ShowPreStrainColumns(bool on);
  // Runs `work` to its end; large data go to a worker thread behind a
  // modal progress box, so the window keeps painting. With `progress` the
  // box shows how far the work is and offers Cancel; without a thread to
  // be had the work runs on this one.
  void RunWork(const std::function<void()>& work, qint64 size_hint,
               const QString& what, StageProgress* progress = nullptr);
  void ShowReport();
  // Fills the Methods tab from `state` (empties it when there are no data).
  void ShowMethods(const AnalysisState& state);
  void SaveChartPicture();
  // The name chosen in a save dialog, the overwrite question answered;
  // empty when cancelled.
  QString AskSaveName(QFileDialog* dialog, const QString& suffix);
  // Shows a failed save's message.
  void ShowSaveFailure(const Status& status);
  // True where `name` does not exist or the user agrees to replace it.
  bool AskOverwrite(const QString& name);
  // The tab "Study", added the first time, shown and selected.
  void ShowStudyTab();
  // Writes the study held to `path`; false (after a message) when refused.
  bool SaveStudyTo(const QString& path);
  // Enables the study's saves when a study is held; marks the tab of a
  // modified study.
  void UpdateStudyActions();
  void RebuildRecentMenu();
  // Enables the saves that have something to save.
  void UpdateSaveActions();
  // Marks datum `row` of the grid on both plots and shows its
  // retrodeformed ratio; the header row and rows without a datum do
  // nothing.
  void HighlightDatum(int row);
  // Places the grid, at its fitted width, over the chart of `chart_size`.
  void PlaceGridOverChart(QSize chart_size);
  QString DecimalSeparator() const;

  AnalysisState state_;
  Report report_;
  QString open_file_name_;
  // What the save dialog offers: the extension of the format last saved,
  // and the folder last chosen in it (empty: the data file's).
  QString save_format_;
  QString save_folder_;
  FigureSettings figure_settings_;
  // How the bootstrap of the next analysis draws (kept between sessions).
  BootstrapSettings bootstrap_settings_;
  // The source of the data held: the data file or the table read, and the
  // name the report gives it; empty before any data. Reruns (a cancelled
  // Open, new bootstrap settings), the caption and the saves name it.
  struct DataSource {
    QString path;
    std::string report_name;
  };
  DataSource source_;
  // The name an Open's report starts from: the source's, or before any
  // data the name the open dialog offers.
  std::string CurrentFileName() const;
  AnalysisResult analysis_result_ = AnalysisResult::kNoData;
  AboutBox* about_ = nullptr;
  bool sized_ = false;
  // The window took its size and place from the last session.
  bool restored_geometry_ = false;

  QTabWidget* pages_ = nullptr;
  // The View menu (how the charts draw) and the Analysis menu (how the
  // analysis runs).
  QMenu* view_menu_ = nullptr;
  QMenu* analysis_menu_ = nullptr;
  ProjectionMenu* projection_menu_ = nullptr;
  QWidget* chart_page_ = nullptr;
  ChartWidget* chart_ = nullptr;
  DataGrid* grid_ = nullptr;
  RfPhiPage* rf_phi_page_ = nullptr;  // the tab "Rf/φ Plot"
  QPlainTextEdit* report_pane_ = nullptr;
  MethodsPage* methods_page_ = nullptr;  // the Methods tab
  CentresPage* centres_page_ = nullptr;  // the Centres tab
  StudyPage* study_page_ = nullptr;      // the Study tab
  QLabel* count_panel_ = nullptr;
  QLabel* limits_panel_ = nullptr;
  QFileDialog* open_dialog_ = nullptr;
  QFileDialog* import_dialog_ = nullptr;
  QFileDialog* outlines_dialog_ = nullptr;
  QFileDialog* label_image_dialog_ = nullptr;
  QFileDialog* save_dialog_ = nullptr;
  QMenu* plot_menu_ = nullptr;  // the plots' context menu
  QFileDialog* results_dialog_ = nullptr;
  QFileDialog* report_dialog_ = nullptr;
  QFileDialog* study_open_dialog_ = nullptr;
  QFileDialog* study_save_dialog_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  QAction* export_results_ = nullptr;
  QAction* save_report_ = nullptr;
  QAction* save_study_ = nullptr;
  QAction* save_study_as_ = nullptr;
  QAction* copy_ = nullptr;  // Edit > Copy
  // View > Density Contours.
  DensityContoursToggle* density_contours_ = nullptr;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_MAIN_WINDOW_H_

// SPDX-License-Identifier: MIT
#include "window/main_window.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QShowEvent>
#include <QSpacerItem>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <new>
#include <optional>

#include "chart/chart_geometry.h"
#include "core/analysis_report.h"
#include "core/centre_report.h"
#include "core/ellipsoid.h"
#include "core/methods.h"
#include "core/number_format.h"
#include "core/parallel.h"
#include "io/open_pipeline.h"
#include "io/results_csv.h"
#include "io/study.h"
#include "open_steps.h"
#include "render/chart_render.h"
#include "render/panel_picture.h"
#include "render/picture_export.h"
#include "render/picture_memory.h"
#include "render/plot_render.h"
#include "render/program_icon.h"
#include "timing_log.h"
#include "window/about_box.h"
#include "window/background_work.h"
#include "window/bootstrap_dialog.h"
#include "window/centres_page.h"
#include "window/chart_widget.h"
#include "window/data_grid.h"
#include "window/density_toggle.h"
#include "window/figure_dialog.h"
#include "window/grain_import_dialog.h"
#include "window/manual_viewer.h"
#include "window/methods_page.h"
#include "window/projection_menu.h"
#include "window/recent_files.h"
#include "window/rf_phi_page.h"
#include "window/screen_fit.h"
#include "window/study_page.h"
#include "window/table_import_dialog.h"
#include "window/text_save.h"

#ifndef ORVANE_EXAMPLES_FROM_BINDIR
#define ORVANE_EXAMPLES_FROM_BINDIR "../share/orvane/examples"
#endif

namespace orvane {
namespace {

constexpr const char* kSampleName = "sampledata.txt";
constexpr int kClientWidth = 648;
constexpr int kClientHeight = 409;
constexpr int kStatusHeight = 19;
// Message boxes are at least this wide, so that the frame shows their title
// beside its buttons however short the text.
constexpr int kMessageBoxMinWidth = 240;
// Work on files larger than this runs behind a progress indication.
constexpr qint64 kBackgroundBytes = 2'000'000;
// Saving a picture needs about this much per point of the chart.
constexpr qint64 kPictureBytesPerPoint = 24;
// Each datum's row of the results table takes about this many bytes.
constexpr qint64 kResultsBytesPerDatum = 64;
// The estimators of the Methods tab need about this much per datum.
constexpr qint64 kMethodsBytesPerDatum = 8;

QFont FontOfPixels(const QStringList& families, int pixels) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(pixels);
  return f;
}

// Runs a message box, wide enough for its title. A box as narrow as a short
// text leaves no room for the title beside the frame's buttons: a row of
// the minimum width widens the box's layout, by which the box sizes itself.
int ExecMessageBox(QMessageBox& box) {
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(kMessageBoxMinWidth, 0, QSizePolicy::Fixed,
                                  QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box.exec();
}

// A file dialog's completion list for the typed name is a window of its
// own: it goes with the dialog, or it would stay over the main window and
// take the next click.
void HideCompletionWithDialog(QFileDialog* dialog) {
  QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
    for (QCompleter* completer : dialog->findChildren<QCompleter*>()) {
      if (completer->popup() != nullptr) completer->popup()->hide();
    }
  });
}

// A save dialog for text of one type, that asks about overwriting itself.
QFileDialog* TextSaveDialog(QWidget* parent, const char* name,
                            const QString& title, const QString& filter,
                            const QString& suffix) {
  auto* dialog = new QFileDialog(parent, title);
  dialog->setObjectName(name);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilter(filter);
  dialog->setDefaultSuffix(suffix);
  HideCompletionWithDialog(dialog);
  return dialog;
}

// An import dialog for a file of one kind.
QFileDialog* ImportFileDialog(QWidget* parent, const char* name,
                              const QString& title, const QString& filter) {
  auto* dialog = new QFileDialog(parent, title);
  dialog->setObjectName(name);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilters({filter, "All files (*)"});
  HideCompletionWithDialog(dialog);
  return dialog;
}

// How a file of grains was imported, as the recent files keep it.
QVariantMap GrainImportSettings(const GrainImport& how) {
  QVariantMap map;
  if (how.source == GrainSource::kOutlines) {
    map.insert("kind", "outlines");
    map.insert("layer", QString::fromStdString(how.layer));
  } else {
    map.insert("kind", "labelImage");
    map.insert("pixelSize", how.image.pixel_size);
    map.insert("minPixels", static_cast<qlonglong>(how.image.min_pixels));
  }
  return map;
}

// The import the recent files kept, or nothing for a data file (or
// settings of no kind this program writes).
std::optional<GrainImport> GrainImportOfSettings(const QVariantMap& map) {
  GrainImport how;
  const QString kind = map.value("kind").toString();
  if (kind == "outlines") {
    how.source = GrainSource::kOutlines;
    how.layer = map.value("layer").toString().toStdString();
  } else if (kind == "labelImage") {
    how.source = GrainSource::kLabelImage;
    how.image.pixel_size = map.value("pixelSize", 0.0).toDouble();
    how.image.min_pixels =
        static_cast<long>(map.value("minPixels", 20).toLongLong());
  } else {
    return std::nullopt;
  }
  return how;
}

// The file chosen in `dialog`, shown modally; empty when it is cancelled.
QString ChooseFile(QFileDialog* dialog) {
  if (dialog->exec() != QDialog::Accepted ||
      dialog->selectedFiles().isEmpty()) {
    return QString();
  }
  return dialog->selectedFiles().first();
}

// Runs `copy` when the copy key is pressed in the widget it watches,
// instead of the widget's own copy.
class CopyKeyFilter : public QObject {
 public:
  CopyKeyFilter(QObject* parent, std::function<void()> copy)
      : QObject(parent), copy_(std::move(copy)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress ||
        !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
      return false;
    }
    copy_();
    return true;
  }

 private:
  std::function<void()> copy_;
};

// How the recent files mark a study file.
constexpr const char* kStudyKind = "study";

bool IsStudyEntry(const QVariantMap& map) {
  return map.value("kind").toString() == kStudyKind;
}

// Where the window keeps its state between sessions, and the format the
// save dialog offers.
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kTabKey = "window/tab";
constexpr const char* kSplittersKey = "window/splitters";
constexpr const char* kSaveFormatKey = "saveChartFormat";
constexpr const char* kFirstSaveFormat = "emf";

// Whether `path` names a delimited table (CSV or TSV) by its extension:
// such a file goes to the table import rather than being read as a data
// file of the program's own format.
bool IsTableFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "csv" || suffix == "tsv";
}

// The one local file of a drag, or empty when it carries anything else.
QString DraggedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return QString();
  const QList<QUrl> urls = data->urls();
  if (urls.size() != 1 || !urls.first().isLocalFile()) return QString();
  return urls.first().toLocalFile();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("mainWindow");
  setWindowTitle(kTitle);
  setWindowIcon(ProgramIcon());
  // Tahoma 8 pt (11 pixels) where the font exists.
  setFont(FontOfPixels({"Tahoma", "DejaVu Sans", "Liberation Sans"}, 11));
  setAcceptDrops(true);
  bootstrap_settings_ = LoadBootstrapSettings();
  figure_settings_ = LoadFigureSettings();
  BuildMenu();
  BuildStatusBar();
  BuildPages();
  // The chart's look as the View menu left it in the last session.
  if (QSettings().value("isoRatioLabels", false).toBool()) {
    ChartRenderOptions options;
    options.iso_ratio_labels = true;
    chart_->SetScreenOptions(options);
  }
  if (QSettings().value("preStrainColumns", false).toBool()) {
    ShowPreStrainColumns(true);
  }
  BuildDialogs();
  BuildPlotMenu();
  // The client area below the menu: 648 x 409, at the top-left corner,
  // unless the last session left the window elsewhere.
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  move(0, 0);
  RestoreWindowState();
  StartUp();
}

MainWindow::~MainWindow() {
  // The circles go first; the datasets go with the state.
  chart_->Chart().DestroyIsoRatioCircles();
}

void MainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("fileMenu");
  QAction* open = file->addAction("&Open");
  open->setObjectName("openAction");
  open->setShortcut(QKeySequence::Open);
  QAction* import = file->addAction("&Import Table...");
  import->setObjectName("importTableAction");
  import->setShortcut(QKeySequence("Ctrl+I"));
  QAction* outlines = file->addAction("Import &Outlines...");
  outlines->setObjectName("importOutlinesAction");
  QAction* label_image = file->addAction("Import &Label Image...");
  label_image->setObjectName("importLabelImageAction");
  recent_menu_ = file->addMenu("Recent &Files");
  recent_menu_->setObjectName("recentMenu");
  RebuildRecentMenu();
  QAction* save = file->addAction("&Save Chart");
  save->setObjectName("saveChartAction");
  save->setShortcut(QKeySequence::Save);
  QAction* figure = file->addAction("Export &Figure...");
  figure->setObjectName("exportFigureAction");
  figure->setShortcut(QKeySequence("Ctrl+E"));
  export_results_ = file->addAction("Export &Results...");
  export_results_->setObjectName("exportResultsAction");
  save_report_ = file->addAction("Save &Report...");
  save_report_->setObjectName("saveReportAction");
  file->addSeparator();
  QAction* new_study = file->addAction("&New Study");
  new_study->setObjectName("newStudyAction");
  QAction* open_study = file->addAction("Open S&tudy...");
  open_study->setObjectName("openStudyAction");
  save_study_ = file->addAction("Sa&ve Study");
  save_study_->setObjectName("saveStudyAction");
  save_study_->setShortcut(QKeySequence("Ctrl+Shift+S"));
  save_study_as_ = file->addAction("Save Study &As...");
  save_study_as_->setObjectName("saveStudyAsAction");
  file->addSeparator();
  QAction* exit = file->addAction("E&xit");
  exit->setObjectName("exitAction");
  exit->setShortcut(QKeySequence("Ctrl+Q"));
  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("editMenu");
  copy_ = edit->addAction("&Copy");
  copy_->setObjectName("copyAction");
  copy_->setShortcut(QKeySequence::Copy);
  copy_->setEnabled(false);
  connect(copy_, &QAction::triggered, this, &MainWindow::onCopy);
  view_menu_ = menuBar()->addMenu("&View");
  view_menu_->setObjectName("viewMenu");
  projection_menu_ = new ProjectionMenu(view_menu_, this);
  connect(projection_menu_, &ProjectionMenu::Chosen, this,
          &MainWindow::onProjectionChosen);
  density_contours_ = new DensityContoursToggle(
      view_menu_,
      [this](const std::function<void()>& work, qint64 size,
             const QString& what,
             StageProgress* progress) { RunWork(work, size, what, progress); },
      this);
  connect(density_contours_, &DensityContoursToggle::Switched, this, [this] {
    density_contours_->Apply(chart_->Chart(), state_);
    chart_->ChartChanged();
    ShowRfPhiContours();
  });
  // Labels on the chart's iso-R circles, as a figure has them; off, the
  // chart keeps its plain look. Kept for the next session.
  QAction* iso_labels = view_menu_->addAction("Label &Iso-R Circles");
  iso_labels->setObjectName("isoRatioLabelsAction");
  iso_labels->setCheckable(true);
  iso_labels->setShortcut(QKeySequence("Ctrl+L"));
  iso_labels->setChecked(QSettings().value("isoRatioLabels", false).toBool());
  connect(iso_labels, &QAction::toggled, this, [this](bool on) {
    QSettings().setValue("isoRatioLabels", on);
    ChartRenderOptions options;
    options.iso_ratio_labels = on;
    chart_->SetScreenOptions(options);
  });
  // The grid's pre-strain columns; kept for the next session.
  QAction* pre_strain = view_menu_->addAction("&Pre-Strain Columns");
  pre_strain->setObjectName("preStrainColumnsAction");
  pre_strain->setCheckable(true);
  pre_strain->setChecked(QSettings().value("preStrainColumns", false).toBool());
  connect(pre_strain, &QAction::toggled, this, [this](bool on) {
    QSettings().setValue("preStrainColumns", on);
    ShowPreStrainColumns(on);
  });
  analysis_menu_ = menuBar()->addMenu("&Analysis");
  analysis_menu_->setObjectName("analysisMenu");
  QAction* bootstrap = analysis_menu_->addAction("&Bootstrap Settings...");
  bootstrap->setObjectName("bootstrapSettingsAction");
  connect(bootstrap, &QAction::triggered, this,
          &MainWindow::onBootstrapSettings);
  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("helpMenu");
  QAction* version = help->addAction("&Version");
  version->setObjectName("versionAction");
  // The user manual in a window of its own, beside the analysis.
  QAction* manual = help->addAction("&Manual");
  manual->setObjectName("manualAction");
  manual->setShortcut(QKeySequence(Qt::Key_F1));
  connect(manual, &QAction::triggered, this, [this] { ShowManual(this); });
  help->addSeparator();
  QAction* about_qt = help->addAction("About &Qt");
  about_qt->setObjectName("aboutQtAction");
  connect(about_qt, &QAction::triggered, qApp, &QApplication::aboutQt);
  connect(open, &QAction::triggered, this, &MainWindow::onOpen);
  connect(import, &QAction::triggered, this, &MainWindow::onImportTable);
  connect(outlines, &QAction::triggered, this, &MainWindow::onImportOutlines);
  connect(label_image, &QAction::triggered, this,
          &MainWindow::onImportLabelImage);
  connect(save, &QAction::triggered, this, &MainWindow::onSaveChart);
  connect(figure, &QAction::triggered, this, &MainWindow::onExportFigure);
  connect(export_results_, &QAction::triggered, this,
          &MainWindow::onExportResults);
  connect(save_report_, &QAction::triggered, this, &MainWindow::onSaveReport);
  connect(new_study, &QAction::triggered, this, &MainWindow::onNewStudy);
  connect(open_study, &QAction::triggered, this, &MainWindow::onOpenStudy);
  connect(save_study_, &QAction::triggered, this, &MainWindow::onSaveStudy);
  connect(save_study_as_, &QAction::triggered, this,
          &MainWindow::onSaveStudyAs);
  connect(exit, &QAction::triggered, this, &MainWindow::onExit);
  connect(version, &QAction::triggered, this, &MainWindow::onShowVersion);
}

void MainWindow::BuildStatusBar() {
  auto* bar = new QStatusBar(this);
  bar->setObjectName("statusBar");
  bar->setFixedHeight(kStatusHeight);
  bar->setSizeGripEnabled(true);
  // The count panel is 70 pixels, wider when its text needs more.
  count_panel_ = new QLabel("N = ", bar);
  count_panel_->setObjectName("statusCount");
  count_panel_->setMinimumWidth(70);
  count_panel_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  // The limits panel is 150 pixels at least and takes the rest of the bar,
  // so that the confidence limits can be read whole.
  limits_panel_ = new QLabel(QString(), bar);
  limits_panel_->setObjectName("statusLimits");
  limits_panel_->setMinimumWidth(150);
  limits_panel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addWidget(count_panel_);
  bar->addWidget(limits_panel_, 1);
  setStatusBar(bar);
}

void MainWindow::BuildPages() {
  pages_ = new QTabWidget(this);
  auto* pages = pages_;
  pages->setObjectName("pages");
  pages->setDocumentMode(true);

  chart_page_ = new QWidget(pages);
  chart_page_->setObjectName("chartPage");
  auto* chart_layout = new QVBoxLayout(chart_page_);
  chart_layout->setContentsMargins(0, 0, 0, 0);
  chart_ = new ChartWidget(chart_page_);
  // A click on the chart takes the focus from the grid, so that Copy then
  // copies the chart.
  chart_->setFocusPolicy(Qt::ClickFocus);
  chart_layout->addWidget(chart_);
  grid_ = new DataGrid(chart_);
  pages->addTab(chart_page_, "Equal-Area Projection");

  auto* report_page = new QWidget(pages);
  report_page->setObjectName("reportPage");
  auto* report_layout = new QVBoxLayout(report_page);
  report_layout->setContentsMargins(0, 0, 0, 0);
  report_pane_ = new QPlainTextEdit(report_page);
  report_pane_->setObjectName("report");
  // A face of one width for every character, so that the report's "="
  // signs and figures line up in columns.
  QFont report_font = FontOfPixels(
      {"DejaVu Sans Mono", "Liberation Mono", "Courier New",
       QFontDatabase::systemFont(QFontDatabase::FixedFont).family()},
      13);
  report_font.setStyleHint(QFont::Monospace);
  report_font.setFixedPitch(true);
  report_pane_->setFont(report_font);
  report_pane_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  report_pane_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  report_pane_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // A file dropped on the report opens, as anywhere on the window.
  report_pane_->setAcceptDrops(false);
  report_layout->addWidget(report_pane_);
  pages->addTab(report_page, "Optimal Strain and its Error");
  rf_phi_page_ = new RfPhiPage(pages);
  rf_phi_page_->SetDecimalSeparator(DecimalSeparator());
  pages->addTab(rf_phi_page_, QString::fromUtf8("Rf/\u03c6 Plot"));
  connect(rf_phi_page_, &RfPhiPage::ContextMenuRequested, this,
          &MainWindow::ShowPlotMenu);
  methods_page_ = new MethodsPage(pages);
  pages->addTab(methods_page_, "Methods");
  centres_page_ = new CentresPage(pages);
  centres_page_->SetDecimalSeparator(DecimalSeparator());
  pages->addTab(centres_page_, "Centres");
  connect(centres_page_, &CentresPage::ContextMenuRequested, this,
          &MainWindow::ShowPlotMenu);
  // The Methods tab's row of the centre-based strain follows the result,
  // for data with centres.
  connect(centres_page_, &CentresPage::ResultChanged, this, [this] {
    const CentreStrainResult* result = centres_page_->Result();
    methods_page_->SetCentreRow(
        result != nullptr && centres_page_->HasCentres()
            ? std::optional<MethodsRow>(
                  CentreMethodsRow(*result, DecimalSeparator().toStdString()))
            : std::nullopt);
  });
  // The tab "Study" joins the others when the first study is opened.
  study_page_ = new StudyPage(this);
  study_page_->hide();
  study_page_->SetDecimalSeparator(DecimalSeparator());
  study_page_->SetBootstrap(bootstrap_settings_);
  connect(study_page_, &StudyPage::ContextMenuRequested, this,
          &MainWindow::ShowPlotMenu);
  connect(study_page_, &StudyPage::ShowSectionRequested, this,
          &MainWindow::showStudySection);
  connect(study_page_, &StudyPage::StudyChanged, this,
          &MainWindow::UpdateStudyActions);
  pages->setCurrentIndex(0);
  setCentralWidget(pages);
  // The copy key reaches Edit > Copy on every tab but Methods, whose table
  // copies its rows by the same key (two shortcuts of one key would cancel
  // each other there); the menu entry serves every tab.
  copy_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  for (QWidget* page :
       {chart_page_, report_page, static_cast<QWidget*>(rf_phi_page_),
        static_cast<QWidget*>(centres_page_),
        static_cast<QWidget*>(study_page_),
        static_cast<QWidget*>(pages->tabBar())}) {
    page->addAction(copy_);
  }
  // The report is editable, and its own copy key copies nothing without a
  // selection.
  report_pane_->installEventFilter(
      new CopyKeyFilter(report_pane_, [this] { CopyReport(); }));

  connect(chart_, &ChartWidget::MouseReleased, this,
          &MainWindow::onChartMouseReleased);
  connect(chart_, &ChartWidget::Resized, this, &MainWindow::onChartResized);
  connect(grid_, &DataGrid::Pressed, this, &MainWindow::onGridPressed);
  connect(grid_, &DataGrid::CurrentRowChanged, this,
          &MainWindow::onGridCurrentRowChanged);
  connect(grid_, &DataGrid::FittedWidthChanged, this,
          [this] { PlaceGridOverChart(chart_->size()); });
}

void MainWindow::BuildDialogs() {
  open_dialog_ = new QFileDialog(this, "Load data file");
  open_dialog_->setObjectName("openDialog");
  open_dialog_->setOption(QFileDialog::DontUseNativeDialog);
  open_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  // A typed name of a missing file goes through; the loader answers it.
  open_dialog_->setFileMode(QFileDialog::AnyFile);
  open_dialog_->setNameFilters({"text file (*.txt)", "All files (*)"});
  open_dialog_->setDefaultSuffix("txt");
  const QString folder = ExamplesFolder();
  open_dialog_->setDirectory(folder);
  open_dialog_->selectFile(kSampleName);
  open_file_name_ = QDir(folder).filePath(kSampleName);
  HideCompletionWithDialog(open_dialog_);

  results_dialog_ = TextSaveDialog(this, "resultsDialog", "Export results",
                                   "CSV table (*.csv)", "csv");
  report_dialog_ = TextSaveDialog(this, "reportDialog", "Save report",
                                  "Text file (*.txt)", "txt");
  study_open_dialog_ = ImportFileDialog(this, "studyOpenDialog", "Open study",
                                        "Orvane study (*.json)");
  study_save_dialog_ = TextSaveDialog(this, "studySaveDialog", "Save study",
                                      "Orvane study (*.json)", "json");
  import_dialog_ = new QFileDialog(this, "Import measurement table");
  import_dialog_->setObjectName("importDialog");
  import_dialog_->setOption(QFileDialog::DontUseNativeDialog);
  import_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  import_dialog_->setFileMode(QFileDialog::ExistingFile);
  import_dialog_->setNameFilters(
      {"Tables (*.csv *.tsv *.tab *.txt *.dat)", "All files (*)"});
  HideCompletionWithDialog(import_dialog_);
  outlines_dialog_ =
      ImportFileDialog(this, "outlinesDialog", "Import grain outlines",
                       "Outlines (*.shp *.gpkg *.geojson *.json *.kml *.csv)");
  label_image_dialog_ =
      ImportFileDialog(this, "labelImageDialog", "Import label image",
                       "Images (*.tif *.tiff *.png)");
  // The open and import dialogs start in the folder of the last file the
  // last session opened or imported, where it still exists.
  const QString last = RememberedOpenFolder();
  if (!last.isEmpty() && QFileInfo(last).isDir()) {
    for (QFileDialog* dialog : {open_dialog_, import_dialog_, outlines_dialog_,
                                label_image_dialog_}) {
      dialog->setDirectory(last);
    }
  }

  save_dialog_ = new QFileDialog(this);
  save_dialog_->setObjectName("saveDialog");
  save_dialog_->setOption(QFileDialog::DontUseNativeDialog);
  save_dialog_->setOption(QFileDialog::DontConfirmOverwrite);
  save_dialog_->setAcceptMode(QFileDialog::AcceptSave);
  save_dialog_->setFileMode(QFileDialog::AnyFile);
  save_dialog_->setNameFilters({"Enhanced Metafile (*.emf)", "Bitmap (*.bmp)",
                                "SVG picture (*.svg)", "PNG picture (*.png)",
                                "PDF document (*.pdf)"});
  // The format last saved, as a known extension, else EMF.
  save_format_ = QSettings().value(kSaveFormatKey).toString();
  if (PictureFormatOf(("." + save_format_).toStdString()) ==
      PictureFormat::kInvalid) {
    save_format_ = kFirstSaveFormat;
  }
  save_dialog_->setDefaultSuffix(kFirstSaveFormat);
  HideCompletionWithDialog(save_dialog_);
  // A name typed without an extension gets that of the selected type.
  connect(save_dialog_, &QFileDialog::filterSelected, this,
          [this](const QString& filter) {
            const qsizetype star = filter.indexOf("*.");
            save_dialog_->setDefaultSuffix(
                star < 0 ? QString() : filter.mid(star + 2).chopped(1));
          });
  for (QFileDialog* dialog : findChildren<QFileDialog*>()) FitToScreen(dialog);
}

void MainWindow::StartUp() {
  // The circles R = 2, 3, 4, empty data series, hidden highlight.
  chart_->Chart().SetProjection(projection_menu_->Current());
  pages_->setTabText(0, ProjectionTabTitle(projection_menu_->Current()));
  chart_->Chart().StartUp();
  chart_->ChartChanged();
  report_.Clear();
  ShowReport();
  ShowMethods(state_);
  grid_->Model().SetData(&state_.measured, state_.count, DecimalSeparator(),
                         &state_.places);
  UpdateSaveActions();
  UpdateStudyActions();
}

QString MainWindow::ExamplesFolder() {
  // The examples lie in share/orvane/examples beside the program's folder:
  // the build copies them there as the installation does.
  const QString app = QCoreApplication::applicationDirPath();
  const QString beside =
      QDir(app).absoluteFilePath(ORVANE_EXAMPLES_FROM_BINDIR);
  if (QFileInfo(QDir(beside).filePath(kSampleName)).isFile()) {
    return QDir(beside).absolutePath();
  }
  return QDir::currentPath();
}

QString MainWindow::DecimalSeparator() const {
  return QString::fromStdString(LocaleDecimalSeparator());
}

void MainWindow::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok,
                  this);
  ExecMessageBox(box);
}

void MainWindow::ShowError(const QString& text) {
  QMessageBox box(QMessageBox::Warning, kTitle, text, QMessageBox::Ok, this);
  ExecMessageBox(box);
}

void MainWindow::ShowReport() {
  QStringList lines;
  for (const std::string& line : report_.Lines()) {
    lines << QString::fromStdString(line);
  }
  report_pane_->setPlainText(lines.join('\n'));
}

void MainWindow::ShowMethods(const AnalysisState& state) {
  // A single pass and a sort of the orientations: large data go to the
  // worker, as the analysis did.
  MethodsSummary summary;
  RunWork([&] { summary = ComputeMethods(state); },
          static_cast<qint64>(state.count) * kMethodsBytesPerDatum,
          "Comparing the estimators…");
  if (!summary.status.ok()) {
    methods_page_->ShowUnavailable(
        QString::fromStdString(summary.status.message()));
  } else {
    methods_page_->ShowSummary(summary, DecimalSeparator());
  }
}

void MainWindow::RunWork(const std::function<void()>& work, qint64 size_hint,
                         const QString& what, StageProgress* progress) {
  if (size_hint < kBackgroundBytes) {
    work();
    return;
  }
  BackgroundWork(this, kTitle).Run(work, what, progress);
}

void MainWindow::RunOpenCommand(const QString* preset) {
  OpenSteps steps(*this, preset);
  std::string file_name = CurrentFileName();
  const OpenResult result = RunOpen(steps, state_, report_, file_name,
                                    DecimalSeparator().toStdString());
  if (result.chosen) FollowFolderOf(open_file_name_);
  if (result.chosen && result.status.ok()) {
    RecentFiles::Add(open_file_name_);
    RebuildRecentMenu();
  }
  UpdateSaveActions();
}

void MainWindow::onOpen() {
  RunOpenCommand(nullptr);
}

void MainWindow::openFile(const QString& path) {
  RunOpenCommand(&path);
}

void MainWindow::onImportTable() {
  const QString chosen = ChooseFile(import_dialog_);
  if (chosen.isEmpty()) return;
  importTable(chosen);
}

void MainWindow::importTable(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  TableImportDialog dialog(full, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const TableLayout layout = dialog.Layout();
  RunImportCommand(full, layout);
}

void MainWindow::RunImportCommand(const QString& path,
                                  const TableLayout& layout) {
  OpenSteps steps(*this, path, layout);
  std::string file_name = CurrentFileName();
  const OpenResult result = RunOpen(steps, state_, report_, file_name,
                                    DecimalSeparator().toStdString());
  if (result.chosen) FollowFolderOf(path);
  UpdateSaveActions();
}

void MainWindow::onImportOutlines() {
  const QString chosen = ChooseFile(outlines_dialog_);
  if (chosen.isEmpty()) return;
  importGrains(chosen, GrainSource::kOutlines);
}

void MainWindow::onImportLabelImage() {
  const QString chosen = ChooseFile(label_image_dialog_);
  if (chosen.isEmpty()) return;
  importGrains(chosen, GrainSource::kLabelImage);
}

void MainWindow::importGrains(const QString& path, GrainSource source) {
  const QString full = QFileInfo(path).absoluteFilePath();
  GrainImport how;
  {
    GrainImportDialog dialog(full, source, this);
    if (dialog.exec() != QDialog::Accepted) return;
    how = dialog.Import();
  }
  RunGrainImportCommand(full, how);
}

void MainWindow::RunGrainImportCommand(const QString& path,
                                       const GrainImport& how) {
  OpenSteps steps(*this, path, how);
  std::string file_name = CurrentFileName();
  const OpenResult result = RunOpen(steps, state_, report_, file_name,
                                    DecimalSeparator().toStdString());
  if (result.chosen) FollowFolderOf(path);
  if (result.chosen && result.status.ok()) {
    RecentFiles::Add(path, GrainImportSettings(how));
    RebuildRecentMenu();
  }
  UpdateSaveActions();
}

// A section of the study opened as an Open of its source would be: read
// as the study reads it, bootstrapped from the section's own stream.
class MainWindow::SectionSteps : public MainWindow::OpenSteps {
 public:
  // `path` stays the caller's and must outlive the steps.
  SectionSteps(MainWindow& window, const QString& path,
               const SourceChoices& choices, const BootstrapSettings& bootstrap)
      : OpenSteps(window, &path), choices_(choices), bootstrap_(bootstrap) {}

  Status Load(const std::string& path, LoadedData& data,
              const ReadProgress& progress) override {
    notice_.clear();
    return LoadSource(path, choices_, data, progress, &notice_);
  }
  BootstrapSettings Bootstrap() override { return bootstrap_; }
  // What the reading of a table noticed about its layout, or empty.
  const std::string& Notice() const { return notice_; }

 private:
  SourceChoices choices_;
  BootstrapSettings bootstrap_;
  std::string notice_;
};

void MainWindow::onNewStudy() {
  study_page_->SetStudy(Study(), QString());
  ShowStudyTab();
}

void MainWindow::onOpenStudy() {
  const QString chosen = ChooseFile(study_open_dialog_);
  if (chosen.isEmpty()) return;
  openStudy(chosen);
}

void MainWindow::openStudy(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  Study study;
  const Status read = ReadStudyFile(full.toStdString(), study);
  if (!read.ok()) {
    ShowError(QString::fromStdString(read.message()));
    return;
  }
  study_open_dialog_->setDirectory(QFileInfo(full).absolutePath());
  study_page_->SetStudy(study, full);
  ShowStudyTab();
  RecentFiles::Add(full, QVariantMap{{"kind", kStudyKind}});
  RebuildRecentMenu();
}

void MainWindow::onSaveStudy() {
  if (!study_page_->HasStudy()) return;
  if (study_page_->StudyPath().isEmpty()) {
    onSaveStudyAs();
    return;
  }
  SaveStudyTo(study_page_->StudyPath());
}

void MainWindow::onSaveStudyAs() {
  if (!study_page_->HasStudy()) return;
  // Offered: the study's own file, or for a new study its name in the
  // folder last chosen here (at first that of the data held).
  const QString current = study_page_->StudyPath();
  const std::string& named = study_page_->CurrentStudy().name;
  const QString folder = study_save_dialog_->property("lastFolder").toString();
  const QFileInfo source(source_.path.isEmpty() ? open_file_name_
                                                : source_.path);
  if (!current.isEmpty()) {
    study_save_dialog_->setDirectory(QFileInfo(current).absolutePath());
    study_save_dialog_->selectFile(QFileInfo(current).fileName());
  } else {
    study_save_dialog_->setDirectory(
        folder.isEmpty() || !QFileInfo(folder).isDir() ? source.absolutePath()
                                                       : folder);
    study_save_dialog_->selectFile(
        (named.empty() ? QString("study") : QString::fromStdString(named)) +
        ".json");
  }
  const QString name = ChooseFile(study_save_dialog_);
  if (name.isEmpty()) return;
  const QFileInfo chosen(name);
  if (chosen.absoluteDir().exists()) {
    study_save_dialog_->setProperty("lastFolder", chosen.absolutePath());
  }
  if (!AskOverwrite(name)) return;
  SaveStudyTo(name);
}

bool MainWindow::SaveStudyTo(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  Study study = study_page_->StudyToSave(full);
  // A new study is named after its file.
  if (study.name.empty()) {
    study.name = QFileInfo(full).completeBaseName().toStdString();
  }
  const Status written = WriteStudyFile(full.toStdString(), study);
  if (!written.ok()) {
    ShowSaveFailure(written);
    return false;
  }
  study_page_->Saved(study, full);
  RecentFiles::Add(full, QVariantMap{{"kind", kStudyKind}});
  RebuildRecentMenu();
  return true;
}

void MainWindow::showStudySection(int index) {
  const Study& study = study_page_->CurrentStudy();
  if (index < 0 || index >= static_cast<int>(study.sections.size())) return;
  const QString path = study_page_->SectionSourcePath(index);
  BootstrapSettings bootstrap = bootstrap_settings_;
  bootstrap.seed = SectionSeed(bootstrap_settings_.seed, index);
  SectionSteps steps(*this, path,
                     study.sections[static_cast<std::size_t>(index)].choices,
                     bootstrap);
  std::string file_name = CurrentFileName();
  const OpenResult result = RunOpen(steps, state_, report_, file_name,
                                    DecimalSeparator().toStdString());
  UpdateSaveActions();
  if (!result.chosen || !result.status.ok()) return;
  // The section's data are seen on the chart, with the grid over it.
  pages_->setCurrentIndex(0);
  if (!steps.Notice().empty()) {
    ShowMessage(QString::fromStdString(steps.Notice()));
  }
}

void MainWindow::ShowStudyTab() {
  if (pages_->indexOf(study_page_) < 0) pages_->addTab(study_page_, "Study");
  pages_->setCurrentWidget(study_page_);
  UpdateStudyActions();
}

void MainWindow::UpdateStudyActions() {
  const bool held = study_page_->HasStudy();
  save_study_->setEnabled(held);
  save_study_as_->setEnabled(held);
  UpdateCopyAction();
  const int tab = pages_->indexOf(study_page_);
  if (tab >= 0) {
    pages_->setTabText(tab, study_page_->Modified() ? "Study *" : "Study");
  }
}

std::string MainWindow::CurrentFileName() const {
  return source_.path.isEmpty() ? open_file_name_.toStdString()
                                : source_.report_name;
}

void MainWindow::onSaveChart() {
  SaveChartPicture();
}

void MainWindow::onOpenRecent(const QString& path) {
  if (!QFileInfo::exists(path)) {
    RecentFiles::Remove(path);
    RebuildRecentMenu();
    ShowError(QString("\"%1\" no longer exists. It is taken off the recent "
                      "files.")
                  .arg(path));
    return;
  }
  if (IsStudyEntry(RecentFiles::ImportOf(path))) {
    openStudy(path);
    return;
  }
  // An imported file is imported again as it was, without the dialog.
  if (const std::optional<GrainImport> how =
          GrainImportOfSettings(RecentFiles::ImportOf(path))) {
    RunGrainImportCommand(path, *how);
    return;
  }
  openFile(path);
}

void MainWindow::RebuildRecentMenu() {
  recent_menu_->clear();
  const QStringList files = RecentFiles::Load();
  for (int i = 0; i < files.size(); ++i) {
    // "&1 path" .. "&9 path", "1&0 path"; an ampersand of the path is shown.
    const QString number = i < 9 ? QString("&%1").arg(i + 1) : QString("1&0");
    QString shown = files[i];
    shown.replace('&', "&&");
    QAction* entry = recent_menu_->addAction(number + "  " + shown);
    const QString path = files[i];
    connect(entry, &QAction::triggered, this,
            [this, path] { onOpenRecent(path); });
  }
  if (!files.isEmpty()) recent_menu_->addSeparator();
  QAction* clear = recent_menu_->addAction("&Clear");
  clear->setObjectName("clearRecentAction");
  clear->setEnabled(!files.isEmpty());
  connect(clear, &QAction::triggered, this, [this] {
    RecentFiles::Clear();
    RebuildRecentMenu();
  });
}

void MainWindow::UpdateSaveActions() {
  export_results_->setEnabled(state_.count > 0);
  save_report_->setEnabled(!report_pane_->document()->isEmpty());
  UpdateCopyAction();
}

void MainWindow::UpdateCopyAction() {
  copy_->setEnabled(state_.count > 0 || !report_pane_->document()->isEmpty() ||
                    study_page_->HasStudy());
}

void MainWindow::onCopy() {
  QWidget* page = pages_->currentWidget();
  if (page == report_pane_->parentWidget()) {
    CopyReport();
    return;
  }
  if (page == methods_page_) {
    methods_page_->onCopy();
    return;
  }
  // The grid copies its rows when it has the focus and rows to copy; the
  // chart beneath it otherwise.
  const QWidget* focus = QApplication::focusWidget();
  if (page == chart_page_ && focus != nullptr &&
      (focus == grid_ || grid_->isAncestorOf(focus))) {
    const QString rows = grid_->SelectedRowsText();
    if (!rows.isEmpty()) {
      QGuiApplication::clipboard()->setText(rows);
      return;
    }
  }
  copyChart();
}

void MainWindow::CopyReport() {
  const QTextCursor cursor = report_pane_->textCursor();
  const QString text = cursor.hasSelection() ? cursor.selection().toPlainText()
                                             : report_pane_->toPlainText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void MainWindow::ShowPreStrainColumns(bool on) {
  DataGridModel& model = grid_->Model();
  model.ShowPreStrain(on ? &state_.retrodeformed : nullptr);
  // The columns are fitted to the data as an Open fits them, large data on
  // the worker.
  DataGridModel::WidestTexts widest;
  RunWork([&] { widest = model.WidestCells(); },
          static_cast<qint64>(state_.count) * sizeof(MarkerRecord),
          "Fitting the grid's columns…");
  grid_->FitColumns(widest);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DraggedFile(event->mimeData()).isEmpty()) {
    event->acceptProposedAction();
  }
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString path = DraggedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // The drop ends first, so that the program the file came from is not
  // held by the messages of the Open. A table goes to the table import, as
  // File > Import Table... with it would.
  const bool table = IsTableFile(path);
  QTimer::singleShot(0, this, [this, path, table] {
    if (table) {
      importTable(path);
    } else {
      openFile(path);
    }
  });
}

QString MainWindow::AskSaveName(QFileDialog* dialog, const QString& suffix) {
  // Offered: the source's name with `suffix`, in the folder last chosen in
  // this dialog (that exists), at first the source's folder.
  const QFileInfo source(source_.path.isEmpty() ? open_file_name_
                                                : source_.path);
  const QString folder = dialog->property("lastFolder").toString();
  dialog->setDirectory(folder.isEmpty() || !QFileInfo(folder).isDir()
                           ? source.absolutePath()
                           : folder);
  dialog->selectFile(source.completeBaseName() + suffix);
  const QString name = ChooseFile(dialog);
  if (name.isEmpty()) return QString();
  const QFileInfo chosen(name);
  if (chosen.absoluteDir().exists()) {
    dialog->setProperty("lastFolder", chosen.absolutePath());
  }
  if (QFileInfo::exists(name)) {
    QMessageBox ask(QMessageBox::Warning, kTitle,
                    "File already exist. Overwrite?",
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ExecMessageBox(ask) != QMessageBox::Yes) return QString();
  }
  return name;
}

bool MainWindow::AskOverwrite(const QString& name) {
  if (!QFileInfo::exists(name)) return true;
  QMessageBox ask(QMessageBox::Warning, kTitle,
                  "File already exist. Overwrite?",
                  QMessageBox::Yes | QMessageBox::No, this);
  ask.setDefaultButton(QMessageBox::No);
  return ExecMessageBox(ask) == QMessageBox::Yes;
}

void MainWindow::ShowSaveFailure(const Status& status) {
  if (status.ok()) return;
  QMessageBox box(QMessageBox::Warning, kTitle,
                  QString::fromStdString(status.message()), QMessageBox::Ok,
                  this);
  ExecMessageBox(box);
}

void MainWindow::onExportResults() {
  if (state_.count <= 0) return;
  const QString name = AskSaveName(results_dialog_, "-results.csv");
  if (name.isEmpty()) return;
  const std::string file = CurrentFileName();
  Status saved;
  RunWork(
      [&] {
        saved = SaveTextFile(name, [&](const TextSink& sink) {
          return WriteResultsCsv(file, state_, sink);
        });
      },
      static_cast<qint64>(state_.count) * kResultsBytesPerDatum,
      "Saving the results…");
  ShowSaveFailure(saved);
}

void MainWindow::onSaveReport() {
  const QString name = AskSaveName(report_dialog_, "-report.txt");
  if (name.isEmpty()) return;
  QString text = report_pane_->toPlainText();
  if (!text.isEmpty()) text += '\n';
  const QByteArray bytes = text.toUtf8();
  ShowSaveFailure(SaveTextFile(name, [&bytes](const TextSink& sink) {
    return sink(std::string_view(bytes.constData(),
                                 static_cast<std::size_t>(bytes.size())));
  }));
}

void MainWindow::onExportFigure() {
  // The figure of the plot shown: the Rf/phi plot on its tab, the Fry plot
  // on its tab where it has one, the plot of the study shown on its tab,
  // else the chart.
  const ModelPicture rf_phi(rf_phi_page_->Plot());
  const ModelPicture fry(centres_page_->Plot());
  const ModelPicture study(study_page_->ShownPlot());
  const std::string sep = DecimalSeparator().toStdString();
  QString caption = FigureCaption(state_, analysis_result_, sep);
  const CentreStrainResult* centres = centres_page_->Result();
  const bool fry_shown = pages_->currentWidget() == centres_page_ &&
                         centres != nullptr && centres->status.ok();
  const bool study_shown = pages_->currentWidget() == study_page_;
  if (fry_shown) caption = CentreFigureCaption(*centres, sep);
  if (study_shown) {
    const StudyResult* result = study_page_->Result();
    caption = result != nullptr && result->status.ok()
                  ? EllipsoidFigureCaption(result->ellipsoid, sep)
                  : QString();
  }
  FigureDialog dialog =
      pages_->currentWidget() == rf_phi_page_
          ? FigureDialog(rf_phi, caption, figure_settings_, this)
      : fry_shown ? FigureDialog(fry, caption, figure_settings_, this)
      : study_shown
          ? FigureDialog(study, caption, figure_settings_, this)
          : FigureDialog(chart_->Chart(), caption, figure_settings_, this);
  // Or the plots side by side: the chart, then the Rf/phi plot; on the
  // study's tab its three plots.
  const ModelPicture chart(chart_->Chart());
  const ModelPicture flinn(study_page_->Flinn());
  const ModelPicture hsu(study_page_->Hsu());
  const ModelPicture axes(study_page_->Axes());
  const PanelPicture panels = study_shown ? PanelPicture({&flinn, &hsu, &axes})
                                          : PanelPicture({&chart, &rf_phi});
  dialog.OfferPanels(panels);
  dialog.exec();
  figure_settings_ = dialog.Settings();
  StoreFigureSettings(figure_settings_);
}

void MainWindow::onBootstrapSettings() {
  BootstrapDialog dialog(bootstrap_settings_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  bootstrap_settings_ = dialog.Settings();
  StoreBootstrapSettings(bootstrap_settings_);
  study_page_->SetBootstrap(bootstrap_settings_);
  // Only a bootstrap depends on them: the data held are analysed again when
  // theirs was drawn otherwise.
  if (state_.count >= 5 && !source_.path.isEmpty() &&
      state_.bootstrap != bootstrap_settings_) {
    RerunAnalysis();
  }
}

void MainWindow::RerunAnalysis() {
  OpenSteps steps(*this, OpenSteps::Rerun{});
  std::string file_name = CurrentFileName();
  RunOpen(steps, state_, report_, file_name, DecimalSeparator().toStdString());
  UpdateSaveActions();
}

void MainWindow::onExit() {
  SaveWindowState();
  QApplication::quit();
}

void MainWindow::onShowVersion() {
  if (about_ != nullptr && !about_->isVisible()) about_->show();
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (sized_) return;
  sized_ = true;
  // The tab's frame and margins depend on the style: pad the chart's page
  // so that the chart has its design size, 640 x 362, in a client area of
  // 648 x 409; it then grows and shrinks with the window.
  layout()->activate();
  QSize page = chart_page_->size();
  // A window restored at another size is padded as one of the default
  // size would be: the page grows and shrinks with the window.
  if (restored_geometry_) {
    page -= size() -
            QSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  }
  const int dx = std::max(0, page.width() - kDesignChartWidth);
  const int dy = std::max(0, page.height() - kDesignChartHeight);
  chart_page_->layout()->setContentsMargins(dx / 2, dy / 2, dx - dx / 2,
                                            dy - dy / 2);
  chart_page_->layout()->activate();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  SaveWindowState();
  // Closing the main window ends the program, About box or not.
  event->accept();
  QApplication::quit();
}

MainWindow::ShownPlot MainWindow::PlotShown() const {
  const QWidget* page = pages_->currentWidget();
  if (page == rf_phi_page_) {
    return {&rf_phi_page_->Plot(), rf_phi_page_->PlotWidget()->size(), false};
  }
  if (page == centres_page_ && centres_page_->PlotWidget()->isVisible()) {
    return {&centres_page_->Plot(), centres_page_->PlotWidget()->size(), false};
  }
  if (page == study_page_) {
    return {&study_page_->ShownPlot(), study_page_->ShownPlotWidget()->size(),
            false};
  }
  return {&chart_->Chart(), chart_->size(), true};
}

void MainWindow::SaveChartPicture() {
  // A chart too small for a picture is refused before a name is asked for.
  const ShownPlot shown = PlotShown();
  if (const Status limits = CheckPictureSize(shown.size); !limits.ok()) {
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QString::fromStdString(limits.message()), QMessageBox::Ok,
                    this);
    ExecMessageBox(box);
    return;
  }
  // The dialog offers the data file's name in the format last saved, in
  // the folder last chosen here that exists, at first the data file's. The
  // type is selected before the name, whose extension it would change.
  const QFileInfo source(source_.path.isEmpty() ? open_file_name_
                                                : source_.path);
  save_dialog_->setDirectory(save_folder_.isEmpty() ||
                                     !QFileInfo(save_folder_).isDir()
                                 ? source.absolutePath()
                                 : save_folder_);
  const QString pattern = "(*." + save_format_ + ")";
  for (const QString& filter : save_dialog_->nameFilters()) {
    if (filter.endsWith(pattern)) save_dialog_->selectNameFilter(filter);
  }
  save_dialog_->setDefaultSuffix(save_format_);
  save_dialog_->selectFile(source.completeBaseName() + '.' + save_format_);
  const QString name = ChooseFile(save_dialog_);
  if (name.isEmpty()) return;
  const QFileInfo chosen(name);
  if (chosen.absoluteDir().exists()) save_folder_ = chosen.absolutePath();
  if (PictureFormatOf(name.toStdString()) != PictureFormat::kInvalid) {
    save_format_ = chosen.suffix().toLower();
    QSettings().setValue(kSaveFormatKey, save_format_);
  }
  if (QFileInfo::exists(name)) {
    QMessageBox ask(QMessageBox::Warning, kTitle,
                    "File already exist. Overwrite?",
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ExecMessageBox(ask) != QMessageBox::Yes) return;
  }
  if (PictureFormatOf(name.toStdString()) == PictureFormat::kInvalid) {
    ShowError(kMessageInvalidExtension);
    return;
  }
  // A large chart is drawn into the file on a worker thread. Its points
  // are put in order here first, so that the worker and the repaints of
  // the window meanwhile only read them.
  const qint64 points = SortChartPointsForWorker();
  const ModelPicture picture(*shown.source);
  Status saved;
  RunWork(
      [&] {
        saved = shown.chart
                    ? SaveChartPictureFile(chart_->Chart(), shown.size, name)
                    : SaveChartPictureFile(picture, shown.size, name);
      },
      points * kPictureBytesPerPoint, "Saving the chart…");
  if (!saved.ok()) {
    QMessageBox box(QMessageBox::Warning, kTitle,
                    QString::fromStdString(saved.message()), QMessageBox::Ok,
                    this);
    ExecMessageBox(box);
  }
}

qint64 MainWindow::SortChartPointsForWorker() const {
  qint64 points = 0;
  for (const PolarSeries* s : chart_->Chart().SeriesList()) {
    s->Points();
    points += static_cast<qint64>(s->Count());
  }
  return points;
}

void MainWindow::copyChart() {
  const ShownPlot shown = PlotShown();
  if (const Status limits = CheckPictureSize(shown.size); !limits.ok()) {
    ShowError(QString::fromStdString(limits.message()));
    return;
  }
  const qint64 points = SortChartPointsForWorker();
  const ModelPicture picture(*shown.source);
  QImage image;
  RunWork([&] { image = picture.Image(shown.size, PictureOptions()); },
          points * kPictureBytesPerPoint, "Copying the chart…");
  if (image.isNull()) {
    ShowError(kMessagePictureMemory);
    return;
  }
  QGuiApplication::clipboard()->setImage(image);
}

void MainWindow::onChartMouseReleased(Qt::MouseButton button, QPoint position) {
  if (button == Qt::LeftButton) {
    chart_->Chart().HideHighlight();
    chart_->ChartChanged();
    rf_phi_page_->HideHighlight();
    // The datum's text goes with its marks; the limits it stood over
    // come back.
    limits_panel_->setText(QString::fromStdString(
        LimitsSummary(state_, DecimalSeparator().toStdString())));
  } else if (button == Qt::RightButton) {
    ShowPlotMenu(chart_->mapToGlobal(position));
  }
}

void MainWindow::BuildPlotMenu() {
  // One menu for the chart and every plot: each entry acts on the plot of
  // the tab shown, which is the one clicked.
  plot_menu_ = new QMenu(this);
  plot_menu_->setObjectName("plotMenu");
  QAction* save = plot_menu_->addAction("&Save Chart...");
  save->setObjectName("plotSaveChartAction");
  QAction* figure = plot_menu_->addAction("Export &Figure...");
  figure->setObjectName("plotExportFigureAction");
  QAction* copy = plot_menu_->addAction("&Copy");
  copy->setObjectName("plotCopyAction");
  connect(save, &QAction::triggered, this, &MainWindow::SaveChartPicture);
  connect(figure, &QAction::triggered, this, &MainWindow::onExportFigure);
  connect(copy, &QAction::triggered, this, &MainWindow::copyChart);
}

void MainWindow::ShowPlotMenu(QPoint global) {
  plot_menu_->popup(global);
}

void MainWindow::FollowFolderOf(const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (!QFileInfo(folder).isDir()) return;
  for (QFileDialog* dialog :
       {open_dialog_, import_dialog_, outlines_dialog_, label_image_dialog_}) {
    dialog->setDirectory(folder);
  }
  RememberOpenFolder(folder);
}

QList<QSplitter*> MainWindow::Splitters() const {
  // The study's page joins the tabs only when a study is opened: its
  // splitters come first whether it has or not. Splitters of the dialogs
  // the pages own are no part of the window's state.
  QList<QSplitter*> splitters;
  for (QSplitter* s : study_page_->findChildren<QSplitter*>()) {
    if (s->window() == this) splitters << s;
  }
  for (QSplitter* s : pages_->findChildren<QSplitter*>()) {
    if (s->window() == this && !study_page_->isAncestorOf(s)) splitters << s;
  }
  return splitters;
}

void MainWindow::RestoreWindowState() {
  const QSettings settings;
  restored_geometry_ =
      restoreGeometry(settings.value(kGeometryKey).toByteArray());
  const int tab = settings.value(kTabKey, 0).toInt();
  if (tab >= 0 && tab < pages_->count()) pages_->setCurrentIndex(tab);
  const QVariantList states = settings.value(kSplittersKey).toList();
  const QList<QSplitter*> splitters = Splitters();
  for (qsizetype i = 0; i < std::min(states.size(), splitters.size()); ++i) {
    splitters[i]->restoreState(states[i].toByteArray());
  }
}

void MainWindow::SaveWindowState() const {
  QSettings settings;
  settings.setValue(kGeometryKey, saveGeometry());
  settings.setValue(kTabKey, pages_->currentIndex());
  QVariantList states;
  for (const QSplitter* s : Splitters()) states << s->saveState();
  settings.setValue(kSplittersKey, states);
}

void MainWindow::onChartResized(QSize size) {
  // Rows fill the grid's height, and there is one for every datum whatever
  // the height: the scroll bar reaches them.
  const int rows = PlaceGrid(size.width(), size.height()).row_count;
  grid_->Model().SetRowCount(std::max(rows, state_.count + 1));
  PlaceGridOverChart(size);
}

void MainWindow::ShowRfPhiContours() {
  rf_phi_page_->SetDensityContours(
      density_contours_->RfPhiContours(rf_phi_page_->Plot(), state_));
  // A cancel switched the contours off: none on the polar chart either.
  if (!density_contours_->On() && chart_->Chart().density_contours) {
    chart_->Chart().density_contours.reset();
    chart_->ChartChanged();
  }
}

void MainWindow::onProjectionChosen(ChartProjection projection) {
  const EqualAreaChart& shown = chart_->Chart();
  if (shown.Projection() == projection) return;
  // The new chart is built beside the one shown, large data on the worker,
  // and replaces it only when complete.
  std::optional<EqualAreaChart> next;
  RunWork(
      [&] {
        try {
          next.emplace(
              shown.InProjection(projection, state_, analysis_result_));
          SortChartPoints(*next);
        } catch (const std::bad_alloc&) {
          next.reset();
        }
      },
      static_cast<qint64>(state_.count) * kChartBytesPerDatum,
      "Drawing the chart…");
  if (!next) {
    projection_menu_->SetCurrent(shown.Projection());
    RememberProjection(shown.Projection());
    ShowError(QString("Not enough memory to draw the chart in the %1 "
                      "projection.")
                  .arg(ProjectionTitle(projection)));
    return;
  }
  chart_->Chart() = std::move(*next);
  // The contours lie on a grid over the disc of the projection shown.
  density_contours_->Apply(chart_->Chart(), state_);
  chart_->ChartChanged();
  pages_->setTabText(0, ProjectionTabTitle(projection));
}

void MainWindow::PlaceGridOverChart(QSize chart_size) {
  const GridPlacement g =
      PlaceGrid(chart_size.width(), chart_size.height(), grid_->FittedWidth());
  grid_->setVisible(g.visible);
  if (g.visible) grid_->setGeometry(g.left, g.top, g.width, g.height);
}

void MainWindow::onGridPressed(Qt::MouseButton, QPoint grid_point) {
  HighlightDatum(grid_->RowAt(grid_point));
}

// The highlight follows the grid's current row, moved by the keys too.
void MainWindow::onGridCurrentRowChanged(int row) {
  HighlightDatum(row);
}

void MainWindow::HighlightDatum(int i) {
  if (state_.count <= 0) return;
  // The header row and rows without a datum have nothing to show.
  if (i < 1 || i > state_.count) return;
  chart_->Chart().Highlight(state_, i);
  chart_->ChartChanged();
  rf_phi_page_->Highlight(state_, i);
  limits_panel_->setText(
      QString("Pre-strain R of datum %1: %2")
          .arg(i)
          .arg(QString::fromStdString(FormatGrid(
              state_.retrodeformed[static_cast<std::size_t>(i)].ratio,
              DecimalSeparator().toStdString()))));
}

}  // namespace orvane

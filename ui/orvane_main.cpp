#include "ui/orvane_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include "core/number_format.h"
#include "ui/about.h"
#include "ui/chart_export.h"
#include "ui/program_icon.h"

#ifndef ORVANE_SOURCE_EXAMPLES
#define ORVANE_SOURCE_EXAMPLES ""
#endif

namespace orvane {
namespace {

constexpr const char* kTitle = "Orvane";
constexpr int kClientWidth = 648;
constexpr int kClientHeight = 409;
constexpr int kStatusHeight = 19;
constexpr int kChartWidth = 640;  // the chart at the design size
constexpr int kChartHeight = 362;
// Work on files larger than this runs behind a progress indication.
constexpr qint64 kBackgroundBytes = 2'000'000;

QFont FontOfPixels(const QStringList& families, int pixels) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(pixels);
  return f;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("FormMain");
  setWindowTitle(kTitle);
  setWindowIcon(ProgramIcon());
  // Tahoma 8 pt (11 pixels) where the font exists.
  setFont(FontOfPixels({"Tahoma", "DejaVu Sans", "Liberation Sans"}, 11));
  BuildMenu();
  BuildStatusBar();
  BuildPages();
  // The client area below the menu: 648 x 409, at the top-left corner.
  resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
  move(0, 0);
  FormCreate();
}

TFormMain::~TFormMain() {
  // FormDestroy: the circles go first; the datasets go with the state.
  Chart1->Chart().DestroyIsoRcircles();
}

void TFormMain::BuildMenu() {
  MenuFile = menuBar()->addMenu("&File");
  MenuOpen = MenuFile->addAction("&Open");
  MenuOpen->setShortcut(QKeySequence::Open);
  MenuSaveChart = MenuFile->addAction("&Save Chart");
  MenuSaveChart->setShortcut(QKeySequence::Save);
  MenuFile->addSeparator();
  MenuExit = MenuFile->addAction("E&xit");
  MenuExit->setShortcut(QKeySequence("Ctrl+Q"));
  MenuEdit = menuBar()->addMenu("&Edit");
  MenuEdit->setEnabled(false);
  MenuHelp = menuBar()->addMenu("&Help");
  MenuVersion = MenuHelp->addAction("&Version");
  connect(MenuOpen, &QAction::triggered, this, &TFormMain::MenuOpenClick);
  connect(MenuSaveChart, &QAction::triggered, this,
          &TFormMain::MenuSaveChartClick);
  connect(MenuExit, &QAction::triggered, this, &TFormMain::MenuExitClick);
  connect(MenuVersion, &QAction::triggered, this, &TFormMain::MenuVersionClick);
}

void TFormMain::BuildStatusBar() {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setFixedHeight(kStatusHeight);
  StatusBar1->setSizeGripEnabled(true);
  StatusPanel0 = new QLabel("N = ", StatusBar1);
  StatusPanel0->setObjectName("StatusPanel0");
  StatusPanel0->setFixedWidth(70);
  // Panel 1 is 150 pixels at least and takes the rest of the bar, so that
  // the confidence limits can be read whole.
  StatusPanel1 = new QLabel(QString(), StatusBar1);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setMinimumWidth(150);
  StatusPanel1->setTextInteractionFlags(Qt::TextSelectableByMouse);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1, 1);
  setStatusBar(StatusBar1);
}

void TFormMain::BuildPages() {
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setDocumentMode(true);

  TabSheetPlot = new QWidget(PageControl1);
  TabSheetPlot->setObjectName("TabSheetPlot");
  auto* plot_layout = new QVBoxLayout(TabSheetPlot);
  plot_layout->setContentsMargins(0, 0, 0, 0);
  Chart1 = new ChartWidget(TabSheetPlot);
  plot_layout->addWidget(Chart1);
  StringGrid1 = new DataGrid(Chart1);
  PageControl1->addTab(TabSheetPlot, "Equal-Area Projection");

  TabSheetValues = new QWidget(PageControl1);
  TabSheetValues->setObjectName("TabSheetValues");
  auto* values_layout = new QVBoxLayout(TabSheetValues);
  values_layout->setContentsMargins(0, 0, 0, 0);
  Memo1 = new QPlainTextEdit(TabSheetValues);
  Memo1->setObjectName("Memo1");
  Memo1->setFont(FontOfPixels(
      {"Arial Unicode MS", "Arial", "Liberation Sans", "DejaVu Sans"}, 13));
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  values_layout->addWidget(Memo1);
  PageControl1->addTab(TabSheetValues, "Optimal Strain and its Error");
  PageControl1->setCurrentIndex(0);
  setCentralWidget(PageControl1);

  connect(Chart1, &ChartWidget::MouseReleased, this, &TFormMain::Chart1MouseUp);
  connect(Chart1, &ChartWidget::Resized, this, &TFormMain::Chart1Resize);
  connect(StringGrid1, &DataGrid::Pressed, this,
          &TFormMain::StringGrid1MouseDown);
}

void TFormMain::FormCreate() {
  // The circles R = 2, 3, 4, empty data series, hidden highlight.
  Chart1->Chart().StartUp();
  Chart1->ChartChanged();
  report_.Clear();
  ShowReport();
  StringGrid1->Model().SetData(&state_.DatF, state_.Ndat, DecimalSeparator());

  OpenDialog1 = new QFileDialog(this, "Load data file");
  OpenDialog1->setObjectName("OpenDialog1");
  OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
  // A typed name of a missing file goes through; the loader answers it.
  OpenDialog1->setFileMode(QFileDialog::AnyFile);
  OpenDialog1->setNameFilter("text file (*.txt)");
  OpenDialog1->setDefaultSuffix("txt");
  const QString folder = ExamplesFolder();
  OpenDialog1->setDirectory(folder);
  OpenDialog1->selectFile("sampledata.txt");
  open_file_name_ = QDir(folder).filePath("sampledata.txt");

  SavePictureDialog1 = new QFileDialog(this);
  SavePictureDialog1->setObjectName("SavePictureDialog1");
  SavePictureDialog1->setOption(QFileDialog::DontUseNativeDialog);
  SavePictureDialog1->setOption(QFileDialog::DontConfirmOverwrite);
  SavePictureDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SavePictureDialog1->setFileMode(QFileDialog::AnyFile);
  SavePictureDialog1->setNameFilters(
      {"Enhanced Metafile (*.emf)", "Bitmap (*.bmp)", "SVG picture (*.svg)",
       "PNG picture (*.png)", "PDF document (*.pdf)"});
  SavePictureDialog1->setDefaultSuffix("emf");
  // A name typed without an extension gets that of the selected type.
  connect(SavePictureDialog1, &QFileDialog::filterSelected, this,
          [this](const QString& filter) {
            const int star = filter.indexOf("*.");
            SavePictureDialog1->setDefaultSuffix(
                star < 0 ? QString() : filter.mid(star + 2).chopped(1));
          });
}

QString TFormMain::ExamplesFolder() {
  const QString app = QCoreApplication::applicationDirPath();
  const QStringList candidates = {app + "/../share/orvane/examples",
                                  app + "/../examples", app + "/../../examples",
                                  app + "/../../../examples",
                                  QString(ORVANE_SOURCE_EXAMPLES)};
  for (const QString& c : candidates) {
    if (!c.isEmpty() && QFileInfo(c + "/sampledata.txt").isFile()) {
      return QDir(c).absolutePath();
    }
  }
  return QDir::currentPath();
}

QString TFormMain::DecimalSeparator() const {
  return QLocale::system().decimalPoint();
}

void TFormMain::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::Information, kTitle, text, QMessageBox::Ok,
                  this);
  box.exec();
}

void TFormMain::ShowReport() {
  QStringList lines;
  for (const std::string& line : report_.Lines()) {
    lines << QString::fromStdString(line);
  }
  Memo1->setPlainText(lines.join('\n'));
}

void TFormMain::RunWork(const std::function<void()>& work, qint64 size_hint,
                        const QString& what) {
  if (size_hint < kBackgroundBytes) {
    work();
    return;
  }
  // The window keeps painting while the analysis runs; the modal progress
  // box keeps every command away from the state until it is done.
  QProgressDialog progress(what, QString(), 0, 0, this);
  progress.setWindowTitle(kTitle);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  progress.setCancelButton(nullptr);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QEventLoop loop;
  QThread* thread = QThread::create(work);
  connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
  progress.show();
  thread->start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  thread->wait();
  delete thread;
  QApplication::restoreOverrideCursor();
}

void TFormMain::MenuOpenClick() {
  // The dialog; a cancelled one reruns the analysis on the data held.
  const bool chosen = OpenDialog1->exec() == QDialog::Accepted &&
                      !OpenDialog1->selectedFiles().isEmpty();
  if (chosen) open_file_name_ = OpenDialog1->selectedFiles().first();
  const std::string path = open_file_name_.toStdString();
  const std::string sep = DecimalSeparator().toStdString();

  if (chosen) {
    // Both passes over the file; nothing visible changes until the data
    // have been accepted.
    LoadResult loaded;
    RunWork([&] { loaded = ReadDataFile(path); },
            QFileInfo(open_file_name_).size(), "Reading the data…");
    if (!loaded.ok) {
      ShowMessage(QString::fromStdString(loaded.error.message));
      return;
    }
    StringGrid1->Model().SetData(nullptr, 0, DecimalSeparator());
    CommitLoadedData(state_, std::move(loaded.data));
    StatusPanel0->setText(QString::fromStdString(CountStatus(state_.Ndat)));
    StringGrid1->Model().SetData(&state_.DatF, state_.Ndat, DecimalSeparator());
    StringGrid1->Model().SetRowCount(state_.Ndat + 1);
  }

  // The data block and the analysis. The analysis writes only the derived
  // fields of the data, never the values that the grid shows.
  OpenOutcome outcome;
  RunWork([&] { outcome = RerunOnHeldData(state_, report_, path, sep); },
          static_cast<qint64>(state_.Ndat) * 24, "Analysing the data…");
  ShowReport();
  Chart1->Chart().HideHighlight();
  setWindowTitle(QString::fromStdString(DataCaption(path)));

  Chart1->Chart().ShowAnalysis(state_, outcome.analysis);
  Chart1->ChartChanged();
  StatusPanel1->setText(QString::fromStdString(state_.LimitsStatus));
  if (outcome.analysis == AnalysisResult::kNoData && chosen) {
    ShowMessage(kMessageNoData);
  } else if (outcome.analysis == AnalysisResult::kFewerThanFive) {
    ShowMessage(kMessageFewerThanFive);
  }
}

void TFormMain::MenuSaveChartClick() {
  SaveChartPicture();
}

void TFormMain::MenuExitClick() {
  QApplication::quit();
}

void TFormMain::MenuVersionClick() {
  if (about_ != nullptr && !about_->isVisible()) about_->show();
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (sized_) return;
  sized_ = true;
  // The tab's frame and margins depend on the style: pad the chart's page
  // so that the chart has its design size, 640 x 362, in a client area of
  // 648 x 409; it then grows and shrinks with the window.
  layout()->activate();
  const QSize page = TabSheetPlot->size();
  const int dx = std::max(0, page.width() - kChartWidth);
  const int dy = std::max(0, page.height() - kChartHeight);
  TabSheetPlot->layout()->setContentsMargins(dx / 2, dy / 2, dx - dx / 2,
                                             dy - dy / 2);
  TabSheetPlot->layout()->activate();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, About box or not.
  event->accept();
  QApplication::quit();
}

void TFormMain::SaveChartPicture() {
  if (!save_file_name_.isEmpty())
    SavePictureDialog1->selectFile(save_file_name_);
  if (SavePictureDialog1->exec() != QDialog::Accepted ||
      SavePictureDialog1->selectedFiles().isEmpty()) {
    return;
  }
  const QString name = SavePictureDialog1->selectedFiles().first();
  save_file_name_ = name;
  if (QFileInfo::exists(name)) {
    QMessageBox ask(QMessageBox::Warning, kTitle,
                    "File already exist. Overwrite?",
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes) return;
  }
  if (PictureFormatOf(name.toStdString()) == PictureFormat::kInvalid) {
    ShowMessage(kMessageInvalidExtension);
    return;
  }
  const ExportResult r =
      SaveChartPictureFile(Chart1->Chart(), Chart1->size(), name);
  if (!r.ok) {
    QMessageBox box(QMessageBox::Warning, kTitle, r.message, QMessageBox::Ok,
                    this);
    box.exec();
  }
}

void TFormMain::Chart1MouseUp(Qt::MouseButton button, QPoint) {
  if (button == Qt::LeftButton) {
    Chart1->Chart().HideHighlight();
    Chart1->ChartChanged();
  } else if (button == Qt::RightButton) {
    SaveChartPicture();
  }
}

void TFormMain::Chart1MouseMove() {}

void TFormMain::Chart1Resize(QSize size) {
  const GridPlacement g = PlaceGrid(size.width(), size.height());
  StringGrid1->setVisible(g.visible);
  if (g.visible) StringGrid1->setGeometry(g.left, g.top, g.width, g.height);
  StringGrid1->Model().SetRowCount(g.row_count);
}

void TFormMain::StringGrid1MouseDown(Qt::MouseButton, QPoint grid_point) {
  HighlightDatum(grid_point);
}

void TFormMain::HighlightDatum(QPoint grid_point) {
  if (state_.Ndat <= 0) return;
  const int i = StringGrid1->RowAt(grid_point);
  // The header row and rows without a datum have nothing to show.
  if (i < 1 || i > state_.Ndat) return;
  Chart1->Chart().Highlight(state_, i);
  Chart1->ChartChanged();
  StatusPanel1->setText(QString::fromStdString(
      FormatGrid(state_.DatI[static_cast<std::size_t>(i)].R,
                 DecimalSeparator().toStdString())));
}

}  // namespace orvane

// The main window driven as a user drives it: menus, dialogs, message
// boxes, the grid and the chart, on the offscreen platform.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <functional>

#include "core/number_format.h"
#include "io/results_csv.h"
#include "render/chart_render.h"
#include "render/picture_export.h"
#include "support/modal_script.h"
#include "window/about_box.h"
#include "window/chart_widget.h"
#include "window/data_grid.h"
#include "window/main_window.h"
#include "window/recent_files.h"
#include "window/text_save.h"

namespace orvane {
namespace {

using testing_support::Box;
using testing_support::Cancel;
using testing_support::Choose;
using testing_support::ModalScript;
using testing_support::Offers;

// Types a bare name into the dialog's name field of folder `dir` and
// presses Return.
ModalScript::Handler Type(const QString& dir, const QString& name,
                          const QString& filter = QString()) {
  return [dir, name, filter](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(dir);
    if (!filter.isEmpty()) dialog->selectNameFilter(filter);
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The settings of this suite's own (see qt_test_main.cpp), empty.
    QSettings().clear();
    window_ = std::make_unique<MainWindow>();
    about_ = std::make_unique<AboutBox>(window_.get());
    window_->SetAboutBox(about_.get());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  void TearDown() override {
    about_.reset();
    window_.reset();
  }

  QString Write(const QString& name, const QByteArray& text) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
  }
  void Open(std::deque<ModalScript::Handler> script) {
    ModalScript s(std::move(script));
    window_->onOpen();
    QApplication::processEvents();
  }
  // The window's widget of `name`, found by its object name.
  template <typename T>
  T* Child(const char* name) const {
    T* child = window_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  template <typename T>
  T* AboutChild(const char* name) const {
    T* child = about_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  ChartWidget* Chart() const { return Child<ChartWidget>("chart"); }
  DataGrid* Grid() const { return Child<DataGrid>("dataGrid"); }

  QString Panel0() const { return Child<QLabel>("statusCount")->text(); }
  QString Panel1() const { return Child<QLabel>("statusLimits")->text(); }
  QStringList Report() const {
    return Child<QPlainTextEdit>("report")->toPlainText().split('\n');
  }
  QString Cell(int row, int column) const {
    return Grid()
        ->Model()
        .data(Grid()->Model().index(row - 1, column - 1), Qt::DisplayRole)
        .toString();
  }
  // Presses a mouse button on grid row `row` (1-based), in column `column`.
  void PressRow(int row, int column = 2,
                Qt::MouseButton button = Qt::LeftButton) {
    DataGrid* g = Grid();
    const QRect r = g->visualRect(g->Model().index(row - 1, column - 1));
    QTest::mousePress(g->viewport(), button, {}, r.center());
    QTest::mouseRelease(g->viewport(), button, {}, r.center());
  }
  void ReleaseOnChart(Qt::MouseButton button) {
    QTest::mouseRelease(Chart(), button, {}, QPoint(60, 300));
  }

  QTemporaryDir dir_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<AboutBox> about_;
};

TEST_F(MainWindowTest, StartUpState) {
  EXPECT_EQ(window_->windowTitle(), "Orvane");
  EXPECT_EQ(window_->width(), 648);
  EXPECT_EQ(
      Child<QTabWidget>("pages")->height() + window_->statusBar()->height(),
      409);
  EXPECT_EQ(window_->statusBar()->height(), 19);
  EXPECT_EQ(Chart()->size(), QSize(640, 362));
  EXPECT_EQ(Panel0(), "N = ");
  EXPECT_EQ(Panel1(), "");
  // The two pages of the analysis come first; the other plot and the other
  // estimators follow them.
  ASSERT_EQ(Child<QTabWidget>("pages")->count(), 4);
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(0), "Equal-Area Projection");
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(1),
            "Optimal Strain and its Error");
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(2),
            QString::fromUtf8("Rf/\u03c6 Plot"));
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(3), "Methods");
  EXPECT_EQ(Child<QTabWidget>("pages")->currentIndex(), 0);
  EXPECT_EQ(Child<QPlainTextEdit>("report")->toPlainText(), "");
  EXPECT_FALSE(Child<QPlainTextEdit>("report")->isReadOnly());

  const auto menus = window_->menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Edit");
  EXPECT_FALSE(Child<QMenu>("editMenu")->isEnabled());
  EXPECT_TRUE(Child<QMenu>("editMenu")->actions().isEmpty());
  EXPECT_EQ(menus[2]->menu(), Child<QMenu>("viewMenu"));
  EXPECT_EQ(menus[3]->menu(), Child<QMenu>("analysisMenu"));
  EXPECT_EQ(menus[4]->text(), "&Help");
  const auto file = Child<QMenu>("fileMenu")->actions();
  ASSERT_EQ(file.size(), 9);
  EXPECT_EQ(file[0]->text(), "&Open");
  EXPECT_EQ(file[1]->text(), "&Import Table...");
  EXPECT_EQ(file[2]->text(), "Recent &Files");
  EXPECT_EQ(file[2]->menu(), Child<QMenu>("recentMenu"));
  EXPECT_EQ(file[3]->text(), "&Save Chart");
  EXPECT_EQ(file[4]->text(), "Export &Figure...");
  EXPECT_EQ(file[4]->objectName(), "exportFigureAction");
  EXPECT_EQ(file[5]->text(), "Export &Results...");
  EXPECT_EQ(file[6]->text(), "Save &Report...");
  EXPECT_TRUE(file[7]->isSeparator());
  EXPECT_EQ(file[8]->text(), "E&xit");
  // Nothing to export or save yet, and no recent file.
  EXPECT_FALSE(Child<QAction>("exportResultsAction")->isEnabled());
  EXPECT_FALSE(Child<QAction>("saveReportAction")->isEnabled());
  EXPECT_EQ(Child<QMenu>("recentMenu")->actions().size(), 1);
  EXPECT_FALSE(Child<QAction>("clearRecentAction")->isEnabled());
  EXPECT_EQ(Child<QAction>("openAction")->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(Child<QAction>("importTableAction")->shortcut(),
            QKeySequence("Ctrl+I"));
  EXPECT_EQ(Child<QAction>("exportFigureAction")->shortcut(),
            QKeySequence("Ctrl+E"));
  EXPECT_EQ(Child<QAction>("saveChartAction")->shortcut(),
            QKeySequence("Ctrl+S"));
  EXPECT_EQ(Child<QAction>("exitAction")->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(Child<QMenu>("helpMenu")->actions()[0]->text(), "&Version");

  // The grid at the design size, with its header and eleven empty rows.
  EXPECT_EQ(Grid()->geometry(), QRect(419, 112, 221, 250));
  EXPECT_EQ(Grid()->Model().RowCount(), 12);
  const QAbstractItemModel& m = Grid()->Model();
  EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole), "major");
  EXPECT_EQ(m.headerData(3, Qt::Horizontal, Qt::DisplayRole), "R");
  EXPECT_EQ(m.headerData(10, Qt::Vertical, Qt::DisplayRole), "11");
  EXPECT_EQ(Cell(1, 1), "");
  EXPECT_EQ(Chart()->Chart().IsoRatioCircleCount(), 3);
  EXPECT_FALSE(about_->isVisible());
  // A press on the grid does nothing without data.
  PressRow(2);
  EXPECT_EQ(Panel1(), "");
  EXPECT_FALSE(Chart()->Chart().measured_highlight.Active());
  // The open dialog offers the bundled sample.
  EXPECT_EQ(Child<QFileDialog>("openDialog")->windowTitle(), "Load data file");
  EXPECT_EQ(Child<QFileDialog>("openDialog")->defaultSuffix(), "txt");
  EXPECT_EQ(Child<QFileDialog>("openDialog")->nameFilters(),
            QStringList{"text file (*.txt)"});
  EXPECT_TRUE(window_->OpenFileName().endsWith("/sampledata.txt"));
  EXPECT_TRUE(QFile::exists(window_->OpenFileName()));
}

TEST_F(MainWindowTest, OpenThroughTheDialog) {
  const QString three = Write("three.txt", "3 2 30\n4 2 45\n5 1 -10\n");
  Open({Choose(three), Box("Number of data < 5")});
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ three.txt ]");
  EXPECT_EQ(Panel0(), "N : 3");
  EXPECT_EQ(Panel1(), "");
  EXPECT_EQ(Report().mid(0, 3),
            (QStringList{"*** Data ***", "  file = " + three, "  N    = 3"}));
  EXPECT_EQ(Report()[4], "*** Optimal Strain ***");
  EXPECT_EQ(Grid()->Model().RowCount(), 4);
  EXPECT_EQ(Cell(1, 1), "3.00");
  EXPECT_EQ(Cell(1, 4), "1.50");
  EXPECT_EQ(Cell(3, 3), "-10.00");
  EXPECT_EQ(Cell(3, 4), "5.00");
  EXPECT_EQ(Chart()->Chart().measured.Count(), 3u);
  EXPECT_EQ(Chart()->Chart().bootstrap.Count(), 0u);

  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_TRUE(Panel1().startsWith("  R_s = "));
  EXPECT_NE(Panel1().indexOf("    phi_s = "), -1);
  EXPECT_EQ(Report().size(), 3 + 7 + 8);
  EXPECT_EQ(Chart()->Chart().bootstrap.Count(), 190u);
}

TEST_F(MainWindowTest, RefusalsChangeNothing) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QStringList report = Report();
  const QString title = window_->windowTitle(), limits = Panel1();
  const std::vector<std::pair<QByteArray, QString>> cases = {
      {"major minor angle\n3 2 30\n", "Read error --- #1"},
      {"3 2 30\n4 2 45\n2 3 0\n", "Major axis is shorter than minor one.  #3"},
      {"-1 -2 0\n", "Neative radii.  #1"},
      {"3 0 45\n", "Minor axis must be positive.  #1"},
      {"3 2 30\n2000 1 0\n", "Axial ratio out of range.  #2"},
  };
  int k = 0;
  for (const auto& [bytes, message] : cases) {
    const QString bad = Write(QString("bad%1.txt").arg(k++), bytes);
    Open({Choose(bad), Box(message)});
    EXPECT_EQ(Report(), report) << message.toStdString();
    EXPECT_EQ(window_->windowTitle(), title);
    EXPECT_EQ(Panel0(), "N : 6");
    EXPECT_EQ(Panel1(), limits);
    EXPECT_EQ(window_->State().count, 6);
    EXPECT_EQ(Cell(1, 1), "3.00");
    EXPECT_EQ(Chart()->Chart().measured.Count(), 6u);
  }
  // A typed name of a missing file.
  Open({Type(dir_.path(), "absent"), Box("File not exits.")});
  EXPECT_EQ(Report(), report);
  EXPECT_TRUE(window_->OpenFileName().endsWith("/absent.txt"));  // suffix added
}

TEST_F(MainWindowTest, FileGivenAtStartOpensWithoutTheDialog) {
  const QString six = Write("six.txt", kSix);
  {
    ModalScript none({});  // no dialog may appear
    window_->openFile(six);
    QApplication::processEvents();
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(window_->OpenFileName(), six);
  EXPECT_EQ(Chart()->Chart().bootstrap.Count(), 190u);
  // The open dialog then offers that file's folder.
  EXPECT_EQ(QDir(Child<QFileDialog>("openDialog")->directory()).absolutePath(),
            QDir(dir_.path()).absolutePath());
  // A refused file says why in its box, as after the dialog.
  const QString bad = Write("bad.txt", "2 3 0\n");
  {
    ModalScript refusal({Box("Major axis is shorter than minor one.  #1")});
    window_->openFile(bad);
    QApplication::processEvents();
  }
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
}

TEST_F(MainWindowTest, FileGivenAtStartIsOpenedByTheNameGiven) {
  // "link/../six.txt" names the six.txt beside the folder the link leads
  // to, not the one a lexical clean-up of the name would find.
  QDir(dir_.path()).mkpath("real/sub");
  QDir(dir_.path()).mkpath("here");
  Write("real/six.txt", kSix);
  Write("here/six.txt", "3 2 30\n");
  ASSERT_TRUE(
      QFile::link(dir_.filePath("real/sub"), dir_.filePath("here/link")));
  window_->openFile(dir_.filePath("here/link/../six.txt"));
  EXPECT_EQ(Panel0(), "N : 6");
}

TEST_F(MainWindowTest, LargeFilesRunBehindACancellableProgressBox) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QStringList report = Report();
  const QString limits = Panel1();
  // A file above the size where reading and analysis leave the window's
  // thread.
  QByteArray text;
  for (int i = 0; i < 400000; ++i) {
    text += "3.5 1.25 " + QByteArray::number(i % 170 - 85) + "\n";
  }
  const QString big = Write("big.txt", text);
  {
    ModalScript s({Choose(big)});
    s.CancelProgress();
    window_->onOpen();
    QApplication::processEvents();
    EXPECT_TRUE(s.ProgressCancelled());
  }
  // Cancelled: everything as it was, and no message.
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(Panel1(), limits);
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(window_->State().count, 6);
  EXPECT_EQ(Chart()->Chart().measured.Count(), 6u);
  EXPECT_EQ(Cell(1, 1), "3.00");
  // Left to run, the same file loads.
  Open({Choose(big)});
  EXPECT_EQ(Panel0(), "N : 400000");
  EXPECT_EQ(Chart()->Chart().measured.Count(), 400000u);
  EXPECT_EQ(Chart()->Chart().bootstrap.Count(), 190u);
  EXPECT_EQ(Cell(2, 3), "-84.00");
}

// Wherever events are handled during an Open of large data (the progress
// boxes of reading, analysing, plotting and fitting the grid), the grid and
// the chart show the same data: the old, or both the new.
TEST_F(MainWindowTest, GridAndChartChangeTogether) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  QByteArray text;
  for (int i = 0; i < 400000; ++i) {
    text += "3.5 1.25 " + QByteArray::number(i % 170 - 85) + "\n";
  }
  const QString big = Write("big.txt", text);
  int checks = 0, old_both = 0, new_both = 0;
  QStringList mixed;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    ++checks;
    const bool grid_new = Cell(1, 1) == "3.50";
    const bool chart_new = Chart()->Chart().measured.Count() == 400000u;
    if (grid_new != chart_new) {
      mixed << QString("grid %1, chart %2")
                   .arg(grid_new ? "new" : "old", chart_new ? "new" : "old");
    } else {
      (grid_new ? new_both : old_both) += 1;
    }
  });
  watch.start(0);
  Open({Choose(big)});
  watch.stop();
  EXPECT_TRUE(mixed.isEmpty()) << mixed.join("; ").toStdString();
  EXPECT_GT(old_both, 0);  // events were handled while the work ran
  EXPECT_EQ(Cell(1, 1), "3.50");
  EXPECT_EQ(Chart()->Chart().measured.Count(), 400000u);
  EXPECT_GT(checks, 0);
}

TEST_F(MainWindowTest, CancelledDialogRerunsOnTheDataHeld) {
  // Before any file: the preset name, no data, the start-up chart, no box.
  Open({Cancel()});
  EXPECT_EQ(Report(),
            (QStringList{"*** Data ***", "  file = " + window_->OpenFileName(),
                         "  N    = 0"}));
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ sampledata.txt ]");
  EXPECT_EQ(Panel0(), "N = ");
  EXPECT_EQ(Chart()->Chart().IsoRatioCircleCount(), 3);

  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QStringList report = Report();
  const QString limits = Panel1();
  PressRow(2);
  EXPECT_TRUE(Chart()->Chart().measured_highlight.Active());
  Open({Cancel()});
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(Panel1(), limits);
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_FALSE(Chart()->Chart().measured_highlight.Active());
  EXPECT_EQ(Chart()->Chart().bootstrap.Count(), 190u);
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
}

TEST_F(MainWindowTest, EmptyFileHasNoData) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QString empty = Write("empty.txt", "\n  \n");
  Open({Choose(empty), Box("No data.")});
  EXPECT_EQ(Panel0(), "N : 0");
  EXPECT_EQ(Panel1(), "");
  EXPECT_EQ(Report().last(), "  N    = 0");
  const EqualAreaChart& chart = Chart()->Chart();
  EXPECT_EQ(chart.measured.Count(), 0u);
  EXPECT_EQ(chart.bootstrap.Count(), 0u);
  EXPECT_EQ(chart.optimal.Count(), 0u);
  EXPECT_EQ(chart.IsoRatioCircleCount(), 3);
  EXPECT_EQ(chart.RadialMaximum(), 3.0);
  EXPECT_EQ(Grid()->Model().RowCount(), 1);
}

TEST_F(MainWindowTest, SecondOpenReplacesEverything) {
  const QString big =
      Write("big.txt", "9 1 30\n8 1 45\n7.5 1 40\n6 1 35\n9 1 38\n");
  Open({Choose(big)});
  const int circles = Chart()->Chart().IsoRatioCircleCount();
  EXPECT_GE(circles, 7);
  const QString six = Write("six.txt", kSix);
  for (int k = 0; k < 3; ++k) {
    Open({Choose(six)});
    const EqualAreaChart& chart = Chart()->Chart();
    EXPECT_EQ(chart.SeriesList().size(),
              6u + static_cast<std::size_t>(chart.IsoRatioCircleCount()));
    EXPECT_LT(chart.IsoRatioCircleCount(), circles);
    EXPECT_EQ(window_->State().measured.size(), 7u);
    EXPECT_EQ(Grid()->Model().RowCount(), 7);
    EXPECT_EQ(Cell(6, 1), "3.00");
    EXPECT_EQ(Cell(7, 1), "");  // nothing of the earlier file
  }
}

TEST_F(MainWindowTest, GridFollowsTheChartSize) {
  const int extra_w = window_->width() - Chart()->width();
  const int extra_h = window_->height() - Chart()->height();
  auto chart_size = [&](int w, int h) {
    window_->resize(w + extra_w, h + extra_h);
    QApplication::processEvents();
    EXPECT_EQ(Chart()->size(), QSize(w, h));
  };
  chart_size(800, 560);
  EXPECT_EQ(Grid()->geometry(), QRect(579, 112, 221, 448));
  EXPECT_EQ(Grid()->Model().RowCount(), 22);
  chart_size(800, 565);
  EXPECT_EQ(Grid()->geometry().top(), 113);
  chart_size(640, 362);
  EXPECT_EQ(Grid()->geometry(), QRect(419, 112, 221, 250));
  EXPECT_EQ(Grid()->Model().RowCount(), 12);
  // Too low for a row: the grid is hidden.
  chart_size(640, 125);
  EXPECT_FALSE(Grid()->isVisible());
  chart_size(640, 362);
  EXPECT_TRUE(Grid()->isVisible());

  // Every datum keeps its row in a grid too low for them all: the scroll
  // bar reaches the last one.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Grid()->Model().RowCount(), 7);
  chart_size(640, 250);
  EXPECT_EQ(Grid()->Model().RowCount(), 7);
  EXPECT_EQ(Cell(6, 1), "3.00");
  Grid()->scrollToBottom();
  EXPECT_GT(Grid()->verticalScrollBar()->value(), 0);
  const QRect last = Grid()->visualRect(Grid()->Model().index(5, 0));
  EXPECT_TRUE(Grid()->viewport()->rect().contains(last)) << last.y();
  chart_size(640, 362);
  EXPECT_EQ(Grid()->Model().RowCount(), 12);  // blank rows fill it again
}

// Whether `text` shows whole in a cell of grid row `row`, column `column`
// (both 1-based), as the view draws it: inside the focus frame's margin
// and a pixel more at either side.
bool CellShowsWhole(const DataGrid* grid, int row, int column,
                    const QString& text) {
  const QRect cell =
      grid->visualRect(grid->model()->index(row - 1, column - 1));
  const int margin =
      grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) +
      1;
  return grid->fontMetrics().elidedText(text, Qt::ElideRight,
                                        cell.width() - 2 * margin) == text;
}

// Whether `text` shows whole in the grid's column of row numbers.
bool RowNumberShowsWhole(const DataGrid* grid, const QString& text) {
  const QHeaderView* rows = grid->verticalHeader();
  const int margin = rows->style()->pixelMetric(QStyle::PM_HeaderMargin);
  return rows->fontMetrics().elidedText(text, Qt::ElideRight,
                                        rows->width() - 2 * margin) == text;
}

TEST_F(MainWindowTest, GridColumnsFitTheirWidestCell) {
  const QString wide =
      Write("wide.txt", "123456 200 -10\n3 2 30\n4 2 45\n5 1 40\n6 2 35\n");
  // R = 617.28 also warns of the accuracy of R_s.
  Open({Choose(wide),
        Box("Axial ratios up to 617.28: above 100 the single-precision "
            "storage of the analysis can put R_s and its limits off by up to "
            "2 %.")});
  ASSERT_EQ(Cell(1, 1), "1.2346E05");
  ASSERT_EQ(Cell(1, 3), "-10.00");
  EXPECT_TRUE(CellShowsWhole(Grid(), 1, 1, "1.2346E05"));
  EXPECT_TRUE(CellShowsWhole(Grid(), 1, 3, "-10.00"));
  EXPECT_TRUE(CellShowsWhole(Grid(), 1, 4, Cell(1, 4)));  // "617.28"
  EXPECT_TRUE(CellShowsWhole(Grid(), 1, 2, "200.00"));
  // The wider grid stays flush with the chart's right edge, below the legend.
  const QRect g = Grid()->geometry();
  EXPECT_GT(g.width(), 221);
  EXPECT_EQ(g.left() + g.width(), Chart()->width());
  EXPECT_EQ(g.top(), 112);
  EXPECT_EQ(Grid()->horizontalScrollBar()->maximum(), 0);  // no scrolling

  // Row numbers above 99999.
  EXPECT_FALSE(RowNumberShowsWhole(Grid(), "888888"));
  Grid()->Model().SetRowCount(100001);
  EXPECT_TRUE(RowNumberShowsWhole(Grid(), "100000"));
  EXPECT_GT(Grid()->geometry().width(), g.width());
  EXPECT_EQ(Grid()->geometry().right(), Chart()->width() - 1);

  // Data that fit 39 pixels give the design's grid again.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Grid()->geometry(), QRect(419, 112, 221, 250));
}

TEST_F(MainWindowTest, CountPanelFitsItsText) {
  auto* panel = Child<QLabel>("statusCount");
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(panel->width(), 70);
  // The count of ten million data (too slow to load here).
  panel->setText("N : 10000000");
  window_->statusBar()->layout()->activate();
  EXPECT_GE(panel->contentsRect().width(),
            panel->fontMetrics().horizontalAdvance("N : 10000000"));
  EXPECT_GE(Child<QLabel>("statusLimits")->width(), 150);
}

TEST_F(MainWindowTest, EachOpenShowsTheGridFromItsStart) {
  QByteArray many;
  for (int i = 0; i < 40; ++i) many += "3 2 30\n4 2 45\n";
  const QString a = Write("a.txt", many);
  Open({Choose(a)});
  // The user widens a column and scrolls right and down.
  Grid()->horizontalHeader()->resizeSection(2, 150);
  QApplication::processEvents();
  Grid()->horizontalScrollBar()->setValue(
      Grid()->horizontalScrollBar()->maximum());
  Grid()->scrollToBottom();
  ASSERT_GT(Grid()->horizontalScrollBar()->value(), 0);
  Open({Choose(a)});
  EXPECT_EQ(Grid()->columnWidth(2), 39);
  EXPECT_EQ(Grid()->horizontalScrollBar()->value(), 0);
  EXPECT_EQ(Grid()->verticalScrollBar()->value(), 0);
  // A refused file leaves the grid as the user has it.
  Grid()->horizontalHeader()->resizeSection(2, 150);
  const QString bad = Write("bad.txt", "2 3 0\n");
  Open({Choose(bad), Box("Major axis is shorter than minor one.  #1")});
  EXPECT_EQ(Grid()->columnWidth(2), 150);
}

TEST_F(MainWindowTest, MessageBoxesLeaveRoomForTheirTitle) {
  const QString empty = Write("empty.txt", "\n");
  int width = 0;
  Open({Choose(empty), [&width](QWidget* w) {
          width = w->width();
          Box("No data.")(w);
        }});
  // The title beside a frame's icon and three buttons of about 30 pixels.
  const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
  EXPECT_GE(width, title.horizontalAdvance("Orvane") + 4 * 30 + 40);
}

// Types the start of a name into a file dialog of folder `dir` until the
// dialog offers the names that begin so (the folder is listed in the
// background), keeps the list of names in `popup`, then chooses `path`.
ModalScript::Handler CompleteThenChoose(const QString& dir,
                                        const QString& start,
                                        const QString& path, QWidget** popup) {
  return [=](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(dir);
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    auto offered = [edit] {
      return edit->completer() != nullptr &&
             edit->completer()->popup()->isVisible();
    };
    for (int tries = 0; tries < 50 && !offered(); ++tries) {
      edit->clear();
      QTest::keyClicks(edit, start);
      QTest::qWait(100);
    }
    ASSERT_TRUE(offered());
    *popup = edit->completer()->popup();
    Choose(path)(w);
  };
}

TEST_F(MainWindowTest, FileDialogsTakeTheirCompletionListAlong) {
  const QString six = Write("six.txt", kSix);
  Write("sixty.txt", kSix);
  QWidget* popup = nullptr;
  Open({CompleteThenChoose(dir_.path(), "si", six, &popup)});
  EXPECT_EQ(Panel0(), "N : 6");
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

  Write("plot.emf", "old");
  Write("plots.emf", "old");
  popup = nullptr;
  {
    ModalScript s({CompleteThenChoose(dir_.path(), "pl",
                                      dir_.filePath("new.png"), &popup)});
    window_->onSaveChart();
  }
  EXPECT_TRUE(QFile::exists(dir_.filePath("new.png")));
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(popup->isVisible());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(MainWindowTest, SaveDialogAfterAFailureOffersTheLastGoodFolder) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QString dir = QDir(dir_.path()).absolutePath();
  {
    ModalScript s({Type(dir, "first")});
    window_->onSaveChart();
  }
  ASSERT_TRUE(QFile::exists(dir + "/first.emf"));
  // Into a missing folder: refused, then the dialog offers the folder of
  // the picture written before and the name that was typed.
  {
    ModalScript s({Choose(dir + "/no/such/folder/plot.png"),
                   [](QWidget* w) { Box(w->property("text").toString())(w); },
                   [&dir](QWidget* w) {
                     auto* dialog = qobject_cast<QFileDialog*>(w);
                     ASSERT_NE(dialog, nullptr);
                     EXPECT_EQ(QDir(dialog->directory()).absolutePath(), dir);
                     auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
                     ASSERT_NE(edit, nullptr);
                     EXPECT_EQ(edit->text(), "plot.png");
                     QMetaObject::invokeMethod(dialog, "accept",
                                               Qt::QueuedConnection);
                   }});
    window_->onSaveChart();
    window_->onSaveChart();
  }
  EXPECT_TRUE(QFile::exists(dir + "/plot.png"));
}

TEST_F(MainWindowTest, HighlightFromARowPress) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const EqualAreaChart& chart = Chart()->Chart();
  for (Qt::MouseButton b :
       {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    Chart()->Chart().HideHighlight();
    PressRow(2, 3, b);
    EXPECT_TRUE(chart.measured_highlight.Active());
    EXPECT_TRUE(chart.retrodeformed_highlight.Active());
  }
  EXPECT_EQ(chart.measured_highlight.Points()[0].value,
            window_->State().measured[2].zeta);
  EXPECT_EQ(chart.retrodeformed_highlight.Points()[0].value,
            window_->State().retrodeformed[2].zeta);
  EXPECT_EQ(Panel1().toStdString(),
            FormatGrid(window_->State().retrodeformed[2].ratio, "."));
  // The header row and the rows below the data do nothing.
  PressRow(5);
  const QString five = Panel1();
  QTest::mousePress(Grid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(50, 10));
  EXPECT_EQ(Panel1(), five);
  window_->onChartResized(QSize(640, 362));  // 12 rows again, 6 data
  PressRow(9);
  EXPECT_EQ(Panel1(), five);
  EXPECT_EQ(chart.measured_highlight.Points()[0].value,
            window_->State().measured[5].zeta);
  // A right release on the chart saves (cancelled here) and keeps it.
  {
    ModalScript s({Cancel()});
    ReleaseOnChart(Qt::RightButton);
  }
  EXPECT_TRUE(chart.measured_highlight.Active());
  ReleaseOnChart(Qt::MiddleButton);
  EXPECT_TRUE(chart.measured_highlight.Active());
  // A left release hides both.
  ReleaseOnChart(Qt::LeftButton);
  EXPECT_FALSE(chart.measured_highlight.Active());
  EXPECT_FALSE(chart.retrodeformed_highlight.Active());
}

// The highlight follows the current row when the keys move it, as the
// status panel does.
TEST_F(MainWindowTest, HighlightFollowsTheKeys) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const EqualAreaChart& chart = Chart()->Chart();
  const AnalysisState& s = window_->State();
  PressRow(1);
  auto shows = [&](int i) {
    EXPECT_EQ(chart.measured_highlight.Points()[0].value, s.measured[i].zeta)
        << i;
    EXPECT_EQ(Panel1().toStdString(), FormatGrid(s.retrodeformed[i].ratio, "."))
        << i;
  };
  shows(1);
  for (int i = 0; i < 4; ++i) QTest::keyClick(Grid(), Qt::Key_Down);
  shows(5);
  QTest::keyClick(Grid(), Qt::Key_Up);
  shows(4);
  // Below the data the last datum stays marked.
  for (int i = 0; i < 4; ++i) QTest::keyClick(Grid(), Qt::Key_Down);
  shows(6);
  QTest::keyClick(Grid(), Qt::Key_Home, Qt::ControlModifier);
  shows(1);
}

TEST_F(MainWindowTest, SaveChartFlow) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QString dir = dir_.path();
  // A name without an extension gets that of the first type.
  {
    ModalScript s({Type(dir, "plot")});
    window_->onSaveChart();
  }
  ASSERT_TRUE(QFile::exists(dir + "/plot.emf"));
  const qint64 emf_size = QFile(dir + "/plot.emf").size();
  EXPECT_GT(emf_size, 1000);
  // Existing file: No leaves it untouched, Yes replaces it.
  const QString bmp = Write("plot.bmp", "old");
  {
    ModalScript s(
        {Choose(bmp), Box("File already exist. Overwrite?", QMessageBox::No)});
    window_->onSaveChart();
  }
  EXPECT_EQ(QFile(bmp).size(), 3);
  {
    ModalScript s(
        {Choose(bmp), Box("File already exist. Overwrite?", QMessageBox::Yes)});
    window_->onSaveChart();
  }
  EXPECT_EQ(QFile(bmp).size(), 54 + 640 * 362 * 4);
  // The picture is the chart as drawn on screen, without the grid over it
  // and without the grid's column: the same disc, moved to the middle of
  // the chart left of the legend.
  const QImage saved = QImage(bmp).convertToFormat(QImage::Format_RGB32);
  const QImage drawn =
      RenderChartImage(Chart()->Chart(), Chart()->size(), PictureOptions());
  EXPECT_EQ(saved, drawn);
  const ChartLayout on_screen = LayOutChart(Chart()->Chart(), Chart()->size());
  const ChartLayout in_picture =
      LayOutChart(Chart()->Chart(), Chart()->size(), PictureOptions());
  EXPECT_EQ(in_picture.radius, on_screen.radius);
  EXPECT_EQ(in_picture.cy, on_screen.cy);
  const int dx = in_picture.cx - on_screen.cx;
  EXPECT_GT(dx, 0);
  const QImage screen =
      Chart()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect grid = Grid()->geometry();
  EXPECT_NE(saved.copy(grid), screen.copy(grid));  // the grid on screen only
  const QRect plot(0, 0, grid.left(), 362);
  // Elsewhere they agree, moved by dx, but for the rounding of blended
  // colours.
  int largest = 0;
  for (int y = 0; y < plot.height(); ++y) {
    for (int x = 0; x < plot.width(); ++x) {
      const QRgb a = saved.pixel(x + dx, y), b = screen.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                          std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b))});
    }
  }
  EXPECT_LE(largest, 1);
  // An existing notes.txt: asked first, then refused, unchanged.
  const QString notes = Write("notes.txt", "my notes");
  {
    ModalScript s({Choose(notes),
                   Box("File already exist. Overwrite?", QMessageBox::Yes),
                   Box("Invalid file extension.")});
    window_->onSaveChart();
  }
  EXPECT_EQ(QFile(notes).size(), 8);
  // A new name with an unknown extension writes nothing.
  {
    ModalScript s({Choose(dir + "/plot.jpeg"), Box("Invalid file extension.")});
    window_->onSaveChart();
  }
  EXPECT_FALSE(QFile::exists(dir + "/plot.jpeg"));
  // A picture that cannot be written is reported.
  {
    ModalScript s({Choose(dir + "/no/such/folder/plot.png"), [](QWidget* w) {
                     auto* box = qobject_cast<QMessageBox*>(w);
                     ASSERT_NE(box, nullptr);
                     EXPECT_TRUE(box->text().startsWith("Cannot write"));
                     QMetaObject::invokeMethod(box->button(QMessageBox::Ok),
                                               "click", Qt::QueuedConnection);
                   }});
    window_->onSaveChart();
  }
}

// A chart of many points is saved on a worker thread behind a progress box,
// and the picture is the one saved without it.
TEST_F(MainWindowTest, LargeChartIsSavedBehindAProgressBox) {
  EqualAreaChart& chart = Chart()->Chart();
  for (int i = 0; i < 120000; ++i) {
    chart.measured.AddPolar(10 + (i * 37) % 60, 1.0 + (i % 1500) / 1000.0);
  }
  const QString path = dir_.path() + "/large.emf";
  {
    ModalScript s({Choose(path)});
    window_->onSaveChart();
    EXPECT_EQ(s.ProgressTexts(), QStringList{"Saving the chart…"});
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(),
            MetafileOf(chart, Chart()->size(), PictureOptions()));
}

TEST_F(MainWindowTest, AboutBoxIsModeless) {
  window_->onShowVersion();
  window_->onShowVersion();
  QApplication::processEvents();
  EXPECT_TRUE(about_->isVisible());
  EXPECT_FALSE(about_->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(about_->findChildren<QPushButton*>().size(), 1);
  EXPECT_EQ(about_->size(), QSize(290, 172));
  EXPECT_EQ(AboutChild<QLabel>("title")->text(), "Orvane");
  EXPECT_EQ(AboutChild<QLabel>("version")->text(),
            "Version 1.0   (December 2011)");
  EXPECT_EQ(AboutChild<QLabel>("description2")->text(),
            "using the hyperbolic vector mean method. ");
  EXPECT_EQ(AboutChild<QPushButton>("okButton")->geometry(),
            QRect(207, 112, 75, 52));
  EXPECT_EQ(AboutChild<QFrame>("separator")->geometry(), QRect(16, 63, 259, 2));
  EXPECT_EQ(AboutChild<QLabel>("icon")->geometry(), QRect(8, 8, 33, 33));
  // The main window works meanwhile.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Panel0(), "N : 6");
  PressRow(1);
  EXPECT_TRUE(Chart()->Chart().measured_highlight.Active());
  EXPECT_TRUE(about_->isVisible());
  QTest::mouseClick(AboutChild<QPushButton>("okButton"), Qt::LeftButton);
  EXPECT_FALSE(about_->isVisible());
  window_->onShowVersion();
  EXPECT_TRUE(about_->isVisible());
  about_->close();
  EXPECT_FALSE(about_->isVisible());
  window_->onShowVersion();
  EXPECT_TRUE(about_->isVisible());
}

// ---- Results out, and opening files as people expect ----

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unread)");
}

// The table the window should write for its state.
QByteArray TableOf(const MainWindow& window) {
  std::string text;
  WriteResultsCsv(window.OpenFileName().toStdString(), window.State(),
                  [&text](std::string_view piece) {
                    text.append(piece);
                    return true;
                  });
  return QByteArray::fromStdString(text);
}

ModalScript::Handler CannotWrite() {
  return [](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith("Cannot write \""))
        << box->text().toStdString();
    QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click",
                              Qt::QueuedConnection);
  };
}

TEST_F(MainWindowTest, ExportResultsWritesTheTable) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  ASSERT_TRUE(Child<QAction>("exportResultsAction")->isEnabled());
  const QString table = dir_.filePath("table.csv");
  {
    ModalScript s({Offers(dir_.path(), "six-results.csv", table)});
    window_->onExportResults();
  }
  const QByteArray written = ReadAll(table);
  EXPECT_EQ(written, TableOf(*window_));
  EXPECT_TRUE(written.startsWith("# file," + six.toUtf8() + "\n# N,6\n# R_s,"))
      << written.toStdString();
  EXPECT_TRUE(written.contains("\nnumber,a,b,phi,R,R_pre,phi_pre\n1,3,2,30,"));
  // An existing file: No keeps it, Yes replaces it; the dialog offers the
  // folder chosen last.
  const QString old = Write("old.csv", "old");
  const QDir sub(dir_.filePath("sub"));
  ASSERT_TRUE(sub.mkpath("."));
  {
    ModalScript s({Offers(dir_.path(), "six-results.csv", old),
                   Box("File already exist. Overwrite?", QMessageBox::No)});
    window_->onExportResults();
  }
  EXPECT_EQ(ReadAll(old), "old");
  {
    ModalScript s(
        {Choose(old), Box("File already exist. Overwrite?", QMessageBox::Yes)});
    window_->onExportResults();
  }
  EXPECT_EQ(ReadAll(old), written);
  // A folder that does not exist: the system's reason, nothing written.
  {
    ModalScript s(
        {Choose(dir_.filePath("no/such/folder/t.csv")), CannotWrite()});
    window_->onExportResults();
  }
  EXPECT_FALSE(QFile::exists(dir_.filePath("no")));
  // Cancelled: nothing.
  {
    ModalScript s({Cancel()});
    window_->onExportResults();
  }
  // Without data there is nothing to export.
  Open({Choose(Write("empty.txt", "\n")), Box("No data.")});
  EXPECT_FALSE(Child<QAction>("exportResultsAction")->isEnabled());
}

TEST_F(MainWindowTest, LargeResultsAreSavedBehindAProgressBox) {
  QByteArray text;
  for (int i = 0; i < 40000; ++i) {
    text += "3.5 1.25 " + QByteArray::number(i % 170 - 85) + "\n";
  }
  Open({Choose(Write("many.txt", text))});
  const QString table = dir_.filePath("many.csv");
  {
    ModalScript s({Choose(table)});
    window_->onExportResults();
    EXPECT_EQ(s.ProgressTexts(), QStringList{"Saving the results…"});
  }
  EXPECT_EQ(ReadAll(table), TableOf(*window_));
}

// The saved report is the text of the report tab as shown, edits included,
// each line ended by a line feed: the plain output of orvane-cli for the
// same file.
TEST_F(MainWindowTest, SaveReportWritesTheTextShown) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  ASSERT_TRUE(Child<QAction>("saveReportAction")->isEnabled());
  const QString saved = dir_.filePath("r.txt");
  {
    ModalScript s({Offers(dir_.path(), "six-report.txt", saved)});
    window_->onSaveReport();
  }
  QByteArray lines;
  for (const std::string& line : window_->ReportLines().Lines()) {
    lines += QByteArray::fromStdString(line) + "\n";
  }
  EXPECT_EQ(ReadAll(saved), lines);
  EXPECT_TRUE(lines.startsWith("*** Data ***\n  file = " + six.toUtf8()));
  Child<QPlainTextEdit>("report")->appendPlainText("sample 7, outcrop B");
  {
    ModalScript s({Choose(saved),
                   Box("File already exist. Overwrite?", QMessageBox::Yes)});
    window_->onSaveReport();
  }
  EXPECT_EQ(ReadAll(saved), lines + "sample 7, outcrop B\n");
  {
    ModalScript s({Choose(dir_.filePath("missing/r.txt")), CannotWrite()});
    window_->onSaveReport();
  }
}

// A failed save leaves the old file as it was and no temporary file beside
// it, and says why in the system's words.
TEST(TextSave, FailureKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString target = dir.filePath("t.csv");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old table");
  }
  const std::string block(1 << 16, 'x');
  auto many_blocks = [&block](const TextSink& sink) {
    for (int i = 0; i < 64; ++i) {
      if (!sink(block)) return false;
    }
    return true;
  };
  // A file size limit stops the writing after 1 MiB: "File too large".
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit old_limit {};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const Status too_large = SaveTextFile(target, many_blocks);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(too_large.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(too_large.message(),
            "Cannot write \"" + target.toStdString() + "\": File too large");
  EXPECT_EQ(ReadAll(target), "old table");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"t.csv"});
  // A writer that gives up is a failure too.
  const Status refused = SaveTextFile(
      target, [](const TextSink& sink) { return sink("a") && false; });
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(ReadAll(target), "old table");
  // A folder is not replaced.
  const Status folder = SaveTextFile(dir.path(), many_blocks);
  EXPECT_EQ(folder.message(), "Cannot write \"" + dir.path().toStdString() +
                                  "\": it is a folder.");
  // Written whole, it replaces the old file.
  EXPECT_TRUE(SaveTextFile(target, many_blocks).ok());
  EXPECT_EQ(QFileInfo(target).size(), 64 << 16);
}

TEST(RecentFiles, NewestFirstEachOnceAtMostTen) {
  QStringList list;
  for (int i = 0; i < 12; ++i) {
    list = RecentFiles::Added(list, QString("/d/%1.txt").arg(i));
  }
  ASSERT_EQ(list.size(), 10);
  EXPECT_EQ(list.first(), "/d/11.txt");
  EXPECT_EQ(list.last(), "/d/2.txt");
  // Opened again: moved to the front, not listed twice.
  list = RecentFiles::Added(list, "/d/5.txt");
  EXPECT_EQ(list.size(), 10);
  EXPECT_EQ(list.count("/d/5.txt"), 1);
  EXPECT_EQ(list[0], "/d/5.txt");
  EXPECT_EQ(list[1], "/d/11.txt");
  // The same file by another name of its path is the same entry.
  list = RecentFiles::Added(list, "/d/./x/../11.txt");
  EXPECT_EQ(list[0], "/d/11.txt");
  EXPECT_EQ(list.count("/d/11.txt"), 1);
  // A relative name is made absolute.
  EXPECT_EQ(RecentFiles::Added({}, "rel.txt")[0],
            QDir::current().absoluteFilePath("rel.txt"));
}

// The list as stored: a hand-edited one is read without doubles, blanks or
// excess; and the suites' settings are not the user's own.
TEST(RecentFiles, ReadFromTheSettingsAsPromised) {
  QSettings().setValue("recentFiles",
                       QStringList{"/a", "", "/a", "/b", "/c", "/d", "/e", "/f",
                                   "/g", "/h", "/i", "/j", "/k"});
  EXPECT_EQ(RecentFiles::Load(), (QStringList{"/a", "/b", "/c", "/d", "/e",
                                              "/f", "/g", "/h", "/i", "/j"}));
  RecentFiles::Clear();
  EXPECT_TRUE(RecentFiles::Load().isEmpty());
  EXPECT_FALSE(QSettings().fileName().startsWith(QDir::homePath()))
      << QSettings().fileName().toStdString();
}

// The texts of the Recent Files entries, without the Clear entry.
QStringList RecentEntries(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator() && a->objectName() != "clearRecentAction") {
      texts << a->text();
    }
  }
  return texts;
}

TEST_F(MainWindowTest, RecentFilesMenu) {
  const QString six = Write("six.txt", kSix);
  const QString three = Write("three & more.txt", "3 2 30\n4 2 45\n5 1 -10\n");
  const QString bad = Write("bad.txt", "3 2 x\n");
  Open({Choose(six)});
  {
    ModalScript s({Box("Number of data < 5")});
    window_->openFile(three);
  }
  Open({Choose(bad), Box("Read error --- #1")});  // refused: not listed
  QMenu* menu = Child<QMenu>("recentMenu");
  EXPECT_EQ(
      RecentEntries(menu),
      (QStringList{"&1  " + QString(three).replace("&", "&&"), "&2  " + six}));
  EXPECT_TRUE(Child<QAction>("clearRecentAction")->isEnabled());
  // Choosing an entry opens it, and puts it first.
  {
    ModalScript none({});
    menu->actions()[1]->trigger();
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(RecentEntries(menu)[0], "&1  " + six);
  // Kept for the next session.
  {
    MainWindow next;
    EXPECT_EQ(RecentEntries(next.findChild<QMenu*>("recentMenu")),
              RecentEntries(menu));
  }
  // A file that has gone is taken off the list with a message.
  ASSERT_TRUE(QFile::remove(three));
  {
    ModalScript s({Box("\"" + three +
                       "\" no longer exists. It is taken off the recent "
                       "files.")});
    menu->actions()[1]->trigger();
  }
  EXPECT_EQ(RecentEntries(menu), QStringList{"&1  " + six});
  EXPECT_EQ(RecentFiles::Load(), QStringList{six});
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  // Clear empties the list, here and in the settings.
  Child<QAction>("clearRecentAction")->trigger();
  EXPECT_TRUE(RecentEntries(menu).isEmpty());
  EXPECT_FALSE(Child<QAction>("clearRecentAction")->isEnabled());
  EXPECT_TRUE(RecentFiles::Load().isEmpty());
}

// Sends a drag of `urls` over the window and drops it; true when the
// window accepted the drag.
bool DragAndDrop(QWidget* window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at(300, 200);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  QApplication::processEvents();
  return true;
}

TEST_F(MainWindowTest, DroppedFileOpensAsIfChosen) {
  const QString six = Write("six.txt", kSix);
  {
    ModalScript none({});
    EXPECT_TRUE(DragAndDrop(window_.get(), {QUrl::fromLocalFile(six)}));
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(window_->OpenFileName(), six);
  EXPECT_EQ(RecentFiles::Load(), QStringList{six});
  // The same messages as the Open command.
  {
    ModalScript s({Box("Read error --- #1")});
    EXPECT_TRUE(DragAndDrop(window_.get(),
                            {QUrl::fromLocalFile(Write("bad.txt", "x\n"))}));
  }
  // Two files, a web address or text alone are not taken.
  {
    ModalScript none({});
    EXPECT_FALSE(DragAndDrop(
        window_.get(), {QUrl::fromLocalFile(six), QUrl::fromLocalFile(six)}));
    EXPECT_FALSE(
        DragAndDrop(window_.get(), {QUrl("https://example.org/six.txt")}));
    EXPECT_FALSE(DragAndDrop(window_.get(), {}));
  }
  EXPECT_EQ(Panel0(), "N : 6");
  // The report pane leaves drops to the window.
  EXPECT_FALSE(Child<QPlainTextEdit>("report")->acceptDrops());
  EXPECT_TRUE(window_->acceptDrops());
}

TEST_F(MainWindowTest, OpenDialogRemembersTheLastFolder) {
  QDir(dir_.path()).mkpath("field/2026");
  const QString folder = dir_.filePath("field/2026");
  const QString six = Write("field/2026/six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(RememberedOpenFolder(), folder);
  // The next session's dialog starts there.
  {
    MainWindow next;
    EXPECT_EQ(QDir(next.findChild<QFileDialog*>("openDialog")->directory())
                  .absolutePath(),
              folder);
  }
  // A refused file in another folder still moves the dialog there.
  QDir(dir_.path()).mkpath("other");
  Open({Choose(Write("other/bad.txt", "x\n")), Box("Read error --- #1")});
  EXPECT_EQ(RememberedOpenFolder(), dir_.filePath("other"));
  // A remembered folder that has gone: the examples again.
  ASSERT_TRUE(QDir(dir_.filePath("other")).removeRecursively());
  MainWindow after;
  EXPECT_EQ(QDir(after.findChild<QFileDialog*>("openDialog")->directory())
                .absolutePath(),
            QDir(MainWindow::ExamplesFolder()).absolutePath());
  EXPECT_TRUE(after.OpenFileName().endsWith("/sampledata.txt"));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// Sets the figure dialog's size and resolution and presses Export...
ModalScript::Handler ExportFigureAt(double width_mm, int dpi) {
  return [width_mm, dpi](QWidget* w) {
    ASSERT_EQ(w->objectName(), "figureDialog");
    w->findChild<QDoubleSpinBox*>("figureWidth")->setValue(width_mm);
    w->findChild<QSpinBox*>("figureDpi")->setValue(dpi);
    w->findChild<QCheckBox*>("figureStyle")->setChecked(true);
    QMetaObject::invokeMethod(w->findChild<QPushButton*>("figureExport"),
                              "click", Qt::QueuedConnection);
  };
}

TEST_F(MainWindowTest, ExportFigureFlow) {
  Open({Choose(Write("six.txt", kSix))});
  const QString path = dir_.filePath("figure.png");
  {
    ModalScript s({ExportFigureAt(85, 150), Choose(path)});
    window_->onExportFigure();
  }
  // 85 x 95.8 mm at 150 dpi.
  EXPECT_EQ(QImage(path).size(), QSize(502, 566));
  // The dialog offers the settings of the last figure.
  {
    ModalScript s({[](QWidget* w) {
      ASSERT_EQ(w->objectName(), "figureDialog");
      EXPECT_EQ(w->findChild<QDoubleSpinBox*>("figureWidth")->value(), 85.0);
      EXPECT_EQ(w->findChild<QSpinBox*>("figureDpi")->value(), 150);
      EXPECT_TRUE(w->findChild<QCheckBox*>("figureStyle")->isChecked());
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }});
    window_->onExportFigure();
  }
  // A figure that cannot be written is reported, and the dialog stays for
  // another try.
  {
    ModalScript s(
        {ExportFigureAt(85, 150), Choose(dir_.filePath("no/such/folder/f.png")),
         [](QWidget* w) {
           auto* box = qobject_cast<QMessageBox*>(w);
           ASSERT_NE(box, nullptr);
           EXPECT_TRUE(box->text().startsWith("Cannot write"));
           ASSERT_EQ(box->parentWidget()->objectName(), "figureDialog");
           QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
           QMetaObject::invokeMethod(box->parentWidget(), "reject",
                                     Qt::QueuedConnection);
         }});
    window_->onExportFigure();
  }
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath("no")));
}

TEST_F(MainWindowTest, ChartTooSmallForAPictureIsRefused) {
  const int extra_w = window_->width() - Chart()->width();
  const int extra_h = window_->height() - Chart()->height();
  window_->resize(100 + extra_w, 100 + extra_h);
  QApplication::processEvents();
  const QSize size = Chart()->size();
  if (size.width() >= kMinPictureSide && size.height() >= kMinPictureSide) {
    GTEST_SKIP() << "the window does not shrink below a picture's size";
  }
  {
    ModalScript s({Box(QString("A picture must be from 120 x 120 to 16384 x "
                               "16384 pixels; this one would be %1 x %2.")
                           .arg(size.width())
                           .arg(size.height()))});
    window_->onSaveChart();
  }
  EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
}  // namespace orvane

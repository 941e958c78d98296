// SPDX-License-Identifier: MIT
// The main window driven as a user drives it: menus, dialogs, message
// boxes, the grid and the chart, on the offscreen platform.
#include "main_window_fixture.h"

namespace orvane {
namespace {

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
  // The two pages of the analysis come first; the other plot, the other
  // estimators and the centre-based strain follow them.
  ASSERT_EQ(Child<QTabWidget>("pages")->count(), 5);
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(0), "Equal-Area Projection");
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(1),
            "Optimal Strain and its Error");
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(2),
            QString::fromUtf8("Rf/\u03c6 Plot"));
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(3), "Methods");
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(4), "Centres");
  EXPECT_EQ(Child<QTabWidget>("pages")->currentIndex(), 0);
  EXPECT_EQ(Child<QPlainTextEdit>("report")->toPlainText(), "");
  EXPECT_FALSE(Child<QPlainTextEdit>("report")->isReadOnly());

  const auto menus = window_->menuBar()->actions();
  ASSERT_EQ(menus.size(), 5);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Edit");
  // Edit > Copy, with nothing to copy yet.
  EXPECT_TRUE(Child<QMenu>("editMenu")->isEnabled());
  EXPECT_EQ(Child<QMenu>("editMenu")->actions(),
            QList<QAction*>{Child<QAction>("copyAction")});
  EXPECT_FALSE(Child<QAction>("copyAction")->isEnabled());
  EXPECT_EQ(menus[2]->menu(), Child<QMenu>("viewMenu"));
  EXPECT_EQ(menus[3]->menu(), Child<QMenu>("analysisMenu"));
  EXPECT_EQ(menus[4]->text(), "&Help");
  const auto file = Child<QMenu>("fileMenu")->actions();
  ASSERT_EQ(file.size(), 16);
  EXPECT_EQ(file[0]->text(), "&Open");
  EXPECT_EQ(file[1]->text(), "&Import Table...");
  EXPECT_EQ(file[2]->objectName(), "importOutlinesAction");
  EXPECT_EQ(file[3]->objectName(), "importLabelImageAction");
  EXPECT_EQ(file[4]->text(), "Recent &Files");
  EXPECT_EQ(file[4]->menu(), Child<QMenu>("recentMenu"));
  EXPECT_EQ(file[5]->text(), "&Save Chart");
  EXPECT_EQ(file[6]->text(), "Export &Figure...");
  EXPECT_EQ(file[6]->objectName(), "exportFigureAction");
  EXPECT_EQ(file[7]->text(), "Export &Results...");
  EXPECT_EQ(file[8]->text(), "Save &Report...");
  EXPECT_TRUE(file[9]->isSeparator());
  EXPECT_EQ(file[10]->objectName(), "newStudyAction");
  EXPECT_EQ(file[11]->text(), "Open S&tudy...");
  EXPECT_EQ(file[12]->objectName(), "saveStudyAction");
  EXPECT_FALSE(file[12]->isEnabled()) << "no study yet";
  EXPECT_EQ(file[13]->objectName(), "saveStudyAsAction");
  EXPECT_TRUE(file[14]->isSeparator());
  EXPECT_EQ(file[15]->text(), "E&xit");
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
            (QStringList{"text file (*.txt)", "All files (*)"}));
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
  // the picture written before, and the data file's name in the format
  // chosen.
  {
    ModalScript s({Choose(dir + "/no/such/folder/plot.png"),
                   [](QWidget* w) { Box(w->property("text").toString())(w); },
                   [&dir](QWidget* w) {
                     auto* dialog = qobject_cast<QFileDialog*>(w);
                     ASSERT_NE(dialog, nullptr);
                     EXPECT_EQ(QDir(dialog->directory()).absolutePath(), dir);
                     auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
                     ASSERT_NE(edit, nullptr);
                     EXPECT_EQ(edit->text(), "six.png");
                     QMetaObject::invokeMethod(dialog, "accept",
                                               Qt::QueuedConnection);
                   }});
    window_->onSaveChart();
    window_->onSaveChart();
  }
  EXPECT_TRUE(QFile::exists(dir + "/six.png"));
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
            "Pre-strain R of datum 2: " +
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
  // A right release on the chart opens its menu and keeps it.
  {
    ModalScript none({});
    ReleaseOnChart(Qt::RightButton);
  }
  EXPECT_TRUE(Child<QMenu>("plotMenu")->isVisible());
  Child<QMenu>("plotMenu")->hide();
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
    EXPECT_EQ(Panel1().toStdString(),
              "Pre-strain R of datum " + std::to_string(i) + ": " +
                  FormatGrid(s.retrodeformed[i].ratio, "."))
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

}  // namespace
}  // namespace orvane

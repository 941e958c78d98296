// SPDX-License-Identifier: MIT
// Edit > Copy by where the focus is (the grid's rows, the report's text, a
// plot as an image), the grid's pre-strain columns, the status bar's text
// for a marked datum, the report's face and the icons of message boxes.
#include <QClipboard>
#include <QFontInfo>
#include <QImage>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextCursor>

#include "main_window_fixture.h"
#include "window/methods_page.h"
#include "window/rf_phi_page.h"

namespace orvane {
namespace {

// Expects a message box of `icon` with `text` and presses OK.
ModalScript::Handler IconBox(const QString& text, QMessageBox::Icon icon) {
  return [text, icon](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << w->metaObject()->className();
    EXPECT_EQ(box->text().toStdString(), text.toStdString());
    EXPECT_EQ(box->icon(), icon) << text.toStdString();
    QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click",
                              Qt::QueuedConnection);
  };
}

class WindowCopyTest : public MainWindowTest {
 protected:
  QString Clipboard() const { return QApplication::clipboard()->text(); }
  void PressCopyKey(QWidget* w) {
    QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
  }
  // The window active, as a user's is, so that its widgets take the focus.
  void Activate() {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  QAction* CopyAction() const { return Child<QAction>("copyAction"); }
  QTabWidget* Pages() const { return Child<QTabWidget>("pages"); }
};

// kSix's data rows 2 and 3 as the grid shows them.
constexpr const char* kRowTwo = "4.00\t2.00\t45.00\t2.00";
constexpr const char* kRowThree = "5.00\t1.00\t40.00\t5.00";
constexpr const char* kTitles = "major\tminor\tangle\tR";

TEST_F(WindowCopyTest, CopyFollowsTheFocus) {
  ASSERT_TRUE(Child<QMenu>("editMenu")->isEnabled());
  EXPECT_EQ(CopyAction()->text(), "&Copy");
  EXPECT_EQ(CopyAction()->shortcut(), QKeySequence(QKeySequence::Copy));
  EXPECT_FALSE(CopyAction()->isEnabled()) << "nothing to copy yet";
  Open({Choose(Write("six.txt", kSix))});
  EXPECT_TRUE(CopyAction()->isEnabled());
  Activate();

  // The grid: whole rows in grid order under the column titles, from a
  // selection made bottom-up, by its own key and by the menu.
  PressRow(3, 2);
  QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                    Grid()->visualRect(Grid()->Model().index(1, 0)).center());
  ASSERT_EQ(QApplication::focusWidget(), Grid());
  const QString rows = QString("%1\n%2\n%3\n").arg(kTitles, kRowTwo, kRowThree);
  QApplication::clipboard()->clear();
  PressCopyKey(Grid());
  EXPECT_EQ(Clipboard(), rows);
  QApplication::clipboard()->clear();
  CopyAction()->trigger();
  EXPECT_EQ(Clipboard(), rows);
  // No selection: the current row; rows below the data copy nothing.
  Grid()->clearSelection();
  PressCopyKey(Grid());
  EXPECT_EQ(Clipboard(), QString("%1\n%2\n").arg(kTitles, kRowTwo));
  Grid()->setCurrentIndex(Grid()->Model().index(8, 0));
  Grid()->clearSelection();
  Grid()->CopySelectedRows();
  EXPECT_EQ(Clipboard(), QString("%1\n%2\n").arg(kTitles, kRowTwo));

  // A click on the chart takes the focus: the chart as Save Chart's PNG
  // draws it, at its size on the screen.
  QTest::mouseClick(Chart(), Qt::LeftButton, {}, QPoint(60, 300));
  PressCopyKey(Chart());
  const QString png = dir_.filePath("chart.png");
  ASSERT_TRUE(
      SaveChartPictureFile(Chart()->Chart(), Chart()->size(), png).ok());
  EXPECT_EQ(
      QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
      QImage(png).convertToFormat(QImage::Format_RGB32));

  // The Rf/phi tab: its plot, at its own size.
  Pages()->setCurrentIndex(2);
  auto* rf_phi = Child<RfPhiPage>("rfPhiPage");
  window_->copyChart();
  const QImage plot = QApplication::clipboard()->image();
  EXPECT_EQ(plot.size(), rf_phi->PlotWidget()->size());
  EXPECT_NE(plot.size(), Chart()->size());

  // The report: all of it, or the part selected; its face is of one width
  // so that its columns line up.
  Pages()->setCurrentIndex(1);
  auto* report = Child<QPlainTextEdit>("report");
  EXPECT_TRUE(QFontInfo(report->font()).fixedPitch());
  report->setFocus();
  PressCopyKey(report);
  EXPECT_EQ(Clipboard(), report->toPlainText());
  QTextCursor cursor(report->document()->findBlockByNumber(1));
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  report->setTextCursor(cursor);
  PressCopyKey(report);
  EXPECT_EQ(Clipboard(), "  file = " + dir_.filePath("six.txt"));

  // The Methods table keeps its own copy key: no clash with Edit > Copy.
  Pages()->setCurrentIndex(3);
  auto* table = Child<QTableWidget>("methodsTable");
  table->setFocus();
  QApplication::clipboard()->clear();
  PressCopyKey(table);
  EXPECT_EQ(Clipboard(), Child<MethodsPage>("methodsPage")->RowsText());
  EXPECT_FALSE(Clipboard().isEmpty());
}

TEST_F(WindowCopyTest, PreStrainColumns) {
  auto* action = Child<QAction>("preStrainColumnsAction");
  ASSERT_TRUE(action->isCheckable());
  EXPECT_FALSE(action->isChecked());
  Open({Choose(Write("six.txt", kSix))});
  const int narrow = Grid()->FittedWidth();
  ASSERT_EQ(Grid()->Model().columnCount(), 4);

  action->trigger();
  const QAbstractItemModel& m = Grid()->Model();
  ASSERT_EQ(m.columnCount(), 6);
  EXPECT_EQ(m.headerData(4, Qt::Horizontal, Qt::DisplayRole), "R pre");
  EXPECT_EQ(m.headerData(5, Qt::Horizontal, Qt::DisplayRole),
            QString::fromUtf8("\u03c6 pre"));
  const AnalysisState& s = window_->State();
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(Cell(i, 5).toStdString(),
              FormatGrid(s.retrodeformed[i].ratio, "."));
    EXPECT_EQ(Cell(i, 6).toStdString(),
              FormatGrid(s.retrodeformed[i].phi, "."));
  }
  // The grid widens by the two columns, still flush with the chart's right
  // edge, and every column shown fits its widest cell.
  EXPECT_GE(Grid()->FittedWidth(), narrow + 2 * kGridColumnWidth);
  EXPECT_EQ(Grid()->width(), Grid()->FittedWidth());
  EXPECT_EQ(Grid()->geometry().right(), Chart()->width() - 1);
  const QFontMetrics fm(Grid()->font());
  for (int c = 0; c < 6; ++c) {
    EXPECT_GE(
        Grid()->columnWidth(c),
        fm.horizontalAdvance(m.data(m.index(0, c), Qt::DisplayRole).toString()))
        << c;
  }
  // Copy takes the columns shown.
  PressRow(2, 1);
  PressCopyKey(Grid());
  EXPECT_EQ(Clipboard(), QString("%1\tR pre\t\u03c6 pre\n%2\t%3\t%4\n")
                             .arg(kTitles, kRowTwo, Cell(2, 5), Cell(2, 6)));
  // Kept for the next session, which shows them from the start.
  EXPECT_TRUE(QSettings().value("preStrainColumns").toBool());
  {
    MainWindow next;
    EXPECT_EQ(next.findChild<DataGrid*>("dataGrid")->Model().columnCount(), 6);
    EXPECT_TRUE(
        next.findChild<QAction*>("preStrainColumnsAction")->isChecked());
  }
  // Off again: the grid as it was.
  action->trigger();
  EXPECT_EQ(m.columnCount(), 4);
  EXPECT_EQ(Grid()->FittedWidth(), narrow);
  EXPECT_EQ(Grid()->width(), narrow);
}

TEST_F(WindowCopyTest, StatusBarNamesTheMarkedDatum) {
  Open({Choose(Write("six.txt", kSix))});
  const QString limits = Panel1();
  ASSERT_TRUE(limits.startsWith("  R_s = "));
  PressRow(2);
  EXPECT_EQ(Panel1().toStdString(),
            "Pre-strain R of datum 2: " +
                FormatGrid(window_->State().retrodeformed[2].ratio, "."));
  // The left click that clears the marks brings the limits back.
  ReleaseOnChart(Qt::LeftButton);
  EXPECT_EQ(Panel1(), limits);
  // Too few data for limits: the panel is empty again.
  Open({Choose(Write("three.txt", "3 2 30\n4 2 45\n5 1 -10\n")),
        IconBox("Number of data < 5", QMessageBox::Information)});
  PressRow(3);
  EXPECT_TRUE(Panel1().startsWith("Pre-strain R of datum 3: "));
  ReleaseOnChart(Qt::LeftButton);
  EXPECT_EQ(Panel1(), "");
}

// Failures show the warning icon, notices the information icon; the texts
// stay.
TEST_F(WindowCopyTest, MessageIcons) {
  Open({Type(dir_.path(), "absent"),
        IconBox("File not exits.", QMessageBox::Warning)});
  Open({Choose(Write("bad.txt", "3 0 45\n")),
        IconBox("Minor axis must be positive.  #1", QMessageBox::Warning)});
  const QString gone = Write("gone.txt", kSix);
  ASSERT_TRUE(QFile::remove(gone));
  {
    ModalScript s({IconBox(
        "\"" + gone + "\" no longer exists. It is taken off the recent files.",
        QMessageBox::Warning)});
    window_->onOpenRecent(gone);
  }
  {
    ModalScript s({Type(dir_.path(), "chart.xyz"),
                   IconBox("Invalid file extension.", QMessageBox::Warning)});
    window_->onSaveChart();
  }
}

}  // namespace
}  // namespace orvane

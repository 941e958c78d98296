// SPDX-License-Identifier: MIT
// The Methods tab of the window, filled by every Open and emptied without
// data. CTest runs this suite with LC_ALL=de_DE.UTF-8: the figures take the
// report's decimal comma.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "core/number_format.h"
#include "support/modal_script.h"
#include "support/temp_folder.h"
#include "window/about_box.h"
#include "window/main_window.h"
#include "window/methods_page.h"

namespace orvane {
namespace {

using testing_support::Box;
using testing_support::ModalScript;

class MethodsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(LocaleDecimalSeparator(), ",")
        << "run under LC_ALL=de_DE.UTF-8, with the locale installed";
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
    table_ = window_.findChild<QTableWidget*>("methodsTable");
    ASSERT_NE(table_, nullptr);
  }
  void Open(const std::string& path, std::deque<ModalScript::Handler> boxes) {
    ModalScript script(std::move(boxes));
    window_.openFile(QString::fromStdString(path));
    QApplication::processEvents();
  }
  QString Cell(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  int RowOf(const QString& method) const {
    for (int r = 0; r < table_->rowCount(); ++r) {
      if (Cell(r, 0) == method) return r;
    }
    ADD_FAILURE() << "no row " << method.toStdString();
    return 0;
  }

  testing_support::TempFolder folder_{"methods_page"};
  MainWindow window_;
  QTableWidget* table_ = nullptr;
};

TEST_F(MethodsPageTest, TabAfterTheReportFilledByEachOpen) {
  auto* pages = window_.findChild<QTabWidget*>("pages");
  ASSERT_NE(pages, nullptr);
  const int tab = pages->indexOf(window_.findChild<QWidget*>("methodsPage"));
  EXPECT_GE(tab, 2);
  EXPECT_EQ(pages->tabText(tab), "Methods");
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(table_->columnCount(), 3);
  EXPECT_EQ(table_->horizontalHeaderItem(1)->text(), "Value");
  EXPECT_EQ(table_->rowCount(), 0);

  Open("examples/sampledata.txt", {});
  ASSERT_EQ(table_->rowCount(), 11);
  // R_s with the report's digits and comma.
  const QString report =
      window_.findChild<QPlainTextEdit*>("report")->toPlainText();
  EXPECT_EQ(Cell(0, 0), "Hyperbolic vector mean, R_s");
  EXPECT_TRUE(report.contains("  R_s    = " + Cell(0, 1)))
      << Cell(0, 1).toStdString();
  EXPECT_EQ(Cell(RowOf("Degrees of freedom"), 1), "17");
  EXPECT_EQ(Cell(RowOf("95% critical value"), 1), "27,587");
  EXPECT_EQ(Cell(RowOf("Uniformity of theta"), 1), "uniform");
  EXPECT_EQ(Cell(RowOf("Fluctuation F of phi"), 1), "89,200");
  // Every cell names its method and reference.
  for (int r = 0; r < table_->rowCount(); ++r) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_TRUE(table_->item(r, c)->toolTip().contains('(')) << r << "," << c;
    }
  }
  EXPECT_TRUE(table_->item(RowOf("Harmonic mean of Rf"), 1)
                  ->toolTip()
                  .contains("Lisle (1977)"));

  // Four data: figures, but no test of theta.
  const std::string four =
      folder_.Write("four.txt", "3 2 30\n4 2 45\n5 1 -10\n2 1 0\n");
  Open(four, {Box("Number of data < 5")});
  ASSERT_EQ(table_->rowCount(), 11);
  EXPECT_EQ(Cell(RowOf("Uniformity of theta"), 1), "not tested");
  EXPECT_EQ(Cell(RowOf("Ramsay, R_s"), 2).left(22), "sqrt(Rf max * Rf min);");

  // A refused file changes nothing; a file without data empties the tab.
  const std::string bad = folder_.Write("bad.txt", "3 0 45\n");
  Open(bad, {Box("Minor axis must be positive.  #1")});
  EXPECT_EQ(table_->rowCount(), 11);
  const std::string empty = folder_.Write("empty.txt", "");
  Open(empty, {Box("No data.")});
  EXPECT_EQ(table_->rowCount(), 0);
  EXPECT_TRUE(
      window_.findChild<QLabel*>("methodsHint")->text().startsWith("No data"));
}

TEST_F(MethodsPageTest, LargeDataAreComparedOnTheWorker) {
  // Enough data for the estimators to leave the window's thread.
  std::string text;
  for (int i = 0; i < 300000; ++i) {
    text +=
        std::to_string(2 + i % 3) + " 1 " + std::to_string(i % 60 - 30) + "\n";
  }
  Open(folder_.Write("large.txt", text), {});
  ASSERT_EQ(table_->rowCount(), 11);
  // phi from -30 to 29: F = 59, so R_s = sqrt(4 * 2).
  EXPECT_EQ(Cell(RowOf("Fluctuation F of phi"), 1), "59,000");
  EXPECT_EQ(Cell(RowOf("Ramsay, R_s"), 1), "2,828");
  EXPECT_EQ(Cell(RowOf("Degrees of freedom"), 1), "17");
}

TEST_F(MethodsPageTest, CopyPutsTheRowsOnTheClipboard) {
  Open("examples/sampledata.txt", {});
  auto* page = window_.findChild<MethodsPage*>("methodsPage");
  ASSERT_NE(page, nullptr);
  // Nothing selected: every row.
  QStringList lines = page->RowsText().split('\n');
  ASSERT_EQ(lines.size(), 1 + 11 + 1);  // header, rows, the final newline
  EXPECT_EQ(lines[0], "Method\tValue\tNotes");
  EXPECT_TRUE(lines[1].startsWith("Hyperbolic vector mean, R_s\t1,628\t"));
  table_->selectRow(3);
  window_.findChild<QAction*>("copyMethodsAction")->trigger();
  lines = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[1].startsWith("Harmonic mean of Rf\t"))
      << lines[1].toStdString();
}

}  // namespace
}  // namespace orvane

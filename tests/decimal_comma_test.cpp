// The window under a locale with a decimal comma: CTest runs this suite with
// LC_ALL=de_DE.UTF-8. Every number shown takes the comma; the data file is
// still read with full stops.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "core/number_format.h"
#include "temp_folder.h"
#include "window/about_box.h"
#include "window/data_grid.h"
#include "window/main_window.h"

namespace orvane {
namespace {

TEST(DecimalComma, EveryNumberShownTakesTheComma) {
  ASSERT_EQ(LocaleDecimalSeparator(), ",")
      << "run under LC_ALL=de_DE.UTF-8, with the locale installed";
  testing_support::TempFolder folder("comma");
  const std::string six = folder.Write(
      "six.txt", "3.5 2 30\n4 2 45.5\n5 1 -10\n2 1 20\n3 1 40\n2.5 1 35\n");
  MainWindow window;
  AboutBox about(&window);
  window.SetAboutBox(&about);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.openFile(QString::fromStdString(six));

  auto* grid = window.findChild<DataGrid*>("dataGrid");
  ASSERT_NE(grid, nullptr);
  auto cell = [grid](int row, int column) {
    return grid->Model()
        .data(grid->Model().index(row - 1, column - 1), Qt::DisplayRole)
        .toString();
  };
  EXPECT_EQ(cell(1, 1), "3,50");
  EXPECT_EQ(cell(2, 3), "45,50");
  EXPECT_EQ(cell(3, 3), "-10,00");

  const QString report =
      window.findChild<QPlainTextEdit*>("report")->toPlainText();
  EXPECT_TRUE(report.contains("  R_s    = 1,788")) << report.toStdString();
  EXPECT_TRUE(report.contains("  N    = 6"));
  const QString limits = window.findChild<QLabel*>("statusLimits")->text();
  EXPECT_TRUE(limits.startsWith("  R_s = ")) << limits.toStdString();
  EXPECT_FALSE(limits.contains('.')) << limits.toStdString();

  // The highlight's pre-strain R, too.
  const QRect r = grid->visualRect(grid->Model().index(1, 1));
  QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, r.center());
  const QString highlight = window.findChild<QLabel*>("statusLimits")->text();
  EXPECT_TRUE(highlight.contains(',')) << highlight.toStdString();
  EXPECT_FALSE(highlight.contains('.'));
}

}  // namespace
}  // namespace orvane

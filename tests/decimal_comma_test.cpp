// SPDX-License-Identifier: MIT
// The window under a locale with a decimal comma: CTest runs this suite with
// LC_ALL=de_DE.UTF-8. Every number shown takes the comma; the data file is
// still read with full stops.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include "core/number_format.h"
#include "support/temp_folder.h"
#include "window/about_box.h"
#include "window/data_grid.h"
#include "window/main_window.h"
#include "window/rf_phi_page.h"

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

  // The theta-curves' ratios are written and read with the comma too,
  // separated by semicolons; a list that could be read two ways is refused.
  auto* ratios = window.findChild<QLineEdit*>("thetaRatios");
  ASSERT_NE(ratios, nullptr);
  EXPECT_EQ(ratios->text(), "1,25; 1,5; 2; 3; 5");
  const RfPhiPlot& plot = window.findChild<RfPhiPage*>()->Plot();
  auto enter = [ratios](const QString& text) {
    ratios->setText(text);
    QTest::keyClick(ratios, Qt::Key_Return);
  };
  enter("1,5; 2,5 4");
  EXPECT_EQ(plot.ThetaCurveRatios(), (std::vector<float>{1.5f, 2.5f, 4}));
  enter("1,5,2");
  EXPECT_EQ(plot.ThetaCurveRatios(), (std::vector<float>{1.5f, 2.5f, 4}));
  const QString message =
      window.findChild<QLabel*>("thetaRatiosMessage")->text();
  EXPECT_TRUE(message.contains("\"1,5,2\" is ambiguous"))
      << message.toStdString();
}

// Accepts `path` in the next file dialog that opens.
void ChooseInNextDialog(const QString& path) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, path] {
    auto* dialog =
        qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    timer->stop();
    timer->deleteLater();
    // The name field would otherwise keep the name typed into it.
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
  });
  timer->start(10);
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The exported table keeps the full stop; the saved report is the text
// shown, with the comma.
TEST(DecimalComma, ExportedTableKeepsTheFullStop) {
  ASSERT_EQ(LocaleDecimalSeparator(), ",");
  testing_support::TempFolder folder("comma_table");
  const std::string six = folder.Write(
      "six.txt", "3.5 2 30\n4 2 45.5\n5 1 -10\n2 1 20\n3 1 40\n2.5 1 35\n");
  MainWindow window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.openFile(QString::fromStdString(six));
  const QString dir = QString::fromStdString(folder.path().string());

  ChooseInNextDialog(dir + "/six.csv");
  window.onExportResults();
  const QByteArray table = ReadAll(dir + "/six.csv");
  EXPECT_TRUE(table.contains("\n1,3.5,2,30,1.75,")) << table.toStdString();
  EXPECT_TRUE(table.contains("\n2,4,2,45.5,2,")) << table.toStdString();
  EXPECT_TRUE(table.contains("\n# R_s,1.78")) << table.toStdString();
  // No number has a comma inside: every row has exactly its six commas.
  const QList<QByteArray> lines = table.split('\n');
  ASSERT_GE(lines.size(), 17);
  for (int i = 10; i < 16; ++i) EXPECT_EQ(lines[i].count(','), 6) << i;

  ChooseInNextDialog(dir + "/saved-report.txt");
  window.onSaveReport();
  const QByteArray report = ReadAll(dir + "/saved-report.txt");
  EXPECT_TRUE(report.contains("  R_s    = 1,788\n")) << report.toStdString();
  EXPECT_EQ(
      report,
      window.findChild<QPlainTextEdit*>("report")->toPlainText().toUtf8() +
          "\n");
}

}  // namespace
}  // namespace orvane

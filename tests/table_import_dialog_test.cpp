// SPDX-License-Identifier: MIT
// File > Import Table...: the import dialog and the window's import, driven
// as a user drives them, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>
#include <functional>

#include "support/modal_script.h"
#include "window/main_window.h"
#include "window/table_import_dialog.h"

namespace orvane {
namespace {

using testing_support::Box;
using testing_support::Choose;
using testing_support::ModalScript;
using testing_support::Offers;

// Presses Import in the import dialog, after `check` has looked at it.
ModalScript::Handler Import(
    std::function<void(TableImportDialog*)> check = {}) {
  return [check](QWidget* w) {
    auto* dialog = qobject_cast<TableImportDialog*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    if (check) check(dialog);
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttons");
    QMetaObject::invokeMethod(buttons->button(QDialogButtonBox::Ok), "click",
                              Qt::QueuedConnection);
  };
}

template <typename T>
T* Find(const QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(name);
  EXPECT_NE(child, nullptr) << name;
  return child;
}

QString Cell(const TableImportDialog& d, int row, int column) {
  const QTableWidgetItem* item =
      Find<QTableWidget>(&d, "previewTable")->item(row, column);
  return item ? item->text() : QString();
}

QString Heading(const TableImportDialog& d, int column) {
  return Find<QTableWidget>(&d, "previewTable")
      ->horizontalHeaderItem(column)
      ->text();
}

bool CanImport(const TableImportDialog& d) {
  return Find<QDialogButtonBox>(&d, "buttons")
      ->button(QDialogButtonBox::Ok)
      ->isEnabled();
}

void Pick(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

// An image-analysis results table of `rows` grains.
QByteArray ResultsTable(int rows) {
  QByteArray t = " ,Area,X,Y,Major,Minor,Angle\n";
  for (int i = 1; i <= rows; ++i) {
    t += QByteArray::number(i) + ",400," + QByteArray::number(i * 3) + ",20," +
         QByteArray::number(3 + i % 4) + ".5,1.5," +
         QByteArray::number(20 + i % 30) + "\n";
  }
  return t;
}

class TableImportDialogTest : public ::testing::Test {
 protected:
  QString Write(const QString& name, const QByteArray& text) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
  }
  QTemporaryDir dir_;
};

TEST_F(TableImportDialogTest, ShowsWhatItFoundAndTheRowsAsRead) {
  TableImportDialog d(Write("results.csv", ResultsTable(25)));
  d.show();
  EXPECT_EQ(Find<QComboBox>(&d, "delimiterBox")->currentText(), "Comma");
  EXPECT_TRUE(Find<QCheckBox>(&d, "headerCheck")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(&d, "decimalCommaCheck")->isEnabled());
  EXPECT_EQ(Find<QComboBox>(&d, "majorColumnBox")->currentText(), "5: Major");
  EXPECT_EQ(Find<QComboBox>(&d, "minorColumnBox")->currentText(), "6: Minor");
  EXPECT_EQ(Find<QComboBox>(&d, "ratioColumnBox")->currentText(), "(none)");
  EXPECT_EQ(Find<QComboBox>(&d, "angleColumnBox")->currentText(), "7: Angle");
  EXPECT_EQ(Find<QComboBox>(&d, "xColumnBox")->currentText(), "3: X");
  EXPECT_EQ(Find<QComboBox>(&d, "yColumnBox")->currentText(), "4: Y");
  EXPECT_EQ(Find<QComboBox>(&d, "areaColumnBox")->currentText(), "2: Area");
  EXPECT_EQ(Find<QComboBox>(&d, "referenceBox")->currentText(),
            "from the x axis");
  EXPECT_EQ(Find<QTableWidget>(&d, "previewTable")->rowCount(), 20);
  EXPECT_EQ(Find<QLabel>(&d, "rowCountLabel")->text(),
            "25 data rows; the first 20 shown.");
  EXPECT_EQ(Heading(d, 0), "Line");
  EXPECT_EQ(Heading(d, 1), "Major axis");
  EXPECT_EQ(Heading(d, 8), "Major [major]");
  EXPECT_EQ(Heading(d, 10), "Angle [angle]");
  EXPECT_EQ(Cell(d, 0, 0), "2");    // the line of the first row
  EXPECT_EQ(Cell(d, 0, 1), "4.5");  // its major axis as read
  EXPECT_EQ(Cell(d, 0, 2), "1.5");
  EXPECT_EQ(Cell(d, 0, 3), "21");   // its orientation
  EXPECT_EQ(Cell(d, 0, 8), "4.5");  // the cell itself
  EXPECT_TRUE(CanImport(d));
  EXPECT_EQ(d.Layout().major_column, 4);
  // The area left out by choice: the layout reads no area.
  Pick(Find<QComboBox>(&d, "areaColumnBox"), 0);
  EXPECT_EQ(d.Layout().area_column, -1);
  EXPECT_EQ(d.Layout().x_column, 2);
}

TEST_F(TableImportDialogTest, EditingTheChoicesReadsTheRowsAgain) {
  TableImportDialog d(
      Write("azimuths.txt",
            "Max;Min;Phi\n3,5;1,5;30\n4;2;120\n2,5;1;60\n3;2;100\n4;3;10\n"));
  EXPECT_EQ(Find<QComboBox>(&d, "delimiterBox")->currentText(), "Semicolon");
  EXPECT_TRUE(Find<QCheckBox>(&d, "decimalCommaCheck")->isChecked());
  EXPECT_EQ(Cell(d, 0, 1), "3.5");
  EXPECT_EQ(Cell(d, 0, 4), "3,5");
  EXPECT_EQ(Cell(d, 0, 3), "30");

  // Azimuths: clockwise from north.
  Pick(Find<QComboBox>(&d, "referenceBox"), 1);
  Pick(Find<QComboBox>(&d, "senseBox"), 1);
  EXPECT_EQ(Cell(d, 0, 3), "60");
  EXPECT_EQ(Cell(d, 1, 3), "-30");
  EXPECT_EQ(d.Layout().convention,
            (AngleConvention{AngleReference::kNorth, AngleSense::kClockwise,
                             AngleUnit::kDegrees}));

  // Without decimal commas the first row cannot be read.
  QCheckBox* comma = Find<QCheckBox>(&d, "decimalCommaCheck");
  comma->click();
  EXPECT_EQ(d.Problem(), "line 2, column Max: not a number");
  EXPECT_EQ(Find<QLabel>(&d, "problemLabel")->text(), d.Problem());
  EXPECT_EQ(Cell(d, 0, 1), "line 2, column Max: not a number");
  EXPECT_FALSE(CanImport(d));
  comma->click();
  EXPECT_TRUE(CanImport(d));

  // No orientation column: nothing to import.
  Pick(Find<QComboBox>(&d, "angleColumnBox"), 0);
  EXPECT_EQ(d.Problem(), "No column holds the orientation.");
  EXPECT_FALSE(CanImport(d));
  Pick(Find<QComboBox>(&d, "angleColumnBox"), 3);
  EXPECT_TRUE(CanImport(d));

  // The first row as data: its names are no numbers.
  Find<QCheckBox>(&d, "headerCheck")->click();
  EXPECT_FALSE(CanImport(d));
  EXPECT_EQ(Find<QLabel>(&d, "rowCountLabel")->text(),
            "6 data rows; the first 6 shown.");
}

class WindowImportTest : public TableImportDialogTest {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QStringList Report() const {
    return Find<QPlainTextEdit>(window_.get(), "report")
        ->toPlainText()
        .split('\n');
  }
  std::unique_ptr<MainWindow> window_;
};

TEST_F(WindowImportTest, ImportTableSitsAfterOpen) {
  QStringList names;
  for (QAction* a : Find<QMenu>(window_.get(), "fileMenu")->actions()) {
    names << (a->isSeparator() ? "-" : a->text());
  }
  EXPECT_EQ(names.mid(0, 2), (QStringList{"&Open", "&Import Table..."}));
}

TEST_F(WindowImportTest, ImportGivesTheStateOfTheHandConvertedFile) {
  const QString table = Write("grains.csv", ResultsTable(8));
  {
    ModalScript a({Choose(table), Import()});
    window_->onImportTable();
    QApplication::processEvents();
  }
  EXPECT_EQ(window_->windowTitle().toStdString(), "Orvane  [ grains.csv ]");
  // ImageJ's X, Y and Area come with the data, and the data block says
  // their ranges.
  EXPECT_EQ(Report().mid(0, 6),
            (QStringList{"*** Data ***", "  file = " + table, "  N    = 8",
                         "  x    = 3 .. 24", "  y    = 20 .. 20",
                         "  area = 400 .. 400, total 3200"}));
  const AnalysisState imported = window_->State();
  ASSERT_EQ(imported.places.x.size(), 9u);
  EXPECT_EQ(imported.places.x[8], 24.0);
  EXPECT_EQ(imported.places.y[1], 20.0);
  EXPECT_EQ(imported.places.area[5], 400.0);
  const QStringList imported_report = Report();

  QByteArray native;
  for (int i = 1; i <= 8; ++i) {
    native += QByteArray::number(3 + i % 4) + ".5 1.5 " +
              QByteArray::number(20 + i % 30) + "\n";
  }
  window_->openFile(Write("grains.txt", native));
  QApplication::processEvents();
  const AnalysisState& opened = window_->State();
  ASSERT_EQ(opened.count, imported.count);
  EXPECT_EQ(std::memcmp(opened.measured.data(), imported.measured.data(),
                        opened.measured.size() * sizeof(MarkerRecord)),
            0);
  EXPECT_EQ(std::memcmp(&opened.strain, &imported.strain, sizeof opened.strain),
            0);
  EXPECT_TRUE(opened.places.Empty());
  EXPECT_EQ(Report().mid(3), imported_report.mid(6));
  // The open dialog still offers the last data file opened, not the table.
  EXPECT_TRUE(window_->OpenFileName().endsWith("grains.txt"));
}

// An imported table is the source of the data held, after a data file
// opened before it too: the saves are enabled and offer its name, the
// results table names it, and a cancelled Open analyses its data again
// under its name, whatever name the open dialog offers.
TEST_F(WindowImportTest, TheTableIsTheSourceHeld) {
  window_->openFile(
      Write("six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n"));
  QApplication::processEvents();
  const QString table = Write("grains.csv", ResultsTable(8));
  {
    ModalScript a({Choose(table), Import()});
    window_->onImportTable();
    QApplication::processEvents();
  }
  const QStringList head{"*** Data ***", "  file = " + table, "  N    = 8"};
  ASSERT_EQ(Report().mid(0, 3), head);
  EXPECT_TRUE(Find<QAction>(window_.get(), "saveReportAction")->isEnabled());
  ASSERT_TRUE(Find<QAction>(window_.get(), "exportResultsAction")->isEnabled());
  const QString folder = QFileInfo(table).absolutePath();
  const QString csv = folder + "/out.csv";
  {
    ModalScript a({Offers(folder, "grains-results.csv", csv)});
    window_->onExportResults();
  }
  QFile written(csv);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.readAll().startsWith("# file," + table.toUtf8() + "\n"));
  {
    ModalScript a({Offers(folder, "grains-report.txt", folder + "/r.txt")});
    window_->onSaveReport();
  }
  {
    ModalScript a({testing_support::Cancel()});
    window_->onOpen();
    QApplication::processEvents();
  }
  EXPECT_EQ(Report().mid(0, 3), head);
  EXPECT_EQ(window_->windowTitle().toStdString(), "Orvane  [ grains.csv ]");
  EXPECT_EQ(window_->State().count, 8);
}

TEST_F(WindowImportTest, RefusedOrCancelledImportChangesNothing) {
  window_->openFile(
      Write("six.txt", "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n"));
  QApplication::processEvents();
  const QStringList report = Report();
  const QString title = window_->windowTitle();

  // A fault beyond the rows the dialog previews meets the import's refusal.
  QByteArray bad = ResultsTable(30);
  bad += "31,400,1,2,3.5,1.5,x\n";
  {
    ModalScript a(
        {Import([](TableImportDialog* d) { EXPECT_TRUE(CanImport(*d)); }),
         Box("line 32, column Angle: not a number")});
    window_->importTable(Write("bad.csv", bad));
    QApplication::processEvents();
  }
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(window_->windowTitle(), title);
  EXPECT_EQ(window_->State().count, 6);

  {
    ModalScript a({[](QWidget* w) {
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }});
    window_->importTable(Write("good.csv", ResultsTable(9)));
    QApplication::processEvents();
  }
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(window_->State().count, 6);
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The main window as the tests drive it: shown on the offscreen platform
// with an About box, settings of the suite's own, a folder for the files a
// test writes, and the widgets found by their object names.
#ifndef ORVANE_TESTS_MAIN_WINDOW_FIXTURE_H_
#define ORVANE_TESTS_MAIN_WINDOW_FIXTURE_H_

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
inline ModalScript::Handler Type(const QString& dir, const QString& name,
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

inline constexpr const char* kSix =
    "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

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

}  // namespace
}  // namespace orvane

#endif  // ORVANE_TESTS_MAIN_WINDOW_FIXTURE_H_

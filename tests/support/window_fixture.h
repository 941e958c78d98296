// SPDX-License-Identifier: MIT
// A main window shown on the test's screen, with settings of its own
// (cleared before and after each test, see qt_test_main.cpp) and a folder
// for the data files a test opens.
#ifndef ORVANE_TESTS_SUPPORT_WINDOW_FIXTURE_H_
#define ORVANE_TESTS_SUPPORT_WINDOW_FIXTURE_H_

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "window/main_window.h"

namespace orvane::testing_support {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A new window in place of the one shown, as the next session starts.
  void ShowNewWindow();
  // Writes `text` to the file `name` of the test's folder; its path.
  QString WriteData(const QString& name, const QByteArray& text);
  template <typename T>
  T* Child(const char* name) const {
    T* child = window_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  QTemporaryDir dir_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_WINDOW_FIXTURE_H_

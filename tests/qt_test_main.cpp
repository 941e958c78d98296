// SPDX-License-Identifier: MIT
// main() of the test suites that draw with Qt: the application object on the
// offscreen platform, then the tests. Suites of widgets get a QApplication,
// the others a QGuiApplication, so that they need no more than their layer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#ifdef ORVANE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The suites never touch the user's settings: what the window remembers
  // goes to a folder of this process, removed when it ends.
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     settings.path());
  QCoreApplication::setOrganizationName("OrvaneTests");
  QCoreApplication::setApplicationName("OrvaneTests");
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// main() of the test suites that draw with Qt: the application object on the
// offscreen platform, then the tests. Suites of widgets get a QApplication,
// the others a QGuiApplication, so that they need no more than their layer.
#include <gtest/gtest.h>

#ifdef ORVANE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

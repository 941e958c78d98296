// SPDX-License-Identifier: MIT
#include "support/window_fixture.h"

#include <QFile>
#include <QSettings>
#include <QTest>

namespace orvane::testing_support {

void WindowTest::SetUp() {
  QSettings().clear();
  ShowNewWindow();
}

void WindowTest::TearDown() {
  window_.reset();
  QSettings().clear();
}

void WindowTest::ShowNewWindow() {
  window_.reset();
  window_ = std::make_unique<MainWindow>();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

QString WindowTest::WriteData(const QString& name, const QByteArray& text) {
  const QString path = dir_.filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  return path;
}

}  // namespace orvane::testing_support

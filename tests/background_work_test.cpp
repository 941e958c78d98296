// SPDX-License-Identifier: MIT
// The worker behind the progress box: however the work ends, or wherever
// it runs, the window is given back with no box and no wait cursor.
#include "window/background_work.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QProgressDialog>
#include <QThread>
#include <QWidget>

#include <stdexcept>

#include "core/parallel.h"

namespace orvane {
namespace {

// An exception on the worker neither ends the program nor leaves the box's
// loop waiting for good.
TEST(BackgroundWork, ExceptionOfTheWorkEndsTheBoxAndReachesTheCaller) {
  QWidget window;
  EXPECT_THROW(
      BackgroundWork(&window, "Orvane")
          .Run([] { throw std::runtime_error("no room"); }, "Working…"),
      std::runtime_error);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(window.findChild<QProgressDialog*>("progressBox"), nullptr);
}

TEST(BackgroundWork, WithoutAThreadTheWorkRunsHereUnderAWaitCursor) {
  const ThreadLimitForTesting no_threads(0);
  QWidget window;
  bool here = false, waiting = false, box = true;
  BackgroundWork(&window, "Orvane")
      .Run(
          [&] {
            here = QThread::currentThread() == window.thread();
            waiting = QApplication::overrideCursor() != nullptr;
            box = window.findChild<QProgressDialog*>("progressBox") != nullptr;
          },
          "Working…");
  EXPECT_TRUE(here);
  EXPECT_TRUE(waiting);
  EXPECT_FALSE(box);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace orvane

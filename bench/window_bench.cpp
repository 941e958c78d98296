// SPDX-License-Identifier: MIT
// Timings of the main window with large data: an Open of a generated file
// until the final chart is painted, and a resize of the window with the
// data loaded until the chart is painted at its new size. Wall time and
// the process's CPU time (all threads), in seconds.
//   build/bench/window_bench [open count] [resize count]
// (defaults 1000000 and 10000000; 0 skips a row). Runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

#include "window/chart_widget.h"
#include "window/main_window.h"

namespace {

// A data file of n ellipses with a spread of ratios and orientations.
bool WriteData(const QString& path, long n) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  std::uint32_t s = 2024;
  auto next = [&s] {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  };
  std::string block;
  char line[64];
  for (long i = 0; i < n; ++i) {
    const double b = 1.0 + next();
    const double a = b * (1.05 + 3.0 * next());
    const double phi = 60.0 * next() + 10.0;
    std::snprintf(line, sizeof line, "%.3f %.3f %.1f\n", a, b, phi);
    block += line;
    if (block.size() > (1 << 20)) {
      f.write(block.data(), static_cast<qint64>(block.size()));
      block.clear();
    }
  }
  f.write(block.data(), static_cast<qint64>(block.size()));
  return f.error() == QFile::NoError;
}

struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  void Print(const char* row) const {
    const double w =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall)
            .count();
    const double c = double(std::clock() - cpu) / CLOCKS_PER_SEC;
    std::printf("%-58s %7.3f s wall %7.3f s cpu\n", row, w, c);
    std::fflush(stdout);
  }
};

// Opens `n` data in a fresh window and paints it; with `resize` also
// resizes the window and paints again.
bool Run(long n, bool resize, const QString& folder) {
  const QString path = QDir(folder).filePath(QString("data%1.txt").arg(n));
  if (!WriteData(path, n)) return false;
  orvane::MainWindow window;
  window.show();
  QApplication::processEvents();
  auto* chart = window.findChild<orvane::ChartWidget*>("chart");
  if (chart == nullptr) return false;
  chart->repaint();
  const std::string count = std::to_string(n);
  {
    Clock clock;
    window.openFile(path);
    QApplication::processEvents();
    chart->repaint();
    clock.Print(("window: Open of " + count + " data to final chart").c_str());
  }
  if (auto* contours = window.findChild<QAction*>("densityContoursAction")) {
    // Switched on from off, and left as the user's settings had it.
    const bool was_on = contours->isChecked();
    if (was_on) contours->trigger();
    Clock clock;
    contours->trigger();
    QApplication::processEvents();
    chart->repaint();
    clock.Print(
        ("window: density contours on with " + count + " data").c_str());
    if (!was_on) contours->trigger();
  }
  if (resize) {
    Clock clock;
    window.resize(window.width() + 41, window.height() + 27);
    QApplication::processEvents();
    chart->repaint();
    clock.Print(("window: resize with " + count + " data loaded").c_str());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const long open_count = argc > 1 ? std::atol(argv[1]) : 1000000;
  const long resize_count = argc > 2 ? std::atol(argv[2]) : 10000000;
  // A message box would wait for a click: close any that appears.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* box =
            qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      std::printf("(message: %s)\n", box->text().toLocal8Bit().constData());
      box->accept();
    }
  });
  closer.start(100);
  QTemporaryDir folder;
  if (!folder.isValid()) return 1;
  if (open_count > 0 && !Run(open_count, false, folder.path())) return 1;
  if (resize_count > 0 && !Run(resize_count, true, folder.path())) return 1;
  return 0;
}

// SPDX-License-Identifier: MIT
// orvane_make_icons OUTDIR SIZE...: writes the program's theme icons, drawn
// by the same function as the window's icon, into OUTDIR in the layout of
// the hicolor theme: <N>x<N>/apps/orvane.png for every SIZE given, and
// scalable/apps/orvane.svg. A build tool: it is not installed.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "render/program_icon.h"

namespace {

bool Fail(const char* what, const QString& path) {
  std::fprintf(stderr, "orvane_make_icons: cannot %s %s\n", what,
               qPrintable(path));
  return false;
}

bool WritePng(const QDir& out, int size) {
  const QString folder = out.filePath(QString("%1x%1/apps").arg(size));
  if (!QDir().mkpath(folder)) return Fail("make", folder);
  const QString file = QDir(folder).filePath("orvane.png");
  if (!orvane::ProgramIconImage(size).save(file, "PNG")) {
    return Fail("write", file);
  }
  return true;
}

bool WriteSvg(const QDir& out) {
  const QString folder = out.filePath("scalable/apps");
  if (!QDir().mkpath(folder)) return Fail("make", folder);
  QFile file(QDir(folder).filePath("orvane.svg"));
  const QByteArray document = orvane::ProgramIconSvg(256);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(document) != document.size() || !file.flush()) {
    return Fail("write", file.fileName());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    const long size = std::strtol(argv[i], &end, 10);
    if (*end != '\0' || size < 1 || size > 1024) {
      std::fprintf(stderr, "orvane_make_icons: not an icon size: %s\n",
                   argv[i]);
      return 2;
    }
    sizes.push_back(static_cast<int>(size));
  }
  if (sizes.empty()) {
    std::fprintf(stderr, "usage: orvane_make_icons OUTDIR SIZE...\n");
    return 2;
  }
  // Nothing is shown: the build may run where there is no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (int size : sizes) {
    if (!WritePng(out, size)) return 1;
  }
  return WriteSvg(out) ? 0 : 1;
}

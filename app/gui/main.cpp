// SPDX-License-Identifier: MIT
// orvane: the window program. `orvane FILE` opens FILE at start, as a
// desktop passes a file to the program.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>

#include "render/picture_export.h"
#include "render/program_icon.h"
#include "window/about_box.h"
#include "window/main_window.h"

int main(int argc, char** argv) {
  // The window's text needs fontconfig's files and the fonts open at once:
  // the soft limit of open files is raised where it leaves too few, and
  // where even the hard one does, the program says so instead of showing
  // every character as an empty box (or Qt aborting).
  if (const orvane::Status room = orvane::ReserveDescriptorsForPictures();
      !room.ok()) {
    std::fprintf(stderr, "orvane: %s\n", room.message().c_str());
    return 1;
  }
  QApplication app(argc, argv);
  // The user's settings (recent files, the last folder) are kept under
  // these names: ~/.config/Orvane/Orvane.conf.
  QApplication::setOrganizationName("Orvane");
  QApplication::setApplicationName("Orvane");
  QApplication::setWindowIcon(orvane::ProgramIcon());
  orvane::MainWindow window;
  orvane::AboutBox about(&window);
  window.SetAboutBox(&about);
  window.show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    // Once the window is shown, so that its messages have a parent on
    // screen.
    const QString file = arguments.at(1);
    QTimer::singleShot(0, &window, [&window, file] { window.openFile(file); });
  }
  return app.exec();
}

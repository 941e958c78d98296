// SPDX-License-Identifier: MIT
// orvane: the window program. `orvane FILE` opens FILE at start, as a
// desktop passes a file to the program; `orvane --version` and
// `orvane --help` answer without a display.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "render/picture_export.h"
#include "render/program_icon.h"
#include "window/about_box.h"
#include "window/main_window.h"

namespace {

constexpr const char* kUsage =
    "Usage: orvane [FILE]\n"
    "       orvane --version | --help\n"
    "\n"
    "Rf/phi strain analysis by the hyperbolic vector mean, in a window.\n"
    "FILE, a data file of one strain marker per line (major axis, minor\n"
    "axis and orientation of the major axis in degrees), is opened at\n"
    "start. orvane-cli analyses files without a display.\n"
    "\n"
    "Options:\n"
    "  --version   show the program's name and version.\n"
    "  -h, --help  show this text.\n";

// --version and --help are answered before the application object exists,
// so that they work where there is no display (a package's checks, a
// terminal over ssh). Returns the exit status, or -1 to start the window.
int AnswerInformationOption(int argc, char** argv) {
  if (argc != 2) return -1;
  const char* text = nullptr;
  std::string version;
  if (std::strcmp(argv[1], "--version") == 0) {
    // The line of orvane-cli --version, with this program's name.
    version = std::string("orvane ") + ORVANE_VERSION + "\n";
    text = version.c_str();
  } else if (std::strcmp(argv[1], "--help") == 0 ||
             std::strcmp(argv[1], "-h") == 0) {
    text = kUsage;
  } else {
    return -1;
  }
  if (std::fputs(text, stdout) == EOF || std::fflush(stdout) != 0) {
    std::perror("orvane: standard output");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int status = AnswerInformationOption(argc, argv); status >= 0) {
    return status;
  }
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

// orvane: the window program.
#include <QApplication>

#include "ui/about.h"
#include "ui/orvane_main.h"
#include "ui/program_icon.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orvane");
  QApplication::setWindowIcon(orvane::ProgramIcon());
  orvane::TFormMain form_main;
  orvane::TForm1 form1(&form_main);
  form_main.SetAboutBox(&form1);
  form_main.show();
  return app.exec();
}

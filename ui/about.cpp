#include "ui/about.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "ui/program_icon.h"

namespace orvane {
namespace {

QFont Arial(int pixel_height) {
  QFont f;
  f.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
  f.setPixelSize(pixel_height);
  return f;
}

// A static text at its place; it grows to its text as a static text does.
QLabel* Text(QWidget* parent, const QString& name, const QString& text,
             int left, int top, int width, int height, int pixels = 12) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(Arial(pixels));
  label->setGeometry(left, top, width, height);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  const int wanted = label->sizeHint().width();
  if (wanted > width) label->resize(wanted, height);
  return label;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QDialog(parent) {
  setObjectName("Form1");
  setWindowTitle(QString());
  setModal(false);
  setFont(Arial(19));
  setFixedSize(290, 172);
  setWindowIcon(ProgramIcon());

  // Tab order: the texts, then the button.
  StaticText1 = Text(this, "StaticText1", "Orvane", 56, 15, 125, 26, 19);
  StaticText2 = Text(this, "StaticText2",
                     "A program for Rf/phi strain analysis", 56, 71, 196, 19);
  StaticText3 =
      Text(this, "StaticText3", "using the hyperbolic vector mean method. ", 56,
           87, 235, 19);
  StaticText4 = Text(this, "StaticText4", "Version 1.0   (December 2011)", 56,
                     39, 172, 19);
  StaticText5 = Text(this, "StaticText5", "Orvane team", 56, 127, 55, 19);
  StaticText6 =
      Text(this, "StaticText6", "Open-source project", 56, 143, 90, 19);

  Button1 = new QPushButton("OK", this);
  Button1->setObjectName("Button1");
  Button1->setFont(Arial(13));
  Button1->setGeometry(207, 112, 75, 52);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(8, 8, 33, 33);
  Image1->setPixmap(ProgramIconPixmap(32));
  Image1->setFocusPolicy(Qt::NoFocus);

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setGeometry(16, 63, 259, 2);
  Bevel1->setFrameShape(QFrame::HLine);
  Bevel1->setFrameShadow(QFrame::Sunken);
  Bevel1->setFocusPolicy(Qt::NoFocus);

  hide();
}

void TForm1::Button1Click() {
  hide();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // The frame's close button only hides the box.
  hide();
  event->ignore();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Escape hides it too, as a dialog's Escape would, without rejecting.
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "window/about_box.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "render/program_icon.h"

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

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutBox");
  setWindowTitle(QString());
  setModal(false);
  setFont(Arial(19));
  setFixedSize(290, 172);
  setWindowIcon(ProgramIcon());

  // Tab order: the texts, then the button.
  Text(this, "title", "Orvane", 56, 15, 125, 26, 19);
  Text(this, "description1", "A program for Rf/phi strain analysis", 56, 71,
       196, 19);
  Text(this, "description2", "using the hyperbolic vector mean method. ", 56,
       87, 235, 19);
  Text(this, "version", "Version 1.0   (December 2011)", 56, 39, 172, 19);
  Text(this, "credit1", "Orvane team", 56, 127, 55, 19);
  Text(this, "credit2", "Open-source project", 56, 143, 90, 19);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("okButton");
  ok->setFont(Arial(13));
  ok->setGeometry(207, 112, 75, 52);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);

  auto* icon = new QLabel(this);
  icon->setObjectName("icon");
  icon->setGeometry(8, 8, 33, 33);
  icon->setPixmap(QPixmap::fromImage(ProgramIconImage(32)));
  icon->setFocusPolicy(Qt::NoFocus);

  auto* separator = new QFrame(this);
  separator->setObjectName("separator");
  separator->setGeometry(16, 63, 259, 2);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setFocusPolicy(Qt::NoFocus);

  hide();
}

void AboutBox::closeEvent(QCloseEvent* event) {
  hide();
  event->ignore();
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
  // Escape hides the box, as a dialog's Escape would, without rejecting it.
  if (event->key() == Qt::Key_Escape) {
    hide();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvane

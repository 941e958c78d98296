// SPDX-License-Identifier: MIT
#include "window/about_box.h"

#include <QCloseEvent>
#include <QDate>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QTextBrowser>

#include "render/program_icon.h"
#include "window/manual_viewer.h"

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

// The release as the box names it: "Version 1.0   (December 2011)", from
// the project's version and its ISO release date, with the month in
// English as the rest of the box is.
QDate ReleaseDate() {
  return QDate::fromString(QStringLiteral(ORVANE_RELEASE_DATE), Qt::ISODate);
}

QString VersionLine() {
  return QStringLiteral("Version %1   (%2)")
      .arg(QStringLiteral(ORVANE_VERSION),
           QLocale::c().toString(ReleaseDate(), QStringLiteral("MMMM yyyy")));
}

// How to cite the program, compactly.
QString CitationText() {
  return QStringLiteral(
             "The Orvane developers (%1). Orvane: Rf/phi strain analysis by "
             "the hyperbolic vector mean, version %2.")
      .arg(ReleaseDate().year())
      .arg(QStringLiteral(ORVANE_VERSION));
}

// Where the papers of the methods are listed: the Methods tab, and the
// manual's "How to cite", which the link opens.
constexpr const char* kMethodsCitation =
    "Please cite also the papers of the methods you use: the Methods tab "
    "names them, and <a href=\"#how-to-cite\">the manual lists them in "
    "full</a>.";

// The texts below the original box: its width, with the margins of the
// separator.
constexpr int kLowerLeft = 16;
constexpr int kLowerWidth = 259;

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("aboutBox");
  setWindowTitle(QString());
  setModal(false);
  setFont(Arial(19));
  setWindowIcon(ProgramIcon());

  // Tab order: the texts, then the button.
  Text(this, "title", "Orvane", 56, 15, 125, 26, 19);
  Text(this, "description1", "A program for Rf/phi strain analysis", 56, 71,
       196, 19);
  Text(this, "description2", "using the hyperbolic vector mean method. ", 56,
       87, 235, 19);
  Text(this, "version", VersionLine(), 56, 39, 172, 19);
  Text(this, "credit1", "Orvane team", 56, 127, 55, 19);
  Text(this, "credit2", "Open-source project", 56, 143, 90, 19);

  // Below the original 172 pixels: the licence and how to cite, the
  // citation wrapped to the box's width and as tall as its text needs.
  auto* lower = new QFrame(this);
  lower->setObjectName("licenceSeparator");
  lower->setGeometry(kLowerLeft, 172, kLowerWidth, 2);
  lower->setFrameShape(QFrame::HLine);
  lower->setFrameShadow(QFrame::Sunken);
  lower->setFocusPolicy(Qt::NoFocus);
  Text(this, "licence", "Released under the MIT licence.", kLowerLeft, 180,
       kLowerWidth, 19);
  Text(this, "citeHeading", "How to cite:", kLowerLeft, 202, kLowerWidth, 19);
  QLabel* citation =
      Text(this, "citation", CitationText(), kLowerLeft, 220, kLowerWidth, 19);
  citation->setWordWrap(true);
  citation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  citation->resize(kLowerWidth, citation->heightForWidth(kLowerWidth));
  QLabel* methods = Text(this, "methodsCitation", kMethodsCitation, kLowerLeft,
                         citation->geometry().bottom() + 1, kLowerWidth, 19);
  methods->setTextFormat(Qt::RichText);
  methods->setTextInteractionFlags(Qt::TextBrowserInteraction);
  methods->setWordWrap(true);
  methods->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  methods->resize(kLowerWidth, methods->heightForWidth(kLowerWidth));
  // The link opens the manual (the window's own viewer, as Help > Manual
  // does) at its list of references.
  connect(methods, &QLabel::linkActivated, this, [this](const QString& link) {
    ManualViewer* viewer =
        ShowManual(parentWidget() != nullptr ? parentWidget()
                                             : static_cast<QWidget*>(this));
    if (viewer != nullptr) viewer->Browser()->scrollToAnchor(link.mid(1));
  });
  setFixedSize(290, methods->geometry().bottom() + 1 + 10);

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

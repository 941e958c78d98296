// SPDX-License-Identifier: MIT
// The About box: the program's title, version, description and credits,
// and below them the licence and how to cite the program. The version line
// is made from the project's version and release date (ORVANE_VERSION and
// ORVANE_RELEASE_DATE, set by the build). Created hidden with the main
// window, it is only ever shown and hidden; it is modeless, so the main
// window stays usable. Its controls carry the object names "title",
// "version", "description1", "description2", "credit1", "credit2",
// "okButton", "icon" and "separator", and below them "licenceSeparator",
// "licence", "citeHeading" and "citation"; every text can be selected.
#ifndef ORVANE_WINDOW_ABOUT_BOX_H_
#define ORVANE_WINDOW_ABOUT_BOX_H_

#include <QDialog>

namespace orvane {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);

 protected:
  // The frame's close button and Escape only hide the box.
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_ABOUT_BOX_H_

// SPDX-License-Identifier: MIT
// The user manual in a window of its own: manual.md rendered as Markdown
// in a text browser, with Back and Forward. It is not modal, so the user
// can read it beside the analysis. Links within the manual move in it;
// links to other files and to the web open in the desktop's programs.
// Object names: "manualViewer", "manualBrowser", "manualBack",
// "manualForward", "manualHome", and "manualMissingBox" for the warning
// shown when the manual cannot be found.
#ifndef ORVANE_WINDOW_MANUAL_VIEWER_H_
#define ORVANE_WINDOW_MANUAL_VIEWER_H_

#include <QString>
#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QTextDocument;
class QToolButton;

namespace orvane {

// The installed manual's path: share/doc/orvane/manual.md beside the
// program's folder, both where the program is installed and in a build
// folder (the build copies the manual and its images there). The path is
// returned whether or not the file exists.
QString ManualPath();

// Gives every heading of `document` the anchor name a web page of the same
// Markdown would give it (lower case, blanks as '-', punctuation dropped,
// "-1", "-2" for repeats), so that the manual's in-page links such as
// "#figures" lead to their section.
void NameHeadingAnchors(QTextDocument* document);

class ManualViewer : public QWidget {
  Q_OBJECT

 public:
  // Shows the Markdown file `path`, whose images and links are relative to
  // its folder. A top-level window even with a parent.
  explicit ManualViewer(const QString& path, QWidget* parent = nullptr);

  QTextBrowser* Browser() const { return browser_; }

 private:
  // A link clicked: a place in the manual is shown here, anything else is
  // handed to the desktop.
  void FollowLink(const QUrl& link);

  QTextBrowser* browser_ = nullptr;
  QToolButton* back_ = nullptr;
  QToolButton* forward_ = nullptr;
  QUrl home_;
};

// Help > Manual: shows the manual at `path` in the viewer that `parent`
// owns, created on first use and raised afterwards. When the file is
// missing, a warning box says where it was looked for and no viewer is
// made. Returns the viewer shown, or nullptr.
ManualViewer* ShowManual(QWidget* parent, const QString& path = ManualPath());

}  // namespace orvane

#endif  // ORVANE_WINDOW_MANUAL_VIEWER_H_

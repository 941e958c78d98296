// SPDX-License-Identifier: MIT
#include "window/manual_viewer.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QMessageBox>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvane {
namespace {

// The first size of the viewer, in logical pixels: room for the manual's
// tables and code, yet small enough for a 1920 x 1080 screen at twice the
// scale.
constexpr int kViewerWidth = 880;
constexpr int kViewerHeight = 500;

// The anchor a web page gives a heading: letters and digits in lower case,
// blanks as '-', '-' and '_' kept, any other character dropped.
QString HeadingSlug(const QString& heading) {
  QString slug;
  for (const QChar c : heading.toLower()) {
    if (c.isLetterOrNumber() || c == '-' || c == '_') {
      slug += c;
    } else if (c == ' ') {
      slug += '-';
    }
  }
  return slug;
}

QUrl WithoutFragment(const QUrl& url) {
  return url.adjusted(QUrl::RemoveFragment);
}

// A text browser that names the headings' anchors of every document it
// loads. The browser loads the manual again even for a place within it
// once the document was changed (as naming the anchors changes it), so the
// names are given after each load, and only then can it scroll to the
// place asked for.
class ManualBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

 protected:
  void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override {
    QTextBrowser::doSetSource(url, type);
    NameHeadingAnchors(document());
    if (url.hasFragment()) scrollToAnchor(url.fragment());
  }
};

}  // namespace

QString ManualPath() {
  // As the examples: the build copies the manual to the same place,
  // relative to the programs, as the installation does.
  const QDir app(QCoreApplication::applicationDirPath());
  return QDir::cleanPath(app.absoluteFilePath(ORVANE_MANUAL_FROM_BINDIR));
}

void NameHeadingAnchors(QTextDocument* document) {
  QHash<QString, int> used;
  for (QTextBlock block = document->begin(); block.isValid();
       block = block.next()) {
    if (block.blockFormat().headingLevel() == 0 || block.length() <= 1) {
      continue;
    }
    const QString slug = HeadingSlug(block.text());
    const int repeats = used.value(slug, 0);
    used.insert(slug, repeats + 1);
    const QString name =
        repeats == 0 ? slug : slug + '-' + QString::number(repeats);
    // An anchor without a link target: it marks the place and draws as the
    // heading did.
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorNames({name});
    cursor.mergeCharFormat(format);
  }
}

ManualViewer::ManualViewer(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName("manualViewer");
  setWindowTitle("Orvane Manual");
  // The desktop's font, for reading: not the small one of the main window,
  // which a child would inherit.
  QFont font = QApplication::font();
  font.setResolveMask(QFont::AllPropertiesResolved);
  setFont(font);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  auto button = [this, bar](const char* name, const QString& text,
                            const QKeySequence& key) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(text);
    b->setShortcut(key);
    b->setToolTip(text + " (" + key.toString(QKeySequence::NativeText) + ")");
    bar->addWidget(b);
    return b;
  };
  back_ = button("manualBack", "Back", QKeySequence::Back);
  forward_ = button("manualForward", "Forward", QKeySequence::Forward);
  QToolButton* home =
      button("manualHome", "Contents", QKeySequence(Qt::ALT | Qt::Key_Home));
  bar->addStretch();
  layout->addLayout(bar);

  browser_ = new ManualBrowser(this);
  browser_->setObjectName("manualBrowser");
  // Links are followed here (FollowLink), not by the browser, which would
  // try to show any file inside itself.
  browser_->setOpenLinks(false);
  layout->addWidget(browser_);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
  connect(home, &QToolButton::clicked, this, [this] {
    browser_->setSource(home_, QTextDocument::MarkdownResource);
  });
  connect(browser_, &QTextBrowser::backwardAvailable, back_,
          &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_,
          &QToolButton::setEnabled);
  connect(browser_, &QTextBrowser::anchorClicked, this,
          &ManualViewer::FollowLink);

  home_ = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
  browser_->setSource(home_, QTextDocument::MarkdownResource);
  resize(kViewerWidth, kViewerHeight);
}

void ManualViewer::FollowLink(const QUrl& link) {
  const QUrl target = browser_->source().resolved(link);
  if (WithoutFragment(target) == WithoutFragment(home_)) {
    // A place in the manual: shown here, and kept in the history.
    browser_->setSource(target, QTextDocument::MarkdownResource);
    return;
  }
  QDesktopServices::openUrl(target);
}

ManualViewer* ShowManual(QWidget* parent, const QString& path) {
  if (!QFileInfo(path).isFile()) {
    QMessageBox box(QMessageBox::Warning, "Orvane",
                    "The manual was not found. It was looked for at\n" +
                        QDir::toNativeSeparators(path),
                    QMessageBox::Ok, parent);
    box.setObjectName("manualMissingBox");
    box.exec();
    return nullptr;
  }
  auto* viewer = parent != nullptr
                     ? parent->findChild<ManualViewer*>(
                           "manualViewer", Qt::FindDirectChildrenOnly)
                     : nullptr;
  if (viewer == nullptr) {
    viewer = new ManualViewer(path, parent);
    // Without an owner the viewer goes when it is closed.
    if (parent == nullptr) viewer->setAttribute(Qt::WA_DeleteOnClose);
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

}  // namespace orvane

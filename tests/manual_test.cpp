// SPDX-License-Identifier: MIT
// The manual: Help > Manual shows it, with its images and working in-page
// links; a missing manual is a warning that says where it was looked for;
// and the manual names every option of orvane-cli, so that it cannot fall
// behind the tool.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <string>

#include "support/modal_script.h"
#include "support/program_run.h"
#include "support/temp_folder.h"
#include "support/window_fixture.h"
#include "window/manual_viewer.h"

namespace orvane {
namespace {

using testing_support::ModalScript;
using testing_support::WindowTest;

class ManualTest : public WindowTest {
 protected:
  ManualViewer* Viewer() const {
    return window_->findChild<ManualViewer*>("manualViewer");
  }
};

// The anchor names and in-page link targets of a rendered document.
struct Anchors {
  QSet<QString> names;
  QSet<QString> links;
};

Anchors AnchorsOf(const QTextDocument* document) {
  Anchors anchors;
  for (QTextBlock block = document->begin(); block.isValid();
       block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      for (const QString& name : format.anchorNames()) anchors.names << name;
      const QString href = format.anchorHref();
      if (href.startsWith('#')) anchors.links << href.mid(1);
    }
  }
  return anchors;
}

TEST_F(ManualTest, F1ShowsTheManualWithItsImagesAndWorkingLinks) {
  auto* manual = Child<QAction>("manualAction");
  ASSERT_NE(manual, nullptr);
  EXPECT_EQ(manual->shortcut(), QKeySequence(Qt::Key_F1));
  window_->activateWindow();
  QTest::keyClick(window_.get(), Qt::Key_F1);
  ManualViewer* viewer = Viewer();
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_TRUE(viewer->isWindow());
  EXPECT_FALSE(viewer->isModal());
  // Small enough for a 1920 x 1080 screen at twice the scale.
  EXPECT_LE(viewer->width(), 900);
  EXPECT_LE(viewer->height(), 500);

  QTextBrowser* browser = viewer->Browser();
  const QTextDocument* document = browser->document();
  // Rendered as Markdown: the title is a heading, not "# ..." text.
  const QTextBlock title = document->begin();
  EXPECT_EQ(title.text(), "Orvane User Manual");
  EXPECT_EQ(title.blockFormat().headingLevel(), 1);
  EXPECT_FALSE(document->toPlainText().contains("```"));

  // The images resolve relative to the manual's folder.
  const QVariant image = browser->loadResource(QTextDocument::ImageResource,
                                               QUrl("study/flinn.png"));
  EXPECT_FALSE(QImage::fromData(image.toByteArray()).isNull());

  // Every in-page link leads to a heading.
  const Anchors anchors = AnchorsOf(document);
  EXPECT_GT(anchors.links.size(), 20);
  for (const QString& link : anchors.links) {
    EXPECT_TRUE(anchors.names.contains(link)) << "#" << link.toStdString();
  }

  // Following one moves within the manual, and Back returns.
  auto* back = viewer->findChild<QToolButton*>("manualBack");
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->isEnabled());
  emit browser->anchorClicked(QUrl("#how-to-cite"));
  EXPECT_EQ(browser->source().fragment(), "how-to-cite");
  EXPECT_TRUE(AnchorsOf(browser->document()).names.contains("how-to-cite"));
  EXPECT_TRUE(back->isEnabled());
  EXPECT_GT(browser->verticalScrollBar()->value(), 0);
  back->click();
  EXPECT_EQ(browser->verticalScrollBar()->value(), 0);
  EXPECT_EQ(browser->document()->begin().text(), "Orvane User Manual");

  // A second F1 raises the same viewer.
  manual->trigger();
  EXPECT_EQ(window_->findChildren<ManualViewer*>().size(), 1);
}

TEST_F(ManualTest, MissingManualIsAWarningThatNamesThePlace) {
  const QString path = dir_.filePath("nowhere/manual.md");
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  {
    ModalScript script({[&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      text = box->text();
      icon = box->icon();
      box->accept();
    }});
    EXPECT_EQ(ShowManual(window_.get(), path), nullptr);
  }
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_TRUE(text.contains(path)) << text.toStdString();
  EXPECT_EQ(Viewer(), nullptr);
}

TEST_F(ManualTest, HelpMenuHoldsVersionManualAndAboutQt) {
  auto* help = Child<QMenu>("helpMenu");
  ASSERT_NE(help, nullptr);
  QStringList entries;
  for (QAction* a : help->actions()) {
    if (!a->isSeparator()) entries << a->text();
  }
  EXPECT_EQ(entries, QStringList({"&Version", "&Manual", "About &Qt"}));
  QString title;
  {
    ModalScript script({[&](QWidget* w) {
      title = w->windowTitle();
      qobject_cast<QDialog*>(w)->accept();
    }});
    Child<QAction>("aboutQtAction")->trigger();
  }
  EXPECT_EQ(title, "About Qt");
}

// Every option that orvane-cli --help names is in the manual's text, as
// code (`--name`), so that a new option cannot go undocumented.
TEST(ManualText, NamesEveryOptionOfTheCommandLineTool) {
  testing_support::TempFolder scratch("manual");
  const testing_support::ProgramRun help = testing_support::RunProgram(
      std::string(ORVANE_CLI) + " --help", scratch.path());
  ASSERT_EQ(help.status, 0) << help.err;
  QFile file(ORVANE_MANUAL_SOURCE);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ORVANE_MANUAL_SOURCE;
  const QString manual = QString::fromUtf8(file.readAll());

  const QRegularExpression option("--[a-z][a-z0-9-]*");
  QSet<QString> options;
  for (auto it = option.globalMatch(QString::fromStdString(help.out));
       it.hasNext();) {
    options << it.next().captured();
  }
  EXPECT_GT(options.size(), 40);
  for (const QString& name : options) {
    EXPECT_TRUE(manual.contains('`' + name))
        << name.toStdString() << " is not in docs/manual.md";
  }
}

}  // namespace
}  // namespace orvane

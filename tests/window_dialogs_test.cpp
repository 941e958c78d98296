// SPDX-License-Identifier: MIT
// The window's dialogs as they follow the user: the folders the open and
// import dialogs start in, a dropped table, the name Save Chart offers, the
// plots' context menu, the window's state kept between sessions, and every
// dialog within a small or scaled screen.
#include <QClipboard>
#include <QDialogButtonBox>
#include <QScrollArea>
#include <QSplitter>

#include "main_window_fixture.h"
#include "support/centre_data.h"
#include "window/bootstrap_dialog.h"
#include "window/centres_page.h"
#include "window/figure_dialog.h"
#include "window/grain_import_dialog.h"
#include "window/screen_fit.h"
#include "window/table_import_dialog.h"

namespace orvane {
namespace {

// A 1920 x 1080 screen at a scale of two, in logical pixels.
const QRect kScaledScreen(0, 0, 960, 540);

QString FolderOf(const QFileDialog* dialog) {
  return QDir(dialog->directory()).absolutePath();
}

// Drops the local file `path` on `window`, as a file manager would.
void Drop(QWidget* window, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton,
                        {});
  QApplication::sendEvent(window, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window, &drop);
  QApplication::processEvents();
}

// Presses Import in the table import dialog.
ModalScript::Handler AcceptTableImport() {
  return [](QWidget* w) {
    ASSERT_EQ(w->objectName(), "tableImportDialog");
    QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
  };
}

// Expects `dialog`, once shown, within DialogSizeLimit(screen) and every
// button of its button boxes wholly in sight.
void ExpectFits(QWidget* dialog, const QRect& screen) {
  const std::string name = dialog->objectName().toStdString();
  dialog->show();
  QApplication::processEvents();
  const QSize limit = DialogSizeLimit(screen);
  EXPECT_LE(dialog->width(), limit.width()) << name;
  EXPECT_LE(dialog->height(), limit.height()) << name;
  int buttons = 0;
  for (const QDialogButtonBox* box :
       dialog->findChildren<QDialogButtonBox*>()) {
    for (QAbstractButton* b : box->buttons()) {
      if (b->isHidden()) continue;
      ++buttons;
      const QRect in_dialog(b->mapTo(dialog, QPoint(0, 0)), b->size());
      EXPECT_TRUE(dialog->rect().contains(in_dialog))
          << name << " " << b->text().toStdString();
      // Not clipped by a scroll area either.
      EXPECT_EQ(b->visibleRegion().boundingRect(), b->rect())
          << name << " " << b->text().toStdString();
    }
  }
  EXPECT_GE(buttons, 2) << name;
}

// The splitters of the study's tab (its file dialog has one of its own).
QList<QSplitter*> StudySplitters(const MainWindow& window) {
  QList<QSplitter*> splitters;
  for (QSplitter* s :
       window.findChild<QWidget*>("studyPage")->findChildren<QSplitter*>()) {
    if (s->window() == &window) splitters << s;
  }
  return splitters;
}

using WindowDialogsTest = MainWindowTest;

TEST_F(WindowDialogsTest, OpenAndImportStartWhereTheLastFileWas) {
  for (const char* folder : {"a", "b", "c"}) QDir(dir_.path()).mkpath(folder);
  auto* open = Child<QFileDialog>("openDialog");
  auto* import = Child<QFileDialog>("importDialog");
  // The open dialog offers any file after the data files.
  EXPECT_EQ(open->nameFilters(),
            (QStringList{"text file (*.txt)", "All files (*)"}));

  Open({Choose(Write("a/six.txt", kSix))});
  EXPECT_EQ(FolderOf(import), dir_.filePath("a"));
  // A dropped table goes to the table import, whatever the case of its
  // extension, and both dialogs follow it.
  const QString table = Write(
      "b/six.CSV",
      "major,minor,angle\n3,2,30\n4,2,45\n5,1,40\n6,2,35\n2,1,38\n3,1,32\n");
  {
    ModalScript s({AcceptTableImport()});
    Drop(window_.get(), table);
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.CSV ]");
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(FolderOf(open), dir_.filePath("b"));
  EXPECT_EQ(FolderOf(import), dir_.filePath("b"));
  // A file given at start (or from the recent files) moves them too, and
  // the next session's dialogs start there.
  {
    ModalScript none({});
    window_->openFile(Write("c/six.txt", kSix));
  }
  EXPECT_EQ(FolderOf(open), dir_.filePath("c"));
  EXPECT_EQ(FolderOf(import), dir_.filePath("c"));
  MainWindow next;
  EXPECT_EQ(FolderOf(next.findChild<QFileDialog*>("importDialog")),
            dir_.filePath("c"));
  EXPECT_EQ(FolderOf(next.findChild<QFileDialog*>("openDialog")),
            dir_.filePath("c"));
}

TEST_F(WindowDialogsTest, SaveChartOffersTheDataNameInTheLastFormat) {
  QDir(dir_.path()).mkpath("pictures");
  const QString pictures = dir_.filePath("pictures");
  Open({Choose(Write("six.txt", kSix))});
  // At first the data file's name as EMF, in the data file's folder.
  {
    ModalScript s({Offers(dir_.path(), "six.emf", pictures + "/plot.png")});
    window_->onSaveChart();
  }
  ASSERT_TRUE(QFile::exists(pictures + "/plot.png"));
  // Then in the format and folder chosen last, that type selected; a name
  // of no picture format changes neither.
  {
    ModalScript s({[&](QWidget* w) {
                     EXPECT_EQ(
                         qobject_cast<QFileDialog*>(w)->selectedNameFilter(),
                         "PNG picture (*.png)");
                     Offers(pictures, "six.png", pictures + "/notes.txt")(w);
                   },
                   Box("Invalid file extension."),
                   Offers(pictures, "six.png", pictures + "/six.svg")});
    window_->onSaveChart();
    window_->onSaveChart();
  }
  ASSERT_TRUE(QFile::exists(pictures + "/six.svg"));
  // The next session offers the format last saved.
  QDir(dir_.path()).mkpath("next");
  MainWindow next;
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  {
    ModalScript none({});
    next.openFile(Write("next/ten.txt", kSix));
  }
  ModalScript s({Offers(dir_.filePath("next"), "ten.svg",
                        dir_.filePath("next/ten.svg"))});
  next.onSaveChart();
}

TEST_F(WindowDialogsTest, RightClickOnAnyPlotOpensItsMenu) {
  // Discs with centres, so that the Fry plot shows too.
  const QString table =
      Write("discs.csv", QByteArray::fromStdString(DiscTable(
                             testing_support::HardCoreDiscs(150, 2.0, 30.0))));
  {
    ModalScript s({AcceptTableImport()});
    Drop(window_.get(), table);
  }
  ASSERT_EQ(window_->State().count, 150);
  auto* centres = Child<CentresPage>("centresPage");
  ASSERT_TRUE(
      QTest::qWaitFor([centres] { return !centres->Running(); }, 60000));
  window_->onNewStudy();
  auto* pages = Child<QTabWidget>("pages");
  auto* menu = Child<QMenu>("plotMenu");
  const QPoint at(30, 40);
  // Each plot on its tab: the menu pops up where the button was released,
  // and nothing else opens.
  struct Plot {
    const char* page;
    const char* widget;
  };
  for (const Plot& plot :
       {Plot{"chartPage", "chart"}, Plot{"rfPhiPage", "rfPhiPlot"},
        Plot{"centresPage", "fryPlot"}, Plot{"studyPage", "flinnPlot"}}) {
    pages->setCurrentWidget(Child<QWidget>(plot.page));
    auto* widget = Child<QWidget>(plot.widget);
    ASSERT_TRUE(widget->isVisible()) << plot.widget;
    ModalScript none({});
    QTest::mouseRelease(widget, Qt::RightButton, {}, at);
    EXPECT_TRUE(menu->isVisible()) << plot.widget;
    EXPECT_EQ(QApplication::activePopupWidget(), menu) << plot.widget;
    EXPECT_EQ(menu->pos(), widget->mapToGlobal(at)) << plot.widget;
    menu->hide();
  }
  // Its entries act on the plot of the tab shown, as the File menu's do.
  auto choose = [&](QWidget* widget, const char* action) {
    QTest::mouseRelease(widget, Qt::RightButton, {}, at);
    auto* entry = Child<QAction>(action);
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(entry).center());
    QApplication::processEvents();
  };
  // The first picture is offered as EMF, the next in the format saved.
  QString offered = "discs.emf";
  for (const char* page : {"chartPage", "rfPhiPage"}) {
    pages->setCurrentWidget(Child<QWidget>(page));
    QWidget* plot = page == std::string("chartPage")
                        ? static_cast<QWidget*>(Chart())
                        : Child<QWidget>("rfPhiPlot");
    const QString picture = dir_.filePath(QString(page) + ".png");
    {
      ModalScript s({Offers(dir_.path(), offered, picture)});
      choose(plot, "plotSaveChartAction");
    }
    offered = "discs.png";
    EXPECT_EQ(QImage(picture).size(), plot->size()) << page;
    {
      ModalScript s({[](QWidget* w) {
        EXPECT_NE(qobject_cast<FigureDialog*>(w), nullptr);
        QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
      }});
      choose(plot, "plotExportFigureAction");
    }
    QApplication::clipboard()->clear();
    choose(plot, "plotCopyAction");
    EXPECT_EQ(QApplication::clipboard()->image().size(), plot->size()) << page;
  }
}

TEST_F(WindowDialogsTest, WindowStateIsKeptBetweenSessions) {
  // A first start keeps the client area of 648 x 409 below the menu.
  EXPECT_EQ(window_->width(), 648);
  EXPECT_EQ(window_->centralWidget()->height() + window_->statusBar()->height(),
            409);
  window_->resize(720, 480);
  window_->move(40, 30);
  window_->onNewStudy();
  QApplication::processEvents();
  const QList<QSplitter*> splitters = StudySplitters(*window_);
  ASSERT_EQ(splitters.size(), 2);
  const QList<int> before = splitters[0]->sizes();
  splitters[0]->setSizes({before[0] + 60, before[1] - 60});
  const QList<int> across = splitters[0]->sizes();
  ASSERT_NE(across, before);
  Child<QTabWidget>("pages")->setCurrentIndex(2);
  const QRect geometry = window_->geometry();
  window_->close();

  MainWindow next;
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  EXPECT_EQ(next.geometry(), geometry);
  EXPECT_EQ(next.findChild<QTabWidget*>("pages")->currentIndex(), 2);
  next.onNewStudy();
  QApplication::processEvents();
  const QList<QSplitter*> restored = StudySplitters(next);
  ASSERT_EQ(restored.size(), 2);
  EXPECT_EQ(restored[0]->sizes(), across);
}

TEST_F(WindowDialogsTest, EveryDialogFitsAScaledScreen) {
  const QString table =
      Write("table.csv", "major,minor,angle\n3,2,30\n4,2,45\n5,1,40\n6,2,35\n");
  const QRect screen = window_->screen()->availableGeometry();
  // A dialog that fits stays as it was laid out.
  {
    BootstrapDialog bootstrap(BootstrapSettings{}, window_.get());
    bootstrap.show();
    const QSize before = bootstrap.size();
    FitToScreen(&bootstrap, kScaledScreen);
    EXPECT_EQ(bootstrap.size(), before);
    EXPECT_EQ(bootstrap.findChild<QScrollArea*>(), nullptr);
  }
  // Each dialog fits the screen it opens on, and then a scaled one, its
  // buttons in sight.
  TableImportDialog import(table, window_.get());
  GrainImportDialog grains(dir_.filePath("none.shp"), GrainSource::kOutlines,
                           window_.get());
  FigureDialog figure(Chart()->Chart(), "caption", FigureSettings(),
                      window_.get());
  BootstrapDialog bootstrap(BootstrapSettings{}, window_.get());
  for (QWidget* dialog : std::initializer_list<QWidget*>{
           &import, &grains, &figure, &bootstrap,
           Child<QFileDialog>("openDialog"), Child<QFileDialog>("saveDialog"),
           Child<QFileDialog>("importDialog")}) {
    ExpectFits(dialog, screen);
    FitToScreen(dialog, kScaledScreen);
    ExpectFits(dialog, kScaledScreen);
    dialog->hide();
  }
  // The grain import's preview is too tall for the scaled screen: its
  // contents scroll and its buttons stay below them.
  EXPECT_NE(grains.findChild<QScrollArea*>("screenFitScroll"), nullptr);
  // The study's section dialog, as Add Section opens it.
  window_->onNewStudy();
  ModalScript s({Choose(Write("six.txt", kSix)), [](QWidget* w) {
                   ASSERT_EQ(w->objectName(), "sectionDialog");
                   FitToScreen(w, kScaledScreen);
                   ExpectFits(w, kScaledScreen);
                   QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
                 }});
  Child<QPushButton>("addSectionButton")->click();
}

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// The main window's files as a user handles them: the About box, exported
// results and reports, recent files, dropped files, the open dialog's
// folder and figures, on the offscreen platform.
#include <QTextBrowser>

#include "main_window_fixture.h"
#include "window/manual_viewer.h"

namespace orvane {
namespace {

TEST_F(MainWindowTest, AboutBoxIsModeless) {
  window_->onShowVersion();
  window_->onShowVersion();
  QApplication::processEvents();
  EXPECT_TRUE(about_->isVisible());
  EXPECT_FALSE(about_->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(about_->findChildren<QPushButton*>().size(), 1);
  // The original box keeps its width and its controls' places; below them
  // it grows for the licence and how to cite, every text of it inside the
  // box and selectable.
  EXPECT_EQ(about_->width(), 290);
  EXPECT_EQ(AboutChild<QLabel>("title")->text(), "Orvane");
  EXPECT_EQ(AboutChild<QLabel>("licence")->text(),
            "Released under the MIT licence.");
  EXPECT_EQ(AboutChild<QLabel>("citeHeading")->text(), "How to cite:");
  const QString citation = AboutChild<QLabel>("citation")->text();
  EXPECT_TRUE(citation.startsWith("The Orvane developers (2011). Orvane: "))
      << citation.toStdString();
  EXPECT_TRUE(citation.contains("version 1.0.")) << citation.toStdString();
  int lowest = 0;
  for (const QLabel* label : about_->findChildren<QLabel*>()) {
    if (label->objectName() == "icon") continue;
    SCOPED_TRACE(label->objectName().toStdString());
    EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_GE(label->geometry().height(),
              label->heightForWidth(label->width()));
    lowest = std::max(lowest, label->geometry().bottom());
  }
  for (const char* lower :
       {"licence", "citeHeading", "citation", "methodsCitation"}) {
    EXPECT_GE(AboutChild<QLabel>(lower)->y(), 172) << lower;
    EXPECT_TRUE(about_->rect().contains(AboutChild<QLabel>(lower)->geometry()))
        << lower;
  }
  EXPECT_EQ(about_->height(), lowest + 1 + 10);
  EXPECT_EQ(AboutChild<QLabel>("version")->text(),
            "Version 1.0   (December 2011)");
  EXPECT_EQ(AboutChild<QLabel>("description2")->text(),
            "using the hyperbolic vector mean method. ");
  EXPECT_EQ(AboutChild<QPushButton>("okButton")->geometry(),
            QRect(207, 112, 75, 52));
  EXPECT_EQ(AboutChild<QFrame>("separator")->geometry(), QRect(16, 63, 259, 2));
  EXPECT_EQ(AboutChild<QLabel>("icon")->geometry(), QRect(8, 8, 33, 33));
  // The papers of the methods: a link opens the manual at its list of them.
  emit AboutChild<QLabel>("methodsCitation")->linkActivated("#how-to-cite");
  QApplication::processEvents();
  auto* manual = window_->findChild<ManualViewer*>("manualViewer");
  ASSERT_NE(manual, nullptr);
  EXPECT_TRUE(manual->isVisible());
  EXPECT_GT(manual->Browser()->verticalScrollBar()->value(), 0);
  manual->close();
  // The main window works meanwhile.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Panel0(), "N : 6");
  PressRow(1);
  EXPECT_TRUE(Chart()->Chart().measured_highlight.Active());
  EXPECT_TRUE(about_->isVisible());
  QTest::mouseClick(AboutChild<QPushButton>("okButton"), Qt::LeftButton);
  EXPECT_FALSE(about_->isVisible());
  window_->onShowVersion();
  EXPECT_TRUE(about_->isVisible());
  about_->close();
  EXPECT_FALSE(about_->isVisible());
  window_->onShowVersion();
  EXPECT_TRUE(about_->isVisible());
}

// ---- Results out, and opening files as people expect ----

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unread)");
}

// The table the window should write for its state.
QByteArray TableOf(const MainWindow& window) {
  std::string text;
  WriteResultsCsv(window.OpenFileName().toStdString(), window.State(),
                  [&text](std::string_view piece) {
                    text.append(piece);
                    return true;
                  });
  return QByteArray::fromStdString(text);
}

ModalScript::Handler CannotWrite() {
  return [](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().startsWith("Cannot write \""))
        << box->text().toStdString();
    QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click",
                              Qt::QueuedConnection);
  };
}

TEST_F(MainWindowTest, ExportResultsWritesTheTable) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  ASSERT_TRUE(Child<QAction>("exportResultsAction")->isEnabled());
  const QString table = dir_.filePath("table.csv");
  {
    ModalScript s({Offers(dir_.path(), "six-results.csv", table)});
    window_->onExportResults();
  }
  const QByteArray written = ReadAll(table);
  EXPECT_EQ(written, TableOf(*window_));
  EXPECT_TRUE(written.startsWith("# file," + six.toUtf8() + "\n# N,6\n# R_s,"))
      << written.toStdString();
  EXPECT_TRUE(written.contains("\nnumber,a,b,phi,R,R_pre,phi_pre\n1,3,2,30,"));
  // An existing file: No keeps it, Yes replaces it; the dialog offers the
  // folder chosen last.
  const QString old = Write("old.csv", "old");
  const QDir sub(dir_.filePath("sub"));
  ASSERT_TRUE(sub.mkpath("."));
  {
    ModalScript s({Offers(dir_.path(), "six-results.csv", old),
                   Box("File already exist. Overwrite?", QMessageBox::No)});
    window_->onExportResults();
  }
  EXPECT_EQ(ReadAll(old), "old");
  {
    ModalScript s(
        {Choose(old), Box("File already exist. Overwrite?", QMessageBox::Yes)});
    window_->onExportResults();
  }
  EXPECT_EQ(ReadAll(old), written);
  // A folder that does not exist: the system's reason, nothing written.
  {
    ModalScript s(
        {Choose(dir_.filePath("no/such/folder/t.csv")), CannotWrite()});
    window_->onExportResults();
  }
  EXPECT_FALSE(QFile::exists(dir_.filePath("no")));
  // Cancelled: nothing.
  {
    ModalScript s({Cancel()});
    window_->onExportResults();
  }
  // Without data there is nothing to export.
  Open({Choose(Write("empty.txt", "\n")), Box("No data.")});
  EXPECT_FALSE(Child<QAction>("exportResultsAction")->isEnabled());
}

TEST_F(MainWindowTest, LargeResultsAreSavedBehindAProgressBox) {
  QByteArray text;
  for (int i = 0; i < 40000; ++i) {
    text += "3.5 1.25 " + QByteArray::number(i % 170 - 85) + "\n";
  }
  Open({Choose(Write("many.txt", text))});
  const QString table = dir_.filePath("many.csv");
  {
    ModalScript s({Choose(table)});
    window_->onExportResults();
    EXPECT_EQ(s.ProgressTexts(), QStringList{"Saving the results…"});
  }
  EXPECT_EQ(ReadAll(table), TableOf(*window_));
}

// The saved report is the text of the report tab as shown, edits included,
// each line ended by a line feed: the plain output of orvane-cli for the
// same file.
TEST_F(MainWindowTest, SaveReportWritesTheTextShown) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  ASSERT_TRUE(Child<QAction>("saveReportAction")->isEnabled());
  const QString saved = dir_.filePath("r.txt");
  {
    ModalScript s({Offers(dir_.path(), "six-report.txt", saved)});
    window_->onSaveReport();
  }
  QByteArray lines;
  for (const std::string& line : window_->ReportLines().Lines()) {
    lines += QByteArray::fromStdString(line) + "\n";
  }
  EXPECT_EQ(ReadAll(saved), lines);
  EXPECT_TRUE(lines.startsWith("*** Data ***\n  file = " + six.toUtf8()));
  Child<QPlainTextEdit>("report")->appendPlainText("sample 7, outcrop B");
  {
    ModalScript s({Choose(saved),
                   Box("File already exist. Overwrite?", QMessageBox::Yes)});
    window_->onSaveReport();
  }
  EXPECT_EQ(ReadAll(saved), lines + "sample 7, outcrop B\n");
  {
    ModalScript s({Choose(dir_.filePath("missing/r.txt")), CannotWrite()});
    window_->onSaveReport();
  }
}

// A failed save leaves the old file as it was and no temporary file beside
// it, and says why in the system's words.
TEST(TextSave, FailureKeepsTheOldFile) {
  QTemporaryDir dir;
  const QString target = dir.filePath("t.csv");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old table");
  }
  const std::string block(1 << 16, 'x');
  auto many_blocks = [&block](const TextSink& sink) {
    for (int i = 0; i < 64; ++i) {
      if (!sink(block)) return false;
    }
    return true;
  };
  // A file size limit stops the writing after 1 MiB: "File too large".
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit old_limit {};
  ::getrlimit(RLIMIT_FSIZE, &old_limit);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const Status too_large = SaveTextFile(target, many_blocks);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(too_large.code(), StatusCode::kWriteFailed);
  EXPECT_EQ(too_large.message(),
            "Cannot write \"" + target.toStdString() + "\": File too large");
  EXPECT_EQ(ReadAll(target), "old table");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"t.csv"});
  // A writer that gives up is a failure too.
  const Status refused = SaveTextFile(
      target, [](const TextSink& sink) { return sink("a") && false; });
  EXPECT_FALSE(refused.ok());
  EXPECT_EQ(ReadAll(target), "old table");
  // A folder is not replaced.
  const Status folder = SaveTextFile(dir.path(), many_blocks);
  EXPECT_EQ(folder.message(), "Cannot write \"" + dir.path().toStdString() +
                                  "\": it is a folder.");
  // Written whole, it replaces the old file.
  EXPECT_TRUE(SaveTextFile(target, many_blocks).ok());
  EXPECT_EQ(QFileInfo(target).size(), 64 << 16);
}

TEST(RecentFiles, NewestFirstEachOnceAtMostTen) {
  QStringList list;
  for (int i = 0; i < 12; ++i) {
    list = RecentFiles::Added(list, QString("/d/%1.txt").arg(i));
  }
  ASSERT_EQ(list.size(), 10);
  EXPECT_EQ(list.first(), "/d/11.txt");
  EXPECT_EQ(list.last(), "/d/2.txt");
  // Opened again: moved to the front, not listed twice.
  list = RecentFiles::Added(list, "/d/5.txt");
  EXPECT_EQ(list.size(), 10);
  EXPECT_EQ(list.count("/d/5.txt"), 1);
  EXPECT_EQ(list[0], "/d/5.txt");
  EXPECT_EQ(list[1], "/d/11.txt");
  // The same file by another name of its path is the same entry.
  list = RecentFiles::Added(list, "/d/./x/../11.txt");
  EXPECT_EQ(list[0], "/d/11.txt");
  EXPECT_EQ(list.count("/d/11.txt"), 1);
  // A relative name is made absolute.
  EXPECT_EQ(RecentFiles::Added({}, "rel.txt")[0],
            QDir::current().absoluteFilePath("rel.txt"));
}

// The list as stored: a hand-edited one is read without doubles, blanks or
// excess; and the suites' settings are not the user's own.
TEST(RecentFiles, ReadFromTheSettingsAsPromised) {
  QSettings().setValue("recentFiles",
                       QStringList{"/a", "", "/a", "/b", "/c", "/d", "/e", "/f",
                                   "/g", "/h", "/i", "/j", "/k"});
  EXPECT_EQ(RecentFiles::Load(), (QStringList{"/a", "/b", "/c", "/d", "/e",
                                              "/f", "/g", "/h", "/i", "/j"}));
  RecentFiles::Clear();
  EXPECT_TRUE(RecentFiles::Load().isEmpty());
  EXPECT_FALSE(QSettings().fileName().startsWith(QDir::homePath()))
      << QSettings().fileName().toStdString();
}

// The texts of the Recent Files entries, without the Clear entry.
QStringList RecentEntries(QMenu* menu) {
  QStringList texts;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator() && a->objectName() != "clearRecentAction") {
      texts << a->text();
    }
  }
  return texts;
}

TEST_F(MainWindowTest, RecentFilesMenu) {
  const QString six = Write("six.txt", kSix);
  const QString three = Write("three & more.txt", "3 2 30\n4 2 45\n5 1 -10\n");
  const QString bad = Write("bad.txt", "3 2 x\n");
  Open({Choose(six)});
  {
    ModalScript s({Box("Number of data < 5")});
    window_->openFile(three);
  }
  Open({Choose(bad), Box("Read error --- #1")});  // refused: not listed
  QMenu* menu = Child<QMenu>("recentMenu");
  EXPECT_EQ(
      RecentEntries(menu),
      (QStringList{"&1  " + QString(three).replace("&", "&&"), "&2  " + six}));
  EXPECT_TRUE(Child<QAction>("clearRecentAction")->isEnabled());
  // Choosing an entry opens it, and puts it first.
  {
    ModalScript none({});
    menu->actions()[1]->trigger();
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(RecentEntries(menu)[0], "&1  " + six);
  // Kept for the next session.
  {
    MainWindow next;
    EXPECT_EQ(RecentEntries(next.findChild<QMenu*>("recentMenu")),
              RecentEntries(menu));
  }
  // A file that has gone is taken off the list with a message.
  ASSERT_TRUE(QFile::remove(three));
  {
    ModalScript s({Box("\"" + three +
                       "\" no longer exists. It is taken off the recent "
                       "files.")});
    menu->actions()[1]->trigger();
  }
  EXPECT_EQ(RecentEntries(menu), QStringList{"&1  " + six});
  EXPECT_EQ(RecentFiles::Load(), QStringList{six});
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  // Clear empties the list, here and in the settings.
  Child<QAction>("clearRecentAction")->trigger();
  EXPECT_TRUE(RecentEntries(menu).isEmpty());
  EXPECT_FALSE(Child<QAction>("clearRecentAction")->isEnabled());
  EXPECT_TRUE(RecentFiles::Load().isEmpty());
}

// Sends a drag of `urls` over the window and drops it; true when the
// window accepted the drag.
bool DragAndDrop(QWidget* window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPoint at(300, 200);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window, &drop);
  EXPECT_TRUE(drop.isAccepted());
  QApplication::processEvents();
  return true;
}

TEST_F(MainWindowTest, DroppedFileOpensAsIfChosen) {
  const QString six = Write("six.txt", kSix);
  {
    ModalScript none({});
    EXPECT_TRUE(DragAndDrop(window_.get(), {QUrl::fromLocalFile(six)}));
  }
  EXPECT_EQ(window_->windowTitle(), "Orvane  [ six.txt ]");
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_EQ(window_->OpenFileName(), six);
  EXPECT_EQ(RecentFiles::Load(), QStringList{six});
  // The same messages as the Open command.
  {
    ModalScript s({Box("Read error --- #1")});
    EXPECT_TRUE(DragAndDrop(window_.get(),
                            {QUrl::fromLocalFile(Write("bad.txt", "x\n"))}));
  }
  // Two files, a web address or text alone are not taken.
  {
    ModalScript none({});
    EXPECT_FALSE(DragAndDrop(
        window_.get(), {QUrl::fromLocalFile(six), QUrl::fromLocalFile(six)}));
    EXPECT_FALSE(
        DragAndDrop(window_.get(), {QUrl("https://example.org/six.txt")}));
    EXPECT_FALSE(DragAndDrop(window_.get(), {}));
  }
  EXPECT_EQ(Panel0(), "N : 6");
  // The report pane leaves drops to the window.
  EXPECT_FALSE(Child<QPlainTextEdit>("report")->acceptDrops());
  EXPECT_TRUE(window_->acceptDrops());
}

TEST_F(MainWindowTest, OpenDialogRemembersTheLastFolder) {
  QDir(dir_.path()).mkpath("field/2026");
  const QString folder = dir_.filePath("field/2026");
  const QString six = Write("field/2026/six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(RememberedOpenFolder(), folder);
  // The next session's dialog starts there.
  {
    MainWindow next;
    EXPECT_EQ(QDir(next.findChild<QFileDialog*>("openDialog")->directory())
                  .absolutePath(),
              folder);
  }
  // A refused file in another folder still moves the dialog there.
  QDir(dir_.path()).mkpath("other");
  Open({Choose(Write("other/bad.txt", "x\n")), Box("Read error --- #1")});
  EXPECT_EQ(RememberedOpenFolder(), dir_.filePath("other"));
  // A remembered folder that has gone: the examples again.
  ASSERT_TRUE(QDir(dir_.filePath("other")).removeRecursively());
  MainWindow after;
  EXPECT_EQ(QDir(after.findChild<QFileDialog*>("openDialog")->directory())
                .absolutePath(),
            QDir(MainWindow::ExamplesFolder()).absolutePath());
  EXPECT_TRUE(after.OpenFileName().endsWith("/sampledata.txt"));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// Sets the figure dialog's size and resolution and presses Export...
ModalScript::Handler ExportFigureAt(double width_mm, int dpi) {
  return [width_mm, dpi](QWidget* w) {
    ASSERT_EQ(w->objectName(), "figureDialog");
    w->findChild<QDoubleSpinBox*>("figureWidth")->setValue(width_mm);
    w->findChild<QSpinBox*>("figureDpi")->setValue(dpi);
    w->findChild<QCheckBox*>("figureStyle")->setChecked(true);
    QMetaObject::invokeMethod(w->findChild<QPushButton*>("figureExport"),
                              "click", Qt::QueuedConnection);
  };
}

TEST_F(MainWindowTest, ExportFigureFlow) {
  Open({Choose(Write("six.txt", kSix))});
  const QString path = dir_.filePath("figure.png");
  {
    ModalScript s({ExportFigureAt(85, 150), Choose(path)});
    window_->onExportFigure();
  }
  // 85 x 95.8 mm at 150 dpi.
  EXPECT_EQ(QImage(path).size(), QSize(502, 566));
  // The dialog offers the settings of the last figure.
  {
    ModalScript s({[](QWidget* w) {
      ASSERT_EQ(w->objectName(), "figureDialog");
      EXPECT_EQ(w->findChild<QDoubleSpinBox*>("figureWidth")->value(), 85.0);
      EXPECT_EQ(w->findChild<QSpinBox*>("figureDpi")->value(), 150);
      EXPECT_TRUE(w->findChild<QCheckBox*>("figureStyle")->isChecked());
      QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    }});
    window_->onExportFigure();
  }
  // A figure that cannot be written is reported, and the dialog stays for
  // another try.
  {
    ModalScript s(
        {ExportFigureAt(85, 150), Choose(dir_.filePath("no/such/folder/f.png")),
         [](QWidget* w) {
           auto* box = qobject_cast<QMessageBox*>(w);
           ASSERT_NE(box, nullptr);
           EXPECT_TRUE(box->text().startsWith("Cannot write"));
           ASSERT_EQ(box->parentWidget()->objectName(), "figureDialog");
           QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
           QMetaObject::invokeMethod(box->parentWidget(), "reject",
                                     Qt::QueuedConnection);
         }});
    window_->onExportFigure();
  }
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath("no")));
}

TEST_F(MainWindowTest, ChartTooSmallForAPictureIsRefused) {
  const int extra_w = window_->width() - Chart()->width();
  const int extra_h = window_->height() - Chart()->height();
  window_->resize(100 + extra_w, 100 + extra_h);
  QApplication::processEvents();
  const QSize size = Chart()->size();
  if (size.width() >= kMinPictureSide && size.height() >= kMinPictureSide) {
    GTEST_SKIP() << "the window does not shrink below a picture's size";
  }
  {
    ModalScript s({Box(QString("A picture must be from 120 x 120 to 16384 x "
                               "16384 pixels; this one would be %1 x %2.")
                           .arg(size.width())
                           .arg(size.height()))});
    window_->onSaveChart();
  }
  EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
}  // namespace orvane

// The main window driven as a user drives it: menus, dialogs, message
// boxes, the grid and the chart, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "core/number_format.h"
#include "ui/about.h"
#include "ui/chart_render.h"
#include "ui/orvane_main.h"

namespace orvane {
namespace {

// Answers the modal dialogs that a command opens, one handler per dialog in
// the order they appear; a dialog left unanswered is rejected after a few
// seconds so that a test fails instead of hanging.
class ModalScript {
 public:
  using Handler = std::function<void(QWidget*)>;
  explicit ModalScript(std::deque<Handler> handlers)
      : handlers_(std::move(handlers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }
  ~ModalScript() { EXPECT_TRUE(handlers_.empty()) << "dialogs not shown"; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_) {
      if (modal != nullptr && ++waited_ > 300) {  // 3 s on one dialog
        ADD_FAILURE() << "dialog left open: "
                      << modal->metaObject()->className();
        if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
      }
      return;
    }
    last_ = modal;
    waited_ = 0;
    if (handlers_.empty()) {
      ADD_FAILURE() << "unexpected dialog " << modal->metaObject()->className()
                    << " " << Text(modal).toStdString();
      if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
      return;
    }
    Handler h = handlers_.front();
    handlers_.pop_front();
    h(modal);
  }
  static QString Text(QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    return box ? box->text() : QString();
  }

  std::deque<Handler> handlers_;
  QTimer timer_;
  QWidget* last_ = nullptr;
  int waited_ = 0;
};

// Chooses `path` in a file dialog.
ModalScript::Handler Choose(const QString& path) {
  return [path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
  };
}

// Types a bare name into the dialog's name field of folder `dir` and
// presses Return.
ModalScript::Handler Type(const QString& dir, const QString& name,
                          const QString& filter = QString()) {
  return [dir, name, filter](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->setDirectory(dir);
    if (!filter.isEmpty()) dialog->selectNameFilter(filter);
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
  };
}

ModalScript::Handler Cancel() {
  return [](QWidget* w) {
    auto* dialog = qobject_cast<QDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
  };
}

// Expects a message box with `text` and presses `button`.
ModalScript::Handler Box(const QString& text,
                         QMessageBox::StandardButton button = QMessageBox::Ok) {
  return [text, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << w->metaObject()->className();
    EXPECT_EQ(box->text().toStdString(), text.toStdString());
    QAbstractButton* b = box->button(button);
    ASSERT_NE(b, nullptr);
    QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
  };
}

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TFormMain>();
    about_ = std::make_unique<TForm1>(form_.get());
    form_->SetAboutBox(about_.get());
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  void TearDown() override {
    about_.reset();
    form_.reset();
  }

  QString Write(const QString& name, const QByteArray& text) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
  }
  void Open(std::deque<ModalScript::Handler> script) {
    ModalScript s(std::move(script));
    form_->MenuOpenClick();
    QApplication::processEvents();
  }
  QString Panel0() const { return form_->StatusPanel0->text(); }
  QString Panel1() const { return form_->StatusPanel1->text(); }
  QStringList Report() const { return form_->Memo1->toPlainText().split('\n'); }
  QString Cell(int row, int column) const {
    return form_->StringGrid1->Model()
        .data(form_->StringGrid1->Model().index(row - 1, column - 1),
              Qt::DisplayRole)
        .toString();
  }
  // Presses a mouse button on grid row `row` (1-based), in column `column`.
  void PressRow(int row, int column = 2,
                Qt::MouseButton button = Qt::LeftButton) {
    DataGrid* g = form_->StringGrid1;
    const QRect r = g->visualRect(g->Model().index(row - 1, column - 1));
    QTest::mousePress(g->viewport(), button, {}, r.center());
    QTest::mouseRelease(g->viewport(), button, {}, r.center());
  }
  void ReleaseOnChart(Qt::MouseButton button) {
    QTest::mouseRelease(form_->Chart1, button, {}, QPoint(60, 300));
  }

  QTemporaryDir dir_;
  std::unique_ptr<TFormMain> form_;
  std::unique_ptr<TForm1> about_;
};

TEST_F(MainWindow, StartUpState) {
  EXPECT_EQ(form_->windowTitle(), "Orvane");
  EXPECT_EQ(form_->width(), 648);
  EXPECT_EQ(form_->PageControl1->height() + form_->StatusBar1->height(), 409);
  EXPECT_EQ(form_->StatusBar1->height(), 19);
  EXPECT_EQ(form_->Chart1->size(), QSize(640, 362));
  EXPECT_EQ(Panel0(), "N = ");
  EXPECT_EQ(Panel1(), "");
  EXPECT_EQ(form_->PageControl1->count(), 2);
  EXPECT_EQ(form_->PageControl1->tabText(0), "Equal-Area Projection");
  EXPECT_EQ(form_->PageControl1->tabText(1), "Optimal Strain and its Error");
  EXPECT_EQ(form_->PageControl1->currentIndex(), 0);
  EXPECT_EQ(form_->Memo1->toPlainText(), "");
  EXPECT_FALSE(form_->Memo1->isReadOnly());

  const auto menus = form_->menuBar()->actions();
  ASSERT_EQ(menus.size(), 3);
  EXPECT_EQ(menus[0]->text(), "&File");
  EXPECT_EQ(menus[1]->text(), "&Edit");
  EXPECT_FALSE(form_->MenuEdit->isEnabled());
  EXPECT_TRUE(form_->MenuEdit->actions().isEmpty());
  EXPECT_EQ(menus[2]->text(), "&Help");
  const auto file = form_->MenuFile->actions();
  ASSERT_EQ(file.size(), 4);
  EXPECT_EQ(file[0]->text(), "&Open");
  EXPECT_EQ(file[1]->text(), "&Save Chart");
  EXPECT_TRUE(file[2]->isSeparator());
  EXPECT_EQ(file[3]->text(), "E&xit");
  EXPECT_EQ(form_->MenuOpen->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(form_->MenuSaveChart->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(form_->MenuExit->shortcut(), QKeySequence("Ctrl+Q"));
  EXPECT_EQ(form_->MenuHelp->actions()[0]->text(), "&Version");

  // The grid at the design size, with its header and eleven empty rows.
  EXPECT_EQ(form_->StringGrid1->geometry(), QRect(419, 112, 221, 250));
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 12);
  const QAbstractItemModel& m = form_->StringGrid1->Model();
  EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole), "major");
  EXPECT_EQ(m.headerData(3, Qt::Horizontal, Qt::DisplayRole), "R");
  EXPECT_EQ(m.headerData(10, Qt::Vertical, Qt::DisplayRole), "11");
  EXPECT_EQ(Cell(1, 1), "");
  EXPECT_EQ(form_->Chart1->Chart().IsoRcircleCount(), 3);
  EXPECT_FALSE(about_->isVisible());
  // A press on the grid does nothing without data.
  PressRow(2);
  EXPECT_EQ(Panel1(), "");
  EXPECT_FALSE(form_->Chart1->Chart().SeriesFh.Active());
  // The open dialog offers the bundled sample.
  EXPECT_EQ(form_->OpenDialog1->windowTitle(), "Load data file");
  EXPECT_EQ(form_->OpenDialog1->defaultSuffix(), "txt");
  EXPECT_EQ(form_->OpenDialog1->nameFilters(),
            QStringList{"text file (*.txt)"});
  EXPECT_TRUE(form_->OpenFileName().endsWith("/sampledata.txt"));
  EXPECT_TRUE(QFile::exists(form_->OpenFileName()));
}

TEST_F(MainWindow, OpenThroughTheDialog) {
  const QString three = Write("three.txt", "3 2 30\n4 2 45\n5 1 -10\n");
  Open({Choose(three), Box("Number of data < 5")});
  EXPECT_EQ(form_->windowTitle(), "Orvane  [ three.txt ]");
  EXPECT_EQ(Panel0(), "N : 3");
  EXPECT_EQ(Panel1(), "");
  EXPECT_EQ(Report().mid(0, 3),
            (QStringList{"*** Data ***", "  file = " + three, "  N    = 3"}));
  EXPECT_EQ(Report()[4], "*** Optimal Strain ***");
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 4);
  EXPECT_EQ(Cell(1, 1), "3.00");
  EXPECT_EQ(Cell(1, 4), "1.50");
  EXPECT_EQ(Cell(3, 3), "-10.00");
  EXPECT_EQ(Cell(3, 4), "5.00");
  EXPECT_EQ(form_->Chart1->Chart().SeriesF.Count(), 3u);
  EXPECT_EQ(form_->Chart1->Chart().SeriesB.Count(), 0u);

  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_TRUE(Panel1().startsWith("  R_s = "));
  EXPECT_NE(Panel1().indexOf("    phi_s = "), -1);
  EXPECT_EQ(Report().size(), 3 + 7 + 8);
  EXPECT_EQ(form_->Chart1->Chart().SeriesB.Count(), 190u);
}

TEST_F(MainWindow, RefusalsChangeNothing) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QStringList report = Report();
  const QString title = form_->windowTitle(), limits = Panel1();
  const std::vector<std::pair<QByteArray, QString>> cases = {
      {"major minor angle\n3 2 30\n", "Read error --- #1"},
      {"3 2 30\n4 2 45\n2 3 0\n", "Major axis is shorter than minor one.  #3"},
      {"-1 -2 0\n", "Neative radii.  #1"},
      {"3 0 45\n", "Minor axis must be positive.  #1"},
      {"3 2 30\n2000 1 0\n", "Axial ratio out of range.  #2"},
  };
  int k = 0;
  for (const auto& [bytes, message] : cases) {
    const QString bad = Write(QString("bad%1.txt").arg(k++), bytes);
    Open({Choose(bad), Box(message)});
    EXPECT_EQ(Report(), report) << message.toStdString();
    EXPECT_EQ(form_->windowTitle(), title);
    EXPECT_EQ(Panel0(), "N : 6");
    EXPECT_EQ(Panel1(), limits);
    EXPECT_EQ(form_->State().Ndat, 6);
    EXPECT_EQ(Cell(1, 1), "3.00");
    EXPECT_EQ(form_->Chart1->Chart().SeriesF.Count(), 6u);
  }
  // A typed name of a missing file.
  Open({Type(dir_.path(), "absent"), Box("File not exits.")});
  EXPECT_EQ(Report(), report);
  EXPECT_TRUE(form_->OpenFileName().endsWith("/absent.txt"));  // suffix added
}

TEST_F(MainWindow, CancelledDialogRerunsOnTheDataHeld) {
  // Before any file: the preset name, no data, the start-up chart, no box.
  Open({Cancel()});
  EXPECT_EQ(Report(),
            (QStringList{"*** Data ***", "  file = " + form_->OpenFileName(),
                         "  N    = 0"}));
  EXPECT_EQ(form_->windowTitle(), "Orvane  [ sampledata.txt ]");
  EXPECT_EQ(Panel0(), "N = ");
  EXPECT_EQ(form_->Chart1->Chart().IsoRcircleCount(), 3);

  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QStringList report = Report();
  const QString limits = Panel1();
  PressRow(2);
  EXPECT_TRUE(form_->Chart1->Chart().SeriesFh.Active());
  Open({Cancel()});
  EXPECT_EQ(Report(), report);
  EXPECT_EQ(Panel1(), limits);
  EXPECT_EQ(Panel0(), "N : 6");
  EXPECT_FALSE(form_->Chart1->Chart().SeriesFh.Active());
  EXPECT_EQ(form_->Chart1->Chart().SeriesB.Count(), 190u);
  EXPECT_EQ(form_->windowTitle(), "Orvane  [ six.txt ]");
}

TEST_F(MainWindow, EmptyFileHasNoData) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QString empty = Write("empty.txt", "\n  \n");
  Open({Choose(empty), Box("No data.")});
  EXPECT_EQ(Panel0(), "N : 0");
  EXPECT_EQ(Panel1(), "");
  EXPECT_EQ(Report().last(), "  N    = 0");
  const EqualAreaChart& chart = form_->Chart1->Chart();
  EXPECT_EQ(chart.SeriesF.Count(), 0u);
  EXPECT_EQ(chart.SeriesB.Count(), 0u);
  EXPECT_EQ(chart.SeriesO.Count(), 0u);
  EXPECT_EQ(chart.IsoRcircleCount(), 3);
  EXPECT_EQ(chart.LeftAxisMaximum(), 3.0);
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 1);
}

TEST_F(MainWindow, SecondOpenReplacesEverything) {
  const QString big =
      Write("big.txt", "9 1 30\n8 1 45\n7.5 1 40\n6 1 35\n9 1 38\n");
  Open({Choose(big)});
  const int circles = form_->Chart1->Chart().IsoRcircleCount();
  EXPECT_GE(circles, 7);
  const QString six = Write("six.txt", kSix);
  for (int k = 0; k < 3; ++k) {
    Open({Choose(six)});
    const EqualAreaChart& chart = form_->Chart1->Chart();
    EXPECT_EQ(chart.SeriesList().size(),
              6u + static_cast<std::size_t>(chart.IsoRcircleCount()));
    EXPECT_LT(chart.IsoRcircleCount(), circles);
    EXPECT_EQ(form_->State().DatF.size(), 7u);
    EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 7);
    EXPECT_EQ(Cell(6, 1), "3.00");
    EXPECT_EQ(Cell(7, 1), "");  // nothing of the earlier file
  }
}

TEST_F(MainWindow, GridFollowsTheChartSize) {
  const int extra_w = form_->width() - form_->Chart1->width();
  const int extra_h = form_->height() - form_->Chart1->height();
  auto chart_size = [&](int w, int h) {
    form_->resize(w + extra_w, h + extra_h);
    QApplication::processEvents();
    EXPECT_EQ(form_->Chart1->size(), QSize(w, h));
  };
  chart_size(800, 560);
  EXPECT_EQ(form_->StringGrid1->geometry(), QRect(579, 112, 221, 448));
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 22);
  chart_size(800, 565);
  EXPECT_EQ(form_->StringGrid1->geometry().top(), 113);
  chart_size(640, 362);
  EXPECT_EQ(form_->StringGrid1->geometry(), QRect(419, 112, 221, 250));
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 12);
  // Too low for a row: the grid is hidden.
  chart_size(640, 125);
  EXPECT_FALSE(form_->StringGrid1->isVisible());
  chart_size(640, 362);
  EXPECT_TRUE(form_->StringGrid1->isVisible());

  // Fewer rows than data until the next Open.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 7);
  chart_size(640, 250);
  EXPECT_EQ(form_->StringGrid1->Model().RowCount(), 6);  // rows 1 to 5
}

TEST_F(MainWindow, HighlightFromARowPress) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const EqualAreaChart& chart = form_->Chart1->Chart();
  for (Qt::MouseButton b :
       {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    form_->Chart1->Chart().HideHighlight();
    PressRow(2, 3, b);
    EXPECT_TRUE(chart.SeriesFh.Active());
    EXPECT_TRUE(chart.SeriesIh.Active());
  }
  EXPECT_EQ(chart.SeriesFh.Points()[0].value, form_->State().DatF[2].zt);
  EXPECT_EQ(chart.SeriesIh.Points()[0].value, form_->State().DatI[2].zt);
  EXPECT_EQ(Panel1().toStdString(), FormatGrid(form_->State().DatI[2].R, "."));
  // The header row and the rows below the data do nothing.
  PressRow(5);
  const QString five = Panel1();
  QTest::mousePress(form_->StringGrid1->horizontalHeader()->viewport(),
                    Qt::LeftButton, {}, QPoint(50, 10));
  EXPECT_EQ(Panel1(), five);
  form_->Chart1Resize(QSize(640, 362));  // 12 rows again, 6 data
  PressRow(9);
  EXPECT_EQ(Panel1(), five);
  EXPECT_EQ(chart.SeriesFh.Points()[0].value, form_->State().DatF[5].zt);
  // A right release on the chart saves (cancelled here) and keeps it.
  {
    ModalScript s({Cancel()});
    ReleaseOnChart(Qt::RightButton);
  }
  EXPECT_TRUE(chart.SeriesFh.Active());
  ReleaseOnChart(Qt::MiddleButton);
  EXPECT_TRUE(chart.SeriesFh.Active());
  // A left release hides both.
  ReleaseOnChart(Qt::LeftButton);
  EXPECT_FALSE(chart.SeriesFh.Active());
  EXPECT_FALSE(chart.SeriesIh.Active());
}

TEST_F(MainWindow, SaveChartFlow) {
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  const QString dir = dir_.path();
  // A name without an extension gets that of the first type.
  {
    ModalScript s({Type(dir, "plot")});
    form_->MenuSaveChartClick();
  }
  ASSERT_TRUE(QFile::exists(dir + "/plot.emf"));
  const qint64 emf_size = QFile(dir + "/plot.emf").size();
  EXPECT_GT(emf_size, 1000);
  // Existing file: No leaves it untouched, Yes replaces it.
  const QString bmp = Write("plot.bmp", "old");
  {
    ModalScript s(
        {Choose(bmp), Box("File already exist. Overwrite?", QMessageBox::No)});
    form_->MenuSaveChartClick();
  }
  EXPECT_EQ(QFile(bmp).size(), 3);
  {
    ModalScript s(
        {Choose(bmp), Box("File already exist. Overwrite?", QMessageBox::Yes)});
    form_->MenuSaveChartClick();
  }
  EXPECT_EQ(QFile(bmp).size(), 54 + 640 * 362 * 4);
  // The picture is the chart as drawn on screen, without the grid over it.
  const QImage saved = QImage(bmp).convertToFormat(QImage::Format_RGB32);
  const QImage drawn =
      RenderChartImage(form_->Chart1->Chart(), form_->Chart1->size());
  EXPECT_EQ(saved, drawn);
  const QImage screen =
      form_->Chart1->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect grid = form_->StringGrid1->geometry();
  EXPECT_NE(saved.copy(grid), screen.copy(grid));  // the grid on screen only
  const QRect plot(0, 0, grid.left(), 362);
  // Elsewhere they agree but for the rounding of blended colours.
  int largest = 0;
  for (int y = 0; y < plot.height(); ++y) {
    for (int x = 0; x < plot.width(); ++x) {
      const QRgb a = saved.pixel(x, y), b = screen.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                          std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b))});
    }
  }
  EXPECT_LE(largest, 1);
  // An existing notes.txt: asked first, then refused, unchanged.
  const QString notes = Write("notes.txt", "my notes");
  {
    ModalScript s({Choose(notes),
                   Box("File already exist. Overwrite?", QMessageBox::Yes),
                   Box("Invalid file extension.")});
    form_->MenuSaveChartClick();
  }
  EXPECT_EQ(QFile(notes).size(), 8);
  // A new name with an unknown extension writes nothing.
  {
    ModalScript s({Choose(dir + "/plot.jpeg"), Box("Invalid file extension.")});
    form_->MenuSaveChartClick();
  }
  EXPECT_FALSE(QFile::exists(dir + "/plot.jpeg"));
  // A picture that cannot be written is reported.
  {
    ModalScript s({Choose(dir + "/no/such/folder/plot.png"), [](QWidget* w) {
                     auto* box = qobject_cast<QMessageBox*>(w);
                     ASSERT_NE(box, nullptr);
                     EXPECT_TRUE(box->text().startsWith("Cannot write"));
                     QMetaObject::invokeMethod(box->button(QMessageBox::Ok),
                                               "click", Qt::QueuedConnection);
                   }});
    form_->MenuSaveChartClick();
  }
}

TEST_F(MainWindow, AboutBoxIsModeless) {
  form_->MenuVersionClick();
  form_->MenuVersionClick();
  QApplication::processEvents();
  EXPECT_TRUE(about_->isVisible());
  EXPECT_FALSE(about_->isModal());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(about_->findChildren<QPushButton*>().size(), 1);
  EXPECT_EQ(about_->size(), QSize(290, 172));
  EXPECT_EQ(about_->StaticText1->text(), "Orvane");
  EXPECT_EQ(about_->StaticText4->text(), "Version 1.0   (December 2011)");
  EXPECT_EQ(about_->StaticText3->text(),
            "using the hyperbolic vector mean method. ");
  EXPECT_EQ(about_->Button1->geometry(), QRect(207, 112, 75, 52));
  EXPECT_EQ(about_->Bevel1->geometry(), QRect(16, 63, 259, 2));
  EXPECT_EQ(about_->Image1->geometry(), QRect(8, 8, 33, 33));
  // The main window works meanwhile.
  const QString six = Write("six.txt", kSix);
  Open({Choose(six)});
  EXPECT_EQ(Panel0(), "N : 6");
  PressRow(1);
  EXPECT_TRUE(form_->Chart1->Chart().SeriesFh.Active());
  EXPECT_TRUE(about_->isVisible());
  QTest::mouseClick(about_->Button1, Qt::LeftButton);
  EXPECT_FALSE(about_->isVisible());
  form_->MenuVersionClick();
  EXPECT_TRUE(about_->isVisible());
  about_->close();
  EXPECT_FALSE(about_->isVisible());
  form_->MenuVersionClick();
  EXPECT_TRUE(about_->isVisible());
}

}  // namespace
}  // namespace orvane

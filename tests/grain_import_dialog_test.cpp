// SPDX-License-Identifier: MIT
// File > Import Outlines... and File > Import Label Image...: the grain
// import dialog and the window's import, driven as a user drives them, on
// the offscreen platform.
#include <QDialogButtonBox>
#include <QImage>

#include "main_window_fixture.h"
#include "window/data_grid.h"
#include "window/grain_import_dialog.h"

namespace orvane {
namespace {

// Presses Import in the grain import dialog, after `check` has looked at it.
ModalScript::Handler Import(
    std::function<void(GrainImportDialog*)> check = {}) {
  return [check](QWidget* w) {
    auto* dialog = qobject_cast<GrainImportDialog*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    if (check) check(dialog);
    auto* buttons = dialog->findChild<QDialogButtonBox*>("buttons");
    QMetaObject::invokeMethod(buttons->button(QDialogButtonBox::Ok), "click",
                              Qt::QueuedConnection);
  };
}

QString Text(const QWidget* dialog, const char* name) {
  const auto* label = dialog->findChild<QLabel*>(name);
  return label ? label->text() : QString("(no %1)").arg(name);
}

bool CanImport(const QWidget* dialog) {
  return dialog->findChild<QDialogButtonBox*>("buttons")
      ->button(QDialogButtonBox::Ok)
      ->isEnabled();
}

// Six parallelograms with right angles (corner o, sides u and v), one a
// 2 : 1 rectangle at atan(1/2), then an outline of two vertices.
QByteArray VertexTable() {
  struct Rect {
    double ox, oy, ux, uy, vx, vy;
  };
  const Rect rects[] = {{0, 0, 4, 2, -1, 2},   {10, 0, 6, 0, 0, 2},
                        {20, 0, 3, 3, -1, 1},  {0, 10, 2, 0, 0, 5},
                        {10, 10, 4, -2, 1, 2}, {20, 10, 5, 1, -1, 5}};
  QByteArray t = "id,x,y\n";
  int id = 1;
  for (const Rect& r : rects) {
    const double xs[] = {r.ox, r.ox + r.ux, r.ox + r.ux + r.vx, r.ox + r.vx};
    const double ys[] = {r.oy, r.oy + r.uy, r.oy + r.uy + r.vy, r.oy + r.vy};
    for (int k = 0; k < 4; ++k) {
      t += QByteArray::number(id) + "," + QByteArray::number(xs[k]) + "," +
           QByteArray::number(ys[k]) + "\n";
    }
    ++id;
  }
  return t + "z,30,30\nz,31,31\n";
}

constexpr const char* kSkippedOutline =
    "1 outline was skipped: grain z: fewer than 3 distinct vertices.";

class GrainImportTest : public MainWindowTest {
 protected:
  void Trigger(const char* action) { Child<QAction>(action)->trigger(); }
  // The state of the six grains of VertexTable and the caption that names
  // the file.
  void ExpectTheSixGrains() {
    const AnalysisState& s = window_->State();
    ASSERT_EQ(s.count, 6);
    ASSERT_EQ(s.places.x.size(), 7u);
    const double cx[] = {1.5, 13, 21, 1, 12.5, 22};
    const double cy[] = {2, 1, 2, 12.5, 10, 13};
    const double area[] = {10, 12, 6, 10, 10, 26};
    for (int i = 0; i < 6; ++i) {
      EXPECT_NEAR(s.places.x[i + 1], cx[i], 1e-12) << i;
      EXPECT_NEAR(s.places.y[i + 1], cy[i], 1e-12) << i;
      EXPECT_NEAR(s.places.area[i + 1], area[i], 1e-12) << i;
    }
    EXPECT_NEAR(s.measured[1].major / s.measured[1].minor, 2, 1e-6);
    EXPECT_NEAR(s.measured[1].phi, 26.5650512, 1e-4);
    EXPECT_EQ(window_->windowTitle().toStdString(), "Orvane  [ grains.csv ]");
  }
};

TEST_F(GrainImportTest, OutlinesImportThroughTheMenuAndTheDialog) {
  const QString grains = Write("grains.csv", VertexTable());
  {
    ModalScript a({Choose(grains), Import([](GrainImportDialog* d) {
                     EXPECT_EQ(Text(d, "grainCountLabel"), "6 grains read.");
                     EXPECT_EQ(Text(d, "skippedLabel"), kSkippedOutline);
                     EXPECT_TRUE(Text(d, "problemLabel").isEmpty());
                     EXPECT_EQ(d->Reading().outlines.size(), 6u);
                     EXPECT_TRUE(CanImport(d));
                   }),
                   Box(kSkippedOutline)});
    Trigger("importOutlinesAction");
    QApplication::processEvents();
  }
  ExpectTheSixGrains();
  EXPECT_EQ(Report()[1], "  file = " + grains);
  // The grid shows each grain's centroid and area beyond its ellipse.
  const DataGridModel& grid = Child<DataGrid>("dataGrid")->Model();
  ASSERT_EQ(grid.columnCount(), 7);
  QStringList titles, first_row;
  for (int c = 0; c < 7; ++c) {
    titles << grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    first_row << grid.data(grid.index(0, c), Qt::DisplayRole).toString();
  }
  EXPECT_EQ(titles,
            (QStringList{"major", "minor", "angle", "R", "x", "y", "area"}));
  EXPECT_EQ(first_row.mid(4), (QStringList{"1.5", "2", "10"}));

  // A file the reader refuses says why, and cannot be imported.
  GrainImportDialog refused(Write("bad.csv", "id,x,y\n1,0,zero\n"),
                            GrainSource::kOutlines);
  EXPECT_EQ(Text(&refused, "problemLabel"),
            "line 2: a vertex needs an id and the numbers x and y");
  EXPECT_FALSE(CanImport(&refused));
  // Cancel changes nothing.
  {
    ModalScript a({Choose(grains), Cancel()});
    Trigger("importOutlinesAction");
    QApplication::processEvents();
  }
  ExpectTheSixGrains();
}

TEST_F(GrainImportTest, LabelImageImportsAtThePixelSizeGiven) {
  // Six labelled rectangles (column, row, width, height) and a seventh of
  // nine pixels, fewer than the least count unless it is lowered.
  const QRect rects[] = {{4, 4, 10, 4},  {20, 4, 4, 12}, {30, 4, 8, 8},
                         {4, 20, 12, 3}, {20, 20, 5, 9}, {30, 20, 7, 5},
                         {45, 30, 3, 3}};
  QImage image(64, 48, QImage::Format_Grayscale8);
  image.fill(0);
  for (int k = 0; k < 7; ++k) {
    for (int r = rects[k].top(); r <= rects[k].bottom(); ++r) {
      for (int c = rects[k].left(); c <= rects[k].right(); ++c) {
        image.scanLine(r)[c] = static_cast<uchar>(k + 1);
      }
    }
  }
  const QString png = dir_.filePath("labels.png");
  ASSERT_TRUE(image.save(png));
  const QString skipped =
      "1 outline was skipped: label 7: 9 pixels, fewer than 20.";
  {
    ModalScript a(
        {Choose(png), Import([&](GrainImportDialog* d) {
           EXPECT_EQ(Text(d, "grainCountLabel"), "6 grains read.");
           EXPECT_EQ(Text(d, "skippedLabel"), skipped);
           d->findChild<QSpinBox*>("minPixelsBox")->setValue(5);
           EXPECT_EQ(Text(d, "grainCountLabel"), "7 grains read.");
           EXPECT_TRUE(Text(d, "skippedLabel").isEmpty());
           d->findChild<QSpinBox*>("minPixelsBox")->setValue(20);
           d->findChild<QDoubleSpinBox*>("pixelSizeBox")->setValue(0.5);
           ASSERT_EQ(d->Reading().grains.size(), 6u);
           EXPECT_EQ(d->Reading().grains[0].ellipse.area, 10.0);
           // The preview shows the labels in light colours under the
           // ellipses.
           const QImage shown =
               d->findChild<QWidget*>("grainPreview")->grab().toImage();
           int light = 0, blue = 0;
           for (int y = 0; y < shown.height(); ++y) {
             for (int x = 0; x < shown.width(); ++x) {
               const QColor c = shown.pixelColor(x, y);
               if (c.value() > 230 && c.saturation() > 40 &&
                   c.saturation() < 100) {
                 ++light;
               }
               if (c.blue() > c.red() + 100) ++blue;
             }
           }
           EXPECT_GT(light, 1000);
           EXPECT_GT(blue, 100);
         }),
         Box(skipped)});
    Trigger("importLabelImageAction");
    QApplication::processEvents();
  }
  const AnalysisState& s = window_->State();
  ASSERT_EQ(s.count, 6);
  // Each pixel a square of 0.5, y upwards from the top row.
  for (int k = 0; k < 6; ++k) {
    const QRect& r = rects[k];
    EXPECT_DOUBLE_EQ(s.places.area[k + 1], r.width() * r.height() * 0.25);
    EXPECT_DOUBLE_EQ(s.places.x[k + 1], (r.left() + r.width() / 2.0) * 0.5);
    EXPECT_DOUBLE_EQ(s.places.y[k + 1], -(r.top() + r.height() / 2.0) * 0.5);
  }
  EXPECT_EQ(window_->windowTitle().toStdString(), "Orvane  [ labels.png ]");
  EXPECT_EQ(RecentFiles::ImportOf(png).value("pixelSize").toDouble(), 0.5);
}

TEST_F(GrainImportTest, TheRecentEntryImportsTheOutlinesAgain) {
  const QString grains = Write("grains.csv", VertexTable());
  {
    ModalScript a({Choose(grains), Import(), Box(kSkippedOutline)});
    Trigger("importOutlinesAction");
    QApplication::processEvents();
  }
  const QString six = Write("six.txt", kSix);
  window_->openFile(six);
  QApplication::processEvents();
  ASSERT_EQ(window_->State().count, 6);
  ASSERT_TRUE(window_->State().places.Empty());
  ASSERT_EQ(RecentFiles::Load(), (QStringList{six, grains}));
  EXPECT_TRUE(RecentFiles::ImportOf(six).isEmpty());

  // The entry of the outlines, from the menu: imported as outlines, not
  // read as a data file (which it is not).
  QAction* entry = nullptr;
  for (QAction* a : Child<QMenu>("recentMenu")->actions()) {
    if (a->text().endsWith(grains)) entry = a;
  }
  ASSERT_NE(entry, nullptr);
  {
    ModalScript a({Box(kSkippedOutline)});
    entry->trigger();
    QApplication::processEvents();
  }
  ExpectTheSixGrains();
  EXPECT_EQ(RecentFiles::Load().first(), grains);

  // Clearing the list forgets how its entries were read.
  Child<QAction>("clearRecentAction")->trigger();
  EXPECT_FALSE(QSettings().contains("recentImports"));
  EXPECT_TRUE(RecentFiles::ImportOf(grains).isEmpty());
}

}  // namespace
}  // namespace orvane

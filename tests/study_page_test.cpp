// SPDX-License-Identifier: MIT
// The tab "Study" of the window: a study file of sections cut from a known
// strain ellipsoid opened and analysed beside the window, its sections and
// ellipsoid shown and plotted; a section opened in the rest of the window
// with its own bootstrap stream; edits (a refused plane, a removal, an
// added section) and the study saved and read back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/ellipsoid.h"
#include "core/number_format.h"
#include "io/study.h"
#include "render/chart_render.h"
#include "render/plot_render.h"
#include "support/modal_script.h"
#include "support/study_data.h"
#include "support/window_fixture.h"
#include "window/figure_dialog.h"
#include "window/recent_files.h"
#include "window/study_page.h"

namespace orvane {
namespace {

using testing_support::Choose;
using testing_support::KnownEllipsoid;
using testing_support::ModalScript;
using testing_support::TestPlanes;

// The rows of the ellipsoid's table read here.
constexpr int kXyRow = 3, kYzRow = 4, kXAxisRow = 5;

class StudyPageTest : public testing_support::WindowTest {
 protected:
  // Sections east-facing, north-facing and striking 120 dipping 60 (the
  // last in the geological form), cut exactly from the known ellipsoid.
  QString WriteStudy(const QString& sub = QString()) {
    const QString folder = sub.isEmpty() ? dir_.path() : dir_.filePath(sub);
    QDir().mkpath(folder);
    const auto planes = TestPlanes();
    return QString::fromStdString(testing_support::WriteExactStudy(
        folder.toStdString(), {planes[0], planes[1], planes[3]}));
  }
  StudyPage* Page() const { return Child<StudyPage>("studyPage"); }
  QTableWidget* Sections() const {
    return Child<QTableWidget>("studySections");
  }
  // Waits for the run under way; the result shown.
  const StudyResult* Settled() const {
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Page()->Running(); }, 60000));
    return Page()->Result();
  }
  QString SectionCell(int row, int column) const {
    const QTableWidgetItem* item = Sections()->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  QString EllipsoidCell(int row, int column = 0) const {
    const QTableWidgetItem* item =
        Child<QTableWidget>("ellipsoidTable")->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  static double Read(const QString& text) { return text.toDouble(); }
  // The known ellipsoid's ratios, as the table shows them after a run.
  void ExpectKnownEllipsoid() const {
    const KnownEllipsoid known;
    EXPECT_NEAR(Read(EllipsoidCell(kXyRow)), known.x / known.y, 0.002);
    EXPECT_NEAR(Read(EllipsoidCell(kYzRow)), known.y / known.z, 0.002);
    const QStringList x_axis = EllipsoidCell(kXAxisRow).split('/');
    ASSERT_EQ(x_axis.size(), 2);
    EXPECT_NEAR(Read(x_axis[0]), known.x_trend, 0.1);
    EXPECT_NEAR(Read(x_axis[1]), known.x_plunge, 0.1);
  }
};

TEST(OrientationText, BothFormsAndADecimalCommaThatStaysReadable) {
  SectionOrientation o;
  o.normal = {0.5, -1, 0};
  o.reference = {0, 0, 1};
  EXPECT_EQ(OrientationText(o, "."),
            "normal (0.5, -1, 0), reference (0, 0, 1)");
  EXPECT_EQ(OrientationText(o, ","),
            "normal (0,5; -1; 0), reference (0; 0; 1)");
  o.geological = true;
  o.strike = 120.5;
  o.dip = 60;
  o.reference_rake = -15;
  EXPECT_EQ(OrientationText(o, ","), "strike/dip 120,5/60, rake -15");
}

TEST_F(StudyPageTest, OpensAnalysesBesideTheWindowPlotsAndShowsASection) {
  auto* pages = Child<QTabWidget>("pages");
  const int tabs = pages->count();
  EXPECT_FALSE(Child<QAction>("saveStudyAction")->isEnabled());
  EXPECT_EQ(Child<QAction>("saveStudyAction")->shortcut(),
            QKeySequence("Ctrl+Shift+S"));
  const QString study = WriteStudy();
  {
    ModalScript s({Choose(study)});
    Child<QAction>("openStudyAction")->trigger();
  }
  // The tab joins the others, shown, while the analysis runs beside.
  ASSERT_EQ(pages->count(), tabs + 1);
  EXPECT_EQ(pages->currentWidget(), Page());
  EXPECT_EQ(pages->tabText(tabs), "Study");
  EXPECT_TRUE(Child<QAction>("saveStudyAction")->isEnabled());
  EXPECT_TRUE(Page()->Running());
  EXPECT_TRUE(Child<QPushButton>("studyCancel")->isVisible());
  EXPECT_EQ(EllipsoidCell(kXyRow), "…");

  const StudyResult* r = Settled();
  ASSERT_NE(r, nullptr);
  ASSERT_TRUE(r->status.ok()) << r->status.message();
  ASSERT_TRUE(r->ellipsoid.status.ok()) << r->ellipsoid.status.message();
  EXPECT_FALSE(Child<QPushButton>("studyCancel")->isVisible());
  EXPECT_FALSE(Child<QLabel>("studyMessage")->isVisible());
  ExpectKnownEllipsoid();

  // A row per section: its name, source, plane in the form the file gives
  // it, and its hyperbolic vector mean (the exact cut of the ellipsoid).
  ASSERT_EQ(Sections()->rowCount(), 3);
  EXPECT_EQ(SectionCell(0, 0), "S1");
  EXPECT_EQ(SectionCell(0, 1), "s1.txt");
  EXPECT_EQ(SectionCell(0, 2), "normal (1, 0, 0), reference (0, 1, 0)");
  EXPECT_EQ(SectionCell(2, 2), "strike/dip 120/60, rake 0");
  const Matrix3 form = KnownEllipsoid().Form();
  for (int row = 0; row < 3; ++row) {
    const SectionPlane plane = testing_support::ExpectedPlane(
        TestPlanes()[row == 2 ? 3 : static_cast<std::size_t>(row)].orientation);
    EXPECT_EQ(SectionCell(row, 3), "20");
    EXPECT_NEAR(Read(SectionCell(row, 4)),
                testing_support::CutEllipsoid(form, plane).ratio, 0.001)
        << row;
  }
  // The report block, and the plots of the estimate.
  QStringList report;
  for (const std::string& line : EllipsoidReportLines(r->ellipsoid, ".")) {
    report << QString::fromStdString(line);
  }
  EXPECT_TRUE(Child<QPlainTextEdit>("studyReport")
                  ->toPlainText()
                  .startsWith(report.join('\n')));
  ASSERT_TRUE(Page()->Flinn().Estimate().has_value());
  EXPECT_NEAR(Page()->Flinn().Estimate()->first, 3.125, 0.002);
  EXPECT_NEAR(Page()->Flinn().Estimate()->second, 1.6, 0.002);
  EXPECT_TRUE(Page()->Axes().Axis(0).has_value());

  // Save Chart and Export Figure take the study's plot shown on its tab.
  Child<QTabWidget>("studyPlots")->setCurrentIndex(2);
  const QString png = dir_.filePath("axes.png");
  {
    ModalScript s({Choose(png)});
    window_->onSaveChart();
  }
  const QSize size = Child<QWidget>("axesPlot")->size();
  EXPECT_EQ(QImage(png).convertToFormat(QImage::Format_RGB32),
            ModelPicture(Page()->Axes()).Image(size, PictureOptions()));
  const QString svg = dir_.filePath("flinn.svg");
  Child<QTabWidget>("studyPlots")->setCurrentIndex(0);
  {
    ModalScript s({[&svg](QWidget* w) {
      auto* dialog = qobject_cast<FigureDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_TRUE(dialog->ExportTo(svg).ok());
      dialog->reject();
    }});
    window_->onExportFigure();
  }
  QFile figure(svg);
  ASSERT_TRUE(figure.open(QIODevice::ReadOnly));
  EXPECT_TRUE(figure.readAll().contains("Orvane Flinn plot"));

  // A double click opens the section in the window, bootstrapped from its
  // own stream: the figures the study found for it.
  const QRect cell = Sections()->visualRect(Sections()->model()->index(1, 0));
  {
    ModalScript none({});  // no message: the data are fine
    // A widget's double click in QTest is the second click's event alone.
    QTest::mouseClick(Sections()->viewport(), Qt::LeftButton, {},
                      cell.center());
    QTest::mouseDClick(Sections()->viewport(), Qt::LeftButton, {},
                       cell.center());
    QApplication::processEvents();
  }
  const AnalysisState& state = window_->State();
  EXPECT_EQ(state.count, 20);
  EXPECT_EQ(state.bootstrap.seed, SectionSeed(kBootstrapSeed, 1));
  EXPECT_EQ(state.strain.ratio, r->sections[1].state.strain.ratio);
  EXPECT_EQ(state.limits.ratio_max, r->sections[1].state.limits.ratio_max);
  EXPECT_EQ(pages->currentIndex(), 0);
  ASSERT_TRUE(window_->ReportLines().Lines().size() > 1);
  EXPECT_NE(window_->ReportLines().Lines()[1].find("s2.txt"),
            std::string::npos);
}

TEST_F(StudyPageTest, EditsRefusalsRemovalAndSaveRoundTrip) {
  const QString study = WriteStudy();
  window_->openStudy(study);
  ASSERT_NE(Settled(), nullptr);
  Study original;
  ASSERT_TRUE(ReadStudyFile(study.toStdString(), original).ok());

  // A plane PlaneOf refuses is named by its section, in the dialog's box
  // and by SetSection; the study stays as it was.
  Sections()->selectRow(0);
  {
    ModalScript s(
        {[](QWidget* w) {
           ASSERT_EQ(w->objectName(), "sectionDialog");
           for (const char* name : {"normalX", "normalY", "normalZ"}) {
             w->findChild<QDoubleSpinBox*>(name)->setValue(0);
           }
           QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
         },
         [](QWidget* w) {
           auto* box = qobject_cast<QMessageBox*>(w);
           ASSERT_NE(box, nullptr);
           EXPECT_TRUE(box->text().startsWith("Section \"S1\": "))
               << box->text().toStdString();
           QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click",
                                     Qt::QueuedConnection);
           // Still open behind the box: given up.
           auto* dialog = qobject_cast<QDialog*>(box->parentWidget());
           ASSERT_NE(dialog, nullptr);
           QTimer::singleShot(100, dialog, [dialog] { dialog->reject(); });
         }});
    Child<QPushButton>("editSectionButton")->click();
  }
  SectionOrientation flat;
  flat.normal = {0, 0, 0};
  const Status refused = Page()->SetSection(1, "S2", flat);
  EXPECT_EQ(refused.message().rfind("Section \"S2\": ", 0), 0u)
      << refused.message();
  EXPECT_FALSE(Page()->Modified());
  EXPECT_FALSE(Page()->Running());
  EXPECT_EQ(SectionCell(0, 2), "normal (1, 0, 0), reference (0, 1, 0)");

  // Two sections give no ellipsoid: the reason shows in its place.
  Sections()->selectRow(2);
  Child<QPushButton>("removeSectionButton")->click();
  EXPECT_TRUE(Page()->Modified());
  EXPECT_EQ(Child<QTabWidget>("pages")->tabText(
                Child<QTabWidget>("pages")->indexOf(Page())),
            "Study *");
  const StudyResult* r = Settled();
  ASSERT_NE(r, nullptr);
  EXPECT_FALSE(r->ellipsoid.status.ok());
  ASSERT_EQ(Sections()->rowCount(), 2);
  EXPECT_FALSE(SectionCell(1, 4).isEmpty());
  EXPECT_NE(SectionCell(1, 4), "–");  // the sections are still analysed
  auto* message = Child<QLabel>("studyMessage");
  EXPECT_TRUE(message->isVisible());
  EXPECT_EQ(message->text().toStdString(), r->ellipsoid.status.message());
  EXPECT_EQ(EllipsoidCell(kXyRow), "–");
  EXPECT_FALSE(Page()->Flinn().Estimate().has_value());

  // The third section again, from another folder through Add Section...,
  // named and placed in the dialog.
  const QString more = WriteStudy("more");
  const QString added = QFileInfo(more).absolutePath() + "/s3.txt";
  {
    ModalScript s(
        {Choose(added), [](QWidget* w) {
           ASSERT_EQ(w->objectName(), "sectionDialog");
           EXPECT_EQ(w->findChild<QLineEdit*>("sectionName")->text(), "s3");
           w->findChild<QLineEdit*>("sectionName")->setText("S3");
           w->findChild<QRadioButton*>("geologicalForm")->click();
           w->findChild<QDoubleSpinBox*>("strike")->setValue(120);
           w->findChild<QDoubleSpinBox*>("dip")->setValue(60);
           w->findChild<QDoubleSpinBox*>("rake")->setValue(0);
           QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
         }});
    Child<QPushButton>("addSectionButton")->click();
  }
  ASSERT_EQ(Sections()->rowCount(), 3);
  EXPECT_EQ(SectionCell(2, 1), "more/s3.txt");
  ASSERT_NE(Settled(), nullptr);
  ExpectKnownEllipsoid();

  // Saved into another folder: the file's sources still name the same
  // files, relative to it; read back, the same study.
  QDir().mkpath(dir_.filePath("saved"));
  const QString copy = dir_.filePath("saved/copy.json");
  {
    ModalScript s({Choose(copy)});
    Child<QAction>("saveStudyAsAction")->trigger();
  }
  EXPECT_FALSE(Page()->Modified());
  EXPECT_EQ(Page()->StudyPath(), copy);
  Study saved;
  ASSERT_TRUE(ReadStudyFile(copy.toStdString(), saved).ok());
  ASSERT_EQ(saved.sections.size(), 3u);
  EXPECT_EQ(saved.name, "known");
  EXPECT_EQ(saved.sections[0].source, "../s1.txt");
  EXPECT_EQ(saved.sections[2].source, "../more/s3.txt");
  EXPECT_EQ(saved.sections[2].name, "S3");
  EXPECT_TRUE(saved.sections[2].orientation.geological);
  EXPECT_EQ(saved.sections[2].orientation.strike, 120);
  EXPECT_EQ(saved.sections[2].orientation.dip, 60);
  for (const StudySection& s : saved.sections) {
    EXPECT_TRUE(QFileInfo::exists(
        QString::fromStdString(SectionPath(copy.toStdString(), s.source))))
        << s.source;
  }

  // Save Study of a study as opened writes it as read; opened again from
  // the recent files, it is a study again.
  window_->onOpenRecent(study);
  ASSERT_EQ(Page()->StudyPath(), study);
  QFile::remove(study);
  window_->onSaveStudy();
  Study again;
  ASSERT_TRUE(ReadStudyFile(study.toStdString(), again).ok());
  EXPECT_EQ(StudyJson(again), StudyJson(original));

  // A save that fails says why, and the study stays modified.
  Page()->RemoveSection(0);
  ASSERT_TRUE(QFile::remove(study));
  ASSERT_TRUE(QDir().mkpath(study));  // a folder where the file was
  {
    ModalScript s({[&study](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      EXPECT_TRUE(box->text().contains(QFileInfo(study).fileName()))
          << box->text().toStdString();
      QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click",
                                Qt::QueuedConnection);
    }});
    window_->onSaveStudy();
  }
  EXPECT_TRUE(Page()->Modified());
  Settled();
}

TEST_F(StudyPageTest, CancelAndCloseDuringARunNeitherWaitNorCrash) {
  // Many resamples, so that the run is still under way when asked to stop.
  QSettings().setValue("bootstrap/resamples", kMaxBootstrapResamples);
  ShowNewWindow();
  window_->openStudy(WriteStudy());
  ASSERT_TRUE(Page()->Running());
  QTest::mouseClick(Child<QPushButton>("studyCancel"), Qt::LeftButton);
  const StudyResult* r = Settled();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->status.code(), StatusCode::kCancelled);
  EXPECT_EQ(Child<QLabel>("studyMessage")->text(),
            "The analysis of the study was cancelled.");
  EXPECT_EQ(EllipsoidCell(kXyRow), "–");
  // A window closed with a run under way asks it to stop and waits for it.
  Page()->RemoveSection(0);
  ASSERT_TRUE(Page()->Running());
  window_.reset();
}

}  // namespace
}  // namespace orvane

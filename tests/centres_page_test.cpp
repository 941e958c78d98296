// SPDX-License-Identifier: MIT
// The tab "Centres" of the window: the centre-based strain of imported
// markers beside the hyperbolic vector mean, run beside the window after
// each analysis and each change of method, the newest run alone shown; the
// reason in place of the plot for data without centres; the Methods tab's
// row.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "core/centre_report.h"
#include "core/centre_strain.h"
#include "core/number_format.h"
#include "render/chart_render.h"
#include "render/plot_render.h"
#include "support/centre_data.h"
#include "support/modal_script.h"
#include "support/window_fixture.h"
#include "window/centres_page.h"
#include "window/figure_dialog.h"
#include "window/main_window.h"

namespace orvane {
namespace {

using testing_support::Choose;
using testing_support::ModalScript;

class CentresPageTest : public testing_support::WindowTest {
 protected:
  // Imports strained hard-core discs (their ellipses, centres and areas)
  // as a measurement table.
  void ImportDiscs() {
    const auto discs = testing_support::HardCoreDiscs(150, 2.0, 30.0);
    const QString table =
        WriteData("discs.csv", QByteArray::fromStdString(DiscTable(discs)));
    ModalScript accept({[](QWidget* w) {
      ASSERT_EQ(w->objectName(), "tableImportDialog");
      QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    }});
    window_->importTable(table);
    QApplication::processEvents();
  }
  CentresPage* Page() const { return Child<CentresPage>("centresPage"); }
  // Waits for the run under way; the result shown.
  const CentreStrainResult& Settled() const {
    EXPECT_TRUE(QTest::qWaitFor([this] { return !Page()->Running(); }, 60000));
    EXPECT_NE(Page()->Result(), nullptr);
    static const CentreStrainResult none;
    return Page()->Result() ? *Page()->Result() : none;
  }
  QString Cell(int row, int column) const {
    const QTableWidgetItem* item =
        Child<QTableWidget>("centresTable")->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  // The Methods tab's rows of the centre-based strain.
  QStringList CentreRows() const {
    auto* table = Child<QTableWidget>("methodsTable");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
      if (table->item(r, 0)->text().startsWith("Centres: ")) {
        rows << table->item(r, 0)->text() + " | " + table->item(r, 1)->text();
      }
    }
    return rows;
  }
  static QString Strain(double v) {
    return QString::fromStdString(FormatStrain(v, "."));
  }
};

TEST_F(CentresPageTest, ShowsBothEstimatesTheirAgreementAndTheMethodsRow) {
  auto* pages = Child<QTabWidget>("pages");
  const int tab = pages->indexOf(Page());
  EXPECT_EQ(tab, pages->indexOf(Child<QWidget>("methodsPage")) + 1);
  EXPECT_EQ(pages->tabText(tab), "Centres");
  EXPECT_EQ(Child<QComboBox>("centreMethod")->currentText(), "Normalised Fry");

  ImportDiscs();
  ASSERT_EQ(window_->State().count, 150);
  pages->setCurrentWidget(Page());
  // The analysis runs beside the window: the Open has returned before it.
  EXPECT_TRUE(Page()->Running());
  EXPECT_TRUE(Child<QPushButton>("centresCancel")->isVisible());
  const CentreStrainResult& r = Settled();
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  EXPECT_EQ(r.method, CentreMethod::kNormalised);
  // The centres carry the strain of the shapes: R = 2 along 30 degrees.
  EXPECT_NEAR(r.estimate.ratio, 2.0, 0.3);
  EXPECT_NEAR(r.estimate.phi, 30.0, 8.0);

  auto* table = Child<QTableWidget>("centresTable");
  EXPECT_EQ(table->horizontalHeaderItem(0)->text().replace('\n', ' '),
            "Centres (Normalised Fry)");
  EXPECT_EQ(table->horizontalHeaderItem(1)->text().replace('\n', ' '),
            "Hyperbolic mean");
  EXPECT_EQ(Cell(0, 0), Strain(r.estimate.ratio));
  EXPECT_EQ(Cell(1, 0), Strain(r.estimate.phi));
  EXPECT_EQ(Cell(4, 0), QString::number(r.pairs));
  EXPECT_EQ(Cell(0, 1), Strain(window_->State().strain.ratio));
  EXPECT_EQ(Cell(1, 1), Strain(window_->State().strain.phi));
  ASSERT_EQ(r.outcome, CentreLimitsOutcome::kLimits);
  EXPECT_EQ(Cell(2, 0),
            QString::fromStdString(FormatLimit(r.ratio_min, ".") + " – " +
                                   FormatLimit(r.ratio_max, ".")));
  EXPECT_EQ(Child<QLabel>("centresAgreement")->text().toStdString(),
            AgreementSentence(CompareEstimates(r, window_->State())));
  // The plot holds the result's points and shows in place of the message.
  EXPECT_EQ(Page()->Plot().PointCount() * 2, r.points.size());
  EXPECT_GT(Page()->Plot().PointCount(), 0u);
  EXPECT_TRUE(Page()->PlotWidget()->isVisible());
  EXPECT_FALSE(Child<QLabel>("centresMessage")->isVisible());
  // Save Chart and Export Figure take the Fry plot of the tab shown.
  const QString fry = dir_.filePath("fry.png");
  {
    ModalScript s({Choose(fry)});
    window_->onSaveChart();
  }
  const QSize size = Page()->PlotWidget()->size();
  EXPECT_EQ(QImage(fry).convertToFormat(QImage::Format_RGB32),
            ModelPicture(Page()->Plot()).Image(size, PictureOptions()));
  const QString figure = dir_.filePath("figure.svg");
  {
    ModalScript s({[&figure](QWidget* w) {
      auto* dialog = qobject_cast<FigureDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      EXPECT_TRUE(dialog->ExportTo(figure).ok());
      dialog->reject();
    }});
    window_->onExportFigure();
  }
  QFile svg(figure);
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svg.readAll().contains("Orvane Fry plot"));

  const MethodsRow row = CentreMethodsRow(r, ".");
  EXPECT_EQ(
      CentreRows(),
      QStringList{QString::fromStdString(row.method + " | " + row.value)});
}

TEST_F(CentresPageTest, MethodChangeRerunsTheNewestAloneShownAndKept) {
  ImportDiscs();
  Settled();
  auto* method = Child<QComboBox>("centreMethod");
  // Two changes in a row: the first run is overtaken and never shown.
  method->setCurrentIndex(method->findText("Fry"));
  EXPECT_TRUE(Page()->Running());
  EXPECT_EQ(Page()->Result(), nullptr);
  EXPECT_TRUE(CentreRows().isEmpty());  // no row of the older method
  method->setCurrentIndex(method->findText("Delaunay nearest neighbours"));
  const CentreStrainResult& r = Settled();
  EXPECT_EQ(r.method, CentreMethod::kDelaunay);
  QTest::qWait(200);  // the overtaken run ends meanwhile, unseen
  ASSERT_NE(Page()->Result(), nullptr);
  EXPECT_EQ(Page()->Result()->method, CentreMethod::kDelaunay);
  EXPECT_EQ(Child<QTableWidget>("centresTable")->verticalHeaderItem(4)->text(),
            "Edges");
  EXPECT_EQ(Cell(0, 0), Strain(r.estimate.ratio));
  ASSERT_EQ(CentreRows().size(), 1);
  EXPECT_TRUE(CentreRows()[0].startsWith(
      QString("Centres: ") + CentreMethodTitle(CentreMethod::kDelaunay)));

  // The choice is kept for the next session.
  EXPECT_EQ(QSettings().value("centres/method").toString(), "delaunay");
  ShowNewWindow();
  EXPECT_EQ(Child<QComboBox>("centreMethod")->currentText(),
            "Delaunay nearest neighbours");
}

TEST_F(CentresPageTest, CancelAndCloseDuringARunNeitherWaitNorCrash) {
  // Many resamples, so that the run is still under way when asked to stop.
  QSettings().setValue("bootstrap/resamples", 5000);
  ShowNewWindow();
  ImportDiscs();
  Child<QTabWidget>("pages")->setCurrentWidget(Page());
  ASSERT_TRUE(Page()->Running());
  QTest::mouseClick(Child<QPushButton>("centresCancel"), Qt::LeftButton);
  const CentreStrainResult& r = Settled();
  ASSERT_TRUE(r.status.ok());
  // The estimate stands, without limits.
  EXPECT_EQ(r.outcome, CentreLimitsOutcome::kNotRun);
  EXPECT_EQ(Cell(2, 0), "cancelled");
  EXPECT_EQ(Cell(0, 0), Strain(r.estimate.ratio));
  // A window closed with a run under way asks it to stop and waits for it.
  Child<QComboBox>("centreMethod")->setCurrentIndex(0);
  ASSERT_TRUE(Page()->Running());
  window_.reset();
}

TEST_F(CentresPageTest, LargeDataWaitForComputeThenRun) {
  // Data above the page's limit (lowered here) are not analysed on their
  // own: the page says so and offers Compute.
  Page()->SetAnalysedAtOnce(100);
  ImportDiscs();
  Child<QTabWidget>("pages")->setCurrentWidget(Page());
  EXPECT_FALSE(Page()->Running());
  EXPECT_EQ(Page()->Result(), nullptr);
  EXPECT_TRUE(CentreRows().isEmpty());
  auto* compute = Child<QPushButton>("centresCompute");
  ASSERT_TRUE(compute->isVisible());
  EXPECT_TRUE(
      Child<QLabel>("centresMessage")->text().startsWith("150 markers"));
  QTest::mouseClick(compute, Qt::LeftButton);
  EXPECT_TRUE(Settled().status.ok());
  EXPECT_FALSE(compute->isVisible());
  EXPECT_EQ(CentreRows().size(), 1);
}

TEST_F(CentresPageTest, DataWithoutCentresShowTheReasonAndNoRow) {
  ImportDiscs();
  Settled();
  ASSERT_EQ(CentreRows().size(), 1);
  // A data file gives ellipses alone: no message box, the reason in place
  // of the plot, and the centre row gone.
  {
    ModalScript none({});
    window_->openFile(WriteData("six.txt",
                                "3 2 30\n4 2 45\n5 1 40\n"
                                "6 2 35\n2 1 38\n3 1 32\n"));
    QApplication::processEvents();
  }
  ASSERT_EQ(window_->State().count, 6);
  Child<QTabWidget>("pages")->setCurrentWidget(Page());
  EXPECT_FALSE(Page()->Running());
  const CentreStrainResult expected = AnalyseCentres(CentreData{}, {});
  ASSERT_FALSE(expected.status.ok());
  auto* message = Child<QLabel>("centresMessage");
  EXPECT_TRUE(message->isVisible());
  EXPECT_TRUE(message->text().startsWith(
      QString::fromStdString(expected.status.message())));
  EXPECT_TRUE(message->text().contains("Import Table..."));
  EXPECT_FALSE(Page()->PlotWidget()->isVisible());
  EXPECT_FALSE(Child<QPushButton>("centresCancel")->isVisible());
  EXPECT_EQ(Page()->Plot().PointCount(), 0u);
  EXPECT_EQ(Cell(0, 0), "–");
  EXPECT_EQ(Cell(0, 1), Strain(window_->State().strain.ratio));
  EXPECT_TRUE(CentreRows().isEmpty());
  EXPECT_GT(Child<QTableWidget>("methodsTable")->rowCount(), 0);
}

}  // namespace
}  // namespace orvane

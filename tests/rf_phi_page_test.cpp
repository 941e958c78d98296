// SPDX-License-Identifier: MIT
// The tab "Rf/φ Plot" of the window: filled by every Open, its controls,
// its legend, and the saves of the plot of the tab shown.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "chart/rf_phi_plot.h"
#include "render/chart_render.h"
#include "render/plot_render.h"
#include "support/modal_script.h"
#include "support/window_fixture.h"
#include "window/chart_widget.h"
#include "window/data_grid.h"
#include "window/figure_dialog.h"
#include "window/main_window.h"
#include "window/rf_phi_page.h"

namespace orvane {
namespace {

using testing_support::Choose;
using testing_support::ModalScript;

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

class RfPhiPageTest : public testing_support::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    if (HasFatalFailure()) return;
    window_->openFile(WriteData("six.txt", kSix));
    QApplication::processEvents();
  }
  RfPhiPlotWidget* PlotWidget() const {
    return Child<RfPhiPlotWidget>("rfPhiPlot");
  }
  const RfPhiPlot& Plot() const { return PlotWidget()->Plot(); }
  void ShowTab() {
    auto* pages = Child<QTabWidget>("pages");
    pages->setCurrentWidget(Child<QWidget>("rfPhiPage"));
    QApplication::processEvents();
  }
  void EnterRatios(const QString& text) {
    auto* edit = Child<QLineEdit>("thetaRatios");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
};

TEST_F(RfPhiPageTest, TabAfterTheOthersFilledByTheOpen) {
  auto* pages = Child<QTabWidget>("pages");
  ASSERT_GE(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), "Equal-Area Projection");
  EXPECT_EQ(pages->tabText(1), "Optimal Strain and its Error");
  EXPECT_EQ(pages->tabText(2), QString::fromUtf8("Rf/\u03c6 Plot"));
  EXPECT_EQ(pages->widget(2)->objectName(), "rfPhiPage");
  EXPECT_EQ(pages->currentIndex(), 0);
  EXPECT_EQ(Plot().measured.Count(), 6u);
  EXPECT_EQ(Plot().retrodeformed.Count(), 6u);
  EXPECT_EQ(Plot().optimal.Points().at(0).ratio, window_->State().strain.ratio);
  EXPECT_EQ(Plot().ThetaCurves().size(), 5u);
  EXPECT_EQ(Child<QLineEdit>("thetaRatios")->text(), "1.25, 1.5, 2, 3, 5");
}

TEST_F(RfPhiPageTest, ControlsChangeThePlot) {
  ShowTab();
  auto* scale = Child<QComboBox>("rfScale");
  scale->setCurrentIndex(1);
  EXPECT_EQ(Plot().Scale(), RfScale::kLinear);
  scale->setCurrentIndex(0);
  EXPECT_EQ(Plot().Scale(), RfScale::kLogarithmic);
  auto* show = Child<QCheckBox>("showRetrodeformed");
  show->setChecked(false);
  EXPECT_FALSE(Plot().retrodeformed.Active());

  EnterRatios("2, 4");
  ASSERT_EQ(Plot().ThetaCurveRatios(), (std::vector<float>{2, 4}));
  EXPECT_EQ(Plot().ThetaCurves().size(), 2u);
  // A bad list is refused with a message; the curves drawn stay.
  EnterRatios("1.5, x");
  auto* message = Child<QLabel>("thetaRatiosMessage");
  EXPECT_TRUE(message->isVisible());
  EXPECT_TRUE(message->text().contains("\"x\" is not a number"))
      << message->text().toStdString();
  EXPECT_EQ(Plot().ThetaCurves().size(), 2u);
  EnterRatios("0.5");
  EXPECT_TRUE(message->text().contains("out of range"));
  EnterRatios("3");
  EXPECT_FALSE(message->isVisible());
  EXPECT_EQ(Plot().ThetaCurves().size(), 1u);
  // The settings stay across the next Open.
  window_->openFile(dir_.filePath("six.txt"));
  QApplication::processEvents();
  EXPECT_EQ(Plot().ThetaCurves().size(), 1u);
  EXPECT_FALSE(Plot().retrodeformed.Active());
}

TEST_F(RfPhiPageTest, LegendCheckBoxesToggleAndFollowTheControls) {
  ShowTab();
  RfPhiPlotWidget* w = PlotWidget();
  const LegendLayer legend = *ModelOf(w->Plot(), w->size(), {}).Legend();
  ASSERT_EQ(legend.items.size(), 4u);
  auto click = [&](std::size_t i) {
    const PixelRect& box = legend.layout.entries[i].check_box;
    QTest::mouseClick(
        w, Qt::LeftButton, {},
        QPoint(box.left + box.width / 2, box.top + box.height / 2));
  };
  click(0);  // Pre-Strain
  EXPECT_FALSE(w->Plot().retrodeformed.Active());
  EXPECT_FALSE(Child<QCheckBox>("showRetrodeformed")->isChecked());
  click(3);  // theta-curves
  EXPECT_FALSE(w->Plot().ShowThetaCurves());
  click(3);
  EXPECT_TRUE(w->Plot().ShowThetaCurves());
}

TEST_F(RfPhiPageTest, GridRowHighlightsTheDatumHereToo) {
  auto* grid = Child<DataGrid>("dataGrid");
  const QRect r = grid->visualRect(grid->Model().index(2, 1));  // datum 3
  QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, r.center());
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, r.center());
  ASSERT_TRUE(Plot().measured_highlight.Active());
  EXPECT_EQ(Plot().measured_highlight.Points().at(0).ratio,
            window_->State().measured[3].ratio);
  EXPECT_EQ(Plot().retrodeformed_highlight.Points().at(0).ratio,
            window_->State().retrodeformed[3].ratio);
  // A left click on the chart hides it on both plots.
  QTest::mouseRelease(Child<ChartWidget>("chart"), Qt::LeftButton, {},
                      QPoint(60, 300));
  EXPECT_FALSE(Plot().measured_highlight.Active());
  EXPECT_FALSE(Plot().retrodeformed_highlight.Active());
}

TEST_F(RfPhiPageTest, SaveChartSavesThePlotOfTheTabShown) {
  const QString polar = dir_.filePath("polar.png");
  {
    ModalScript s({Choose(polar)});
    window_->onSaveChart();
  }
  const ChartWidget* chart = Child<ChartWidget>("chart");
  ASSERT_EQ(QImage(polar).convertToFormat(QImage::Format_RGB32),
            RenderChartImage(chart->Chart(), chart->size(), PictureOptions()));
  ShowTab();
  const QString rf = dir_.filePath("rf.png");
  {
    ModalScript s({Choose(rf)});
    window_->onSaveChart();
  }
  const QImage saved = QImage(rf).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(saved.size(), PlotWidget()->size());
  EXPECT_EQ(saved,
            ModelPicture(Plot()).Image(PlotWidget()->size(), PictureOptions()));
  // Export Figure draws the same plot.
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
  EXPECT_TRUE(svg.readAll().contains("Orvane Rf/phi plot"));
}

}  // namespace
}  // namespace orvane

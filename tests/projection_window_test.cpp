// SPDX-License-Identifier: MIT
// View > Projection in the main window: the chart replotted in the Elliott
// projection from the analysis held, the choice remembered, the legend
// checks and the highlight kept working.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "core/double_paths.h"
#include "core/hyperbolic.h"
#include "render/chart_render.h"
#include "support/modal_script.h"
#include "support/window_fixture.h"
#include "window/chart_widget.h"
#include "window/data_grid.h"
#include "window/figure_dialog.h"
#include "window/main_window.h"
#include "window/projection_menu.h"

namespace orvane {
namespace {

using testing_support::ModalScript;

const char* kSix = "3 2 30\n4 2 45\n5 1 40\n6 2 35\n2 1 38\n3 1 32\n";

class ProjectionWindowTest : public testing_support::WindowTest {
 protected:
  // Opens `path`; a dialog the Open would show fails the test.
  void OpenFile(const QString& path) {
    ModalScript none({});
    window_->openFile(path);
    QApplication::processEvents();
  }
  // Chooses a projection; a dialog would fail the test.
  void Choose(QAction* action) {
    ModalScript none({});
    action->trigger();
    QApplication::processEvents();
  }
  QString Write(const QString& name, const QByteArray& text) {
    return WriteData(name, text);
  }
  QAction* EqualArea() const {
    return Child<QAction>("equalAreaProjectionAction");
  }
  QAction* Elliott() const { return Child<QAction>("elliottProjectionAction"); }
  ChartWidget* Chart() const { return Child<ChartWidget>("chart"); }
  const EqualAreaChart& Model() const { return Chart()->Chart(); }
  QString TabTitle() const { return Child<QTabWidget>("pages")->tabText(0); }
  QString Panel1() const { return Child<QLabel>("statusLimits")->text(); }
  QString ReportText() const {
    return Child<QPlainTextEdit>("report")->toPlainText();
  }
  void PressRow(int row) {
    DataGrid* g = Child<DataGrid>("dataGrid");
    const QRect r = g->visualRect(g->Model().index(row - 1, 1));
    QTest::mousePress(g->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, r.center());
  }
  // Clicks the legend check box of `series`.
  void ClickLegend(const PolarSeries& series) {
    const LegendView legend = MeasureLegend(Model(), Chart()->width());
    for (std::size_t i = 0; i < legend.series.size(); ++i) {
      if (legend.series[i] != &series) continue;
      const PixelRect& box = legend.layout.entries[i].check_box;
      QTest::mouseClick(
          Chart(), Qt::LeftButton, {},
          QPoint(box.left + box.width / 2, box.top + box.height / 2));
      return;
    }
    ADD_FAILURE() << "not in the legend";
  }
};

TEST_F(ProjectionWindowTest, MenuOfTwoExclusiveChoicesEqualAreaFirst) {
  auto* menu = Child<QMenu>("projectionMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->menuAction()->text(), "&Projection");
  EXPECT_TRUE(Child<QMenu>("viewMenu")->actions().contains(menu->menuAction()));
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0], EqualArea());
  EXPECT_EQ(menu->actions()[1], Elliott());
  EXPECT_EQ(EqualArea()->text(), "&Equal-Area");
  EXPECT_EQ(Elliott()->text(), "E&lliott");
  for (QAction* a : {EqualArea(), Elliott()}) {
    EXPECT_TRUE(a->isCheckable());
    ASSERT_NE(a->actionGroup(), nullptr);
    EXPECT_TRUE(a->actionGroup()->isExclusive());
  }
  EXPECT_TRUE(EqualArea()->isChecked());
  EXPECT_FALSE(Elliott()->isChecked());
  EXPECT_EQ(TabTitle(), "Equal-Area Projection");
  EXPECT_EQ(Model().Projection(), ChartProjection::kEqualArea);
  // Before any data the start-up chart follows the choice.
  Choose(Elliott());
  EXPECT_TRUE(Elliott()->isChecked());
  EXPECT_FALSE(EqualArea()->isChecked());
  EXPECT_EQ(TabTitle(), "Elliott Projection");
  ASSERT_EQ(Model().IsoRatioCircleCount(), 3);
  EXPECT_EQ(Model().IsoRatioCircles()[0]->Points()[0].value,
            static_cast<double>(RhoOfRatio(2.0f)));
  EXPECT_EQ(Model().measured.Count(), 0u);
}

TEST_F(ProjectionWindowTest, SwitchReplotsTheAnalysisHeld) {
  OpenFile(Write("six.txt", kSix));
  const AnalysisState& state = window_->State();
  ASSERT_EQ(state.count, 6);
  const QString report = ReportText();
  ClickLegend(Model().measured);  // the user hides the measured markers
  ASSERT_FALSE(Model().measured.Active());
  PressRow(2);
  const QString highlight_text = Panel1();
  ASSERT_TRUE(Model().measured_highlight.Active());

  Choose(Elliott());
  EXPECT_EQ(Model().Projection(), ChartProjection::kElliott);
  EXPECT_EQ(TabTitle(), "Elliott Projection");
  EXPECT_EQ(QSettings().value("chartProjection").toString(), "elliott");
  // Nothing was analysed again: the report and the status text stay.
  EXPECT_EQ(ReportText(), report);
  EXPECT_EQ(Panel1(), highlight_text);
  EXPECT_EQ(Model().measured.Count(), 6u);
  EXPECT_EQ(Model().optimal.Points()[0].value, state.strain.rho);
  EXPECT_EQ(Model().bootstrap.Count(), state.kept.size());
  // The checks and the highlight stay as they were, at rho.
  EXPECT_FALSE(Model().measured.Active());
  EXPECT_TRUE(Model().measured_highlight.Active());
  EXPECT_EQ(Model().measured_highlight.Points()[0].value,
            state.measured[2].rho);
  EXPECT_EQ(Model().retrodeformed_highlight.Points()[0].value,
            state.retrodeformed[2].rho);

  // And keep working.
  ClickLegend(Model().measured);
  EXPECT_TRUE(Model().measured.Active());
  PressRow(4);
  EXPECT_EQ(Model().measured_highlight.Points()[0].value,
            state.measured[4].rho);
  QTest::mouseRelease(Chart(), Qt::LeftButton, {}, QPoint(60, 300));
  EXPECT_FALSE(Model().measured_highlight.Active());

  // A second Open plots in the projection chosen.
  OpenFile(Write("five.txt", "2 1 10\n3 1 20\n4 1 30\n5 1 40\n6 1 50\n"));
  EXPECT_EQ(Model().measured.Count(), 5u);
  EXPECT_EQ(Model().measured.Points()[2].value,
            window_->State().measured[3].rho);

  // Back to equal-area: the analysis' zeta again.
  Choose(EqualArea());
  EXPECT_EQ(TabTitle(), "Equal-Area Projection");
  EXPECT_EQ(Model().measured.Points()[2].value,
            window_->State().measured[3].zeta);
  // The disc reaches the zeta of the largest measured R (6) plus 0.5.
  EXPECT_EQ(
      Model().RadialMaximum(),
      static_cast<double>(static_cast<long double>(ZetaOfR(6.0f)) + 0.5L));
}

TEST_F(ProjectionWindowTest, RememberedForTheNextSession) {
  Choose(Elliott());
  ShowNewWindow();
  EXPECT_TRUE(Elliott()->isChecked());
  EXPECT_EQ(TabTitle(), "Elliott Projection");
  EXPECT_EQ(Model().Projection(), ChartProjection::kElliott);
  EXPECT_EQ(Model().IsoRatioCircles()[2]->Points()[0].value,
            static_cast<double>(RhoOfRatio(4.0f)));
  Choose(EqualArea());
  ShowNewWindow();
  EXPECT_TRUE(EqualArea()->isChecked());
  EXPECT_EQ(Model().Projection(), ChartProjection::kEqualArea);
  // A value this version does not know is the default.
  QSettings().setValue("chartProjection", "stereographic");
  ShowNewWindow();
  EXPECT_TRUE(EqualArea()->isChecked());
  EXPECT_EQ(RememberedProjection(), ChartProjection::kEqualArea);
}

TEST_F(ProjectionWindowTest, FigureOfTheChartShownAndItsSettingsFile) {
  OpenFile(Write("six.txt", kSix));
  auto saved_settings = [&](const char* name) {
    FigureDialog dialog(Model(), "N = 6", FigureSettings());
    const QString path = dir_.filePath(name);
    EXPECT_TRUE(dialog.SaveSettingsFile(path).ok());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll());
  };
  // Equal-area: the file as it always was.
  EXPECT_FALSE(saved_settings("ea.txt").contains("projection"));
  Choose(Elliott());
  EXPECT_TRUE(saved_settings("el.txt").contains("projection = elliott\n"));
  // The preview is the Elliott chart, with its note.
  FigureDialog dialog(Model(), "N = 6", FigureSettings());
  dialog.UpdatePreviewNow();
  const QImage elliott = dialog.Preview();
  Choose(EqualArea());
  FigureDialog plain(Model(), "N = 6", FigureSettings());
  plain.UpdatePreviewNow();
  EXPECT_EQ(plain.Preview().size(), elliott.size());
  EXPECT_NE(plain.Preview(), elliott);
}

TEST_F(ProjectionWindowTest, LargeDataSwitchBehindTheProgressBox) {
  // Enough data for the replot to run on the worker thread.
  QByteArray text;
  for (int i = 0; i < 100000; ++i) {
    text += QByteArray::number(1.5 + (i % 13) * 0.25) + " 1 " +
            QByteArray::number(i % 170 - 85) + "\n";
  }
  OpenFile(Write("big.txt", text));
  const AnalysisState& state = window_->State();
  ASSERT_EQ(state.count, 100000);
  Choose(Elliott());
  ASSERT_EQ(Model().measured.Count(), 100000u);
  double largest = 0;
  for (const PolarPoint& p : Model().measured.Points()) {
    largest = std::max(largest, p.value);
  }
  EXPECT_EQ(largest, static_cast<double>(RhoOfRatio(4.5f)));
  EXPECT_EQ(window_->findChild<QWidget*>("progressBox"), nullptr);
}

}  // namespace
}  // namespace orvane

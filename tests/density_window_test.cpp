// SPDX-License-Identifier: MIT
// View > Density Contours in the window: the toggle, what it remembers, and
// the contours it gives the chart.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "support/image_compare.h"
#include "support/window_fixture.h"
#include "window/chart_widget.h"
#include "window/density_toggle.h"
#include "window/main_window.h"
#include "window/rf_phi_page.h"

namespace orvane {
namespace {

class DensityWindowTest : public testing_support::WindowTest {
 protected:
  QString Write(const QString& name, int n) {
    QByteArray text;
    for (int i = 0; i < n; ++i) {
      text += QByteArray::number(2 + i % 5) + " 1 " +
              QByteArray::number(30 + i % 41 - 20) + "\n";
    }
    return WriteData(name, text);
  }
  QAction* Toggle() const {
    return window_->findChild<QAction*>("densityContoursAction");
  }
  const EqualAreaChart& Chart() const {
    return window_->findChild<ChartWidget*>("chart")->Chart();
  }
};

TEST_F(DensityWindowTest, OffByDefaultInTheViewMenu) {
  QAction* toggle = Toggle();
  ASSERT_NE(toggle, nullptr);
  EXPECT_EQ(toggle->text(), "&Density Contours");
  EXPECT_TRUE(toggle->isCheckable());
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_EQ(toggle->shortcut(), QKeySequence("Ctrl+D"));
  EXPECT_TRUE(
      window_->findChild<QMenu*>("viewMenu")->actions().contains(toggle));
  // Switched on without data: nothing to contour, nothing drawn.
  toggle->trigger();
  EXPECT_TRUE(toggle->isChecked());
  EXPECT_EQ(Chart().density_contours, nullptr);
}

TEST_F(DensityWindowTest, SwitchedOnOffAndKeptForEachOpen) {
  window_->openFile(Write("a.txt", 300));
  QApplication::processEvents();
  ASSERT_EQ(window_->State().count, 300);
  EXPECT_EQ(Chart().density_contours, nullptr);
  Toggle()->trigger();
  ASSERT_NE(Chart().density_contours, nullptr);
  EXPECT_EQ(Chart().density_contours->count, 300);
  EXPECT_EQ(Chart().density_contours->bands.size(), 9u);
  EXPECT_TRUE(QSettings().value("densityContours").toBool());
  // Each Open computes them for its own data.
  window_->openFile(Write("b.txt", 120));
  QApplication::processEvents();
  ASSERT_NE(Chart().density_contours, nullptr);
  EXPECT_EQ(Chart().density_contours->count, 120);
  // A new window starts with the toggle as it was left.
  {
    MainWindow second;
    auto* toggle = second.findChild<QAction*>("densityContoursAction");
    EXPECT_TRUE(toggle->isChecked());
  }
  Toggle()->trigger();
  EXPECT_EQ(Chart().density_contours, nullptr);
  EXPECT_FALSE(QSettings().value("densityContours").toBool());
  window_->openFile(Write("c.txt", 50));
  QApplication::processEvents();
  EXPECT_EQ(Chart().density_contours, nullptr);
}

// The Rf/phi plot gets the contours with the polar chart, and the polar
// chart's follow its projection: their grid spans the disc shown.
// View > Label Iso-R Circles: off, the chart keeps its look; on, the
// circles carry their labels; the choice comes back in the next session.
TEST_F(DensityWindowTest, IsoRatioLabelsOnTheScreenChart) {
  window_->openFile(Write("a.txt", 60));
  QApplication::processEvents();
  auto* chart = window_->findChild<ChartWidget*>("chart");
  auto* labels = window_->findChild<QAction*>("isoRatioLabelsAction");
  ASSERT_NE(labels, nullptr);
  EXPECT_FALSE(labels->isChecked());
  const QImage plain = chart->grab().toImage();
  labels->trigger();
  const QImage labelled = chart->grab().toImage();
  EXPECT_GT(testing_support::DifferingPixels(labelled, plain, 0), 20);
  labels->trigger();
  EXPECT_EQ(testing_support::DifferingPixels(chart->grab().toImage(), plain, 0),
            0);
  labels->trigger();
  ShowNewWindow();
  ASSERT_TRUE(
      window_->findChild<QAction*>("isoRatioLabelsAction")->isChecked());
}

TEST_F(DensityWindowTest, BothPlotsAndEitherProjection) {
  window_->openFile(Write("a.txt", 300));
  QApplication::processEvents();
  const RfPhiPlot& plot = window_->findChild<RfPhiPage*>("rfPhiPage")->Plot();
  EXPECT_EQ(plot.density_contours, nullptr);
  Toggle()->trigger();
  ASSERT_NE(plot.density_contours, nullptr);
  EXPECT_EQ(plot.density_contours->count, 300);
  EXPECT_FALSE(plot.density_contours->bands.empty());
  // Across phi from -90 to 90 and up ln Rf from 0 past the largest Rf.
  const DensityGrid& g = plot.density_contours->grid;
  EXPECT_DOUBLE_EQ(g.left, -90);
  EXPECT_NEAR(g.left + g.step_x * (g.columns - 1), 90, 1e-9);
  EXPECT_EQ(g.bottom, 0);
  EXPECT_GE(
      g.bottom + g.step_y * (g.rows - 1),
      static_cast<double>(std::log(window_->State().largest_ratio)) - 1e-9);

  const double equal_area_reach = Chart().RadialMaximum();
  ASSERT_NE(Chart().density_contours, nullptr);
  EXPECT_NEAR(Chart().density_contours->grid.left, -equal_area_reach, 1e-9);
  window_->findChild<QAction*>("elliottProjectionAction")->trigger();
  QApplication::processEvents();
  ASSERT_EQ(Chart().Projection(), ChartProjection::kElliott);
  ASSERT_NE(Chart().RadialMaximum(), equal_area_reach);
  ASSERT_NE(Chart().density_contours, nullptr);
  EXPECT_NEAR(Chart().density_contours->grid.left, -Chart().RadialMaximum(),
              1e-9);
  EXPECT_EQ(Chart().density_contours->count, 300);

  Toggle()->trigger();
  EXPECT_EQ(Chart().density_contours, nullptr);
  EXPECT_EQ(plot.density_contours, nullptr);
}

TEST(DensityToggle, CancelSwitchesItOff) {
  QSettings().clear();
  QMenu menu;
  int runs = 0;
  bool cancel = true;
  DensityContoursToggle toggle(
      &menu,
      [&](const std::function<void()>& work, qint64, const QString& what,
          StageProgress* progress) {
        ++runs;
        EXPECT_EQ(what, "Computing the density contours…");
        ASSERT_NE(progress, nullptr);
        if (cancel) progress->Cancel();
        work();
      },
      nullptr);
  int switched = 0;
  QObject::connect(&toggle, &DensityContoursToggle::Switched,
                   [&switched] { ++switched; });
  toggle.Action()->setChecked(true);
  EXPECT_EQ(switched, 1);
  AnalysisState state;
  state.count = 3;
  state.measured.assign(4, MarkerRecord{});
  for (int i = 1; i <= 3; ++i) {
    state.measured[static_cast<std::size_t>(i)].vector =
        HyperbolicVector(0.5f * static_cast<float>(i), 0.3f);
  }
  EqualAreaChart chart;
  chart.StartUp();
  chart.density_contours = std::make_shared<DensityContours>();
  EXPECT_FALSE(toggle.Apply(chart, state));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(chart.density_contours, nullptr);
  EXPECT_FALSE(toggle.On());
  EXPECT_EQ(switched, 1);  // switched off quietly, not by the user
  EXPECT_FALSE(QSettings().value("densityContours").toBool());
  // Left to run, the chart gets them.
  cancel = false;
  toggle.Action()->setChecked(true);
  EXPECT_TRUE(toggle.Apply(chart, state));
  ASSERT_NE(chart.density_contours, nullptr);
  EXPECT_EQ(chart.density_contours->count, 3);
}

}  // namespace
}  // namespace orvane

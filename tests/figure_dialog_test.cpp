// SPDX-License-Identifier: MIT
// The figure dialog on its own: its controls, the live preview, the
// export and the settings file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include "chart/rf_phi_plot.h"
#include "render/figure_export.h"
#include "render/panel_picture.h"
#include "render/plot_render.h"
#include "support/analysed_chart.h"
#include "support/image_compare.h"
#include "window/figure_dialog.h"

namespace orvane {
namespace {

using testing_support::AnalysedChart;
using testing_support::kSixMarkers;

class FigureDialogTest : public ::testing::Test {
 protected:
  EqualAreaChart chart_ = AnalysedChart(kSixMarkers);
  FigureDialog dialog_{chart_, "N = 6   R_s = 2", FigureSettings()};
  template <typename T>
  T* Child(const char* name) {
    T* child = dialog_.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
};

TEST_F(FigureDialogTest, ControlsShowAndSetTheSettings) {
  EXPECT_EQ(dialog_.Settings(), FigureSettings());
  FigureSettings s;
  s.width_mm = 85;
  s.height_mm = 60;
  s.dpi = 600;
  s.figure_style = true;
  s.palette = ChartPalette::kColourBlind;
  s.caption = true;
  s.cloud = CloudDrawing::kOutline;
  s.print = {9.5, 2, 0.25};
  dialog_.SetSettings(s);
  EXPECT_EQ(dialog_.Settings(), s);
  EXPECT_EQ(Child<QDoubleSpinBox>("figureWidth")->value(), 85.0);
  EXPECT_EQ(Child<QDoubleSpinBox>("figureMarkerSize")->value(), 2.0);
  EXPECT_EQ(Child<QSpinBox>("figureDpi")->value(), 600);
  EXPECT_TRUE(Child<QCheckBox>("figureCaption")->isChecked());
  EXPECT_EQ(Child<QComboBox>("figureCloud")->currentText(),
            "Outline of the region");
  EXPECT_EQ(Child<QLabel>("figurePixels")->text(),
            "PNG and BMP: 2008 x 1417 pixels at 600 dpi");
  // Values outside the limits cannot be entered.
  Child<QSpinBox>("figureDpi")->setValue(5000);
  EXPECT_EQ(dialog_.Settings().dpi, kMaxFigureDpi);
  Child<QDoubleSpinBox>("figureHeight")->setValue(1);
  EXPECT_EQ(dialog_.Settings().height_mm, kMinFigureSideMm);
}

// The settings last used come back in the next session, but for the
// projection, which is the window's; a stored text that no longer reads
// gives the defaults.
TEST(FigureSettingsKept, BetweenSessions) {
  QSettings().clear();
  EXPECT_EQ(LoadFigureSettings(), FigureSettings());
  FigureSettings s;
  s.width_mm = 85;
  s.height_mm = 60;
  s.dpi = 600;
  s.figure_style = true;
  s.palette = ChartPalette::kColourBlind;
  s.cloud = CloudDrawing::kOutline;
  s.projection = ChartProjection::kElliott;
  StoreFigureSettings(s);
  s.projection.reset();
  EXPECT_EQ(LoadFigureSettings(), s);
  QSettings().setValue("figureSettings", "dpi = 5000\n");
  EXPECT_EQ(LoadFigureSettings(), FigureSettings());
  StoreFigureSettings(FigureSettings());
  EXPECT_FALSE(QSettings().contains("figureSettings"));
}

TEST_F(FigureDialogTest, PreviewFollowsEveryChange) {
  // The default figure at the screen's resolution.
  EXPECT_EQ(dialog_.Preview().size(), QSize(640, 362));
  FigureSettings at_screen;
  at_screen.dpi = kScreenDpi;
  EXPECT_EQ(testing_support::DifferingPixels(
                dialog_.Preview(),
                RenderChartImage(
                    chart_, QSize(640, 362),
                    FigureRenderOptions(at_screen, PictureFormat::kPng, {})),
                0),
            0);
  const QImage before = dialog_.Preview();
  Child<QCheckBox>("figureStyle")->setChecked(true);
  // The preview is drawn once the changes settle.
  EXPECT_TRUE(QTest::qWaitFor([&] { return dialog_.Preview() != before; }));
  const QImage styled = dialog_.Preview();
  Child<QComboBox>("figurePalette")->setCurrentIndex(1);
  Child<QDoubleSpinBox>("figureWidth")->setValue(85);
  dialog_.UpdatePreviewNow();
  EXPECT_EQ(dialog_.Preview().size(), QSize(321, 362));
  EXPECT_NE(dialog_.Preview(), styled.copy(0, 0, 321, 362));
  // The preview fits its frame.
  const QLabel* shown = Child<QLabel>("figurePreview");
  EXPECT_LE(shown->pixmap().width(), shown->width());
  EXPECT_LE(shown->pixmap().height(), shown->height());
}

// Panels are offered where the window has both plots; chosen, the preview
// is the panels' figure.
TEST_F(FigureDialogTest, PanelsWhereOffered) {
  auto* box = Child<QCheckBox>("figurePanels");
  EXPECT_TRUE(box->isHidden());
  RfPhiPlot rf_phi;
  const ModelPicture chart(chart_), rf(rf_phi);
  const PanelPicture panels({&chart, &rf});
  dialog_.OfferPanels(panels);
  EXPECT_FALSE(box->isHidden());
  EXPECT_FALSE(dialog_.PanelsChosen());
  box->setChecked(true);
  dialog_.UpdatePreviewNow();
  EXPECT_TRUE(dialog_.PanelsChosen());
  const FigureSettings s = dialog_.Settings();
  EXPECT_EQ(testing_support::DifferingPixels(
                dialog_.Preview(),
                panels.Image(FigurePixelSize(s, PictureFormat::kEmf),
                             FigureRenderOptions(s, PictureFormat::kEmf,
                                                 "N = 6   R_s = 2")),
                0),
            0);
}

TEST_F(FigureDialogTest, ExportAndSettingsFiles) {
  QTemporaryDir dir;
  FigureSettings s;
  s.width_mm = 85;
  s.height_mm = 60;
  s.dpi = 300;
  s.caption = true;
  dialog_.SetSettings(s);
  ASSERT_TRUE(dialog_.ExportTo(dir.filePath("f.png")).ok());
  EXPECT_EQ(QImage(dir.filePath("f.png")).size(), QSize(1004, 709));
  EXPECT_EQ(dialog_.ExportTo(dir.filePath("f.gif")).code(),
            StatusCode::kInvalidExtension);
  // Saved settings load back; a bad file changes nothing and names its
  // line.
  const QString settings = dir.filePath("figure.txt");
  ASSERT_TRUE(dialog_.SaveSettingsFile(settings).ok());
  dialog_.SetSettings(FigureSettings());
  ASSERT_TRUE(dialog_.LoadSettingsFile(settings).ok());
  EXPECT_EQ(dialog_.Settings(), s);
  {
    QFile f(dir.filePath("bad.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("dpi = 150\npalette = sepia\n");
  }
  const Status bad = dialog_.LoadSettingsFile(dir.filePath("bad.txt"));
  EXPECT_NE(bad.message().find("line 2: palette needs"), std::string::npos);
  EXPECT_EQ(dialog_.Settings(), s);
  EXPECT_FALSE(dialog_.SaveSettingsFile(dir.filePath("no/such/f.txt")).ok());
}

}  // namespace
}  // namespace orvane

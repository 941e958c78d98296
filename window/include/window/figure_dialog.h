// SPDX-License-Identifier: MIT
// File > Export Figure...: the figure's size, resolution and look, with a
// preview that follows every change, and its settings loaded from or saved
// to a settings file (the same file orvane-cli --figure-settings reads).
// Tests find its widgets by their object names ("figureWidth",
// "figureHeight", "figureDpi", "figureStyle", "figurePalette",
// "figureCaption", "figureCloud", "figureLegend", "figurePreview",
// "figurePixels", "figureNotes", "figurePanels", "figureExport",
// "figureLoadSettings", "figureSaveSettings").
#ifndef ORVANE_WINDOW_FIGURE_DIALOG_H_
#define ORVANE_WINDOW_FIGURE_DIALOG_H_

#include <QDialog>
#include <QImage>
#include <QString>
#include <memory>

#include "chart/equal_area_chart.h"
#include "core/status.h"
#include "render/figure_export.h"
#include "render/plot_picture.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;
class QTimer;

namespace orvane {

// The figure settings the dialog last used, kept between sessions in the
// user's settings as the text of a settings file (the projection left
// out: a figure takes the window's); the defaults where none are kept or
// what is kept is no longer valid.
FigureSettings LoadFigureSettings();
void StoreFigureSettings(const FigureSettings& settings);

class FigureDialog : public QDialog {
  Q_OBJECT

 public:
  // The chart and its caption stay the caller's and must outlive the
  // dialog.
  FigureDialog(const EqualAreaChart& chart, const QString& caption,
               const FigureSettings& settings, QWidget* parent = nullptr);
  // The same for any plot (the Rf/phi plot), which stays the caller's.
  FigureDialog(const PlotPicture& plot, const QString& caption,
               const FigureSettings& settings, QWidget* parent = nullptr);

  // Offers `panels` (both plots side by side, which stays the caller's) as
  // the figure instead of the plot, by the check box "figurePanels".
  void OfferPanels(const PlotPicture& panels);
  // Whether the figure is the panels.
  bool PanelsChosen() const;

  FigureSettings Settings() const;
  void SetSettings(const FigureSettings& settings);
  // The preview as last drawn: the figure at the screen's resolution, in
  // as many device pixels per screen pixel as the dialog's screen has (so
  // that it is sharp on a high-density screen too).
  const QImage& Preview() const { return preview_; }
  // Draws the preview now rather than after the pending changes settle.
  void UpdatePreviewNow();
  // Writes the figure to `path`; the window shows a failure.
  Status ExportTo(const QString& path) const;
  // Loads settings from a settings file or saves them to one.
  Status LoadSettingsFile(const QString& path);
  Status SaveSettingsFile(const QString& path) const;

 private slots:
  void onChanged();
  void onExport();
  void onLoadSettings();
  void onSaveSettings();

 private:
  void Build(const FigureSettings& settings);
  void ShowFailure(const Status& status);

  // The figure drawn: the plot, or the panels where they are chosen.
  const PlotPicture& Shown() const;

  std::unique_ptr<PlotPicture> own_plot_;  // the chart's, when given one
  const PlotPicture& plot_;
  const PlotPicture* panels_ = nullptr;
  QCheckBox* panels_box_ = nullptr;
  QString caption_;
  QDoubleSpinBox* width_ = nullptr;
  QDoubleSpinBox* height_ = nullptr;
  QSpinBox* dpi_ = nullptr;
  QDoubleSpinBox* font_ = nullptr;    // points
  QDoubleSpinBox* marker_ = nullptr;  // points
  QDoubleSpinBox* line_ = nullptr;    // points
  QCheckBox* style_ = nullptr;
  QComboBox* palette_ = nullptr;
  QCheckBox* caption_box_ = nullptr;
  QComboBox* cloud_ = nullptr;
  QComboBox* legend_ = nullptr;
  QLabel* notes_ = nullptr;
  QLabel* preview_label_ = nullptr;
  QLabel* pixels_ = nullptr;
  QTimer* timer_ = nullptr;
  QImage preview_;
  QString folder_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_FIGURE_DIALOG_H_

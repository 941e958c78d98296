// SPDX-License-Identifier: MIT
// The tab "Rf/φ Plot": the Rf/phi plot of the analysis with its controls
// (the Rf scale, the pre-strain data shown or not, the initial ratios of
// the theta-curves). Tests find its widgets by their object names: the page
// "rfPhiPage", the plot "rfPhiPlot", the controls "rfScale" (a combo box:
// "Logarithmic Rf", "Linear Rf"), "showRetrodeformed", "thetaRatios" and
// the line "thetaRatiosMessage" that says why a list was refused.
#ifndef ORVANE_WINDOW_RF_PHI_PAGE_H_
#define ORVANE_WINDOW_RF_PHI_PAGE_H_

#include <QWidget>
#include <memory>

#include "chart/density_contours.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis.h"
#include "core/analysis_state.h"
#include "render/plot_render.h"
#include "window/plot_widget.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvane {

// The plot on screen: the window's plot widget holding the plot model.
class RfPhiPlotWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit RfPhiPlotWidget(QWidget* parent = nullptr);

  RfPhiPlot& Plot() { return plot_; }
  const RfPhiPlot& Plot() const { return plot_; }

 private:
  RfPhiPlot plot_;
};

class RfPhiPage : public QWidget {
  Q_OBJECT

 public:
  explicit RfPhiPage(QWidget* parent = nullptr);

  RfPhiPlotWidget* PlotWidget() const { return plot_; }
  const RfPhiPlot& Plot() const { return plot_->Plot(); }
  // Fills the plot with the results of an Open.
  void ShowAnalysis(const AnalysisState& state, AnalysisResult result);
  // Points at datum i, chosen in the grid; hides the highlight again.
  void Highlight(const AnalysisState& state, std::int32_t i);
  void HideHighlight();
  // The density contours under the markers, or none (nullptr).
  void SetDensityContours(std::shared_ptr<const DensityContours> contours);
  // The decimal separator of the tick labels.
  void SetDecimalSeparator(const QString& sep);

 signals:
  // A right click on the plot, at `global` on the screen: the window offers
  // what it can do with the plot there.
  void ContextMenuRequested(QPoint global);

 private slots:
  void onScaleChosen(int index);
  void onShowRetrodeformed(bool on);
  void onRatiosEdited();
  // The pre-strain check box follows the legend's.
  void onLegendEntryToggled();

 private:
  RfPhiPlotWidget* plot_ = nullptr;
  QComboBox* scale_ = nullptr;
  QCheckBox* show_retrodeformed_ = nullptr;
  QLineEdit* ratios_ = nullptr;
  QLabel* ratios_message_ = nullptr;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_RF_PHI_PAGE_H_

// SPDX-License-Identifier: MIT
// The tab "Centres": the strain from the spacing of the markers' centres
// (core/centre_strain.h) beside the hyperbolic vector mean of their shapes,
// so that a geologist sees at once whether the two families of methods
// agree. The Fry plot of the chosen method on the left; on the right both
// estimates side by side (R, phi, their 95 % limits, the pairs), the
// comparison in a sentence and the warnings of the centre analysis.
//
// The centre analysis, bootstrap included, runs on a thread of its own, so
// that the window keeps answering; a new analysis or another method drops
// the run under way (it is asked to stop), and only the newest run's result
// is ever shown. Data without centres show why in place of the plot.
//
// Tests find its widgets by their object names: the page "centresPage",
// the method "centreMethod" (a combo box: "Fry", "Normalised Fry",
// "Enhanced normalised Fry", "Delaunay nearest neighbours"), the plot
// "fryPlot", the line in its place "centresMessage" with the progress bar
// "centresProgress" and the button "centresCancel", the table
// "centresTable", the sentence "centresAgreement" and the warnings
// "centresWarnings".
#ifndef ORVANE_WINDOW_CENTRES_PAGE_H_
#define ORVANE_WINDOW_CENTRES_PAGE_H_

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "chart/fry_plot.h"
#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "window/background_work.h"
#include "window/plot_widget.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTableWidget;

namespace orvane {

// The Fry plot on screen: the window's plot widget holding the plot model.
class FryPlotWidget : public PlotWidget {
  Q_OBJECT

 public:
  explicit FryPlotWidget(QWidget* parent = nullptr);

  FryPlot& Plot() { return plot_; }
  const FryPlot& Plot() const { return plot_; }

 private:
  FryPlot plot_;
};

class CentresPage : public QWidget {
  Q_OBJECT

 public:
  explicit CentresPage(QWidget* parent = nullptr);
  // Asks every run under way to stop and waits for it.
  ~CentresPage() override;

  // Starts the centre analysis of the data of `state` with its bootstrap
  // settings, by the method chosen; the hyperbolic vector mean's figures
  // are kept beside it. Whatever was shown or under way before is dropped.
  // Data without centres (or with too few) show why at once; no data empty
  // the page.
  void Analyse(const AnalysisState& state);
  // The most markers analysed as soon as their data are opened: the
  // analysis of more takes seconds and hundreds of megabytes, so it waits
  // for the user's Compute (or a choice of method).
  static constexpr std::int32_t kAnalysedAtOnce = 200000;
  void SetAnalysedAtOnce(std::int32_t markers) { analysed_at_once_ = markers; }
  // The decimal separator of the figures and of the plot's tick labels.
  void SetDecimalSeparator(const QString& sep);

  CentreMethod Method() const;
  // The result shown; nullptr while a run is under way or there are no
  // data.
  const CentreStrainResult* Result() const;
  // Whether a run is under way whose result will be shown.
  bool Running() const;
  // Whether the data held give the markers' centres.
  bool HasCentres() const;

  FryPlotWidget* PlotWidget() const { return plot_; }
  const FryPlot& Plot() const { return plot_->Plot(); }

 public slots:
  // Asks the run under way to stop: its estimate is shown without limits.
  void onCancel();

 signals:
  // A result was shown, or the one shown was taken away.
  void ResultChanged();
  // A right click on the plot, at `global` on the screen: the window offers
  // what it can do with the plot there.
  void ContextMenuRequested(QPoint global);

 private slots:
  void onMethodChosen(int index);

 private:
  struct Run;

  // Starts a run of the data held by the method chosen.
  void Start();
  // The newest run has ended: its result is shown.
  void onRunEnded(Run& run);
  // Shows the result held (or the message in place of the plot).
  void ShowResult();
  void ShowMessage(const QString& text, bool running);
  void FillTable();

  QComboBox* method_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  FryPlotWidget* plot_ = nullptr;
  QLabel* message_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* compute_ = nullptr;
  QScrollArea* side_ = nullptr;
  QTableWidget* table_ = nullptr;
  QLabel* agreement_ = nullptr;
  QLabel* warnings_ = nullptr;
  QString sep_ = ".";

  // The data held: their centres, and the hyperbolic vector mean's
  // figures (strain, outcome, limits) to compare with.
  bool have_data_ = false;
  // Whether the data held are to be analysed: at once for small data, on
  // the user's word for large ones.
  bool asked_ = false;
  std::int32_t analysed_at_once_ = kAnalysedAtOnce;
  // Shared with the runs that read them (none when they could not be had).
  std::shared_ptr<const CentreData> centres_;
  AnalysisState shapes_;
  // The runs not yet ended; only the newest is shown.
  NewestRuns<Run> runs_;
  bool cancelled_ = false;  // the shown result's run was stopped
  std::unique_ptr<CentreStrainResult> result_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_CENTRES_PAGE_H_

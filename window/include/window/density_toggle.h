// SPDX-License-Identifier: MIT
// View > Density Contours: a checkable action, off by default and
// remembered between runs, and the computation of the polar chart's
// density contours behind the window's progress box, so that a million
// data keep the window responsive.
#ifndef ORVANE_WINDOW_DENSITY_TOGGLE_H_
#define ORVANE_WINDOW_DENSITY_TOGGLE_H_

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "chart/density_contours.h"
#include "chart/equal_area_chart.h"
#include "chart/rf_phi_plot.h"
#include "core/analysis_state.h"
#include "io/open_pipeline.h"

class QAction;
class QMenu;

namespace orvane {

class DensityContoursToggle : public QObject {
  Q_OBJECT

 public:
  // Runs `work` to its end, behind a progress box with Cancel when it is
  // large (MainWindow::RunWork).
  using WorkRunner =
      std::function<void(const std::function<void()>& work, qint64 size_hint,
                         const QString& what, StageProgress* progress)>;

  // Adds the action ("densityContoursAction", Ctrl+D) to `menu`, checked as
  // the settings last left it.
  DensityContoursToggle(QMenu* menu, WorkRunner run, QObject* parent);

  QAction* Action() const { return action_; }
  bool On() const;

  // Gives `chart` the contours of `state` when the toggle is on (none when
  // it is off, or without data). Cancelling the progress box switches the
  // toggle off and leaves the chart without contours; false then.
  bool Apply(EqualAreaChart& chart, const AnalysisState& state);
  // The contours of `state` for the Rf/phi plot `plot` when the toggle is
  // on, or nullptr (off, no data, or cancelled, which switches it off).
  std::shared_ptr<const DensityContours> RfPhiContours(
      const RfPhiPlot& plot, const AnalysisState& state);

 signals:
  // The user switched the toggle: the chart shown wants Apply.
  void Switched();

 private:
  using Computation = std::function<std::shared_ptr<const DensityContours>(
      const std::atomic<bool>* cancel, const DensityProgress& progress)>;
  // Runs `compute` behind the progress box when the toggle is on and there
  // are data; a cancel or a lack of memory (`out_of_memory`) switches the
  // toggle off and gives nullptr.
  std::shared_ptr<const DensityContours> Compute(const AnalysisState& state,
                                                 const Computation& compute,
                                                 bool& out_of_memory);

  QAction* action_ = nullptr;
  WorkRunner run_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_DENSITY_TOGGLE_H_

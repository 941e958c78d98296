// View > Density Contours: a checkable action, off by default and
// remembered between runs, and the computation of the polar chart's
// density contours behind the window's progress box, so that a million
// data keep the window responsive.
#ifndef ORVANE_WINDOW_DENSITY_TOGGLE_H_
#define ORVANE_WINDOW_DENSITY_TOGGLE_H_

#include <QObject>
#include <QString>
#include <functional>

#include "chart/density_contours.h"
#include "chart/equal_area_chart.h"
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

 signals:
  // The user switched the toggle: the chart shown wants Apply.
  void Switched();

 private:
  QAction* action_ = nullptr;
  WorkRunner run_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_DENSITY_TOGGLE_H_

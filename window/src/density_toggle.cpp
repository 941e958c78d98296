#include "window/density_toggle.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QSettings>
#include <QSignalBlocker>
#include <memory>
#include <new>

namespace orvane {
namespace {

constexpr const char* kSettingsKey = "densityContours";

// The contours cost about this much per datum, counted as bytes by the
// progress box's threshold: a few thousand data are drawn at once, more
// go behind the box.
constexpr qint64 kContourBytesPerDatum = 500;

}  // namespace

DensityContoursToggle::DensityContoursToggle(QMenu* menu, WorkRunner run,
                                             QObject* parent)
    : QObject(parent), run_(std::move(run)) {
  action_ = menu->addAction("&Density Contours");
  action_->setObjectName("densityContoursAction");
  action_->setCheckable(true);
  action_->setShortcut(QKeySequence("Ctrl+D"));
  action_->setStatusTip(
      "Shade the density of the measured data under the markers, in grey "
      "steps of a tenth of its peak");
  action_->setChecked(QSettings().value(kSettingsKey, false).toBool());
  connect(action_, &QAction::toggled, this, [this](bool on) {
    QSettings().setValue(kSettingsKey, on);
    emit Switched();
  });
}

bool DensityContoursToggle::On() const {
  return action_->isChecked();
}

bool DensityContoursToggle::Apply(EqualAreaChart& chart,
                                  const AnalysisState& state) {
  if (!On() || state.count <= 0) {
    chart.density_contours.reset();
    return true;
  }
  StageProgress progress;
  std::shared_ptr<const DensityContours> contours;
  bool out_of_memory = false;
  run_(
      [&] {
        try {
          contours = ChartDensityContours(
              chart, state, ContourSettings{}, &progress.Flag(),
              [&progress](double f) { progress.SetFraction(f); });
        } catch (const std::bad_alloc&) {
          out_of_memory = true;
        }
      },
      static_cast<qint64>(state.count) * kContourBytesPerDatum,
      "Computing the density contours…", &progress);
  chart.density_contours = contours;
  if (contours == nullptr) {
    // Cancelled, or no memory for them: the chart goes on without, and the
    // menu says so.
    const QSignalBlocker quiet(action_);
    action_->setChecked(false);
    QSettings().setValue(kSettingsKey, false);
    return out_of_memory;
  }
  return true;
}

}  // namespace orvane

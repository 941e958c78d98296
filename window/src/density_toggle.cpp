// SPDX-License-Identifier: MIT
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
  const bool wanted = On() && state.count > 0;
  bool out_of_memory = false;
  chart.density_contours = Compute(
      state,
      [&](const std::atomic<bool>* cancel, const DensityProgress& progress) {
        return ChartDensityContours(chart, state, ContourSettings{}, cancel,
                                    progress);
      },
      out_of_memory);
  return !wanted || chart.density_contours != nullptr || out_of_memory;
}

std::shared_ptr<const DensityContours> DensityContoursToggle::RfPhiContours(
    const RfPhiPlot& plot, const AnalysisState& state) {
  bool out_of_memory = false;
  return Compute(
      state,
      [&](const std::atomic<bool>* cancel, const DensityProgress& progress) {
        return RfPhiDensityContours(plot, state, ContourSettings{}, cancel,
                                    progress);
      },
      out_of_memory);
}

std::shared_ptr<const DensityContours> DensityContoursToggle::Compute(
    const AnalysisState& state, const Computation& compute,
    bool& out_of_memory) {
  out_of_memory = false;
  if (!On() || state.count <= 0) return nullptr;
  StageProgress progress;
  std::shared_ptr<const DensityContours> contours;
  run_(
      [&] {
        try {
          contours = compute(&progress.Flag(), [&progress](double f) {
            progress.SetFraction(f);
          });
        } catch (const std::bad_alloc&) {
          out_of_memory = true;
        }
      },
      static_cast<qint64>(state.count) * kContourBytesPerDatum,
      "Computing the density contours…", &progress);
  if (contours == nullptr) {
    // Cancelled, or no memory for them: the plots go on without, and the
    // menu says so.
    const QSignalBlocker quiet(action_);
    action_->setChecked(false);
    QSettings().setValue(kSettingsKey, false);
  }
  return contours;
}

}  // namespace orvane

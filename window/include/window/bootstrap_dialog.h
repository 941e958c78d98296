// SPDX-License-Identifier: MIT
// Analysis > Bootstrap Settings...: the count of resamples and the seed of
// the bootstrap, with a button that restores the defaults and a note that
// only the defaults reproduce the published figures of the method. The
// settings last accepted are kept in the user's settings for the next
// session. Tests find its widgets by their object names ("bootstrapDialog",
// "bootstrapResamples", "bootstrapSeed", "bootstrapKept",
// "bootstrapSeedHint", "bootstrapNote", "bootstrapDefaults").
#ifndef ORVANE_WINDOW_BOOTSTRAP_DIALOG_H_
#define ORVANE_WINDOW_BOOTSTRAP_DIALOG_H_

#include <QDialog>

#include "core/bootstrap_settings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvane {

class BootstrapDialog : public QDialog {
  Q_OBJECT

 public:
  explicit BootstrapDialog(const BootstrapSettings& settings,
                           QWidget* parent = nullptr);

  // The settings shown (meaningful when the dialog was accepted: OK is
  // enabled only while the seed is valid).
  BootstrapSettings Settings() const;
  void SetSettings(const BootstrapSettings& settings);

 private slots:
  void onChanged();

 private:
  QSpinBox* resamples_ = nullptr;
  QLineEdit* seed_ = nullptr;
  QLabel* kept_ = nullptr;
  QLabel* seed_hint_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The settings kept from the last session: the defaults when there are
// none, or when the stored values lie outside the limits (an older or
// hand-edited settings file).
BootstrapSettings LoadBootstrapSettings();
// Keeps `settings` for the next session; the defaults are kept as no entry.
void StoreBootstrapSettings(const BootstrapSettings& settings);

}  // namespace orvane

#endif  // ORVANE_WINDOW_BOOTSTRAP_DIALOG_H_

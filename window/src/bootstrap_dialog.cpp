// SPDX-License-Identifier: MIT
#include "window/bootstrap_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include "window/screen_fit.h"

namespace orvane {
namespace {

constexpr const char* kResamplesKey = "bootstrap/resamples";
constexpr const char* kSeedKey = "bootstrap/seed";

}  // namespace

BootstrapDialog::BootstrapDialog(const BootstrapSettings& settings,
                                 QWidget* parent)
    : QDialog(parent) {
  setObjectName("bootstrapDialog");
  setWindowTitle("Bootstrap Settings");

  resamples_ = new QSpinBox(this);
  resamples_->setObjectName("bootstrapResamples");
  resamples_->setRange(kMinBootstrapResamples, kMaxBootstrapResamples);
  resamples_->setSingleStep(100);
  resamples_->setAccelerated(true);
  kept_ = new QLabel(this);
  kept_->setObjectName("bootstrapKept");

  // A seed is any 32-bit value: more than a spin box holds, so it is typed.
  seed_ = new QLineEdit(this);
  seed_->setObjectName("bootstrapSeed");
  seed_->setValidator(new QRegularExpressionValidator(
      QRegularExpression("[0-9]{0,10}"), seed_));
  seed_hint_ = new QLabel(this);
  seed_hint_->setObjectName("bootstrapSeedHint");

  auto* note = new QLabel(
      "Only the defaults, 200 resamples from the seed 1, reproduce the "
      "published figures of this method. Other settings show how much the "
      "limits depend on the resampling; the report and the status bar then "
      "name them beside the limits.",
      this);
  note->setObjectName("bootstrapNote");
  note->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow("&Resamples:", resamples_);
  form->addRow(QString(), kept_);
  form->addRow("&Seed:", seed_);
  form->addRow(QString(), seed_hint_);

  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  QPushButton* defaults = buttons->addButton(QDialogButtonBox::RestoreDefaults);
  defaults->setText("&Defaults");
  defaults->setObjectName("bootstrapDefaults");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(defaults, &QPushButton::clicked, this,
          [this] { SetSettings(BootstrapSettings{}); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(note);
  layout->addWidget(buttons);

  SetSettings(settings);
  connect(resamples_, &QSpinBox::valueChanged, this,
          &BootstrapDialog::onChanged);
  connect(seed_, &QLineEdit::textChanged, this, &BootstrapDialog::onChanged);
  setMinimumWidth(360);
  FitToScreen(this);
}

BootstrapSettings BootstrapDialog::Settings() const {
  BootstrapSettings s;
  s.resamples = resamples_->value();
  ParseSeed(seed_->text().toStdString(), s.seed);
  return s;
}

void BootstrapDialog::SetSettings(const BootstrapSettings& settings) {
  resamples_->setValue(settings.resamples);
  seed_->setText(QString::number(settings.seed));
  onChanged();
}

void BootstrapDialog::onChanged() {
  const int n = resamples_->value();
  kept_->setText(QString("The %1 nearest solutions (95 %) give the limits.")
                     .arg(KeptResamples(n)));
  std::uint32_t seed = 0;
  const bool valid = ParseSeed(seed_->text().toStdString(), seed);
  seed_hint_->setText(
      valid ? QString("From 0 to 4294967295 (default 1).")
            : QString("The seed must be a whole number from 0 to 4294967295."));
  ok_->setEnabled(valid);
}

BootstrapSettings LoadBootstrapSettings() {
  const QSettings settings;
  const std::string resamples =
      settings.value(kResamplesKey).toString().toStdString();
  const std::string seed = settings.value(kSeedKey).toString().toStdString();
  BootstrapSettings read;
  if ((!resamples.empty() && !ParseResamples(resamples, read.resamples)) ||
      (!seed.empty() && !ParseSeed(seed, read.seed))) {
    return BootstrapSettings{};
  }
  return read;
}

void StoreBootstrapSettings(const BootstrapSettings& settings) {
  QSettings stored;
  if (settings.IsDefault()) {
    stored.remove(kResamplesKey);
    stored.remove(kSeedKey);
    return;
  }
  stored.setValue(kResamplesKey, QString::number(settings.resamples));
  stored.setValue(kSeedKey, QString::number(settings.seed));
}

}  // namespace orvane

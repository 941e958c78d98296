// SPDX-License-Identifier: MIT
#include "window/rf_phi_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <new>

#include "core/theta_curves.h"

namespace orvane {
namespace {

constexpr const char* kNoMemory = "Not enough memory to plot the data here.";

}  // namespace

RfPhiPlotWidget::RfPhiPlotWidget(QWidget* parent) : PlotWidget(parent) {
  setObjectName("rfPhiPlot");
  SetPlot(&plot_);
}

RfPhiPage::RfPhiPage(QWidget* parent) : QWidget(parent) {
  setObjectName("rfPhiPage");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  auto* controls = new QHBoxLayout;
  controls->setContentsMargins(4, 2, 4, 0);
  scale_ = new QComboBox(this);
  scale_->setObjectName("rfScale");
  scale_->addItem("Logarithmic Rf");
  scale_->addItem("Linear Rf");
  scale_->setToolTip("The scale of the Rf axis");
  show_retrodeformed_ = new QCheckBox("Show &pre-strain data", this);
  show_retrodeformed_->setObjectName("showRetrodeformed");
  show_retrodeformed_->setChecked(true);
  auto* ratios_label = new QLabel("\u03b8-curves, &Ri:", this);
  ratios_ = new QLineEdit(this);
  ratios_->setObjectName("thetaRatios");
  ratios_->setText(
      QString::fromStdString(ThetaCurveRatiosText(DefaultThetaCurveRatios())));
  ratios_->setToolTip(
      "The initial axial ratios Ri of the theta-curves, each from 1 to "
      "1000, separated by commas (by semicolons or blanks where the decimal "
      "separator is a comma); press Enter to draw them");
  ratios_label->setBuddy(ratios_);
  ratios_message_ = new QLabel(this);
  ratios_message_->setObjectName("thetaRatiosMessage");
  ratios_message_->setStyleSheet("color: #C00000;");
  ratios_message_->setWordWrap(true);
  controls->addWidget(scale_);
  controls->addWidget(show_retrodeformed_);
  controls->addWidget(ratios_label);
  controls->addWidget(ratios_, 1);
  layout->addLayout(controls);
  layout->addWidget(ratios_message_);
  ratios_message_->hide();

  plot_ = new RfPhiPlotWidget(this);
  layout->addWidget(plot_, 1);

  connect(scale_, &QComboBox::currentIndexChanged, this,
          &RfPhiPage::onScaleChosen);
  connect(show_retrodeformed_, &QCheckBox::toggled, this,
          &RfPhiPage::onShowRetrodeformed);
  connect(ratios_, &QLineEdit::editingFinished, this,
          &RfPhiPage::onRatiosEdited);
  connect(plot_, &PlotWidget::LegendEntryToggled, this,
          &RfPhiPage::onLegendEntryToggled);
  connect(plot_, &PlotWidget::MouseReleased, this,
          [this](Qt::MouseButton button, QPoint position) {
            if (button == Qt::RightButton) {
              emit ContextMenuRequested(plot_->mapToGlobal(position));
            }
          });
}

void RfPhiPage::ShowAnalysis(const AnalysisState& state,
                             AnalysisResult result) {
  try {
    plot_->Plot().ShowAnalysis(state, result);
    if (ratios_message_->text() == kNoMemory) ratios_message_->hide();
  } catch (const std::bad_alloc&) {
    // The analysis and the chart stand; only this plot has no room. It
    // shows no data rather than another file's.
    plot_->Plot().Clear();
    ratios_message_->setText(kNoMemory);
    ratios_message_->show();
  }
  plot_->PlotChanged();
}

void RfPhiPage::Highlight(const AnalysisState& state, std::int32_t i) {
  plot_->Plot().Highlight(state, i);
  plot_->PlotChanged();
}

void RfPhiPage::SetDensityContours(
    std::shared_ptr<const DensityContours> contours) {
  plot_->Plot().density_contours = std::move(contours);
  plot_->PlotChanged();
}

void RfPhiPage::HideHighlight() {
  plot_->Plot().HideHighlight();
  plot_->PlotChanged();
}

void RfPhiPage::SetDecimalSeparator(const QString& sep) {
  plot_->Plot().SetDecimalSeparator(sep.toStdString());
  // The list of ratios in the same numbers, unless it holds one being put
  // right.
  if (ratios_message_->isHidden()) {
    ratios_->setText(QString::fromStdString(ThetaCurveRatiosText(
        plot_->Plot().ThetaCurveRatios(), sep.toStdString())));
  }
  plot_->PlotChanged();
}

void RfPhiPage::onScaleChosen(int index) {
  plot_->Plot().SetScale(index == 1 ? RfScale::kLinear : RfScale::kLogarithmic);
  plot_->PlotChanged();
}

void RfPhiPage::onShowRetrodeformed(bool on) {
  plot_->Plot().SetShowRetrodeformed(on);
  plot_->PlotChanged();
}

void RfPhiPage::onRatiosEdited() {
  std::vector<float> ratios;
  const Status read = ParseThetaCurveRatios(
      ratios_->text().toStdString(), ratios, plot_->Plot().DecimalSeparator());
  if (!read.ok()) {
    // The curves drawn stay; the list stays as typed, to be put right.
    ratios_message_->setText(
        QString::fromStdString("Theta-curves not changed: " + read.message()));
    ratios_message_->show();
    ratios_->setStyleSheet("border: 1px solid #C00000;");
    return;
  }
  ratios_message_->clear();
  ratios_message_->hide();
  ratios_->setStyleSheet(QString());
  if (ratios == plot_->Plot().ThetaCurveRatios()) return;
  plot_->Plot().SetThetaCurveRatios(ratios);
  plot_->PlotChanged();
}

void RfPhiPage::onLegendEntryToggled() {
  const QSignalBlocker quiet(show_retrodeformed_);
  show_retrodeformed_->setChecked(plot_->Plot().retrodeformed.Active());
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "window/centres_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <utility>

#include "core/centre_report.h"
#include "core/number_format.h"

namespace orvane {
namespace {

constexpr const char* kMethodKey = "centres/method";
constexpr const char* kNoData =
    "No data: open or import data with the markers' centres (X and Y) to "
    "compare their spacing with their shapes.";
// Where the data without centres can have them from.
constexpr const char* kWhereCentresComeFrom =
    "\n\nFile \u25b8 Import Table... reads them from a table's X and Y "
    "columns (with Area for the normalised methods); Import Outlines... and "
    "Import Label Image... give them for every grain.";
constexpr const char* kRunning = "Analysing the centres of the markers…";
constexpr const char* kNoMemory = "Not enough memory for the centre analysis.";
constexpr const char* kNoMemoryToPlot =
    "Not enough memory to plot the centres here.";
constexpr const char* kNone = "–";

// The methods in the order of the combo box, with the short name of the
// table's header.
struct MethodChoice {
  CentreMethod method;
  const char* label;
  const char* short_name;
};
constexpr MethodChoice kMethods[] = {
    {CentreMethod::kFry, "Fry", "Fry"},
    {CentreMethod::kNormalised, "Normalised Fry", "Normalised Fry"},
    {CentreMethod::kEnhanced, "Enhanced normalised Fry", "Enhanced Fry"},
    {CentreMethod::kDelaunay, "Delaunay nearest neighbours", "Delaunay"},
};

// The table's rows.
enum Row { kRatioRow, kPhiRow, kRatioLimitsRow, kPhiLimitsRow, kPairsRow };
constexpr int kRows = 5;
constexpr int kCentresColumn = 0;
constexpr int kShapesColumn = 1;
// The side's least width, so that it does not jump with every figure.
constexpr int kLeastSideWidth = 240;

CentreStrainResult Refused(CentreMethod method, std::string message) {
  CentreStrainResult result;
  result.method = method;
  result.status = Status(StatusCode::kOutOfMemory, std::move(message));
  return result;
}

QString Range(long double low, long double high, const std::string& sep) {
  return QString::fromStdString(FormatLimit(low, sep) + " – " +
                                FormatLimit(high, sep));
}

}  // namespace

// One analysis on a thread of its own. The thread reads `centres` and
// `settings` and writes `result`; the window's thread reads the result
// only after it has joined the thread.
struct CentresPage::Run {
  std::shared_ptr<const CentreData> centres;
  CentreSettings settings;
  std::atomic<bool> cancel{false};
  bool out_of_memory = false;
  CentreStrainResult result;

  // Stops the bootstrap: the estimate comes without its limits.
  void Stop() { cancel = true; }
};

FryPlotWidget::FryPlotWidget(QWidget* parent) : orvane::PlotWidget(parent) {
  setObjectName("fryPlot");
  SetPlot(&plot_);
}

CentresPage::CentresPage(QWidget* parent)
    : QWidget(parent), runs_(this, [this](Run& run) { onRunEnded(run); }) {
  setObjectName("centresPage");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);

  auto* controls = new QHBoxLayout;
  controls->setContentsMargins(4, 2, 4, 0);
  auto* method_label = new QLabel("&Method:", this);
  method_ = new QComboBox(this);
  method_->setObjectName("centreMethod");
  for (const MethodChoice& choice : kMethods) {
    method_->addItem(choice.label, static_cast<int>(choice.method));
    method_->setItemData(method_->count() - 1, CentreMethodTitle(choice.method),
                         Qt::ToolTipRole);
  }
  method_->setToolTip(
      "How the strain is found from the spacing of the markers' centres");
  method_label->setBuddy(method_);
  // The method of the last session, Normalised Fry at first.
  CentreMethod kept = CentreMethod::kNormalised;
  ParseCentreMethod(QSettings().value(kMethodKey).toString().toStdString(),
                    kept);
  method_->setCurrentIndex(method_->findData(static_cast<int>(kept)));
  controls->addWidget(method_label);
  controls->addWidget(method_);
  controls->addStretch(1);
  layout->addLayout(controls);

  auto* body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 4, 4);
  stack_ = new QStackedWidget(this);
  plot_ = new FryPlotWidget(stack_);
  stack_->addWidget(plot_);
  // In place of the plot: why there is none, or that one is being made.
  auto* waiting = new QWidget(stack_);
  auto* waiting_layout = new QVBoxLayout(waiting);
  waiting_layout->setContentsMargins(4, 0, 4, 0);
  message_ = new QLabel(kNoData, waiting);
  message_->setObjectName("centresMessage");
  message_->setWordWrap(true);
  message_->setAlignment(Qt::AlignCenter);
  progress_ = new QProgressBar(waiting);
  progress_->setObjectName("centresProgress");
  progress_->setRange(0, 0);
  progress_->setTextVisible(false);
  cancel_ = new QPushButton("Cancel", waiting);
  cancel_->setObjectName("centresCancel");
  cancel_->setToolTip("Stop the bootstrap: the estimate without its limits");
  waiting_layout->addStretch(1);
  waiting_layout->addWidget(message_);
  waiting_layout->addWidget(progress_);
  waiting_layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  compute_ = new QPushButton("Compute", waiting);
  compute_->setObjectName("centresCompute");
  compute_->setToolTip("Estimate the strain from the centres of these data");
  compute_->hide();
  connect(compute_, &QPushButton::clicked, this, [this] {
    asked_ = true;
    Start();
  });
  waiting_layout->addWidget(compute_, 0, Qt::AlignHCenter);
  waiting_layout->addStretch(1);
  stack_->addWidget(waiting);
  body->addWidget(stack_, 1);

  auto* side = new QVBoxLayout;
  table_ = new QTableWidget(kRows, 2, this);
  table_->setObjectName("centresTable");
  table_->setVerticalHeaderLabels({"R", QString::fromUtf8("\u03c6"), "R limits",
                                   QString::fromUtf8("\u03c6 limits"),
                                   "Pairs"});
  table_->horizontalHeader()->setSectionResizeMode(
      QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->setWordWrap(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setAcceptDrops(false);
  table_->setToolTip(
      "The strain from the markers' centres and from their shapes (the "
      "hyperbolic vector mean), with the 95 % limits of each bootstrap");
  agreement_ = new QLabel(this);
  agreement_->setObjectName("centresAgreement");
  agreement_->setWordWrap(true);
  warnings_ = new QLabel(this);
  warnings_->setObjectName("centresWarnings");
  warnings_->setWordWrap(true);
  warnings_->setStyleSheet("color: #C00000;");
  warnings_->hide();
  side->addWidget(table_);
  side->addWidget(agreement_);
  side->addWidget(warnings_);
  side->addStretch(1);
  // The side scrolls in a low window rather than hold the window's height
  // up: the tabs share the least height of the largest.
  side_ = new QScrollArea(this);
  side_->setFrameShape(QFrame::NoFrame);
  side_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  side_->setWidgetResizable(true);
  auto* side_widget = new QWidget(side_);
  side_widget->setLayout(side);
  side->setContentsMargins(0, 0, 0, 0);
  side_->setWidget(side_widget);
  body->addWidget(side_);
  layout->addLayout(body, 1);

  connect(method_, &QComboBox::currentIndexChanged, this,
          &CentresPage::onMethodChosen);
  connect(cancel_, &QPushButton::clicked, this, &CentresPage::onCancel);
  connect(plot_, &PlotWidget::MouseReleased, this,
          [this](Qt::MouseButton button, QPoint position) {
            if (button == Qt::RightButton) {
              emit ContextMenuRequested(plot_->mapToGlobal(position));
            }
          });
  ShowResult();
}

CentresPage::~CentresPage() {
  // Every run stops its bootstrap and is waited for here, while the page
  // it reports to still stands.
  runs_.StopAndWait();
}

CentreMethod CentresPage::Method() const {
  return static_cast<CentreMethod>(method_->currentData().toInt());
}

const CentreStrainResult* CentresPage::Result() const {
  return Running() ? nullptr : result_.get();
}

bool CentresPage::Running() const {
  return runs_.Running();
}

bool CentresPage::HasCentres() const {
  return have_data_ && centres_ != nullptr && centres_->Count() > 0;
}

void CentresPage::Analyse(const AnalysisState& state) {
  have_data_ = state.count > 0;
  asked_ = state.count <= analysed_at_once_;
  // Only what the table and the comparison read of the shapes' analysis.
  shapes_ = AnalysisState();
  shapes_.count = state.count;
  shapes_.strain = state.strain;
  shapes_.bootstrap = state.bootstrap;
  shapes_.outcome = state.outcome;
  shapes_.limits = state.limits;
  try {
    centres_ = std::make_shared<const CentreData>(CentreDataOf(state));
  } catch (const std::bad_alloc&) {
    centres_.reset();
  }
  Start();
}

void CentresPage::SetDecimalSeparator(const QString& sep) {
  sep_ = sep;
  plot_->Plot().SetDecimalSeparator(sep.toStdString());
  plot_->PlotChanged();
  FillTable();
}

void CentresPage::onMethodChosen(int) {
  QSettings().setValue(kMethodKey, CentreMethodName(Method()));
  asked_ = true;
  Start();
}

void CentresPage::onCancel() {
  Run* run = runs_.Newest();
  if (run == nullptr) return;
  run->Stop();
  cancel_->setEnabled(false);
  message_->setText("Cancelling…");
}

void CentresPage::Start() {
  // The runs under way are of older data or another method: they stop,
  // and their results are dropped when they end.
  runs_.StopAll();
  cancelled_ = false;
  result_.reset();
  if (!have_data_) {
    ShowResult();
    emit ResultChanged();
    return;
  }
  CentreSettings settings;
  settings.method = Method();
  settings.bootstrap = shapes_.bootstrap;
  if (centres_ == nullptr || centres_->Count() < kMinCentres) {
    // Too few centres, or none: the methods say why at once.
    try {
      result_ = std::make_unique<CentreStrainResult>(
          centres_ ? AnalyseCentres(*centres_, settings)
                   : Refused(settings.method, kNoMemory));
    } catch (const std::bad_alloc&) {
      result_ = std::make_unique<CentreStrainResult>(
          Refused(settings.method, kNoMemory));
    }
    ShowResult();
    emit ResultChanged();
    return;
  }

  if (!asked_) {
    plot_->Plot().Clear();
    plot_->PlotChanged();
    ShowMessage(QString("%1 markers: their centre-based strain takes a while "
                        "and much memory.")
                    .arg(centres_->Count()),
                false);
    compute_->show();
    FillTable();
    emit ResultChanged();
    return;
  }
  auto run = std::make_unique<Run>();
  run->centres = centres_;
  run->settings = settings;
  Run& added = runs_.Add(std::move(run));
  ShowResult();
  emit ResultChanged();
  runs_.Begin(added, [](Run& r) {
    try {
      r.result = AnalyseCentres(*r.centres, r.settings, &r.cancel);
    } catch (const std::bad_alloc&) {
      r.out_of_memory = true;
    }
  });
}

void CentresPage::onRunEnded(Run& run) {
  result_ = std::make_unique<CentreStrainResult>(
      run.out_of_memory ? Refused(run.settings.method, kNoMemory)
                        : std::move(run.result));
  cancelled_ =
      run.cancel.load() && result_->outcome == CentreLimitsOutcome::kNotRun;
  ShowResult();
  emit ResultChanged();
}

void CentresPage::ShowMessage(const QString& text, bool running) {
  message_->setText(text);
  progress_->setVisible(running);
  cancel_->setVisible(running);
  cancel_->setEnabled(running);
  compute_->hide();
  stack_->setCurrentIndex(1);
}

void CentresPage::ShowResult() {
  FryPlot& plot = plot_->Plot();
  agreement_->clear();
  warnings_->clear();
  warnings_->hide();
  if (!have_data_ || Running() || result_ == nullptr) {
    plot.Clear();
    ShowMessage(have_data_ ? kRunning : kNoData, Running());
  } else if (!result_->status.ok()) {
    plot.Clear();
    QString text = QString::fromStdString(result_->status.message());
    if (!HasCentres()) text += kWhereCentresComeFrom;
    ShowMessage(text, false);
  } else {
    try {
      plot.ShowCentres(*result_, shapes_.strain.ratio, shapes_.strain.phi,
                       shapes_.count > 0);
      stack_->setCurrentWidget(plot_);
    } catch (const std::bad_alloc&) {
      plot.Clear();
      ShowMessage(kNoMemoryToPlot, false);
    }
    agreement_->setText(QString::fromStdString(
        AgreementSentence(CompareEstimates(*result_, shapes_))));
    QStringList warnings;
    for (const std::string& w : result_->warnings) {
      warnings << QString::fromStdString(w);
    }
    if (!warnings.isEmpty()) {
      warnings_->setText(warnings.join('\n'));
      warnings_->show();
    }
  }
  plot_->PlotChanged();
  FillTable();
}

void CentresPage::FillTable() {
  const std::string sep = sep_.toStdString();
  auto strain = [&sep](long double v) {
    return QString::fromStdString(FormatStrain(v, sep));
  };
  QString centres[kRows];
  QString shapes[kRows];
  std::fill(std::begin(centres), std::end(centres), kNone);
  std::fill(std::begin(shapes), std::end(shapes), kNone);

  const CentreStrainResult* r = Result();
  if (have_data_ && Running()) {
    std::fill(std::begin(centres), std::end(centres), "…");
  } else if (have_data_ && r != nullptr && r->status.ok()) {
    centres[kRatioRow] = strain(r->estimate.ratio);
    centres[kPhiRow] = strain(r->estimate.phi);
    switch (r->outcome) {
      case CentreLimitsOutcome::kNotRun:
        centres[kRatioLimitsRow] = centres[kPhiLimitsRow] =
            cancelled_ ? "cancelled" : "not computed";
        break;
      case CentreLimitsOutcome::kSurroundsOrigin:
        centres[kRatioLimitsRow] = Range(r->ratio_min, r->ratio_max, sep);
        centres[kPhiLimitsRow] = "unbounded";
        break;
      case CentreLimitsOutcome::kLimits:
        centres[kRatioLimitsRow] = Range(r->ratio_min, r->ratio_max, sep);
        centres[kPhiLimitsRow] = Range(r->phi_min, r->phi_max, sep);
        break;
    }
    centres[kPairsRow] = QString::number(r->pairs);
  }
  if (have_data_) {
    shapes[kRatioRow] = strain(shapes_.strain.ratio);
    shapes[kPhiRow] = strain(shapes_.strain.phi);
    const ConfidenceLimits& l = shapes_.limits;
    switch (shapes_.outcome) {
      case ConfidenceOutcome::kNotRun:
        shapes[kRatioLimitsRow] = shapes[kPhiLimitsRow] = "not computed";
        break;
      case ConfidenceOutcome::kNullStrain:
        shapes[kRatioLimitsRow] = shapes[kPhiLimitsRow] = "null strain";
        break;
      case ConfidenceOutcome::kSurroundsOrigin:
        shapes[kRatioLimitsRow] = shapes[kPhiLimitsRow] = "surrounds R = 1";
        break;
      case ConfidenceOutcome::kLimits:
        shapes[kRatioLimitsRow] = Range(l.ratio_min, l.ratio_max, sep);
        shapes[kPhiLimitsRow] = Range(l.phi_min, l.phi_max, sep);
        break;
    }
  }

  // The headers on two lines, so that the side stays narrow.
  const char* method =
      kMethods[std::max(0, method_->currentIndex())].short_name;
  table_->setHorizontalHeaderLabels(
      {QString("Centres\n(%1)").arg(method), "Hyperbolic\nmean"});
  // Delaunay's neighbours are the triangulation's edges.
  table_->verticalHeaderItem(kPairsRow)->setText(
      Method() == CentreMethod::kDelaunay ? "Edges" : "Pairs");
  for (int row = 0; row < kRows; ++row) {
    for (const int column : {kCentresColumn, kShapesColumn}) {
      auto* item = new QTableWidgetItem(column == kCentresColumn ? centres[row]
                                                                 : shapes[row]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, column, item);
    }
  }
  // As large as its cells, the plot taking the rest; the sentence right
  // under it, as wide.
  table_->resizeRowsToContents();
  table_->resizeColumnsToContents();
  int height = table_->horizontalHeader()->sizeHint().height() +
               2 * table_->frameWidth();
  for (int row = 0; row < kRows; ++row) height += table_->rowHeight(row);
  table_->setFixedHeight(height);
  const int width = table_->verticalHeader()->sizeHint().width() +
                    table_->columnWidth(kCentresColumn) +
                    table_->columnWidth(kShapesColumn) +
                    2 * table_->frameWidth();
  table_->setFixedWidth(std::max(width, kLeastSideWidth));
  side_->setFixedWidth(table_->width() +
                       side_->verticalScrollBar()->sizeHint().width());
}

}  // namespace orvane

// SPDX-License-Identifier: MIT
#include "window/study_page.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <utility>

#include "core/number_format.h"
#include "open_steps.h"
#include "window/screen_fit.h"

namespace orvane {
namespace {

constexpr const char* kNoStudy =
    "No study: File \u25b8 Open Study... reads the sections of a sample.";
constexpr const char* kRunning = "Analysing the sections of the study…";
constexpr const char* kCancelled = "The analysis of the study was cancelled.";
constexpr const char* kNoMemory = "Not enough memory for the study's analysis.";
constexpr const char* kNone = "–";
// How often the progress bar reads how far the run is, milliseconds.
constexpr int kProgressPollMs = 100;

// The sections' table's columns.
enum SectionColumn {
  kNameColumn,
  kSourceColumn,
  kOrientationColumn,
  kCountColumn,
  kRatioColumn,
  kPhiColumn,
  kSectionColumns
};

// The ellipsoid's table's rows.
enum EllipsoidRow {
  kXRow,
  kYRow,
  kZRow,
  kXyRow,
  kYzRow,
  kXAxisRow,
  kYAxisRow,
  kZAxisRow,
  kKRow,
  kNuRow,
  kEpsRow,
  kIncompatibilityRow,
  kEllipsoidRows
};

QString Number(double v, const QString& sep) {
  return QString::fromStdString(FormatPlace(v, sep.toStdString()));
}

// A stretch, a ratio or a shape figure: three decimals; an infinite k
// (Y = Z) as the sign of infinity.
QString Figure(double v, const std::string& sep) {
  if (std::isinf(v)) return v > 0 ? "\u221e" : "\u2212\u221e";
  return QString::fromStdString(FormatStrain(v, sep));
}

QString Range(const Interval& interval, const std::string& sep) {
  auto end = [&sep](double v) {
    if (std::isinf(v)) return QString(v > 0 ? "\u221e" : "\u2212\u221e");
    return QString::fromStdString(FormatLimit(v, sep));
  };
  return end(interval.low) + " – " + end(interval.high);
}

// An axis as geologists write it: trend/plunge in whole tenths of a
// degree.
QString TrendPlunge(const EllipsoidAxis& axis, const std::string& sep) {
  return QString::fromStdString(FormatFixed(axis.trend, 5, 1, sep) + "/" +
                                FormatFixed(axis.plunge, 5, 1, sep));
}

bool IsTableFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "csv" || suffix == "tsv";
}

QString KindText(SourceChoices::Kind kind) {
  switch (kind) {
    case SourceChoices::Kind::kNative:
      return QString();
    case SourceChoices::Kind::kTable:
      return " (table)";
    case SourceChoices::Kind::kOutlines:
      return " (outlines)";
    case SourceChoices::Kind::kLabelImage:
      return " (label image)";
    case SourceChoices::Kind::kEllipsoids:
      return " (ellipsoids)";
  }
  return QString();
}

// The refusal of a section's name or plane, naming the section.
Status CheckSection(const QString& name,
                    const SectionOrientation& orientation) {
  if (name.trimmed().isEmpty()) {
    return Status(StatusCode::kInvalidSettings, "A section needs a name.");
  }
  SectionPlane plane;
  const Status status = PlaneOf(orientation, plane);
  if (status.ok()) return status;
  return Status(StatusCode::kInvalidSettings,
                "Section \"" + name.toStdString() + "\": " + status.message());
}

QTableWidgetItem* Cell(const QString& text, bool number) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

// A section's name and the plane it was cut in, in either form; OK checks
// them as the study does (PlaneOf) and names the section in its refusal.
class SectionDialog : public QDialog {
 public:
  SectionDialog(const QString& title, const QString& name,
                const SectionOrientation& orientation, QWidget* parent)
      : QDialog(parent) {
    setObjectName("sectionDialog");
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = new QLineEdit(name, this);
    name_->setObjectName("sectionName");
    form->addRow("&Name:", name_);
    layout->addLayout(form);

    vector_ = new QRadioButton("&Normal and reference line", this);
    vector_->setObjectName("vectorForm");
    vector_->setToolTip(
        "The pole of the plane, pointing at the viewer, and the line in the "
        "plane that \u03c6 is measured from (x east, y north, z up)");
    geological_ = new QRadioButton("&Strike, dip and rake", this);
    geological_->setObjectName("geologicalForm");
    geological_->setToolTip(
        "Right-hand rule: the dip to the right of the strike; the rake of the "
        "line \u03c6 is measured from, from the strike towards the dip");
    auto* forms = new QButtonGroup(this);
    forms->addButton(vector_);
    forms->addButton(geological_);

    auto* vectors = new QGridLayout;
    const char* axes[] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
      auto* head = new QLabel(QString(axes[i]).toLower(), this);
      head->setAlignment(Qt::AlignCenter);
      vectors->addWidget(head, 0, i + 1);
      normal_[i] = Spin(QString("normal") + axes[i], -1e6, 1e6, 6,
                        orientation.normal[static_cast<std::size_t>(i)]);
      reference_[i] = Spin(QString("reference") + axes[i], -1e6, 1e6, 6,
                           orientation.reference[static_cast<std::size_t>(i)]);
      vectors->addWidget(normal_[i], 1, i + 1);
      vectors->addWidget(reference_[i], 2, i + 1);
    }
    vectors->addWidget(new QLabel("Normal:", this), 1, 0);
    vectors->addWidget(new QLabel("Reference:", this), 2, 0);
    auto* angles = new QFormLayout;
    strike_ = Spin("strike", -360, 360, 3, orientation.strike);
    dip_ = Spin("dip", 0, 90, 3, orientation.dip);
    rake_ = Spin("rake", -360, 360, 3, orientation.reference_rake);
    angles->addRow("Strike (\u00b0):", strike_);
    angles->addRow("Dip (\u00b0):", dip_);
    angles->addRow("Rake of the reference (\u00b0):", rake_);

    layout->addWidget(vector_);
    layout->addLayout(vectors);
    layout->addWidget(geological_);
    layout->addLayout(angles);
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    (orientation.geological ? geological_ : vector_)->setChecked(true);
    connect(vector_, &QRadioButton::toggled, this, [this] { Enable(); });
    Enable();
    FitToScreen(this);
  }

  QString Name() const { return name_->text().trimmed(); }
  SectionOrientation Orientation() const {
    SectionOrientation o;
    o.geological = geological_->isChecked();
    for (std::size_t i = 0; i < 3; ++i) {
      o.normal[i] = normal_[i]->value();
      o.reference[i] = reference_[i]->value();
    }
    o.strike = strike_->value();
    o.dip = dip_->value();
    o.reference_rake = rake_->value();
    return o;
  }

  // Stays open on a refusal, which a message box names.
  void accept() override {
    const Status status = CheckSection(Name(), Orientation());
    if (!status.ok()) {
      QMessageBox box(QMessageBox::Warning, kTitle,
                      QString::fromStdString(status.message()), QMessageBox::Ok,
                      this);
      box.exec();
      return;
    }
    QDialog::accept();
  }

 private:
  QDoubleSpinBox* Spin(const QString& name, double low, double high,
                       int decimals, double value) {
    auto* spin = new QDoubleSpinBox(this);
    spin->setObjectName(name);
    spin->setRange(low, high);
    spin->setDecimals(decimals);
    spin->setValue(value);
    return spin;
  }
  void Enable() {
    const bool vectors = vector_->isChecked();
    for (int i = 0; i < 3; ++i) {
      normal_[i]->setEnabled(vectors);
      reference_[i]->setEnabled(vectors);
    }
    strike_->setEnabled(!vectors);
    dip_->setEnabled(!vectors);
    rake_->setEnabled(!vectors);
  }

  QLineEdit* name_ = nullptr;
  QRadioButton* vector_ = nullptr;
  QRadioButton* geological_ = nullptr;
  QDoubleSpinBox* normal_[3] = {};
  QDoubleSpinBox* reference_[3] = {};
  QDoubleSpinBox* strike_ = nullptr;
  QDoubleSpinBox* dip_ = nullptr;
  QDoubleSpinBox* rake_ = nullptr;
};

}  // namespace

QString OrientationText(const SectionOrientation& o, const QString& sep) {
  // A decimal comma would read as the components' separator.
  const QString between = sep == "," ? "; " : ", ";
  auto vector = [&sep, &between](const Vector3& v) {
    return "(" + Number(v[0], sep) + between + Number(v[1], sep) + between +
           Number(v[2], sep) + ")";
  };
  if (o.geological) {
    return QString("strike/dip %1/%2, rake %3")
        .arg(Number(o.strike, sep), Number(o.dip, sep),
             Number(o.reference_rake, sep));
  }
  return QString("normal %1, reference %2")
      .arg(vector(o.normal), vector(o.reference));
}

// One analysis of the study on a thread of its own. The thread reads the
// study and the settings and writes `result`; the window's thread reads the
// result only after it has joined the thread.
struct StudyPage::Run {
  Study study;
  std::string path;
  BootstrapSettings bootstrap;
  std::string sep;
  StageProgress progress;
  bool out_of_memory = false;
  StudyResult result;

  // Asks the analysis to stop: the study comes back cancelled.
  void Stop() { progress.Cancel(); }
};

FlinnPlotWidget::FlinnPlotWidget(QWidget* parent) : PlotWidget(parent) {
  setObjectName("flinnPlot");
  SetPlot(&plot_);
}

HsuPlotWidget::HsuPlotWidget(QWidget* parent) : PlotWidget(parent) {
  setObjectName("hsuPlot");
  SetPlot(&plot_);
}

AxesPlotWidget::AxesPlotWidget(QWidget* parent) : PlotWidget(parent) {
  setObjectName("axesPlot");
  SetPlot(&plot_);
}

StudyPage::StudyPage(QWidget* parent)
    : QWidget(parent), runs_(this, [this](Run& run) { onRunEnded(run); }) {
  setObjectName("studyPage");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);

  auto* top = new QHBoxLayout;
  title_ = new QLabel(this);
  title_->setObjectName("studyTitle");
  title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(title_, 1);
  add_ = new QPushButton("&Add Section...", this);
  add_->setObjectName("addSectionButton");
  add_->setToolTip("Add a section: its data file or table, its plane");
  edit_ = new QPushButton("&Edit Section...", this);
  edit_->setObjectName("editSectionButton");
  edit_->setToolTip("The chosen section's name and plane");
  remove_ = new QPushButton("&Remove Section", this);
  remove_->setObjectName("removeSectionButton");
  remove_->setToolTip("Take the chosen section out of the study");
  show_ = new QPushButton("S&how Section", this);
  show_->setObjectName("showSectionButton");
  show_->setToolTip(
      "Open the chosen section's data in the window, with the bootstrap "
      "stream of its place in the study (as a double click does)");
  for (QPushButton* b : {add_, edit_, remove_, show_}) top->addWidget(b);
  layout->addLayout(top);

  // The sections over the ellipsoid on the left, the plots on the right;
  // the user moves the borders.
  auto* across = new QSplitter(Qt::Horizontal, this);
  across->setChildrenCollapsible(false);
  auto* left = new QSplitter(Qt::Vertical, across);
  left->setChildrenCollapsible(false);

  sections_ = new QTableWidget(0, kSectionColumns, left);
  sections_->setObjectName("studySections");
  sections_->setHorizontalHeaderLabels({"Section", "Source", "Orientation", "n",
                                        "R", QString::fromUtf8("\u03c6")});
  // The orientation takes the width to spare, the figures keep theirs.
  sections_->horizontalHeader()->setSectionResizeMode(
      QHeaderView::ResizeToContents);
  sections_->horizontalHeader()->setSectionResizeMode(kOrientationColumn,
                                                      QHeaderView::Stretch);
  sections_->verticalHeader()->hide();
  sections_->setSelectionBehavior(QAbstractItemView::SelectRows);
  sections_->setSelectionMode(QAbstractItemView::SingleSelection);
  sections_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  sections_->setWordWrap(false);
  sections_->setAcceptDrops(false);
  sections_->setToolTip(
      "The sections of the study and the hyperbolic vector mean of each; a "
      "double click opens a section's data in the window");

  auto* figures = new QWidget(left);
  auto* figures_layout = new QVBoxLayout(figures);
  figures_layout->setContentsMargins(0, 0, 0, 0);
  figures_layout->setSpacing(2);
  auto* busy = new QHBoxLayout;
  message_ = new QLabel(kNoStudy, figures);
  message_->setObjectName("studyMessage");
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  progress_ = new QProgressBar(figures);
  progress_->setObjectName("studyProgress");
  progress_->setRange(0, 0);
  progress_->setTextVisible(false);
  cancel_ = new QPushButton("Cancel", figures);
  cancel_->setObjectName("studyCancel");
  cancel_->setToolTip("Stop the analysis of the study");
  busy->addWidget(message_, 1);
  busy->addWidget(progress_, 1);
  busy->addWidget(cancel_);
  figures_layout->addLayout(busy);
  ellipsoid_ = new QTableWidget(kEllipsoidRows, 2, figures);
  ellipsoid_->setObjectName("ellipsoidTable");
  ellipsoid_->setHorizontalHeaderLabels({"Estimate", "95 % limits"});
  ellipsoid_->setVerticalHeaderLabels(
      {"X", "Y", "Z", "X/Y", "Y/Z", "X axis", "Y axis", "Z axis", "k",
       QString::fromUtf8("\u03bd"), QString::fromUtf8("\u03b5\u209b"),
       "Incompatibility"});
  ellipsoid_->horizontalHeader()->setSectionResizeMode(
      QHeaderView::ResizeToContents);
  ellipsoid_->verticalHeader()->setSectionResizeMode(
      QHeaderView::ResizeToContents);
  ellipsoid_->setWordWrap(false);
  ellipsoid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ellipsoid_->setSelectionMode(QAbstractItemView::NoSelection);
  ellipsoid_->setFocusPolicy(Qt::NoFocus);
  ellipsoid_->setAcceptDrops(false);
  ellipsoid_->setToolTip(
      "The strain ellipsoid fitted to the sections: the principal stretches "
      "X \u2265 Y \u2265 Z (XYZ = 1), the axial ratios, each axis' trend/"
      "plunge (its limit: the cone about it that holds 95 % of the "
      "resamples' axes), Flinn's k, Lode's \u03bd, the octahedral shear "
      "strain and how far the sections disagree (0: cut from one "
      "ellipsoid)");
  figures_layout->addWidget(ellipsoid_, 1);
  report_ = new QPlainTextEdit(left);
  report_->setObjectName("studyReport");
  report_->setReadOnly(true);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  report_->setAcceptDrops(false);
  left->addWidget(sections_);
  left->addWidget(figures);
  left->addWidget(report_);
  left->setStretchFactor(0, 2);
  left->setStretchFactor(1, 3);
  left->setStretchFactor(2, 1);

  plots_ = new QTabWidget(across);
  plots_->setObjectName("studyPlots");
  plots_->setDocumentMode(true);
  flinn_ = new FlinnPlotWidget(plots_);
  hsu_ = new HsuPlotWidget(plots_);
  axes_ = new AxesPlotWidget(plots_);
  plots_->addTab(flinn_, "Flinn");
  plots_->addTab(hsu_, "Hsu");
  plots_->addTab(axes_, "Axes");
  across->addWidget(left);
  across->addWidget(plots_);
  across->setStretchFactor(0, 1);
  across->setStretchFactor(1, 1);
  layout->addWidget(across, 1);

  file_dialog_ = new QFileDialog(this, "Add section");
  file_dialog_->setObjectName("sectionFileDialog");
  file_dialog_->setOption(QFileDialog::DontUseNativeDialog);
  file_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  file_dialog_->setFileMode(QFileDialog::ExistingFile);
  file_dialog_->setNameFilters(
      {"Data files and tables (*.txt *.csv *.tsv)", "All files (*)"});
  FitToScreen(file_dialog_);

  progress_timer_ = new QTimer(this);
  progress_timer_->setInterval(kProgressPollMs);
  connect(progress_timer_, &QTimer::timeout, this, [this] {
    const Run* run = runs_.Newest();
    if (run == nullptr) return;
    const double f = run->progress.Fraction();
    if (f < 0) {
      progress_->setRange(0, 0);
    } else {
      progress_->setRange(0, 1000);
      progress_->setValue(static_cast<int>(std::clamp(f, 0.0, 1.0) * 1000));
    }
  });

  connect(add_, &QPushButton::clicked, this, &StudyPage::onAddSection);
  connect(edit_, &QPushButton::clicked, this, &StudyPage::onEditSection);
  connect(remove_, &QPushButton::clicked, this, &StudyPage::onRemoveSection);
  connect(show_, &QPushButton::clicked, this, &StudyPage::onShowSection);
  connect(cancel_, &QPushButton::clicked, this, &StudyPage::onCancel);
  connect(sections_, &QTableWidget::cellDoubleClicked, this,
          [this](int row) { emit ShowSectionRequested(row); });
  connect(sections_, &QTableWidget::itemSelectionChanged, this,
          [this] { UpdateButtons(); });
  for (PlotWidget* plot :
       {static_cast<PlotWidget*>(flinn_), static_cast<PlotWidget*>(hsu_),
        static_cast<PlotWidget*>(axes_)}) {
    connect(plot, &PlotWidget::MouseReleased, this,
            [this, plot](Qt::MouseButton button, QPoint position) {
              if (button == Qt::RightButton) {
                emit ContextMenuRequested(plot->mapToGlobal(position));
              }
            });
  }
  UpdateTitle();
  ShowResult();
}

StudyPage::~StudyPage() {
  // Every run stops and is waited for here, while the page it reports to
  // still stands.
  runs_.StopAndWait();
}

void StudyPage::SetStudy(const Study& study, const QString& path) {
  study_ = study;
  path_ = path;
  added_.assign(study_.sections.size(), false);
  has_study_ = true;
  modified_ = false;
  analysed_with_ = bootstrap_;
  sections_->clearSelection();
  sections_->setCurrentCell(-1, -1);
  UpdateTitle();
  emit StudyChanged();
  Start();
}

Study StudyPage::StudyToSave(const QString& path) const {
  Study out = study_;
  const QDir to = QFileInfo(path).absoluteDir();
  const bool same_folder =
      !path_.isEmpty() &&
      QFileInfo(path_).absoluteDir().absolutePath() == to.absolutePath();
  for (std::size_t i = 0; i < out.sections.size(); ++i) {
    StudySection& s = out.sections[i];
    const QString given = QString::fromStdString(s.source);
    // The file's own paths stay as written where they still hold.
    if (!added_[i] && (QDir::isAbsolutePath(given) || same_folder)) continue;
    const QString full = SectionSourcePath(static_cast<int>(i));
    s.source = QDir::cleanPath(to.relativeFilePath(full)).toStdString();
  }
  return out;
}

void StudyPage::Saved(const Study& saved, const QString& path) {
  study_ = saved;
  path_ = path;
  added_.assign(study_.sections.size(), false);
  modified_ = false;
  UpdateTitle();
  FillSections();
  emit StudyChanged();
}

void StudyPage::SetBootstrap(const BootstrapSettings& settings) {
  bootstrap_ = settings;
  if (has_study_ && settings != analysed_with_) {
    analysed_with_ = settings;
    Start();
  }
}

void StudyPage::SetDecimalSeparator(const QString& sep) {
  sep_ = sep;
  const std::string s = sep.toStdString();
  flinn_->Plot().SetDecimalSeparator(s);
  hsu_->Plot().SetDecimalSeparator(s);
  axes_->Plot().SetDecimalSeparator(s);
  ShowResult();
}

void StudyPage::AddSection(const QString& path, const QString& name,
                           const SectionOrientation& orientation) {
  StudySection section;
  section.name = name.toStdString();
  section.source = QFileInfo(path).absoluteFilePath().toStdString();
  section.choices.kind = IsTableFile(path) ? SourceChoices::Kind::kTable
                                           : SourceChoices::Kind::kNative;
  section.orientation = orientation;
  study_.sections.push_back(std::move(section));
  added_.push_back(true);
  Edited();
  sections_->selectRow(static_cast<int>(study_.sections.size()) - 1);
}

Status StudyPage::SetSection(int index, const QString& name,
                             const SectionOrientation& orientation) {
  if (index < 0 || index >= static_cast<int>(study_.sections.size())) {
    return Status(StatusCode::kInvalidSettings, "No such section.");
  }
  const Status status = CheckSection(name, orientation);
  if (!status.ok()) return status;
  StudySection& section = study_.sections[static_cast<std::size_t>(index)];
  section.name = name.trimmed().toStdString();
  section.orientation = orientation;
  Edited();
  return status;
}

void StudyPage::RemoveSection(int index) {
  if (index < 0 || index >= static_cast<int>(study_.sections.size())) return;
  study_.sections.erase(study_.sections.begin() + index);
  added_.erase(added_.begin() + index);
  sections_->clearSelection();
  Edited();
}

int StudyPage::CurrentSection() const {
  const QList<QTableWidgetItem*> chosen = sections_->selectedItems();
  return chosen.isEmpty() ? -1 : chosen.first()->row();
}

QString StudyPage::SectionSourcePath(int index) const {
  if (index < 0 || index >= static_cast<int>(study_.sections.size())) {
    return QString();
  }
  return QString::fromStdString(
      SectionPath(path_.toStdString(),
                  study_.sections[static_cast<std::size_t>(index)].source));
}

const StudyResult* StudyPage::Result() const {
  return Running() ? nullptr : result_.get();
}

PlotWidget* StudyPage::ShownPlotWidget() const {
  return static_cast<PlotWidget*>(plots_->currentWidget());
}

const PlotSource& StudyPage::ShownPlot() const {
  if (plots_->currentWidget() == hsu_) return hsu_->Plot();
  if (plots_->currentWidget() == axes_) return axes_->Plot();
  return flinn_->Plot();
}

const FlinnPlot& StudyPage::Flinn() const {
  return flinn_->Plot();
}
const HsuPlot& StudyPage::Hsu() const {
  return hsu_->Plot();
}
const AxesPlot& StudyPage::Axes() const {
  return axes_->Plot();
}

void StudyPage::onCancel() {
  Run* run = runs_.Newest();
  if (run == nullptr) return;
  run->Stop();
  cancel_->setEnabled(false);
  message_->setText("Cancelling…");
}

void StudyPage::onAddSection() {
  if (!has_study_) return;
  if (!path_.isEmpty()) {
    file_dialog_->setDirectory(QFileInfo(path_).absolutePath());
  }
  if (file_dialog_->exec() != QDialog::Accepted ||
      file_dialog_->selectedFiles().isEmpty()) {
    return;
  }
  const QString path = file_dialog_->selectedFiles().first();
  QString name = QFileInfo(path).completeBaseName();
  SectionOrientation orientation;
  if (!AskSection(-1, path, name, orientation)) return;
  AddSection(path, name, orientation);
}

void StudyPage::onEditSection() {
  const int index = CurrentSection();
  if (index < 0) return;
  const StudySection& section =
      study_.sections[static_cast<std::size_t>(index)];
  QString name = QString::fromStdString(section.name);
  SectionOrientation orientation = section.orientation;
  if (!AskSection(index, QString(), name, orientation)) return;
  SetSection(index, name, orientation);
  sections_->selectRow(index);
}

void StudyPage::onRemoveSection() {
  RemoveSection(CurrentSection());
}

void StudyPage::onShowSection() {
  const int index = CurrentSection();
  if (index >= 0) emit ShowSectionRequested(index);
}

bool StudyPage::AskSection(int index, const QString& path, QString& name,
                           SectionOrientation& orientation) {
  const QString title =
      index < 0 ? QString("New section of %1").arg(QFileInfo(path).fileName())
                : QString("Section %1").arg(name);
  SectionDialog dialog(title, name, orientation, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  name = dialog.Name();
  orientation = dialog.Orientation();
  return true;
}

void StudyPage::Edited() {
  modified_ = true;
  UpdateTitle();
  emit StudyChanged();
  Start();
}

void StudyPage::Start() {
  // The runs under way are of an older study: they stop, and their results
  // are dropped when they end.
  runs_.StopAll();
  cancelled_ = false;
  failure_.clear();
  result_.reset();
  if (!has_study_) {
    ShowResult();
    emit ResultChanged();
    return;
  }
  auto run = std::make_unique<Run>();
  run->study = study_;
  run->path = path_.toStdString();
  run->bootstrap = analysed_with_;
  run->sep = sep_.toStdString();
  Run& added = runs_.Add(std::move(run));
  ShowResult();
  emit ResultChanged();
  runs_.Begin(added, [](Run& r) {
    try {
      r.result = AnalyseStudy(r.study, r.path, r.bootstrap, r.sep, &r.progress);
    } catch (const std::bad_alloc&) {
      r.out_of_memory = true;
    }
  });
}

void StudyPage::onRunEnded(Run& run) {
  cancelled_ = run.progress.Cancelled();
  if (run.out_of_memory) {
    failure_ = kNoMemory;
  } else {
    result_ = std::make_unique<StudyResult>(std::move(run.result));
  }
  ShowResult();
  emit ResultChanged();
}

void StudyPage::ShowResult() {
  const bool busy = has_study_ && Running();
  progress_->setVisible(busy);
  cancel_->setVisible(busy);
  cancel_->setEnabled(busy);
  if (busy) {
    progress_->setRange(0, 0);
    progress_timer_->start();
  } else {
    progress_timer_->stop();
  }

  const StudyResult* r = Result();
  QString message;
  QStringList report;
  bool fitted = false;
  if (!has_study_) {
    message = kNoStudy;
  } else if (busy) {
    message = kRunning;
  } else if (r == nullptr) {
    message = failure_.isEmpty() ? QString(kNoMemory) : failure_;
  } else if (!r->status.ok()) {
    message = cancelled_ && r->status.code() == StatusCode::kCancelled
                  ? QString(kCancelled)
                  : QString::fromStdString(r->status.message());
  } else if (!r->ellipsoid.status.ok()) {
    message = QString::fromStdString(r->ellipsoid.status.message());
  } else {
    fitted = true;
  }
  if (r != nullptr && r->status.ok()) {
    for (const std::string& line :
         EllipsoidReportLines(r->ellipsoid, sep_.toStdString())) {
      report << QString::fromStdString(line);
    }
  }
  if (r != nullptr) {
    for (const SectionResult& section : r->sections) {
      if (!section.notice.empty()) {
        report << QString("Section \"%1\": %2")
                      .arg(QString::fromStdString(section.name),
                           QString::fromStdString(section.notice));
      }
    }
  }
  message_->setText(message);
  message_->setVisible(!message.isEmpty());
  // A refusal is read at once: in the warning colour.
  message_->setStyleSheet(!busy && has_study_ && !fitted ? "color: #C00000;"
                                                         : QString());
  report_->setPlainText(report.join('\n'));

  if (fitted) {
    try {
      flinn_->Plot().ShowEllipsoid(r->ellipsoid);
      hsu_->Plot().ShowEllipsoid(r->ellipsoid);
      axes_->Plot().ShowEllipsoid(r->ellipsoid);
    } catch (const std::bad_alloc&) {
      fitted = false;
      message_->setText(kNoMemory);
      message_->show();
    }
  }
  if (!fitted) {
    flinn_->Plot().Clear();
    hsu_->Plot().Clear();
    axes_->Plot().Clear();
  }
  flinn_->PlotChanged();
  hsu_->PlotChanged();
  axes_->PlotChanged();
  FillSections();
  FillEllipsoid();
}

void StudyPage::FillSections() {
  const int chosen = CurrentSection();
  const std::string sep = sep_.toStdString();
  const StudyResult* r = Result();
  const QString folder =
      path_.isEmpty() ? QString() : QFileInfo(path_).absolutePath();
  const int rows = static_cast<int>(study_.sections.size());
  sections_->setRowCount(has_study_ ? rows : 0);
  for (int row = 0; row < sections_->rowCount(); ++row) {
    const auto i = static_cast<std::size_t>(row);
    const StudySection& s = study_.sections[i];
    // Sources added here show as the save will write them.
    QString source = QString::fromStdString(s.source);
    if (added_[i] && !folder.isEmpty()) {
      source = QDir(folder).relativeFilePath(source);
    }
    auto* name = Cell(QString::fromStdString(s.name), false);
    auto* source_cell = Cell(source + KindText(s.choices.kind), false);
    source_cell->setToolTip(SectionSourcePath(row));
    QString count = kNone, ratio = kNone, phi = kNone;
    if (Running()) {
      count = ratio = phi = "…";
    } else if (r != nullptr && i < r->sections.size()) {
      const SectionResult& done = r->sections[i];
      if (done.status.ok() && done.state.count > 0) {
        count = QString::number(done.state.count);
        ratio =
            QString::fromStdString(FormatStrain(done.state.strain.ratio, sep));
        phi = QString::fromStdString(FormatStrain(done.state.strain.phi, sep));
      } else if (!done.status.ok()) {
        // The refused section in the warning colour, its reason at hand.
        name->setForeground(QColor(0xC0, 0, 0));
        name->setToolTip(QString::fromStdString(done.status.message()));
      }
    }
    sections_->setItem(row, kNameColumn, name);
    sections_->setItem(row, kSourceColumn, source_cell);
    sections_->setItem(row, kOrientationColumn,
                       Cell(OrientationText(s.orientation, sep_), false));
    sections_->setItem(row, kCountColumn, Cell(count, true));
    sections_->setItem(row, kRatioColumn, Cell(ratio, true));
    sections_->setItem(row, kPhiColumn, Cell(phi, true));
  }
  if (chosen >= 0 && chosen < sections_->rowCount()) {
    sections_->selectRow(chosen);
  }
  UpdateButtons();
}

void StudyPage::FillEllipsoid() {
  const std::string sep = sep_.toStdString();
  QString estimate[kEllipsoidRows];
  QString limits[kEllipsoidRows];
  const StudyResult* r = Result();
  const bool busy = has_study_ && Running();
  std::fill(std::begin(estimate), std::end(estimate), busy ? "…" : kNone);
  std::fill(std::begin(limits), std::end(limits), busy ? "…" : kNone);
  if (r != nullptr && r->status.ok() && r->ellipsoid.status.ok()) {
    const EllipsoidResult& e = r->ellipsoid;
    const Ellipsoid& fit = e.estimate;
    estimate[kXRow] = Figure(fit.x, sep);
    estimate[kYRow] = Figure(fit.y, sep);
    estimate[kZRow] = Figure(fit.z, sep);
    estimate[kXyRow] = Figure(fit.x / fit.y, sep);
    estimate[kYzRow] = Figure(fit.y / fit.z, sep);
    for (int axis = 0; axis < 3; ++axis) {
      estimate[kXAxisRow + axis] =
          TrendPlunge(fit.axes[static_cast<std::size_t>(axis)], sep);
    }
    estimate[kKRow] = Figure(fit.k, sep);
    if (fit.nu) estimate[kNuRow] = Figure(*fit.nu, sep);
    estimate[kEpsRow] = Figure(fit.eps_s, sep);
    estimate[kIncompatibilityRow] = Figure(fit.incompatibility, sep);
    if (e.has_limits) {
      limits[kXyRow] = Range(e.xy, sep);
      limits[kYzRow] = Range(e.yz, sep);
      for (int axis = 0; axis < 3; ++axis) {
        limits[kXAxisRow + axis] =
            QString::fromStdString(
                "cone " + FormatFixed(e.cones[static_cast<std::size_t>(axis)],
                                      5, 1, sep)) +
            "\u00b0";
      }
      limits[kKRow] = Range(e.k, sep);
      if (fit.nu) limits[kNuRow] = Range(e.nu, sep);
      limits[kEpsRow] = Range(e.eps_s, sep);
    } else {
      for (QString& l : limits) l = "not computed";
      for (const int row : {kXRow, kYRow, kZRow, kIncompatibilityRow}) {
        limits[row] = kNone;
      }
    }
  }
  for (int row = 0; row < kEllipsoidRows; ++row) {
    ellipsoid_->setItem(row, 0, Cell(estimate[row], true));
    ellipsoid_->setItem(row, 1, Cell(limits[row], true));
  }
}

void StudyPage::UpdateTitle() {
  if (!has_study_) {
    title_->setText("No study");
    return;
  }
  const QString name = study_.name.empty()
                           ? QString("Unnamed study")
                           : QString("Study \u201c%1\u201d")
                                 .arg(QString::fromStdString(study_.name));
  const QString where =
      path_.isEmpty() ? QString("not saved") : QDir::toNativeSeparators(path_);
  title_->setText(QString("%1 \u2014 %2%3")
                      .arg(name, where, modified_ ? " (modified)" : ""));
}

void StudyPage::UpdateButtons() {
  const bool chosen = has_study_ && CurrentSection() >= 0;
  add_->setEnabled(has_study_);
  edit_->setEnabled(chosen);
  remove_->setEnabled(chosen);
  show_->setEnabled(chosen);
}

}  // namespace orvane

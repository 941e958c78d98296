// SPDX-License-Identifier: MIT
#include "window/figure_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "io/text_file.h"
#include "render/plot_render.h"
#include "window/screen_fit.h"
#include "window/text_save.h"

namespace orvane {

namespace {

constexpr int kPreviewWidth = 480;
constexpr int kPreviewHeight = 300;
constexpr const char* kFigureSettingsKey = "figureSettings";

}  // namespace

FigureSettings LoadFigureSettings() {
  const std::string text =
      QSettings().value(kFigureSettingsKey).toString().toStdString();
  FigureSettings read;
  if (!ParseFigureSettings(text, read).ok()) return FigureSettings{};
  read.projection.reset();
  return read;
}

void StoreFigureSettings(const FigureSettings& settings) {
  FigureSettings kept = settings;
  kept.projection.reset();
  QSettings stored;
  if (kept == FigureSettings{}) {
    stored.remove(kFigureSettingsKey);
  } else {
    stored.setValue(kFigureSettingsKey,
                    QString::fromStdString(FigureSettingsText(kept)));
  }
}

FigureDialog::FigureDialog(const EqualAreaChart& chart, const QString& caption,
                           const FigureSettings& settings, QWidget* parent)
    : QDialog(parent),
      own_plot_(std::make_unique<ModelPicture>(chart)),
      plot_(*own_plot_),
      caption_(caption) {
  Build(settings);
}

FigureDialog::FigureDialog(const PlotPicture& plot, const QString& caption,
                           const FigureSettings& settings, QWidget* parent)
    : QDialog(parent), plot_(plot), caption_(caption) {
  Build(settings);
}

void FigureDialog::Build(const FigureSettings& settings) {
  setObjectName("figureDialog");
  setWindowTitle("Export Figure");

  width_ = new QDoubleSpinBox(this);
  width_->setObjectName("figureWidth");
  height_ = new QDoubleSpinBox(this);
  height_->setObjectName("figureHeight");
  for (QDoubleSpinBox* box : {width_, height_}) {
    box->setRange(kMinFigureSideMm, kMaxFigureSideMm);
    box->setDecimals(1);
    box->setSuffix(" mm");
  }
  dpi_ = new QSpinBox(this);
  dpi_->setObjectName("figureDpi");
  dpi_->setRange(kMinFigureDpi, kMaxFigureDpi);
  dpi_->setSuffix(" dpi");
  // Text, markers and lines in points, whatever the size and resolution.
  auto points = [this](const char* name, double least, double most, double step,
                       int decimals) {
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(name);
    box->setRange(least, most);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setSuffix(" pt");
    return box;
  };
  font_ = points("figureFontSize", kMinFontPt, kMaxFontPt, 0.5, 1);
  font_->setToolTip(
      "Labels and caption; ticks, axis titles and legend a point less");
  marker_ = points("figureMarkerSize", kMinMarkerPt, kMaxMarkerPt, 0.5, 1);
  marker_->setToolTip("The data's markers across; the others in proportion");
  line_ = points("figureLineWidth", kMinLinePt, kMaxLinePt, 0.05, 2);
  line_->setToolTip(
      "Circles, curves and grid lines; frames and ticks half as wide again");
  style_ =
      new QCheckBox("Figure style: plain legend, labelled iso-R circles", this);
  style_->setObjectName("figureStyle");
  palette_ = new QComboBox(this);
  palette_->setObjectName("figurePalette");
  palette_->addItem("Standard", static_cast<int>(ChartPalette::kStandard));
  palette_->addItem("Colour-blind safe (Okabe-Ito)",
                    static_cast<int>(ChartPalette::kColourBlind));
  caption_box_ = new QCheckBox(
      "Caption: N, R\u209B and \u03C6\u209B with their limits", this);
  caption_box_->setObjectName("figureCaption");
  cloud_ = new QComboBox(this);
  cloud_->setObjectName("figureCloud");
  cloud_->addItem("Below the data", static_cast<int>(CloudDrawing::kBelow));
  cloud_->addItem("Above the data", static_cast<int>(CloudDrawing::kAbove));
  cloud_->addItem("Outline of the region",
                  static_cast<int>(CloudDrawing::kOutline));
  legend_ = new QComboBox(this);
  legend_->setObjectName("figureLegend");
  legend_->addItem("Beside the plot",
                   static_cast<int>(LegendPlacement::kOutside));
  legend_->addItem("Inside, where the fewest data are",
                   static_cast<int>(LegendPlacement::kInside));
  legend_->addItem("None", static_cast<int>(LegendPlacement::kNone));

  auto* size_row = new QHBoxLayout;
  size_row->addWidget(width_);
  size_row->addWidget(new QLabel("x", this));
  size_row->addWidget(height_);
  auto* form = new QFormLayout;
  form->addRow("Size:", size_row);
  form->addRow("Raster resolution:", dpi_);
  auto* sizes_row = new QHBoxLayout;
  sizes_row->addWidget(new QLabel("Text", this));
  sizes_row->addWidget(font_);
  sizes_row->addWidget(new QLabel("Markers", this));
  sizes_row->addWidget(marker_);
  sizes_row->addWidget(new QLabel("Lines", this));
  sizes_row->addWidget(line_);
  form->addRow("Sizes:", sizes_row);
  form->addRow("Palette:", palette_);
  form->addRow("Bootstrap solutions:", cloud_);
  form->addRow("Legend:", legend_);
  form->addRow(style_);
  form->addRow(caption_box_);
  pixels_ = new QLabel(this);
  pixels_->setObjectName("figurePixels");
  form->addRow(pixels_);
  // What the figure leaves out or moves to keep its plot large enough.
  notes_ = new QLabel(this);
  notes_->setObjectName("figureNotes");
  notes_->setWordWrap(true);
  form->addRow(notes_);
  panels_box_ = new QCheckBox(
      "Panels: the chart and the Rf/\u03C6 plot side by side, (a) and (b)",
      this);
  panels_box_->setObjectName("figurePanels");
  panels_box_->setVisible(false);
  form->addRow(panels_box_);

  preview_label_ = new QLabel(this);
  preview_label_->setObjectName("figurePreview");
  preview_label_->setFixedSize(kPreviewWidth, kPreviewHeight);
  preview_label_->setAlignment(Qt::AlignCenter);
  preview_label_->setFrameShape(QFrame::StyledPanel);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* load =
      buttons->addButton("Load Settings...", QDialogButtonBox::ActionRole);
  load->setObjectName("figureLoadSettings");
  QPushButton* save =
      buttons->addButton("Save Settings...", QDialogButtonBox::ActionRole);
  save->setObjectName("figureSaveSettings");
  QPushButton* exp =
      buttons->addButton("Export...", QDialogButtonBox::AcceptRole);
  exp->setObjectName("figureExport");
  exp->setDefault(true);
  buttons->addButton(QDialogButtonBox::Cancel);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addLayout(form);
  top->addWidget(preview_label_);
  layout->addLayout(top);
  layout->addWidget(buttons);

  // The preview is drawn once the changes of a typed number settle.
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  timer_->setInterval(60);
  connect(timer_, &QTimer::timeout, this, &FigureDialog::UpdatePreviewNow);

  SetSettings(settings);
  for (QDoubleSpinBox* box : {width_, height_, font_, marker_, line_}) {
    connect(box, &QDoubleSpinBox::valueChanged, this, &FigureDialog::onChanged);
  }
  connect(dpi_, &QSpinBox::valueChanged, this, &FigureDialog::onChanged);
  for (QCheckBox* box : {style_, caption_box_, panels_box_}) {
    connect(box, &QCheckBox::toggled, this, &FigureDialog::onChanged);
  }
  for (QComboBox* box : {palette_, cloud_, legend_}) {
    connect(box, &QComboBox::currentIndexChanged, this,
            &FigureDialog::onChanged);
  }
  connect(exp, &QPushButton::clicked, this, &FigureDialog::onExport);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(load, &QPushButton::clicked, this, &FigureDialog::onLoadSettings);
  connect(save, &QPushButton::clicked, this, &FigureDialog::onSaveSettings);
  UpdatePreviewNow();
  FitToScreen(this);
}

void FigureDialog::OfferPanels(const PlotPicture& panels) {
  panels_ = &panels;
  panels_box_->setVisible(true);
}

bool FigureDialog::PanelsChosen() const {
  return panels_ != nullptr && panels_box_->isChecked();
}

const PlotPicture& FigureDialog::Shown() const {
  return PanelsChosen() ? *panels_ : plot_;
}

FigureSettings FigureDialog::Settings() const {
  FigureSettings s;
  s.width_mm = width_->value();
  s.height_mm = height_->value();
  s.dpi = dpi_->value();
  s.figure_style = style_->isChecked();
  s.palette = static_cast<ChartPalette>(palette_->currentData().toInt());
  s.caption = caption_box_->isChecked();
  s.cloud = static_cast<CloudDrawing>(cloud_->currentData().toInt());
  s.legend = static_cast<LegendPlacement>(legend_->currentData().toInt());
  s.print = {font_->value(), marker_->value(), line_->value()};
  return s;
}

void FigureDialog::SetSettings(const FigureSettings& s) {
  width_->setValue(s.width_mm);
  height_->setValue(s.height_mm);
  dpi_->setValue(s.dpi);
  style_->setChecked(s.figure_style);
  palette_->setCurrentIndex(palette_->findData(static_cast<int>(s.palette)));
  caption_box_->setChecked(s.caption);
  cloud_->setCurrentIndex(cloud_->findData(static_cast<int>(s.cloud)));
  legend_->setCurrentIndex(legend_->findData(static_cast<int>(s.legend)));
  font_->setValue(s.print.font);
  marker_->setValue(s.print.marker);
  line_->setValue(s.print.line);
  onChanged();
}

void FigureDialog::onChanged() {
  const FigureSettings s = Settings();
  const QSize raster = FigurePixelSize(s, PictureFormat::kPng);
  pixels_->setText(QString("PNG and BMP: %1 x %2 pixels at %3 dpi")
                       .arg(raster.width())
                       .arg(raster.height())
                       .arg(s.dpi));
  timer_->start();
}

void FigureDialog::UpdatePreviewNow() {
  timer_->stop();
  // The figure at the screen's resolution: what every format shows, at
  // the scale of the window's chart, drawn in the screen's own device
  // pixels so that a high-density screen shows it sharp.
  const FigureSettings s = Settings();
  const double ratio = std::max(1.0, devicePixelRatioF());
  const QSize size = FigurePixelSize(s, PictureFormat::kEmf);
  ChartRenderOptions options =
      FigureRenderOptions(s, PictureFormat::kEmf, caption_);
  options.scale *= ratio;
  preview_ =
      Shown().Image(QSize(static_cast<int>(std::lround(size.width() * ratio)),
                          static_cast<int>(std::lround(size.height() * ratio))),
                    options);
  const QSize box = (preview_label_->size() - QSize(4, 4)) * ratio;
  QImage shown =
      preview_.width() > box.width() || preview_.height() > box.height()
          ? preview_.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation)
          : preview_;
  shown.setDevicePixelRatio(ratio);
  preview_label_->setPixmap(QPixmap::fromImage(shown));
  QStringList notes;
  for (const std::string& note : FigureNotes(Shown(), s, caption_)) {
    notes << QString::fromStdString(note);
  }
  notes_->setText(notes.join('\n'));
  notes_->setVisible(!notes.isEmpty());
}

Status FigureDialog::ExportTo(const QString& path) const {
  return SaveFigureFile(Shown(), Settings(), caption_, path);
}

Status FigureDialog::LoadSettingsFile(const QString& path) {
  FigureSettings s = Settings();
  const std::string name = QFile::encodeName(path).toStdString();
  std::string text;
  Status read = ReadSmallTextFile(name, "a settings file", text);
  if (read.ok()) read = ParseFigureSettingsFile(name, text, s);
  if (read.ok()) SetSettings(s);
  return read;
}

Status FigureDialog::SaveSettingsFile(const QString& path) const {
  // The file names the projection the figure is drawn in, so that
  // orvane-cli draws a batch from it alike; the default equal-area one is
  // left unsaid, as in files written before there was a choice.
  FigureSettings settings = Settings();
  if (const auto projection = Shown().Projection();
      projection && *projection != ChartProjection::kEqualArea) {
    settings.projection = projection;
  }
  const std::string text = FigureSettingsText(settings);
  return SaveTextFile(path,
                      [&text](const TextSink& sink) { return sink(text); });
}

void FigureDialog::ShowFailure(const Status& status) {
  QMessageBox box(QMessageBox::Warning, windowTitle(),
                  QString::fromStdString(status.message()), QMessageBox::Ok,
                  this);
  box.exec();
}

void FigureDialog::onExport() {
  QFileDialog dialog(this, "Export figure");
  dialog.setObjectName("figureFileDialog");
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters({"PNG picture (*.png)", "PDF document (*.pdf)",
                         "SVG picture (*.svg)", "Enhanced Metafile (*.emf)",
                         "Bitmap (*.bmp)"});
  dialog.setDefaultSuffix("png");
  if (!folder_.isEmpty()) dialog.setDirectory(folder_);
  FitToScreen(&dialog);
  connect(&dialog, &QFileDialog::filterSelected, &dialog,
          [&dialog](const QString& filter) {
            const qsizetype star = filter.indexOf("*.");
            dialog.setDefaultSuffix(star < 0 ? QString()
                                             : filter.mid(star + 2).chopped(1));
          });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return;
  }
  const QString path = dialog.selectedFiles().first();
  folder_ = QFileInfo(path).absolutePath();
  const Status saved = ExportTo(path);
  if (!saved.ok()) {
    ShowFailure(saved);
    return;
  }
  accept();
}

void FigureDialog::onLoadSettings() {
  const QString path = QFileDialog::getOpenFileName(
      this, "Load figure settings", folder_,
      "Figure settings (*.txt *.conf);;All files (*)", nullptr,
      QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  const Status read = LoadSettingsFile(path);
  if (!read.ok()) ShowFailure(read);
}

void FigureDialog::onSaveSettings() {
  const QString path = QFileDialog::getSaveFileName(
      this, "Save figure settings", folder_,
      "Figure settings (*.txt *.conf);;All files (*)", nullptr,
      QFileDialog::DontUseNativeDialog);
  if (path.isEmpty()) return;
  const Status saved = SaveSettingsFile(path);
  if (!saved.ok()) ShowFailure(saved);
}

}  // namespace orvane

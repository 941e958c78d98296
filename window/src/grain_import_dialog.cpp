// SPDX-License-Identifier: MIT
#include "window/grain_import_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "window/screen_fit.h"

namespace orvane {

Status ReadGrains(const std::string& path, const GrainImport& how,
                  OutlineReading& reading, bool keep_drawing) {
  if (how.source == GrainSource::kOutlines) {
    return ReadOutlineFile(path, how.layer, reading, keep_drawing);
  }
  LabelImageOptions options = how.image;
  options.keep_raster = keep_drawing;
  return ReadLabelImage(path, options, reading);
}

Status LoadGrains(const std::string& path, const GrainImport& how,
                  LoadedData& data) {
  OutlineReading reading;
  if (Status read = ReadGrains(path, how, reading); !read.ok()) return read;
  return OutlineData(reading, data);
}

// The grains as read: the outlines (grey) or the labels (light colours)
// under the moment ellipses, in the file's coordinates with y upwards,
// fitted to the widget at one scale on both axes.
class GrainPreview : public QWidget {
 public:
  explicit GrainPreview(QWidget* parent) : QWidget(parent) {
    setObjectName("grainPreview");
    setMinimumSize(420, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }

  // Draws the grains of `reading` (nothing where it is null), which must
  // outlive the preview or the next call.
  void Show(const OutlineReading* reading) {
    reading_ = reading;
    outlines_ = QPainterPath();
    labels_ = QImage();
    bounds_ = QRectF();
    if (reading != nullptr) {
      for (const GrainOutline& outline : reading->outlines) {
        AddRing(outline.outer);
        for (const OutlineRing& hole : outline.holes) AddRing(hole);
      }
      bounds_ = outlines_.boundingRect();
      for (const GrainRecord& g : reading->grains) {
        const double r = g.ellipse.major / 2;
        Include(QRectF(g.ellipse.cx - r, g.ellipse.cy - r, 2 * r, 2 * r));
      }
      ShowLabels(reading->raster);
    }
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (reading_ == nullptr || bounds_.isNull()) return;
    constexpr double kMargin = 8;
    const double w = std::max(1.0, width() - 2 * kMargin);
    const double h = std::max(1.0, height() - 2 * kMargin);
    const double span_x = std::max(bounds_.width(), 1e-300);
    const double span_y = std::max(bounds_.height(), 1e-300);
    const double s = std::min(w / span_x, h / span_y);
    const double ox = kMargin + (w - s * bounds_.width()) / 2;
    const double oy = kMargin + (h - s * bounds_.height()) / 2;
    // y upwards: the top of the widget is the largest y.
    const QTransform to_widget(s, 0, 0, -s, ox - s * bounds_.left(),
                               oy + s * bounds_.bottom());
    if (!labels_.isNull()) {
      p.setTransform(labels_to_world_ * to_widget);
      p.drawImage(QPointF(0, 0), labels_);
    }
    p.setTransform(to_widget);
    p.setRenderHint(QPainter::Antialiasing);
    QPen grey(QColor(0x80, 0x80, 0x80), 1);
    grey.setCosmetic(true);
    p.setPen(grey);
    p.setBrush(Qt::NoBrush);
    p.drawPath(outlines_);
    QPen blue(QColor(0x10, 0x50, 0xd0), 1.4);
    blue.setCosmetic(true);
    p.setPen(blue);
    for (const GrainRecord& g : reading_->grains) {
      const GrainEllipse& e = g.ellipse;
      p.save();
      p.translate(e.cx, e.cy);
      p.rotate(e.angle);  // counter-clockwise with y upwards
      p.drawEllipse(QPointF(0, 0), e.major / 2, e.minor / 2);
      p.restore();
    }
  }

 private:
  void AddRing(const OutlineRing& ring) {
    if (ring.empty()) return;
    outlines_.moveTo(ring.front().x, ring.front().y);
    for (std::size_t i = 1; i < ring.size(); ++i) {
      outlines_.lineTo(ring[i].x, ring[i].y);
    }
    outlines_.closeSubpath();
  }

  void Include(const QRectF& r) {
    bounds_ = bounds_.isNull() ? r : bounds_.united(r);
  }

  // Each label a light colour of its own, the background white.
  void ShowLabels(const LabelRaster& raster) {
    if (raster.labels.empty()) return;
    labels_ = QImage(static_cast<int>(raster.width),
                     static_cast<int>(raster.height), QImage::Format_RGB32);
    for (long r = 0; r < raster.height; ++r) {
      auto* line =
          reinterpret_cast<QRgb*>(labels_.scanLine(static_cast<int>(r)));
      const std::uint32_t* labels =
          raster.labels.data() + static_cast<std::size_t>(r * raster.width);
      for (long c = 0; c < raster.width; ++c) {
        const std::uint32_t label = labels[c];
        line[c] = label == 0
                      ? qRgb(255, 255, 255)
                      : QColor::fromHsv(static_cast<int>((label * 137u) % 360u),
                                        70, 245)
                            .rgb();
      }
    }
    const double* t = raster.transform;
    labels_to_world_ = QTransform(t[1], t[4], t[2], t[5], t[0], t[3]);
    Include(
        labels_to_world_.mapRect(QRectF(0, 0, static_cast<double>(raster.width),
                                        static_cast<double>(raster.height))));
  }

  const OutlineReading* reading_ = nullptr;
  QPainterPath outlines_;
  QImage labels_;
  QTransform labels_to_world_;
  QRectF bounds_;
};

GrainImportDialog::GrainImportDialog(const QString& path, GrainSource source,
                                     QWidget* parent)
    : QDialog(parent), path_(path) {
  setObjectName("grainImportDialog");
  import_.source = source;
  const bool outlines = source == GrainSource::kOutlines;
  setWindowTitle(QString(outlines ? "Import Outlines" : "Import Label Image") +
                 " - " + QFileInfo(path).fileName());

  auto* options = new QGroupBox(outlines ? "Outlines" : "Label image", this);
  auto* form = new QFormLayout(options);
  if (outlines) {
    layer_ = new QLineEdit(options);
    layer_->setObjectName("layerEdit");
    layer_->setPlaceholderText("the first layer");
    form->addRow("Layer:", layer_);
    connect(layer_, &QLineEdit::editingFinished, this, [this] {
      const std::string layer = layer_->text().trimmed().toStdString();
      if (layer == import_.layer) return;
      import_.layer = layer;
      Refresh();
    });
  } else {
    pixel_size_ = new QDoubleSpinBox(options);
    pixel_size_->setObjectName("pixelSizeBox");
    pixel_size_->setDecimals(6);
    pixel_size_->setRange(0, 1e9);
    // 0: the image's own geotransform, or pixels where it has none.
    pixel_size_->setSpecialValueText("from the image");
    pixel_size_->setKeyboardTracking(false);
    min_pixels_ = new QSpinBox(options);
    min_pixels_->setObjectName("minPixelsBox");
    min_pixels_->setRange(1, INT_MAX);
    min_pixels_->setValue(static_cast<int>(import_.image.min_pixels));
    min_pixels_->setKeyboardTracking(false);
    form->addRow("Pixel size:", pixel_size_);
    form->addRow("Fewest pixels of a grain:", min_pixels_);
    connect(pixel_size_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
      import_.image.pixel_size = v;
      Refresh();
    });
    connect(min_pixels_, &QSpinBox::valueChanged, this, [this](int v) {
      import_.image.min_pixels = v;
      Refresh();
    });
  }

  preview_ = new GrainPreview(this);
  auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setWordWrap(true);
    return l;
  };
  count_ = label("grainCountLabel");
  skipped_ = label("skippedLabel");
  warnings_ = label("warningsLabel");
  problem_label_ = label("problemLabel");
  problem_label_->setStyleSheet("color: #b00000;");
  buttons_ = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
  buttons_->setObjectName("buttons");
  buttons_->button(QDialogButtonBox::Ok)->setText("Import");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(options);
  layout->addWidget(preview_, 1);
  layout->addWidget(count_);
  layout->addWidget(skipped_);
  layout->addWidget(warnings_);
  layout->addWidget(problem_label_);
  layout->addWidget(buttons_);
  resize(640, 600);
  FitToScreen(this);

  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Refresh();
}

void GrainImportDialog::Refresh() {
  preview_->Show(nullptr);
  reading_ = OutlineReading();
  Status read = ReadGrains(path_.toStdString(), import_, reading_, true);
  if (read.ok()) {
    // A grain the analysis would refuse stops the import here already.
    LoadedData analysed;
    read = OutlineData(reading_, analysed);
  }
  problem_ = read.ok() ? QString() : QString::fromStdString(read.message());
  if (!read.ok()) reading_ = OutlineReading();
  preview_->Show(read.ok() ? &reading_ : nullptr);
  const auto n = static_cast<qlonglong>(reading_.grains.size());
  count_->setText(read.ok() ? (n == 1 ? QString("1 grain read.")
                                      : QString("%1 grains read.").arg(n))
                            : QString());
  skipped_->setText(QString::fromStdString(SkippedGrainsText(reading_)));
  QStringList warnings;
  for (const std::string& w : reading_.warnings) {
    warnings << QString::fromStdString(w);
  }
  warnings_->setText(warnings.join('\n'));
  problem_label_->setText(problem_);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(read.ok());
}

}  // namespace orvane

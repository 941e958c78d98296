// SPDX-License-Identifier: MIT
// File > Import Outlines... and File > Import Label Image...: how a file of
// grains will be read. The dialog reads the file with the options shown and
// draws what it found: each grain's outline (grey) under the ellipse of its
// moments (blue), or for a label image its labels as light colours under
// the ellipses, y upwards and at one scale on both axes; beside it the
// count of grains, the grains skipped and the reading's warnings. Changing
// an option (an outline file's layer; an image's pixel size and least count
// of pixels) reads the file again. Import is offered only while the file
// gives grains. Tests find its widgets by their object names ("layerEdit",
// "pixelSizeBox", "minPixelsBox", "grainPreview", "grainCountLabel",
// "skippedLabel", "warningsLabel", "problemLabel", "buttons").
#ifndef ORVANE_WINDOW_GRAIN_IMPORT_DIALOG_H_
#define ORVANE_WINDOW_GRAIN_IMPORT_DIALOG_H_

#include <QDialog>
#include <QString>
#include <string>

#include "core/status.h"
#include "io/data_file.h"
#include "io/outline_file.h"

class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace orvane {

// How a file of grains gives them.
enum class GrainSource { kOutlines, kLabelImage };

// A file of grains and how it is read: the layer of an outline file (empty:
// its first), or the pixel size and least count of pixels of a label image.
struct GrainImport {
  GrainSource source = GrainSource::kOutlines;
  std::string layer;
  LabelImageOptions image;
};

// Reads the grains of `path` as `how` says; `keep_drawing` keeps the
// outlines or the downsampled labels to draw them.
Status ReadGrains(const std::string& path, const GrainImport& how,
                  OutlineReading& reading, bool keep_drawing = false);

// The grains of `path` as the data of an analysis.
Status LoadGrains(const std::string& path, const GrainImport& how,
                  LoadedData& data);

class GrainPreview;

class GrainImportDialog : public QDialog {
  Q_OBJECT

 public:
  // Reads `path` at once as a file of `source`; the dialog shows what it
  // found.
  GrainImportDialog(const QString& path, GrainSource source,
                    QWidget* parent = nullptr);

  // The options shown, with which Import reads the file.
  const GrainImport& Import() const { return import_; }
  // Why the file gives no grains with the options shown; empty when it does.
  QString Problem() const { return problem_; }
  // The grains read with the options shown.
  const OutlineReading& Reading() const { return reading_; }

 private:
  // Reads the file again with the options shown and shows what it found.
  void Refresh();

  QString path_;
  GrainImport import_;
  OutlineReading reading_;
  QString problem_;

  QLineEdit* layer_ = nullptr;
  QDoubleSpinBox* pixel_size_ = nullptr;
  QSpinBox* min_pixels_ = nullptr;
  GrainPreview* preview_ = nullptr;
  QLabel* count_ = nullptr;
  QLabel* skipped_ = nullptr;
  QLabel* warnings_ = nullptr;
  QLabel* problem_label_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_GRAIN_IMPORT_DIALOG_H_

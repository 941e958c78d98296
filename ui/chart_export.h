// Saving the chart as a picture file, chosen by the file's extension.
#ifndef ORVANE_UI_CHART_EXPORT_H_
#define ORVANE_UI_CHART_EXPORT_H_

#include <QSize>
#include <QString>
#include <string>

#include "ui/chart_model.h"

namespace orvane {

enum class PictureFormat { kEmf, kBmp, kSvg, kPng, kPdf, kInvalid };

inline constexpr const char* kMessageInvalidExtension =
    "Invalid file extension.";

// The extension of a file name: from the last "." of the name after its
// last path separator, the dot included; empty when there is none.
std::string FileExtension(const std::string& file_name);

// ".EMF" and ".BMP" (ASCII upper-cased), and beyond them ".SVG", ".PNG" and
// ".PDF"; anything else is invalid.
PictureFormat PictureFormatOf(const std::string& file_name);

struct ExportResult {
  bool ok = false;
  QString message;  // why nothing was written
};

// Writes the chart at `size` pixels to `path` in the format of its
// extension. The picture goes to a temporary file beside the target, which
// replaces the target only once it is complete: a failure leaves no
// half-written file and an existing file untouched.
ExportResult SaveChartPictureFile(const EqualAreaChart& chart, QSize size,
                                  const QString& path);

// The chart as an Enhanced Metafile and as a 32-bit BMP.
QByteArray SaveToMetafileEnh(const EqualAreaChart& chart, QSize size);
QByteArray SaveToBitmapFile(const EqualAreaChart& chart, QSize size);

}  // namespace orvane

#endif  // ORVANE_UI_CHART_EXPORT_H_

// Saving the chart as a picture file, chosen by the file's extension.
#ifndef ORVANE_RENDER_PICTURE_EXPORT_H_
#define ORVANE_RENDER_PICTURE_EXPORT_H_

#include <QIODevice>
#include <QSize>
#include <QString>
#include <string>

#include "chart/equal_area_chart.h"
#include "core/status.h"

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

// Writes the chart at `size` pixels to `path` in the format of its
// extension. The picture goes to a temporary file beside the target, which
// replaces the target only once it is complete: a failure leaves no
// half-written file and an existing file untouched. The status says why
// nothing was written: kInvalidExtension ("Invalid file extension.") or
// kWriteFailed, with the path and the system's reason.
Status SaveChartPictureFile(const EqualAreaChart& chart, QSize size,
                            const QString& path);

// Draws the chart at `size` pixels into `out`, open for writing, as the
// picture goes: memory stays bounded whatever the number of points (series
// of more than kPictureLayerThreshold points go into vector pictures as
// images). A metafile needs a device that can seek back to where it began,
// to complete its header. kWriteFailed with the reason when the device
// refused the data or the picture could not be drawn; a metafile that would
// exceed 4 GiB is refused so.
Status WriteChartPicture(const EqualAreaChart& chart, QSize size,
                         PictureFormat format, QIODevice& out);

// The chart as an Enhanced Metafile (empty if it could not be made) and as
// a 32-bit BMP.
QByteArray MetafileOf(const EqualAreaChart& chart, QSize size);
QByteArray BitmapOf(const EqualAreaChart& chart, QSize size);

}  // namespace orvane

#endif  // ORVANE_RENDER_PICTURE_EXPORT_H_

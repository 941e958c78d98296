// SPDX-License-Identifier: MIT
// Saving the chart as a picture file, chosen by the file's extension.
#ifndef ORVANE_RENDER_PICTURE_EXPORT_H_
#define ORVANE_RENDER_PICTURE_EXPORT_H_

#include <QIODevice>
#include <QSize>
#include <QString>
#include <string>

#include "chart/equal_area_chart.h"
#include "core/status.h"
#include "render/chart_render.h"
#include "render/plot_picture.h"

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

// The sides of a saved picture, in pixels: below the minimum the legend
// leaves no room for a disc worth a picture.
inline constexpr int kMinPictureSide = 120;
inline constexpr int kMaxPictureSide = 16384;

// Whether a picture of `size` pixels can be saved: kWriteFailed with a
// message that states the limits when it cannot.
Status CheckPictureSize(QSize size);

// Writes the chart at `size` pixels to `path` in the format of its
// extension. The picture goes to a temporary file beside the target, which
// replaces the target only once it is complete: a failure leaves no
// half-written file and an existing file untouched. Only a regular file
// is replaced; through a symbolic link, the file it reaches, which this
// user must be able to open as the path is given, and the link stays.
// The status says why
// nothing was written: kInvalidExtension ("Invalid file extension.") or
// kWriteFailed, with the path and the system's reason, or for a size
// outside the limits above. A saved picture has no data grid over it, so
// its disc does not keep clear of the grid's column (PictureOptions()).
// PNG, SVG and PDF files record `dots_per_inch` as their resolution, so
// that they have their physical size.
Status SaveChartPictureFile(
    const EqualAreaChart& chart, QSize size, const QString& path,
    const ChartRenderOptions& options = PictureOptions(),
    double dots_per_inch = 96);

// Draws the chart at `size` pixels into `out`, open for writing, with the
// given options (by default as the screen draws it), as the
// picture goes: memory stays bounded whatever the number of points (series
// of more than kPictureLayerThreshold points go into vector pictures as
// images). A metafile needs a device that can seek back to where it began,
// to complete its header. kWriteFailed with the reason when the device
// refused the data or the picture could not be drawn; a metafile that would
// exceed 4 GiB is refused so. An image the picture needs (its raster, the
// layer of a large series, an image of a writer) that cannot be allocated
// stops the drawing and fails the whole picture with "Not enough memory to
// draw the picture."; a picture is refused as well when the faces of its
// text have no glyphs (no font could be loaded).
Status WriteChartPicture(const EqualAreaChart& chart, QSize size,
                         PictureFormat format, QIODevice& out,
                         const ChartRenderOptions& options = {},
                         double dots_per_inch = 96);

// The same for any plot: the equal-area chart's functions above are these
// with ModelPicture.
Status SaveChartPictureFile(
    const PlotPicture& plot, QSize size, const QString& path,
    const ChartRenderOptions& options = PictureOptions(),
    double dots_per_inch = 96);
Status WriteChartPicture(const PlotPicture& plot, QSize size,
                         PictureFormat format, QIODevice& out,
                         const ChartRenderOptions& options = {},
                         double dots_per_inch = 96);

// The chart as an Enhanced Metafile and as a 32-bit BMP; empty if it could
// not be made.
QByteArray MetafileOf(const EqualAreaChart& chart, QSize size,
                      const ChartRenderOptions& options = {});
QByteArray BitmapOf(const EqualAreaChart& chart, QSize size,
                    const ChartRenderOptions& options = {});

// File descriptors a picture needs free when Qt starts: Qt's event
// dispatcher, the file written, fontconfig's configuration files (a folder
// and a file of it at once) and the font files. Four were measured to be
// enough here; with fewer, fontconfig reads part of its configuration
// (the text comes out in other metrics) or none (every character an empty
// box), or Qt cannot load its platform plugin and aborts. The rest is a
// margin for deeper configurations elsewhere.
inline constexpr unsigned kPictureDescriptors = 16;

// Makes sure that kPictureDescriptors descriptors are free, raising the
// soft limit of open files towards the hard one where they are not. Call
// it before Qt is started. kWriteFailed with a message that names the
// limit when even the hard limit leaves too few.
Status ReserveDescriptorsForPictures();

// The text of a failed write, flush or rename: the system's text for the
// error number where the device left none ("Unknown error").
QString WriteFailureReason(const QString& device_reason, int error_number);

}  // namespace orvane

#endif  // ORVANE_RENDER_PICTURE_EXPORT_H_

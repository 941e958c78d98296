// SPDX-License-Identifier: MIT
#include "render/picture_export.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "render/bitmap_file.h"
#include "render/chart_render.h"
#include "render/emf_paint_engine.h"
#include "render/picture_memory.h"
#include "render/plot_picture.h"
#include "render/plot_render.h"
#include "render/safe_save_file.h"
#include "render/vector_fonts.h"

namespace orvane {

std::string FileExtension(const std::string& file_name) {
  const std::size_t slash = file_name.find_last_of('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = file_name.find_last_of('.');
  if (dot == std::string::npos || dot < name) return "";
  return file_name.substr(dot);
}

PictureFormat PictureFormatOf(const std::string& file_name) {
  std::string ext = FileExtension(file_name);
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (ext == ".EMF") return PictureFormat::kEmf;
  if (ext == ".BMP") return PictureFormat::kBmp;
  if (ext == ".SVG") return PictureFormat::kSvg;
  if (ext == ".PNG") return PictureFormat::kPng;
  if (ext == ".PDF") return PictureFormat::kPdf;
  return PictureFormat::kInvalid;
}

Status CheckPictureSize(QSize size) {
  if (size.width() >= kMinPictureSide && size.height() >= kMinPictureSide &&
      size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide) {
    return Status();
  }
  return Status(StatusCode::kWriteFailed,
                QString("A picture must be from %1 x %1 to %2 x %2 pixels; "
                        "this one would be %3 x %4.")
                    .arg(kMinPictureSide)
                    .arg(kMaxPictureSide)
                    .arg(size.width())
                    .arg(size.height())
                    .toStdString());
}

QString WriteFailureReason(const QString& device_reason, int error_number) {
  if (!device_reason.isEmpty() && device_reason != "Unknown error") {
    return device_reason;
  }
  if (error_number != 0)
    return QString::fromLocal8Bit(std::strerror(error_number));
  return device_reason;
}

namespace {

// Descriptors counted one by one; above this the rest of the limit counts
// as free.
constexpr int kDescriptorsScanned = 4096;

// The descriptors below `limit` that are not open.
rlim_t FreeDescriptors(rlim_t limit) {
  const int scanned = static_cast<int>(
      std::min<rlim_t>(limit, static_cast<rlim_t>(kDescriptorsScanned)));
  rlim_t free = limit - static_cast<rlim_t>(scanned);
  for (int fd = 0; fd < scanned; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) ++free;
  }
  return free;
}

}  // namespace

Status ReserveDescriptorsForPictures() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
      limit.rlim_cur == RLIM_INFINITY) {
    return Status();
  }
  const rlim_t free = FreeDescriptors(limit.rlim_cur);
  if (free >= kPictureDescriptors) return Status();
  const rlim_t wanted = limit.rlim_cur + (kPictureDescriptors - free);
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= wanted) {
    rlimit raised = limit;
    raised.rlim_cur = wanted;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) return Status();
  }
  const rlim_t hard = std::max(limit.rlim_max, limit.rlim_cur);
  return Status(
      StatusCode::kWriteFailed,
      QString("Too few file descriptors to draw a picture: it needs "
              "%1 free, and the limit of %2 open files (ulimit -n) "
              "leaves %3.")
          .arg(kPictureDescriptors)
          .arg(static_cast<qulonglong>(hard))
          .arg(static_cast<qulonglong>(free + (hard - limit.rlim_cur)))
          .toStdString());
}

QByteArray MetafileOf(const EqualAreaChart& chart, QSize size,
                      const ChartRenderOptions& options) {
  EmfDevice device(size.width(), size.height());
  bool drawn = false;
  {
    QPainter painter(&device);
    drawn = RenderChartPicture(painter, chart, size, PictureLayer::kOpaque,
                               options);
  }
  if (!drawn || !device.Ok()) return {};
  const auto& bytes = device.Bytes();
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray BitmapOf(const EqualAreaChart& chart, QSize size,
                    const ChartRenderOptions& options) {
  const QImage image = RenderChartImage(chart, size, options);
  if (image.isNull()) return {};
  return EncodeBitmap32(image);
}

namespace {

constexpr const char* kMessageNotDrawn = "The picture could not be drawn.";
constexpr const char* kMessageUnwritten = "the data could not be written.";

bool Informative(const QString& reason) {
  return !reason.isEmpty() && reason != "Unknown error";
}

constexpr const char* kMessageNoFont =
    "No font could be loaded for the picture's text.";

// Whether the faces that draw the pictures' text have the glyphs of its
// letters and digits. Where fontconfig could not read its configuration or
// open a font file (too few file descriptors, say), Qt draws every
// character as an empty box, and a picture would go out without its text.
bool FontsHaveTheirGlyphs() {
  const QString sample = "Rf0123456789abcdefghijklmnopqrstuvwxyz";
  for (const QFont& font : {LegendFont(), FigureTextFont()}) {
    const QFontMetrics metrics(font);
    for (const QChar c : sample) {
      if (!metrics.inFont(c)) return false;
    }
  }
  return true;
}

// Passes the writers' output on to the target, insisting on every byte.
// The SVG and PDF writers take a short write (a full disc, a file size
// limit) for a whole one and drop the rest: here the rest is offered again,
// so that the target reports its error, and the failure is remembered.
class WholeWrites : public QIODevice {
 public:
  explicit WholeWrites(QIODevice& target) : target_(target) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  }
  bool isSequential() const override { return target_.isSequential(); }
  bool seek(qint64 pos) override {
    return target_.seek(start_ + pos) && QIODevice::seek(pos);
  }
  bool Failed() const { return failed_; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override {
    if (failed_) return -1;
    for (qint64 done = 0; done < len;) {
      errno = 0;
      const qint64 n = target_.write(data + done, len - done);
      if (n <= 0) {
        const int error_number = errno;
        failed_ = true;
        const QString reason =
            WriteFailureReason(target_.errorString(), error_number);
        setErrorString(Informative(reason) ? reason
                                           : QString(kMessageUnwritten));
        return -1;
      }
      done += n;
    }
    return len;
  }

 private:
  QIODevice& target_;
  qint64 start_ = target_.pos();
  bool failed_ = false;
};

// Each writer draws into `out` as it goes and returns why it could not
// finish, or an empty string.

QString WriteMetafile(const PlotPicture& plot, QSize size, QIODevice& out,
                      const ChartRenderOptions& options) {
  EmfDevice device(size.width(), size.height(), &out);
  QPainter painter;
  if (!painter.begin(&device)) return kMessageNotDrawn;
  const bool drawn =
      plot.DrawPicture(painter, size, PictureLayer::kOpaque, options);
  painter.end();
  if (!drawn) return kMessagePictureMemory;
  return device.Ok() ? QString() : device.Error();
}

QString WriteSvg(const PlotPicture& plot, QSize size, QIODevice& out,
                 const ChartRenderOptions& options, double dpi) {
  QSvgGenerator svg;
  // Font names that every reader resolves to the legend's metrics.
  SvgFontFamilies fonts(out);
  svg.setOutputDevice(&fonts);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setResolution(static_cast<int>(std::lround(dpi)));
  svg.setTitle(plot.Title());
  QPainter painter;
  if (!painter.begin(&svg)) return kMessageNotDrawn;
  if (!plot.DrawPicture(painter, size, PictureLayer::kTransparent, options)) {
    return kMessagePictureMemory;
  }
  if (!painter.end()) return kMessageNotDrawn;
  return fonts.Flush() ? QString() : QString(kMessageUnwritten);
}

QString WritePdf(const PlotPicture& plot, QSize size, QIODevice& out,
                 const ChartRenderOptions& options, double dpi) {
  // Written into memory first, so that the subsets' font names can be
  // tagged throughout before the file gets them.
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    const int resolution = static_cast<int>(std::lround(dpi));
    pdf.setResolution(resolution);
    pdf.setPageSize(QPageSize(QSizeF(size.width() * 72.0 / resolution,
                                     size.height() * 72.0 / resolution),
                              QPageSize::Point));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setCreator("Orvane");
    QPainter painter;
    if (!painter.begin(&pdf)) return kMessageNotDrawn;
    if (!plot.DrawPicture(painter, size, PictureLayer::kTransparent, options)) {
      return kMessagePictureMemory;
    }
    if (!painter.end()) return kMessageNotDrawn;
  }
  const QByteArray bytes = TagSubsetFontNames(buffer.data());
  return out.write(bytes) == bytes.size() ? QString() : out.errorString();
}

// The BMP a strip of rows at a time, so that no copy of the picture is
// held; a refused write leaves its reason with `out`.
QString WriteBitmap(const PlotPicture& plot, QSize size, QIODevice& out,
                    const ChartRenderOptions& options, double dpi) {
  const QImage image = plot.Image(size, options);
  if (image.isNull()) return kMessagePictureMemory;
  // The resolution the figure was drawn at, 96 dpi for the screen's.
  return WriteBitmap32(image, out, static_cast<int>(std::lround(dpi / 0.0254)))
             ? QString()
             : QString(kMessagePictureMemory);
}

QString WritePng(const PlotPicture& plot, QSize size, QIODevice& out,
                 const ChartRenderOptions& options, double dpi) {
  QImage image = plot.Image(size, options);
  if (image.isNull()) return kMessagePictureMemory;
  const int per_metre = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(per_metre);
  image.setDotsPerMeterY(per_metre);
  return image.save(&out, "PNG") ? QString() : out.errorString();
}

QString WritePicture(const PlotPicture& plot, QSize size, PictureFormat format,
                     QIODevice& out, const ChartRenderOptions& options,
                     double dpi) {
  switch (format) {
    case PictureFormat::kEmf:
      return WriteMetafile(plot, size, out, options);
    case PictureFormat::kBmp:
      return WriteBitmap(plot, size, out, options, dpi);
    case PictureFormat::kSvg:
      return WriteSvg(plot, size, out, options, dpi);
    case PictureFormat::kPng:
      return WritePng(plot, size, out, options, dpi);
    case PictureFormat::kPdf:
      return WritePdf(plot, size, out, options, dpi);
    case PictureFormat::kInvalid:
      break;
  }
  return kMessageInvalidExtension;
}

}  // namespace

Status WriteChartPicture(const EqualAreaChart& chart, QSize size,
                         PictureFormat format, QIODevice& out,
                         const ChartRenderOptions& options,
                         double dots_per_inch) {
  return WriteChartPicture(ModelPicture(chart), size, format, out, options,
                           dots_per_inch);
}

Status WriteChartPicture(const PlotPicture& plot, QSize size,
                         PictureFormat format, QIODevice& out,
                         const ChartRenderOptions& options,
                         double dots_per_inch) {
  if (format == PictureFormat::kInvalid) {
    return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  if (!FontsHaveTheirGlyphs()) {
    return Status(StatusCode::kWriteFailed, kMessageNoFont);
  }
  WholeWrites whole(out);
  QString reason;
  try {
    reason = WritePicture(plot, size, format, whole, options, dots_per_inch);
  } catch (const std::bad_alloc&) {
    // A list of points, a path or a buffer of ours that could not grow.
    reason = kMessagePictureMemory;
  }
  if (whole.Failed()) {
    return Status(StatusCode::kWriteFailed, whole.errorString().toStdString());
  }
  if (reason.isEmpty()) return Status();
  return Status(StatusCode::kWriteFailed, reason.toStdString());
}

Status SaveChartPictureFile(const EqualAreaChart& chart, QSize size,
                            const QString& path,
                            const ChartRenderOptions& options,
                            double dots_per_inch) {
  return SaveChartPictureFile(ModelPicture(chart), size, path, options,
                              dots_per_inch);
}

Status SaveChartPictureFile(const PlotPicture& plot, QSize size,
                            const QString& path,
                            const ChartRenderOptions& options,
                            double dots_per_inch) {
  const PictureFormat format = PictureFormatOf(path.toStdString());
  if (format == PictureFormat::kInvalid) {
    return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  if (Status limits = CheckPictureSize(size); !limits.ok()) return limits;
  auto failed = [&path](const QString& reason) {
    return CannotWrite(path, reason);
  };
  // The picture is drawn straight into the temporary file, so that no
  // copy of it is held in memory.
  SafeSaveFile save(path);
  if (!save.Open()) return failed(save.ErrorString());
  QFile& file = save.Device();
  const Status written =
      WriteChartPicture(plot, size, format, file, options, dots_per_inch);
  // What is still buffered goes to the disc now, so that a failure is seen
  // before the file replaces the target; a failed flush also names the
  // system's reason ("No space left on device") where the failed write
  // left it unknown.
  errno = 0;
  const bool flushed = file.flush() && file.error() == QFileDevice::NoError;
  const int flush_errno = errno;
  if (!written.ok() || !flushed) {
    const QString system = WriteFailureReason(file.errorString(), flush_errno);
    save.Cancel();
    if (written.message() == kMessageNotDrawn) return written;
    QString reason =
        written.ok() ? system : QString::fromStdString(written.message());
    if (!Informative(reason) || reason == kMessageUnwritten) {
      if (Informative(system)) reason = system;
    }
    return failed(reason);
  }
  // The old file stays until the new one is whole on the disc.
  if (!save.Commit()) return failed(save.ErrorString());
  return Status();
}

}  // namespace orvane

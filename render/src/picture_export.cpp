#include "render/picture_export.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "render/bitmap_file.h"
#include "render/chart_render.h"
#include "render/emf_paint_engine.h"
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

QByteArray MetafileOf(const EqualAreaChart& chart, QSize size) {
  EmfDevice device(size.width(), size.height());
  {
    QPainter painter(&device);
    RenderChartPicture(painter, chart, size, PictureLayer::kOpaque);
  }
  if (!device.Ok()) return {};
  const auto& bytes = device.Bytes();
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray BitmapOf(const EqualAreaChart& chart, QSize size) {
  return EncodeBitmap32(RenderChartImage(chart, size));
}

namespace {

constexpr const char* kMessageNotDrawn = "The picture could not be drawn.";
constexpr const char* kMessageUnwritten = "the data could not be written.";

bool Informative(const QString& reason) {
  return !reason.isEmpty() && reason != "Unknown error";
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
      const qint64 n = target_.write(data + done, len - done);
      if (n <= 0) {
        failed_ = true;
        const QString reason = target_.errorString();
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

QString WriteMetafile(const EqualAreaChart& chart, QSize size, QIODevice& out) {
  EmfDevice device(size.width(), size.height(), &out);
  QPainter painter;
  if (!painter.begin(&device)) return kMessageNotDrawn;
  RenderChartPicture(painter, chart, size, PictureLayer::kOpaque);
  painter.end();
  return device.Ok() ? QString() : device.Error();
}

QString WriteSvg(const EqualAreaChart& chart, QSize size, QIODevice& out) {
  QSvgGenerator svg;
  // Font names that every reader resolves to the legend's metrics.
  SvgFontFamilies fonts(out);
  svg.setOutputDevice(&fonts);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setResolution(96);
  svg.setTitle("Orvane equal-area projection");
  QPainter painter;
  if (!painter.begin(&svg)) return kMessageNotDrawn;
  RenderChartPicture(painter, chart, size, PictureLayer::kTransparent);
  if (!painter.end()) return kMessageNotDrawn;
  return fonts.Flush() ? QString() : QString(kMessageUnwritten);
}

QString WritePdf(const EqualAreaChart& chart, QSize size, QIODevice& out) {
  QPdfWriter pdf(&out);
  pdf.setResolution(96);
  pdf.setPageSize(
      QPageSize(QSizeF(size.width() * 72.0 / 96, size.height() * 72.0 / 96),
                QPageSize::Point));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setCreator("Orvane");
  QPainter painter;
  if (!painter.begin(&pdf)) return kMessageNotDrawn;
  RenderChartPicture(painter, chart, size, PictureLayer::kTransparent);
  return painter.end() ? QString() : QString(kMessageNotDrawn);
}

QString WriteBytes(const QByteArray& bytes, QIODevice& out) {
  if (bytes.isEmpty()) return kMessageNotDrawn;
  return out.write(bytes) == bytes.size() ? QString() : out.errorString();
}

QString WritePicture(const EqualAreaChart& chart, QSize size,
                     PictureFormat format, QIODevice& out) {
  switch (format) {
    case PictureFormat::kEmf:
      return WriteMetafile(chart, size, out);
    case PictureFormat::kBmp:
      return WriteBytes(BitmapOf(chart, size), out);
    case PictureFormat::kSvg:
      return WriteSvg(chart, size, out);
    case PictureFormat::kPng:
      return RenderChartImage(chart, size).save(&out, "PNG")
                 ? QString()
                 : out.errorString();
    case PictureFormat::kPdf:
      return WritePdf(chart, size, out);
    case PictureFormat::kInvalid:
      break;
  }
  return kMessageInvalidExtension;
}

}  // namespace

Status WriteChartPicture(const EqualAreaChart& chart, QSize size,
                         PictureFormat format, QIODevice& out) {
  if (format == PictureFormat::kInvalid) {
    return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  WholeWrites whole(out);
  const QString reason = WritePicture(chart, size, format, whole);
  if (whole.Failed()) {
    return Status(StatusCode::kWriteFailed, whole.errorString().toStdString());
  }
  if (reason.isEmpty()) return Status();
  return Status(StatusCode::kWriteFailed, reason.toStdString());
}

Status SaveChartPictureFile(const EqualAreaChart& chart, QSize size,
                            const QString& path) {
  const PictureFormat format = PictureFormatOf(path.toStdString());
  if (format == PictureFormat::kInvalid) {
    return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  auto failed = [](const QString& text) {
    return Status(StatusCode::kWriteFailed, text.toStdString());
  };
  if (QFileInfo(path).isDir()) {
    return failed(QString("Cannot write \"%1\": it is a folder.").arg(path));
  }
  // The picture is drawn straight into the temporary file, so that no
  // copy of it is held in memory.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return failed(
        QString("Cannot write \"%1\": %2").arg(path, file.errorString()));
  }
  const Status written = WriteChartPicture(chart, size, format, file);
  // What is still buffered goes to the disc now, so that a failure is seen
  // before the file replaces the target; a failed flush also names the
  // system's reason ("No space left on device") where the failed write
  // left it unknown.
  const bool flushed = file.flush() && file.error() == QFileDevice::NoError;
  if (!written.ok() || !flushed) {
    const QString system = file.errorString();
    file.cancelWriting();
    if (written.message() == kMessageNotDrawn) return written;
    QString reason =
        written.ok() ? system : QString::fromStdString(written.message());
    if (reason == kMessageUnwritten && Informative(system)) reason = system;
    return failed(QString("Cannot write \"%1\": %2").arg(path, reason));
  }
  if (!file.commit()) {
    return failed(
        QString("Cannot write \"%1\": %2").arg(path, file.errorString()));
  }
  return Status();
}

}  // namespace orvane

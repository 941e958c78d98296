#include "render/picture_export.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include "render/bitmap_file.h"
#include "render/chart_render.h"
#include "render/emf_paint_engine.h"

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
    RenderChart(painter, chart, size);
  }
  const auto& bytes = device.Bytes();
  return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
}

QByteArray BitmapOf(const EqualAreaChart& chart, QSize size) {
  return EncodeBitmap32(RenderChartImage(chart, size));
}

namespace {

QByteArray SvgOf(const EqualAreaChart& chart, QSize size) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setResolution(96);
  svg.setTitle("Orvane equal-area projection");
  {
    QPainter painter(&svg);
    RenderChart(painter, chart, size);
  }
  return buffer.data();
}

QByteArray PngOf(const EqualAreaChart& chart, QSize size) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  RenderChartImage(chart, size).save(&buffer, "PNG");
  return buffer.data();
}

QByteArray PdfOf(const EqualAreaChart& chart, QSize size) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QPdfWriter pdf(&buffer);
  pdf.setResolution(96);
  pdf.setPageSize(
      QPageSize(QSizeF(size.width() * 72.0 / 96, size.height() * 72.0 / 96),
                QPageSize::Point));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  pdf.setCreator("Orvane");
  {
    QPainter painter(&pdf);
    RenderChart(painter, chart, size);
  }
  return buffer.data();
}

}  // namespace

Status SaveChartPictureFile(const EqualAreaChart& chart, QSize size,
                            const QString& path) {
  QByteArray bytes;
  switch (PictureFormatOf(path.toStdString())) {
    case PictureFormat::kEmf:
      bytes = MetafileOf(chart, size);
      break;
    case PictureFormat::kBmp:
      bytes = BitmapOf(chart, size);
      break;
    case PictureFormat::kSvg:
      bytes = SvgOf(chart, size);
      break;
    case PictureFormat::kPng:
      bytes = PngOf(chart, size);
      break;
    case PictureFormat::kPdf:
      bytes = PdfOf(chart, size);
      break;
    case PictureFormat::kInvalid:
      return Status(StatusCode::kInvalidExtension, kMessageInvalidExtension);
  }
  auto failed = [](const QString& text) {
    return Status(StatusCode::kWriteFailed, text.toStdString());
  };
  if (bytes.isEmpty()) return failed("The picture could not be drawn.");
  if (QFileInfo(path).isDir()) {
    return failed(QString("Cannot write \"%1\": it is a folder.").arg(path));
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return failed(
        QString("Cannot write \"%1\": %2").arg(path, file.errorString()));
  }
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return failed(QString("Cannot write \"%1\": %2").arg(path, reason));
  }
  return Status();
}

}  // namespace orvane

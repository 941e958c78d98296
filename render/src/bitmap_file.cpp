// SPDX-License-Identifier: MIT
#include "render/bitmap_file.h"

#include <QBuffer>
#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace orvane {
namespace {

void Put16(char*& out, quint16 v) {
  *out++ = static_cast<char>(v & 0xFF);
  *out++ = static_cast<char>(v >> 8);
}

void Put32(char*& out, quint32 v) {
  for (int i = 0; i < 4; ++i) *out++ = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Pixels taken at a time: Qt converts up to 2^17 pixels on the calling
// thread.
constexpr qint64 kStripPixels = 1 << 16;

int StripRows(const QImage& image) {
  return static_cast<int>(
      std::clamp<qint64>(kStripPixels / std::max(1, image.width()), 1,
                         std::max(1, image.height())));
}

}  // namespace

QImage ConvertedOnThisThread(QImage image, QImage::Format format) {
  if (image.isNull() || image.format() == format) return image;
  // A format of the same depth is converted in the image's own pixels, a
  // strip at a time, so that a large layer needs no second copy.
  const bool in_place =
      image.depth() == QImage::toPixelFormat(format).bitsPerPixel();
  QImage result = in_place ? std::move(image) : QImage(image.size(), format);
  // bits() takes the pixels for this image alone (a copy where they are
  // shared): null when there is no memory for that.
  if (result.isNull() || result.bits() == nullptr) return QImage();
  const QImage& source = in_place ? result : image;
  if (!in_place) {
    result.setDevicePixelRatio(source.devicePixelRatio());
    result.setDotsPerMeterX(source.dotsPerMeterX());
    result.setDotsPerMeterY(source.dotsPerMeterY());
  }
  const int rows = StripRows(source);
  const auto line =
      static_cast<std::size_t>(result.width()) *
      static_cast<std::size_t>(QImage::toPixelFormat(format).bitsPerPixel()) /
      8;
  for (int first = 0; first < source.height(); first += rows) {
    const int count = std::min(rows, source.height() - first);
    const QImage strip =
        source.copy(0, first, source.width(), count).convertToFormat(format);
    if (strip.isNull()) return QImage();
    for (int y = 0; y < count; ++y) {
      std::memcpy(result.scanLine(first + y), strip.constScanLine(y), line);
    }
  }
  if (in_place) result.reinterpretAsFormat(format);
  return result;
}

bool WriteBitmap32(const QImage& source, QIODevice& out, int pixels_per_metre) {
  const QImage image = ConvertedOnThisThread(source, QImage::Format_RGB32);
  if (image.isNull() && !source.isNull()) return false;
  const quint32 w = static_cast<quint32>(image.width());
  const quint32 h = static_cast<quint32>(image.height());
  const quint32 pixels = w * h * 4;
  char header[54];
  char* p = header;
  *p++ = 'B';
  *p++ = 'M';
  Put32(p, 54 + pixels);  // file size
  Put32(p, 0);            // reserved
  Put32(p, 54);           // offset of the pixels
  Put32(p, 40);           // BITMAPINFOHEADER
  Put32(p, w);
  Put32(p, h);  // positive: bottom-up rows
  Put16(p, 1);  // planes
  Put16(p, 32);
  Put32(p, 0);  // BI_RGB
  Put32(p, pixels);
  Put32(p, static_cast<quint32>(pixels_per_metre));
  Put32(p, static_cast<quint32>(pixels_per_metre));
  Put32(p, 0);
  Put32(p, 0);
  if (out.write(header, sizeof header) != sizeof header) return false;
  if (w == 0 || h == 0) return true;

  const int rows = StripRows(image);
  std::vector<char> strip;
  try {
    strip.resize(static_cast<std::size_t>(rows) * w * 4);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Rows bottom-up, a strip at a time.
  for (int end = static_cast<int>(h); end > 0; end -= rows) {
    char* o = strip.data();
    for (int y = end - 1; y >= std::max(0, end - rows); --y) {
      // Format_RGB32 holds 0xFFRRGGBB words; BMP wants B, G, R and an
      // unused byte, written as 0.
      const auto* px = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      for (quint32 x = 0; x < w; ++x) {
        *o++ = static_cast<char>(qBlue(px[x]));
        *o++ = static_cast<char>(qGreen(px[x]));
        *o++ = static_cast<char>(qRed(px[x]));
        *o++ = '\0';
      }
    }
    const qint64 size = o - strip.data();
    if (out.write(strip.data(), size) != size) return false;
  }
  return true;
}

QByteArray EncodeBitmap32(const QImage& image, int pixels_per_metre) {
  QByteArray bytes;
  try {
    bytes.reserve(static_cast<qsizetype>(54) +
                  static_cast<qsizetype>(image.width()) * image.height() * 4);
  } catch (const std::bad_alloc&) {
    return {};
  }
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!WriteBitmap32(image, buffer, pixels_per_metre)) return {};
  return bytes;
}

}  // namespace orvane

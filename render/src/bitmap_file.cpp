#include "render/bitmap_file.h"

#include <cstring>

namespace orvane {
namespace {

void Put16(QByteArray& out, quint16 v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}

void Put32(QByteArray& out, quint32 v) {
  for (int i = 0; i < 4; ++i)
    out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

QByteArray EncodeBitmap32(const QImage& source, int pixels_per_metre) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const quint32 w = static_cast<quint32>(image.width());
  const quint32 h = static_cast<quint32>(image.height());
  const quint32 pixels = w * h * 4;
  QByteArray out;
  out.reserve(static_cast<int>(54 + pixels));
  out.append("BM", 2);
  Put32(out, 54 + pixels);  // file size
  Put32(out, 0);            // reserved
  Put32(out, 54);           // offset of the pixels
  Put32(out, 40);           // BITMAPINFOHEADER
  Put32(out, w);
  Put32(out, h);  // positive: bottom-up rows
  Put16(out, 1);  // planes
  Put16(out, 32);
  Put32(out, 0);  // BI_RGB
  Put32(out, pixels);
  Put32(out, pixels_per_metre);
  Put32(out, pixels_per_metre);
  Put32(out, 0);
  Put32(out, 0);
  // Format_RGB32 holds 0xFFRRGGBB words, in memory B, G, R, FF on a little-
  // endian machine; BMP wants B, G, R and an unused byte, written as 0.
  for (int y = static_cast<int>(h) - 1; y >= 0; --y) {
    const uchar* line = image.constScanLine(y);
    for (quint32 x = 0; x < w; ++x) {
      const QRgb px = reinterpret_cast<const QRgb*>(line)[x];
      out.append(static_cast<char>(qBlue(px)));
      out.append(static_cast<char>(qGreen(px)));
      out.append(static_cast<char>(qRed(px)));
      out.append('\0');
    }
  }
  return out;
}

}  // namespace orvane

// Windows bitmap (BMP) files of 32 bits per pixel.
#ifndef ORVANE_RENDER_BITMAP_FILE_H_
#define ORVANE_RENDER_BITMAP_FILE_H_

#include <QByteArray>
#include <QImage>

namespace orvane {

// The image as a BMP file: BITMAPFILEHEADER, BITMAPINFOHEADER (40 bytes),
// 32 bits per pixel (blue, green, red, unused), rows bottom-up, at
// `pixels_per_metre` (3780: 96 dpi).
QByteArray EncodeBitmap32(const QImage& image, int pixels_per_metre = 3780);

}  // namespace orvane

#endif  // ORVANE_RENDER_BITMAP_FILE_H_

// SPDX-License-Identifier: MIT
// Windows bitmap (BMP) files of 32 bits per pixel.
#ifndef ORVANE_RENDER_BITMAP_FILE_H_
#define ORVANE_RENDER_BITMAP_FILE_H_

#include <QByteArray>
#include <QIODevice>
#include <QImage>

namespace orvane {

// The image in `format`, with the pixels QImage::convertToFormat gives,
// converted a strip of rows at a time on the calling thread: Qt shares the
// conversion of a larger image among the threads of its global pool and
// waits for them, forever where no thread can be started. A null image
// when there is no memory for the result. A format of the image's depth
// is converted in its own pixels (those of a copy where it shares them).
QImage ConvertedOnThisThread(QImage image, QImage::Format format);

// Writes the image to `out` as a BMP file: BITMAPFILEHEADER,
// BITMAPINFOHEADER (40 bytes), 32 bits per pixel (blue, green, red,
// unused), rows bottom-up, at `pixels_per_metre` (3780: 96 dpi). An image
// of Format_RGB32 goes out a strip of rows at a time, with no copy of it
// held. False when `out` refused a write (its errorString() says why) or
// there was no memory for a converted copy.
bool WriteBitmap32(const QImage& image, QIODevice& out,
                   int pixels_per_metre = 3780);

// The same file in memory; empty when there is no memory for it.
QByteArray EncodeBitmap32(const QImage& image, int pixels_per_metre = 3780);

}  // namespace orvane

#endif  // ORVANE_RENDER_BITMAP_FILE_H_

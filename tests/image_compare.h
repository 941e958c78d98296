// Comparing two pictures of the same chart, pixel by pixel.
#ifndef ORVANE_IMAGE_COMPARE_H_
#define ORVANE_IMAGE_COMPARE_H_

#include <QImage>
#include <algorithm>
#include <cstdlib>

namespace orvane::testing_support {

// The largest difference of the red, green and blue of two colours.
inline int ColourDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

// The pixels of two pictures of one size whose colours differ by more than
// `tolerance` in any of red, green and blue.
inline int DifferingPixels(const QImage& a, const QImage& b, int tolerance) {
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      differing += ColourDistance(a.pixel(x, y), b.pixel(x, y)) > tolerance;
    }
  }
  return differing;
}

}  // namespace orvane::testing_support

#endif  // ORVANE_IMAGE_COMPARE_H_

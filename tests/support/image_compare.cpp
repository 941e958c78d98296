// SPDX-License-Identifier: MIT
#include "support/image_compare.h"

#include <algorithm>
#include <cstdlib>

namespace orvane::testing_support {

int ColourDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

int DifferingPixels(const QImage& a, const QImage& b, int tolerance) {
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      differing += ColourDistance(a.pixel(x, y), b.pixel(x, y)) > tolerance;
    }
  }
  return differing;
}

}  // namespace orvane::testing_support

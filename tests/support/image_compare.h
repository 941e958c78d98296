// SPDX-License-Identifier: MIT
// Comparing two pictures of the same chart, pixel by pixel.
#ifndef ORVANE_TESTS_SUPPORT_IMAGE_COMPARE_H_
#define ORVANE_TESTS_SUPPORT_IMAGE_COMPARE_H_

#include <QImage>

namespace orvane::testing_support {

// The largest difference of the red, green and blue of two colours.
int ColourDistance(QRgb a, QRgb b);

// The pixels of two pictures of one size whose colours differ by more than
// `tolerance` in any of red, green and blue.
int DifferingPixels(const QImage& a, const QImage& b, int tolerance);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_IMAGE_COMPARE_H_

// SPDX-License-Identifier: MIT
#include "render/plot_picture.h"

namespace orvane {

QImage PlotPicture::Image(QSize size, const ChartRenderOptions& options) const {
  QImage image(size, QImage::Format_RGB32);
  // A painter on a null image would warn at every call.
  if (image.isNull()) return image;
  image.fill(Qt::white);
  QPainter painter(&image);
  if (!Draw(painter, size, options)) return QImage();
  return image;
}

}  // namespace orvane

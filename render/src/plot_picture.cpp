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

bool EqualAreaPicture::Draw(QPainter& painter, QSize size,
                            const ChartRenderOptions& options) const {
  return RenderChart(painter, chart_, size, nullptr, options);
}

bool EqualAreaPicture::DrawPicture(QPainter& painter, QSize size,
                                   PictureLayer layer,
                                   const ChartRenderOptions& options) const {
  return RenderChartPicture(painter, chart_, size, layer, options);
}

}  // namespace orvane

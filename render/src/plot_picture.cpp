#include "render/plot_picture.h"

namespace orvane {

QImage PlotPicture::Image(QSize size, const ChartRenderOptions& options) const {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Draw(painter, size, options);
  return image;
}

void EqualAreaPicture::Draw(QPainter& painter, QSize size,
                            const ChartRenderOptions& options) const {
  RenderChart(painter, chart_, size, nullptr, options);
}

void EqualAreaPicture::DrawPicture(QPainter& painter, QSize size,
                                   PictureLayer layer,
                                   const ChartRenderOptions& options) const {
  RenderChartPicture(painter, chart_, size, layer, options);
}

}  // namespace orvane

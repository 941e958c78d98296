// SPDX-License-Identifier: MIT
#include "render/program_icon.h"

#include <QBuffer>
#include <QPainterPath>
#include <QPixmap>
#include <QSvgGenerator>

namespace orvane {

void DrawProgramIcon(QPainter& p, int size) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // The disc with its rim.
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2));
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  // Two circles of equal axial ratio.
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(16, 16), 6.5, 6.5);
  p.drawEllipse(QPointF(16, 16), 10.5, 10.5);
  // A strained marker, and the strain.
  p.save();
  p.translate(16, 16);
  p.rotate(-35);
  p.setPen(QPen(QColor(0x00, 0x00, 0xA0), 1.6));
  p.setBrush(QColor(0x00, 0x00, 0xFF, 60));
  p.drawEllipse(QPointF(0, 0), 11, 5);
  p.restore();
  QPen cross(QColor(0xFF, 0x00, 0x00), 2.6);
  cross.setCapStyle(Qt::SquareCap);
  p.setPen(cross);
  p.drawLine(QPointF(18, 13), QPointF(24, 13));
  p.drawLine(QPointF(21, 10), QPointF(21, 16));
  p.restore();
}

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  DrawProgramIcon(painter, size);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int s : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(ProgramIconImage(s)));
  }
  return icon;
}

QByteArray ProgramIconSvg(int size) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(size, size));
  svg.setViewBox(QRect(0, 0, size, size));
  svg.setTitle("Orvane");
  {
    QPainter painter(&svg);
    DrawProgramIcon(painter, size);
  }
  return buffer.data();
}

}  // namespace orvane

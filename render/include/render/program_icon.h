// SPDX-License-Identifier: MIT
// The program's icon: an equal-area disc with two iso-R circles, a
// measured ellipse and the optimal strain's red cross.
#ifndef ORVANE_RENDER_PROGRAM_ICON_H_
#define ORVANE_RENDER_PROGRAM_ICON_H_

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPainter>

namespace orvane {

// Draws the icon into the square of `size` pixels at the painter's origin.
void DrawProgramIcon(QPainter& painter, int size);

// The icon at `size` pixels, on a transparent ground (32 for the About box).
QImage ProgramIconImage(int size = 32);

// The icon at the sizes a desktop asks for.
QIcon ProgramIcon();

// The icon as an SVG document of `size` pixels, for the scalable theme icon.
QByteArray ProgramIconSvg(int size = 256);

}  // namespace orvane

#endif  // ORVANE_RENDER_PROGRAM_ICON_H_

// The program's icon: an equal-area disc with two iso-R circles, a
// measured ellipse and the optimal strain's red cross.
#ifndef ORVANE_UI_PROGRAM_ICON_H_
#define ORVANE_UI_PROGRAM_ICON_H_

#include <QIcon>
#include <QPixmap>

namespace orvane {

// The icon drawn at `size` pixels (32 for the About box).
QPixmap ProgramIconPixmap(int size = 32);
QIcon ProgramIcon();

}  // namespace orvane

#endif  // ORVANE_UI_PROGRAM_ICON_H_

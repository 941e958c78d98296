// SPDX-License-Identifier: MIT
// Dialogs that fit the screen they open on. A dialog laid out for a large
// screen opens with its buttons out of reach on a small or scaled one: a
// 1920 x 1080 display at a scale of two offers 960 x 540 logical pixels.
// Every dialog of the window passes through FitToScreen once it is built.
#ifndef ORVANE_WINDOW_SCREEN_FIT_H_
#define ORVANE_WINDOW_SCREEN_FIT_H_

#include <QRect>
#include <QSize>

class QWidget;

namespace orvane {

// The largest size, in logical pixels, of a dialog on a screen whose
// available area is `available`: a margin on every side, and above that
// room for the title bar of the frame. Never negative.
QSize DialogSizeLimit(const QRect& available);

// Makes `dialog` fit `available`, in logical pixels. A dialog that already
// fits is left as it is. One whose layout needs more than DialogSizeLimit
// gets its contents in a scroll area, with its button boxes below it in
// sight; its size and minimum size are then capped at the limit. Calling it
// again (for another screen) caps the size anew and wraps nothing twice.
void FitToScreen(QWidget* dialog, const QRect& available);

// The same for the available area of the screen the dialog opens on: that
// of its parent's window, or the primary screen for a dialog without one.
void FitToScreen(QWidget* dialog);

}  // namespace orvane

#endif  // ORVANE_WINDOW_SCREEN_FIT_H_

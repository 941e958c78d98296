// SPDX-License-Identifier: MIT
#include "window/screen_fit.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace orvane {
namespace {

// Room left free around a dialog, so that its edges stay clear of the
// screen's, and above it for the frame's title bar (the frame itself is
// the window manager's and not part of the dialog's size).
constexpr int kScreenMargin = 16;
constexpr int kTitleBarRoom = 32;
// The scroll area a dialog's contents are moved into, found by this name
// so that a second fit does not wrap them again.
constexpr const char* kScrollName = "screenFitScroll";

// Moves the contents of `dialog`, laid out by `layout`, into a scroll
// area; the button boxes that are items of `layout` itself stay below it,
// so that OK and Cancel are in sight however far the contents scroll.
void WrapInScrollArea(QWidget* dialog, QLayout* layout) {
  QList<QDialogButtonBox*> boxes;
  for (int i = layout->count() - 1; i >= 0; --i) {
    QLayoutItem* item = layout->itemAt(i);
    if (auto* box = qobject_cast<QDialogButtonBox*>(item->widget())) {
      boxes.prepend(box);
      delete layout->takeAt(i);
    }
  }
  const QMargins margins = layout->contentsMargins();
  auto* scroll = new QScrollArea(dialog);
  scroll->setObjectName(kScrollName);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  auto* contents = new QWidget(scroll);
  contents->setObjectName("screenFitContents");
  // The layout leaves the dialog for the contents, its widgets with it.
  contents->setLayout(layout);
  scroll->setWidget(contents);
  auto* outer = new QVBoxLayout(dialog);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(scroll, 1);
  if (!boxes.isEmpty()) {
    auto* below = new QVBoxLayout;
    below->setContentsMargins(margins.left(), margins.bottom(), margins.right(),
                              margins.bottom());
    for (QDialogButtonBox* box : boxes) below->addWidget(box);
    outer->addLayout(below);
  }
}

}  // namespace

QSize DialogSizeLimit(const QRect& available) {
  return QSize(
      std::max(0, available.width() - 2 * kScreenMargin),
      std::max(0, available.height() - 2 * kScreenMargin - kTitleBarRoom));
}

void FitToScreen(QWidget* dialog, const QRect& available) {
  const QSize limit = DialogSizeLimit(available);
  const bool resized = dialog->testAttribute(Qt::WA_Resized);
  QLayout* layout = dialog->layout();
  const bool wrapped = dialog->findChild<QScrollArea*>(
                           kScrollName, Qt::FindDirectChildrenOnly) != nullptr;
  if (layout != nullptr && !wrapped) {
    layout->activate();
    const QSize needed = layout->totalMinimumSize();
    if (needed.width() > limit.width() || needed.height() > limit.height()) {
      // The size it would have had: the one given, or the one it asks for,
      // with room for the scroll bar that now runs beside the contents.
      QSize wanted = resized ? dialog->size() : layout->totalSizeHint();
      wanted = wanted.expandedTo(needed);
      const int bar = dialog->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
      if (wanted.height() > limit.height()) wanted.rwidth() += bar;
      if (wanted.width() > limit.width()) wanted.rheight() += bar;
      WrapInScrollArea(dialog, layout);
      dialog->resize(wanted.boundedTo(limit));
    }
  }
  if (dialog->layout() != nullptr) dialog->layout()->activate();
  // A minimum beyond the limit is one the dialog set itself: it is capped.
  // One within is left alone, so that it still follows the layout.
  const QSize minimum = dialog->minimumSize();
  if (minimum.width() > limit.width() || minimum.height() > limit.height()) {
    dialog->setMinimumSize(minimum.boundedTo(limit));
  }
  if (dialog->testAttribute(Qt::WA_Resized)) {
    const QSize size = dialog->size();
    if (size.width() > limit.width() || size.height() > limit.height()) {
      dialog->resize(size.boundedTo(limit));
    }
  }
}

void FitToScreen(QWidget* dialog) {
  QWidget* parent = dialog->parentWidget();
  const QScreen* screen =
      parent != nullptr ? parent->window()->screen() : dialog->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  FitToScreen(dialog, screen->availableGeometry());
}

}  // namespace orvane

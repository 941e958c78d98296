// SPDX-License-Identifier: MIT
#include "support/modal_script.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>

namespace orvane::testing_support {

namespace {

// The text of a message box; empty for any other dialog.
QString Text(QWidget* w) {
  auto* box = qobject_cast<QMessageBox*>(w);
  return box ? box->text() : QString();
}

}  // namespace

ModalScript::ModalScript(std::deque<Handler> handlers)
    : handlers_(std::move(handlers)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
  timer_.start(10);
}

ModalScript::~ModalScript() {
  EXPECT_TRUE(handlers_.empty()) << "dialogs not shown";
}

void ModalScript::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
    if (!progress_texts_.contains(progress->labelText())) {
      progress_texts_ << progress->labelText();
    }
    if (cancel_progress_) {
      if (auto* button = progress->findChild<QPushButton*>()) {
        progress_cancelled_ = true;
        QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
      }
    }
    return;
  }
  if (modal == nullptr || modal == last_) {
    if (modal != nullptr && ++waited_ > 300) {  // 3 s on one dialog
      ADD_FAILURE() << "dialog left open: " << modal->metaObject()->className();
      if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    }
    return;
  }
  // A dialog that comes back when a dialog it opened closes is not a new
  // one: the handler of the one it opened has answered it.
  if (modal == opener_ && handled_.contains(modal)) {
    last_ = modal;
    waited_ = 0;
    return;
  }
  last_ = modal;
  waited_ = 0;
  handled_.insert(modal);
  opener_ = modal->parentWidget();
  if (handlers_.empty()) {
    ADD_FAILURE() << "unexpected dialog " << modal->metaObject()->className()
                  << " " << Text(modal).toStdString();
    if (auto* d = qobject_cast<QDialog*>(modal)) d->reject();
    return;
  }
  Handler h = handlers_.front();
  handlers_.pop_front();
  h(modal);
}

ModalScript::Handler Choose(const QString& path) {
  return [path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
  };
}

ModalScript::Handler Cancel() {
  return [](QWidget* w) {
    auto* dialog = qobject_cast<QDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
  };
}

ModalScript::Handler Box(const QString& text,
                         QMessageBox::StandardButton button) {
  return [text, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << w->metaObject()->className();
    EXPECT_EQ(box->text().toStdString(), text.toStdString());
    QAbstractButton* b = box->button(button);
    ASSERT_NE(b, nullptr);
    QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
  };
}

ModalScript::Handler Offers(const QString& folder, const QString& name,
                            const QString& path) {
  return [folder, name, path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(QDir(dialog->directory()).absolutePath(),
              QDir(folder).absolutePath());
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), name);
    Choose(path)(w);
  };
}

}  // namespace orvane::testing_support

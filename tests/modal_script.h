// Driving the window's modal dialogs from a test: a script of handlers,
// one per dialog in the order they appear, and the common handlers.
#ifndef ORVANE_TESTS_MODAL_SCRIPT_H_
#define ORVANE_TESTS_MODAL_SCRIPT_H_

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

namespace orvane::testing_support {

// Answers the modal dialogs that a command opens, one handler per dialog in
// the order they appear; a dialog left unanswered is rejected after a few
// seconds so that a test fails instead of hanging.
class ModalScript {
 public:
  using Handler = std::function<void(QWidget*)>;
  explicit ModalScript(std::deque<Handler> handlers)
      : handlers_(std::move(handlers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }
  ~ModalScript() { EXPECT_TRUE(handlers_.empty()) << "dialogs not shown"; }

  // Presses Cancel on every progress box that appears. Progress boxes are
  // otherwise left to run: whether one shows depends on the machine's speed.
  void CancelProgress() { cancel_progress_ = true; }
  bool ProgressCancelled() const { return progress_cancelled_; }
  // The texts of the progress boxes that appeared.
  const QStringList& ProgressTexts() const { return progress_texts_; }

 private:
  void Poll() {
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
        ADD_FAILURE() << "dialog left open: "
                      << modal->metaObject()->className();
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
  static QString Text(QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    return box ? box->text() : QString();
  }

  std::deque<Handler> handlers_;
  bool cancel_progress_ = false;
  bool progress_cancelled_ = false;
  QStringList progress_texts_;
  QTimer timer_;
  QWidget* last_ = nullptr;
  QSet<QWidget*> handled_;
  QPointer<QWidget> opener_;
  int waited_ = 0;
};

// Chooses `path` in a file dialog.
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

// Expects a message box with `text` and presses `button`.
ModalScript::Handler Box(const QString& text,
                         QMessageBox::StandardButton button = QMessageBox::Ok) {
  return [text, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << w->metaObject()->className();
    EXPECT_EQ(box->text().toStdString(), text.toStdString());
    QAbstractButton* b = box->button(button);
    ASSERT_NE(b, nullptr);
    QMetaObject::invokeMethod(b, "click", Qt::QueuedConnection);
  };
}

// Checks what a save dialog offers, then chooses `path` in it.
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

#endif  // ORVANE_TESTS_MODAL_SCRIPT_H_

// SPDX-License-Identifier: MIT
// Driving the window's modal dialogs from a test: a script of handlers,
// one per dialog in the order they appear, and the common handlers.
#ifndef ORVANE_TESTS_SUPPORT_MODAL_SCRIPT_H_
#define ORVANE_TESTS_SUPPORT_MODAL_SCRIPT_H_

#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>

namespace orvane::testing_support {

// Answers the modal dialogs that a command opens, one handler per dialog in
// the order they appear; a dialog left unanswered is rejected after a few
// seconds so that a test fails instead of hanging.
class ModalScript {
 public:
  using Handler = std::function<void(QWidget*)>;
  explicit ModalScript(std::deque<Handler> handlers);
  // Fails the test where a handler is left: its dialog never showed.
  ~ModalScript();

  // Presses Cancel on every progress box that appears. Progress boxes are
  // otherwise left to run: whether one shows depends on the machine's speed.
  void CancelProgress() { cancel_progress_ = true; }
  bool ProgressCancelled() const { return progress_cancelled_; }
  // The texts of the progress boxes that appeared.
  const QStringList& ProgressTexts() const { return progress_texts_; }

 private:
  void Poll();

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
ModalScript::Handler Choose(const QString& path);

// Rejects a dialog.
ModalScript::Handler Cancel();

// Expects a message box with `text` and presses `button`.
ModalScript::Handler Box(const QString& text,
                         QMessageBox::StandardButton button = QMessageBox::Ok);

// Checks what a save dialog offers, then chooses `path` in it.
ModalScript::Handler Offers(const QString& folder, const QString& name,
                            const QString& path);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_MODAL_SCRIPT_H_

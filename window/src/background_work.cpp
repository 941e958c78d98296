// SPDX-License-Identifier: MIT
#include "window/background_work.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <utility>

#include "core/parallel.h"
#include "io/open_pipeline.h"

namespace orvane {
namespace {

// The wait cursor for as long as it lives, however the work ends.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Queues `call` on `receiver`'s thread when the worker leaves the work,
// also by an exception, so that the window never waits for good.
class CallWhenDone {
 public:
  CallWhenDone(QObject* receiver, std::function<void()> call)
      : receiver_(receiver), call_(std::move(call)) {}
  ~CallWhenDone() {
    QMetaObject::invokeMethod(receiver_, std::move(call_),
                              Qt::QueuedConnection);
  }
  CallWhenDone(const CallWhenDone&) = delete;
  CallWhenDone& operator=(const CallWhenDone&) = delete;

 private:
  QObject* receiver_;
  std::function<void()> call_;
};

}  // namespace

namespace background_work_internal {

std::unique_ptr<WorkBeside> StartBeside(QObject* receiver,
                                        std::function<void()> work,
                                        std::function<void()> ended) {
  auto worker = std::make_unique<WorkBeside>(
      [receiver, work = std::move(work), ended = std::move(ended)] {
        // However the work ends, the receiver hears of it on its own thread.
        const CallWhenDone report(receiver, ended);
        work();
      });
  if (!worker->Started()) {
    // No thread to be had: the work runs here, the window waiting.
    const WaitCursor wait;
    worker->Join();
  }
  return worker;
}

}  // namespace background_work_internal

BackgroundWork::BackgroundWork(QWidget* parent, QString title)
    : parent_(parent), title_(std::move(title)) {}

void BackgroundWork::Run(const std::function<void()>& work, const QString& what,
                         StageProgress* progress) {
  // The window keeps painting while the work runs on a worker thread; the
  // modal progress box keeps every command away from the state until the
  // work is done, and its Cancel button asks the work to stop.
  QEventLoop loop;
  WorkBeside worker([&work, &loop] {
    // The local event loop ends however the work ends. (Where the work ran
    // on the window's thread, the loop never runs and the request goes with
    // it.)
    const CallWhenDone quit(&loop, [&loop] { loop.quit(); });
    work();
  });
  if (!worker.Started()) {
    // No thread to be had (a process limit): the work runs here, and the
    // window waits for it without repainting.
    const WaitCursor wait;
    worker.Join();
    return;
  }
  QProgressDialog box(what, "Cancel", 0, 0, parent_);
  box.setObjectName("progressBox");
  box.setWindowTitle(title_);
  box.setWindowModality(Qt::ApplicationModal);
  box.setMinimumDuration(0);
  box.setAutoClose(false);
  box.setAutoReset(false);
  if (progress == nullptr) box.setCancelButton(nullptr);
  QObject::connect(&box, &QProgressDialog::canceled, &box, [&box, progress] {
    if (progress == nullptr) return;
    progress->Cancel();
    box.setLabelText("Cancelling…");
  });
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &box, [&box, progress] {
    const double f = progress ? progress->Fraction() : -1.0;
    if (f >= 0) {
      box.setMaximum(1000);
      box.setValue(static_cast<int>(f * 1000));
    }
  });
  poll.start(50);
  const WaitCursor wait;
  box.show();
  loop.exec();
  worker.Join();
}

}  // namespace orvane

// Work that takes a while, run so that the window keeps painting: on a
// worker thread, behind a modal progress box.
#ifndef ORVANE_WINDOW_BACKGROUND_WORK_H_
#define ORVANE_WINDOW_BACKGROUND_WORK_H_

#include <QString>
#include <functional>

class QWidget;

namespace orvane {

class StageProgress;

class BackgroundWork {
 public:
  // The progress box is a child of `parent`, titled `title`.
  BackgroundWork(QWidget* parent, QString title);

  // Runs `work` to its end on a worker thread while an application-modal
  // progress box (object name "progressBox") saying `what` keeps every
  // command away from the data and a local event loop keeps the window
  // painting, under a wait cursor. With `progress` the box shows how far
  // the work is and its Cancel button asks the work to stop; without, it
  // has no Cancel button. Without a thread to be had, the work runs on this
  // one under the wait cursor, with no box and no painting meanwhile. An
  // exception thrown by the work is rethrown here once it has ended.
  void Run(const std::function<void()>& work, const QString& what,
           StageProgress* progress = nullptr);

 private:
  QWidget* parent_;
  QString title_;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_BACKGROUND_WORK_H_

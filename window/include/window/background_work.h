// SPDX-License-Identifier: MIT
// Work that takes a while, run so that the window keeps painting: on a
// worker thread, behind a modal progress box (BackgroundWork), or beside the
// window while it keeps answering, the newest of several analyses shown
// (NewestRuns).
#ifndef ORVANE_WINDOW_BACKGROUND_WORK_H_
#define ORVANE_WINDOW_BACKGROUND_WORK_H_

#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/parallel.h"

class QObject;
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

namespace background_work_internal {

// Starts `work` on a thread of its own and, when it has ended however it
// ends, queues `ended` on `receiver`'s thread. Without a thread to be had,
// the work runs here under the wait cursor before this returns, the window
// waiting (and `ended` is queued all the same).
std::unique_ptr<WorkBeside> StartBeside(QObject* receiver,
                                        std::function<void()> work,
                                        std::function<void()> ended);

}  // namespace background_work_internal

// The analyses a page runs beside the window, of which only the newest is
// ever shown: each change of what the page shows asks the runs under way
// to stop and starts a new one, and a run overtaken by a newer one is
// dropped unseen when it ends. `Run` holds what one run reads and writes;
// its Stop() asks its work to stop.
template <typename Run>
class NewestRuns {
 public:
  // `ended(run)` is called on `owner`'s thread when the newest run's work
  // has ended, its thread joined; the run goes once it returns.
  NewestRuns(QObject* owner, std::function<void(Run&)> ended)
      : owner_(owner), ended_(std::move(ended)) {}
  NewestRuns(const NewestRuns&) = delete;
  NewestRuns& operator=(const NewestRuns&) = delete;

  // The newest run while it is under way, the one whose result is to be
  // shown; nullptr when there is none.
  Run* Newest() const {
    return Running() ? entries_.back().run.get() : nullptr;
  }
  bool Running() const {
    return !entries_.empty() && entries_.back().id == newest_;
  }

  // Asks every run under way to stop; none of them is the newest any more.
  void StopAll() {
    for (const Entry& entry : entries_) entry.run->Stop();
    ++newest_;
  }
  // Asks every run to stop and waits for them all to end: for the owner's
  // destructor, so that no run outlives the page it reports to.
  void StopAndWait() {
    StopAll();
    entries_.clear();
  }

  // Holds `run` as the newest run, under way from here on, and returns it;
  // its work begins with Begin, so that the owner can show it under way
  // first.
  Run& Add(std::unique_ptr<Run> run) {
    entries_.push_back(Entry{++newest_, std::move(run), nullptr});
    return *entries_.back().run;
  }
  // Begins the work of `run` (from Add): `work(run)` beside the window, or
  // here under the wait cursor when no thread is to be had.
  void Begin(Run& run, std::function<void(Run&)> work) {
    const auto it = std::find_if(
        entries_.begin(), entries_.end(),
        [&run](const Entry& entry) { return entry.run.get() == &run; });
    if (it == entries_.end()) return;
    const std::uint64_t id = it->id;
    it->worker = background_work_internal::StartBeside(
        owner_, [&run, work = std::move(work)] { work(run); },
        [this, id] { Finish(id); });
  }

 private:
  // The worker is destroyed first, so that it has joined its thread before
  // the run it writes goes.
  struct Entry {
    std::uint64_t id = 0;
    std::unique_ptr<Run> run;
    std::unique_ptr<WorkBeside> worker;
  };

  // The work of run `id` has ended: its thread is joined, and the run goes
  // to the owner if it is still the newest.
  void Finish(std::uint64_t id) {
    const auto it =
        std::find_if(entries_.begin(), entries_.end(),
                     [id](const Entry& entry) { return entry.id == id; });
    if (it == entries_.end()) return;
    Entry entry = std::move(*it);
    entries_.erase(it);
    // (No worker when the work ran here and threw out of Begin.)
    if (entry.worker != nullptr) entry.worker->Join();
    // A run overtaken by a newer one is dropped unseen.
    if (id != newest_) return;
    ended_(*entry.run);
  }

  QObject* owner_;
  std::function<void(Run&)> ended_;
  // The runs not yet ended, the newest last.
  std::vector<Entry> entries_;
  std::uint64_t newest_ = 0;
};

}  // namespace orvane

#endif  // ORVANE_WINDOW_BACKGROUND_WORK_H_

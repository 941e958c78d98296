// SPDX-License-Identifier: MIT
// Work shared among the processor's threads: the one place where Orvane
// starts a thread. Three rules hold for every use.
//
// How many threads. A caller names, for each loop, the fewest items worth a
// thread of their own (`min_per_thread`, measured for that loop's cost per
// item). A loop of n items then gets n / min_per_thread threads, at least
// one (the calling thread) and at most the processor's cores or
// kMostThreads, whichever is fewer (ThreadsFor). Each item is computed as
// it would be alone, so the results never depend on the number of threads.
//
// A thread the system refuses (a process or thread limit, no memory for its
// stack): the calling thread runs that part itself, after its own. The work
// is slower; the results are the same.
//
// An exception thrown by a part: the parts already running finish, every
// started thread is joined, parts not yet begun are left out, and then the
// first exception thrown (the earliest, when several parts throw) is
// rethrown on the calling thread. Nothing is left running behind it.
#ifndef ORVANE_CORE_PARALLEL_H_
#define ORVANE_CORE_PARALLEL_H_

#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

namespace orvane {

// The most threads a loop is shared among, the calling thread included.
inline constexpr int kMostThreads = 8;

// The threads for `items` items at least `min_per_thread` each: items /
// min_per_thread, within 1 .. min(cores, kMostThreads). 1 for no items; a
// min_per_thread below 1 counts as 1.
int ThreadsFor(std::int64_t items, std::int64_t min_per_thread);

namespace parallel_internal {

// Calls call(work, k) for k = 0 .. parts - 1 under the rules above: part 0
// on the calling thread, each other on a thread of its own.
using PartCall = void (*)(const void* work, int part);
void RunParts(int parts, PartCall call, const void* work);

}  // namespace parallel_internal

// Runs part(k) for k = 0 .. parts - 1, part 0 on the calling thread and
// every other on a thread of its own (parts <= 1: part 0 alone, here).
// Returns when every part is done; see the rules above for a refused thread
// and an exception.
template <typename Part>
void RunInParts(int parts, const Part& part) {
  parallel_internal::RunParts(
      parts,
      [](const void* work, int k) { (*static_cast<const Part*>(work))(k); },
      &part);
}

// Calls body(first, last) on disjoint ranges that together cover
// [begin, end), on ThreadsFor(end - begin, min_per_thread) threads; a range
// too small to share runs on the calling thread alone. Returns when every
// range is done.
template <typename Body>
void ParallelFor(std::int64_t begin, std::int64_t end, const Body& body,
                 std::int64_t min_per_thread = 50000) {
  const std::int64_t n = end - begin;
  if (n <= 0) return;
  const int threads = ThreadsFor(n, min_per_thread);
  if (threads <= 1) {
    body(begin, end);
    return;
  }
  const std::int64_t chunk = (n + threads - 1) / threads;
  RunInParts(threads, [&](int k) {
    const std::int64_t first = begin + k * chunk;
    const std::int64_t last = std::min(end, first + chunk);
    if (first < last) body(first, last);
  });
}

// Runs `first` on the calling thread and `second` on a thread beside it
// when `together` is true (callers decide it by ThreadsFor(...) > 1), else
// the one after the other here. The rules above hold for both.
template <typename First, typename Second>
void RunSideBySide(bool together, const First& first, const Second& second) {
  if (!together) {
    first();
    second();
    return;
  }
  RunInParts(2, [&](int k) {
    if (k == 0) {
      first();
    } else {
      second();
    }
  });
}

// A piece of work on a thread of its own while the calling thread does
// something else meanwhile (an event loop, say) and then waits for it.
//
// When the system refuses the thread, nothing is started: Started() is
// false and Join() runs the work on the calling thread, so the caller may
// also do something else in that case first (show a wait cursor).
class WorkBeside {
 public:
  // Starts `work` on a thread of its own, where one is to be had.
  explicit WorkBeside(std::function<void()> work);
  // Waits for a started work that was not joined, and drops an exception
  // it threw (call Join to have it); a work never started is not run.
  ~WorkBeside();
  WorkBeside(const WorkBeside&) = delete;
  WorkBeside& operator=(const WorkBeside&) = delete;

  // Whether the work runs on a thread of its own.
  bool Started() const { return thread_.joinable(); }

  // Waits for the work to end, or runs it here when no thread was started,
  // then rethrows the exception the work threw, if any. The work runs once:
  // a second Join returns at once.
  void Join();

 private:
  std::function<void()> work_;
  std::exception_ptr thrown_;
  std::thread thread_;
  bool done_ = false;
};

// For tests: while one is alive, the helpers above start at most `threads`
// further threads, and are refused every later one as a process limit
// would refuse it. Not to be nested, nor made while helpers run.
class ThreadLimitForTesting {
 public:
  explicit ThreadLimitForTesting(int threads);
  ~ThreadLimitForTesting();
  ThreadLimitForTesting(const ThreadLimitForTesting&) = delete;
  ThreadLimitForTesting& operator=(const ThreadLimitForTesting&) = delete;
};

}  // namespace orvane

#endif  // ORVANE_CORE_PARALLEL_H_

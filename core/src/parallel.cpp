// SPDX-License-Identifier: MIT
#include "core/parallel.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

namespace orvane {
namespace {

// The threads a test still allows (ThreadLimitForTesting); no limit while
// kUnlimited.
constexpr int kUnlimited = -1;
std::atomic<int> threads_allowed{kUnlimited};

// A new thread running `run`. Throws what std::thread throws when the
// system refuses one (std::system_error; std::bad_alloc for its state), and
// the same std::system_error past a test's limit.
template <typename Run>
std::thread StartThread(Run&& run) {
  int allowed = threads_allowed.load();
  while (allowed != kUnlimited) {
    if (allowed == 0) {
      throw std::system_error(EAGAIN, std::generic_category(),
                              "thread limit of the test");
    }
    if (threads_allowed.compare_exchange_weak(allowed, allowed - 1)) break;
  }
  return std::thread(std::forward<Run>(run));
}

// The first exception thrown by any part, and whether there is one yet.
class FirstException {
 public:
  void Keep(std::exception_ptr e) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!first_) first_ = std::move(e);
    failed_.store(true);
  }
  bool Failed() const { return failed_.load(); }
  void RethrowIfAny() {
    if (first_) std::rethrow_exception(first_);
  }

 private:
  std::mutex mutex_;
  std::exception_ptr first_;
  std::atomic<bool> failed_{false};
};

}  // namespace

int ThreadsFor(std::int64_t items, std::int64_t min_per_thread) {
  if (items <= 0) return 1;
  const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<int>(std::clamp<std::int64_t>(
      items / std::max<std::int64_t>(1, min_per_thread), 1,
      std::min<std::int64_t>(cores, kMostThreads)));
}

namespace parallel_internal {

void RunParts(int parts, PartCall call, const void* work) {
  if (parts <= 1) {
    if (parts == 1) call(work, 0);
    return;
  }
  FirstException thrown;
  auto run = [&](int k) {
    if (thrown.Failed()) return;  // the results are lost anyway
    try {
      call(work, k);
    } catch (...) {
      thrown.Keep(std::current_exception());
    }
  };
  std::vector<std::thread> threads;
  std::vector<int> refused;
  try {
    threads.reserve(static_cast<std::size_t>(parts - 1));
    refused.reserve(static_cast<std::size_t>(parts - 1));
  } catch (const std::bad_alloc&) {
    // No room even to keep the threads: every part runs here.
    for (int k = 0; k < parts; ++k) run(k);
    thrown.RethrowIfAny();
    return;
  }
  for (int k = 1; k < parts; ++k) {
    try {
      threads.push_back(StartThread([&run, k] { run(k); }));
    } catch (const std::exception&) {  // std::system_error, std::bad_alloc
      refused.push_back(k);
    }
  }
  run(0);
  for (int k : refused) run(k);
  for (std::thread& t : threads) t.join();
  thrown.RethrowIfAny();
}

}  // namespace parallel_internal

WorkBeside::WorkBeside(std::function<void()> work) : work_(std::move(work)) {
  try {
    thread_ = StartThread([this] {
      try {
        work_();
      } catch (...) {
        thrown_ = std::current_exception();
      }
    });
  } catch (const std::exception&) {  // std::system_error, std::bad_alloc
    // No thread: Join runs the work here.
  }
}

WorkBeside::~WorkBeside() {
  if (thread_.joinable()) thread_.join();
}

void WorkBeside::Join() {
  if (done_) return;
  done_ = true;
  if (thread_.joinable()) {
    thread_.join();
  } else {
    work_();
  }
  if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
}

ThreadLimitForTesting::ThreadLimitForTesting(int threads) {
  threads_allowed.store(std::max(0, threads));
}

ThreadLimitForTesting::~ThreadLimitForTesting() {
  threads_allowed.store(kUnlimited);
}

}  // namespace orvane

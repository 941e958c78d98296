// SPDX-License-Identifier: MIT
// The one helper that shares work among threads: every item once, whatever
// threads the system gives; a refused thread's part run by the caller; an
// exception rethrown only once nothing runs any more.
#include "core/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orvane {
namespace {

// Every index of [begin, end) is handed out exactly once, with no threads,
// one thread or as many as asked, for ranges that divide evenly and not.
TEST(ParallelFor, CoversEveryIndexOnceWhateverThreadsAreHad) {
  for (int allowed : {-1, 0, 1}) {
    for (std::int64_t n : {0, 1, 7, 9, 17, 1000, 100003}) {
      std::optional<ThreadLimitForTesting> limit;
      if (allowed >= 0) limit.emplace(allowed);
      std::vector<std::atomic<int>> seen(static_cast<std::size_t>(n) + 2);
      ParallelFor(
          2, n + 2,
          [&](std::int64_t first, std::int64_t last) {
            EXPECT_LT(first, last);
            for (std::int64_t i = first; i < last; ++i) {
              seen[static_cast<std::size_t>(i)].fetch_add(1);
            }
          },
          1);
      for (std::int64_t i = 0; i < n + 2; ++i) {
        ASSERT_EQ(seen[static_cast<std::size_t>(i)].load(), i >= 2 ? 1 : 0)
            << "n " << n << ", index " << i << ", allowed " << allowed;
      }
    }
  }
}

TEST(ThreadsFor, OnlyWholeSharesOfWorkWithinTheCores) {
  EXPECT_EQ(ThreadsFor(0, 10), 1);
  EXPECT_EQ(ThreadsFor(19, 10), 1);
  const int most = static_cast<int>(std::min<unsigned>(
      std::max(1u, std::thread::hardware_concurrency()), kMostThreads));
  EXPECT_EQ(ThreadsFor(20, 10), std::min(2, most));
  EXPECT_EQ(ThreadsFor(1'000'000, 1), most);
  EXPECT_EQ(ThreadsFor(5, 0), std::min(5, most));
}

// With one thread to be had among three asked for, that part runs on it
// and the two refused ones on the calling thread, after its own.
TEST(RunInParts, RefusedPartsRunOnTheCallingThread) {
  const ThreadLimitForTesting limit(1);
  std::vector<std::thread::id> ran_on(4);
  std::vector<int> order;
  RunInParts(4, [&](int k) {
    ran_on[static_cast<std::size_t>(k)] = std::this_thread::get_id();
    if (k != 1) order.push_back(k);  // the caller's parts only
  });
  const auto here = std::this_thread::get_id();
  EXPECT_NE(ran_on[1], here);
  EXPECT_EQ(ran_on[0], here);
  EXPECT_EQ(ran_on[2], here);
  EXPECT_EQ(ran_on[3], here);
  EXPECT_EQ(order, (std::vector<int>{0, 2, 3}));
}

// A part that throws, on the caller or on a thread of its own, once the
// others have begun: the exception reaches the caller only after every
// other part has finished.
TEST(RunInParts, ExceptionRethrownOnceEveryPartHasEnded) {
  for (int thrower : {0, 2}) {
    std::atomic<int> begun{0};
    std::atomic<int> finished{0};
    try {
      RunInParts(4, [&](int k) {
        if (k == thrower) {
          while (begun.load() < 3) std::this_thread::yield();
          throw std::runtime_error("part " + std::to_string(k));
        }
        begun.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        finished.fetch_add(1);
      });
      ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "part " + std::to_string(thrower));
      EXPECT_EQ(finished.load(), 3) << "rethrown before every part ended";
    }
  }
}

// The worker beside: its exception comes out of Join, with or without a
// thread of its own, and a refused work runs on the caller.
TEST(WorkBeside, RefusedWorkRunsInJoinAndExceptionsReachTheCaller) {
  for (bool refused : {false, true}) {
    std::optional<ThreadLimitForTesting> limit;
    if (refused) limit.emplace(0);
    std::thread::id ran_on;
    WorkBeside work([&ran_on] {
      ran_on = std::this_thread::get_id();
      throw std::logic_error("failed");
    });
    EXPECT_EQ(work.Started(), !refused);
    EXPECT_THROW(work.Join(), std::logic_error);
    EXPECT_EQ(ran_on == std::this_thread::get_id(), refused);
    EXPECT_NO_THROW(work.Join());  // once only
  }
}

}  // namespace
}  // namespace orvane

// Work shared among the processor's cores for per-datum loops whose
// iterations are independent: each item is computed exactly as it would be
// alone, so the results do not depend on the number of cores.
#ifndef ORVANE_CORE_PARALLEL_H_
#define ORVANE_CORE_PARALLEL_H_

#include <algorithm>
#include <cstdint>
#include <exception>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace orvane {

// Calls body(first, last) on disjoint ranges that cover [begin, end), on up
// to eight threads; small ranges run on the calling thread alone. Returns
// when every range is done. When the system refuses a thread (a process or
// thread limit, no memory for its stack), the calling thread runs that range
// itself: the work is slower but the results are the same.
template <typename Body>
void ParallelFor(std::int64_t begin, std::int64_t end, Body body,
                 std::int64_t min_per_thread = 50000) {
  const std::int64_t n = end - begin;
  const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::int64_t workers =
      std::clamp<std::int64_t>(n / std::max<std::int64_t>(1, min_per_thread), 1,
                               std::min<std::int64_t>(cores, 8));
  if (workers <= 1) {
    if (n > 0) body(begin, end);
    return;
  }
  const std::int64_t chunk = (n + workers - 1) / workers;
  std::vector<std::thread> threads;
  std::vector<std::pair<std::int64_t, std::int64_t>> refused;
  try {
    threads.reserve(static_cast<std::size_t>(workers));
    refused.reserve(static_cast<std::size_t>(workers));
  } catch (const std::bad_alloc&) {
    body(begin, end);
    return;
  }
  for (std::int64_t w = 1; w < workers; ++w) {
    const std::int64_t first = begin + w * chunk;
    const std::int64_t last = std::min(end, first + chunk);
    if (first >= last) continue;
    try {
      threads.emplace_back(body, first, last);
    } catch (const std::exception&) {  // std::system_error, std::bad_alloc
      refused.emplace_back(first, last);
    }
  }
  body(begin, std::min(end, begin + chunk));
  for (const auto& [first, last] : refused) body(first, last);
  for (std::thread& t : threads) t.join();
}

}  // namespace orvane

#endif  // ORVANE_CORE_PARALLEL_H_

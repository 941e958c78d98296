// Work shared among the processor's cores for per-datum loops whose
// iterations are independent: each item is computed exactly as it would be
// alone, so the results do not depend on the number of cores.
#ifndef ORVANE_CORE_PARALLEL_H_
#define ORVANE_CORE_PARALLEL_H_

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace orvane {

// Calls body(first, last) on disjoint ranges that cover [begin, end), on up
// to eight threads; small ranges run on the calling thread alone. Returns
// when every range is done.
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
  std::vector<std::thread> threads;
  const std::int64_t chunk = (n + workers - 1) / workers;
  for (std::int64_t w = 1; w < workers; ++w) {
    const std::int64_t first = begin + w * chunk;
    const std::int64_t last = std::min(end, first + chunk);
    if (first < last) threads.emplace_back(body, first, last);
  }
  body(begin, std::min(end, begin + chunk));
  for (std::thread& t : threads) t.join();
}

}  // namespace orvane

#endif  // ORVANE_CORE_PARALLEL_H_

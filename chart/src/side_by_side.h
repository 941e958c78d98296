// Two pieces of work at once: the plots compute the points of large data
// on two threads.
#ifndef ORVANE_CHART_SIDE_BY_SIDE_H_
#define ORVANE_CHART_SIDE_BY_SIDE_H_

#include <system_error>
#include <thread>

namespace orvane {

// Runs `first` on this thread and `second` on one beside it when
// `together` is true and a thread can be had; otherwise one after the
// other. Neither may throw.
template <class First, class Second>
void RunSideBySide(bool together, const First& first, const Second& second) {
  std::thread beside;
  if (together) {
    try {
      beside = std::thread([&second] { second(); });
    } catch (const std::system_error&) {
      // No thread: all on this one.
    }
  }
  first();
  if (beside.joinable()) {
    beside.join();
  } else {
    second();
  }
}

}  // namespace orvane

#endif  // ORVANE_CHART_SIDE_BY_SIDE_H_

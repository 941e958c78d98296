// SPDX-License-Identifier: MIT
// With ORVANE_TIMING set in the environment, the window writes the time of
// the steps of an Open and of every chart paint to the standard error, in
// milliseconds since the first mark: for measuring the window with large
// data. Unset, a mark costs one test of a flag.
#ifndef ORVANE_WINDOW_TIMING_LOG_H_
#define ORVANE_WINDOW_TIMING_LOG_H_

#include <QtGlobal>
#include <chrono>
#include <cstdio>

namespace orvane {

inline void TimingMark(const char* step) {
  static const bool on = qEnvironmentVariableIsSet("ORVANE_TIMING");
  if (!on) return;
  static const auto start = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  std::fprintf(stderr, "[timing] %10.1f ms  %s\n", ms, step);
}

}  // namespace orvane

#endif  // ORVANE_WINDOW_TIMING_LOG_H_

// SPDX-License-Identifier: MIT
// Bootstrap confidence limits of the optimal strain: resamples drawn with
// replacement from a seeded generator (200 from the seed 1 by default), the
// 95 % of their solutions nearest to the optimal strain (190 of 200), and
// the ranges of R and phi over them.
#ifndef ORVANE_CORE_BOOTSTRAP_H_
#define ORVANE_CORE_BOOTSTRAP_H_

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/analysis_state.h"

namespace orvane {

// The multiplier of the bootstrap's generator (0x08088405).
inline constexpr std::uint32_t kGeneratorMultiplier = 134775813u;

// The program's linear congruential generator: s <- s x 134775813 + 1 mod
// 2^32, each draw yielding u = s / 2^32 in [0, 1).
class RandomGenerator {
 public:
  void Seed(std::uint32_t s) { state_ = s; }
  std::uint32_t State() const { return state_; }
  std::uint32_t Next() {
    state_ = state_ * kGeneratorMultiplier + 1u;
    return state_;
  }
  // Draws u and returns ceil(u x n), exactly, in 0..n. It is 0 only for the
  // state 0, which the stream seeded with 1 first reaches at draw
  // 4294967295; the bootstrap then draws datum n (see RunBootstrap).
  std::uint32_t NextIndex(std::uint32_t n) { return IndexOf(Next(), n); }
  // ceil(s x n / 2^32) of a state s.
  static std::uint32_t IndexOf(std::uint32_t s, std::uint32_t n) {
    return static_cast<std::uint32_t>(
        (static_cast<std::uint64_t>(s) * n + 0xFFFFFFFFull) >> 32);
  }
  // Advances the state by `steps` draws at once (in log2(steps) steps), so
  // that a resample's draws can be found without drawing its predecessors.
  void Skip(std::uint64_t steps);

 private:
  std::uint32_t state_ = 0;
};

// Fills solutions[1..resamples] (resized to resamples + 1 slots): the vector
// (the mean of resample k) and its distance to the optimal strain, with the
// settings of state.bootstrap. The generator is seeded with its seed, so the
// same data and settings always give the same solutions. A draw whose index
// would be 0 (the generator's state 0) draws datum count. The generator's
// period is 2^32 draws: resamples x count beyond it repeat earlier draws
// (AnalysisWarnings says so). False when `cancel` was set before every
// resample was drawn (the solutions are then incomplete).
// REQUIRES: count >= 5, measured[1..count].vector and strain set; a count
// of resamples outside the limits is taken as the nearest limit.
//
// The layout of the points in memory changes only how fast they are
// gathered, never a figure: kBySize, what the analysis uses, packs up to
// 3,000,000 points 12 bytes apart and lays larger sets five to a cache line
// (kLined), which costs a fifteenth more memory and saves a third of the
// time once the points no longer fit in the caches.
enum class GatherLayout { kBySize, kPacked, kLined };
bool RunBootstrap(AnalysisState& state,
                  const std::atomic<bool>* cancel = nullptr,
                  GatherLayout layout = GatherLayout::kBySize);

// Sorts solutions by distance, ascending, with the list quicksort of the
// confidence stage: middle pivot, Hoare partition, recursion on the left
// part and a loop on the right part. Not stable; the order of equal
// distances is that of this algorithm.
void SortByDistance(std::vector<BootstrapSolution>& list);

// The confidence stage: the null-strain test, the KeptResamples nearest
// solutions (into kept, nearest first), the origin test and the limits of R
// and phi over the kept solutions (into limits). Sets outcome.
// REQUIRES: RunBootstrap has filled solutions.
void ComputeConfidenceLimits(AnalysisState& state);

}  // namespace orvane

#endif  // ORVANE_CORE_BOOTSTRAP_H_

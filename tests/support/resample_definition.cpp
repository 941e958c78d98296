// SPDX-License-Identifier: MIT
#include "support/resample_definition.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "core/bootstrap.h"
#include "core/hyperbolic.h"
#include "core/strain.h"

namespace orvane::testing_support {

void ExpectSolutionsFollowTheDefinition(const AnalysisState& s) {
  const std::uint32_t n = static_cast<std::uint32_t>(s.count);
  ASSERT_EQ(s.solutions.size(),
            static_cast<std::size_t>(s.bootstrap.resamples) + 1);
  RandomGenerator g;
  g.Seed(s.bootstrap.seed);
  for (int k = 1; k <= s.bootstrap.resamples; ++k) {
    VectorSum sum{};
    for (std::uint32_t j = 0; j < n; ++j) {
      std::uint32_t i = g.NextIndex(n);
      if (i == 0) i = n;
      AddToSum(sum, s.measured[i].vector);
    }
    const MinkowskiVector mean = NormalisedMean(sum);
    ASSERT_EQ(s.solutions[static_cast<std::size_t>(k)].vector, mean)
        << "n " << n << ", resample " << k;
    ASSERT_EQ(s.solutions[static_cast<std::size_t>(k)].distance,
              HyperbolicDistance(mean, s.strain.vector))
        << k;
  }
}

}  // namespace orvane::testing_support

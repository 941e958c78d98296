// SPDX-License-Identifier: MIT
// The bootstrap's resamples worked out by their definition, one after the
// other on one thread, to hold the analysis' parallel evaluation against.
#ifndef ORVANE_TESTS_SUPPORT_RESAMPLE_DEFINITION_H_
#define ORVANE_TESTS_SUPPORT_RESAMPLE_DEFINITION_H_

#include "core/analysis_state.h"

namespace orvane::testing_support {

// Expects every solution of the analysed state `s` to be its resample mean
// by the definition, bit for bit, with its distance to the strain: the
// stream seeded with the settings' seed, resample k taking draws (k-1) n + 1
// to k n and summing the drawn vectors in draw order, an index 0 (the state
// 0) standing for datum n.
void ExpectSolutionsFollowTheDefinition(const AnalysisState& s);

}  // namespace orvane::testing_support

#endif  // ORVANE_TESTS_SUPPORT_RESAMPLE_DEFINITION_H_

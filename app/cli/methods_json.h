// SPDX-License-Identifier: MIT
// The "methods" object of a file's JSON result: the estimators beside the
// hyperbolic vector mean (core/methods.h), every figure as the shortest
// decimal that reads back to its single.
#ifndef ORVANE_CLI_METHODS_JSON_H_
#define ORVANE_CLI_METHODS_JSON_H_

#include "cli/buffered_output.h"
#include "core/centre_strain.h"
#include "core/methods.h"

namespace orvane::cli {

// {"R_s", "phi_s", "axial_phi", "axial_length", "harmonic_R", "Rf_max",
// "Rf_min", "F", "F_below_90", "ramsay_R_s", "ramsay_R_i", "uniformity"}:
// "axial_phi" is null when the doubled angles cancel; "uniformity" is
// {"classes", "df", "chi2", "critical", "result", "reason"}, its figures
// null and "result" "not tested" when the test was not made (then "reason"
// says why; it is empty otherwise), else "result" is "uniform" or
// "not uniform". No line break.
void WriteJsonMethods(BufferedOutput& out, const MethodsSummary& methods);

// The "centre_strain" object: {"method", "R", "phi", "R_min", "R_max",
// "phi_min", "phi_max", "pairs", "resamples", "seed", "outcome"}, then
// "selection_factor" where the method used one, "warnings" where there
// are any, and "error" (with null figures) where no estimate was made.
// The limits are null where there are none (phi's also when the solutions
// surround R = 1). Figures as the shortest decimals of their singles. No
// line break.
void WriteJsonCentreStrain(BufferedOutput& out,
                           const CentreStrainResult& result);

}  // namespace orvane::cli

#endif  // ORVANE_CLI_METHODS_JSON_H_

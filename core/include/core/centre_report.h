// SPDX-License-Identifier: MIT
// The centre-based strain in words and tables: the report's block, the row
// of the table of estimators, and the comparison with the hyperbolic vector
// mean that a geologist reads first (do the two families agree?). The
// command-line tool and the window show the same texts.
#ifndef ORVANE_CORE_CENTRE_REPORT_H_
#define ORVANE_CORE_CENTRE_REPORT_H_

#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"
#include "core/centre_strain.h"
#include "core/methods.h"

namespace orvane {

// The report's block, numbers with the decimal separator `sep`: an empty
// line, "*** Centre-Based Strain ***", the method, R, phi, the limits (or
// why there are none), the pairs, the resamples, the warnings; or the
// reason no estimate was made.
std::vector<std::string> CentreReportLines(const CentreStrainResult& result,
                                           std::string_view sep);

// The limits' outcome in machine-readable results: "limits",
// "surrounds origin", "not run", or "refused" when no estimate was made.
const char* CentreOutcomeName(const CentreStrainResult& result);

// The row of the table of estimators (the Methods tab and the tool's
// table): the method's title, "R = 2.013, phi = 29.8" (or a word), the
// limits and pairs in the notes, the reference in the tooltip.
MethodsRow CentreMethodsRow(const CentreStrainResult& result,
                            std::string_view sep);

// Whether the two estimates' 95 % limits overlap, in R and in phi.
struct EstimateAgreement {
  bool compared = false;  // both have limits
  bool ratio_overlap = false;
  bool phi_overlap = false;  // on the circle of 180 degrees
};
EstimateAgreement CompareEstimates(const CentreStrainResult& centres,
                                   const AnalysisState& shapes);

// The comparison in one plain sentence: "The 95 % limits of the two
// estimates overlap in R and in phi: they agree." and the like, or why they
// cannot be compared.
std::string AgreementSentence(const EstimateAgreement& agreement);

}  // namespace orvane

#endif  // ORVANE_CORE_CENTRE_REPORT_H_

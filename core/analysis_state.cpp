#include "core/analysis_state.h"

namespace orvane {

AnalysisState::AnalysisState() : DatF(2), DatI(2) {}

double PlotAngle(float psi) {
  return static_cast<double>(static_cast<long double>(psi) *
                             57.29577951308232L);
}

}  // namespace orvane

#include "core/analysis_state.h"

namespace orvane {

AnalysisState::AnalysisState() : measured(2), retrodeformed(2) {}

double PlotAngle(float psi) {
  return static_cast<double>(static_cast<long double>(psi) * kChartDegPerRad);
}

}  // namespace orvane

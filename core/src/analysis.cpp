// SPDX-License-Identifier: MIT
#include "core/analysis.h"

#include <cstdint>

#include "core/bootstrap.h"
#include "core/number_format.h"
#include "core/strain.h"

namespace orvane {
namespace {

// The generator's period: its 2^32 states each come once per cycle.
constexpr std::uint64_t kGeneratorPeriod = std::uint64_t{1} << 32;

// A bootstrap of more draws than the generator's period repeats its stream:
// its later resamples are not drawn independently of the earlier ones.
void AppendBootstrapWarnings(const AnalysisState& state,
                             std::vector<std::string>& warnings) {
  if (state.count < 5) return;
  const std::uint64_t draws =
      static_cast<std::uint64_t>(state.bootstrap.resamples) *
      static_cast<std::uint64_t>(state.count);
  if (draws <= kGeneratorPeriod) return;
  warnings.push_back(
      "The " + std::to_string(state.bootstrap.resamples) + " resamples of " +
      std::to_string(state.count) +
      " data take more draws than the generator's period of 4294967296: "
      "later resamples repeat the draws of earlier ones.");
}

}  // namespace

AnalysisResult RunAnalysis(AnalysisState& state, const CancelFlag* cancel) {
  auto cancelled = [cancel] {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
  };
  state.outcome = ConfidenceOutcome::kNotRun;
  state.kept.clear();
  state.limits = ConfidenceLimits{};
  if (state.count <= 0) return AnalysisResult::kNoData;

  DeriveMeasured(state);
  SetMeasuredVectors(state);
  if (cancelled()) return AnalysisResult::kCancelled;
  ComputeOptimalStrain(state);
  BuildStrainMatrices(state);
  Retrodeform(state);
  state.largest_ratio = MaxAxialRatio(state);
  if (cancelled()) return AnalysisResult::kCancelled;

  if (state.count < 5) return AnalysisResult::kFewerThanFive;
  if (!RunBootstrap(state, cancel)) return AnalysisResult::kCancelled;
  ComputeConfidenceLimits(state);
  return AnalysisResult::kBootstrapped;
}

std::vector<std::string> AnalysisWarnings(const AnalysisState& state,
                                          std::string_view sep) {
  std::vector<std::string> warnings = state.reading_warnings;
  AppendBootstrapWarnings(state, warnings);
  const float largest = state.largest_ratio;
  if (state.count <= 0 || !(largest > kAccurateRatioLimit)) return warnings;
  // The worst error measured in each range of the largest ratio, rounded up.
  const char* bound = largest <= 200   ? "0.2"
                      : largest <= 500 ? "0.5"
                      : largest <= 700 ? "2"
                                       : "2.5";
  std::string percent = bound;
  if (sep != ".") {
    const std::size_t dot = percent.find('.');
    if (dot != std::string::npos) percent.replace(dot, 1, sep);
  }
  warnings.push_back("Axial ratios up to " + FormatGrid(largest, sep) +
                     ": above 100 the single-precision storage of the "
                     "analysis can put R_s and its limits off by up to " +
                     percent + " %.");
  return warnings;
}

}  // namespace orvane

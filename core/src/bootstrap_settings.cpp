// SPDX-License-Identifier: MIT
#include "core/bootstrap_settings.h"

#include <algorithm>
#include "core/digits.h"

namespace orvane {

int KeptResamples(int resamples) {
  // In integers, so that no rounding of 0.95 can lose a solution.
  const long long kept = static_cast<long long>(resamples) * 95 / 100;
  return static_cast<int>(std::max(1LL, kept));
}

Status CheckBootstrapSettings(const BootstrapSettings& settings) {
  if (settings.resamples < kMinBootstrapResamples ||
      settings.resamples > kMaxBootstrapResamples) {
    return Status(StatusCode::kInvalidSettings,
                  "The bootstrap needs " + ResamplesRange() + "; " +
                      std::to_string(settings.resamples) + " was asked for.");
  }
  return Status();
}

bool ParseResamples(std::string_view text, int& resamples) {
  int v = 0;  // too many digits for an int: out of range as well
  if (!ParseDigits(text, v) || v < kMinBootstrapResamples ||
      v > kMaxBootstrapResamples) {
    return false;
  }
  resamples = v;
  return true;
}

bool ParseSeed(std::string_view text, std::uint32_t& seed) {
  return ParseDigits(text, seed);
}

std::string ResamplesRange() {
  return "a whole number of resamples from " +
         std::to_string(kMinBootstrapResamples) + " to " +
         std::to_string(kMaxBootstrapResamples) + " (default " +
         std::to_string(kBootstrapResamples) + ")";
}

std::string SeedRange() {
  return "a whole number from 0 to 4294967295 (default " +
         std::to_string(kBootstrapSeed) + ")";
}

std::string BootstrapSettingsText(const BootstrapSettings& settings) {
  return std::to_string(settings.resamples) + " resamples, seed " +
         std::to_string(settings.seed);
}

}  // namespace orvane

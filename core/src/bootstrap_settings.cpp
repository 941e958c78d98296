#include "core/bootstrap_settings.h"

#include <algorithm>
#include <charconv>

namespace orvane {
namespace {

// Digits only: no sign, no blank, no prefix, at least one digit.
template <typename T>
bool ParseDigits(std::string_view text, T& value) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  T v{};
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = v;
  return true;
}

}  // namespace

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

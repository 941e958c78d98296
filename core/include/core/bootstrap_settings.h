// SPDX-License-Identifier: MIT
// How the bootstrap draws its resamples: how many, and the seed of its
// generator. The defaults, 200 resamples from the seed 1, are those of the
// published method: only they reproduce its published figures. Other
// settings serve to see how much the limits depend on the resampling; the
// share of solutions kept for the limits stays 95 % whatever the count.
#ifndef ORVANE_CORE_BOOTSTRAP_SETTINGS_H_
#define ORVANE_CORE_BOOTSTRAP_SETTINGS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvane {

// The defaults: 200 resamples, of which the 190 nearest (95 %) are kept,
// drawn from the stream seeded with 1.
inline constexpr int kBootstrapResamples = 200;
inline constexpr int kBootstrapKept = 190;  // 95 % of the resamples
inline constexpr std::uint32_t kBootstrapSeed = 1;

// The counts of resamples a user may ask for. Below 20 the 95 % share
// leaves too few solutions outside the region to speak of a limit; above
// 100000 the solutions alone take megabytes and the run minutes.
inline constexpr int kMinBootstrapResamples = 20;
inline constexpr int kMaxBootstrapResamples = 100000;

struct BootstrapSettings {
  int resamples = kBootstrapResamples;
  // Any 32-bit value. The seed is the generator's state before the first
  // draw; the seed 0 gives the stream of the seed 1 one draw early (its
  // first draw is the state 1).
  std::uint32_t seed = kBootstrapSeed;

  bool operator==(const BootstrapSettings&) const = default;
  // 200 resamples from the seed 1.
  bool IsDefault() const { return *this == BootstrapSettings{}; }
};

// The solutions kept for the limits: 95 % of `resamples`, rounded down, and
// at least one (190 of 200, 19 of 20, 95 of 100, 475 of 500).
int KeptResamples(int resamples);

// Ok, or why the settings cannot be used (a count of resamples outside
// kMinBootstrapResamples..kMaxBootstrapResamples).
Status CheckBootstrapSettings(const BootstrapSettings& settings);

// Reads a count of resamples written with digits only, within the limits.
// False, with `resamples` unchanged, for anything else.
bool ParseResamples(std::string_view text, int& resamples);
// Reads a seed written with digits only, from 0 to 4294967295. False, with
// `seed` unchanged, for anything else.
bool ParseSeed(std::string_view text, std::uint32_t& seed);

// Why a count of resamples or a seed was refused, for messages:
// "a whole number of resamples from 20 to 100000 (default 200)" and
// "a whole number from 0 to 4294967295 (default 1)".
std::string ResamplesRange();
std::string SeedRange();

// "500 resamples, seed 7": the settings as the report and the status text
// name them when they are not the defaults.
std::string BootstrapSettingsText(const BootstrapSettings& settings);

}  // namespace orvane

#endif  // ORVANE_CORE_BOOTSTRAP_SETTINGS_H_

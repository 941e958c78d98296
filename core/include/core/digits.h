// SPDX-License-Identifier: MIT
// Whole numbers as the user writes them in options and settings: digits
// only, no sign, no blank, no prefix, at least one digit. Leading zeros are
// allowed in any number (0096 and 000096 are both 96); a value too large
// for the type is refused like any other out of range.
#ifndef ORVANE_CORE_DIGITS_H_
#define ORVANE_CORE_DIGITS_H_

#include <charconv>
#include <string_view>

namespace orvane {

// Reads `text` into `value` (left as it was when refused).
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

// The same within [low, high].
template <typename T>
bool ParseDigitsIn(std::string_view text, T low, T high, T& value) {
  T v{};
  if (!ParseDigits(text, v) || v < low || v > high) return false;
  value = v;
  return true;
}

}  // namespace orvane

#endif  // ORVANE_CORE_DIGITS_H_

// SPDX-License-Identifier: MIT
// The number tokens of a data file.
#ifndef ORVANE_IO_NUMBER_TOKEN_H_
#define ORVANE_IO_NUMBER_TOKEN_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvane {

// Converts one token: an optional sign, a run of digits, optionally "." and
// a run of digits, optionally "E" or "e" with an optional sign and at least
// one digit. Either digit run of the mantissa may be empty ("." reads as 0)
// but a sign alone is not a number. The full stop is the only decimal
// separator, whatever the locale. The conversion is correctly rounded to the
// 64-bit mantissa of long double (overflow gives infinity); the caller
// rounds it to single. Returns false for an invalid token.
bool ConvertNumberToken(std::string_view token, long double& value);

// Powers of ten that long double holds exactly (5^27 < 2^64).
inline constexpr int kMaxExactPowerOfTen = 27;
inline constexpr std::array<long double, kMaxExactPowerOfTen + 1>
    kExactPowersOfTen = [] {
      std::array<long double, kMaxExactPowerOfTen + 1> p{};
      p[0] = 1.0L;
      for (int i = 1; i <= kMaxExactPowerOfTen; ++i) p[i] = p[i - 1] * 10.0L;
      return p;
    }();

// The quick conversion of the tokens a data file nearly always holds: at
// most 19 significant digits and a value of that integer times 10^k with
// |k| <= 27 (or zero), with an exponent of at most five digits. It computes
// exactly what ConvertNumberToken computes for them, in one pass over the
// bytes. Returns false, leaving `value` alone, for every other token, valid
// or not: ConvertNumberToken then decides.
inline bool ConvertCommonNumberToken(const char* p, const char* end,
                                     long double& value) {
  auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    if (++p == end) return false;  // a sign alone
  }
  // Leading zeros are not significant; every digit from the first nonzero
  // one on is.
  while (p != end && *p == '0') ++p;
  std::uint64_t mantissa = 0;
  const char* first = p;
  for (; p != end && digit(*p) < 10; ++p) mantissa = mantissa * 10 + digit(*p);
  std::ptrdiff_t significant = p - first;
  std::ptrdiff_t scale = 0;
  if (p != end && *p == '.') {
    ++p;
    if (significant == 0) {
      const char* zeros = p;
      while (p != end && *p == '0') ++p;
      scale -= p - zeros;
    }
    const char* fraction = p;
    for (; p != end && digit(*p) < 10; ++p) {
      mantissa = mantissa * 10 + digit(*p);
    }
    significant += p - fraction;
    scale -= p - fraction;
  }
  if (significant > 19) return false;
  int exponent = 0;
  if (p != end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool exponent_negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
      exponent_negative = *p == '-';
      ++p;
    }
    const char* digits = p;
    for (; p != end && digit(*p) < 10 && p - digits < 5; ++p) {
      exponent = exponent * 10 + static_cast<int>(digit(*p));
    }
    if (p == digits) return false;
    if (exponent_negative) exponent = -exponent;
  }
  if (p != end) return false;
  if (mantissa == 0) {
    value = negative ? -0.0L : 0.0L;
    return true;
  }
  const std::ptrdiff_t power = scale + exponent;
  if (power < -kMaxExactPowerOfTen || power > kMaxExactPowerOfTen) {
    return false;
  }
  // Both operands are exact, so the one operation rounds correctly.
  const long double m = static_cast<long double>(mantissa);
  const long double v =
      power >= 0 ? m * kExactPowersOfTen[static_cast<std::size_t>(power)]
                 : m / kExactPowersOfTen[static_cast<std::size_t>(-power)];
  value = negative ? -v : v;
  return true;
}

}  // namespace orvane

#endif  // ORVANE_IO_NUMBER_TOKEN_H_

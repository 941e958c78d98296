// SPDX-License-Identifier: MIT
#include "io/number_token.h"

#include <locale.h>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace orvane {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Powers of ten that long double holds exactly (5^27 < 2^64).
constexpr int kMaxExactPower = 27;
const long double* ExactPowersOfTen() {
  static const auto* table = [] {
    static long double p[kMaxExactPower + 1];
    p[0] = 1.0L;
    for (int i = 1; i <= kMaxExactPower; ++i) p[i] = p[i - 1] * 10.0L;
    return p;
  }();
  return table;
}

// The C locale, so that the user's decimal comma never changes the reading.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

}  // namespace

bool ConvertNumberToken(std::string_view t, long double& value) {
  size_t i = 0;
  const size_t n = t.size();
  bool negative = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) {
    negative = t[i] == '-';
    ++i;
    if (i == n) return false;  // a sign alone
  }
  // The significant digits of the mantissa, gathered as an integer while
  // they fit (leading zeros are not significant). With all of them gathered,
  // the value is that integer times 10^(scale + exponent).
  std::uint64_t mantissa = 0;
  int significant = 0;
  int scale = 0;
  bool nonzero = false;
  auto take_digit = [&](char c) {
    if (!nonzero && c == '0') return;
    nonzero = true;
    if (significant < 19) {
      mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
    }
    ++significant;
  };
  for (; i < n && IsDigit(t[i]); ++i) take_digit(t[i]);
  if (i < n && t[i] == '.') {
    for (++i; i < n && IsDigit(t[i]); ++i) {
      take_digit(t[i]);
      --scale;
    }
  }
  int exponent = 0;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) {
      exp_negative = t[i] == '-';
      ++i;
    }
    if (i == n || !IsDigit(t[i])) return false;
    for (; i < n && IsDigit(t[i]); ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (t[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (i != n) return false;

  if (!nonzero) {
    value = negative ? -0.0L : 0.0L;
    return true;
  }
  // Fast path: a mantissa of at most 19 digits is exact in long double, and
  // so is 10^k for k <= 27; one multiplication or division then rounds
  // correctly, as strtold would.
  const int power = scale + exponent;
  if (significant <= 19 && power >= -kMaxExactPower &&
      power <= kMaxExactPower) {
    const long double m = static_cast<long double>(mantissa);
    const long double* p10 = ExactPowersOfTen();
    const long double v = power >= 0 ? m * p10[power] : m / p10[-power];
    value = negative ? -v : v;
    return true;
  }
  const std::string text(t);
  value = strtold_l(text.c_str(), nullptr, CLocale());
  return true;
}

}  // namespace orvane

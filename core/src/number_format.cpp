// SPDX-License-Identifier: MIT
#include "core/number_format.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvane {
namespace {

// Decimal digits of a value: value = 0.digits x 10^exponent.
struct Decimal {
  std::string digits;  // significant digits, first one non-zero
  int exponent = 0;    // number of digits before the decimal point
};

// The exact decimal expansion of |v| (v finite and non-zero). glibc's printf
// converts long double exactly; 200 digits hold the whole expansion of every
// single-precision value and of every extended value this program formats,
// so the rounding below sees the exact binary value.
Decimal ExactDigits(long double v) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "%.200Le", std::fabs(v));
  Decimal d;
  const char* p = buf;
  for (; *p != 'e'; ++p) {
    if (*p >= '0' && *p <= '9') d.digits.push_back(*p);
  }
  d.exponent = std::atoi(p + 1) + 1;
  return d;
}

}  // namespace

namespace {

template <typename Real>
ShortestDecimal ShortestOf(Real v) {
  ShortestDecimal d;
  if (!std::isfinite(v)) return d;
  // std::to_chars ignores the locale and gives the shortest round trip.
  const auto r = std::to_chars(d.text, d.text + sizeof d.text, v);
  d.size = static_cast<std::size_t>(r.ptr - d.text);
  return d;
}

}  // namespace

ShortestDecimal FormatShortest(float v) {
  return ShortestOf(v);
}

ShortestDecimal FormatShortestDouble(double v) {
  return ShortestOf(v);
}

std::string FormatPlace(double v, std::string_view sep) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  char buffer[40];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v,
                               std::chars_format::general, 10);
  std::string text(buffer, r.ptr);
  // The general form, like printf's %g, keeps no trailing zeros.
  if (const std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, sep);
  }
  return text;
}

std::string LocaleDecimalSeparator() {
  const char* point = std::localeconv()->decimal_point;
  return point != nullptr && *point != '\0' ? point : ".";
}

std::string FormatFixed(long double v, int p, int d,
                        std::string_view separator) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";

  std::string keep;  // the rounded significant digits
  int exponent = 0;
  if (v != 0) {
    Decimal dec = ExactDigits(v);
    exponent = dec.exponent;
    const int k = std::min(p, exponent + d);  // digits that survive rounding
    if (k >= 0) {
      keep = dec.digits.substr(0, static_cast<size_t>(k));
      // The digits are exact, so a first dropped digit of 5 or more means
      // at least half a unit: round away from zero.
      if (static_cast<size_t>(k) < dec.digits.size() &&
          dec.digits[static_cast<size_t>(k)] >= '5') {
        int i = k - 1;
        while (i >= 0 && keep[static_cast<size_t>(i)] == '9') {
          keep[static_cast<size_t>(i)] = '0';
          --i;
        }
        if (i >= 0) {
          ++keep[static_cast<size_t>(i)];
        } else {
          keep.insert(keep.begin(), '1');
          ++exponent;
        }
      }
    }
  }
  const bool zero = keep.find_first_not_of('0') == std::string::npos;
  std::string out;
  if (!zero && std::signbit(v)) out.push_back('-');
  if (zero) {
    out.push_back('0');
    if (d > 0) {
      out.append(separator);
      out.append(static_cast<size_t>(d), '0');
    }
    return out;
  }

  if (exponent > p) {
    out.push_back(keep[0]);
    std::string rest = keep.substr(1);
    rest.erase(rest.find_last_not_of('0') + 1);
    if (!rest.empty()) {
      out.append(separator);
      out.append(rest);
    }
    std::string power = std::to_string(exponent - 1);
    out.push_back('E');
    if (static_cast<int>(power.size()) < d) {
      out.append(static_cast<size_t>(d) - power.size(), '0');
    }
    out.append(power);
    return out;
  }

  auto digit_at = [&](int i) {
    return i >= 0 && i < static_cast<int>(keep.size())
               ? keep[static_cast<size_t>(i)]
               : '0';
  };
  if (exponent <= 0) {
    out.push_back('0');
  } else {
    for (int i = 0; i < exponent; ++i) out.push_back(digit_at(i));
  }
  if (d > 0) {
    out.append(separator);
    for (int i = 0; i < d; ++i) out.push_back(digit_at(exponent + i));
  }
  return out;
}

}  // namespace orvane

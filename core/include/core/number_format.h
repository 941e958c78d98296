// SPDX-License-Identifier: MIT
// Decimal output of the analysis' numbers.
#ifndef ORVANE_CORE_NUMBER_FORMAT_H_
#define ORVANE_CORE_NUMBER_FORMAT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace orvane {

// fixed(p, d): the exact binary value of v is rounded once, half away from
// zero, to at most p significant digits and at most d decimals (whichever
// keeps fewer), then written with exactly d decimals after `separator`, at
// least one digit before it, and a leading "-" unless the rounded value is
// zero. When the rounded integer part needs more than p digits the value is
// written in exponent form instead: the first significant digit, the
// separator and the further significant digits (if any remain once trailing
// zeros are dropped), "E" and the power of ten with at least d digits:
// FormatFixed(123456.7, 5, 2, ".") is "1.2346E05", 100000 gives "1E05".
// Non-finite values are written "NAN", "INF" and "-INF".
// REQUIRES: 1 <= p <= 18, 0 <= d <= 18.
std::string FormatFixed(long double v, int p, int d,
                        std::string_view separator);

// The shortest decimal that reads back to the single `v` exactly, written
// with a full stop whatever the locale, in fixed or exponent form as is
// shorter: "0.1", "1.5", "-37", "1e+21", "1.1754944e-38". Empty for values
// that are not finite. Machine-readable results (JSON, CSV) write every
// single so, and the text needs no memory beyond the value itself.
struct ShortestDecimal {
  char text[32];
  std::size_t size = 0;
  std::string_view view() const { return {text, size}; }
};
ShortestDecimal FormatShortest(float v);
// The same for a double (a grain's centroid and area, kept in double so
// that map coordinates keep their metres).
ShortestDecimal FormatShortestDouble(double v);

// A grain's coordinate or area for people to read: at most ten
// significant digits, trailing zeros dropped, the separator `sep`; in
// exponent form ("1.5e-07") only beyond the range of fixed digits.
std::string FormatPlace(double v, std::string_view sep);

// The decimal separator of the user's locale settings (LC_NUMERIC, after
// the program has called setlocale(LC_ALL, ""), as QApplication does): the
// separator of every number the report, the grid and the status bar show.
// Both programs take it from here. Data files always use the full stop.
std::string LocaleDecimalSeparator();

// The formats used by the program: the data grid and the highlight text
// (fixed(5, 2)), the optimal-strain block (fixed(6, 3)) and the confidence
// block (fixed(5, 3)).
inline std::string FormatGrid(long double v, std::string_view sep) {
  return FormatFixed(v, 5, 2, sep);
}
inline std::string FormatStrain(long double v, std::string_view sep) {
  return FormatFixed(v, 6, 3, sep);
}
inline std::string FormatLimit(long double v, std::string_view sep) {
  return FormatFixed(v, 5, 3, sep);
}

}  // namespace orvane

#endif  // ORVANE_CORE_NUMBER_FORMAT_H_

// SPDX-License-Identifier: MIT
#include "core/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvane {
namespace {

struct Case {
  long double value;
  int p, d;
  const char* expected;
};

class FixedFormat : public ::testing::TestWithParam<Case> {};

TEST_P(FixedFormat, WritesTheRoundedValue) {
  const Case& c = GetParam();
  EXPECT_EQ(FormatFixed(c.value, c.p, c.d, "."), c.expected)
      << static_cast<double>(c.value) << " fixed(" << c.p << "," << c.d << ")";
}

INSTANTIATE_TEST_SUITE_P(
    GridFormat, FixedFormat,
    ::testing::Values(
        Case{2.5f, 5, 2, "2.50"}, Case{123.456f, 5, 2, "123.46"},
        Case{1234.567f, 5, 2, "1234.60"}, Case{0.004f, 5, 2, "0.00"},
        Case{-10.0f, 5, 2, "-10.00"}, Case{1.0f, 5, 2, "1.00"},
        Case{123456.7f, 5, 2, "1.2346E05"}, Case{100000.0f, 5, 2, "1E05"},
        Case{-123456.7f, 5, 2, "-1.2346E05"},
        // Rounding carries into a sixth integer digit.
        Case{99999.7f, 5, 2, "1E05"}, Case{99999.4f, 5, 2, "99999.00"}));

INSTANTIATE_TEST_SUITE_P(LimitFormat, FixedFormat,
                         ::testing::Values(Case{1.23456L, 5, 3, "1.235"},
                                           Case{123.456L, 5, 3, "123.460"},
                                           Case{12345.6L, 5, 3, "12346.000"},
                                           Case{180.0f, 5, 3, "180.000"},
                                           Case{-180.0f, 5, 3, "-180.000"},
                                           Case{1e21f, 5, 3, "1E021"},
                                           Case{0.0L, 5, 3, "0.000"}));

INSTANTIATE_TEST_SUITE_P(StrainFormat, FixedFormat,
                         ::testing::Values(Case{1.6284f, 6, 3, "1.628"},
                                           Case{51.4729L, 6, 3, "51.473"},
                                           Case{123456.7f, 6, 3, "123457.000"},
                                           Case{999999.5L, 6, 3, "1E006"}));

// The rounding is done once on the exact binary value, halves away from
// zero: exact ties go up in magnitude, and a value just below a decimal half
// goes down even though its shortest decimal form ends in 5.
INSTANTIATE_TEST_SUITE_P(
    ExactBinaryValue, FixedFormat,
    ::testing::Values(Case{0.125L, 5, 2, "0.13"}, Case{-0.125L, 5, 2, "-0.13"},
                      Case{0.0625L, 5, 3, "0.063"}, Case{2.5L, 1, 2, "3.00"},
                      Case{1.005f, 5, 2, "1.00"},  // 1.00499999523...
                      Case{2.675, 5, 2, "2.67"},   // 2.67499999999999982...
                      Case{1.015625L, 5, 3, "1.016"},
                      Case{0.9995f, 5, 3, "0.999"},  // 0.99949997663...
                      Case{0.99951f, 5, 3, "1.000"}));

// A value that rounds to zero is written without its sign.
INSTANTIATE_TEST_SUITE_P(SignOfZero, FixedFormat,
                         ::testing::Values(Case{-0.0004L, 5, 3, "0.000"},
                                           Case{-0.0L, 5, 2, "0.00"},
                                           Case{-0.0051f, 5, 2, "-0.01"},
                                           Case{-0.004f, 5, 2, "0.00"},
                                           Case{1e-30L, 5, 3, "0.000"}));

TEST(FixedFormatSeparator, UsesTheGivenSeparator) {
  EXPECT_EQ(FormatFixed(2.5f, 5, 2, ","), "2,50");
  EXPECT_EQ(FormatFixed(123456.7f, 5, 2, ","), "1,2346E05");
  EXPECT_EQ(FormatFixed(-0.25L, 5, 3, ","), "-0,250");
}

TEST(FixedFormatSeparator, NonFiniteValuesAreNamed) {
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(FormatFixed(std::nanl(""), 5, 3, "."), "NAN");
  EXPECT_EQ(FormatFixed(inf, 5, 3, "."), "INF");
  EXPECT_EQ(FormatFixed(-inf, 5, 3, "."), "-INF");
}

}  // namespace
}  // namespace orvane

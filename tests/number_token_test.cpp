// SPDX-License-Identifier: MIT
#include "io/number_token.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace orvane {
namespace {

long double Value(const std::string& token) {
  long double v = -12345;
  EXPECT_TRUE(ConvertNumberToken(token, v)) << token;
  return v;
}

TEST(NumberToken, ValidForms) {
  EXPECT_EQ(Value("3"), 3.0L);
  EXPECT_EQ(Value("+3"), 3.0L);
  EXPECT_EQ(Value("-2.5"), -2.5L);
  EXPECT_EQ(Value("2."), 2.0L);
  EXPECT_EQ(Value(".5"), 0.5L);
  EXPECT_EQ(Value("."), 0.0L);
  EXPECT_EQ(Value("-."), 0.0L);
  EXPECT_TRUE(std::signbit(Value("-0")));
  EXPECT_EQ(Value("1e3"), 1000.0L);
  EXPECT_EQ(Value("1E+3"), 1000.0L);
  EXPECT_EQ(Value("25e-1"), 2.5L);
  EXPECT_EQ(Value("007.50"), 7.5L);
  EXPECT_EQ(Value("e5"), 0.0L);  // an empty mantissa reads as 0
  EXPECT_EQ(Value("0e999999999999"), 0.0L);
}

TEST(NumberToken, InvalidForms) {
  for (const char* t : {"+", "-", "1e", "1e+", "1.2.3", "2,5", "0x10", "inf",
                        "nan", "1e5.0", "--1", "1d5", "1-", "e", "+-1", "1 2",
                        "\xEF\xBB\xBF"
                        "1",
                        "major"}) {
    long double v;
    EXPECT_FALSE(ConvertNumberToken(t, v)) << t;
  }
}

TEST(NumberToken, OutOfRangeBecomesInfinity) {
  EXPECT_TRUE(std::isinf(Value("1e5000")));
  EXPECT_TRUE(std::isinf(Value("-1e99999999999999")));
  EXPECT_EQ(Value("1e-99999"), 0.0L);
}

// The quick conversion must round exactly like a full 64-bit conversion.
TEST(NumberToken, AgreesWithCorrectlyRoundedConversion) {
  std::mt19937_64 rng(42);
  std::uniform_int_distribution<int> digits(1, 19), expo(-30, 30);
  for (int k = 0; k < 200000; ++k) {
    std::string t;
    const int n = digits(rng);
    for (int i = 0; i < n; ++i)
      t.push_back(static_cast<char>('0' + rng() % 10));
    if (rng() % 2) t.insert(rng() % (t.size() + 1), ".");
    if (rng() % 3 == 0) t += "e" + std::to_string(expo(rng));
    if (rng() % 4 == 0) t.insert(t.begin(), '-');
    const long double expected = std::strtold(t.c_str(), nullptr);
    long double v;
    ASSERT_TRUE(ConvertNumberToken(t, v)) << t;
    ASSERT_EQ(v, expected) << t;
  }
  // Long mantissas take the full conversion.
  EXPECT_EQ(Value("0.1000000000000000000000000000000000001"),
            std::strtold("0.1000000000000000000000000000000000001", nullptr));
  EXPECT_EQ(Value("12345678901234567890123"), 12345678901234567890123.0L);
}

TEST(NumberToken, IgnoresTheUserLocale) {
  // A locale with a decimal comma must not change the reading of "1.5".
  // The set-up installs the locale; without it this test fails.
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
      << "de_DE.UTF-8 is not installed: run scripts/setup.sh";
  EXPECT_EQ(Value("1.5"), 1.5L);
  EXPECT_EQ(Value("1234567.25e-30"), 1234567.25e-30L);
  EXPECT_EQ(Value("0.12345678901234567890123456789"),
            0.12345678901234567890123456789L);
  std::setlocale(LC_NUMERIC, "C");
}

// What the quick conversion makes of `token`, or nothing when it leaves the
// token to the full conversion (and then it must not touch the value).
std::optional<long double> Quick(const std::string& token) {
  long double v = -12345;
  if (!ConvertCommonNumberToken(token.data(), token.data() + token.size(), v)) {
    EXPECT_EQ(v, -12345) << token;
    return std::nullopt;
  }
  return v;
}

// A token taken by the quick conversion must give exactly what the full
// conversion gives: the same long double, sign of zero included, and so the
// same single.
void ExpectAgrees(const std::string& token, int& taken) {
  const std::optional<long double> quick = Quick(token);
  if (!quick) return;
  ++taken;
  long double full = -12345;
  ASSERT_TRUE(ConvertNumberToken(token, full)) << token;
  ASSERT_EQ(*quick, full) << token;
  ASSERT_EQ(std::signbit(*quick), std::signbit(full)) << token;
  ASSERT_EQ(static_cast<float>(*quick), static_cast<float>(full)) << token;
}

std::string Digits(std::mt19937_64& rng, int n) {
  std::string d;
  for (int i = 0; i < n; ++i) d.push_back(static_cast<char>('0' + rng() % 10));
  return d;
}

TEST(QuickNumberToken, AgreesWithTheFullConversionOnRandomTokens) {
  std::mt19937_64 rng(7);
  int taken = 0;
  const int kTokens = 300000;
  for (int k = 0; k < kTokens; ++k) {
    std::string t;
    switch (rng() % 3) {
      case 0:
        t = "+";
        break;
      case 1:
        t = "-";
        break;
      default:
        break;
    }
    // Leading zeros, then runs of up to 24 digits on either side of the
    // point: mantissas of more than 19 significant digits come up often.
    t += std::string(rng() % 4 == 0 ? rng() % 25 : 0, '0');
    t +=
        Digits(rng, static_cast<int>(rng() % 13 == 0 ? rng() % 25 : rng() % 8));
    if (rng() % 4 != 0) {
      t += ".";
      t += std::string(rng() % 4 == 0 ? rng() % 30 : 0, '0');
      t += Digits(rng,
                  static_cast<int>(rng() % 13 == 0 ? rng() % 25 : rng() % 8));
    }
    if (rng() % 3 == 0) {
      t += rng() % 2 ? "e" : "E";
      switch (rng() % 3) {
        case 0:
          t += "+";
          break;
        case 1:
          t += "-";
          break;
        default:
          break;
      }
      t += std::string(rng() % 5 == 0 ? rng() % 4 : 0, '0');
      t += std::to_string(rng() % 8 == 0 ? rng() % 5000 : rng() % 40);
    }
    // Now and then a byte that makes the token invalid.
    if (rng() % 50 == 0)
      t.insert(rng() % (t.size() + 1), 1, ",x.e+-"[rng() % 6]);
    ExpectAgrees(t, taken);
    if (HasFatalFailure()) return;
  }
  // Most tokens of this mix are common ones.
  EXPECT_GT(taken, kTokens / 3);
}

TEST(QuickNumberToken, AgreesOnEdgeTokens) {
  int taken = 0;
  for (const char* t :
       {// Halfway between two singles, and just off it: the long double
        // rounding comes first, the single one after it.
        "1.000000059604644775390625", "1.0000000596046447753906251",
        "1.0000000596046447753906249", "16777217", "16777217.000000001",
        "0.500000029802322387695312", "33554434.99999999",
        // Halfway between two long doubles.
        "9223372036854775809", "18446744073709551617",
        "1.00000000000000000005421010862427522170037264004349708557128906",
        // Subnormal and tiny singles, the largest ones, and beyond.
        "1.4e-45", "1e-45", "7e-46", "1.17549435e-38", "1.1754942e-38",
        "3.4028235e38", "3.4028236e38",
        "340282356779733661637539395458142568448", "1e-27", "1e27", "1e-28",
        "1e28", "123456789e-36", "1234567890123456789e8",
        "1234567890123456789e9",
        // 19 and 20 significant digits, with zeros that do not count.
        "1234567890123456789", "12345678901234567890",
        "0000000000000000000000001234567890123456789",
        "0.0000000000000000000000001234567890123456789", "1234567890.123456789",
        "1234567890.1234567890", "100000000000000000000", "-0.000", "+0e99999",
        "-0e100000", "0e999999999999", ".", "-.", "+.", "e5", "-e-5",
        "1e00000000003", "1e00005", "360.0000000001",
        "-359.99999999999999999"}) {
    ExpectAgrees(t, taken);
  }
  EXPECT_GT(taken, 10);
}

TEST(QuickNumberToken, TakesTheCommonFormsAndLeavesTheRest) {
  // Data file numbers as they are written: all taken, exactly.
  EXPECT_EQ(Quick("3"), 3.0L);
  EXPECT_EQ(Quick("+3"), 3.0L);
  EXPECT_EQ(Quick("-2.5"), -2.5L);
  EXPECT_EQ(Quick("007.50"), 7.5L);
  EXPECT_EQ(Quick("2."), 2.0L);
  EXPECT_EQ(Quick(".5"), 0.5L);
  EXPECT_EQ(Quick("25e-1"), 2.5L);
  EXPECT_EQ(Quick("1E+3"), 1000.0L);
  EXPECT_EQ(Quick("1234567890123456789"), 1234567890123456789.0L);
  EXPECT_EQ(Quick("0.1"), 1.0L / 10);
  EXPECT_EQ(Quick("1e-27"), 1.0L / 1e27L);
  EXPECT_EQ(Quick("1e27"), 1e27L);
  ASSERT_TRUE(Quick("-0.00"));
  EXPECT_TRUE(std::signbit(*Quick("-0.00")));
  EXPECT_EQ(Quick("e5"), 0.0L);
  EXPECT_EQ(Quick("."), 0.0L);
  EXPECT_EQ(Quick("0e99999"), 0.0L);
  // Everything else goes to the full conversion: more than 19 significant
  // digits, a power of ten beyond 27, an exponent of six digits or more, and
  // every invalid token.
  for (const char* t : {"12345678901234567890",
                        "1e28",
                        "1e-28",
                        "1.4e-45",
                        "3.4028235e38",
                        "0e100000",
                        "1e000005",
                        "+",
                        "-",
                        "1e",
                        "1e+",
                        "1.2.3",
                        "2,5",
                        "inf",
                        "nan",
                        "0x10",
                        "--1",
                        "1-",
                        "+-1",
                        "1 2",
                        "\xEF\xBB\xBF"
                        "1"}) {
    EXPECT_FALSE(Quick(t)) << t;
  }
}
}  // namespace
}  // namespace orvane

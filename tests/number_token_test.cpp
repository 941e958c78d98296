#include "io/number_token.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

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

}  // namespace
}  // namespace orvane

// SPDX-License-Identifier: MIT
// Text from outside as messages quote it and as JSON and CSV name files.
#include "core/utf8_text.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "core/digits.h"

namespace orvane {
namespace {

TEST(PrintableText, NoControlSurvivesAndCharactersStayWhole) {
  // ESC sequences, the C1 CSI (U+009B), DEL, a stray byte and a cut
  // sequence all show as '?'; other UTF-8 is kept.
  EXPECT_EQ(PrintableText("\x1B[31mred\x7F"), "?[31mred?");
  EXPECT_EQ(PrintableText("\xC2\x9B"
                          "2J \xC2\xA0x"),
            "?2J \xC2\xA0x");
  EXPECT_EQ(PrintableText("bad\xFF\xFE"
                          "\xE2\x82"),
            "bad????");
  EXPECT_EQ(PrintableText("Gr\xC3\xBC\xC3\x9F"
                          "e \xF0\x9F\x98\x80"),
            "Gr\xC3\xBC\xC3\x9F"
            "e \xF0\x9F\x98\x80");
  // Surrogates and overlong forms are not characters.
  EXPECT_EQ(PrintableText("\xED\xA0\x80"
                          "\xC0\xAF"),
            "?????");
  // Cut after the byte limit, never inside a character.
  EXPECT_EQ(PrintableText("ab\xC3\xBC"
                          "cd",
                          3),
            "ab\xC3\xBC");
}

TEST(EscapeInvalidUtf8, StrayBytesOnlyAndValidTextUntouched) {
  EXPECT_EQ(EscapeInvalidUtf8("bad\xFF\xFE.txt"), "bad\\xff\\xfe.txt");
  EXPECT_EQ(EscapeInvalidUtf8("\xE2\x82"
                              "x"),
            "\\xe2\\x82x");
  for (const char* valid : {"plain.txt", "a\\b \"q\",\n",
                            "Gr\xC3\xBC\xC3\x9F"
                            "e.txt"}) {
    EXPECT_TRUE(IsValidUtf8(valid)) << valid;
    EXPECT_EQ(EscapeInvalidUtf8(valid), valid);
  }
  EXPECT_FALSE(IsValidUtf8("x\xC3"));
  EXPECT_TRUE(IsValidUtf8(EscapeInvalidUtf8("x\xC3\x28\xF5")));
}

TEST(ParseDigits, LeadingZerosOfAnyLengthAndNothingElse) {
  int v = 7;
  EXPECT_TRUE(ParseDigitsIn("0096", 96, 1200, v));
  EXPECT_EQ(v, 96);
  EXPECT_TRUE(ParseDigitsIn("00000000000000000000096", 96, 1200, v));
  EXPECT_EQ(v, 96);
  for (const char* bad : {"", "+96", "-96", " 96", "96 ", "9_6", "0x60", "95",
                          "1201", "99999999999999999999"}) {
    v = 7;
    EXPECT_FALSE(ParseDigitsIn(bad, 96, 1200, v)) << bad;
    EXPECT_EQ(v, 7) << bad;
  }
  std::uint32_t seed = 0;
  EXPECT_TRUE(ParseDigits("004294967295", seed));
  EXPECT_EQ(seed, 4294967295u);
  EXPECT_FALSE(ParseDigits("4294967296", seed));
}

}  // namespace
}  // namespace orvane

#include "support/Windows1252.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(Windows1252, EveryByteBecomesOneValidCharacter) {
  for (int b = 0; b < 256; ++b) {
    std::string utf8 = support::Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    EXPECT_TRUE(support::IsValidUtf8(utf8)) << "byte " << b;
    EXPECT_EQ(support::Utf8Length(utf8), 1u) << "byte " << b;
  }
  EXPECT_EQ(support::Windows1252ToUtf8("\x80\x9F\xE9\x8A\x99\xA0\xFF"),
            "\u20AC\u0178\u00E9\u0160\u2122\u00A0\u00FF");
  // Undefined bytes keep their value as the C1 control.
  EXPECT_EQ(support::Windows1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");
  EXPECT_EQ(support::Windows1252ToUtf8("A\0B"s), "A\0B"s);
  std::string out = "x=";
  support::AppendWindows1252AsUtf8("Caf\xE9", out);
  EXPECT_EQ(out, "x=Caf\u00E9");
}

TEST(Windows1252, Utf8ValidityLengthAndCase) {
  for (const char* good :
       {"", "plain", "\u00E9\u20AC\U0001F600", "\xEF\xBF\xBF", "\xF4\x8F\xBF\xBF"})
    EXPECT_TRUE(support::IsValidUtf8(good)) << good;
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xE2\x82", "a\x80", "\xE9t\xE9", "\xFF"})
    EXPECT_FALSE(support::IsValidUtf8(bad)) << bad;

  const std::string text = "a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(support::Utf8Length(text), 4u);
  EXPECT_EQ(support::Utf8Prefix(text, 0), "");
  EXPECT_EQ(support::Utf8Prefix(text, 3), "a\u00E9\u20AC");
  EXPECT_EQ(support::Utf8Prefix(text, 99), text);

  EXPECT_TRUE(support::EqualsIgnoringCase("caf\u00E9", "CAF\u00C9"));
  EXPECT_TRUE(support::EqualsIgnoringCase("\u0160\u0152\u017D\u0178", "\u0161\u0153\u017E\u00FF"));
  EXPECT_FALSE(support::EqualsIgnoringCase("a", "ab"));
  EXPECT_FALSE(support::EqualsIgnoringCase("\u00D7", "\u00F7"));  // multiply and divide signs
  EXPECT_FALSE(support::EqualsIgnoringCase("[", "{"));
  EXPECT_FALSE(support::EqualsIgnoringCase("\xE9", "\xC9"));  // malformed bytes compare exactly
}

}  // namespace

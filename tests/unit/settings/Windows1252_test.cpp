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
  EXPECT_EQ(support::Windows1252ToUtf8("\x80"), "\u20AC");
  EXPECT_EQ(support::Windows1252ToUtf8("\x9F"), "\u0178");
  EXPECT_EQ(support::Windows1252ToUtf8("\xE9"), "\u00E9");
  EXPECT_EQ(support::Windows1252ToUtf8("\x8A\x99\x93\x94"), "\u0160\u2122\u201C\u201D");
  EXPECT_EQ(support::Windows1252ToUtf8("\xA0\xFF"), "\u00A0\u00FF");
  // Undefined bytes keep their value as the C1 control.
  EXPECT_EQ(support::Windows1252ToUtf8("\x81\x8D\x8F\x90\x9D"),
            "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(support::Windows1252ToUtf8("A\0B"s), "A\0B"s);
}

TEST(Windows1252, AppendKeepsWhatIsAlreadyThere) {
  std::string out = "x=";
  support::AppendWindows1252AsUtf8("Caf\xE9 \x80", out);
  support::AppendWindows1252AsUtf8("plain", out);
  EXPECT_EQ(out, "x=Caf\u00E9 \u20ACplain");
  support::AppendWindows1252AsUtf8("", out);
  EXPECT_EQ(out, "x=Caf\u00E9 \u20ACplain");
}

TEST(Windows1252, ValidUtf8AcceptsWellFormedAndRejectsTheRest) {
  EXPECT_TRUE(support::IsValidUtf8(""));
  EXPECT_TRUE(support::IsValidUtf8("plain ascii"));
  EXPECT_TRUE(support::IsValidUtf8("\u00E9\u20AC\U0001F600"));
  EXPECT_TRUE(support::IsValidUtf8("\xEF\xBF\xBF"));       // U+FFFF
  EXPECT_TRUE(support::IsValidUtf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
  EXPECT_FALSE(support::IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(support::IsValidUtf8("\xE0\x80\xAF"));      // overlong, three bytes
  EXPECT_FALSE(support::IsValidUtf8("\xF0\x80\x80\xAF"));  // overlong, four bytes
  EXPECT_FALSE(support::IsValidUtf8("\xED\xA0\x80"));      // surrogate D800
  EXPECT_FALSE(support::IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(support::IsValidUtf8("\xE2\x82"));          // cut short
  EXPECT_FALSE(support::IsValidUtf8("a\x80"));             // stray continuation
  EXPECT_FALSE(support::IsValidUtf8("\xE9t\xE9"));         // Windows-1252 text
  EXPECT_FALSE(support::IsValidUtf8("\xFF"));
}

TEST(Windows1252, LengthAndPrefixCountCharactersNotBytes) {
  std::string text = "a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(support::Utf8Length(text), 4u);
  EXPECT_EQ(support::Utf8Prefix(text, 0), "");
  EXPECT_EQ(support::Utf8Prefix(text, 2), "a\u00E9");
  EXPECT_EQ(support::Utf8Prefix(text, 3), "a\u00E9\u20AC");
  EXPECT_EQ(support::Utf8Prefix(text, 4), text);
  EXPECT_EQ(support::Utf8Prefix(text, 99), text);
}

TEST(Windows1252, NamesCompareWithoutRegardToCase) {
  EXPECT_TRUE(support::EqualsIgnoringCase("Directories", "DIRECTORIES"));
  EXPECT_TRUE(support::EqualsIgnoringCase("caf\u00E9", "CAF\u00C9"));
  EXPECT_TRUE(support::EqualsIgnoringCase("\u0160\u0152\u017D\u0178", "\u0161\u0153\u017E\u00FF"));
  EXPECT_TRUE(support::EqualsIgnoringCase("", ""));
  EXPECT_FALSE(support::EqualsIgnoringCase("a", "ab"));
  EXPECT_FALSE(support::EqualsIgnoringCase("\u00D7", "\u00F7"));  // multiply and divide signs
  EXPECT_FALSE(support::EqualsIgnoringCase("[", "{"));
  EXPECT_FALSE(support::EqualsIgnoringCase("\xE9", "\xC9"));  // malformed bytes compare exactly
}

}  // namespace

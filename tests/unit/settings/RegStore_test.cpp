#include "support/RegStore.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/Windows1252.h"

using namespace std::string_literals;

namespace {

// What a store that parses writes back is the fuzz replay's to check; here,
// how each kind of value reads.
TEST(RegStore, ValueTypes) {
  struct Case {
    const char* data;
    std::optional<std::int32_t> number;
    std::optional<std::string> text;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"dword:ffffffff", -1, {}}, {"DWORD:0000000a", 10, {}}, {"dword:", {}, {}},
           {"hex(4):2a,00,00,00", 42, {}}, {"hex(4):2a,00,00,00,00", {}, {}},  // longer than a number
           {"hex(b):01,00,00,00,00,00,00,00", {}, {}}, {"dword:1234567890", {}, {}},
           {"dword:xyz", {}, {}}, {"\"5\"", {}, "5"}, {"\"a\\\\b \\\"c\\\"\"", {}, "a\\b \"c\""},
           {"hex(2):25,00,41,00,25,00,00,00", {}, "%A%"},
           {"hex(1):3d,d8,00,de,00,00", {}, "\U0001F600"},  // surrogate pair
           {"hex(1):41,00,42,00", {}, "AB"},                // no terminator: all of it
           {"hex(1):41,00,00,00,42,00,00,00", {}, "A\0B"s},
           {"hex(1):", {}, ""}, {"hex(1):41", {}, {}}}) {  // no bytes at all; half a character
    // clang-format on
    EXPECT_EQ(support::RegNumber({"n", c.data}), c.number) << c.data;
    EXPECT_EQ(support::RegText({"t", c.data}), c.text) << c.data;
  }
}

// Undefined bytes keep their value as the C1 control; what is not UTF-8
// (overlong, surrogate, past U+10FFFF, cut short) is read as Windows-1252.
TEST(Windows1252, EveryByteBecomesOneValidCharacter) {
  for (int b = 0; b < 256; ++b) {
    std::string utf8 = support::Windows1252ToUtf8(std::string(1, static_cast<char>(b)));
    EXPECT_TRUE(support::IsValidUtf8(utf8) && support::Utf8Length(utf8) == 1) << "byte " << b;
  }
  EXPECT_EQ(support::Windows1252ToUtf8("\x80\x9F\xE9\x8A\x99\xFF\x81"
                                       "A\0B"s),
            "\u20AC\u0178\u00E9\u0160\u2122\u00FF\xC2\x81"
            "A\0B"s);
  for (const char* bad :
       {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
    EXPECT_FALSE(support::IsValidUtf8(bad)) << bad;
  EXPECT_TRUE(support::IsValidUtf8("\u00E9\u20AC\U0001F600\xF4\x8F\xBF\xBF"));
  EXPECT_EQ(support::Utf8Prefix("a\u00E9\u20AC\U0001F600", 3), "a\u00E9\u20AC");
  EXPECT_TRUE(support::EqualsIgnoringCase("\u0160\u0152\u017D\u0178", "\u0161\u0153\u017E\u00FF"));
  EXPECT_FALSE(support::EqualsIgnoringCase("\u00D7", "\u00F7") ||
               support::EqualsIgnoringCase("[", "{"));
}

}  // namespace

#include "support/modStringManipulation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/Conversions.h"

using modStringManipulation::GetNextWhitespace;

namespace {

TEST(GetNextWhitespaceTest, FindsTheNearestBoundaryInEitherDirection) {
  EXPECT_EQ(GetNextWhitespace(1, "ABC DEF", false), 4);
  EXPECT_EQ(GetNextWhitespace(7, "ABC DEF", true), 4);
  // The start itself is examined.
  EXPECT_EQ(GetNextWhitespace(4, "ABC DEF", false), 4);
  EXPECT_EQ(GetNextWhitespace(4, "ABC DEF", true), 4);
  EXPECT_EQ(GetNextWhitespace(5, "ABC DEF", false), 0);
  EXPECT_EQ(GetNextWhitespace(3, "ABC DEF", true), 0);
  EXPECT_EQ(GetNextWhitespace(1, "ABC", false), 0);
}

TEST(GetNextWhitespaceTest, WordCharactersAndBoundaries) {
  EXPECT_EQ(GetNextWhitespace(1, "az09AZ@.-_&!/", false), 0);
  EXPECT_EQ(GetNextWhitespace(13, "az09AZ@.-_&!/", true), 0);
  // Punctuation, control bytes and the code page's upper half all end a word.
  const char kBoundaries[] = " \t,;:'\"()<>+=?#$%*\\[]{}|~^`\x7F\x80\xE9\0";
  for (char boundary : std::string(kBoundaries, sizeof kBoundaries - 1)) {
    std::string text = std::string("ab") + boundary + "cd";
    EXPECT_EQ(GetNextWhitespace(1, text, false), 3) << int(boundary);
    EXPECT_EQ(GetNextWhitespace(5, text, true), 3) << int(boundary);
  }
}

TEST(GetNextWhitespaceTest, StartOutsideTheText) {
  EXPECT_EQ(GetNextWhitespace(0, "x y", false), 2);
  EXPECT_EQ(GetNextWhitespace(-5, " xy", false), 1);
  EXPECT_EQ(GetNextWhitespace(0, " xy", true), 1);
  EXPECT_EQ(GetNextWhitespace(1, "", false), 0);
  EXPECT_EQ(GetNextWhitespace(1, "", true), 0);
  // Past the end: nothing ahead; backwards starts at the last character.
  EXPECT_EQ(GetNextWhitespace(10, "a b", false), 0);
  EXPECT_EQ(GetNextWhitespace(10, "ab ", true), 3);
  EXPECT_EQ(GetNextWhitespace(32767, "a b", true), 2);

  // Only positions a 16-bit result can hold are examined.
  std::string text(40000, 'a');
  text[32766] = ' ';  // position 32767
  EXPECT_EQ(GetNextWhitespace(1, text, false), 32767);
  text[32766] = 'a';
  text[32767] = ' ';  // position 32768
  EXPECT_EQ(GetNextWhitespace(1, text, false), 0);
  EXPECT_EQ(GetNextWhitespace(32767, text, true), 0);
}

}  // namespace

namespace {

TEST(EscapeControlsTest, EveryControlCharacterIsWrittenAsAnEscape) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"plain C:\\a b.dat", "plain C:\\a b.dat"},
      {"a\r\nb", "a\\r\\nb"},
      {std::string("t\tn\0x\x1b\x7f", 7), "t\\x09n\\x00x\\x1B\\x7F"},
      {"caf\xc3\xa9 \"q\"", "caf\xc3\xa9 \"q\""},  // UTF-8 and quotes stay
  };
  for (const auto& [text, escaped] : cases) {
    EXPECT_EQ(support::EscapeControls(text), escaped);
    EXPECT_EQ(support::HoldsQuoteOrControl(text), text != "plain C:\\a b.dat");
  }
}

}  // namespace

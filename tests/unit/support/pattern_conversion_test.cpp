#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "support/Conversions.h"
#include "support/LikePattern.h"
#include "support/modStringManipulation.h"

namespace {

// `text` in a heap block of exactly its size (no terminator after it), so
// that a read past its end is a fault the address sanitizer sees.
struct Exact {
  explicit Exact(std::string_view text) : bytes(new char[text.size()]), size(text.size()) {
    text.copy(bytes.get(), size);
  }
  operator std::string_view() const { return {bytes.get(), size}; }
  std::unique_ptr<char[]> bytes;
  std::size_t size;
};

TEST(LikePatternTest, MatchesTable) {
  struct Case {
    const char *text, *pattern;
    bool like;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"", "*", true},          {"abc", "a**c", true},      {"abbc", "a?c", false},
           {"fileX.dat", "file#.dat", false},                    {"file", "file#", false},
           {"ABC", "abc", false},    {"abc", "", false},         {"d", "[!abc]", true},
           {"a", "[!abc]", false},   {"d", "[a-c]", false},      {"-", "[a-]", true},
           {"]", "[]a]", true},      {"]", "[!]a]", false},      {"x", "[*]", false},
           {"a", "[a", false},       {"[", "[", false},          {"a[", "a[", false},
           {"acompscomps.dat", "*comps.dat", true},              {"x1y2z", "*#*##?", false},
           {"abab9", "*[a-b]#", true}})
    EXPECT_EQ(support::MatchesLike(Exact(c.text), Exact(c.pattern)), c.like)
        << c.text << " like " << c.pattern;
  for (const Case& c : std::initializer_list<Case>{
           {"A.TMP", "*.tmp", true},         {"a.tmp.bak", "*.tmp", false},
           {"noext", "*.*", true},           {"a#[1].txt", "a#[1].txt", true}})
    EXPECT_EQ(support::MatchesFileWildcard(Exact(c.text), Exact(c.pattern)), c.like)
        << c.text << " ~ " << c.pattern;
  // clang-format on
}

TEST(ConversionsTest, ParseNumberTruthAndRounding) {
  // clang-format off
  for (const auto& [text, number] :
       std::initializer_list<std::pair<const char*, std::optional<double>>>{
           {"\t6.5 ", 6.5}, {"-1", -1.0}, {".5", 0.5}, {"2.5E-1", 0.25}, {"&O17", 15.0},
           // Hexadecimal is two's complement at 16 and 32 bits.
           {"&HFFFF", -1.0}, {"&H10000", 65536.0}, {"&HFFFFFFFF", -1.0}, {"", {}}, {"5abc", {}},
           {".", {}}, {"1e+", {}}, {"&H", {}}, {"&O8", {}}, {"&H100000000", {}}, {"5 6", {}},
           {"1e400", {}}, {"1,000", {}}})
    EXPECT_EQ(support::ParseNumber(text), number) << text;
  for (const auto& [text, truth] :
       std::initializer_list<std::pair<const char*, std::optional<bool>>>{
           {"True", true}, {"0.1", true}, {" FALSE ", false}, {"yes", {}}, {"truely", {}}})
    EXPECT_EQ(support::ParseTruth(text), truth) << text;
  // Halves round to even; what a 32-bit number cannot hold is no number.
  for (const auto& [value, rounded] :
       std::initializer_list<std::pair<double, std::optional<std::int32_t>>>{
           {6.5, 6}, {7.5, 8}, {-1.5, -2}, {2.5001, 3}, {-2147483648.5, -2147483647 - 1},
           {2147483647.5, {}}, {std::numeric_limits<double>::quiet_NaN(), {}}})
    EXPECT_EQ(support::RoundToLong(value), rounded) << value;
  // clang-format on
}

TEST(ConversionsTest, FormattedText) {
  const platform::LocalTime march{2010, 3, 15, 14, 25, 30}, early{2009, 1, 2, 3, 4, 5};
  // Single letters drop the leading zero; n is always the minute; quoted
  // text and escaped letters are literal, an escape at the end is nothing.
  for (const auto& [pattern, time, text] :
       std::initializer_list<std::tuple<const char*, platform::LocalTime, const char*>>{
           {"yyyy-mm-dd-hhmmss-logfile.txt", march, "2010-03-15-142530-logfile.txt"},
           {"m/d/yy h:n:s \\\\", early, "1/2/09 3:4:5 \\"},
           {"YYYY\"day\"DD\\d", early, "2009day02d"},
           {"yy\\", early, "09"}})
    EXPECT_EQ(support::FormatDateTime(Exact(pattern), time), text) << pattern;

  EXPECT_EQ(support::GroupedDigits(std::numeric_limits<std::int64_t>::min()),
            "-9,223,372,036,854,775,808");
  std::string out = "x";
  support::AppendPadded(out, 7, 2);
  support::AppendPadded(out, 0, 4);
  support::AppendPadded(out, 255, 2);  // wider than the width: never cut
  EXPECT_EQ(out, "x070000255");
  const char kControls[] = "a\r\nt\tn\0x\x7f caf\xc3\xa9 \"q\"";
  EXPECT_EQ(support::EscapeControls(std::string(kControls, sizeof kControls - 1)),
            "a\\r\\nt\\x09n\\x00x\\x7F caf\xc3\xa9 \"q\"");
  EXPECT_FALSE(support::HoldsQuoteOrControl("plain C:\\a b.dat"));
  EXPECT_TRUE(support::HoldsQuoteOrControl("a\"b") && support::HoldsQuoteOrControl("a\x1b"));
}

TEST(GetNextWhitespaceTest, FindsTheNearestBoundaryInEitherDirection) {
  using modStringManipulation::GetNextWhitespace;
  struct Case {
    int start;
    const char* text;
    bool backwards;
    int found;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {1, "ABC DEF", false, 4}, {7, "ABC DEF", true, 4}, {4, "ABC DEF", true, 4},
           {5, "ABC DEF", false, 0}, {3, "ABC DEF", true, 0}, {1, "az09AZ@.-_&!/", false, 0},
           {-5, " xy", false, 1},
           // Past the end: nothing ahead; backwards starts at the last character.
           {10, "a b", false, 0},    {10, "ab ", true, 3}})
    EXPECT_EQ(GetNextWhitespace(c.start, c.text, c.backwards), c.found)
        << c.start << " " << c.text << " " << c.backwards;
  // clang-format on
  // Punctuation, control bytes and the code page's upper half end a word.
  for (char boundary : std::string(" ,;'\"(+=#\\[~\x7F\x80\xE9\0", 16))
    EXPECT_EQ(GetNextWhitespace(1, std::string("ab") + boundary + "cd", false), 3) << +boundary;
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "support/Conversions.h"
#include "support/LikePattern.h"

namespace {

using support::MatchesFileWildcard;
using support::MatchesLike;

TEST(LikePatternTest, WildcardsAndDigits) {
  EXPECT_TRUE(MatchesLike("lender.dta", "*.dta"));
  EXPECT_TRUE(MatchesLike("", "*"));
  EXPECT_TRUE(MatchesLike("abc", "a*"));
  EXPECT_TRUE(MatchesLike("abc", "*c"));
  EXPECT_TRUE(MatchesLike("abc", "a**c"));
  EXPECT_FALSE(MatchesLike("abc", "*d"));
  EXPECT_TRUE(MatchesLike("abc", "a?c"));
  EXPECT_FALSE(MatchesLike("ac", "a?c"));
  EXPECT_FALSE(MatchesLike("abbc", "a?c"));
  EXPECT_TRUE(MatchesLike("file7.dat", "file#.dat"));
  EXPECT_FALSE(MatchesLike("fileX.dat", "file#.dat"));
  EXPECT_FALSE(MatchesLike("file", "file#"));
  // Comparison is by character: case matters.
  EXPECT_FALSE(MatchesLike("ABC", "abc"));
  EXPECT_FALSE(MatchesLike("abc", ""));
  EXPECT_TRUE(MatchesLike("", ""));
}

TEST(LikePatternTest, CharacterSets) {
  EXPECT_TRUE(MatchesLike("b", "[abc]"));
  EXPECT_FALSE(MatchesLike("d", "[abc]"));
  EXPECT_TRUE(MatchesLike("d", "[!abc]"));
  EXPECT_FALSE(MatchesLike("a", "[!abc]"));
  EXPECT_TRUE(MatchesLike("b", "[a-c]"));
  EXPECT_FALSE(MatchesLike("d", "[a-c]"));
  EXPECT_TRUE(MatchesLike("x7", "[a-z][0-9]"));
  EXPECT_TRUE(MatchesLike("5", "[!a-z]"));
  // A '-' at either end of a set is itself.
  EXPECT_TRUE(MatchesLike("-", "[-a]"));
  EXPECT_TRUE(MatchesLike("-", "[a-]"));
  // A ']' right after the opening bracket belongs to the set.
  EXPECT_TRUE(MatchesLike("]", "[]a]"));
  EXPECT_TRUE(MatchesLike("a", "[]a]"));
  EXPECT_FALSE(MatchesLike("b", "[]a]"));
  EXPECT_TRUE(MatchesLike("b", "[!]a]"));
  EXPECT_FALSE(MatchesLike("]", "[!]a]"));
  // Special characters inside a set are plain.
  EXPECT_TRUE(MatchesLike("*", "[*]"));
  EXPECT_FALSE(MatchesLike("x", "[*]"));
  EXPECT_TRUE(MatchesLike("?", "[?]"));
  EXPECT_TRUE(MatchesLike("#", "[#]"));
  // An unclosed '[' matches nothing, also after a '*'.
  EXPECT_FALSE(MatchesLike("[abc", "[abc"));
  EXPECT_FALSE(MatchesLike("a", "[a"));
  EXPECT_FALSE(MatchesLike("xa", "*[a"));
  EXPECT_FALSE(MatchesLike("", "[a"));
}

TEST(LikePatternTest, StarBacktracks) {
  EXPECT_TRUE(MatchesLike("acompscomps.dat", "*comps.dat"));
  EXPECT_TRUE(MatchesLike("comps.dat", "*comps.dat"));
  EXPECT_FALSE(MatchesLike("acompscomps.dax", "*comps.dat"));
  EXPECT_TRUE(MatchesLike("aaab", "*a?"));
  EXPECT_TRUE(MatchesLike("mississippi", "*sip*"));
  EXPECT_TRUE(MatchesLike("abcbcd", "a*bc*d"));
  EXPECT_TRUE(MatchesLike("x1y22z", "*#*##?"));
  EXPECT_FALSE(MatchesLike("x1y2z", "*#*##?"));
  EXPECT_TRUE(MatchesLike("abab9", "*[a-b]#"));
}

TEST(LikePatternTest, FileWildcards) {
  EXPECT_TRUE(MatchesFileWildcard("A.TMP", "*.tmp"));
  EXPECT_TRUE(MatchesFileWildcard("a.tmp", "*.TMP"));
  EXPECT_FALSE(MatchesFileWildcard("a.tmp.bak", "*.tmp"));
  EXPECT_FALSE(MatchesFileWildcard("atmp", "*.tmp"));
  EXPECT_TRUE(MatchesFileWildcard("noext", "*.*"));
  EXPECT_TRUE(MatchesFileWildcard("a.b.c", "*.*"));
  EXPECT_TRUE(MatchesFileWildcard("anything", "*"));
  EXPECT_TRUE(MatchesFileWildcard("comp1.dat", "COMP?.DAT"));
  EXPECT_FALSE(MatchesFileWildcard("comp12.dat", "comp?.dat"));
  EXPECT_TRUE(MatchesFileWildcard("acompscomps.dat", "*comps.dat"));
  // '#' and '[' are ordinary characters in a file wildcard.
  EXPECT_TRUE(MatchesFileWildcard("a#[1].txt", "a#[1].txt"));
  EXPECT_FALSE(MatchesFileWildcard("a5.txt", "a#.txt"));
}

TEST(ConversionsTest, ParseNumber) {
  EXPECT_EQ(support::ParseNumber("5"), 5.0);
  EXPECT_EQ(support::ParseNumber(" 6 "), 6.0);
  EXPECT_EQ(support::ParseNumber("\t7\t"), 7.0);
  EXPECT_EQ(support::ParseNumber("6.5"), 6.5);
  EXPECT_EQ(support::ParseNumber("-1"), -1.0);
  EXPECT_EQ(support::ParseNumber("+2"), 2.0);
  EXPECT_EQ(support::ParseNumber(".5"), 0.5);
  EXPECT_EQ(support::ParseNumber("5."), 5.0);
  EXPECT_EQ(support::ParseNumber("1e3"), 1000.0);
  EXPECT_EQ(support::ParseNumber("2.5E-1"), 0.25);
  EXPECT_EQ(support::ParseNumber("&H10"), 16.0);
  EXPECT_EQ(support::ParseNumber("&hff"), 255.0);
  EXPECT_EQ(support::ParseNumber("&O17"), 15.0);
  // Hexadecimal is two's complement at 16 and 32 bits.
  EXPECT_EQ(support::ParseNumber("&HFFFF"), -1.0);
  EXPECT_EQ(support::ParseNumber("&H10000"), 65536.0);
  EXPECT_EQ(support::ParseNumber("&HFFFFFFFF"), -1.0);

  for (const char* bad : {"abc", "", "   ", "5abc", ".", "-", "1e", "1e+", "&H", "&HG", "&O8",
                          "&X1", "&H100000000", "5 6", "1e400", "1,000"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(support::ParseNumber(bad).has_value());
  }
}

TEST(ConversionsTest, RoundToLongRoundsHalvesToEven) {
  EXPECT_EQ(support::RoundToLong(6.5), 6);
  EXPECT_EQ(support::RoundToLong(7.5), 8);
  EXPECT_EQ(support::RoundToLong(-0.5), 0);
  EXPECT_EQ(support::RoundToLong(-1.5), -2);
  EXPECT_EQ(support::RoundToLong(2.4999), 2);
  EXPECT_EQ(support::RoundToLong(2.5001), 3);
  EXPECT_EQ(support::RoundToLong(2147483647.0), 2147483647);
  EXPECT_EQ(support::RoundToLong(-2147483648.0), -2147483647 - 1);
  EXPECT_EQ(support::RoundToLong(-2147483648.5), -2147483647 - 1);  // even neighbour
  EXPECT_FALSE(support::RoundToLong(2147483647.5).has_value());     // rounds to 2^31
  EXPECT_FALSE(support::RoundToLong(2147483648.0).has_value());
  EXPECT_FALSE(support::RoundToLong(-2147483649.0).has_value());
  EXPECT_FALSE(support::RoundToLong(1e300).has_value());
  EXPECT_FALSE(support::RoundToLong(std::numeric_limits<double>::infinity()).has_value());
  EXPECT_FALSE(support::RoundToLong(std::numeric_limits<double>::quiet_NaN()).has_value());
}

TEST(ConversionsTest, ParseTruth) {
  EXPECT_EQ(support::ParseTruth("True"), true);
  EXPECT_EQ(support::ParseTruth(" FALSE "), false);
  EXPECT_EQ(support::ParseTruth("true"), true);
  EXPECT_EQ(support::ParseTruth("-1"), true);
  EXPECT_EQ(support::ParseTruth("1"), true);
  EXPECT_EQ(support::ParseTruth("0"), false);
  EXPECT_EQ(support::ParseTruth("0.0"), false);
  EXPECT_EQ(support::ParseTruth("0.1"), true);
  EXPECT_FALSE(support::ParseTruth("yes").has_value());
  EXPECT_FALSE(support::ParseTruth("").has_value());
  EXPECT_FALSE(support::ParseTruth("truely").has_value());
}

TEST(ConversionsTest, FormatDateTime) {
  const platform::LocalTime march{2010, 3, 15, 14, 25, 30};
  EXPECT_EQ(support::FormatDateTime("yyyy-mm-dd-hhmmss-logfile.txt", march),
            "2010-03-15-142530-logfile.txt");
  EXPECT_EQ(support::FormatDateTime("hh:mm:ss yyyy-mmdd", march), "14:25:30 2010-0315");
  EXPECT_EQ(support::FormatDateTime("yyyymmddhhmmss\\\\", {2010, 5, 17, 14, 30, 12}),
            "20100517143012\\");
  // Single letters drop the leading zero; n is always the minute.
  const platform::LocalTime early{2009, 1, 2, 3, 4, 5};
  EXPECT_EQ(support::FormatDateTime("m/d/yy h:n:s", early), "1/2/09 3:4:5");
  EXPECT_EQ(support::FormatDateTime("hh:nn mm", early), "03:04 01");
  // Upper-case letters are the same, quoted text and escaped letters are literal.
  EXPECT_EQ(support::FormatDateTime("YYYY\"day\"DD\\d", early), "2009day02d");
}

TEST(ConversionsTest, GroupedDigitsAndPaddedNumbers) {
  EXPECT_EQ(support::GroupedDigits(0), "0");
  EXPECT_EQ(support::GroupedDigits(999), "999");
  EXPECT_EQ(support::GroupedDigits(1000), "1,000");
  EXPECT_EQ(support::GroupedDigits(1234567), "1,234,567");
  EXPECT_EQ(support::GroupedDigits(-100000), "-100,000");
  EXPECT_EQ(support::GroupedDigits(std::numeric_limits<std::int64_t>::min()),
            "-9,223,372,036,854,775,808");

  std::string out = "x";
  support::AppendPadded(out, 7, 2);
  support::AppendPadded(out, 0, 4);
  support::AppendPadded(out, 255, 2);  // wider than the width: never cut
  support::AppendPadded(out, 65535, 4);
  EXPECT_EQ(out, "x07000025565535");
}

}  // namespace

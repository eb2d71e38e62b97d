#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "importers/FieldDecoding.h"

namespace {

using std::string_literals::operator""s;

std::string Clean(const std::string& text) {
  return std::string(importers::CleanView(text));
}

TEST(FieldDecoding, TextIsCutAtTheFirstNulAndTrimmedOfSpacesOnly) {
  EXPECT_EQ(Clean("  Oak St  \0xyz"s), "Oak St");
  EXPECT_EQ(Clean("\0abc"s), "");
  EXPECT_EQ(Clean("      "), "");
  EXPECT_EQ(Clean(""), "");
  EXPECT_EQ(Clean("A\t"), "A\t");
  EXPECT_EQ(Clean(" 'quoted' text "), "'quoted' text");
  EXPECT_EQ(importers::CleanView("Header\0more bytes"s), "Header");
}

TEST(FieldDecoding, ShortsAreSignedLittleEndianAndMissingBytesAreZero) {
  EXPECT_EQ(importers::ShortValue("\x34\x12"), 4660);
  EXPECT_EQ(importers::ShortValue("\xFF\xFF"), -1);
  EXPECT_EQ(importers::ShortValue("\x00\x80"s), -32768);
  EXPECT_EQ(importers::ShortValue("\xFF\x7F"), 32767);
  EXPECT_EQ(importers::ShortValue("\x0A\x00"s), 10);
  EXPECT_EQ(importers::ShortValue("A"), 65);
  EXPECT_EQ(importers::ShortValue(""), 0);
  EXPECT_EQ(importers::LongValue("\xFF\xFF\xFF\xFF"), -1);
  EXPECT_EQ(importers::LongValue("\x9C\x3D\x0B\x00"s), 736668);
}

TEST(FieldDecoding, SinglesKeepTheirBitPattern) {
  EXPECT_EQ(importers::SingleValue("\x00\x00\x80\x3F"s), 1.0f);
  EXPECT_EQ(importers::SingleValue("\x00\x00\x48\x42"s), 50.0f);
  EXPECT_EQ(importers::SingleValue("\x00\x00\x00\x00"s), 0.0f);
  EXPECT_TRUE(std::isnan(importers::SingleValue("\x00\x00\xC0\x7F"s)));
  // Fewer than four bytes: the high-order bytes are zero (a tiny denormal).
  EXPECT_GT(importers::SingleValue("\x01"), 0.0f);
  EXPECT_LT(importers::SingleValue("\x01"), 1e-44f);
}

TEST(FieldDecoding, DatesReadMonthDayYearWithoutCalendarCheck) {
  EXPECT_EQ(importers::DateText("\x1F\x0C\xCF\x07"), "12-31-1999");
  EXPECT_EQ(importers::DateText("\x05\x01\xD6\x07"), "01-05-2006");
  EXPECT_EQ(importers::DateText("\x01\x01\x00\x00"s), "01-01-0000");
  EXPECT_EQ(importers::DateText("\x00\x07\xD0\x07"s), "");
  EXPECT_EQ(importers::DateText("\x0F\x00\xD0\x07"s), "");
  EXPECT_EQ(importers::DateText("\x01\x01\x63\x00"s), "01-01-0099");
  EXPECT_EQ(importers::DateText("\x1F\x02\xD0\x07"), "02-31-2000");
  EXPECT_EQ(importers::DateText("\x01\x7B\x39\x30"), "123-01-12345");
  // A field cut short reads its missing year bytes as zero.
  EXPECT_EQ(importers::DateText("\x02\x03"), "03-02-0000");
}

}  // namespace

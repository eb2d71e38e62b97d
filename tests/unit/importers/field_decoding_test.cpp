#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "importers/FieldDecoding.h"

namespace {

using std::string_literals::operator""s;

TEST(FieldDecoding, TextIsCutAtTheFirstNulAndTrimmedOfSpacesOnly) {
  testing_doubles::TestWorld world;
  CSImportEngine engine(world.ctx);
  EXPECT_EQ(engine.CleanCString("  Oak St  \0xyz"s), "Oak St");
  EXPECT_EQ(engine.CleanCString("\0abc"s), "");
  EXPECT_EQ(engine.CleanCString("      "), "");
  EXPECT_EQ(engine.CleanCString(""), "");
  EXPECT_EQ(engine.CleanCString("A\t"), "A\t");
  EXPECT_EQ(engine.CleanCString(" 'quoted' text "), "'quoted' text");
  EXPECT_EQ(importers::CleanView("Header\0more bytes"s), "Header");
}

TEST(FieldDecoding, ShortsAreSignedLittleEndianAndMissingBytesAreZero) {
  testing_doubles::TestWorld world;
  CSImportEngine engine(world.ctx);
  EXPECT_EQ(engine.SixteenBitShortToInteger("\x34\x12"), 4660);
  EXPECT_EQ(engine.SixteenBitShortToInteger("\xFF\xFF"), -1);
  EXPECT_EQ(engine.SixteenBitShortToInteger("\x00\x80"s), -32768);
  EXPECT_EQ(engine.SixteenBitShortToInteger("\xFF\x7F"), 32767);
  EXPECT_EQ(engine.SixteenBitShortToInteger("\x0A\x00"s), 10);
  EXPECT_EQ(engine.SixteenBitShortToInteger("A"), 65);
  EXPECT_EQ(engine.SixteenBitShortToInteger(""), 0);
  EXPECT_EQ(importers::LongValue("\xFF\xFF\xFF\xFF"), -1);
  EXPECT_EQ(importers::LongValue("\x9C\x3D\x0B\x00"s), 736668);
}

TEST(FieldDecoding, SinglesKeepTheirBitPattern) {
  testing_doubles::TestWorld world;
  CSImportEngine engine(world.ctx);
  EXPECT_EQ(engine.StringToSingle("\x00\x00\x80\x3F"s), 1.0f);
  EXPECT_EQ(engine.StringToSingle("\x00\x00\x48\x42"s), 50.0f);
  EXPECT_EQ(engine.StringToSingle("\x00\x00\x00\x00"s), 0.0f);
  EXPECT_TRUE(std::isnan(engine.StringToSingle("\x00\x00\xC0\x7F"s)));
  // Fewer than four bytes: the high-order bytes are zero (a tiny denormal).
  EXPECT_GT(engine.StringToSingle("\x01"), 0.0f);
  EXPECT_LT(engine.StringToSingle("\x01"), 1e-44f);
}

TEST(FieldDecoding, DatesReadMonthDayYearWithoutCalendarCheck) {
  testing_doubles::TestWorld world;
  CSImportEngine engine(world.ctx);
  EXPECT_EQ(engine.DateFieldToDateString("\x1F\x0C\xCF\x07"), "12-31-1999");
  EXPECT_EQ(engine.DateFieldToDateString("\x05\x01\xD6\x07"), "01-05-2006");
  EXPECT_EQ(engine.DateFieldToDateString("\x01\x01\x00\x00"s), "01-01-0000");
  EXPECT_EQ(engine.DateFieldToDateString("\x00\x07\xD0\x07"s), "");
  EXPECT_EQ(engine.DateFieldToDateString("\x0F\x00\xD0\x07"s), "");
  EXPECT_EQ(engine.DateFieldToDateString("\x01\x01\x63\x00"s), "01-01-0099");
  EXPECT_EQ(engine.DateFieldToDateString("\x1F\x02\xD0\x07"), "02-31-2000");
  EXPECT_EQ(engine.DateFieldToDateString("\x01\x7B\x39\x30"), "123-01-12345");
  // A field cut short reads its missing year bytes as zero.
  EXPECT_EQ(importers::DateText("\x02\x03"), "03-02-0000");
}

}  // namespace

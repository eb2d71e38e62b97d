#include <gtest/gtest.h>

#include <regex>

#include "doubles/RecordingUi.h"
#include "support/ResourceStrings.h"
#include "support/TemplateDatabase.h"
#include "support/modResourceTools.h"

namespace {

TEST(ResourceStrings, DataTypeRangesGiveMaskDatabaseAndName) {
  const char* masks[] = {
      "*.dat",        "*.dat",      "global.dat", "global.dat",
      "didovuro.dta", "lender.dta", "neigh*.dta", "*comps.dat;*comps.cp2;zazozur.*"};
  const char* databases[] = {"CommonResponses.mdb", "CommonResponses.mdb", "CommonResponses.mdb",
                             "CommonResponses.mdb", "Appraisals.mdb",      "Lenders.mdb",
                             "Neighborhoods.mdb",   "Comparables.mdb"};
  const char* names[] = {"Common responses",         "Private common responses",
                         "Global responses",         "Private global responses",
                         "Appraisal index data",     "Lender information",
                         "Neighborhood information", "ZazOzur comparables"};
  for (int type = 0; type < 8; ++type) {
    EXPECT_EQ(ResourceString(201 + type), masks[type]) << type;
    EXPECT_EQ(ResourceString(301 + type), databases[type]) << type;
    EXPECT_EQ(ResourceString(601 + type), names[type]) << type;
  }
  EXPECT_EQ(ResourceString(209), "");
  EXPECT_EQ(ResourceString(309), "");
}

TEST(ResourceStrings, TextsWithEscapesAndSubstitutionMarkersAreCarriedExactly) {
  EXPECT_EQ(ResourceString(101), "Kestova - Data importer");
  EXPECT_EQ(ResourceString(351), "Addons\\Neighbor\\");
  // The backup-folder pattern ends in an escaped backslash: two characters.
  EXPECT_EQ(ResourceString(402), "yyyymmddhhmmss\\\\");
  EXPECT_EQ(ResourceString(404), "My %s\\");
  EXPECT_EQ(ResourceString(501),
            "CREATE TABLE %s (ID COUNTER, Line SHORT, Across SHORT, FunctionKey BYTE, Macro BIT, "
            "Append BIT, Title TEXT(255), Data MEMO, Vendor BIT)");
  EXPECT_EQ(ResourceString(571), "Line = %d AND Across = %d AND FunctionKey = %d");
  EXPECT_EQ(ResourceString(1001),
            "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  std::string comparables = ResourceString(504);
  EXPECT_EQ(comparables.rfind("CREATE TABLE %s (ID COUNTER, WCID TEXT(255), SqFt INTEGER", 0), 0u);
  EXPECT_TRUE(comparables.ends_with("Prj_Size TEXT(255), Floor_Loc TEXT(255))"));
  // 76 column definitions.
  EXPECT_EQ(std::count(comparables.begin(), comparables.end(), ','), 75);
  EXPECT_EQ(ResourceStringCount(), 77u);
}

TEST(ResourceStrings, DisplayLookupTurnsBarsIntoLineBreaksAndIsSilentForMissingIds) {
  testing_doubles::RecordingUi ui;
  EXPECT_EQ(modResourceTools::disLoadResString(ui, 600), "");
  EXPECT_EQ(modResourceTools::disLoadResString(ui, 609), "");
  EXPECT_EQ(modResourceTools::disLoadResString(ui, 602), "Private common responses");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(TemplateDatabase, FileIndexDefinitionMatchesTheImporterColumns) {
  auto columns = templatedb::FileIndexColumns();
  ASSERT_EQ(columns.size(), 22u);
  EXPECT_EQ(columns[1].name, "FileID");
  EXPECT_EQ(columns[1].width, 9);
  EXPECT_EQ(columns[7].name, "City");
  EXPECT_EQ(columns[7].width, 50);
  EXPECT_EQ(columns[20].description, "Data appraisal was delivered / sent");
  std::string sql = templatedb::FileIndexCreateSql();
  EXPECT_EQ(sql.rfind("CREATE TABLE FileIndex (ID COUNTER, FileID TEXT(9), FormName TEXT(4), ", 0),
            0u);
  EXPECT_NE(sql.find("DateReceived DATE, DateAssigned DATE"), std::string::npos);
  EXPECT_TRUE(sql.ends_with("TrackingExtra TEXT(255))"));
}

}  // namespace

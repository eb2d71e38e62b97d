#include "ui/FileFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(FileFilterTest, SplitsNulSeparatedPairsUpToTheEndOfTheList) {
  auto pairs = ui::SplitFilter("All files (*.*)\0*.*\0Data\0*.tmp;*.dat\0"s);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].description, "All files (*.*)");
  EXPECT_EQ(pairs[0].patterns, "*.*");
  EXPECT_EQ(pairs[1].description, "Data");
  EXPECT_EQ(pairs[1].patterns, "*.tmp;*.dat");

  // Two NULs in a row end the list; what follows is not read.
  pairs = ui::SplitFilter("Text\0*.txt\0\0Hidden\0*.x\0"s);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].patterns, "*.txt");
  // A missing final NUL still ends the last part; a lone description is dropped.
  pairs = ui::SplitFilter("Text\0*.txt\0Orphan"s);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].description, "Text");
  pairs = ui::SplitFilter("Text\0*.txt"s);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].patterns, "*.txt");
  EXPECT_TRUE(ui::SplitFilter("").empty());
  EXPECT_TRUE(ui::SplitFilter("\0*.txt\0"s).empty());
}

TEST(FileFilterTest, GlobsMatchEveryFileAndIgnoreCase) {
  EXPECT_EQ(ui::CaseBlindGlobs("*.*"), std::vector<std::string>{"*"});
  EXPECT_EQ(ui::CaseBlindGlobs("*.ini"), std::vector<std::string>{"*.[iI][nN][iI]"});
  EXPECT_EQ(ui::CaseBlindGlobs(" *.tmp ; LN?.dat;;"),
            (std::vector<std::string>{"*.[tT][mM][pP]", "[lL][nN]?.[dD][aA][tT]"}));
  // Bracket sets are kept as written; digits and punctuation stay.
  EXPECT_EQ(ui::CaseBlindGlobs("x[ab]1_*.z"), std::vector<std::string>{"[xX][ab]1_*.[zZ]"});
  // Bytes of non-ASCII names are not case-folded.
  EXPECT_EQ(ui::CaseBlindGlobs("\xC3\xA9*"), std::vector<std::string>{"\xC3\xA9*"});
  EXPECT_TRUE(ui::CaseBlindGlobs(" ; ").empty());
}

}  // namespace

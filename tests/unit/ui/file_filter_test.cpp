#include "ui/FileFilter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

TEST(FileFilterTest, SplitsPairsAndMakesCaseBlindGlobs) {
  struct Case {
    std::string filter;
    std::string joined;  // description=patterns|...
  };
  for (const Case& c : std::vector<Case>{
           {"All files (*.*)\0*.*\0Data\0*.tmp;*.dat\0"s, "All files (*.*)=*.*|Data=*.tmp;*.dat|"},
           {"Text\0*.txt\0\0Hidden\0*.x\0"s, "Text=*.txt|"},  // two NULs end the list
           {"Text\0*.txt\0Orphan"s, "Text=*.txt|"},           // a lone description is dropped
           {"Text\0*.txt"s, "Text=*.txt|"},
           {""s, ""},
           {"\0*.txt\0"s, ""},
       }) {
    std::string joined;
    for (const auto& pair : ui::SplitFilter(c.filter))
      joined += pair.description + "=" + pair.patterns + "|";
    EXPECT_EQ(joined, c.joined);
  }
  using Globs = std::vector<std::string>;
  EXPECT_EQ(ui::CaseBlindGlobs("*.*"), Globs{"*"});
  EXPECT_EQ(ui::CaseBlindGlobs(" *.tmp ; LN?.dat;;"),
            (Globs{"*.[tT][mM][pP]", "[lL][nN]?.[dD][aA][tT]"}));
  // Bracket sets are kept as written; non-ASCII bytes are not folded.
  EXPECT_EQ(ui::CaseBlindGlobs("x[ab]1_*.z"), Globs{"[xX][ab]1_*.[zZ]"});
  EXPECT_EQ(ui::CaseBlindGlobs("\xC3\xA9*"), Globs{"\xC3\xA9*"});
  EXPECT_TRUE(ui::CaseBlindGlobs(" ; ").empty());
}

}  // namespace

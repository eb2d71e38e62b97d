#include <gtest/gtest.h>

#include "ui/FileFilter.h"
#include "ui/Twips.h"
#include "ui/modProject.h"

using namespace std::string_literals;

namespace {

using modProject::MainWindowGeometry;
using modProject::Position;
using modProject::Rect;
using modProject::Size;

TEST(WindowPlacementTest, TwipsConvertAtTheScreenDensity) {
  // clang-format off
  for (const auto& [twips, dpi, pixels] : std::initializer_list<std::tuple<int, double, int>>{
           {7215, 96.0, 481}, {50, 96.0, 3}, {8, 96.0, 1}, {7215, 144.0, 722}, {-30, 96.0, -2},
           {1440, 0.0, 0}})
    EXPECT_EQ(ui::TwipsToPixels(twips, dpi), pixels) << twips << " at " << dpi;
  // clang-format on
  EXPECT_EQ(ui::PixelsToTwips(481, 96.0), 7215);
  EXPECT_EQ(ui::PixelsToTwips(1, 120.0), 12);
  EXPECT_EQ(ui::PixelsToTwips(10, -1.0), 0);
}

TEST(WindowPlacementTest, CentringKeepsTheWindowOnItsScreen) {
  const Rect screen{0, 0, 1024, 768}, right{1024, 0, 800, 600};
  EXPECT_EQ(modProject::CenterForm(screen, {101, 99}), (Position{461, 334}));  // halves dropped
  EXPECT_EQ(modProject::CenterForm(screen, {1030, 770}), (Position{-3, -1}));
  EXPECT_EQ(modProject::CenterForm(right, {200, 100}), (Position{1324, 250}));
  const MainWindowGeometry mdi{{300, 200, 800, 600}, true, {780, 520}};
  auto plain = [](Rect outer) { return MainWindowGeometry{outer, false, {}}; };
  // clang-format off
  for (const auto& [main, size, on, at] :
       std::initializer_list<std::tuple<MainWindowGeometry, Size, Rect, Position>>{
           {plain({100, 50, 489, 559}), {481, 66}, screen, {104, 296}},
           {plain({0, 0, 300, 200}), {500, 400}, screen, {0, 0}},        // before the origin
           {plain({900, 700, 300, 200}), {481, 66}, screen, {543, 702}}, // ends at the edges
           {plain({-200, 300, 300, 200}), {400, 100}, screen, {0, 350}}, // one edge moves
           {plain({1700, 500, 200, 200}), {300, 200}, right, {1524, 400}},
           {plain({900, 0, 200, 200}), {300, 100}, right, {1024, 50}},
           // Taller than the screen: the top only when centring goes above.
           {plain({0, 100, 400, 500}), {400, 1200}, screen, {0, 0}},
           {plain({0, 600, 400, 500}), {400, 1200}, screen, {0, 768 - 1200}},
           // A document container centres in its client area, screen aside,
           // or at the origin when too large in either direction.
           {mdi, {480, 220}, {0, 0, 100, 100}, {150, 150}}, {mdi, {700, 521}, screen, {0, 0}},
           {mdi, {781, 100}, screen, {0, 0}}, {mdi, {777, 100}, screen, {1, 210}}})
    // clang-format on
    EXPECT_EQ(modProject::CenterFormOnMainWindow(main, size, on), at)
        << main.outer.left << "," << main.outer.top << " " << size.width;
}

TEST(FileFilterTest, SplitsPairsAndMakesCaseBlindGlobs) {
  // clang-format off
  for (const auto& [filter, joined] : std::initializer_list<std::pair<std::string, std::string>>{
           {"All files (*.*)\0*.*\0Data\0*.tmp;*.dat\0"s, "All files (*.*)=*.*|Data=*.tmp;*.dat|"},
           {"Text\0*.txt\0\0Hidden\0*.x\0"s, "Text=*.txt|"},  // two NULs end the list
           {"Text\0*.txt\0Orphan"s, "Text=*.txt|"},           // a lone description is dropped
           {"Text\0*.txt"s, "Text=*.txt|"}, {""s, ""}, {"\0*.txt\0"s, ""}}) {
    // clang-format on
    std::string all;
    for (const auto& pair : ui::SplitFilter(filter))
      all += pair.description + "=" + pair.patterns + "|";
    EXPECT_EQ(all, joined);
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

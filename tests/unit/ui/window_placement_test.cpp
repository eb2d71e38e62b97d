#include <gtest/gtest.h>

#include "ui/Twips.h"
#include "ui/modProject.h"

namespace {

using modProject::MainWindowGeometry;
using modProject::Position;
using modProject::Rect;
using modProject::Size;

TEST(WindowPlacementTest, TwipsConvertAtTheScreenDensity) {
  struct Case {
    int twips;
    double dpi;
    int pixels;
  };
  for (const Case& c : std::initializer_list<Case>{{7215, 96.0, 481},
                                                   {50, 96.0, 3},
                                                   {8, 96.0, 1},
                                                   {7215, 144.0, 722},
                                                   {-30, 96.0, -2},
                                                   {1440, 0.0, 0}})
    EXPECT_EQ(ui::TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
  EXPECT_EQ(ui::PixelsToTwips(481, 96.0), 7215);
  EXPECT_EQ(ui::PixelsToTwips(1, 120.0), 12);
  EXPECT_EQ(ui::PixelsToTwips(10, -1.0), 0);
}

TEST(WindowPlacementTest, CentringKeepsTheWindowOnItsScreen) {
  const Rect screen{0, 0, 1024, 768}, right{1024, 0, 800, 600};
  EXPECT_EQ(modProject::CenterForm(screen, {481, 66}), (Position{271, 351}));
  EXPECT_EQ(modProject::CenterForm(screen, {101, 99}), (Position{461, 334}));  // halves dropped
  EXPECT_EQ(modProject::CenterForm(screen, {1030, 770}), (Position{-3, -1}));
  EXPECT_EQ(modProject::CenterForm(right, {200, 100}), (Position{1324, 250}));

  struct Case {
    MainWindowGeometry main;
    Size size;
    Rect screen;
    Position at;
  };
  const MainWindowGeometry mdi{{300, 200, 800, 600}, true, {780, 520}};
  for (const Case& c : std::initializer_list<Case>{
           {{{100, 50, 489, 559}, false, {}}, {481, 66}, screen, {104, 296}},
           {{{0, 0, 300, 200}, false, {}}, {500, 400}, screen, {0, 0}},         // before the origin
           {{{900, 700, 300, 200}, false, {}}, {481, 66}, screen, {543, 702}},  // ends at the edges
           {{{-200, 300, 300, 200}, false, {}}, {400, 100}, screen, {0, 350}},  // one edge moves
           {{{1700, 500, 200, 200}, false, {}}, {300, 200}, right, {1524, 400}},
           {{{900, 0, 200, 200}, false, {}}, {300, 100}, right, {1024, 50}},
           // Taller than the screen: the top only when centring goes above.
           {{{0, 100, 400, 500}, false, {}}, {400, 1200}, screen, {0, 0}},
           {{{0, 600, 400, 500}, false, {}}, {400, 1200}, screen, {0, 768 - 1200}},
           // A document container centres in its client area, screen aside,
           // or at the origin when too large in either direction.
           {mdi, {480, 220}, {0, 0, 100, 100}, {150, 150}},
           {mdi, {700, 521}, screen, {0, 0}},
           {mdi, {781, 100}, screen, {0, 0}},
           {mdi, {777, 100}, screen, {1, 210}},
       }) {
    Position at = modProject::CenterFormOnMainWindow(c.main, c.size, c.screen);
    EXPECT_EQ(at, c.at) << c.main.outer.left << "," << c.main.outer.top << " " << c.size.width;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include "ui/Twips.h"
#include "ui/modProject.h"

namespace {

using modProject::MainWindowGeometry;
using modProject::Position;
using modProject::Rect;
using modProject::Size;

const Rect kScreen{0, 0, 1024, 768};

MainWindowGeometry Normal(Rect outer) {
  return {outer, false, {}};
}

TEST(WindowPlacementTest, TwipsConvertAtTheScreenDensity) {
  EXPECT_EQ(ui::TwipsToPixels(7215, 96.0), 481);
  EXPECT_EQ(ui::TwipsToPixels(50, 96.0), 3);    // 3.33 rounds down
  EXPECT_EQ(ui::TwipsToPixels(255, 96.0), 17);  // exactly 17
  EXPECT_EQ(ui::TwipsToPixels(8, 96.0), 1);     // 0.53 rounds up
  EXPECT_EQ(ui::TwipsToPixels(7215, 144.0), 722);
  EXPECT_EQ(ui::TwipsToPixels(-30, 96.0), -2);
  EXPECT_EQ(ui::TwipsToPixels(1440, 0.0), 0);
  EXPECT_EQ(ui::PixelsToTwips(481, 96.0), 7215);
  EXPECT_EQ(ui::PixelsToTwips(1, 120.0), 12);
  EXPECT_EQ(ui::PixelsToTwips(10, -1.0), 0);
}

TEST(WindowPlacementTest, CenterFormUsesTheOuterSizeAndDropsRemainders) {
  EXPECT_EQ(modProject::CenterForm(kScreen, {481, 66}), (Position{271, 351}));
  // Odd differences lose their half pixel toward the origin.
  EXPECT_EQ(modProject::CenterForm(kScreen, {101, 99}), (Position{461, 334}));
  // Larger than the screen: the window starts before its origin, centred.
  EXPECT_EQ(modProject::CenterForm(kScreen, {1030, 770}), (Position{-3, -1}));
  // A second screen to the right of the first.
  EXPECT_EQ(modProject::CenterForm({1024, 0, 800, 600}, {200, 100}), (Position{1324, 250}));
}

TEST(WindowPlacementTest, CentresOverTheMainWindowAndStaysOnTheScreen) {
  // Fits: centred over the main window, no correction needed.
  EXPECT_EQ(modProject::CenterFormOnMainWindow(Normal({100, 50, 489, 559}), {481, 66}, kScreen),
            (Position{104, 296}));
  // Larger than the main window at the top-left corner: centring puts it
  // before the screen's origin, which is corrected to the origin.
  EXPECT_EQ(modProject::CenterFormOnMainWindow(Normal({0, 0, 300, 200}), {500, 400}, kScreen),
            (Position{0, 0}));
  // Main window near the bottom-right corner: the window ends at the edges.
  Position corner =
      modProject::CenterFormOnMainWindow(Normal({900, 700, 300, 200}), {481, 66}, kScreen);
  EXPECT_EQ(corner, (Position{543, 702}));
  EXPECT_EQ(corner.left + 481, kScreen.width);
  EXPECT_EQ(corner.top + 66, kScreen.height);
  // Only the edge that sticks out moves.
  EXPECT_EQ(modProject::CenterFormOnMainWindow(Normal({-200, 300, 300, 200}), {400, 100}, kScreen),
            (Position{0, 350}));
  // A main window on a second screen keeps the window on that screen.
  Rect right{1024, 0, 800, 600};
  EXPECT_EQ(modProject::CenterFormOnMainWindow(Normal({1700, 500, 200, 200}), {300, 200}, right),
            (Position{1524, 400}));
  EXPECT_EQ(modProject::CenterFormOnMainWindow(Normal({900, 0, 200, 200}), {300, 100}, right),
            (Position{1024, 50}));
}

TEST(WindowPlacementTest, WindowTallerThanTheScreenStartsAtTheTopOnlyWhenCentringGoesAbove) {
  // Centred above the screen: moved to the top.
  EXPECT_EQ(
      modProject::CenterFormOnMainWindow(Normal({0, 100, 400, 500}), {400, 1200}, kScreen).top, 0);
  // Centred inside but ending below: moved to end at the bottom, which puts
  // its top above the screen.
  EXPECT_EQ(
      modProject::CenterFormOnMainWindow(Normal({0, 600, 400, 500}), {400, 1200}, kScreen).top,
      768 - 1200);
}

TEST(WindowPlacementTest, DocumentContainerCentresInItsClientAreaOrAtTheOrigin) {
  MainWindowGeometry mdi{{300, 200, 800, 600}, true, {780, 520}};
  // Positions are in the client area, unaffected by where the main window is
  // or by the screen.
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {480, 220}, {0, 0, 100, 100}),
            (Position{150, 150}));
  // Too large in one direction only: the origin, not centred in the other.
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {700, 521}, kScreen), (Position{0, 0}));
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {781, 100}, kScreen), (Position{0, 0}));
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {777, 100}, kScreen), (Position{1, 210}));
}

}  // namespace

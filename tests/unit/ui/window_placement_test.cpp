#include <gtest/gtest.h>

#include "ui/Twips.h"
#include "ui/modProject.h"

namespace {

using modProject::MainWindowGeometry;
using modProject::Position;
using modProject::Rect;

TEST(WindowPlacementTest, TwipsAndCentringOnTheScreen) {
  EXPECT_EQ(ui::TwipsToPixels(7215, 144.0) + ui::PixelsToTwips(1, 120.0), 722 + 12);
  const Rect screen{0, 0, 1024, 768};
  EXPECT_EQ(modProject::CenterForm(screen, {101, 99}), (Position{461, 334}));  // halves dropped
  // Over the main window, kept on its screen; a document container centres
  // in its client area, at the origin when too large.
  const MainWindowGeometry mdi{{300, 200, 800, 600}, true, {780, 520}};
  EXPECT_EQ(modProject::CenterFormOnMainWindow({{100, 50, 489, 559}, false, {}}, {481, 66}, screen),
            (Position{104, 296}));
  EXPECT_EQ(
      modProject::CenterFormOnMainWindow({{900, 700, 300, 200}, false, {}}, {481, 66}, screen),
      (Position{543, 702}));
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {480, 220}, {0, 0, 100, 100}),
            (Position{150, 150}));
  EXPECT_EQ(modProject::CenterFormOnMainWindow(mdi, {781, 100}, screen), (Position{0, 0}));
}

}  // namespace

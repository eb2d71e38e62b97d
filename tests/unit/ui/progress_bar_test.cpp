#include "ui/CProgressBar.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "doubles/RecordingPictureBox.h"

namespace {

using testing_doubles::RecordingPictureBox;

std::vector<int> Range(int from, int to) {
  std::vector<int> out(static_cast<std::size_t>(to - from + 1));
  std::iota(out.begin(), out.end(), from);
  return out;
}

// What the user sees: the bar only moves forward, draws only its new columns
// (one refresh per advance), fills the width at the maximum, and a surface
// that fails mid-drawing neither stops the count nor escapes.
TEST(ProgressBarTest, AdvancesDrawOnlyTheNewColumns) {
  RecordingPictureBox pic(400.0f, 1.0f, 17.0f);
  ui::CProgressBar bar;
  bar.SetValue(1);  // the maximum starts at 0
  EXPECT_EQ(bar.Value(), 0);
  bar.Attach(&pic);
  bar.SetMax(200);
  pic.Forget();
  bar.SetValue(50);
  EXPECT_EQ(pic.Columns(), Range(0, 100));
  EXPECT_EQ(pic.refreshes, 1);
  pic.Forget();
  bar.SetValue(40);  // never backwards but to 0, never past the maximum
  bar.SetValue(201);
  EXPECT_EQ(bar.Value(), 50);
  EXPECT_TRUE(pic.lines.empty());
  bar.SetValue(60);  // from the last column drawn, which is drawn again
  EXPECT_EQ(pic.Columns(), Range(100, 120));
  bar.SetValue(0);
  EXPECT_EQ(pic.clears, 1);
  pic.Forget();
  bar.SetValue(200);
  EXPECT_EQ(pic.Columns(), Range(0, 400));

  RecordingPictureBox failing(400.0f);
  failing.throwAtLine = 3;
  bar.Attach(&failing);
  bar.SetMax(100);
  EXPECT_NO_THROW(bar.SetValue(10));
  EXPECT_EQ(bar.Value(), 10);
  EXPECT_EQ(failing.Columns(), Range(0, 2));
  bar.SetValue(11);
  EXPECT_EQ(failing.Columns().back(), 44);
}

}  // namespace

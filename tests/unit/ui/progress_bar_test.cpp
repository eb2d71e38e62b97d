#include "ui/CProgressBar.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

#include "doubles/RecordingPictureBox.h"

namespace {

using testing_doubles::RecordingPictureBox;
using ui::Rgb;

std::vector<int> Range(int from, int to) {
  std::vector<int> out(static_cast<std::size_t>(to - from + 1));
  std::iota(out.begin(), out.end(), from);
  return out;
}

TEST(ProgressBarTest, ValueModelAndAttaching) {
  ui::CProgressBar bar;
  bar.SetValue(1);  // the maximum starts at 0
  EXPECT_EQ(bar.Value(), 0);
  bar.SetMax(3);
  for (int i = 0; i < 5; ++i) bar.SetValue(bar.Value() + 1);
  bar.SetValue(2);  // never backwards but to 0
  EXPECT_EQ(bar.Value(), 3);
  bar.SetMax(200);  // set before attaching: scaled once attached
  EXPECT_EQ(bar.Value(), 0);
  RecordingPictureBox first(400.0f);
  bar.Attach(&first);
  EXPECT_TRUE(first.persistentImage && first.fillStyle == 0 && first.scaleMode == 3);
  EXPECT_EQ(first.clears, 1);
  EXPECT_FLOAT_EQ(bar.UnitWidth(), 2.0f);
  bar.SetUseGradientFill(true);
  bar.SetDisplayPercentComplete(true);
  bar.SetText("x");
  bar.SetValue(20);
  // Reattaching resets, and only the new surface is drawn on.
  RecordingPictureBox second(100.0f, 0.0f, 10.0f, {1, 2, 3, 4});
  bar.Attach(&second);
  EXPECT_EQ(bar.Max() + bar.Value(), 0);
  EXPECT_FALSE(bar.ShowText() || bar.UseGradientFill() || bar.DisplayPercentComplete());
  first.Forget();
  bar.SetMax(10);
  bar.SetText("caption");
  bar.SetValue(10);
  EXPECT_TRUE(first.lines.empty() && first.texts.empty());
  ASSERT_FALSE(second.texts.empty());
  EXPECT_EQ(second.texts.back().rect, (ui::ClientRect{1, 2, 3, 4}));
}

TEST(ProgressBarTest, AdvancesDrawOnlyTheNewColumns) {
  RecordingPictureBox pic(400.0f, 1.0f, 17.0f);
  ui::CProgressBar bar;
  bar.Attach(&pic);
  bar.SetGradientStart(Rgb(10, 85, 68));
  bar.SetMax(200);
  pic.Forget();
  bar.SetValue(50);
  EXPECT_EQ(pic.Columns(), Range(0, 100));
  EXPECT_EQ(pic.refreshes, 1);        // once per advance, not per column
  for (const auto& line : pic.lines)  // solid fill uses the start colour
    EXPECT_TRUE(line.fromY == 1.0f && line.toY == 17.0f && line.colour == Rgb(10, 85, 68));
  pic.Forget();
  bar.SetValue(40);
  bar.SetValue(201);
  EXPECT_EQ(bar.Value(), 50);
  EXPECT_TRUE(pic.lines.empty());
  // The next advance starts at the last column drawn, which is drawn again.
  bar.SetValue(60);
  EXPECT_EQ(pic.Columns(), Range(100, 120));
  // Back to 0, or a new maximum, clears and sends the pen home.
  bar.SetValue(0);
  bar.SetValue(3);
  bar.SetMax(300);
  EXPECT_EQ(bar.Value(), 0);
  bar.SetMax(50);  // value already 0: nothing to clear
  EXPECT_EQ(pic.clears, 2);
  pic.Forget();
  bar.SetValue(1);
  EXPECT_EQ(pic.Columns(), Range(0, 8));

  // Targets round halves to even; the maximum fills the width even when the
  // minimum (never subtracted from the value) makes the product short of it.
  RecordingPictureBox narrow(5.0f), wide(400.0f);
  bar.Attach(&narrow);
  bar.SetMax(2);  // unit width 2.5
  bar.SetValue(1);
  EXPECT_EQ(narrow.Columns(), Range(0, 2));
  bar.Attach(&wide);
  bar.SetMin(-100);
  bar.SetMax(100);
  bar.SetValue(99);
  EXPECT_EQ(wide.Columns(), Range(0, 198));
  wide.Forget();
  bar.SetValue(100);
  EXPECT_EQ(wide.Columns(), Range(198, 400));
  // Unit width follows the range; a bad range leaves it; a target far past
  // the edge stops there.
  bar.SetMin(10);
  bar.SetMax(10);
  bar.SetMin(20);
  bar.SetMin(std::numeric_limits<std::int32_t>::min());
  EXPECT_FLOAT_EQ(bar.UnitWidth(), 400.0f);
  bar.SetMin(1000000);
  bar.SetMax(1000001);
  wide.Forget();
  bar.SetValue(1000000);
  EXPECT_EQ(wide.Columns(), Range(0, 400));
}

TEST(ProgressBarTest, GradientCaptionAndDrawingFailures) {
  RecordingPictureBox pic(400.0f);
  ui::CProgressBar bar;
  bar.Attach(&pic);
  bar.SetUseGradientFill(true);
  bar.SetGradientStart(Rgb(255, 255, 255));
  bar.SetGradientEnd(Rgb(0, 0, 0));
  bar.SetMax(400);
  bar.SetValue(200);
  EXPECT_EQ(pic.lines[1].colour, Rgb(255, 255, 255));  // the colour at the pen before the line
  pic.Forget();
  bar.SetValue(201);
  EXPECT_EQ(pic.lines[0].colour, Rgb(127, 127, 127));  // -127.5 rounds to -128

  RecordingPictureBox box(400.0f);
  bar.Attach(&box);
  bar.SetMax(4);
  bar.SetText("Copying");
  ASSERT_EQ(box.texts.size(), 1u);  // drawn at once
  EXPECT_EQ(box.texts[0].rect, (ui::ClientRect{0, 0, 400, 17}));
  bar.SetValue(1);
  EXPECT_EQ(box.texts.back().text, "Copying");
  bar.SetDisplayPercentComplete(true);
  bar.SetValue(2);
  EXPECT_EQ(box.texts.back().text, "50%");
  bar.SetDisplayPercentComplete(false);
  bar.SetText("");
  box.Forget();
  bar.SetValue(3);
  EXPECT_TRUE(box.texts.empty());

  // No width: no gradient colour can be computed, so nothing is drawn. A
  // surface that throws mid-advance keeps the lines before it.
  RecordingPictureBox flat(0.0f), failing(400.0f);
  bar.Attach(&flat);
  bar.SetUseGradientFill(true);
  bar.SetMax(10);
  bar.SetValue(10);
  EXPECT_EQ(bar.Value(), 10);
  EXPECT_TRUE(flat.lines.empty());
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

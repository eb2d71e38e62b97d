// A horizontal progress bar drawn into a PictureBox, filling from left to right
// in one colour or with a gradient computed column by column. Each advance
// draws only the columns between the last drawn one and the new position, so
// stepping the bar once per record stays cheap.
//
// Without a picture box the bar is a plain model: range and value follow the
// same rules and nothing is drawn. The picture box is not owned; whoever owns
// both must detach (Attach(nullptr)) or destroy the bar first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ProgressSink.h"
#include "ui/PictureBox.h"

namespace ui {

class CProgressBar : public platform::ProgressSink {
 public:
  CProgressBar() = default;
  CProgressBar(const CProgressBar&) = delete;
  CProgressBar& operator=(const CProgressBar&) = delete;

  // Takes `pictureBox` as the surface (nullptr only releases the current one).
  // Replacing an attached surface resets the range, the value and the three
  // display flags. The new surface is set up for pixel drawing and cleared.
  void Attach(PictureBox* pictureBox);
  bool Attached() const { return picture_ != nullptr; }

  // A non-empty caption turns ShowText on and is drawn at once; an empty one
  // turns it off.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value) { showText_ = value; }

  bool UseGradientFill() const { return useGradientFill_; }
  void SetUseGradientFill(bool value);
  Colour GradientStart() const { return gradientStart_; }
  void SetGradientStart(Colour value);
  Colour GradientEnd() const { return gradientEnd_; }
  void SetGradientEnd(Colour value);

  // When on, each advance writes the percentage reached ("40%") over the bar;
  // it takes precedence over the caption.
  bool DisplayPercentComplete() const { return displayPercentComplete_; }
  void SetDisplayPercentComplete(bool value) { displayPercentComplete_ = value; }

  std::int32_t Min() const { return min_; }
  std::int32_t Max() const { return max_; }
  std::int32_t Value() const override { return value_; }
  void SetMin(std::int32_t value) override;
  // Also resets the value to 0 (clearing the surface when it was not 0).
  void SetMax(std::int32_t value) override;
  // Moves forward to `value` when it is above the current value and not above
  // the maximum; 0 resets the bar; anything else is ignored.
  void SetValue(std::int32_t value) override;

  // Scale units per step of value; 0 until a surface and a range are known.
  float UnitWidth() const { return unitWidth_; }

 private:
  struct Channels {
    std::int16_t red;
    std::int16_t green;
    std::int16_t blue;
  };

  void UpdateScale();
  void Redraw();
  void UpdateGradient();
  std::optional<Colour> GradientColourAt() const;
  static Channels SplitColour(Colour colour);
  void DrawCaption(const std::string& text);

  PictureBox* picture_ = nullptr;
  Colour gradientStart_ = 0;
  Colour gradientEnd_ = 0;
  ClientRect clientRect_;
  std::int16_t percentComplete_ = 0;
  float unitWidth_ = 0.0f;
  Channels delta_{0, 0, 0};
  bool showText_ = false;
  bool useGradientFill_ = false;
  bool displayPercentComplete_ = false;
  std::int32_t max_ = 0;
  std::int32_t min_ = 0;
  std::int32_t value_ = 0;
  std::string text_;
};

}  // namespace ui

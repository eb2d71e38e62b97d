#include "ui/CProgressBar.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

namespace {

// Whole-number conversion as the drawing arithmetic does it: nearest, halves
// to even (2.5 -> 2, 3.5 -> 4). Written out rather than left to the floating-
// point environment's rounding mode.
double RoundHalfEven(double x) {
  double floor = std::floor(x);
  double fraction = x - floor;
  if (fraction > 0.5) return floor + 1.0;
  if (fraction < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// A column number, or nothing when `x` does not fit one (the drawing stops).
std::optional<std::int32_t> Column(float x) {
  if (!std::isfinite(x)) return std::nullopt;
  double rounded = RoundHalfEven(x);
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(rounded);
}

std::uint8_t Channel(std::int16_t start, std::int16_t delta, float t) {
  double offset = RoundHalfEven(static_cast<float>(delta) * t);
  // Past the right edge (a minimum above 0 lets the pen get there) the
  // offset overshoots; keep the channel a byte.
  return static_cast<std::uint8_t>(std::clamp(start + offset, 0.0, 255.0));
}

}  // namespace

void CProgressBar::Attach(PictureBox* pictureBox) {
  if (picture_ != nullptr) {
    picture_ = nullptr;
    max_ = 0;
    min_ = 0;
    showText_ = false;
    useGradientFill_ = false;
    displayPercentComplete_ = false;
  }
  // The surface starts blank, so a value carried over would skip columns.
  value_ = 0;
  picture_ = pictureBox;
  if (picture_ == nullptr) return;
  try {
    clientRect_ = picture_->ClientRectangle();
    picture_->SetPersistentImage(true);
    picture_->SetFillStyle(FillStyle::Solid);
    picture_->SetScaleMode(ScaleMode::Pixels);
    picture_->SetCurrent(0.0f, 0.0f);
    picture_->Clear();
    picture_->Refresh();
  } catch (...) {
    // Drawing traps its own failures later; the bar stays usable as a model.
  }
  // A range set before attaching gets its unit width now.
  UpdateScale();
}

void CProgressBar::SetText(const std::string& text) {
  text_ = text;
  showText_ = !text_.empty();
  if (showText_) DrawCaption(text_);
}

void CProgressBar::SetUseGradientFill(bool value) {
  useGradientFill_ = value;
  UpdateGradient();
}

void CProgressBar::SetGradientStart(Colour value) {
  gradientStart_ = value;
  UpdateGradient();
}

void CProgressBar::SetGradientEnd(Colour value) {
  gradientEnd_ = value;
  UpdateGradient();
}

void CProgressBar::SetMin(std::int32_t value) {
  min_ = value;
  UpdateScale();
}

void CProgressBar::SetMax(std::int32_t value) {
  max_ = value;
  SetValue(0);
  UpdateScale();
}

void CProgressBar::SetValue(std::int32_t value) {
  if (value > value_ && value <= max_) {
    value_ = value;
    // value_ > 0 here, so max_ >= 1 and the figure is 1..100.
    percentComplete_ = static_cast<std::int16_t>(static_cast<std::int64_t>(value_) * 100 / max_);
    Redraw();
  } else if (value == 0 && value_ != 0) {
    value_ = 0;
    if (picture_ == nullptr) return;
    try {
      picture_->Clear();
      picture_->Refresh();
    } catch (...) {
    }
  }
}

void CProgressBar::UpdateScale() {
  if (picture_ == nullptr) return;
  std::int64_t span = static_cast<std::int64_t>(max_) - min_;
  // A span wider than 32 bits is treated as the failure it would be in the
  // 32-bit arithmetic: the unit width stays as it was.
  if (span > std::numeric_limits<std::int32_t>::max()) return;
  try {
    float scaleWidth = picture_->ScaleWidth();
    if (span > 0)
      unitWidth_ = static_cast<float>(static_cast<double>(scaleWidth) / span);
    else if (span == 0)
      unitWidth_ = scaleWidth;
  } catch (...) {
  }
}

void CProgressBar::Redraw() {
  if (picture_ == nullptr) return;
  try {
    float scaleWidth = picture_->ScaleWidth();
    float target =
        value_ == max_ ? scaleWidth : static_cast<float>(static_cast<double>(unitWidth_) * value_);
    std::optional<std::int32_t> from = Column(picture_->CurrentX());
    std::optional<std::int32_t> to = Column(target);
    std::optional<std::int32_t> edge = Column(scaleWidth);
    if (!from || !to || !edge) return;
    // Columns past the right edge cannot be seen; with a minimum far above 0
    // the target can lie millions of columns out.
    std::int64_t last = std::min<std::int64_t>(*to, std::max<std::int64_t>(*edge, *from));
    float top = picture_->ScaleTop();
    float bottom = picture_->ScaleHeight();
    for (std::int64_t x = *from; x <= last; ++x) {
      // The colour comes from the pen before the line moves it, so each
      // column takes the colour of the one before it.
      std::optional<Colour> colour =
          useGradientFill_ ? GradientColourAt() : std::optional<Colour>(gradientStart_);
      if (!colour) return;
      picture_->VerticalLine(static_cast<float>(x), top, bottom, *colour);
    }
    if (displayPercentComplete_)
      picture_->DrawCentredText(std::to_string(percentComplete_) + "%", clientRect_);
    else if (showText_)
      picture_->DrawCentredText(text_, clientRect_);
    picture_->Refresh();
  } catch (...) {
    // Progress is cosmetic: a surface that fails stops this advance only.
  }
}

void CProgressBar::UpdateGradient() {
  // Byte differences of two valid colours always fit; nothing here can fail.
  Channels start = SplitColour(gradientStart_);
  Channels end = SplitColour(gradientEnd_);
  delta_.red = static_cast<std::int16_t>(end.red - start.red);
  delta_.green = static_cast<std::int16_t>(end.green - start.green);
  delta_.blue = static_cast<std::int16_t>(end.blue - start.blue);
}

std::optional<Colour> CProgressBar::GradientColourAt() const {
  float t = picture_->CurrentX() / picture_->ScaleWidth();
  if (!std::isfinite(t)) return std::nullopt;  // a surface without width
  Channels start = SplitColour(gradientStart_);
  return Rgb(Channel(start.red, delta_.red, t), Channel(start.green, delta_.green, t),
             Channel(start.blue, delta_.blue, t));
}

CProgressBar::Channels CProgressBar::SplitColour(Colour colour) {
  return {static_cast<std::int16_t>(colour & 255), static_cast<std::int16_t>((colour / 256) & 255),
          static_cast<std::int16_t>((colour / 256 / 256) & 255)};
}

void CProgressBar::DrawCaption(const std::string& text) {
  if (picture_ == nullptr) return;
  try {
    picture_->DrawCentredText(text, clientRect_);
    picture_->Refresh();
  } catch (...) {
  }
}

}  // namespace ui

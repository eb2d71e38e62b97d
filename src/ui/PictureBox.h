// The drawing surface a CProgressBar fills: a scalable area with a pen, that
// draws vertical lines and centred text. The window toolkit provides one that
// paints a persistent image; the console provides a one-line text bar; tests
// record the calls.
//
// Implementations must not throw: progress drawing is cosmetic and the bar
// gives up quietly when a surface misbehaves.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Colour as 0x00BBGGRR: red in the low byte, green in the second, blue in the third.
using Colour = std::uint32_t;

constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
         (static_cast<Colour>(blue) << 16);
}

// Device units (pixels, or character cells on a console).
struct ClientRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  friend bool operator==(const ClientRect&, const ClientRect&) = default;
};

enum class FillStyle { Solid = 0 };
enum class ScaleMode { Pixels = 3 };

class PictureBox {
 public:
  virtual ~PictureBox() = default;

  // The coordinate system the pen and the lines use.
  virtual float ScaleWidth() const = 0;
  virtual float ScaleTop() const = 0;
  virtual float ScaleHeight() const = 0;

  // The pen position.
  virtual float CurrentX() const = 0;
  virtual float CurrentY() const = 0;
  virtual void SetCurrent(float x, float y) = 0;

  // Erases the image and puts the pen back at (0, 0).
  virtual void Clear() = 0;
  // Draws a line from (x, fromY) to (x, toY) and leaves the pen at (x, toY).
  virtual void VerticalLine(float x, float fromY, float toY, Colour colour) = 0;
  // Draws one line of text centred horizontally and vertically in `rect`.
  virtual void DrawCentredText(const std::string& text, const ClientRect& rect) = 0;
  virtual ClientRect ClientRectangle() const = 0;
  // The bar has finished one change (an advance, a reset, a caption); a
  // surface that buffers or throttles its output shows it now.
  virtual void Refresh() = 0;

  // Set-up the bar asks for when it attaches.
  virtual void SetPersistentImage(bool on) = 0;
  virtual void SetFillStyle(FillStyle style) = 0;
  virtual void SetScaleMode(ScaleMode mode) = 0;
};

}  // namespace ui

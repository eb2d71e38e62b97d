// A picture box that remembers what was drawn on it, with the pen behaving as
// on a real surface (a line leaves it at its end point, clearing sends it home).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "ui/PictureBox.h"

namespace testing_doubles {

class RecordingPictureBox final : public ui::PictureBox {
 public:
  struct Line {
    float x;
    float fromY;
    float toY;
    ui::Colour colour;
  };
  struct Text {
    std::string text;
    ui::ClientRect rect;
  };

  explicit RecordingPictureBox(float scaleWidth, float scaleTop = 0.0f, float scaleHeight = 17.0f,
                               ui::ClientRect client = {0, 0, 400, 17})
      : width_(scaleWidth), top_(scaleTop), height_(scaleHeight), client_(client) {}

  // Drawing since the last Forget().
  std::vector<Line> lines;
  std::vector<Text> texts;
  int clears = 0;
  int refreshes = 0;
  // Makes the line with this index (counted over all lines) throw.
  int throwAtLine = -1;

  void Forget() {
    lines.clear(), texts.clear();
    clears = refreshes = 0;
  }
  // Column numbers of the lines, in order.
  std::vector<int> Columns() const {
    std::vector<int> out;
    for (const Line& l : lines) out.push_back(static_cast<int>(l.x));
    return out;
  }

  float ScaleWidth() const override { return width_; }
  float ScaleTop() const override { return top_; }
  float ScaleHeight() const override { return height_; }
  float CurrentX() const override { return x_; }
  float CurrentY() const override { return y_; }
  void SetCurrent(float x, float y) override { x_ = x, y_ = y; }
  void Clear() override { ++clears, x_ = 0.0f, y_ = 0.0f; }
  void VerticalLine(float x, float fromY, float toY, ui::Colour colour) override {
    if (linesEver_++ == throwAtLine) throw std::runtime_error("surface gone");
    lines.push_back({x, fromY, toY, colour});
    x_ = x;
    y_ = toY;
  }
  void DrawCentredText(const std::string& text, const ui::ClientRect& rect) override {
    texts.push_back({text, rect});
  }
  ui::ClientRect ClientRectangle() const override { return client_; }
  void Refresh() override { ++refreshes; }
  void SetPersistentImage(bool) override {}
  void SetFillStyle(ui::FillStyle) override {}
  void SetScaleMode(ui::ScaleMode) override {}

 private:
  float width_, top_, height_;
  ui::ClientRect client_;
  float x_ = 7.0f;  // not home, so attaching must put it there
  float y_ = 3.0f;
  int linesEver_ = 0;
};

}  // namespace testing_doubles

// A PictureBox that shows a progress bar as one line of text on a terminal:
//
//   <label> [##########..............................] <trailer>
//
// The scale is one unit per character cell. A vertical line at x means the
// bar reaches x, so it fills the cell to its left (cell x - 1): the bar then
// shows round(cells * value / max) cells, and "3 of 10" shows three tenths.
// The line is rewritten in place ("\r", then clear to end of line) when the
// bar refreshes, no more often than the configured interval except when the
// bar becomes full, so an importer stepping the bar per record never waits on
// the terminal. Nothing at all is written to a stream that is not a terminal,
// nor before Show().
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "ui/PictureBox.h"

namespace ui {

struct ConsoleBarOptions {
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  int cells = 40;
  // Visible width of the terminal line; the label is shortened to fit. 0 when
  // unknown (nothing is shortened).
  int lineWidth = 0;
  // Least time between two rewrites of the line.
  std::chrono::milliseconds interval{100};
  // Monotonic time; empty means std::chrono::steady_clock::now.
  Clock clock;
};

class ConsolePictureBox final : public PictureBox {
 public:
  ConsolePictureBox(std::FILE* out, bool isTerminal, ConsoleBarOptions options = {});
  ConsolePictureBox(const ConsolePictureBox&) = delete;
  ConsolePictureBox& operator=(const ConsolePictureBox&) = delete;
  ~ConsolePictureBox() override;

  // Text before and after the bar.
  void SetLabel(const std::string& text);
  void SetTrailer(const std::string& text);
  // Starts showing the line; it is written at once.
  void Show();
  // Writes what is still pending and ends the line with a newline, if a line
  // was written; after that nothing more is shown until Show() again.
  void Finish();

  float ScaleWidth() const override { return static_cast<float>(cells_.size()); }
  float ScaleTop() const override { return 0.0f; }
  float ScaleHeight() const override { return 1.0f; }
  float CurrentX() const override { return penX_; }
  float CurrentY() const override { return penY_; }
  void SetCurrent(float x, float y) override;
  void Clear() override;
  void VerticalLine(float x, float fromY, float toY, Colour colour) override;
  void DrawCentredText(const std::string& text, const ClientRect& rect) override;
  ClientRect ClientRectangle() const override;
  void Refresh() override { WriteIfDue(); }
  void SetPersistentImage(bool) override {}
  void SetFillStyle(FillStyle) override {}
  void SetScaleMode(ScaleMode) override {}

 private:
  // Something visible changed; `completed` when the bar has just become full.
  void MarkDirty(bool completed = false);
  // Writes pending changes once the interval has passed, or at once when the
  // bar became full.
  void WriteIfDue();
  void Write();
  std::string Line() const;
  std::chrono::steady_clock::time_point Now() const;

  std::FILE* out_;
  bool isTerminal_;
  ConsoleBarOptions options_;
  std::string cells_;  // '#' filled, '.' empty
  std::string overlay_;
  ClientRect overlayRect_;
  std::string label_;
  std::string trailer_;
  float penX_ = 0.0f;
  float penY_ = 0.0f;
  bool shown_ = false;
  bool dirty_ = false;
  bool completed_ = false;
  bool wroteLine_ = false;
  std::optional<std::chrono::steady_clock::time_point> lastWrite_;
};

}  // namespace ui

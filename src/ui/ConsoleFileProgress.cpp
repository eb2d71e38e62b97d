#include "ui/ConsoleFileProgress.h"

#include <utility>

namespace ui {

namespace {

// The window's picture box colours: fill and fore colour.
constexpr Colour kFillColour = Rgb(10, 85, 68);
constexpr Colour kForeColour = Rgb(255, 255, 255);

}  // namespace

ConsoleFileProgress::ConsoleFileProgress(std::FILE* out, bool isTerminal, ConsoleBarOptions options)
    : picture_(out, isTerminal, std::move(options)) {
  bar_.Attach(&picture_);
  bar_.SetUseGradientFill(true);
  bar_.SetGradientStart(kFillColour);
  bar_.SetGradientEnd(kForeColour);
}

ConsoleFileProgress::~ConsoleFileProgress() {
  bar_.Attach(nullptr);
  picture_.Finish();
}

}  // namespace ui

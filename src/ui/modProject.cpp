#include "ui/modProject.h"

namespace modProject {

namespace {

// Moves a span of `length` starting at `start` back inside [origin, origin +
// extent): one starting before the origin starts at the origin; otherwise one
// ending past the far edge ends there (so a span longer than the extent then
// starts before the origin).
int KeepInside(int start, int length, int origin, int extent) {
  if (start < origin) return origin;
  if (start + length > origin + extent) return origin + extent - length;
  return start;
}

}  // namespace

Position CenterForm(const Rect& screen, Size window) {
  return {screen.left + (screen.width - window.width) / 2,
          screen.top + (screen.height - window.height) / 2};
}

Position CenterFormOnMainWindow(const MainWindowGeometry& main, Size window, const Rect& screen) {
  if (main.isDocumentContainer) {
    if (window.width <= main.inner.width && window.height <= main.inner.height)
      return {(main.inner.width - window.width) / 2, (main.inner.height - window.height) / 2};
    return {0, 0};
  }
  int top = main.outer.top + (main.outer.height - window.height) / 2;
  int left = main.outer.left + (main.outer.width - window.width) / 2;
  return {KeepInside(left, window.width, screen.left, screen.width),
          KeepInside(top, window.height, screen.top, screen.height)};
}

}  // namespace modProject

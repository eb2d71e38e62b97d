// Where a window goes when it opens: centred on the screen, or centred over
// the main window and kept on the screen. The arithmetic is free of any window
// toolkit; the toolkit wrappers (ui/qt/WindowPlacement.h) measure the windows
// and move them.
//
// All sizes are outer sizes (frame included) in one unit, and all divisions
// are whole-number divisions that drop the remainder.
#pragma once

namespace modProject {

struct Size {
  int width = 0;
  int height = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// A window's new top-left corner.
struct Position {
  int left = 0;
  int top = 0;

  friend bool operator==(const Position&, const Position&) = default;
};

// The window a dialog is placed over.
struct MainWindowGeometry {
  Rect outer;  // on the screen
  // A main window that holds its documents inside itself places them in its
  // client area, whose size is `inner`; their positions are relative to it.
  bool isDocumentContainer = false;
  Size inner;
};

// Centres `window` on `screen`: (screen width - width) / 2 from its left edge,
// (screen height - height) / 2 from its top. A window larger than the screen
// gets a position left of or above the screen's origin.
Position CenterForm(const Rect& screen, Size window);

// Centres `window` over `main`. In a document container: at the centre of the
// client area when the window fits into it in both directions, else at (0, 0).
// Otherwise centred over the main window's outer rectangle and then moved back
// onto `screen`: an edge that would lie before the screen's start goes to the
// start, else one that would lie past its end ends at the end.
Position CenterFormOnMainWindow(const MainWindowGeometry& main, Size window, const Rect& screen);

}  // namespace modProject

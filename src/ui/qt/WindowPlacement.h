// Placing Qt windows as they open (the arithmetic is in ui/modProject.h).
// Sizes are outer sizes (frameGeometry); the screen is the window's own, or
// the primary screen when it has none yet. A failure is reported in a message
// box through `ui` and leaves the window where it was.
#pragma once

#include "platform/UserInterface.h"

class QWidget;

namespace modProject {

// The application title some failure boxes carry.
inline constexpr const char* kApplicationTitle = "Ingestor";

// The main window's designed outer size in twips; where no main window exists
// (a command-line run) windows are centred over where it would be.
inline constexpr int kMainWindowWidthTwips = 7335;
inline constexpr int kMainWindowHeightTwips = 8385;

// Centres `window` on its screen.
void CenterForm(platform::UserInterface& ui, QWidget& window);

// Centres `window` over `mainWindow` and keeps it on the screen. Inside a
// multiple-document area (the window is, or sits in, a QMdiSubWindow) it is
// centred in that area's client space instead. `mainWindow` may be nullptr.
void CenterFormOnMainWindow(platform::UserInterface& ui, QWidget* mainWindow, QWidget& window);

}  // namespace modProject

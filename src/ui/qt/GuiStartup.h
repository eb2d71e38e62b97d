// Deciding at start-up whether the window system can be used.
//
// A display is usable when QT_QPA_PLATFORM names a platform, or when DISPLAY
// or WAYLAND_DISPLAY is set and Qt actually starts on it. Qt aborts the
// process when no platform it tries works (a stale DISPLAY, a server that went
// away), so it is always offered the offscreen platform last; landing there
// when nobody asked for it means there is no display.
#pragma once

#include <QApplication>
#include <memory>

namespace ui::qt {

// The application, or nullptr when no display is usable (the program then
// runs on the console). Never aborts the process. `interactive` tells whether
// a person can see the windows: false on the offscreen (or minimal) platform
// when that was asked for explicitly. QT_QPA_PLATFORM is left as it was
// found. `argc` and `argv` must outlive the application.
std::unique_ptr<QApplication> StartGui(int& argc, char** argv, bool& interactive);

}  // namespace ui::qt

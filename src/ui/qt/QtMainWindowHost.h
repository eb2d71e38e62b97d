// INI mode with a display: loads the main window, shows it and runs the
// window system's event loop until the window is gone.
#pragma once

#include <memory>

#include "platform/Context.h"
#include "startup/modIngestor.h"

class QtUserInterface;

class QtMainWindowHost final : public modIngestor::MainWindowHost {
 public:
  // `ui` is the interface in `ctx`; the window becomes its owner window.
  QtMainWindowHost(const platform::Context& ctx, QtUserInterface& ui) : ctx_(ctx), ui_(ui) {}
  // The window closes itself when no engine exists; that ends the program
  // with status 0, as closing the window does.
  int Run(const modIngestor::Arguments& args, std::unique_ptr<CSImportEngine>& engine) override;

 private:
  platform::Context ctx_;
  QtUserInterface& ui_;
};

// The per-file progress window some importers show while they read one file:
// a status line naming the file, a progress bar, and a count line. The window
// is loaded by the user interface (UserInterface::LoadFileProgress) and
// unloaded when destroyed.
#pragma once

#include <string>

#include "platform/ProgressSink.h"

namespace platform {

class FileProgressWindow {
 public:
  virtual ~FileProgressWindow() = default;
  // lblStatus, e.g. "Importing data from file: x.tmp".
  virtual void SetStatus(const std::string& text) = 0;
  // lblProgress, e.g. "3 of 10 records imported.".
  virtual void SetProgressText(const std::string& text) = 0;
  // The window's bar; the importer sets its maximum and advances its value.
  virtual ProgressSink& Bar() = 0;
  // Shows the window without waiting for it.
  virtual void Show() = 0;
};

}  // namespace platform

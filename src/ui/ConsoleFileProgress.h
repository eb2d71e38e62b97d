// The file progress window of a run without a display: the status, the bar and
// the count share one line on a terminal, e.g.
//
//   Importing data from file: x.tmp [#############...] 3 of 10 records imported.
//
// On a stream that is not a terminal it shows nothing; the bar still keeps its
// range and value for the importer.
#pragma once

#include <cstdio>
#include <string>

#include "platform/FileProgressWindow.h"
#include "ui/CProgressBar.h"
#include "ui/ConsolePictureBox.h"

namespace ui {

class ConsoleFileProgress final : public platform::FileProgressWindow {
 public:
  ConsoleFileProgress(std::FILE* out, bool isTerminal, ConsoleBarOptions options = {});
  // Unloading ends the line.
  ~ConsoleFileProgress() override;

  void SetStatus(const std::string& text) override { picture_.SetLabel(text); }
  void SetProgressText(const std::string& text) override { picture_.SetTrailer(text); }
  CProgressBar& Bar() override { return bar_; }
  void Show() override { picture_.Show(); }

 private:
  // Declared first so it outlives the bar drawing into it.
  ConsolePictureBox picture_;
  CProgressBar bar_;
};

}  // namespace ui

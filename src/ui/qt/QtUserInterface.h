// The user interface of a process with a window system: message boxes, the
// file-open dialog and the per-file progress window are Qt windows owned by
// the main window (once there is one).
//
// A process that runs on Qt's offscreen platform (asked for explicitly) has
// windows nobody can see; it is created non-interactive, and then message
// boxes and the file-open dialog go to the fallback (the console), which shows
// them in text and answers them itself.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/Env.h"
#include "platform/UserInterface.h"

class QtUserInterface : public platform::UserInterface {
 public:
  // `env` provides the variables drive prefixes map through; `fallback`
  // answers when `interactive` is false. Both must outlive this object.
  QtUserInterface(platform::Env& env, bool interactive, platform::UserInterface& fallback);

  // The window that owns boxes and dialogs; nullptr (the default) leaves them
  // without owner. A main window that is destroyed is forgotten.
  void SetMainWindow(QWidget* main);
  QWidget* MainWindow() const { return mainWindow_.data(); }

  // An application-modal box; Escape or closing it answers Cancel when the
  // box offers it, else No (OK for an OK box). CR LF in `text` shows as one
  // line break.
  platform::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                                 platform::MsgButtons buttons, platform::MsgIcon icon) override;
  void PumpEvents() override;
  bool CanAsk() const override { return interactive_; }
  // Unattended imports in the tail form still tell a terminal their counts.
  bool TerminalListens() const override { return fallback_.TerminalListens(); }
  std::unique_ptr<platform::FileProgressWindow> LoadFileProgress() override;
  // A Qt file dialog (the same non-native one on every desktop). Filters
  // match names without regard to case; the combo shows their descriptions.
  platform::OpenDialogResult ShowOpenDialog(const platform::OpenDialogOptions& options) override;

 private:
  platform::Env& env_;
  bool interactive_;
  platform::UserInterface& fallback_;
  QPointer<QWidget> mainWindow_;
};

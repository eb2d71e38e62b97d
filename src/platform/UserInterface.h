// The user-interface seam. The core shows message boxes, log lines and
// progress only through these interfaces; a console implementation serves when
// there is no display (and in tests), the window provides another.
#pragma once

#include <memory>
#include <string>

#include "platform/FileProgressWindow.h"

namespace platform {

enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Question, Exclamation, Critical };
enum class MsgAnswer { OK, Cancel, Yes, No };

// What the file-open dialog is asked to show. Paths are in program form.
struct OpenDialogOptions {
  std::string initialFolder;
  // Pairs of description and pattern list, each part ended by a NUL
  // ("All files" NUL "*.*" NUL).
  std::string filter;
  int filterIndex = 1;  // 1-based pair to select first
  std::string title;
  bool multiSelect = false;
};

// What the file-open dialog gave back.
struct OpenDialogResult {
  // Empty when cancelled. One file: its path. Several: the folder, then each
  // name, each part ended by a NUL, then one more NUL.
  std::string buffer;
  int filterIndex = 1;  // the pair the user ended with
};

// Where log lines are also shown. A list keeps every line; a text shows only
// the latest; any other kind receives nothing.
class OutputObject {
 public:
  enum class Kind { List, Text, Other };
  virtual ~OutputObject() = default;
  virtual Kind kind() const = 0;
  virtual void AppendLine(const std::string& line) = 0;
  virtual void ReplaceText(const std::string& text) = 0;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Shows a message and returns the button chosen. Where nobody can answer, a
  // question is answered No (Cancel for OK/Cancel) and an OK box just returns OK.
  virtual MsgAnswer MessageBox(const std::string& text, const std::string& title,
                               MsgButtons buttons, MsgIcon icon) = 0;
  // Lets pending window events run once, so the display keeps up during long
  // work on the one thread.
  virtual void PumpEvents() = 0;
  // True when a person can answer questions; false means every question gets
  // the default answer of MessageBox, which callers report in the log.
  virtual bool CanAsk() const = 0;
  // True when stderr is a terminal whose reader wants the run's closing lines
  // (each file's counts): a console on a terminal that was not asked to be quiet.
  virtual bool TerminalListens() const { return false; }
  // Loads the per-file progress window (a status line, a bar and a count
  // line); destroying it unloads it. Never nullptr.
  virtual std::unique_ptr<FileProgressWindow> LoadFileProgress() = 0;
  // Shows the file-open dialog and waits for the choice. Where there is no
  // window system the dialog is cancelled at once.
  virtual OpenDialogResult ShowOpenDialog(const OpenDialogOptions& options) {
    return OpenDialogResult{{}, options.filterIndex};
  }
};

}  // namespace platform

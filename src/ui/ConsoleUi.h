// The user interface of a process without a display: messages go to stderr,
// questions are asked on the terminal when stdin is one and otherwise answered
// No, so an unattended run never waits for an answer nobody can give.
#pragma once

#include <cstdio>

#include "platform/UserInterface.h"

namespace ui {

class ConsoleUi final : public platform::UserInterface {
 public:
  // `interactive` says whether `in` is a terminal a person answers at;
  // `errIsTerminal` whether `err` is a terminal that can show a progress line.
  ConsoleUi(std::FILE* in, std::FILE* err, bool interactive, bool errIsTerminal = false);
  // The process's own stdin and stderr; interactive when stdin is a terminal.
  static ConsoleUi ForProcess();

  platform::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                                 platform::MsgButtons buttons, platform::MsgIcon icon) override;
  void PumpEvents() override {}
  bool CanAsk() const override { return interactive_; }
  bool TerminalListens() const override { return errIsTerminal_; }
  std::unique_ptr<platform::FileProgressWindow> LoadFileProgress() override;

 private:
  // Answers a question nobody answered (No, or Cancel for OK/Cancel) and says so.
  platform::MsgAnswer GiveUp(platform::MsgButtons buttons, const char* why);

  std::FILE* in_;
  std::FILE* err_;
  bool interactive_;
  bool errIsTerminal_;
};

}  // namespace ui

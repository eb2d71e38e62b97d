// A user interface that records every message box and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/UserInterface.h"

namespace testing_doubles {

struct ShownBox {
  std::string text;
  std::string title;
  platform::MsgButtons buttons;
  platform::MsgIcon icon;
};

class RecordingUi final : public platform::UserInterface {
 public:
  std::vector<ShownBox> boxes;
  std::deque<platform::MsgAnswer> answers;  // consumed in order; OK/No when empty
  int pumps = 0;

  platform::MsgAnswer MessageBox(const std::string& text, const std::string& title,
                                 platform::MsgButtons buttons, platform::MsgIcon icon) override {
    boxes.push_back({text, title, buttons, icon});
    if (!answers.empty()) {
      auto a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == platform::MsgButtons::OK ? platform::MsgAnswer::OK : platform::MsgAnswer::No;
  }
  void PumpEvents() override { ++pumps; }
};

// An output object that remembers what it was given.
class RecordingOutput final : public platform::OutputObject {
 public:
  explicit RecordingOutput(Kind kind) : kind_(kind) {}
  Kind kind() const override { return kind_; }
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  void ReplaceText(const std::string& t) override { text = t; }
  std::vector<std::string> lines;
  std::string text;

 private:
  Kind kind_;
};

}  // namespace testing_doubles

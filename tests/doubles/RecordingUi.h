// A user interface that records every message box and answers from a script.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileProgressWindow.h"
#include "platform/UserInterface.h"
#include "ui/CProgressBar.h"

namespace testing_doubles {

// What one loaded file progress window was shown, in order.
struct FileProgressLog {
  std::vector<std::string> statuses;
  std::vector<std::string> counts;  // every count line set
};

class RecordingFileProgress final : public platform::FileProgressWindow {
 public:
  explicit RecordingFileProgress(FileProgressLog& log) : log_(log) {}
  void SetStatus(const std::string& text) override { log_.statuses.push_back(text); }
  void SetProgressText(const std::string& text) override { log_.counts.push_back(text); }
  ui::CProgressBar& Bar() override { return bar_; }
  void Show() override {}

 private:
  FileProgressLog& log_;
  ui::CProgressBar bar_;
};

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
  bool CanAsk() const override { return canAsk; }
  std::unique_ptr<platform::FileProgressWindow> LoadFileProgress() override {
    windows.emplace_back(std::make_unique<FileProgressLog>());
    return std::make_unique<RecordingFileProgress>(*windows.back());
  }

  bool canAsk = true;
  // One entry per window loaded, in order.
  std::vector<std::unique_ptr<FileProgressLog>> windows;
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

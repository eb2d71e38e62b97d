// The engine's log lines shown in a label: each line replaces the last.
#pragma once

#include <QLabel>
#include <QString>
#include <string>

#include "platform/UserInterface.h"

namespace ui::qt {

class LabelOutput final : public platform::OutputObject {
 public:
  void SetLabel(QLabel* label) { label_ = label; }
  Kind kind() const override { return Kind::Text; }
  void AppendLine(const std::string& line) override { ReplaceText(line); }
  void ReplaceText(const std::string& text) override {
    if (label_ != nullptr) label_->setText(QString::fromStdString(text));
  }

 private:
  QLabel* label_ = nullptr;
};

}  // namespace ui::qt

#include <string>

#include "engine/CSImportEngine.h"
#include "support/Conversions.h"

namespace {

constexpr const char* kTimeStampPattern = "hh:mm:ss yyyy-mmdd";

std::string BuildLine(const platform::LocalTime& now, const std::string& text,
                      const std::string& source, std::int16_t index) {
  std::string line = support::FormatDateTime(kTimeStampPattern, now);
  if (source.empty()) {
    line += " - ";
  } else {
    line += " - [Source]";
    line += support::EscapeControls(source);
    line += " [Index]";
    line += index == -1 ? std::string("na") : std::to_string(index);
    line += " [Text]";
  }
  // A control character in a logged name (a file called "a\r\nb.dat") must
  // not start a line of its own that reads like an event.
  line += support::EscapeControls(text);
  return line;
}

}  // namespace

void CSImportEngine::WriteToLog(const std::string& text, const std::string& source,
                                std::int16_t index) {
  std::string line;
  try {
    line = BuildLine(ctx_.env.LocalNow(), text, source, index);
  } catch (...) {
    return;  // nothing to show
  }
  // Each destination on its own: a dead log file must not keep the line from
  // the window, nor a broken window stop the events from running.
  try {
    if (logfile_ != 0) ctx_.files.Write(logfile_, line + "\r\n");
  } catch (...) {
  }
  if (outputObject_ == nullptr) return;
  try {
    switch (outputObject_->kind()) {
      case platform::OutputObject::Kind::List:
        outputObject_->AppendLine(line);
        break;
      case platform::OutputObject::Kind::Text:
        outputObject_->ReplaceText(line);
        break;
      case platform::OutputObject::Kind::Other:
        break;
    }
  } catch (...) {
  }
  try {
    ctx_.ui.PumpEvents();
  } catch (...) {
  }
}

void CSImportEngine::LogFailure(std::string_view source, const char* description,
                                std::int16_t index) {
  try {
    WriteToLog(description != nullptr ? description : "", std::string(source), index);
  } catch (...) {
  }
}

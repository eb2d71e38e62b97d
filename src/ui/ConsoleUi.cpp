#include "ui/ConsoleUi.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <optional>
#include <string>
#include <utility>

#include "ui/ConsoleFileProgress.h"

namespace ui {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

namespace {

// Message texts use CR LF line breaks; a terminal wants LF.
std::string ForTerminal(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

const char* Choices(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::YesNo:
      return "[y]es / [n]o";
    case MsgButtons::YesNoCancel:
      return "[y]es / [n]o / [c]ancel";
    case MsgButtons::OKCancel:
      return "[o]k / [c]ancel";
    case MsgButtons::OK:
      break;
  }
  return "";
}

MsgAnswer Unanswered(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::OK:
      return MsgAnswer::OK;
    case MsgButtons::OKCancel:
      return MsgAnswer::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
      break;
  }
  return MsgAnswer::No;
}

// A reply counts only when it is a whole word ("y", "Yes", "n", ...), so a
// stray line such as "yellow" asks again instead of answering Yes.
std::optional<MsgAnswer> Parse(const std::string& reply, MsgButtons buttons) {
  std::string word;
  for (char ch : reply)
    if (!std::isspace(static_cast<unsigned char>(ch)))
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  bool yesNo = buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel;
  bool cancel = buttons == MsgButtons::YesNoCancel || buttons == MsgButtons::OKCancel;
  bool ok = buttons == MsgButtons::OKCancel;
  if (yesNo && (word == "y" || word == "yes")) return MsgAnswer::Yes;
  if (yesNo && (word == "n" || word == "no")) return MsgAnswer::No;
  if (cancel && (word == "c" || word == "cancel")) return MsgAnswer::Cancel;
  if (ok && (word == "o" || word == "ok")) return MsgAnswer::OK;
  return std::nullopt;
}

}  // namespace

MsgAnswer ConsoleUi::GiveUp(MsgButtons buttons, const char* why) {
  MsgAnswer answer = Unanswered(buttons);
  std::fprintf(err_, "(%s: answered %s)\n", why, answer == MsgAnswer::No ? "No" : "Cancel");
  std::fflush(err_);
  return answer;
}

ConsoleUi::ConsoleUi(std::FILE* in, std::FILE* err, bool interactive, bool errIsTerminal)
    : in_(in), err_(err), interactive_(interactive), errIsTerminal_(errIsTerminal) {}

ConsoleUi ConsoleUi::ForProcess() {
  return ConsoleUi(stdin, stderr, ::isatty(STDIN_FILENO) == 1, ::isatty(STDERR_FILENO) == 1);
}

MsgAnswer ConsoleUi::MessageBox(const std::string& text, const std::string& title,
                                MsgButtons buttons, MsgIcon) {
  std::fprintf(err_, "%s: %s\n", ForTerminal(title).c_str(), ForTerminal(text).c_str());
  if (buttons == MsgButtons::OK) {
    std::fflush(err_);
    return MsgAnswer::OK;
  }
  if (!interactive_ || in_ == nullptr) return GiveUp(buttons, "no terminal to answer on");
  for (;;) {
    std::fprintf(err_, "%s? ", Choices(buttons));
    std::fflush(err_);
    std::string reply;
    int c;
    while ((c = std::fgetc(in_)) != EOF && c != '\n') reply += static_cast<char>(c);
    if (auto answer = Parse(reply, buttons)) return *answer;
    if (c == EOF) {
      std::fputc('\n', err_);  // the prompt line was left open
      return GiveUp(buttons, "no answer");
    }
  }
}

namespace {

// Columns of the terminal behind `stream`, 0 when it cannot be told.
int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (stream == nullptr || ::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace

std::unique_ptr<platform::FileProgressWindow> ConsoleUi::LoadFileProgress() {
  ConsoleBarOptions options;
  // Measured per window, so a resized terminal is picked up at the next file.
  if (errIsTerminal_) options.lineWidth = TerminalColumns(err_);
  return std::make_unique<ConsoleFileProgress>(err_, errIsTerminal_, std::move(options));
}

}  // namespace ui

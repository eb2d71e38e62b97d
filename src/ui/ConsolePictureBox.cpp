#include "ui/ConsolePictureBox.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

namespace {

constexpr char kFilled = '#';
constexpr char kEmpty = '.';

// File names come from outside; a stray control character must not move the
// cursor or start an escape sequence.
std::string Printable(const std::string& text) {
  std::string out = text;
  for (char& ch : out) {
    auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7f) ch = '?';
  }
  return out;
}

bool Continuation(char ch) {
  return (static_cast<unsigned char>(ch) & 0xC0) == 0x80;
}

// At most `room` bytes of the start of `text`, never ending inside a UTF-8 character.
std::string Head(const std::string& text, std::size_t room) {
  if (text.size() <= room) return text;
  std::size_t cut = room;
  while (cut > 0 && Continuation(text[cut])) --cut;
  return text.substr(0, cut);
}

// At most `room` bytes of the end of `text`, never starting inside a UTF-8 character.
std::string Tail(const std::string& text, std::size_t room) {
  if (text.size() <= room) return text;
  std::size_t from = text.size() - room;
  while (from < text.size() && Continuation(text[from])) ++from;
  return text.substr(from);
}

}  // namespace

ConsolePictureBox::ConsolePictureBox(std::FILE* out, bool isTerminal, ConsoleBarOptions options)
    : out_(out),
      isTerminal_(isTerminal && out != nullptr),
      options_(std::move(options)),
      cells_(static_cast<std::size_t>(std::clamp(options_.cells, 1, 1000)), kEmpty) {}

ConsolePictureBox::~ConsolePictureBox() {
  Finish();
}

void ConsolePictureBox::SetLabel(const std::string& text) {
  if (text == label_) return;
  try {
    label_ = text;
  } catch (...) {
    return;  // out of memory for a label: keep the old one
  }
  MarkDirty();
  WriteIfDue();
}

void ConsolePictureBox::SetTrailer(const std::string& text) {
  if (text == trailer_) return;
  try {
    trailer_ = text;
  } catch (...) {
    return;
  }
  MarkDirty();
  WriteIfDue();
}

void ConsolePictureBox::Show() {
  shown_ = true;
  MarkDirty(true);
  WriteIfDue();
}

void ConsolePictureBox::Finish() {
  if (isTerminal_ && shown_) {
    if (dirty_) Write();
    if (wroteLine_) {
      std::fputc('\n', out_);
      std::fflush(out_);
    }
  }
  shown_ = false;
  wroteLine_ = false;
}

void ConsolePictureBox::SetCurrent(float x, float y) {
  penX_ = x;
  penY_ = y;
}

void ConsolePictureBox::Clear() {
  penX_ = 0.0f;
  penY_ = 0.0f;
  bool blank = overlay_.empty() && cells_.find(kFilled) == std::string::npos;
  std::fill(cells_.begin(), cells_.end(), kEmpty);
  overlay_.clear();
  if (!blank) MarkDirty();
}

void ConsolePictureBox::VerticalLine(float x, float, float toY, Colour) {
  penX_ = x;
  penY_ = toY;
  if (!(x >= 1.0f && x < ScaleWidth() + 1.0f)) return;  // also false for NaN
  char& cell = cells_[static_cast<std::size_t>(std::floor(x)) - 1];
  if (cell == kFilled) return;
  cell = kFilled;
  MarkDirty(cells_.find(kEmpty) == std::string::npos);
}

void ConsolePictureBox::DrawCentredText(const std::string& text, const ClientRect& rect) {
  if (text == overlay_ && rect == overlayRect_) return;
  try {
    overlay_ = text;
  } catch (...) {
    return;
  }
  overlayRect_ = rect;
  MarkDirty();
}

ClientRect ConsolePictureBox::ClientRectangle() const {
  return {0, 0, static_cast<std::int32_t>(cells_.size()), 1};
}

void ConsolePictureBox::MarkDirty(bool completed) {
  dirty_ = true;
  completed_ = completed_ || completed;
}

void ConsolePictureBox::WriteIfDue() {
  if (!dirty_ || !isTerminal_ || !shown_) return;
  if (!completed_ && lastWrite_ && Now() - *lastWrite_ < options_.interval) return;
  Write();
}

void ConsolePictureBox::Write() {
  try {
    std::string text = "\r" + Line() + "\x1b[K";
    std::fputs(text.c_str(), out_);
    std::fflush(out_);
    wroteLine_ = true;
  } catch (...) {
    // Nothing shown this time; the next change tries again.
  }
  dirty_ = false;
  completed_ = false;
  lastWrite_ = Now();
}

std::string ConsolePictureBox::Line() const {
  std::string bar = cells_;
  if (!overlay_.empty()) {
    auto size = static_cast<std::int64_t>(bar.size());
    std::int64_t left = std::clamp<std::int64_t>(overlayRect_.left, 0, size);
    std::int64_t right = std::clamp<std::int64_t>(overlayRect_.right, left, size);
    std::string text = Head(Printable(overlay_), static_cast<std::size_t>(right - left));
    auto at = left + (right - left - static_cast<std::int64_t>(text.size())) / 2;
    bar.replace(static_cast<std::size_t>(at), text.size(), text);
  }
  std::string rest = "[" + bar + "]";
  if (!trailer_.empty()) rest += " " + Printable(trailer_);
  std::string label = Printable(label_);
  if (options_.lineWidth <= 0) return label.empty() ? rest : label + " " + rest;

  // Keep off the last column so the terminal does not wrap, and give up the
  // start of the label first: its end names the file.
  auto room = static_cast<std::size_t>(options_.lineWidth - 1);
  if (!label.empty() && label.size() + 1 + rest.size() > room) {
    std::size_t labelRoom = room > rest.size() + 1 ? room - rest.size() - 1 : 0;
    label = labelRoom > 3 ? "..." + Tail(label, labelRoom - 3) : "";
  }
  return Head(label.empty() ? rest : label + " " + rest, room);
}

std::chrono::steady_clock::time_point ConsolePictureBox::Now() const {
  return options_.clock ? options_.clock() : std::chrono::steady_clock::now();
}

}  // namespace ui

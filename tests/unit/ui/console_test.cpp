#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ui/CProgressBar.h"
#include "ui/ConsoleFileProgress.h"
#include "ui/ConsolePictureBox.h"
#include "ui/ConsoleUi.h"

namespace {

using namespace std::chrono_literals;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A temporary stream holding `contents`, positioned at its start.
File StreamWith(const std::string& contents = "") {
  File f(std::tmpfile(), std::fclose);
  std::fputs(contents.c_str(), f.get());
  std::rewind(f.get());
  return f;
}

std::string ContentsOf(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;) out += static_cast<char>(c);
  std::fseek(f, 0, SEEK_END);
  return out;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

// The lines written, each without its leading "\r" and trailing clear-to-end.
std::vector<std::string> Frames(std::FILE* f) {
  const std::string out = ContentsOf(f);
  std::vector<std::string> frames;
  for (std::size_t at = out.find('\r'); at != std::string::npos;) {
    std::size_t next = out.find('\r', at + 1);
    std::string frame = out.substr(at + 1, next == std::string::npos ? next : next - at - 1);
    if (frame.ends_with('\n')) frame.pop_back();
    if (frame.ends_with("\x1b[K")) frame.resize(frame.size() - 3);
    frames.push_back(frame);
    at = next;
  }
  return frames;
}

TEST(ConsoleUiTest, QuestionsWithAndWithoutATerminal) {
  // Without a terminal every box is one line and a question is answered No
  // (Cancel where there is one) without reading the input.
  File in = StreamWith("y\n"), err = StreamWith();
  ui::ConsoleUi ui(in.get(), err.get(), false);
  EXPECT_EQ(ui.MessageBox("The following error(s) occurred: \r\n\r\nDisk full",
                          "Error in \"CopyFile::modFileIO\"", MsgButtons::OK, MsgIcon::Information),
            MsgAnswer::OK);
  EXPECT_EQ(ui.MessageBox("Overwrite?", "Ingestor", MsgButtons::YesNoCancel, MsgIcon::Question),
            MsgAnswer::No);
  EXPECT_EQ(ui.MessageBox("Go on?", "Ingestor", MsgButtons::OKCancel, MsgIcon::Question),
            MsgAnswer::Cancel);
  const std::string said = ContentsOf(err.get());
  EXPECT_EQ(said.substr(0, 98),
            "Error in \"CopyFile::modFileIO\": The following error(s) occurred: \n\nDisk full\n"
            "Ingestor: Overwrite?\n");
  EXPECT_EQ(Count(said, "answered No") + 10 * Count(said, "answered Cancel"), 11);
  EXPECT_EQ(std::fgetc(in.get()), 'y');
  ui::ConsoleUi noInput(nullptr, err.get(), true);
  EXPECT_EQ(noInput.MessageBox("Overwrite?", "Ingestor", MsgButtons::YesNo, MsgIcon::Question),
            MsgAnswer::No);

  struct Case {
    std::string input;
    MsgButtons buttons;
    MsgAnswer expected;
    int prompts;
  };
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
           {"y\n", MsgButtons::YesNo, MsgAnswer::Yes, 1},  {"n\n", MsgButtons::YesNo, MsgAnswer::No, 1},
           {"  Yes \n", MsgButtons::YesNo, MsgAnswer::Yes, 1}, {"y", MsgButtons::YesNo, MsgAnswer::Yes, 1},
           {"maybe\nyellow\nn\n", MsgButtons::YesNo, MsgAnswer::No, 3},
           {"", MsgButtons::YesNo, MsgAnswer::No, 1},      {"garbage", MsgButtons::YesNo, MsgAnswer::No, 1},
           {"c\n", MsgButtons::YesNo, MsgAnswer::No, 2},  // no Cancel button: asked again, then EOF
           {"c\n", MsgButtons::YesNoCancel, MsgAnswer::Cancel, 1},
           {"o\n", MsgButtons::OKCancel, MsgAnswer::OK, 1}, {"", MsgButtons::OKCancel, MsgAnswer::Cancel, 1}}) {
    // clang-format on
    SCOPED_TRACE("input: \"" + c.input + "\"");
    File in = StreamWith(c.input), err = StreamWith();
    ui::ConsoleUi ui(in.get(), err.get(), true);
    EXPECT_EQ(ui.MessageBox("Overwrite?", "Ingestor", c.buttons, MsgIcon::Question), c.expected);
    const std::string said = ContentsOf(err.get());
    EXPECT_EQ(Count(said, "Ingestor: Overwrite?\n"), 1);
    EXPECT_EQ(Count(said, "? "), c.prompts);
  }
}

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  ui::ConsoleBarOptions Options(int cells, int lineWidth = 0) {
    ui::ConsoleBarOptions options;
    options.cells = cells;
    options.lineWidth = lineWidth;
    options.clock = [this] { return now; };
    return options;
  }
};

TEST(ConsoleProgressTest, NothingIsWrittenWithoutATerminal) {
  File out = StreamWith();
  {
    ui::ConsoleFileProgress window(out.get(), false);
    window.SetStatus("Importing data from file: x.tmp");
    window.Bar().SetMax(3);
    window.Show();
    window.Bar().SetValue(3);
    window.SetProgressText("3 of 3 records imported.");
    EXPECT_EQ(window.Bar().Value(), 3);  // the bar still counts
  }
  // The console interface, told nothing about stderr, treats it as no terminal.
  File in = StreamWith();
  auto window = ui::ConsoleUi(in.get(), out.get(), true).LoadFileProgress();
  ASSERT_NE(window, nullptr);
  window->Show();
  window->Bar().SetMax(2);
  window->Bar().SetValue(2);
  window.reset();
  EXPECT_EQ(ContentsOf(out.get()), "");
}

TEST(ConsoleProgressTest, TerminalLineIsRewrittenThrottledAndEndsWithANewline) {
  File out = StreamWith();
  FakeClock clock;
  {
    ui::ConsoleFileProgress window(out.get(), true, clock.Options(40));
    window.SetStatus("Importing data from file: x.tmp");
    window.Bar().SetMax(1000);
    window.Show();
    for (int i = 1; i <= 980; ++i) window.Bar().SetValue(i);
    EXPECT_EQ(Frames(out.get()).size(), 1u);
    // Once due, one advance is one write, with all of its cells.
    clock.now += 100ms;
    window.Bar().SetValue(981);
    window.Bar().SetValue(1000);  // full: shown at once
    window.SetProgressText("1000 of 1000 records imported.");
    clock.now += 99ms;
    window.SetStatus("Importing data from file: y.tmp");
    EXPECT_EQ(Frames(out.get()).size(), 3u);
    clock.now += 1ms;
    window.SetStatus("Importing data from file: z.tmp");
    window.SetProgressText("all records imported.");  // pending: written at the end
  }
  const std::string text = ContentsOf(out.get()), full = "[" + std::string(40, '#') + "]";
  EXPECT_EQ(Frames(out.get()),
            (std::vector<std::string>{
                "Importing data from file: x.tmp [" + std::string(40, '.') + "]",
                "Importing data from file: x.tmp [" + std::string(39, '#') + ".]",
                "Importing data from file: x.tmp " + full,
                "Importing data from file: z.tmp " + full + " 1000 of 1000 records imported.",
                "Importing data from file: z.tmp " + full + " all records imported."}));
  EXPECT_EQ(text.front(), '\r');
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  EXPECT_TRUE(text.ends_with("\x1b[K\n"));
}

TEST(ConsoleProgressTest, BarCellsOverlayTextAndLabelShortening) {
  File out = StreamWith();
  FakeClock clock;
  ui::ConsolePictureBox pic(out.get(), true, clock.Options(10));
  ui::CProgressBar bar;
  bar.Attach(&pic);
  bar.SetDisplayPercentComplete(true);
  bar.SetMax(2);
  pic.Show();
  clock.now += 1s;
  bar.SetValue(1);  // unit 5: five cells, "50%" centred over the ten
  EXPECT_EQ(Frames(out.get()).back(), "[###50%....]");
  clock.now += 1s;
  bar.SetValue(0);  // cleared: no cells, no text
  EXPECT_EQ(Frames(out.get()).back(), "[..........]");
  bar.Attach(nullptr);
  pic.Finish();
  // A narrow terminal gives up the start of the label; control characters
  // never reach it.
  File narrow = StreamWith();
  {
    ui::ConsoleFileProgress window(narrow.get(), true, clock.Options(10, 60));
    window.SetStatus("Importing data from file: a_rather_long\tfile_name.tmp");
    window.SetProgressText("3 of 10 records imported.");
    window.Show();
  }
  EXPECT_EQ(
      Frames(narrow.get()),
      std::vector<std::string>{"...ong?file_name.tmp [..........] 3 of 10 records imported."});
}

}  // namespace

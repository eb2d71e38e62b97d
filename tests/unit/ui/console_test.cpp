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
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File TempFile() {
  return File(std::tmpfile(), std::fclose);
}

std::string ContentsOf(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out += static_cast<char>(c);
  std::fseek(f, 0, SEEK_END);
  return out;
}

// The lines written, each without its leading "\r" and trailing clear-to-end.
std::vector<std::string> Frames(const std::string& out) {
  std::vector<std::string> frames;
  for (std::size_t at = out.find('\r'); at != std::string::npos;) {
    std::size_t next = out.find('\r', at + 1);
    std::string frame = out.substr(at + 1, next == std::string::npos ? next : next - at - 1);
    if (!frame.empty() && frame.back() == '\n') frame.pop_back();
    const std::string clear = "\x1b[K";
    if (frame.size() >= clear.size() && frame.ends_with(clear))
      frame.resize(frame.size() - clear.size());
    frames.push_back(frame);
    at = next;
  }
  return frames;
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

TEST(ConsoleProgressTest, NothingIsWrittenWithoutATerminalOrBeforeShow) {
  File out = TempFile();
  ASSERT_TRUE(out);
  {
    ui::ConsoleFileProgress window(out.get(), false);
    window.SetStatus("Importing data from file: x.tmp");
    window.Bar().SetMax(3);
    window.Show();
    for (int i = 1; i <= 3; ++i) {
      window.Bar().SetValue(window.Bar().Value() + 1);
      window.SetProgressText(std::to_string(i) + " of 3 records imported.");
    }
    EXPECT_EQ(window.Bar().Value(), 3);  // the bar still counts
  }
  {
    // The console interface, told nothing about stderr, treats it as no terminal.
    File in = TempFile();
    ui::ConsoleUi ui(in.get(), out.get(), true);
    auto window = ui.LoadFileProgress();
    ASSERT_NE(window, nullptr);
    window->SetStatus("Importing data from file: y.tmp");
    window->Bar().SetMax(2);
    window->Show();
    window->Bar().SetValue(2);
    EXPECT_EQ(window->Bar().Value(), 2);
  }
  EXPECT_EQ(ContentsOf(out.get()), "");
}

TEST(ConsoleProgressTest, TerminalLineShowsStatusBarAndCountAndEndsWithNewline) {
  File out = TempFile();
  ASSERT_TRUE(out);
  FakeClock clock;
  {
    ui::ConsoleFileProgress window(out.get(), true, clock.Options(10));
    window.SetStatus("Importing data from file: x.tmp");
    window.Bar().SetMax(10);
    window.Show();
    for (int i = 1; i <= 3; ++i) {
      clock.now += 200ms;
      window.Bar().SetValue(window.Bar().Value() + 1);
      window.SetProgressText(std::to_string(i) + " of 10 records imported.");
    }
  }
  std::string text = ContentsOf(out.get());
  std::vector<std::string> frames = Frames(text);
  // Shown, one per advance, then the count still pending when it unloaded.
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames.front(), "Importing data from file: x.tmp [..........]");
  EXPECT_EQ(frames.back(),
            "Importing data from file: x.tmp [###.......] 3 of 10 records imported.");
  EXPECT_EQ(text.front(), '\r');
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  EXPECT_TRUE(text.ends_with("\x1b[K\n"));
}

TEST(ConsoleProgressTest, RewritesAreThrottledExceptOnCompletion) {
  File out = TempFile();
  ASSERT_TRUE(out);
  FakeClock clock;
  ui::ConsoleFileProgress window(out.get(), true, clock.Options(40));
  window.Bar().SetMax(1000);
  window.Show();
  for (int i = 1; i <= 980; ++i) window.Bar().SetValue(i);
  auto frames = Frames(ContentsOf(out.get()));
  ASSERT_EQ(frames.size(), 1u);

  // Once due, one advance is one write, with all of its cells.
  clock.now += 100ms;
  window.Bar().SetValue(981);
  frames = Frames(ContentsOf(out.get()));
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1], "[" + std::string(39, '#') + ".]");

  window.Bar().SetValue(1000);  // full: shown at once
  frames = Frames(ContentsOf(out.get()));
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[2], "[" + std::string(40, '#') + "]");

  window.SetProgressText("1000 of 1000 records imported.");
  EXPECT_EQ(Frames(ContentsOf(out.get())).size(), 3u);
  clock.now += 99ms;
  window.SetStatus("Importing data from file: x.tmp");
  EXPECT_EQ(Frames(ContentsOf(out.get())).size(), 3u);
  clock.now += 1ms;
  window.SetStatus("Importing data from file: y.tmp");
  EXPECT_EQ(Frames(ContentsOf(out.get())).back(), "Importing data from file: y.tmp [" +
                                                      std::string(40, '#') +
                                                      "] 1000 of 1000 records imported.");
}

TEST(ConsoleProgressTest, BarCellsOverlayTextAndLabelShortening) {
  File out = TempFile();
  ASSERT_TRUE(out);
  FakeClock clock;
  ui::ConsolePictureBox pic(out.get(), true, clock.Options(10));
  ui::CProgressBar bar;
  bar.Attach(&pic);
  bar.SetDisplayPercentComplete(true);
  bar.SetMax(2);
  pic.Show();
  clock.now += 1s;
  bar.SetValue(1);  // unit 5: five cells, "50%" centred over the ten
  EXPECT_EQ(Frames(ContentsOf(out.get())).back(), "[###50%....]");
  clock.now += 1s;
  bar.SetValue(0);  // cleared: no cells, no text
  EXPECT_EQ(Frames(ContentsOf(out.get())).back(), "[..........]");
  bar.Attach(nullptr);
  pic.Finish();

  // A narrow terminal gives up the start of the label; control characters
  // never reach it.
  File narrow = TempFile();
  ASSERT_TRUE(narrow);
  {
    ui::ConsoleFileProgress window(narrow.get(), true, clock.Options(10, 60));
    window.SetStatus("Importing data from file: a_rather_long\tfile_name.tmp");
    window.SetProgressText("3 of 10 records imported.");
    window.Show();
  }
  auto frames = Frames(ContentsOf(narrow.get()));
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], "...ong?file_name.tmp [..........] 3 of 10 records imported.");
  EXPECT_LE(frames[0].size(), 59u);
}

}  // namespace

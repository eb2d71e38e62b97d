#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "ui/ConsoleFileProgress.h"
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

  // On a terminal: asked again until an answer fits; the end of the input is No.
  auto ask = [](const std::string& input, MsgButtons buttons) {
    File in = StreamWith(input), err = StreamWith();
    const MsgAnswer answer = ui::ConsoleUi(in.get(), err.get(), true)
                                 .MessageBox("Overwrite?", "Ingestor", buttons, MsgIcon::Question);
    return std::pair{answer, Count(ContentsOf(err.get()), "? ")};
  };
  EXPECT_EQ(ask("  Yes \n", MsgButtons::YesNo), std::pair(MsgAnswer::Yes, 1));
  EXPECT_EQ(ask("maybe\nn\n", MsgButtons::YesNo), std::pair(MsgAnswer::No, 2));
  EXPECT_EQ(ask("c\n", MsgButtons::YesNo), std::pair(MsgAnswer::No, 2));
  EXPECT_EQ(ask("c\n", MsgButtons::YesNoCancel), std::pair(MsgAnswer::Cancel, 1));
  EXPECT_EQ(ask("maybe\nc\n", MsgButtons::YesNoCancel), std::pair(MsgAnswer::Cancel, 2));
  EXPECT_EQ(ask("", MsgButtons::OKCancel), std::pair(MsgAnswer::Cancel, 1));
  EXPECT_EQ(ask("o\n", MsgButtons::OKCancel), std::pair(MsgAnswer::OK, 1));
}

TEST(ConsoleProgressTest, OneRewrittenLineOnATerminalNothingElsewhere) {
  // The console interface, told nothing about stderr, treats it as no
  // terminal: nothing is written, and the bar still counts.
  File out = StreamWith(), in = StreamWith();
  auto window = ui::ConsoleUi(in.get(), out.get(), true).LoadFileProgress();
  ASSERT_NE(window, nullptr);
  window->SetStatus("Importing data from file: x.tmp");
  window->Bar().SetMax(3);
  window->Show();
  window->Bar().SetValue(3);
  window->SetProgressText("3 of 3 records imported.");
  EXPECT_EQ(window->Bar().Value(), 3);
  window.reset();
  EXPECT_EQ(ContentsOf(out.get()), "");

  // On a terminal: rewritten at most every 100 ms (full at once), control
  // characters of a file name never reach it, the last line ends the output.
  std::chrono::steady_clock::time_point now{};
  ui::ConsoleBarOptions options;
  options.cells = 10;
  options.clock = [&] { return now; };
  {
    ui::ConsoleFileProgress progress(out.get(), true, options);
    progress.SetStatus("File: x\x1b]0;y.tmp");
    progress.Bar().SetMax(4);
    progress.Show();
    progress.Bar().SetValue(1);
    now += 100ms;
    progress.Bar().SetValue(2);
    progress.Bar().SetValue(4);
    progress.SetProgressText("4 of 4 records imported.");
  }
  EXPECT_EQ(ContentsOf(out.get()),
            "\rFile: x?]0;y.tmp [..........]\x1b[K\rFile: x?]0;y.tmp [#####.....]\x1b[K"
            "\rFile: x?]0;y.tmp [##########]\x1b[K"
            "\rFile: x?]0;y.tmp [##########] 4 of 4 records imported.\x1b[K\n");
}

}  // namespace

#include "ui/ConsoleUi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// A temporary stream holding `contents`, positioned at its start.
File StreamWith(const std::string& contents) {
  File f(std::tmpfile(), std::fclose);
  if (f) {
    std::fputs(contents.c_str(), f.get());
    std::rewind(f.get());
  }
  return f;
}

std::string ContentsOf(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out += static_cast<char>(c);
  return out;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
  return n;
}

TEST(ConsoleUiTest, OkBoxesAndQuestionsWithoutATerminal) {
  File in = StreamWith("y\n"), err = StreamWith("");
  ASSERT_TRUE(in && err);
  ui::ConsoleUi ui(in.get(), err.get(), false);
  EXPECT_EQ(ui.MessageBox("The following error(s) occurred: \r\n\r\nDisk full",
                          "Error in \"CopyFile::modFileIO\"", MsgButtons::OK, MsgIcon::Information),
            MsgAnswer::OK);
  EXPECT_EQ(ui.MessageBox("Overwrite?", "Ingestor", MsgButtons::YesNoCancel, MsgIcon::Question),
            MsgAnswer::No);
  EXPECT_EQ(ui.MessageBox("Go on?", "Ingestor", MsgButtons::OKCancel, MsgIcon::Question),
            MsgAnswer::Cancel);
  EXPECT_EQ(ContentsOf(err.get()).substr(0, 98),
            "Error in \"CopyFile::modFileIO\": The following error(s) occurred: \n\nDisk full\n"
            "Ingestor: Overwrite?\n");
  std::string said = ContentsOf(err.get());
  EXPECT_EQ(Count(said, "answered No"), 1);
  EXPECT_EQ(Count(said, "answered Cancel"), 1);
  // The "y" waiting on input was never read.
  EXPECT_EQ(std::fgetc(in.get()), 'y');
  ui::ConsoleUi noInput(nullptr, err.get(), true);
  EXPECT_EQ(noInput.MessageBox("Overwrite?", "Ingestor", MsgButtons::YesNo, MsgIcon::Question),
            MsgAnswer::No);
}

TEST(ConsoleUiTest, InteractiveQuestionReadsTheAnswer) {
  struct Case {
    std::string input;
    MsgButtons buttons;
    MsgAnswer expected;
    int prompts;
  };
  const Case cases[] = {
      {"y\n", MsgButtons::YesNo, MsgAnswer::Yes, 1},
      {"n\n", MsgButtons::YesNo, MsgAnswer::No, 1},
      {"  Yes \n", MsgButtons::YesNo, MsgAnswer::Yes, 1},
      {"maybe\nyellow\nn\n", MsgButtons::YesNo, MsgAnswer::No, 3},
      {"", MsgButtons::YesNo, MsgAnswer::No, 1},
      {"garbage", MsgButtons::YesNo, MsgAnswer::No, 1},
      {"y", MsgButtons::YesNo, MsgAnswer::Yes, 1},
      {"c\n", MsgButtons::YesNo, MsgAnswer::No, 2},  // no Cancel button: asked again, then EOF
      {"c\n", MsgButtons::YesNoCancel, MsgAnswer::Cancel, 1},
      {"o\n", MsgButtons::OKCancel, MsgAnswer::OK, 1},
      {"", MsgButtons::OKCancel, MsgAnswer::Cancel, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("input: \"" + c.input + "\"");
    File in = StreamWith(c.input), err = StreamWith("");
    ui::ConsoleUi ui(in.get(), err.get(), true);
    EXPECT_EQ(ui.MessageBox("Overwrite?", "Ingestor", c.buttons, MsgIcon::Question), c.expected);
    std::string said = ContentsOf(err.get());
    EXPECT_EQ(Count(said, "Ingestor: Overwrite?\n"), 1);
    EXPECT_EQ(Count(said, "? "), c.prompts);
  }
}

}  // namespace

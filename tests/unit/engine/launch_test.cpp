#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/modShellExecute.h"

namespace {

using modShellExecute::LaunchApplication;
using modShellExecute::SplitCommandLine;
using testing_doubles::TestWorld;
using Args = std::vector<std::string>;

void WriteScript(const TestWorld& world, const std::string& relative, const std::string& body) {
  world.Write(relative, "#!/bin/sh\n" + body);
  ::chmod(world.Native(relative).c_str(), 0755);
}

TEST(SplitCommandLine, ProgramIsShortestExecutablePrefix) {
  TestWorld world;
  WriteScript(world, "x tools/extract", "exit 0\n");
  const std::string extractor = world.Program("x tools\\extract");
  const std::string line = extractor + " \"a\" \"b\"";

  auto split = SplitCommandLine(world.ctx, line);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, extractor);
  EXPECT_EQ(split->arguments, (Args{"a", "b"}));

  // A prefix that is a plain, non-executable file does not count.
  world.Write("x", "data");
  split = SplitCommandLine(world.ctx, line);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, extractor);

  // An executable shorter prefix wins; the rest becomes unquoted words.
  ::chmod(world.Native("x").c_str(), 0755);
  split = SplitCommandLine(world.ctx, line);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, world.Program("x"));
  EXPECT_EQ(split->arguments, (Args{"tools\\extract", "a", "b"}));

  // Nothing executable: the first word is the program.
  split = SplitCommandLine(world.ctx, "C:\\nowhere\\x tools\\extract \"a\"");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, "C:\\nowhere\\x");
  EXPECT_EQ(split->arguments, (Args{"tools\\extract", "a"}));

  // A file system that cannot be asked gives no command line at all.
  world.env.ThrowOn("IsExecutableFile");
  EXPECT_FALSE(SplitCommandLine(world.ctx, line));
}

TEST(SplitCommandLine, QuotedArgumentsAreLiteral) {
  TestWorld world;
  auto split = SplitCommandLine(
      world.ctx, "C:\\Tools\\x.exe \"D:\\Out\\\" \"n\" \"D:\\Data\\a.dat\" \"D:\\Data\\b.dat\"");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, "C:\\Tools\\x.exe");
  EXPECT_EQ(split->arguments, (Args{"D:\\Out\\", "n", "D:\\Data\\a.dat", "D:\\Data\\b.dat"}));

  split = SplitCommandLine(world.ctx, "C:\\Tools\\x.exe \"My Out\\\" \"\" \"y\"");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->arguments, (Args{"My Out\\", "", "y"}));

  split = SplitCommandLine(world.ctx, "C:\\Tools\\x.exe");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->program, "C:\\Tools\\x.exe");
  EXPECT_TRUE(split->arguments.empty());

  EXPECT_FALSE(SplitCommandLine(world.ctx, "   "));
}

TEST(LaunchApplication, ExtractorGetsNativePathsAndNoEnvironment) {
  TestWorld world;
  world.MakeFolder("out");
  world.MakeFolder("src");
  WriteScript(
      world, "bin/extract",
      "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/argv\"\n"
      "env > \"$(dirname \"$0\")/env\"\n"
      "exit 7\n");
  ::setenv("INGESTOR_LAUNCH_PROBE", "visible", 1);
  ::setenv("INGESTOR_DRIVE_Q", world.Native("src").c_str(), 1);

  std::int32_t exitCode = -1;
  const std::string command = world.Program("bin\\extract") + " \"" + world.Program("out\\") +
                              "\" \"n\" \"Q:\\a.dat\" \"" + world.Program("src\\b.dat") + "\"";
  bool launched = LaunchApplication(world.ctx, command, "", true, 32, exitCode);
  ::unsetenv("INGESTOR_LAUNCH_PROBE");
  ::unsetenv("INGESTOR_DRIVE_Q");

  EXPECT_TRUE(launched);
  EXPECT_EQ(exitCode, 7);
  EXPECT_EQ(world.Read("bin/argv"), world.Native("bin/extract") + "\n" + world.Native("out/") +
                                        "\nn\n" + world.Native("src/a.dat") + "\n" +
                                        world.Native("src/b.dat") + "\n");
  EXPECT_EQ(world.Read("bin/env").find("INGESTOR_LAUNCH_PROBE"), std::string::npos);
  EXPECT_TRUE(world.ui.boxes.empty());

  // The arguments argument is appended after a space.
  WriteScript(world, "bin/flag", "[ \"$1\" = y ] && exit 3; exit 4\n");
  EXPECT_TRUE(
      LaunchApplication(world.ctx, world.Program("bin\\flag"), "\"y\"", true, 32, exitCode));
  EXPECT_EQ(exitCode, 3);
}

TEST(LaunchApplication, SignalsAndProgramsThatCannotStart) {
  TestWorld world;
  WriteScript(world, "killed", "kill -9 $$\n");
  WriteScript(world, "seven", "exit 7\n");
  std::int32_t exitCode = -1;

  EXPECT_TRUE(LaunchApplication(world.ctx, world.Program("killed"), "", true, 32, exitCode));
  EXPECT_EQ(exitCode, 137);

  // Not started: missing, not executable, or refused by the Env.
  exitCode = 5;
  EXPECT_TRUE(LaunchApplication(world.ctx, world.Program("missing"), "\"y\"", true, 32, exitCode));
  world.Write("plain", "data");
  EXPECT_TRUE(LaunchApplication(world.ctx, world.Program("plain"), "", true, 32, exitCode));
  world.env.FailAlways("RunProcess");
  EXPECT_TRUE(LaunchApplication(world.ctx, world.Program("seven"), "", true, 32, exitCode));
  EXPECT_EQ(exitCode, 5);
  world.env.Heal();

  // Not waited for: the exit code is not known and stays as it was.
  // (A system program, so it need not outlive the temporary folder.)
  EXPECT_TRUE(LaunchApplication(world.ctx, "\\bin\\true", "", false, 32, exitCode));
  EXPECT_EQ(exitCode, 5);
  EXPECT_TRUE(world.ui.boxes.empty());

  world.env.ThrowOn("RunProcess");
  EXPECT_FALSE(LaunchApplication(world.ctx, world.Program("seven"), "", true, 32, exitCode));
  EXPECT_EQ(exitCode, 5);
  ASSERT_EQ(world.ui.boxes.size(), 1u);
  EXPECT_EQ(world.ui.boxes[0].title, "Error in \"LaunchApplication::modShellExecute\" at(3)");
  EXPECT_EQ(world.ui.boxes[0].text,
            "The following error(s) occurred: \r\n\r\ninjected: RunProcess");
}

}  // namespace

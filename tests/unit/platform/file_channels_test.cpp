#include "platform/FileChannels.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "doubles/TestWorld.h"

namespace {

TEST(FileChannelsTest, NumbersStartAtOneAndAreReused) {
  testing_doubles::TestWorld world;
  platform::FileChannels& files = world.files;
  EXPECT_EQ(files.Open(world.env, world.Program("missing\\a.log")), 0);
  world.env.FailNth("OpenForWriting", 1);
  EXPECT_EQ(files.Open(world.env, world.Program("a.log")), 0);
  // A failure uses up no number; the lowest free number is handed out again.
  EXPECT_EQ(files.Open(world.env, world.Program("a.log")), 1);
  EXPECT_EQ(files.Open(world.env, world.Program("b.log")), 2);
  EXPECT_TRUE(files.Close(1));
  EXPECT_FALSE(files.IsOpen(1));
  EXPECT_TRUE(files.IsOpen(2));
  EXPECT_EQ(files.Open(world.env, world.Program("c.log")), 1);
  EXPECT_FALSE(files.IsOpen(0));

  // Each write is on disk at once; nothing reaches a closed channel.
  ASSERT_TRUE(files.Write(2, "one\r\n"));
  EXPECT_EQ(world.Read("b.log"), "one\r\n");
  EXPECT_TRUE(files.Close(2));
  EXPECT_FALSE(files.Write(2, "two\r\n"));
  EXPECT_FALSE(files.Close(2));
  EXPECT_FALSE(files.Write(0, "x"));
  EXPECT_EQ(world.Read("b.log"), "one\r\n");
}

TEST(FileChannelsTest, ATakenNameIsNeverOpenedButNumbered) {
  testing_doubles::TestWorld world;
  world.Write("run.log", "from an earlier run");
  ::symlink(world.Native("target").c_str(), world.Native("run-2.log").c_str());
  world.Write("x.d/plain", "");
  // Each clash takes the next number, before the extension (none: at the end).
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"run.log", "run-3.log"}, {"run.log", "run-4.log"}, {"x.d\\plain", "x.d\\plain-2"}};
  for (const auto& [asked, created] : cases) {
    std::string opened;
    EXPECT_NE(world.files.Open(world.env, world.Program(asked), &opened), 0) << asked;
    EXPECT_EQ(opened, world.Program(created));
  }
  EXPECT_EQ(world.Read("run.log"), "from an earlier run");
  EXPECT_FALSE(world.Has("target"));
  std::string reason;
  EXPECT_EQ(world.files.Open(world.env, world.Program("none\\a.log"), nullptr, &reason), 0);
  EXPECT_EQ(reason, "No such file or directory");
}

}  // namespace

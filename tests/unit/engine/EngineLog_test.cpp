#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"

namespace {

using platform::OutputObject;
using testing_doubles::RecordingOutput;
using testing_doubles::TestWorld;

constexpr const char* kStamp = "14:25:30 2010-0315";

class EngineLogTest : public ::testing::Test {
 protected:
  EngineLogTest() { world.env.SetLocalNow({2010, 3, 15, 14, 25, 30}); }

  TestWorld world;
  CSImportEngine engine{world.ctx};
};

// An output object whose every call fails, as a window torn down mid-run.
class BrokenOutput final : public OutputObject {
 public:
  Kind kind() const override { return Kind::List; }
  void AppendLine(const std::string&) override { throw std::runtime_error("window gone"); }
  void ReplaceText(const std::string&) override { throw std::runtime_error("window gone"); }
};

TEST_F(EngineLogTest, LineFormatsReachFileAndListWithCrLf) {
  std::int16_t log = world.files.Open(world.env, world.Program("run.log"));
  ASSERT_NE(log, 0);
  engine.SetLogfile(log);
  RecordingOutput list(OutputObject::Kind::List);
  engine.SetOutputObject(&list);

  engine.WriteToLog("Beginning import...", "", -1);
  engine.WriteToLog("zero", "Import::CSImportEngine", 0);
  engine.WriteToLog("none", "LoadSourceFiles::CSImportEngine", -1);
  engine.WriteToLog("five", "Import::CSImportEngine", 5);
  engine.WriteToLog("", "", 7);  // progress form ignores the index

  const std::vector<std::string> expected = {
      std::string(kStamp) + " - Beginning import...",
      std::string(kStamp) + " - [Source]Import::CSImportEngine [Index]0 [Text]zero",
      std::string(kStamp) + " - [Source]LoadSourceFiles::CSImportEngine [Index]na [Text]none",
      std::string(kStamp) + " - [Source]Import::CSImportEngine [Index]5 [Text]five",
      std::string(kStamp) + " - ",
  };
  EXPECT_EQ(list.lines, expected);
  std::string file;
  for (const auto& line : expected) file += line + "\r\n";
  ASSERT_TRUE(world.files.Close(log));
  EXPECT_EQ(world.Read("run.log"), file);
  EXPECT_EQ(world.ui.pumps, 5);
}

TEST_F(EngineLogTest, TextShowsLatestLineOtherGetsNothingBothPump) {
  RecordingOutput text(OutputObject::Kind::Text);
  engine.SetOutputObject(&text);
  engine.WriteToLog("first", "", -1);
  engine.WriteToLog("second", "", -1);
  EXPECT_EQ(text.text, std::string(kStamp) + " - second");
  EXPECT_TRUE(text.lines.empty());
  EXPECT_EQ(world.ui.pumps, 2);

  RecordingOutput other(OutputObject::Kind::Other);
  engine.SetOutputObject(&other);
  engine.WriteToLog("third", "", -1);
  EXPECT_TRUE(other.lines.empty());
  EXPECT_TRUE(other.text.empty());
  EXPECT_EQ(world.ui.pumps, 3);

  engine.SetOutputObject(nullptr);
  engine.WriteToLog("fourth", "", -1);
  EXPECT_EQ(world.ui.pumps, 3);
}

TEST_F(EngineLogTest, NoDestinationsOrDeadDestinationsLoseTheLineQuietly) {
  // Logfile 0 and no output object: nothing happens at all.
  engine.WriteToLog("nowhere", "X", 1);
  EXPECT_EQ(world.ui.pumps, 0);
  EXPECT_TRUE(world.ui.boxes.empty());

  // A closed number and a number never opened lose the file line only.
  std::int16_t log = world.files.Open(world.env, world.Program("closed.log"));
  ASSERT_NE(log, 0);
  ASSERT_TRUE(world.files.Close(log));
  RecordingOutput list(OutputObject::Kind::List);
  engine.SetOutputObject(&list);
  engine.SetLogfile(log);
  engine.WriteToLog("after close", "", -1);
  engine.SetLogfile(99);
  engine.WriteToLog("never opened", "", -1);
  EXPECT_EQ(world.Read("closed.log"), "");
  ASSERT_EQ(list.lines.size(), 2u);
  EXPECT_EQ(list.lines[1], std::string(kStamp) + " - never opened");
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(EngineLogTest, BrokenOutputObjectStillLetsFileAndPumpWork) {
  std::int16_t log = world.files.Open(world.env, world.Program("run.log"));
  ASSERT_NE(log, 0);
  engine.SetLogfile(log);
  BrokenOutput broken;
  engine.SetOutputObject(&broken);
  EXPECT_NO_THROW(engine.WriteToLog("still logged", "", -1));
  ASSERT_TRUE(world.files.Close(log));
  EXPECT_EQ(world.Read("run.log"), std::string(kStamp) + " - still logged\r\n");
  EXPECT_EQ(world.ui.pumps, 1);
  EXPECT_TRUE(world.ui.boxes.empty());
}

}  // namespace

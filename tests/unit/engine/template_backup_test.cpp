#include <gtest/gtest.h>

#include <cstdlib>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"

namespace {

class TemplateCopy : public ::testing::Test {
 protected:
  TemplateCopy() : engine(world.ctx) {
    world.env.SetVariable("WINDIR", world.Native("windows"));
    // The drive is mapped where paths become native, from the process environment.
    ::setenv("INGESTOR_DRIVE_C", world.Native("c").c_str(), 1);
    world.Write("c/Kestova/Zev.ini", "[Directories]\nAppDir=" + world.Program("fixed") + "\n");
    world.Write("fixed/Data/Lenders.mdb", "from the fixed path");
    engine.SetDataType(static_cast<DataType>(5));
    engine.SetOutputDatabase(world.Program("target.mdb"));
    engine.SetOutputObject(&log);
  }
  ~TemplateCopy() override { ::unsetenv("INGESTOR_DRIVE_C"); }
  testing_doubles::TestWorld world;
  testing_doubles::RecordingOutput log{platform::OutputObject::Kind::List};
  CSImportEngine engine;
};

TEST_F(TemplateCopy, TheWindowsFolderComesFirstAndTheFixedPathOnlyWhenItsFileIsMissing) {
  // No Zev.ini in the Windows folder: the fixed path is used.
  ASSERT_TRUE(engine.CopyOverTemplate());
  EXPECT_EQ(world.Read("target.mdb"), "from the fixed path");

  // Zev.ini in the Windows folder without AppDir: false, the fixed path is not tried.
  std::remove(world.Native("target.mdb").c_str());
  world.Write("windows/Zev.ini", "[Directories]\nDataDir=x\n");
  EXPECT_FALSE(engine.CopyOverTemplate());
  EXPECT_FALSE(world.Has("target.mdb"));

  // AppDir without a trailing backslash gets one before "Data\".
  world.Write("windows/Zev.ini", "[Directories]\nAppDir=" + world.Program("app") + "\n");
  world.Write("app/Data/Lenders.mdb", "from the app folder");
  ASSERT_TRUE(engine.CopyOverTemplate());
  EXPECT_EQ(world.Read("target.mdb"), "from the app folder");

  // An existing database is never overwritten.
  world.Write("app/Data/Lenders.mdb", "newer template");
  ASSERT_TRUE(engine.CopyOverTemplate());
  EXPECT_EQ(world.Read("target.mdb"), "from the app folder");
  EXPECT_TRUE(log.lines.empty());
}

TEST_F(TemplateCopy, ATypeWithoutADatabaseFileIsLoggedAndFails) {
  world.Write("windows/Zev.ini", "[Directories]\nAppDir=" + world.Program("app") + "\\\n");
  engine.SetDataType(static_cast<DataType>(8));
  EXPECT_FALSE(engine.CopyOverTemplate());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("[Source]CopyOverTemplate::CSImportEngine [Index]na [Text]"),
            std::string::npos);
}

}  // namespace

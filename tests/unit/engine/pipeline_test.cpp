// The import pipeline driven on an engine directly, where the command line
// cannot reach (data type 9) or the clock must be injected.
#include <gtest/gtest.h>

#include <filesystem>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "importers/Importers.h"

namespace {

namespace fs = std::filesystem;

class PipelineUnit : public ::testing::Test {
 protected:
  PipelineUnit() {
    world.Write("host/one.dat", "data");
    world.Write("db.mdb", "");
    world.MakeFolder("out");
    // Counts its runs and extracts nothing on the first one when told to.
    world.Write("extract", "#!/bin/sh\necho \"$2\" >> '" + world.Native("runs.txt") + "'\n[ -f '" +
                               world.Native("silent") + "' ] || cp \"$3\" \"$1/one.dat.tmp\"\n");
    fs::permissions(world.Native("extract"), fs::perms::owner_all);
    world.env.SetLocalNow({2010, 3, 15, 23, 59, 59});
    log = world.files.Open(world.env, world.Program("run.log"));
  }
  bool Run(std::int32_t dataType) {
    CSImportEngine engine(world.ctx, importers::Table());
    engine.Configure(static_cast<DataType>(dataType), world.Program("db.mdb"), world.Program("out"),
                     world.Program("host\\one.dat"), world.Program("extract"), log);
    return engine.Import();
  }
  std::string Log() {
    world.files.Close(log);
    return world.Read("run.log");
  }

  testing_doubles::TestWorld world;
  std::int16_t log = 0;
};

TEST_F(PipelineUnit, UnknownTypeRunsATestExtractionThenTheRealOne) {
  EXPECT_TRUE(Run(9));
  EXPECT_EQ(world.Read("runs.txt"), "y\nn\n");  // the test run always terminates records
  std::string text = Log();
  for (const char* line : {"Import data type is unknown. Attempting to \"guess\" type...",
                           "Running test extraction.", "Test extraction produced 1 file(s).",
                           "ET for \"guessing\" process was: ", "Import finished successfully!"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  // Elapsed times come from a steady clock, never negative across midnight.
  EXPECT_EQ(text.find(" was: -"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(world.Native("out/20100315235959")));
}

TEST_F(PipelineUnit, ATestExtractionWithoutFilesEndsTheRun) {
  world.Write("silent", "");
  EXPECT_FALSE(Run(9));
  std::string text = Log();
  EXPECT_NE(text.find("Test extraction resulted in zero files. Exiting..."), std::string::npos);
  EXPECT_EQ(text.find("Import did NOT complete successfully."), std::string::npos);
  EXPECT_EQ(world.Read("runs.txt"), "y\n");
}

TEST_F(PipelineUnit, BackupsOfTheSameSecondGetTheirOwnFolder) {
  EXPECT_TRUE(Run(5));
  EXPECT_TRUE(Run(5));
  EXPECT_TRUE(fs::exists(world.Native("out/20100315235959/db.mdb")));
  EXPECT_TRUE(fs::exists(world.Native("out/20100315235959-2/db.mdb")));
  std::string text = Log();
  EXPECT_NE(text.find("Created backup folder '" + world.Program("out") + "\\20100315235959-2\\'"),
            std::string::npos);
  EXPECT_EQ(text.find("Could not backup database."), std::string::npos);
}

TEST_F(PipelineUnit, NoConnectionEndsWithoutAFinalMessage) {
  world.env.FailAlways("OpenDatabase");
  EXPECT_FALSE(Run(5));
  std::string text = Log();
  EXPECT_NE(text.find("Failed to connect to database, import aborted."), std::string::npos);
  EXPECT_EQ(text.find("Import did NOT"), std::string::npos);
  EXPECT_EQ(text.find("Import finished"), std::string::npos);
}

}  // namespace

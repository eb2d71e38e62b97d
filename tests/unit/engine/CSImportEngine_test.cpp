#include <gtest/gtest.h>

#include <string>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"

namespace {

using testing_doubles::TestWorld;

TEST(CSImportEngineTest, ConfigureSetsEveryFieldAndEndsTheOutputFolderInBackslash) {
  TestWorld world;
  CSImportEngine engine(world.ctx);
  engine.Configure(static_cast<DataType>(5), "D:\\Db\\Lenders.mdb", "D:\\Out", "D:\\Data\\",
                   "C:\\x\\extract.exe", 3, true, true, true);
  EXPECT_EQ(Number(engine.DataType()), 5);
  EXPECT_EQ(engine.OutputDatabase(), "D:\\Db\\Lenders.mdb");
  EXPECT_EQ(engine.OutputFolder(), "D:\\Out\\");
  EXPECT_EQ(engine.Source(), "D:\\Data\\");
  EXPECT_EQ(engine.Extractor(), "C:\\x\\extract.exe");
  EXPECT_EQ(engine.Logfile(), 3);
  EXPECT_TRUE(engine.LeaveOutputFiles());
  EXPECT_TRUE(engine.NoComparisons());
  EXPECT_TRUE(engine.TerminateRecords());

  // Omitted flags are false again; a folder with its '\' stays as given.
  engine.Configure(static_cast<DataType>(2), "db", "D:\\Out\\", "src", "ex", 0);
  EXPECT_EQ(engine.OutputFolder(), "D:\\Out\\");
  EXPECT_EQ(Number(engine.DataType()), 2);
  EXPECT_EQ(engine.Logfile(), 0);
  EXPECT_FALSE(engine.LeaveOutputFiles());
  EXPECT_FALSE(engine.NoComparisons());
  EXPECT_FALSE(engine.TerminateRecords());

  // A folder written with '/' does not end in '\', and an empty one neither.
  engine.Configure(static_cast<DataType>(0), "", "out/", "", "", 0);
  EXPECT_EQ(engine.OutputFolder(), "out/\\");
  engine.Configure(static_cast<DataType>(0), "", "", "", "", 0);
  EXPECT_EQ(engine.OutputFolder(), "\\");

  // Configuring checks and logs nothing.
  EXPECT_EQ(world.ui.pumps, 0);
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST(CSImportEngineTest, GetDataTypeNamesTheKnownTypesAndUnknownOtherwise) {
  TestWorld world;
  CSImportEngine engine(world.ctx);
  const char* names[] = {"Common responses",         "Private common responses",
                         "Global responses",         "Private global responses",
                         "Appraisal index data",     "Lender information",
                         "Neighborhood information", "ZazOzur comparables"};
  for (std::int16_t type = 0; type < 8; ++type) EXPECT_EQ(engine.GetDataType(type), names[type]);
  for (std::int16_t type : {std::int16_t{8}, std::int16_t{9}, std::int16_t{-1}, std::int16_t{-601},
                            std::int16_t{32767}, std::int16_t{-32768}})
    EXPECT_EQ(engine.GetDataType(type), "Unknown") << type;
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"

namespace {

using testing_doubles::TestWorld;

TEST(CSImportEngineTest, ConfigureEndsTheOutputFolderInBackslash) {
  TestWorld world;
  CSImportEngine engine(world.ctx);
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\Out", "D:\\Out\\"}, {"D:\\Out\\", "D:\\Out\\"}, {"out/", "out/\\"}, {"", "\\"}};
  for (const auto& [given, kept] : cases) {
    engine.Configure(static_cast<DataType>(5), "db", given, "src", "ex", 3, true, true, true);
    EXPECT_EQ(engine.OutputFolder(), kept) << given;
    EXPECT_TRUE(engine.NoComparisons());
    engine.Configure(static_cast<DataType>(2), "db", given, "src", "ex", 0);
    EXPECT_FALSE(engine.NoComparisons());  // omitted flags are false again
  }
  for (std::int16_t type : {std::int16_t{8}, std::int16_t{-1}, std::int16_t{32767}})
    EXPECT_EQ(engine.GetDataType(type), "Unknown") << type;
}

}  // namespace

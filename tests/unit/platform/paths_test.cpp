#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"

namespace {

TEST(PathsTest, ToNativeMapsDrivesThroughTheirVariables) {
  struct Case {
    std::map<std::string, std::string> variables;
    const char* path;
    const char* native;
  };
  const std::map<std::string, std::string> none, c{{"INGESTOR_DRIVE_C", "/srv/c"}};
  for (const Case& k : std::vector<Case>{
           {none, "C:\\Kestova\\Zev.ini", "/Kestova/Zev.ini"},  // unset: the root
           {none, "C:Kestova", "/Kestova"},
           {none, "C:", "/"},
           {{{"INGESTOR_DRIVE_C", ""}}, "C:\\x", "/x"},  // empty: the root
           {c, "C:\\Kestova\\Zev.ini", "/srv/c/Kestova/Zev.ini"},
           {c, "C:Kestova", "/srv/c/Kestova"},
           {c, "C:", "/srv/c"},
           {{{"INGESTOR_DRIVE_C", "/srv/c//"}}, "C:\\a.mdb", "/srv/c/a.mdb"},
           {c, "D:\\x", "/x"},  // another letter's variable is not used
           {{{"INGESTOR_DRIVE_E", "/mnt/e"}}, "e:\\data\\x.dta", "/mnt/e/data/x.dta"},
           // Without a drive only the separators change.
           {c, "data\\file.dta", "data/file.dta"},
           {c, "a/b\\c", "a/b/c"},
           {c, "\\tmp\\out\\", "/tmp/out/"},
           {c, "", ""},
           {c, "ab:c", "ab:c"},  // a colon later in the name is no drive
       }) {
    auto lookup = [&](const std::string& name) -> std::optional<std::string> {
      auto it = k.variables.find(name);
      if (it == k.variables.end()) return std::nullopt;
      return it->second;
    };
    EXPECT_EQ(platform::ToNative(k.path, lookup), k.native) << k.path;
  }
  EXPECT_EQ(platform::ToNative("D:\\x", platform::VariableLookup()), "/x");
  EXPECT_EQ(platform::ToProgramForm("/tmp/out/x.tmp"), "\\tmp\\out\\x.tmp");
}

TEST(PathsTest, ResolveCaseFindsComponentsWrittenInAnotherCase) {
  testing_doubles::TestWorld world;
  world.Write("Host/Data/LENDER.INI", "x");
  world.Write("dir/a.txt", "lower");
  world.Write("dir/A.TXT", "upper");
  world.Write("Dir2/file", "x");
  const std::string root = world.Native();
  for (auto [asked, found] : std::vector<std::pair<std::string, std::string>>{
           {"/host/data/lender.ini", "/Host/Data/LENDER.INI"},
           {"/Host/Data/LENDER.INI", "/Host/Data/LENDER.INI"},
           {"/host//data/", "/Host/Data/"},  // doubled separators collapse
           // Missing parts keep their spelling, even a name that exists elsewhere.
           {"/host/DATA/new.Txt", "/Host/Data/new.Txt"},
           {"/host/missing/data/x", "/Host/missing/data/x"},
           // The exact spelling wins.
           {"/dir/A.TXT", "/dir/A.TXT"},
           {"/dir/a.txt", "/dir/a.txt"},
           {"/DIR2/file", "/Dir2/file"},
       })
    EXPECT_EQ(platform::ResolveCase(root + asked), root + found) << asked;
  EXPECT_EQ(platform::ResolveCase(""), "");
}

}  // namespace

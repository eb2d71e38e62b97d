#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"

namespace {

// A variable lookup over a fixed table that remembers the names asked for.
struct Variables {
  std::map<std::string, std::string> values;
  std::vector<std::string> asked;
  platform::VariableLookup Lookup() {
    return [this](const std::string& name) -> std::optional<std::string> {
      asked.push_back(name);
      auto it = values.find(name);
      if (it == values.end()) return std::nullopt;
      return it->second;
    };
  }
};

TEST(PathsTest, DriveMapsToRootWhenVariableUnsetOrEmpty) {
  Variables vars;
  EXPECT_EQ(platform::ToNative("C:\\Kestova\\Zev.ini", vars.Lookup()), "/Kestova/Zev.ini");
  EXPECT_EQ(platform::ToNative("C:Kestova", vars.Lookup()), "/Kestova");
  EXPECT_EQ(platform::ToNative("C:", vars.Lookup()), "/");
  EXPECT_EQ(platform::ToNative("C:\\", vars.Lookup()), "/");
  vars.values["INGESTOR_DRIVE_C"] = "";
  EXPECT_EQ(platform::ToNative("C:\\x", vars.Lookup()), "/x");
  // No lookup at all behaves like an unset variable.
  EXPECT_EQ(platform::ToNative("D:\\x", platform::VariableLookup()), "/x");
}

TEST(PathsTest, DriveMapsToFolderOfItsVariable) {
  Variables vars;
  vars.values["INGESTOR_DRIVE_C"] = "/srv/c";
  EXPECT_EQ(platform::ToNative("C:\\Kestova\\Zev.ini", vars.Lookup()), "/srv/c/Kestova/Zev.ini");
  EXPECT_EQ(platform::ToNative("C:Kestova", vars.Lookup()), "/srv/c/Kestova");
  EXPECT_EQ(platform::ToNative("C:", vars.Lookup()), "/srv/c");
  // A trailing slash on the variable gives no doubled separator.
  vars.values["INGESTOR_DRIVE_C"] = "/srv/c//";
  EXPECT_EQ(platform::ToNative("C:\\Data\\a.mdb", vars.Lookup()), "/srv/c/Data/a.mdb");
  // The variable for another letter is not used for C.
  vars.values["INGESTOR_DRIVE_C"] = "/srv/c";
  vars.values["INGESTOR_DRIVE_D"] = "/srv/d";
  EXPECT_EQ(platform::ToNative("D:\\x", vars.Lookup()), "/srv/d/x");
}

TEST(PathsTest, LowerCaseDriveLetterUsesUpperCaseVariable) {
  Variables vars;
  vars.values["INGESTOR_DRIVE_E"] = "/mnt/e";
  EXPECT_EQ(platform::ToNative("e:\\data\\x.dta", vars.Lookup()), "/mnt/e/data/x.dta");
  ASSERT_FALSE(vars.asked.empty());
  EXPECT_EQ(vars.asked.back(), "INGESTOR_DRIVE_E");
}

TEST(PathsTest, PathsWithoutDriveOnlyChangeSeparators) {
  Variables vars;
  vars.values["INGESTOR_DRIVE_C"] = "/srv/c";
  EXPECT_EQ(platform::ToNative("data\\file.dta", vars.Lookup()), "data/file.dta");
  EXPECT_EQ(platform::ToNative("a/b\\c", vars.Lookup()), "a/b/c");
  EXPECT_EQ(platform::ToNative("..\\up", vars.Lookup()), "../up");
  EXPECT_EQ(platform::ToNative("\\tmp\\out\\", vars.Lookup()), "/tmp/out/");
  EXPECT_EQ(platform::ToNative("", vars.Lookup()), "");
  // A colon later in the name is no drive.
  EXPECT_EQ(platform::ToNative("ab:c", vars.Lookup()), "ab:c");
  EXPECT_TRUE(vars.asked.empty());
  EXPECT_EQ(platform::ToProgramForm("/tmp/out/x.tmp"), "\\tmp\\out\\x.tmp");
}

TEST(PathsTest, ResolveCaseFindsComponentsWrittenInAnotherCase) {
  testing_doubles::TestWorld world;
  world.Write("Host/Data/LENDER.INI", "x");
  const std::string root = world.Native();

  EXPECT_EQ(platform::ResolveCase(root + "/host/data/lender.ini"), root + "/Host/Data/LENDER.INI");
  EXPECT_EQ(platform::ResolveCase(root + "/HOST/DATA/Lender.Ini"), root + "/Host/Data/LENDER.INI");
  // A path that exists as written is returned untouched.
  EXPECT_EQ(platform::ResolveCase(root + "/Host/Data/LENDER.INI"), root + "/Host/Data/LENDER.INI");
  // Doubled separators collapse; a trailing one stays.
  EXPECT_EQ(platform::ResolveCase(root + "/host//data/"), root + "/Host/Data/");
}

TEST(PathsTest, ResolveCaseKeepsMissingPartsAsWritten) {
  testing_doubles::TestWorld world;
  world.MakeFolder("Host/Data");
  const std::string root = world.Native();

  // A file still to be created keeps its spelling under a resolved parent.
  EXPECT_EQ(platform::ResolveCase(root + "/host/DATA/new.Txt"), root + "/Host/Data/new.Txt");
  // Once a folder is missing, everything after it stays as written, even a
  // name that happens to exist elsewhere.
  EXPECT_EQ(platform::ResolveCase(root + "/host/missing/data/x"), root + "/Host/missing/data/x");
  EXPECT_EQ(platform::ResolveCase(""), "");
}

TEST(PathsTest, ResolveCasePrefersTheExactSpelling) {
  testing_doubles::TestWorld world;
  world.Write("dir/a.txt", "lower");
  world.Write("dir/A.TXT", "upper");
  world.Write("Dir2/file", "x");
  const std::string root = world.Native();
  EXPECT_EQ(platform::ResolveCase(root + "/dir/A.TXT"), root + "/dir/A.TXT");
  EXPECT_EQ(platform::ResolveCase(root + "/dir/a.txt"), root + "/dir/a.txt");
  // Exact folder spelling missing, other case present, below it an exact file.
  EXPECT_EQ(platform::ResolveCase(root + "/DIR2/file"), root + "/Dir2/file");
}

}  // namespace

#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "platform/FileChannels.h"
#include "platform/db/Connect.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST(PathsTest, DrivesCaseAndConnectionStrings) {
  // A drive maps through its variable (unset or empty: the root); without a
  // drive only the separators change.
  const std::map<std::string, std::string> vars{{"INGESTOR_DRIVE_C", "/srv/c//"},
                                                {"INGESTOR_DRIVE_E", ""}};
  auto lookup = [&](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    return it == vars.end() ? std::nullopt : std::optional(it->second);
  };
  // clang-format off
  for (const auto& [path, native] : Pairs{
           {"c:\\Kestova\\Zev.ini", "/srv/c/Kestova/Zev.ini"}, {"C:Kestova", "/srv/c/Kestova"},
           {"D:\\x", "/x"}, {"E:\\x", "/x"}, {"a/b\\c\\", "a/b/c/"}, {"ab:c", "ab:c"}})
    // clang-format on
    EXPECT_EQ(platform::ToNative(path, lookup), native) << path;
  EXPECT_EQ(platform::ToProgramForm("/tmp/out/x.tmp"), "\\tmp\\out\\x.tmp");

  // Missing parts keep their spelling, even a name that exists elsewhere;
  // the exact spelling wins.
  testing_doubles::TestWorld world;
  world.Write("Host/Data/LENDER.INI", "x");
  world.Write("dir/a.txt", "lower");
  world.Write("dir/A.TXT", "upper");
  // clang-format off
  for (const auto& [asked, found] : Pairs{
           {"/host//data/lender.ini", "/Host/Data/LENDER.INI"}, {"/dir/a.txt", "/dir/a.txt"},
           {"/host/DATA/new.Txt", "/Host/Data/new.Txt"}, {"/dir/A.TXT", "/dir/A.TXT"},
           {"/host/missing/data/x", "/Host/missing/data/x"}})
    // clang-format on
    EXPECT_EQ(platform::ResolveCase(world.Native() + asked), world.Native() + found) << asked;

  // clang-format off
  for (const auto& [path, carried] : Pairs{
           {"C:\\My Data\\a.mdb", "C:\\My Data\\a.mdb"}, {"C:\\a;DBQ=b.mdb", "{C:\\a;DBQ=b.mdb}"},
           {"C:\\x}{y}}.mdb", "{C:\\x}}{y}}}}.mdb}"}}) {
    EXPECT_EQ(db::ConnectionValue(path), carried);
    EXPECT_EQ(db::ParseConnectionString("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + carried +
                                        ";DefaultDir=C:\\;UID=;PWD=;"),
              (std::map<std::string, std::string>{{"DRIVER", "Microsoft Access Driver (*.mdb)"},
                  {"DBQ", path}, {"DEFAULTDIR", "C:\\"}, {"UID", ""}, {"PWD", ""}}));
  }
  // clang-format on
}

TEST(FileChannelsTest, NumbersAreReusedAndATakenNameIsNeverOpened) {
  testing_doubles::TestWorld world;
  platform::FileChannels& files = world.files;
  auto open = [&](const std::string& name, std::string* opened = nullptr) {
    return files.Open(world.env, world.Program(name), opened);
  };
  world.env.FailNth("OpenForWriting", 1);
  EXPECT_EQ(open("a.log"), 0);
  // A failure uses up no number; the lowest free number is handed out again.
  EXPECT_EQ(open("a.log"), 1);
  EXPECT_EQ(open("b.log"), 2);
  EXPECT_TRUE(files.Close(1));
  EXPECT_EQ(open("c.log"), 1);
  // Each write is on disk at once; nothing reaches a closed channel.
  ASSERT_TRUE(files.Write(2, "one\r\n"));
  EXPECT_EQ(world.Read("b.log"), "one\r\n");
  EXPECT_TRUE(files.Close(2));
  EXPECT_FALSE(files.Write(2, "two\r\n") || files.Close(2) || files.IsOpen(2));
  EXPECT_EQ(world.Read("b.log"), "one\r\n");
  // Each clash takes the next number, before the extension (none: at the end).
  world.Write("run.log", "from an earlier run");
  ::symlink(world.Native("target").c_str(), world.Native("run-2.log").c_str());
  world.Write("x.d/plain", "");
  for (const auto& [asked, created] :
       Pairs{{"run.log", "run-3.log"}, {"run.log", "run-4.log"}, {"x.d\\plain", "x.d\\plain-2"}}) {
    std::string opened;
    EXPECT_NE(open(asked, &opened), 0) << asked;
    EXPECT_EQ(opened, world.Program(created));
  }
  EXPECT_EQ(world.Read("run.log"), "from an earlier run");
  EXPECT_FALSE(world.Has("target"));
  std::string reason;
  EXPECT_EQ(files.Open(world.env, world.Program("none\\a.log"), nullptr, &reason), 0);
  EXPECT_EQ(reason, "No such file or directory");
}

}  // namespace

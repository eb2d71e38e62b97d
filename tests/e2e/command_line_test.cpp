// The ingestor binary run with real command tails.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"

namespace {

namespace fs = std::filesystem;

using e2e::TailPath;

const std::string kIngestor = INGESTOR_BINARY;

class CommandLine : public ::testing::Test {
 protected:
  testing_doubles::TestWorld world;
  std::string Folder(const std::string& name) { return TailPath(world.Native(name)) + "\\"; }
};

TEST_F(CommandLine, HelpAndVersionGoToStdoutWithStatusZero) {
  for (const char* flag : {"--help", "-h"}) {
    auto r = e2e::Run(kIngestor, {flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: ingestor"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
  auto v = e2e::Run(kIngestor, {"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_TRUE(std::regex_search(v.out, std::regex(R"(^ingestor \d+\.\d+\.\d+\n$)"))) << v.out;
}

// What the host's script sees when a tail is refused: status 2 and one line.
TEST_F(CommandLine, RefusedTailsEndWithStatusTwo) {
  world.MakeFolder("data");
  world.Write("Cfg/Zev.INI", "[Directories]\r\n");
  const std::string out = Folder("out");
  const std::string box =
      "Kestova - Data importer: The specified command line parameter is "
      "invalid: \n\n";
  struct Case {
    std::vector<std::string> args;
    std::string said;  // "" for nothing at all
  };
  const std::vector<Case> cases = {
      {{},
       "This application cannot be run as a standalone application.\nYou must run this "
       "application either directly from Kestova\nor via its commandline interface."},
      // One or no '/': too short to be a tail.
      {{"x.exe"}, "ingestor: the command tail needs at least EXTRACTOR/SOURCE/OUTPUT"},
      {{"x.exe/D:\\Data"}, "ingestor: the command tail needs at least EXTRACTOR/SOURCE/OUTPUT"},
      {{"no-such-extractor/" + Folder("data") + "/" + out + "/5"},
       box + "Extractor DOES NOT exist."},
      {{"sample-extractor/" + Folder("data") + "/" + out + "/7"},
       box + "Import data type is invalid."},
      {{"sample-extractor/" + TailPath(world.Native("missing.dta")) + "/" + out + "/5"},
       box + "Source file DOES NOT exist."},
      {{"sample-extractor/" + TailPath(world.Native("Cfg/Zev.INI")) + "/" + out + "/5"},
       box + "Expected source file / folder but found INI file instead."},
      // An INI file and an output folder ask for the window.
      {{"sample-extractor/" + TailPath(world.Native("Cfg/Zev.INI")) + "/" + out},
       "The main window needs a display"},
  };
  for (const auto& c : cases) {
    auto r = e2e::Run(kIngestor, c.args);
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(r.status, 2) << what;
    if (c.said.empty())
      EXPECT_EQ(r.err, "") << what;
    else
      EXPECT_NE(r.err.find(c.said), std::string::npos) << what << "\n" << r.err;
  }
}

TEST_F(CommandLine, UnattendedRunCreatesFoldersAndATimeStampedLog) {
  // A missing source folder without a dot is created, and so is the output folder.
  std::string tail = "sample-extractor/" + Folder("host\\data") + "/" + Folder("run\\out") + "/5/" +
                     TailPath(world.Native("Lenders.mdb"));
  auto r = e2e::Run(kIngestor, {tail});
  EXPECT_TRUE(fs::is_directory(world.Native("host/data")));
  ASSERT_TRUE(fs::is_directory(world.Native("run/out")));
  int logs = 0;
  for (const auto& e : fs::directory_iterator(world.Native("run/out"))) {
    if (e.path().filename() == ".ingestor.lock") continue;  // the run's lock file
    EXPECT_TRUE(std::regex_match(e.path().filename().string(),
                                 std::regex(R"(\d{4}-\d\d-\d\d-\d{6}-logfile\.txt)")))
        << e.path();
    ++logs;
  }
  EXPECT_EQ(logs, 1);
  // The import pipeline reports that it did not complete.
  EXPECT_EQ(r.status, 1) << r.err;
}

TEST_F(CommandLine, ArgumentsAreJoinedWithSpacesAndDrivesMapped) {
  // The tail is argv[1..] joined with single spaces; "C:" maps through INGESTOR_DRIVE_C.
  world.MakeFolder("drive c/data");
  auto r = e2e::Run(kIngestor, {"sample-extractor/C:\\data\\/C:\\out\\/5/C:\\Lenders.mdb"},
                    {"INGESTOR_DRIVE_C=" + world.Native("drive c")});
  EXPECT_TRUE(fs::is_directory(world.Native("drive c/out"))) << r.err;
  auto split = e2e::Run(kIngestor, {"sample-extractor/C:\\my", "data\\/C:\\out\\/5"},
                        {"INGESTOR_DRIVE_C=" + world.Native("drive c")});
  EXPECT_TRUE(fs::is_directory(world.Native("drive c/my data"))) << split.err;
}

}  // namespace

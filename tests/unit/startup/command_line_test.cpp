#include <gtest/gtest.h>

#include "doubles/TestWorld.h"
#include "startup/modIngestor.h"

namespace {

using modIngestor::Arguments;
using testing_doubles::TestWorld;

class ParseCommandLine : public ::testing::Test {
 protected:
  ParseCommandLine() {
    world.Write("bin/x.exe", "");
    world.MakeFolder("data");
    world.env.SetProgramFolder(world.Program("bin"));
  }
  bool Parse(const std::string& tail) {
    return modIngestor::ParseCommandLine(world.ctx, tail, args);
  }
  // The specific message of the one parameter box shown.
  std::string Message() {
    if (world.ui.boxes.size() != 1) return "<" + std::to_string(world.ui.boxes.size()) + " boxes>";
    const auto& box = world.ui.boxes[0];
    EXPECT_EQ(box.title, "Kestova - Data importer");
    const std::string head = "The specified command line parameter is invalid: \r\n\r\n";
    EXPECT_EQ(box.text.rfind(head, 0), 0u);
    return box.text.substr(head.size());
  }

  TestWorld world;
  Arguments args;
};

TEST_F(ParseCommandLine, AcceptedPiecesAreNormalised) {
  const std::string data = world.Program("data");
  world.Write("data/LENDER", "x");
  world.Write("data/lender.dta", "x");
  world.Write("Cfg/Zev.INI", "");
  struct Case {
    std::string tail;
    std::string source;  // pieces[1] after parsing
    std::string output;  // pieces[2]; empty: INI mode
  };
  const std::vector<Case> cases = {
      // A bare extractor is looked for in the program folder.
      {" x.exe / " + data + " / " + world.Program("out") + " / 5 ", data + "\\",
       world.Program("out") + "\\"},
      {"x.exe/" + data + "//5", data + "\\", world.Program("bin") + "\\"},
      // A missing name without a dot is a folder to create.
      {"x.exe/" + world.Program("new\\folder") + "//5", world.Program("new\\folder") + "\\",
       world.Program("bin") + "\\"},
      // A file, with or without an extension, is a single source.
      {"x.exe/" + data + "\\LENDER//5", data + "\\LENDER", world.Program("bin") + "\\"},
      {"x.exe/" + data + "\\lender.dta//6.5", data + "\\lender.dta", world.Program("bin") + "\\"},
      // Three pieces: INI mode; the INI file is neither examined nor normalised.
      {"x.exe/" + world.Program("Cfg\\Zev.INI") + "/", world.Program("Cfg\\Zev.INI"), ""},
      {"x.exe/" + world.Program("Cfg\\missing.ini") + "/", world.Program("Cfg\\missing.ini"), ""},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(Parse(c.tail)) << c.tail;
    EXPECT_EQ(args.pieces[0], world.Program("bin") + "\\x.exe");
    EXPECT_EQ(args.pieces[1], c.source);
    EXPECT_EQ(args.iniMode, c.output.empty());
    EXPECT_EQ(args.count, c.output.empty() ? 3 : 4);
    if (!c.output.empty()) {
      EXPECT_EQ(args.pieces[2], c.output);
    }
  }
  EXPECT_TRUE(world.Has("out"));
  EXPECT_TRUE(world.Has("new/folder"));
  // Fewer than three pieces: refused without a box.
  EXPECT_FALSE(Parse("x.exe"));
  EXPECT_FALSE(Parse("x.exe/" + data));
  EXPECT_TRUE(world.ui.boxes.empty());
}

TEST_F(ParseCommandLine, EveryRefusalHasItsMessage) {
  const std::string data = world.Program("data");
  struct Case {
    std::string tail;
    std::string message;
  };
  world.Write("Cfg/Zev.INI", "");
  world.Write("taken", "a file, not a folder");
  world.Write("cwd/y.exe", "");
  world.env.SetCurrentFolder(world.Program("cwd"));
  const std::vector<Case> cases = {
      {" /" + data + "//5", "Missing extractor."},
      {"nothere.exe/" + data + "//5", "Extractor DOES NOT exist."},
      {"y.exe/" + data + "//5", "Extractor DOES NOT exist."},  // not in the current folder
      {"x.exe/ //5", "Missing source."},
      {"x.exe/" + data + "\\missing.dta//5", "Source file DOES NOT exist."},
      {"x.exe/" + world.Program("Cfg\\Zev.INI") + "//5",
       "Expected source file / folder but found INI file instead."},
      {"x.exe/" + data + "//five", "Expected data type to be numeric, but found a string instead."},
      {"x.exe/" + data + "//7", "Import data type is invalid."},
      {"x.exe/" + data + "//-1", "Import data type is invalid."},
      {"x.exe/" + data + "//6.6", "Import data type is invalid."},
      {"x.exe/" + data + "/", "Expected data type to import but found no more parameters."},
      {"x.exe/" + data + "/" + world.Program("taken") + "/5",
       "Output folder DOES NOT exist and COULD NOT be created."},
  };
  for (const auto& c : cases) {
    world.ui.boxes.clear();
    EXPECT_FALSE(Parse(c.tail)) << c.tail;
    EXPECT_EQ(Message(), c.message) << c.tail;
  }
  world.ui.boxes.clear();
  world.env.FailAlways("CreateFolder");
  EXPECT_FALSE(Parse("x.exe/" + world.Program("nofolder") + "//5"));
  EXPECT_EQ(Message(), "Source folder DOES NOT exist and COULD NOT be created.");
}

TEST_F(ParseCommandLine, ComparablesAreAcceptedOnlyWhenTheBatchRouteIsSwitchedOn) {
  const std::string tail = "x.exe/" + world.Program("data") + "//7";
  world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "1");
  EXPECT_TRUE(Parse(tail));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_FALSE(Parse("x.exe/" + world.Program("data") + "//8"));
  world.ui.boxes.clear();
  world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "yes");
  EXPECT_FALSE(Parse(tail));
  EXPECT_EQ(Message(), "Import data type is invalid.");
}

TEST(ImportSettings, DefaultsAndFlagForms) {
  Arguments args;
  args.pieces = {"x", "s\\", "o\\", "5"};
  auto s = modIngestor::ReadImportSettings(args);
  EXPECT_EQ(s.dataType, DataType::Lenders);
  EXPECT_EQ(s.database, "Lenders.mdb");
  EXPECT_FALSE(s.leaveOutputFiles);
  EXPECT_TRUE(s.noComparisons);  // no comparisons unless asked for
  EXPECT_FALSE(s.terminateRecords);

  args.pieces = {"x", "s\\", "o\\", "6", "D:\\Db\\N.mdb", "tRuE", "0", "1"};
  s = modIngestor::ReadImportSettings(args);
  EXPECT_EQ(s.database, "D:\\Db\\N.mdb");
  EXPECT_TRUE(s.leaveOutputFiles);
  EXPECT_FALSE(s.noComparisons);
  EXPECT_TRUE(s.terminateRecords);

  args.pieces = {"x", "s\\", "o\\", "2", "", "-1", "", "FALSE"};
  s = modIngestor::ReadImportSettings(args);
  EXPECT_EQ(s.database, "CommonResponses.mdb");  // an empty piece counts as absent
  EXPECT_TRUE(s.leaveOutputFiles);
  EXPECT_TRUE(s.noComparisons);
  EXPECT_FALSE(s.terminateRecords);

  args.pieces = {"x", "s\\", "o\\", "2", "", "maybe"};
  EXPECT_THROW(modIngestor::ReadImportSettings(args), std::runtime_error);
}

TEST(ImportData, LogFileNamedByStartTimeAndBadFlagReportedAtStepOne) {
  TestWorld world;
  world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
  Arguments args;
  args.pieces = {"x", world.Program("s") + "\\", world.Program("o") + "\\", "5"};
  args.count = 4;
  auto engine = std::make_unique<CSImportEngine>(world.ctx);
  modIngestor::ImportOutcome outcome;
  EXPECT_TRUE(modIngestor::ImportData(world.ctx, args, engine, outcome));
  EXPECT_TRUE(world.Has("o/2010-03-15-142530-logfile.txt"));
  EXPECT_EQ(engine, nullptr);  // released at the end
  EXPECT_FALSE(world.files.IsOpen(1));

  args.pieces.push_back("");
  args.pieces.push_back("maybe");
  engine = std::make_unique<CSImportEngine>(world.ctx);
  EXPECT_FALSE(modIngestor::ImportData(world.ctx, args, engine, outcome));
  ASSERT_EQ(world.ui.boxes.size(), 1u);
  EXPECT_EQ(world.ui.boxes[0].title, "Error in \"ImportData::modIngestor\" at (1)");
  EXPECT_EQ(world.ui.boxes[0].text.rfind("The following error(s) occurred: \r\n\r\n", 0), 0u);

  // A log file that cannot be created is the run's failure, with its reason.
  world.ui.boxes.clear();
  args.pieces.resize(4);
  world.env.FailAlways("OpenForWriting");
  EXPECT_FALSE(modIngestor::ImportData(world.ctx, args, engine, outcome));
  EXPECT_TRUE(world.ui.boxes.empty());
  EXPECT_EQ(outcome.failure, "Cannot create the log file '" + world.Program("o") +
                                 "\\2010-03-15-142530-logfile.txt': Input/output error.");
}

}  // namespace

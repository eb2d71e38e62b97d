#include <gtest/gtest.h>

#include "doubles/TestWorld.h"
#include "startup/modIngestor.h"

namespace {

using modIngestor::Arguments;

class ParseCommandLine : public ::testing::Test {
 protected:
  ParseCommandLine() {
    world.Write("bin/x.exe", "");
    world.Write("data/LENDER", "x");
    world.Write("data/lender.dta", "x");
    world.Write("Cfg/Zev.INI", "");
    world.Write("taken", "a file, not a folder");
    world.Write("cwd/y.exe", "");
    world.env.SetProgramFolder(P("bin"));
    world.env.SetCurrentFolder(P("cwd"));
  }
  std::string P(const std::string& relative) { return world.Program(relative); }
  // The specific message of the one parameter box shown, or what happened
  // instead ("<accepted>", "<N boxes>"). The end-to-end runs pin the wording.
  std::string Refusal(const std::string& tail) {
    world.ui.boxes.clear();
    if (modIngestor::ParseCommandLine(world.ctx, tail, args)) return "<accepted>";
    if (world.ui.boxes.size() != 1) return "<" + std::to_string(world.ui.boxes.size()) + " boxes>";
    const std::string head = "The specified command line parameter is invalid: \r\n\r\n";
    EXPECT_EQ(world.ui.boxes[0].title, "Kestova - Data importer");
    EXPECT_EQ(world.ui.boxes[0].text.rfind(head, 0), 0u);
    return world.ui.boxes[0].text.substr(head.size());
  }

  testing_doubles::TestWorld world;
  Arguments args;
};

TEST_F(ParseCommandLine, AcceptedPiecesAreNormalised) {
  const std::string data = P("data"), bin = P("bin") + "\\";
  // The source (pieces[1]) and output folder (pieces[2]; none: INI mode).
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      // A bare extractor is looked for in the program folder.
      {" x.exe / " + data + " / " + P("out") + " / 5 ", data + "\\", P("out") + "\\"},
      // A file, even without an extension, is a single source.
      {"x.exe/" + data + "\\LENDER//5", data + "\\LENDER", bin},
      // Three pieces: INI mode; the INI file is neither examined nor normalised.
      {"x.exe/" + P("Cfg\\missing.ini") + "/", P("Cfg\\missing.ini"), ""},
  };
  for (const auto& [tail, source, output] : cases) {
    ASSERT_EQ(Refusal(tail), "<accepted>") << tail;
    EXPECT_EQ(args.pieces[0], bin + "x.exe");
    EXPECT_EQ(args.pieces[1], source);
    EXPECT_EQ(args.iniMode, output.empty());
    EXPECT_EQ(args.count, output.empty() ? 3 : 4);
    EXPECT_EQ(output.empty() ? "" : args.pieces[2], output);
  }
  EXPECT_TRUE(world.Has("out"));
  // Where the program's folder cannot be written, an empty OUTPUT is the user's state folder.
  world.env.SetVariable("XDG_STATE_HOME", world.Native("state"));
  world.env.FailAlways("CanWriteFolder");
  ASSERT_EQ(Refusal("x.exe/" + data + "//5"), "<accepted>");
  EXPECT_EQ(args.pieces[2], P("state") + "\\ingestor\\");
  EXPECT_TRUE(world.Has("state/ingestor") &&
              args.outputNote.find("cannot be written") != std::string::npos);
}

TEST_F(ParseCommandLine, EveryRefusalHasItsMessage) {
  const std::string data = P("data");
  world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "yes");  // only "1" opens the batch route
  const std::vector<std::pair<std::string, std::string>> cases = {
      {" /" + data + "//5", "Missing extractor."},
      {"y.exe/" + data + "//5", "Extractor DOES NOT exist."},  // not in the current folder
      {"x.exe/ //5", "Missing source."},
      {"x.exe/" + data + "//five", "Expected data type to be numeric, but found a string instead."},
      {"x.exe/" + data + "//6.6", "Import data type is invalid."},
      {"x.exe/" + data + "/", "Expected data type to import but found no more parameters."},
      {"x.exe/" + data + "/" + P("taken") + "/5",
       "Output folder DOES NOT exist and COULD NOT be created."}};
  for (const auto& [tail, message] : cases) EXPECT_EQ(Refusal(tail), message) << tail;
  // A refused type creates neither the missing source folder nor the output folder.
  EXPECT_EQ(Refusal("x.exe/" + P("new") + "/" + P("out2") + "/out 5"), cases[3].second);
  EXPECT_FALSE(world.Has("new") || world.Has("out2"));
  world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "1");
  EXPECT_EQ(Refusal("x.exe/" + data + "//7"), "<accepted>");
  EXPECT_EQ(Refusal("x.exe/" + data + "//8"), "Import data type is invalid.");
  world.env.FailAlways("CreateFolder");
  EXPECT_EQ(Refusal("x.exe/" + P("nofolder") + "//5"),
            "Source folder DOES NOT exist and COULD NOT be created.");
}

TEST(ImportSettings, DefaultsAndFlagForms) {
  Arguments args;
  // Comparisons only when asked for; an empty piece counts as absent.
  for (const auto& [pieces, database, leave, noComparisons, terminate] :
       std::initializer_list<std::tuple<std::vector<std::string>, const char*, bool, bool, bool>>{
           {{"5"}, "Lenders.mdb", false, true, false},
           {{"6", "D:\\Db\\N.mdb", "tRuE", "0", "1"}, "D:\\Db\\N.mdb", true, false, true},
           {{"2", "", "-1", "", "FALSE"}, "CommonResponses.mdb", true, true, false}}) {
    args.pieces = {"x", "s\\", "o\\"};
    args.pieces.insert(args.pieces.end(), pieces.begin(), pieces.end());
    auto s = modIngestor::ReadImportSettings(args);
    EXPECT_EQ(s.database, database);
    EXPECT_EQ(s.leaveOutputFiles, leave);
    EXPECT_EQ(s.noComparisons, noComparisons);
    EXPECT_EQ(s.terminateRecords, terminate);
  }
  args.pieces = {"x", "s\\", "o\\", "2", "", "maybe"};
  EXPECT_THROW(modIngestor::ReadImportSettings(args), std::runtime_error);
}

TEST(ImportData, BadFlagAtStepOneAndALogThatCannotBeCreated) {
  testing_doubles::TestWorld world;
  world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
  Arguments args;
  args.pieces = {"x", world.Program("s") + "\\", world.Program("o") + "\\", "5", "", "maybe"};
  args.count = 4;
  auto engine = std::make_unique<CSImportEngine>(world.ctx);
  modIngestor::ImportOutcome outcome;
  EXPECT_FALSE(modIngestor::ImportData(world.ctx, args, engine, outcome));
  ASSERT_EQ(world.ui.boxes.size(), 1u);
  EXPECT_EQ(world.ui.boxes[0].title, "Error in \"ImportData::modIngestor\" at (1)");
  // A log file that cannot be created is the run's failure, with its reason.
  args.pieces.resize(4);
  world.env.FailNth("OpenForWriting", 1);
  EXPECT_FALSE(modIngestor::ImportData(world.ctx, args, engine, outcome));
  EXPECT_EQ(outcome.failure, "Cannot create the log file '" + world.Program("o") +
                                 "\\2010-03-15-142530-logfile.txt': Input/output error.");
}

}  // namespace

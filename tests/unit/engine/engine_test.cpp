// The engine through what its callers have: configuration, the log writer, the
// source-file list, and Import where the command line cannot reach or the clock is set.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "importers/Importers.h"

namespace {

using platform::OutputObject;
using testing_doubles::RecordingOutput;
using testing_doubles::TestWorld;
using Names = std::vector<std::string>;

const std::string kStamp = "14:25:30 2010-0315 - ";

void WriteScript(const TestWorld& world, const std::string& relative, const std::string& body) {
  world.Write(relative, "#!/bin/sh\n" + body);
  ::chmod(world.Native(relative).c_str(), 0755);
}

// An output object whose every call fails, as a window torn down mid-run.
struct BrokenOutput final : OutputObject {
  Kind kind() const override { return Kind::List; }
  void AppendLine(const std::string&) override { throw std::runtime_error("window gone"); }
  void ReplaceText(const std::string&) override { throw std::runtime_error("window gone"); }
};

// Each line reaches the log file and the window; a closed log file or a
// window torn down mid-run costs the other destination nothing.
TEST(Engine, LogLinesReachEachDestinationAndALostOneCostsNothingElse) {
  const std::string src = "[Source]Import::CSImportEngine [Index]";
  const Names all = {kStamp + src + "0 [Text]zero", kStamp + src + "na [Text]none", kStamp};
  const std::string file = all[0] + "\r\n" + all[1] + "\r\n" + all[2] + "\r\n";
  for (const bool windowGone : {false, true}) {
    TestWorld world;
    world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
    CSImportEngine engine(world.ctx);
    const std::int16_t log = world.files.Open(world.env, world.Program("run.log"));
    ASSERT_TRUE(windowGone || world.files.Close(log));
    engine.SetLogfile(log);
    RecordingOutput recorded(OutputObject::Kind::List);
    BrokenOutput broken;
    engine.SetOutputObject(windowGone ? static_cast<OutputObject*>(&broken) : &recorded);
    engine.WriteToLog("zero", "Import::CSImportEngine", 0);
    engine.WriteToLog("none", "Import::CSImportEngine", -1);
    engine.WriteToLog("", "", 7);  // the progress form ignores the index
    world.files.Close(log);
    EXPECT_EQ(recorded.lines, windowGone ? Names{} : all);
    EXPECT_EQ(world.Read("run.log"), windowGone ? file : "");
    EXPECT_EQ(world.ui.pumps, 3);
    EXPECT_TRUE(world.ui.boxes.empty());
  }
}

TEST(Engine, SourceFilesAreTheMatchesOfEachMaskInTurnAndNeverFolders) {
  const DataType kComps = DataType::Comparables;
  struct Case {
    DataType type;
    Names files, found;  // found empty: the list is unsized
    std::string masks = "*comps.dat;*comps.cp2;zazozur.*";
    bool listingFails = false;
  } const cases[] = {
      // One file per mask: the order is the masks'. A name two masks match is listed twice.
      {kComps,
       {"ZAZOZUR.1", "xcomps.cp2", "ACOMPS.DAT"},
       {"ACOMPS.DAT", "xcomps.cp2", "ZAZOZUR.1"}},
      {kComps, {"zazozur.comps.dat", "x.cp2"}, {"zazozur.comps.dat", "zazozur.comps.dat"}},
      {DataType::Guess, {"a.dat", "README"}, {"a.dat"}, "*.*"},
      {DataType::Lenders, {"notes.txt"}, {}, "lender.dta"},
      {DataType::Lenders, {"lender.dta"}, {}, "lender.dta", true},
  };
  const std::string source = kStamp + "[Source]LoadSourceFiles::CSImportEngine [Index]na [Text]";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.front());
    TestWorld world;
    world.env.SetLocalNow({2010, 3, 15, 14, 25, 30});
    RecordingOutput log(OutputObject::Kind::List);
    CSImportEngine engine(world.ctx);
    engine.SetOutputObject(&log);
    for (const std::string& name : c.files) world.Write("src/" + name, "x");
    world.MakeFolder("src/dircomps.dat");  // matches a mask, but a folder
    Names stale{"stale.dat"};
    ASSERT_EQ(engine.LoadSourceFilesFromList(&stale), 1);
    engine.SetDataType(c.type);
    engine.SetSource(world.Program("src") + "\\");
    if (c.listingFails) world.env.FailAlways("ListFolder");
    EXPECT_EQ(engine.LoadSourceFiles(), static_cast<std::int16_t>(c.found.size()));
    EXPECT_EQ(engine.GetSourceFiles(), c.found.empty() ? std::nullopt : std::optional(c.found));
    Names lines{source + "Searching input folder for files like: '" + c.masks + "'"};
    if (!c.found.empty())
      lines.push_back(source + "Found " + std::to_string(c.found.size()) + " source files.");
    EXPECT_EQ(log.lines, lines);
  }
}

// Runs through Import: the source's kind, the template copy, the guess, the
// backups and the early ends. Each expectation is a text of the log, or with
// "!" one that is not there, "=" the extractor's record-termination flags of
// its runs, "@" a file there afterwards.
TEST(Engine, ImportTellsSourcesApartCopiesTheTemplateGuessesAndEndsEarlyWhenItMust) {
  using Setup = std::function<void(TestWorld&)>;
  // Zev.ini in `where` (no AppDir when ""); the fixed one's AppDir has a template or not.
  const auto ini = [](const std::string& where, const std::string& appDir, bool fixedTemplate) {
    return [=](TestWorld& w) {
      std::remove(w.Native("db.mdb").c_str());
      w.Write(where + "/Zev.ini",
              "[Directories]\n" + (appDir.empty() ? "" : "AppDir=" + w.Program(appDir)));
      w.Write("c/Kestova/Zev.ini", "[Directories]\nAppDir=" + w.Program("fixed") + "\n");
      if (fixedTemplate) w.Write("fixed/Data/Lenders.mdb", "");
    };
  };
  const Setup silent = [](TestWorld& w) { w.Write("silent", ""); };
  const Setup noDatabase = [](TestWorld& w) { w.env.FailAlways("OpenDatabase"); };
  const std::string copied = "Extracted database 'db.mdb' successfully.";
  const std::string failed = "FAILED to create database 'db.mdb'|=";
  const std::string one = "host\\one.dat";
  struct Case {
    DataType type;
    std::string source;  // within the world
    Setup setup;
    bool ok;
    std::string expected;  // separated by '|'
    int imports = 1;
  } const cases[] = {
      {DataType::Guess, one, nullptr, true,
       "=y\nn\n|Import data type is unknown. Attempting to \"guess\" type...|"
       "Running test extraction.|Test extraction produced 1 file(s).|"
       "ET for \"guessing\" process was: |Import finished successfully!|"
       "! was: -|@out/20100315235959"},  // a steady clock: never negative across midnight
      {DataType::Guess, one, silent, false,
       "=y\n|Test extraction resulted in zero files. Exiting...|!Import did NOT"},
      {DataType::Lenders, one, nullptr, true,
       "=n\nn\n|\\out\\20100315235959-2\\'|!Could not backup database.|"
       "@out/20100315235959/db.mdb|@out/20100315235959-2/db.mdb",
       2},
      {DataType::Lenders, one, noDatabase, false,
       "=|Failed to connect to database, import aborted.|!Import did NOT|!Import finished"},
      // A folder despite its '.'; a missing path without '.' is a folder to be.
      {DataType::Lenders, "host.d", nullptr, true, "Source is a folder.|=n\n"},
      {DataType::Lenders, "New\\Data", nullptr, false,
       "Source is a folder.|Could not locate any source files.|="},
      {DataType::Lenders, "Plain\\LENDER", nullptr, true, "Source is a file.|=n\n"},
      // The template: the Windows folder's Zev.ini first, then the fixed one.
      {DataType::Lenders, one, ini("nowhere", "fixed", true), true, copied + "|@db.mdb"},
      {DataType::Lenders, one, ini("windows", "app", false), true, copied + "|@db.mdb"},
      {DataType::Lenders, one, ini("windows", "", true), false,
       "FAILED to create database 'db.mdb': the host's configuration file '|' names no AppDir|!" +
           copied},
      {static_cast<DataType>(8), one, ini("windows", "app\\", false), false,
       failed + "|[Source]CopyOverTemplate::CSImportEngine [Index]na [Text]|Data type:          "
                "Unknown"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " " + c.expected.substr(0, 40));
    TestWorld world;
    for (const char* file : {"host/one.dat", "host.d/lender.dta", "Plain/LENDER"})
      world.Write(file, "data");
    for (const char* file : {"db.mdb", "app/Data/Lenders.mdb"}) world.Write(file, "");
    world.MakeFolder("out");
    // Records its runs; extracts nothing when told to.
    WriteScript(world, "extract",
                "echo \"$2\" >> '" + world.Native("runs.txt") + "'\n[ -f '" +
                    world.Native("silent") + "' ] || cp \"$3\" \"$1/one.dat.tmp\"\n");
    world.env.SetVariable("WINDIR", world.Native("windows"));
    ::setenv("INGESTOR_DRIVE_C", world.Native("c").c_str(), 1);
    world.env.SetLocalNow({2010, 3, 15, 23, 59, 59});
    if (c.setup) c.setup(world);
    const std::int16_t log = world.files.Open(world.env, world.Program("run.log"));
    for (int i = 0; i < c.imports; ++i) {
      CSImportEngine engine(world.ctx, importers::Table());
      engine.Configure(c.type, world.Program("db.mdb"), world.Program("out"),
                       world.Program(c.source), world.Program("extract"), log);
      EXPECT_EQ(engine.Import(), c.ok);
    }
    ::unsetenv("INGESTOR_DRIVE_C");
    world.files.Close(log);
    const std::string text = world.Read("run.log");
    std::stringstream expected(c.expected);
    for (std::string e; std::getline(expected, e, '|');) {
      if (e[0] == '!')
        EXPECT_EQ(text.find(e.substr(1)), std::string::npos) << e;
      else if (e[0] == '=')
        EXPECT_EQ(world.Read("runs.txt"), e.substr(1));  // "" when it never ran
      else if (e[0] == '@')
        EXPECT_TRUE(world.Has(e.substr(1))) << e;
      else
        EXPECT_NE(text.find(e), std::string::npos) << e;
    }
  }
}

}  // namespace
